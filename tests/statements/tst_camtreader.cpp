#include "statements/CamtReader.h"
#include "util/DateScale.h"

#include <QFile>
#include <QtTest>

using namespace dorv;

namespace {

QByteArray sample(const QString& name)
{
    QFile f(QStringLiteral(DORV_SAMPLES_DIR "/camt/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no sample %s", qPrintable(name));
    return f.readAll();
}

int day(int y, int m, int d) { return dayNumber(QDate(y, m, d)); }

// A one-statement document of the given version with the given entries.
QByteArray document(const QByteArray& entries, const QByteArray& version = "02")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001."
           + version
           + "\">\n<BkToCstmrStmt><GrpHdr><MsgId>1</MsgId></GrpHdr>\n"
             "<Stmt><Id>1</Id><Acct><Id><IBAN>DE02 1203 0000 0000 2020 51</IBAN></Id><Ccy>EUR</Ccy></Acct>\n"
           + entries + "</Stmt></BkToCstmrStmt></Document>\n";
}

} // namespace

class TestCamtReader : public QObject {
    Q_OBJECT
private slots:
    void minimalVersion2()
    {
        const BankStatement s = readCamt(sample(QStringLiteral("genkgo-camt053.v2.minimal.xml")));
        QCOMPARE(s.format, QStringLiteral("CAMT.053 (camt.053.001.02)"));
        QCOMPARE(s.accounts.size(), 1);
        const StatementAccount& a = s.accounts[0];
        QCOMPARE(a.number, QStringLiteral("NL26VAYB8060476890"));
        QCOMPARE(a.currency, QStringLiteral("EUR"));
        QVERIFY(a.hasOpening);
        QCOMPARE(a.opening, 181500);
        QVERIFY(a.hasClosing);
        QCOMPARE(a.closing, -270000); // DBIT: the account is overdrawn
        QCOMPARE(a.entries.size(), 1);
        const StatementEntry& e = a.entries[0];
        QCOMPARE(e.amount, 88500);
        QVERIFY(e.income);
        QCOMPARE(e.date, day(2014, 12, 31));
        QCOMPARE(e.counterparty, QStringLiteral("NAME NAME")); // money came in: the debtor
        QCOMPARE(e.counterAccount, QStringLiteral("NL56AGDH9619008421"));
        QCOMPARE(e.currency, QStringLiteral("EUR"));
        QVERIFY(!e.pending);
    }

    void twoStatementsInOneDocument()
    {
        const BankStatement s = readCamt(sample(QStringLiteral("genkgo-camt053.v2.multi.statement.xml")));
        QCOMPARE(s.accounts.size(), 2);
        QCOMPARE(s.accounts[0].entries.size(), 1);
        QCOMPARE(s.accounts[0].closing, 270000);
        QCOMPARE(s.accounts[0].entries[0].description, QStringLiteral("Transaction Description 1"));
        QCOMPARE(s.accounts[1].opening, 270000);
        QCOMPARE(s.accounts[1].closing, 200000);
        const StatementEntry& out = s.accounts[1].entries.value(0);
        QCOMPARE(out.amount, 70000);
        QVERIFY(!out.income);
        QCOMPARE(out.counterparty, QStringLiteral("Company Name 2")); // money went out: the creditor
        QCOMPARE(out.description, QStringLiteral("Transaction Description 2"));
    }

    void version8WithPartiesAndStatusCodes()
    {
        const BankStatement s = readCamt(sample(QStringLiteral("genkgo-camt053.v8.xml")));
        QCOMPARE(s.format, QStringLiteral("CAMT.053 (camt.053.001.08)"));
        QCOMPARE(s.accounts.size(), 1);
        const StatementAccount& a = s.accounts[0];
        QCOMPARE(a.number, QStringLiteral("NL26VAYB8060476890")); // Othr/Id
        QVERIFY(a.currency.isEmpty());
        QCOMPARE(a.entries.size(), 1);
        const StatementEntry& e = a.entries[0];
        QCOMPARE(e.amount, 88500); // the entry's own amount, not its details' 0
        QVERIFY(e.income);
        QCOMPARE(e.date, day(2014, 12, 31)); // DtTm
        QCOMPARE(e.bankId, QStringLiteral("AAAASESS-FP-CN_98765/01"));
        QCOMPARE(e.counterparty, QStringLiteral("NAME NAME")); // Dbtr/Pty/Nm
        QVERIFY(!e.pending);
    }

    void documentWithoutStatementsHasNoEntries()
    {
        const BankStatement s = readCamt(sample(QStringLiteral("genkgo-camt053.v2.wrong.xml")));
        QCOMPARE(s.accounts.size(), 0);
    }

    void entries_data()
    {
        QTest::addColumn<QByteArray>("ntry");
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<qint64>("amount");
        QTest::addColumn<bool>("income");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<QString>("bankId");
        QTest::addColumn<QString>("text");
        QTest::newRow("pending, no decimals, NtryRef")
            << QByteArray("<Ntry><NtryRef>R7</NtryRef><Amt Ccy=\"EUR\">2700</Amt><CdtDbtInd>DBIT</CdtDbtInd>"
                          "<Sts>PDNG</Sts><ValDt><Dt>2024-01-05</Dt></ValDt></Ntry>")
            << QByteArray("02") << qint64(27000000) << false << true << "R7"
            << "";
        QTest::newRow("v10 status code, joined remittance, placeholder ref")
            << QByteArray("<Ntry><Amt Ccy=\"EUR\">12.5</Amt><CdtDbtInd>DBIT</CdtDbtInd><Sts><Cd>BOOK</Cd></Sts>"
                          "<BookgDt><Dt>2024-01-05</Dt></BookgDt><AcctSvcrRef>NONREF</AcctSvcrRef><NtryDtls>"
                          "<TxDtls><RltdPties><Cdtr><Pty><Nm>Stadtwerke</Nm></Pty></Cdtr></RltdPties>"
                          "<RmtInf><Ustrd>Abschlag</Ustrd><Ustrd>Januar</Ustrd></RmtInf></TxDtls></NtryDtls></Ntry>")
            << QByteArray("10") << qint64(125000) << false << false << ""
            << "Stadtwerke — Abschlag Januar";
        QTest::newRow("fallback to the entry's own text")
            << QByteArray("<Ntry><Amt Ccy=\"EUR\">1.00</Amt><CdtDbtInd>CRDT</CdtDbtInd><Sts>BOOK</Sts>"
                          "<BookgDt><DtTm>2024-01-05T23:30:00-05:00</DtTm></BookgDt>"
                          "<AddtlNtryInf>Zinsen</AddtlNtryInf></Ntry>")
            << QByteArray("13") << qint64(10000) << true << false << ""
            << "Zinsen";
    }
    void entries()
    {
        QFETCH(QByteArray, ntry);
        QFETCH(QByteArray, version);
        QFETCH(qint64, amount);
        QFETCH(bool, income);
        QFETCH(bool, pending);
        QFETCH(QString, bankId);
        QFETCH(QString, text);
        const BankStatement s = readCamt(document(ntry, version));
        QCOMPARE(s.accounts.value(0).number, QStringLiteral("DE02120300000000202051"));
        const StatementEntry e = s.accounts.value(0).entries.value(0);
        QCOMPARE(e.amount, amount);
        QCOMPARE(e.income, income);
        QCOMPARE(e.pending, pending);
        QCOMPARE(e.bankId, bankId);
        QCOMPARE(e.text(), text);
        QCOMPARE(e.date, day(2024, 1, 5));
    }

    void brokenDocumentsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("line");
        const QByteArray ok = "<Ntry><Amt Ccy=\"EUR\">1.00</Amt><CdtDbtInd>CRDT</CdtDbtInd><Sts>BOOK</Sts>"
                              "<BookgDt><Dt>2024-01-05</Dt></BookgDt></Ntry>\n";
        QTest::newRow("unknown namespace") << document(ok, "99") << "неизвестное пространство имён" << 2;
        QTest::newRow("camt.052") << QByteArray(document(ok).replace("camt.053", "camt.052"))
                                  << "неизвестное пространство имён" << 2;
        QTest::newRow("dollar amount") << document(QByteArray(ok).replace(">1.00<", ">$120<")) << "«$120»" << 5;
        QTest::newRow("truncated") << document(ok).left(300) << "повреждён" << 5;
        QTest::newRow("no direction") << document(QByteArray(ok).replace("<CdtDbtInd>CRDT</CdtDbtInd>", ""))
                                      << "CdtDbtInd" << 5;
        QTest::newRow("date that does not exist")
            << document(QByteArray(ok).replace("2024-01-05", "2023-02-29")) << "2023-02-29" << 5;
        QTest::newRow("negative amount") << document(QByteArray(ok).replace(">1.00<", ">-1.00<")) << "«-1.00»" << 5;
        QTest::newRow("binary garbage") << QByteArray("PK\x03\x04\x14\x00\x00", 7) << "" << 0;
        QTest::newRow("empty") << QByteArray() << "пуст" << 0;
    }
    void brokenDocumentsAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(int, line);
        try {
            readCamt(bytes);
            QFAIL("the file was read");
        } catch (const StatementError& e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
            if (line)
                QCOMPARE(e.line(), line);
        }
    }
};

QTEST_GUILESS_MAIN(TestCamtReader)
#include "tst_camtreader.moc"
