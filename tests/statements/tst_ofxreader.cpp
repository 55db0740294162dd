#include "statements/OfxReader.h"
#include "util/DateScale.h"

#include <QFile>
#include <QtTest>

using namespace dorv;

namespace {

QByteArray sample(const QString& name)
{
    QFile f(QStringLiteral(DORV_SAMPLES_DIR "/ofx/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no sample %s", qPrintable(name));
    return f.readAll();
}

int day(int y, int m, int d) { return dayNumber(QDate(y, m, d)); }

// A bank statement in SGML with the given transactions between the header and the balance.
QByteArray sgml(const QByteArray& transactions, const QByteArray& charset = "1252")
{
    return "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\nSECURITY:NONE\nENCODING:USASCII\nCHARSET:" + charset
           + "\nCOMPRESSION:NONE\nOLDFILEUID:NONE\nNEWFILEUID:NONE\n\n"
             "<OFX>\n<SIGNONMSGSRSV1><SONRS><STATUS><CODE>0<SEVERITY>INFO</STATUS>\n"
             "<DTSERVER>20240102<LANGUAGE>ENG</SONRS></SIGNONMSGSRSV1>\n"
             "<BANKMSGSRSV1><STMTTRNRS><TRNUID>1<STATUS><CODE>0<SEVERITY>INFO</STATUS>\n"
             "<STMTRS><CURDEF>EUR<BANKACCTFROM><BANKID>1<ACCTID>4000<ACCTTYPE>CHECKING</BANKACCTFROM>\n"
             "<BANKTRANLIST><DTSTART>20240101<DTEND>20240131\n"
           + transactions
           + "</BANKTRANLIST>\n<LEDGERBAL><BALAMT>10.00<DTASOF>20240131</LEDGERBAL>\n"
             "</STMTRS></STMTTRNRS></BANKMSGSRSV1>\n</OFX>\n";
}

} // namespace

class TestOfxReader : public QObject {
    Q_OBJECT
private slots:
    void sgmlWithCommaDecimals()
    {
        const BankStatement s = readOfx(sample(QStringLiteral("jgnash-bank1-commas.ofx")));
        QCOMPARE(s.accounts.size(), 1);
        const StatementAccount& a = s.accounts[0];
        QCOMPARE(a.number, QStringLiteral("555555-S02"));
        QCOMPARE(a.currency, QStringLiteral("USD"));
        QVERIFY(a.hasClosing);
        QCOMPARE(a.closing, 5241000);
        QCOMPARE(a.entries.size(), 4);
        QCOMPARE(a.entries[0].amount, 1300000);
        QVERIFY(!a.entries[0].income);
        // TRNTYPE CASH, DEBIT or CREDIT: the sign alone gives the direction.
        QCOMPARE(a.entries[2].amount, 3000100);
        QVERIFY(a.entries[2].income);
        // 23:59:59 five hours behind UTC is still the 12th as the bank wrote it.
        QCOMPARE(a.entries[0].date, day(2007, 12, 12));
        QCOMPARE(a.entries[0].bankId, QStringLiteral("21613420071212WH"));
        QCOMPARE(a.entries[0].counterparty, QStringLiteral("To Share xx"));
        QCOMPARE(a.entries[0].description, QStringLiteral("Withdrawal Transfer Home Banking"));
        QCOMPARE(a.entries[0].line, 21);
    }

    void xmlWithSeveralAccounts()
    {
        const BankStatement s = readOfx(sample(QStringLiteral("asgrim-multiple-accounts-xml.ofx")));
        QCOMPARE(s.accounts.size(), 3);
        QCOMPARE(s.accounts[0].number, QStringLiteral("54658222458596"));
        QCOMPARE(s.accounts[0].entries.size(), 0);
        QCOMPARE(s.accounts[0].closing, 430100);
        QCOMPARE(s.accounts[1].entries.size(), 2);
        QCOMPARE(s.accounts[1].entries[0].amount, 39800);
        QVERIFY(!s.accounts[1].entries[0].income);
        QCOMPARE(s.accounts[1].entries[0].counterparty, QStringLiteral("TESCO"));
        QCOMPARE(s.accounts[1].entries[0].date, day(2014, 7, 17));
        QCOMPARE(s.accounts[1].entries[1].amount, 5000000);
        QVERIFY(s.accounts[1].entries[1].income);
        QCOMPARE(s.accounts[2].number, QStringLiteral("21252344525548"));
        QCOMPARE(s.accounts[2].currency, QStringLiteral("GBP"));
        QCOMPARE(s.accounts[2].entries.size(), 1);
        QCOMPARE(s.accounts[2].entries[0].amount, 187000);
    }

    void realCodePage1252()
    {
        const BankStatement s = readOfx(sample(QStringLiteral("actual-1252.qfx")));
        QCOMPARE(s.accounts.size(), 1);
        QCOMPARE(s.accounts[0].currency, QStringLiteral("CAD"));
        QCOMPARE(s.accounts[0].number, QStringLiteral("999-12345-0055666-EOP"));
        const StatementEntry& e = s.accounts[0].entries.value(0);
        QCOMPARE(e.counterparty, QStringLiteral("Café Métro €uro"));
        QCOMPARE(e.description, QStringLiteral("Paiement 5€ — débit"));
        QCOMPARE(e.amount, 200000);
        QCOMPARE(s.accounts[0].closing, 99999900);
    }

    void utf8BytesDeclared1252AreUtf8()
    {
        const QByteArray bytes = sgml("<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240105<TRNAMT>-5.00<FITID>A1"
                                      "<NAME>Пятёрочка<MEMO>Café</STMTTRN>\n");
        const BankStatement s = readOfx(bytes);
        QCOMPARE(s.accounts.value(0).entries.value(0).counterparty, QStringLiteral("Пятёрочка"));
        QCOMPARE(s.accounts.value(0).entries.value(0).description, QStringLiteral("Café"));
    }

    void checkingWithTabsAndLongMemo()
    {
        const BankStatement s = readOfx(sample(QStringLiteral("ofxparse-checking.ofx")));
        QCOMPARE(s.accounts.size(), 1);
        const StatementAccount& a = s.accounts[0];
        QCOMPARE(a.number, QStringLiteral("1452687~7"));
        QCOMPARE(a.entries.size(), 3);
        QCOMPARE(a.entries[0].amount, 100);
        QVERIFY(a.entries[0].income);
        QCOMPARE(a.entries[0].counterparty, QStringLiteral("DIVIDEND EARNED FOR PERIOD OF 03"));
        QVERIFY(a.entries[0].description.endsWith(QStringLiteral("ANNUAL PERCENTAGE YIELD EARNED IS 0.05%")));
        QCOMPARE(a.entries[2].date, day(2011, 4, 7));
        QCOMPARE(a.closing, 1009900);
    }

    void emptyTagsAndForeignTags()
    {
        const BankStatement s = readOfx(sample(QStringLiteral("ofxparse-empty-tags-v102.ofx")));
        QCOMPARE(s.accounts.size(), 1);
        const StatementAccount& a = s.accounts[0];
        QCOMPARE(a.number, QStringLiteral("12345678"));
        QVERIFY(a.currency.isEmpty());
        QVERIFY(!a.hasClosing); // <BALAMT></BALAMT> states nothing
        QCOMPARE(a.entries.size(), 1);
        QCOMPARE(a.entries[0].amount, 123400);
        QVERIFY(a.entries[0].income);
        QVERIFY(a.entries[0].bankId.isEmpty());
        QCOMPARE(a.entries[0].description, QStringLiteral("CBA:Transfer"));
        QCOMPARE(a.entries[0].currency, QStringLiteral("AUD"));
        QCOMPARE(a.entries[0].date, day(2018, 5, 7));
    }

    void identifiersAndParties_data()
    {
        QTest::addColumn<QByteArray>("transaction");
        QTest::addColumn<QString>("bankId");
        QTest::addColumn<QString>("counterparty");
        QTest::newRow("placeholder") << QByteArray("<FITID>NONREF<NAME>Shop") << QString() << "Shop";
        QTest::newRow("zeros") << QByteArray("<FITID>000000<NAME>Shop") << QString() << "Shop";
        QTest::newRow("split over two lines") << QByteArray("<FITID>20240105\n0001<NAME>Shop") << "202401050001"
                                              << "Shop";
        QTest::newRow("payee aggregate") << QByteArray("<FITID>77<PAYEE><NAME>Landlord<ADDR1>Main st 1<CITY>X"
                                                       "<STATE>Y<POSTALCODE>1<PHONE>2</PAYEE>")
                                         << "77"
                                         << "Landlord";
    }
    void identifiersAndParties()
    {
        QFETCH(QByteArray, transaction);
        QFETCH(QString, bankId);
        QFETCH(QString, counterparty);
        const BankStatement s =
            readOfx(sgml("<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240105<TRNAMT>-5.00" + transaction + "</STMTTRN>\n"));
        const StatementEntry e = s.accounts.value(0).entries.value(0);
        QCOMPARE(e.bankId, bankId);
        QCOMPARE(e.counterparty, counterparty);
        QCOMPARE(e.amount, 50000);
    }

    void creditCardAndEmptyStatement()
    {
        const QByteArray bytes = "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX><SIGNONMSGSRSV1><SONRS><STATUS>"
                                 "<CODE>0<SEVERITY>INFO</STATUS><DTSERVER>20240102<LANGUAGE>ENG</SONRS>"
                                 "</SIGNONMSGSRSV1>\n<CREDITCARDMSGSRSV1><CCSTMTTRNRS><TRNUID>1<STATUS><CODE>0"
                                 "<SEVERITY>INFO</STATUS>\n<CCSTMTRS><CURDEF>USD<CCACCTFROM><ACCTID>4111</CCACCTFROM>\n"
                                 "<BANKTRANLIST><DTSTART>20240101<DTEND>20240131\n"
                                 "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240110<TRNAMT>-12.5<FITID>c1<NAME>Cafe</STMTTRN>\n"
                                 "</BANKTRANLIST><LEDGERBAL><BALAMT>-12.50<DTASOF>20240131</LEDGERBAL></CCSTMTRS>"
                                 "</CCSTMTTRNRS></CREDITCARDMSGSRSV1></OFX>\n";
        const BankStatement s = readOfx(bytes);
        QCOMPARE(s.accounts.size(), 1);
        QCOMPARE(s.accounts[0].number, QStringLiteral("4111"));
        QCOMPARE(s.accounts[0].closing, -125000);
        QCOMPARE(s.accounts[0].entries.value(0).amount, 125000);

        const BankStatement empty = readOfx(sgml(""));
        QCOMPARE(empty.accounts.size(), 1);
        QCOMPARE(empty.accounts[0].entries.size(), 0);
        QCOMPARE(empty.accounts[0].closing, 100000);
    }

    void investmentIsSkippedWithANote()
    {
        const QByteArray bytes =
            "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX><SIGNONMSGSRSV1><SONRS><STATUS><CODE>0<SEVERITY>INFO"
            "</STATUS><DTSERVER>20240102<LANGUAGE>ENG</SONRS></SIGNONMSGSRSV1>\n<INVSTMTMSGSRSV1><INVSTMTTRNRS>"
            "<TRNUID>1<STATUS><CODE>0<SEVERITY>INFO</STATUS>\n<INVSTMTRS><DTASOF>20240131<CURDEF>USD"
            "<INVACCTFROM><BROKERID>broker.example<ACCTID>777</INVACCTFROM>\n<INVTRANLIST><DTSTART>20240101"
            "<DTEND>20240131\n<INVBANKTRAN><STMTTRN><TRNTYPE>CREDIT<DTPOSTED>20240105<TRNAMT>100.00<FITID>i1"
            "<NAME>Deposit</STMTTRN><SUBACCTFUND>CASH</INVBANKTRAN>\n</INVTRANLIST></INVSTMTRS></INVSTMTTRNRS>"
            "</INVSTMTMSGSRSV1>\n</OFX>\n";
        const BankStatement s = readOfx(bytes);
        QCOMPARE(s.accounts.size(), 0);
        QCOMPARE(s.notes.size(), 1);
        QVERIFY2(s.notes[0].contains(QStringLiteral("777")), qPrintable(s.notes[0]));
    }

    void brokenFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("line");
        const QByteArray good = sgml("<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240105<TRNAMT>-5.00<FITID>A1</STMTTRN>\n");
        QTest::newRow("libofx fuzz sample")
            << sample(QStringLiteral("libofx-fuzz-null-ptr-deref-1.ofx")) << "не закрыт знаком" << 3;
        QTest::newRow("truncated") << good.left(good.indexOf("</BANKTRANLIST>")) << "обрывается" << 16;
        QTest::newRow("unbalanced end tag")
            << sgml("<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240105<TRNAMT>-5.00</STMTTRN></STMTTRN>\n")
            << "без открывающего" << 17;
        QTest::newRow("no date") << sgml("<STMTTRN><TRNTYPE>DEBIT<TRNAMT>-5.00<FITID>A1</STMTTRN>\n")
                                 << "нет даты проведения" << 17;
        QTest::newRow("date that does not exist")
            << sgml("<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20230229<TRNAMT>-5.00</STMTTRN>\n") << "20230229" << 17;
        QTest::newRow("dollar amount") << sgml("<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240105<TRNAMT>$120</STMTTRN>\n")
                                       << "«$120»" << 17;
        QTest::newRow("no statement") << QByteArray("OFXHEADER:100\n\n<OFX><SIGNONMSGSRSV1></SIGNONMSGSRSV1></OFX>\n")
                                      << "нет выписки" << 0;
        QTest::newRow("binary garbage") << QByteArray("PK\x03\x04\x14\x00<OFX>\x00\x01", 14) << "не текстовый" << 0;
        QTest::newRow("not ofx") << QByteArray("Date;Amount\n01.01.2024;5\n") << "нет тега <OFX>" << 0;
        QTest::newRow("empty") << QByteArray() << "пуст" << 0;
    }
    void brokenFilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(int, line);
        try {
            readOfx(bytes);
            QFAIL("the file was read");
        } catch (const StatementError& e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
            QCOMPARE(e.line(), line);
        }
    }

    void missingAndImpossibleDatesNameTheirEntry()
    {
        // The first fault of the file is reported: its first entry has no DTPOSTED at all.
        try {
            readOfx(sample(QStringLiteral("ofxparse-fail-date_missing.ofx")));
            QFAIL("the file was read");
        } catch (const StatementError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("DTPOSTED")), qPrintable(e.message()));
            QCOMPARE(e.line(), 33);
        }
    }
};

QTEST_GUILESS_MAIN(TestOfxReader)
#include "tst_ofxreader.moc"
