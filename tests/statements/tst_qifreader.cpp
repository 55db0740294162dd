#include "statements/QifReader.h"
#include "util/DateScale.h"

#include <QFile>
#include <QtTest>

using namespace dorv;

Q_DECLARE_METATYPE(dorv::DateOrder)

namespace {

QByteArray sample(const QString& name)
{
    QFile f(QStringLiteral(DORV_SAMPLES_DIR "/qif/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no sample %s", qPrintable(name));
    return f.readAll();
}

int day(int y, int m, int d) { return dayNumber(QDate(y, m, d)); }

} // namespace

class TestQifReader : public QObject {
    Q_OBJECT
private slots:
    void listsSplitsAndInvestmentsOfARealFile()
    {
        const BankStatement s = readQif(sample(QStringLiteral("quiffen-test.qif")));
        QCOMPARE(s.accounts.size(), 1);
        const QList<StatementEntry>& e = s.accounts[0].entries;
        // Opening balance, T-Mobile in 2 parts, the post office, Target in 2, Walmart, Amazon in 4.
        QCOMPARE(e.size(), 11);
        QCOMPARE(e[0].date, day(2020, 2, 10));
        QCOMPARE(e[0].amount, 0);
        QCOMPARE(e[0].note, QStringLiteral("нулевая сумма"));
        QCOMPARE(e[0].counterAccount, QStringLiteral("TestExport"));
        QVERIFY(e[0].category.isEmpty());
        QCOMPARE(e[1].category, QStringLiteral("Bills:Cell Phone"));
        QCOMPARE(e[1].amount, 150000);
        QVERIFY(!e[1].income);
        QCOMPARE(e[1].description, QStringLiteral("sign up credit"));
        QCOMPARE(e[1].counterparty, QStringLiteral("T-Mobile"));
        QCOMPARE(e[2].amount, 825000);
        QVERIFY(e[2].income);
        QCOMPARE(e[3].category, QStringLiteral("Miscellaneous"));
        QCOMPARE(e[3].description, QStringLiteral("money back for damaged parcel"));
        QCOMPARE(e[6].bankId, QStringLiteral("123"));
        QCOMPARE(e[6].amount, 250000);
        QCOMPARE(e[10].category, QStringLiteral("Healthcare:Prescriptions"));
        QCOMPARE(e[10].amount, 150000);
        QCOMPARE(s.notes.size(), 1);
        QVERIFY2(s.notes[0].contains(QStringLiteral("Инвестиционный")), qPrintable(s.notes[0]));
        QVERIFY(s.dateOrders.isEmpty());
    }

    void splitToAnAccount()
    {
        const BankStatement s = readQif(sample(QStringLiteral("quiffen-split.qif")));
        QCOMPARE(s.accounts.size(), 1);
        const QList<StatementEntry>& e = s.accounts[0].entries;
        QCOMPARE(e.size(), 2);
        QCOMPARE(e[0].date, day(2000, 1, 1));
        QCOMPARE(e[0].counterAccount, QStringLiteral("An Account"));
        QCOMPARE(e[0].amount, 90000);
        QCOMPARE(e[1].category, QStringLiteral("A Category"));
        QCOMPARE(e[1].amount, 10000);
        QCOMPARE(e[1].counterparty, QStringLiteral("A Payee"));
    }

    void dayMonthOrderSettledByTheWholeFile_data()
    {
        QTest::addColumn<DateOrder>("given");
        QTest::newRow("found") << DateOrder::Unknown;
        QTest::newRow("chosen") << DateOrder::DayMonthYear;
    }
    void dayMonthOrderSettledByTheWholeFile()
    {
        QFETCH(DateOrder, given);
        StatementOptions options;
        options.dateOrder = given;
        const BankStatement s = readQif(sample(QStringLiteral("oca-test_qif_dmy.qif")), options);
        const QList<StatementEntry>& e = s.accounts.value(0).entries;
        QCOMPARE(e.size(), 5);
        QCOMPARE(e[0].date, day(2013, 8, 12)); // 12/8/13 alone could be either; 15/8/13 settles it
        QCOMPARE(e[0].amount, 10000000);       // "-1,000.00"
        QCOMPARE(e[2].date, day(2013, 3, 3));
        QCOMPARE(e[3].date, day(2013, 3, 4));
        QVERIFY(s.dateOrders.isEmpty());
    }

    void monthFirstChosenAgainstTheFileIsRefused()
    {
        StatementOptions options;
        options.dateOrder = DateOrder::MonthDayYear;
        try {
            readQif(sample(QStringLiteral("oca-test_qif_dmy.qif")), options);
            QFAIL("the file was read");
        } catch (const StatementError& e) {
            QCOMPARE(e.line(), 6);
        }
    }

    void unsettledOrderIsLeftToAsk()
    {
        const QByteArray bytes = "!Type:Bank\nD01/04/20\nT-5.00\nPShop\n^\nD02/04/20\nT-6.00\n^\n";
        const BankStatement s = readQif(bytes);
        QCOMPARE(s.dateOrders, (QList<DateOrder>{DateOrder::MonthDayYear, DateOrder::DayMonthYear}));
        QCOMPARE(s.accounts[0].entries[0].date, day(2020, 1, 4));
        StatementOptions options;
        options.dateOrder = DateOrder::DayMonthYear;
        const BankStatement again = readQif(bytes, options);
        QVERIFY(again.dateOrders.isEmpty());
        QCOMPARE(again.accounts[0].entries[0].date, day(2020, 4, 1));
    }

    void datesAndAmountsAsProgramsWriteThem_data()
    {
        QTest::addColumn<QByteArray>("date");
        QTest::addColumn<QByteArray>("amount");
        QTest::addColumn<int>("day");
        QTest::addColumn<qint64>("units");
        QTest::addColumn<bool>("income");
        QTest::newRow("iso, thousands") << QByteArray("2020-03-25") << QByteArray("-1,234.56") << day(2020, 3, 25)
                                        << qint64(12345600) << false;
        QTest::newRow("us four-digit year")
            << QByteArray("03/25/2020") << QByteArray("10") << day(2020, 3, 25) << qint64(100000) << true;
        QTest::newRow("apostrophe, padded")
            << QByteArray(" 3/ 5'21") << QByteArray("+0.5") << day(2021, 3, 5) << qint64(5000) << true;
        QTest::newRow("dots, european amount")
            << QByteArray("25.03.2020") << QByteArray("-1.234,50") << day(2020, 3, 25) << qint64(12345000) << false;
        QTest::newRow("dashes, last century")
            << QByteArray("12-31-99") << QByteArray("7") << day(1999, 12, 31) << qint64(70000) << true;
    }
    void datesAndAmountsAsProgramsWriteThem()
    {
        QFETCH(QByteArray, date);
        QFETCH(QByteArray, amount);
        QFETCH(int, day);
        QFETCH(qint64, units);
        QFETCH(bool, income);
        const BankStatement s = readQif("!Type:CCard\nD" + date + "\nT" + amount + "\nPX\n^\n");
        const StatementEntry e = s.accounts.value(0).entries.value(0);
        QCOMPARE(e.date, day);
        QCOMPARE(e.amount, units);
        QCOMPARE(e.income, income);
    }

    void severalAccountsAndInvestmentAccounts()
    {
        const QByteArray bytes = "!Option:AutoSwitch\n!Account\nNListed\nTBank\n^\n!Clear:AutoSwitch\n"
                                 "!Account\nNChecking\nTBank\n^\n!Type:Bank\nD1/2/2024\nT-1.00\n^\n"
                                 "!Account\nNBroker\nTInvst\n^\n!Type:Invst\nD1/3/2024\nNBuy\nT100\n^\n"
                                 "!Account\nNWallet\nTCash\n^\n!Type:Cash\nD1/4/2024\nT-2.00\n^\n"
                                 "!Account\nNLoan\nTOth L\n^\n!Type:Oth L\nD1/5/2024\nT3.00\n^\n";
        const BankStatement s = readQif(bytes);
        QCOMPARE(s.accounts.size(), 3);
        QCOMPARE(s.accounts[0].number, QStringLiteral("Checking"));
        QCOMPARE(s.accounts[1].number, QStringLiteral("Wallet"));
        QCOMPARE(s.accounts[1].entries.value(0).amount, 20000);
        QCOMPARE(s.accounts[2].number, QStringLiteral("Loan"));
        QCOMPARE(s.notes.size(), 1);
        QVERIFY2(s.notes[0].contains(QStringLiteral("Broker")), qPrintable(s.notes[0]));
    }

    void windows1251Text()
    {
        const QByteArray bytes = "!Type:Bank\nD01.02.2024\nT-100\nP\xcf\xff\xf2\xb8\xf0\xee\xf7\xea\xe0\n"
                                 "L\xc5\xe4\xe0:\xce\xe2\xee\xf9\xe8\n^\n";
        const BankStatement s = readQif(bytes);
        const StatementEntry e = s.accounts.value(0).entries.value(0);
        QCOMPARE(e.counterparty, QStringLiteral("Пятёрочка"));
        QCOMPARE(e.category, QStringLiteral("Еда:Овощи"));
    }

    void brokenFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("line");
        QTest::newRow("gnucash junk after the date")
            << sample(QStringLiteral("gnucash-web-baddates.qif")) << "неверная дата" << 2;
        QTest::newRow("dollar amount") << QByteArray("!Type:Bank\nD1/2/2024\nT$120\n^\n") << "«$120»" << 3;
        QTest::newRow("date that does not exist")
            << QByteArray("!Type:Bank\nD2023-02-29\nT1\n^\n") << "2023-02-29" << 2;
        QTest::newRow("no date") << QByteArray("!Type:Bank\nT1\nPX\n^\n") << "нет даты" << 2;
        QTest::newRow("no amount") << QByteArray("!Type:Bank\nD1/2/2024\nPX\n^\n") << "нет суммы" << 2;
        QTest::newRow("no header") << QByteArray("D1/2/2024\nT1\n^\n") << "не файл QIF" << 1;
        QTest::newRow("binary garbage") << QByteArray("\x00\x01\x02!Type:Bank", 13) << "не текстовый" << 0;
        QTest::newRow("month thirteen either way") << QByteArray("!Type:Bank\nD13/13/20\nT1\n^\n") << "13/13/20" << 2;
    }
    void brokenFilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(int, line);
        try {
            readQif(bytes);
            QFAIL("the file was read");
        } catch (const StatementError& e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
            QCOMPARE(e.line(), line);
        }
    }
};

QTEST_GUILESS_MAIN(TestQifReader)
#include "tst_qifreader.moc"
