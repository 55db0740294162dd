#include "app/CommandStates.h"

#include <QtTest>

using namespace dorv;

// The command rules as a table: facts in, the available commands out.
class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void rules_data()
    {
        QTest::addColumn<QString>(
            "facts"); // items accounts history rows mode receiving kind date(-1 past, 0 today, 1 future)
        QTest::addColumn<QString>("expected"); // the available commands
        const QString all = "category money view new delete edit update save result accounts";
        QTest::newRow("no database") << "- - - - mode - 1 0"
                                     << "new";
        QTest::newRow("open, no rows") << "items accounts history - mode - 1 0"
                                       << "category money view new save accounts";
        QTest::newRow("real row") << "items accounts history rows mode - 1 0"
                                  << "category money view new delete edit save result accounts";
        QTest::newRow("receiving row of a transfer") << "items accounts history rows mode receiving 1 0"
                                                     << "category money view new save result accounts";
        QTest::newRow("planned row due today") << "items accounts history rows mode - 2 0" << all;
        QTest::newRow("planned row of yesterday") << "items accounts history rows mode - 2 -1" << all;
        QTest::newRow("planned row of tomorrow") << "items accounts history rows mode - 2 1"
                                                 << "category money view new delete edit save result accounts";
        QTest::newRow("no categories shown") << "items accounts history rows - - 2 0"
                                             << "category money view delete save result accounts";
        QTest::newRow("history closed") << "items accounts - - mode - 1 0"
                                        << "category new accounts";
        QTest::newRow("categories closed") << "- accounts history rows mode - 1 0"
                                           << "money view new delete edit save result accounts";
    }
    void rules()
    {
        QFETCH(QString, facts);
        QFETCH(QString, expected);
        const QStringList f = facts.split(' ');
        CommandFacts in;
        in.itemsOpen = f[0] == "items";
        in.accountsOpen = f[1] == "accounts";
        in.historyOpen = f[2] == "history";
        in.historyHasRows = f[3] == "rows";
        in.modeOn = f[4] == "mode";
        in.receivingRow = f[5] == "receiving";
        in.kind = f[6];
        in.today = 1000;
        in.dateReal = in.today + f[7].toInt();
        const CommandStates s = UpdateCommandStates(in);
        QStringList on;
        const std::pair<const char*, bool> named[] = {
            {"category", s.category},  {"money", s.money},      {"view", s.view},     {"new", s.moneyNew},
            {"delete", s.moneyDelete}, {"edit", s.moneyEdit},   {"update", s.update}, {"save", s.save},
            {"result", s.result},      {"accounts", s.accounts}};
        for (const auto& [name, enabled] : named)
            if (enabled)
                on << QString::fromLatin1(name);
        QCOMPARE(on.join(' '), expected);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
