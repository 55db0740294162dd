#include "data/Database.h"
#include "data/OwnTables.h"
#include "find/OperationSearch.h"
#include "support/TemplateDb.h"
#include "util/DateScale.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace dorv;

// The search over a small book of two accounts: which rows each criterion finds, and the count and
// sums of all of them.
class TestOperationSearch : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::shared_ptr<Database> db;

    static int day(int d, int m) { return dayNumber(QDate(2024, m, d)); }

private slots:
    void initTestCase()
    {
        QVERIFY(unpackTemplate(dir.path()));
        db = Database::openFile(dir.filePath(QStringLiteral("DORVANA.DB")), false);
        db->exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Карта', 'руб', 0), "
                 "(2, 'Вклад Сбер', 'руб', 0)");
        db->exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), "
                 "(2, 'Молочное', 1, 1, '-'), (3, 'Кефир', 2, 2, '-'), (4, 'Зарплата', NULL, 0, '+')");
        db->exec("INSERT INTO TB_PERSON (Id_Person, Name) VALUES (1, 'Петров Пётр')");
        db->exec("INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (1, 'Магнит')");
        // Rows: a, the kefir at Magnit; b, the salary; c, a planned kefir bought by Petrov; d, a
        // transfer to the deposit with its receiving row e; f, an expense known only by its bank text.
        db->exec(QStringLiteral(
                     "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1, Level2, Level3, "
                     "ID_Person, ID_Firm, Ref_Account) VALUES "
                     "(1, %1, 1001, '1', NULL, 120.5, 1, 2, 3, NULL, 1, NULL),"
                     "(1, %2, 1002, '1', 50000, NULL, 4, NULL, NULL, NULL, NULL, NULL),"
                     "(1, %3, 1003, '2', NULL, 99.99, 1, 2, 3, 1, NULL, NULL),"
                     "(1, %4, 1004, '1', NULL, 10000, -1, NULL, NULL, NULL, NULL, 2),"
                     "(2, %4, 1004, '1', 10000, NULL, -1, NULL, NULL, NULL, NULL, 1),"
                     "(2, %5, 1006, '1', NULL, 700, 1, NULL, NULL, NULL, NULL, NULL)")
                     .arg(day(1, 3))
                     .arg(day(5, 3))
                     .arg(day(10, 4))
                     .arg(day(15, 3))
                     .arg(day(20, 3)));
        OwnTables::ensure(*db, QLatin1String(OwnTables::BankText));
        db->exec("INSERT INTO TB_IMPORT_TEXT (Id_Account, Date_Create, Bank_Text) VALUES "
                 "(2, 1006, 'ОПЛАТА ЯНДЕКС ТАКСИ'), (1, 1002, 'Зачисление заработной платы')");
    }

    void finds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("from"); // amount bounds in whole units, -1 none
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("dateFrom"); // day of March 2024, 0 none
        QTest::addColumn<int>("dateTo");
        QTest::addColumn<int>("account");    // 0 all
        QTest::addColumn<int>("kinds");      // 1 real, 2 planned, 3 both
        QTest::addColumn<QString>("found");  // creation moments, latest first
        QTest::addColumn<QString>("totals"); // count, income and expense in ten-thousandths

        QTest::newRow("everything") << "" << -1 << -1 << 0 << 0 << 0 << 3 << "1003 1006 1004 1004 1002 1001"
                                    << "6 600000000 109204900";
        QTest::newRow("a group, other case") << "МОЛОЧ" << -1 << -1 << 0 << 0 << 0 << 3 << "1003 1001"
                                             << "2 0 2204900";
        QTest::newRow("an article, inside a word") << "ефи" << -1 << -1 << 0 << 0 << 0 << 3 << "1003 1001"
                                                   << "2 0 2204900";
        QTest::newRow("the person, ё") << "пётр" << -1 << -1 << 0 << 0 << 0 << 3 << "1003"
                                       << "1 0 999900";
        QTest::newRow("the place") << "магнит" << -1 << -1 << 0 << 0 << 0 << 3 << "1001"
                                   << "1 0 1205000";
        QTest::newRow("the other account") << "сбер" << -1 << -1 << 0 << 0 << 0 << 3 << "1004"
                                           << "1 0 100000000";
        QTest::newRow("the bank's text") << "такси" << -1 << -1 << 0 << 0 << 0 << 3 << "1006"
                                         << "1 0 7000000";
        QTest::newRow("the bank's text or a category") << "зар" << -1 << -1 << 0 << 0 << 0 << 3 << "1002"
                                                       << "1 500000000 0";
        QTest::newRow("nothing holds it") << "кофе" << -1 << -1 << 0 << 0 << 0 << 3 << ""
                                          << "0 0 0";
        QTest::newRow("amounts, both bounds kept") << "" << 100 << 700 << 0 << 0 << 0 << 3 << "1006 1001"
                                                   << "2 0 8205000";
        QTest::newRow("amounts from") << "" << 10000 << -1 << 0 << 0 << 0 << 3 << "1004 1004 1002"
                                      << "3 600000000 100000000";
        QTest::newRow("dates, both bounds kept") << "" << -1 << -1 << 5 << 15 << 0 << 3 << "1004 1004 1002"
                                                 << "3 600000000 100000000";
        QTest::newRow("the current account") << "" << -1 << -1 << 0 << 0 << 2 << 3 << "1006 1004"
                                             << "2 100000000 7000000";
        QTest::newRow("planned only") << "" << -1 << -1 << 0 << 0 << 0 << 2 << "1003"
                                      << "1 0 999900";
        QTest::newRow("real only, with text") << "еда" << -1 << -1 << 0 << 0 << 0 << 1 << "1006 1001"
                                              << "2 0 8205000";
        QTest::newRow("neither kind") << "" << -1 << -1 << 0 << 0 << 0 << 0 << ""
                                      << "0 0 0";
    }
    void finds()
    {
        QFETCH(QString, text);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, dateFrom);
        QFETCH(int, dateTo);
        QFETCH(int, account);
        QFETCH(int, kinds);
        QFETCH(QString, found);
        QFETCH(QString, totals);
        FindCriteria c;
        c.text = text;
        if (from >= 0)
            c.amountFrom = qint64(from) * 10000;
        if (to >= 0)
            c.amountTo = qint64(to) * 10000;
        if (dateFrom)
            c.dateFrom = day(dateFrom, 3);
        if (dateTo)
            c.dateTo = day(dateTo, 3);
        if (account)
            c.account = account;
        c.real = kinds & 1;
        c.planned = kinds & 2;
        const FindResult r = OperationSearch(*db).run(c);
        QStringList moments;
        for (const FoundOperation& o : r.rows)
            moments << QString::number(o.created);
        QCOMPARE(moments.join(' '), found);
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(r.count).arg(r.income).arg(r.expense), totals);
    }

    // The rows carry the names the grid shows and the key that finds them again; a limit shortens
    // the list, never the count and sums.
    void rowsAndLimit()
    {
        FindCriteria c;
        c.text = QStringLiteral("кефир");
        const FindResult r = OperationSearch(*db).run(c, 1);
        QCOMPARE(r.rows.size(), 1);
        QCOMPARE(r.count, 2);
        QCOMPARE(r.expense, 2204900);
        const FoundOperation& o = r.rows[0];
        QCOMPARE(o.account, 1);
        QCOMPARE(o.date, day(10, 4));
        QCOMPARE(o.kind, QStringLiteral("2"));
        QVERIFY(o.planned());
        QCOMPARE(QStringList({o.accountName, o.category, o.group, o.article, o.person, o.place}).join('|'),
                 QStringLiteral("Карта|Еда|Молочное|Кефир|Петров Пётр|"));
        QCOMPARE(o.expense, 999900);
    }
};

QTEST_GUILESS_MAIN(TestOperationSearch)
#include "tst_operation_search.moc"
