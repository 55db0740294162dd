#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {

// Which folders each folder may include from, besides its own. Layers point down: util below data,
// data below the booking core and the shared widgets, the card below the windows, and the frame (app)
// on top of everything. A folder missing here fails the test, so a new one has to take its place.
const QHash<QString, QStringList>& allowedMatrix()
{
    static const QHash<QString, QStringList> matrix{
        {"util", {}},
        {"data", {"util"}},
        {"book", {"data", "util"}},
        {"statements", {"book", "data", "util"}},
        {"find", {"data", "util"}},
        {"resources", {"data", "util"}},
        {"widgets", {"data", "util"}},
        {"card", {"widgets", "data", "util"}},
        {"categories", {"book", "card", "widgets", "data", "util"}},
        {"results", {"widgets", "data", "util"}},
        {"contacts", {"card", "widgets", "data", "util"}},
        {"import", {"statements", "book", "widgets", "data", "util"}},
        {"ledger", {"book", "card", "find", "widgets", "data", "util"}},
        {"app",
         {"book", "card", "categories", "contacts", "data", "find", "import", "ledger", "resources", "results",
          "statements", "util", "widgets"}},
    };
    return matrix;
}

// Window folders that reach into each other's windows, against the rule that only the frame joins them:
// the money page holds the category pane and its editor and opens the results window. Listed edge by
// edge so that none is added unseen; each goes once the frame hands these windows to the money page.
const QSet<QString>& knownCrossings()
{
    static const QSet<QString> crossings{
        "ledger/MoneyView.cpp -> categories/CategoryEditor.h",
        "ledger/MoneyView.cpp -> categories/CategoryTree.h",
        "ledger/MoneyView.cpp -> results/DorvRes.h",
        "ledger/OperationEditor.cpp -> categories/CategoryTree.h",
    };
    return crossings;
}

// The folders that must compile without the widgets: the data layer, its helpers and the booking core.
const QStringList widgetlessFolders{"util", "data", "book", "statements", "find"};

// The Qt modules built on the widgets; a header of any of them pulls the widgets in.
const QStringList widgetModules{"QtWidgets", "QtPrintSupport", "QtCharts", "QtSvgWidgets", "QtOpenGLWidgets"};

QString qtHeadersDir() { return QStringLiteral(DORV_QT_HEADERS_DIR); }

QString widgetModuleOf(const QString& header)
{
    const qsizetype slash = header.indexOf('/');
    if (slash > 0)
        return widgetModules.contains(header.left(slash)) ? header.left(slash) : QString();
    for (const QString& module : widgetModules)
        if (QFileInfo::exists(qtHeadersDir() + '/' + module + '/' + header))
            return module;
    return {};
}

// Every edge of one source file that the layers forbid, as "file:line: what". A quoted include with
// no folder is the file's own folder; the first part of any other names the folder it reaches.
QStringList layerBreaches(const QString& file, const QString& text)
{
    static const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])"));
    const QString folder = file.section('/', 0, 0);
    const QStringList allowed = allowedMatrix().value(folder);
    QStringList breaches;
    const QStringList lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = include.match(lines[i]);
        if (!m.hasMatch())
            continue;
        const QString header = m.captured(2);
        const QString where = QStringLiteral("%1:%2: ").arg(file).arg(i + 1);
        if (m.captured(1) == "<") {
            if (widgetlessFolders.contains(folder)) {
                const QString module = widgetModuleOf(header);
                if (!module.isEmpty())
                    breaches << where
                                    + QStringLiteral("<%1> is a header of %2, and %3/ links no widgets")
                                          .arg(header, module, folder);
            }
            continue;
        }
        if (!header.contains('/'))
            continue;
        const QString target = header.section('/', 0, 0);
        if (target == folder || allowed.contains(target))
            continue;
        if (knownCrossings().contains(file + " -> " + header))
            continue;
        breaches << where + QStringLiteral("\"%1\": %2/ may not include from %3/").arg(header, folder, target);
    }
    return breaches;
}

QString readText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

// The sources of one folder, as paths from the top of the tree.
QStringList sourcesOf(const QString& folder)
{
    const QDir top(QStringLiteral(DORV_SOURCE_DIR));
    QStringList files;
    QDirIterator it(top.filePath(folder), {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << top.relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class TestLayers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Without the Qt headers every widget look-up would say no, and the check would pass on anything.
        QVERIFY2(QFileInfo::exists(qtHeadersDir() + "/QtWidgets/QWidget"), qPrintable(qtHeadersDir()));
    }

    void everyFolderHasItsRow()
    {
        const QDir top(QStringLiteral(DORV_SOURCE_DIR));
        QStringList unknown;
        for (const QString& name : top.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (name != "tests" && top.exists(name + "/CMakeLists.txt") && !allowedMatrix().contains(name))
                unknown << name;
        QVERIFY2(unknown.isEmpty(), qPrintable("folders without a row of layers: " + unknown.join(", ")));
    }

    void folderKeepsItsLayer_data()
    {
        QTest::addColumn<QString>("folder");
        QStringList folders = allowedMatrix().keys();
        folders.sort();
        for (const QString& folder : folders)
            QTest::newRow(qPrintable(folder)) << folder;
    }

    void folderKeepsItsLayer()
    {
        QFETCH(QString, folder);
        const QStringList files = sourcesOf(folder);
        QVERIFY2(!files.isEmpty(), qPrintable("no sources found in " + folder));
        QStringList breaches;
        for (const QString& file : files)
            breaches << layerBreaches(file, readText(QDir(QStringLiteral(DORV_SOURCE_DIR)).filePath(file)));
        QVERIFY2(breaches.isEmpty(), qPrintable("\n" + breaches.join('\n')));
    }

    void knownCrossingsStillExist()
    {
        // A crossing that went away leaves the list, so that it cannot come back unseen.
        QStringList gone;
        for (const QString& crossing : knownCrossings()) {
            const QString file = crossing.section(" -> ", 0, 0);
            const QString header = crossing.section(" -> ", 1);
            if (!readText(QDir(QStringLiteral(DORV_SOURCE_DIR)).filePath(file))
                     .contains(QStringLiteral("#include \"%1\"").arg(header)))
                gone << crossing;
        }
        QVERIFY2(gone.isEmpty(), qPrintable("no longer there, remove from the list: " + gone.join(", ")));
    }

    void checkerJudgesEdges_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("breach"); // empty: the file keeps its layer

        const QString data = "#include \"Table.h\"\n\n#include \"util/Money.h\"\n#include <QString>\n";
        QTest::newRow("data on util and Qt Core") << "data/Table.cpp" << data << "";
        QTest::newRow("data up to widgets")
            << "data/Table.cpp" << data + "#include \"widgets/DbGrid.h\"\n"
            << "data/Table.cpp:5: \"widgets/DbGrid.h\": data/ may not include from widgets/";
        QTest::newRow("util with a widget header")
            << "util/Clock.cpp"
            << "#include \"Clock.h\"\n#include <QWidget>\n"
            << "util/Clock.cpp:2: <QWidget> is a header of QtWidgets, and util/ links no widgets";
        QTest::newRow("book with a module-qualified dialog")
            << "book/BookCheck.cpp"
            << "  #  include <QtWidgets/QDialog>\n"
            << "book/BookCheck.cpp:1: <QtWidgets/QDialog> is a header of QtWidgets, and book/ links no widgets";
        QTest::newRow("book with a printer") << "book/BookCheck.cpp"
                                             << "#include <QPrinter>\n"
                                             << "book/BookCheck.cpp:1: <QPrinter> is a header of QtPrintSupport, "
                                                "and book/ links no widgets";
        QTest::newRow("book on data") << "book/BookCheck.h"
                                      << "#include \"data/DorvDm.h\"\n#include <QObject>\n"
                                      << "";
        QTest::newRow("widgets may use widgets") << "widgets/DbGrid.cpp"
                                                 << "#include <QWidget>\n#include \"data/Table.h\"\n"
                                                 << "";
        QTest::newRow("card down to ledger") << "card/DorvCard.cpp"
                                             << "#include \"ledger/MoneyView.h\"\n"
                                             << "card/DorvCard.cpp:1: \"ledger/MoneyView.h\": card/ may not include "
                                                "from ledger/";
        QTest::newRow("one window into another")
            << "contacts/PeopleView.cpp"
            << "#include \"results/DorvRes.h\"\n"
            << "contacts/PeopleView.cpp:1: \"results/DorvRes.h\": contacts/ may not include from results/";
        QTest::newRow("a known crossing from another file")
            << "ledger/AccountsPage.cpp"
            << "#include \"categories/CategoryTree.h\"\n"
            << "ledger/AccountsPage.cpp:1: \"categories/CategoryTree.h\": ledger/ may not include from categories/";
        QTest::newRow("a known crossing") << "ledger/MoneyView.cpp"
                                          << "#include \"results/DorvRes.h\"\n"
                                          << "";
        QTest::newRow("commented out") << "data/Table.cpp"
                                       << "// #include \"widgets/DbGrid.h\"\n"
                                       << "";
        QTest::newRow("the frame on anything") << "app/DorvMain.cpp"
                                               << "#include \"ledger/MoneyView.h\"\n#include \"results/DorvRes.h\"\n"
                                               << "";
    }

    void checkerJudgesEdges()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(QString, breach);
        const QStringList found = layerBreaches(file, text);
        QCOMPARE(found, breach.isEmpty() ? QStringList() : QStringList{breach});
    }
};

QTEST_GUILESS_MAIN(TestLayers)
#include "tst_layers.moc"
