#include "app/Application.h"
#include "data/DbError.h"
#include "support/ScriptedPrompts.h"

#include <QtTest>

using namespace dorv;

namespace {
// An object whose handling of an event fails the way a careless handler would.
class Thrower final : public QObject {
public:
    bool throwStd = false;
    int handled = 0;
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++handled;
        if (throwStd)
            throw std::runtime_error("сбой обработчика");
        throw DbError(QStringLiteral("Ошибка обработчика"));
    }
};
} // namespace

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    void captionsCarryNoProgramName()
    {
        // The toolkit appends an explicitly set display name to every window's caption; the
        // program's title is its name instead, so a dialog shows its own caption alone.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("Dorvana 1.5"));
        QCoreApplication::setApplicationName(QStringLiteral("другое"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("другое"));
        QCoreApplication::setApplicationName(QStringLiteral("Dorvana 1.5"));
        QCOMPARE(QLocale().language(), QLocale::Russian);
    }

    void escapedErrorsAreShownAndTheLoopGoesOn_data()
    {
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("message");
        QTest::addRow("our error") << false << "Ошибка обработчика";
        QTest::addRow("a standard exception") << true << "сбой обработчика";
    }
    void escapedErrorsAreShownAndTheLoopGoesOn()
    {
        QFETCH(bool, standard);
        QFETCH(QString, message);
        ScriptedPrompts prompts;
        TApplication::setPrompts(&prompts);
        Thrower target;
        target.throwStd = standard;
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        TApplication::setPrompts(nullptr);
        QCOMPARE(target.handled, 1);
        QCOMPARE(prompts.asked, QStringList{"error: " + message});
        QVERIFY(!QGuiApplication::overrideCursor());
    }
};

int main(int argc, char* argv[])
{
    TApplication app(argc, argv);
    setUpApplication(app);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
