// The main window under a real window manager: openbox on a virtual X server of its own. Each case
// runs the window twice in a child process of this same executable (on the xcb platform), each run
// ending with the confirmed exit that writes the settings, and checks that the window stood where
// the settings said and came back there. Skipped where Xvfb, openbox or xprop are not installed.
#include "app/DorvMain.h"
#include "support/ScriptedPrompts.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <csignal>
#include <cstdio>

#include <sys/types.h>

using namespace dorv;

namespace {

const char* const ChildFlag = "--run-main-window";

QString rectText(const QRect& r)
{
    return QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QRect rectOf(const QString& text)
{
    const QStringList p = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return p.size() == 4 ? QRect(p[0].toInt(), p[1].toInt(), p[2].toInt(), p[3].toInt()) : QRect();
}

// The child: one run of the main window with the settings and folders given, shown until the
// window manager has framed it and it stands still, then ended by a confirmed exit. It prints
// "frame", "area" and "least" (the smallest frame the window can take) as x y width height.
int runMainWindow(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto valueOf = [&args](const QString& name) {
        const qsizetype at = args.indexOf(name);
        return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
    };
    ScriptedPrompts prompts;
    MainEnvironment e;
    e.programFolder = valueOf(QStringLiteral("--program"));
    e.tempFolder = valueOf(QStringLiteral("--temp"));
    e.settingsFile = valueOf(QStringLiteral("--settings"));
    e.prompts = &prompts;
    e.splash = false;
    TFormMain w(e);
    if (!w.started())
        return 2;
    // A question asked before the window shows (the offer of unsaved changes, say) is parented
    // on the window: its native window exists before it is shown.
    if (args.contains(QStringLiteral("--native-first")))
        w.winId();
    // A window manager slower than the program: nothing is framed until it wakes.
    const pid_t manager = valueOf(QStringLiteral("--pause-manager")).toInt();
    if (manager > 0) {
        ::kill(manager, SIGSTOP);
        QTimer::singleShot(600, [manager] { ::kill(manager, SIGCONT); });
    }
    w.show();
    QDeadlineTimer deadline(8000);
    QRect last;
    int still = 0;
    // Framed, and the same frame for a few looks in a row.
    while (!deadline.hasExpired() && still < 6) {
        QTest::qWait(50);
        const bool framed = w.windowHandle() && !w.windowHandle()->frameMargins().isNull();
        const QRect now = w.frameGeometry();
        still = framed && now == last ? still + 1 : 0;
        last = now;
    }
    if (manager > 0)
        ::kill(manager, SIGCONT);
    const QMargins m = w.windowHandle()->frameMargins();
    const QSize least = w.minimumSizeHint().expandedTo(w.minimumSize()).grownBy(m);
    std::printf("frame %s\n", qPrintable(rectText(w.frameGeometry())));
    std::printf("area %s\n", qPrintable(rectText(w.screen()->availableGeometry())));
    std::printf("least %s\n", qPrintable(rectText(QRect(QPoint(), least))));
    std::fflush(stdout);
    prompts.confirms.enqueue(true);
    return w.FormCloseQuery() ? 0 : 3;
}

} // namespace

class TestWindowUnderWm : public QObject {
    Q_OBJECT
    QProcess xvfb, manager;
    QString display;
    std::unique_ptr<QTemporaryDir> root;

    static QString tool(const char* name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }
    QProcessEnvironment xEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("QT_SCALE_FACTOR"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return env;
    }
    bool managerReady() const
    {
        QProcess xprop;
        xprop.setProcessEnvironment(xEnvironment());
        xprop.start(tool("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        return xprop.waitForFinished(2000) && xprop.exitCode() == 0
               && xprop.readAllStandardOutput().contains("window id");
    }
    static void stop(QProcess& p)
    {
        if (p.state() == QProcess::NotRunning)
            return;
        p.terminate();
        if (!p.waitForFinished(2000)) {
            p.kill();
            p.waitForFinished(2000);
        }
    }
    QSettings settings() const { return QSettings(root->filePath(QStringLiteral("s.ini")), QSettings::IniFormat); }
    QRect stored() const
    {
        QSettings s = settings();
        return QRect(s.value("Dorvana/Left").toInt(), s.value("Dorvana/Top").toInt(), s.value("Dorvana/Width").toInt(),
                     s.value("Dorvana/Height").toInt());
    }
    // One run of the window; its report by name, empty when it failed.
    QHash<QString, QRect> run(const QStringList& extra, const QString& scale)
    {
        QProcess child;
        QProcessEnvironment env = xEnvironment();
        if (!scale.isEmpty())
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        child.setProcessEnvironment(env);
        QStringList args{QString::fromLatin1(ChildFlag),         QStringLiteral("--program"),
                         root->filePath(QStringLiteral("prog")), QStringLiteral("--temp"),
                         root->filePath(QStringLiteral("tmp")),  QStringLiteral("--settings"),
                         root->filePath(QStringLiteral("s.ini"))};
        child.start(QCoreApplication::applicationFilePath(), args + extra);
        const bool ended = child.waitForFinished(30000);
        if (!ended)
            stop(child);
        // Whatever the child did, the manager goes on.
        ::kill(pid_t(manager.processId()), SIGCONT);
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        if (!ended || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            qWarning("the window's run failed (%d): %s %s", child.exitCode(), qPrintable(out),
                     child.readAllStandardError().right(2000).constData());
            return {};
        }
        QHash<QString, QRect> report;
        for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            report.insert(line.section(QLatin1Char(' '), 0, 0), rectOf(line.section(QLatin1Char(' '), 1)));
        return report;
    }

private slots:
    void initTestCase()
    {
        for (const char* name : {"Xvfb", "openbox", "xprop"})
            if (tool(name).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QString::fromLatin1(name))));
        // The server picks a free display itself and tells its number. Two servers starting at once
        // may race for the same one, and the loser ends at once: it is started again.
        QByteArray number;
        QDeadlineTimer deadline(10000);
        for (int attempt = 0; attempt < 5 && number.isEmpty(); ++attempt) {
            if (xvfb.state() != QProcess::NotRunning)
                stop(xvfb);
            xvfb.start(tool("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                      QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                                      QStringLiteral("tcp")});
            QVERIFY(xvfb.waitForStarted(5000));
            deadline = QDeadlineTimer(10000);
            while (!xvfb.canReadLine() && !deadline.hasExpired() && xvfb.state() == QProcess::Running)
                xvfb.waitForReadyRead(200);
            number = xvfb.readLine().trimmed();
            if (number.isEmpty())
                QTest::qWait(300);
        }
        QVERIFY2(!number.isEmpty(), "Xvfb told no display");
        display = QStringLiteral(":") + QString::fromLatin1(number);
        manager.setProcessEnvironment(xEnvironment());
        manager.start(tool("openbox"), {});
        QVERIFY(manager.waitForStarted(5000));
        while (!managerReady() && !deadline.hasExpired() && manager.state() == QProcess::Running)
            QTest::qWait(100);
        QVERIFY2(managerReady(), "openbox did not start");
    }
    void cleanupTestCase()
    {
        if (manager.processId() > 0)
            ::kill(pid_t(manager.processId()), SIGCONT);
        stop(manager);
        stop(xvfb);
    }
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        QDir().mkpath(root->filePath(QStringLiteral("prog")));
        QDir().mkpath(root->filePath(QStringLiteral("tmp")));
    }
    void cleanup() { root.reset(); }

    void frameComesBackWhereItWasLeft_data()
    {
        QTest::addColumn<QRect>("left");     // the frame the settings hold before the first run
        QTest::addColumn<QRect>("expected"); // where it stands, run after run
        QTest::addColumn<bool>("slowManager");
        QTest::addColumn<bool>("nativeFirst");
        QTest::addColumn<QString>("scale");
        const QRect first(20, 1, 767, 564);
        QTest::addRow("first start") << QRect() << first << false << false << QString();
        QTest::addRow("a slow manager") << QRect(100, 80, 800, 600) << QRect(100, 80, 800, 600) << true << false
                                        << QString();
        QTest::addRow("a question before the window, a slow manager") << first << first << true << true << QString();
        QTest::addRow("title bar above the screen")
            << QRect(20, -19, 767, 564) << QRect(20, 0, 767, 564) << true << true << QString();
        QTest::addRow("larger than the screen")
            << QRect(0, 0, 1400, 900) << QRect(0, 0, 1280, 800) << false << false << QString();
        // The screen is 640 × 400 then; the window can be made only so narrow.
        QTest::addRow("double density, larger than the screen")
            << QRect(20, 1, 1400, 900) << QRect(0, 0, 640, 400) << true << false << QStringLiteral("2");
    }
    void frameComesBackWhereItWasLeft()
    {
        QFETCH(QRect, left);
        QFETCH(QRect, expected);
        QFETCH(bool, slowManager);
        QFETCH(bool, nativeFirst);
        QFETCH(QString, scale);
        if (left.isValid()) {
            QSettings s = settings();
            s.setValue("Dorvana/Left", left.left());
            s.setValue("Dorvana/Top", left.top());
            s.setValue("Dorvana/Width", left.width());
            s.setValue("Dorvana/Height", left.height());
        }
        QStringList extra;
        if (slowManager)
            extra << QStringLiteral("--pause-manager") << QString::number(manager.processId());
        if (nativeFirst)
            extra << QStringLiteral("--native-first");
        for (int n = 1; n <= 2; ++n) {
            const QHash<QString, QRect> report = run(extra, scale);
            QVERIFY2(report.contains(QStringLiteral("frame")), qPrintable(QStringLiteral("run %1").arg(n)));
            const QRect area = report.value(QStringLiteral("area"));
            const QSize least = report.value(QStringLiteral("least")).size();
            // As small as asked, unless the window cannot be that small.
            const QRect want(expected.topLeft(), expected.size().expandedTo(least));
            QCOMPARE(report.value(QStringLiteral("frame")), want);
            QCOMPARE(stored(), want);
            QVERIFY(area.contains(want.topLeft()));
        }
    }
};

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], ChildFlag) == 0)
            return runMainWindow(argc, argv);
    QApplication app(argc, argv);
    TestWindowUnderWm test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_wm.moc"
