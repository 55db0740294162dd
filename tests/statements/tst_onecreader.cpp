#include "statements/OneCReader.h"
#include "util/DateScale.h"

#include <QFile>
#include <QStringEncoder>
#include <QtTest>

using namespace dorv;

namespace {

QByteArray sample(const QString& name)
{
    QFile f(QStringLiteral(DORV_SAMPLES_DIR "/1c/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no sample %s", qPrintable(name));
    return f.readAll();
}

QByteArray encoded(const char* codec, const QString& text)
{
    QStringEncoder encoder(codec);
    return encoder(text);
}

int day(int y, int m, int d) { return dayNumber(QDate(y, m, d)); }

// A small exchange file of two own accounts: a payment from the first, one into the second, one
// between them, and the first account's balances over two days.
QString twoAccounts(const QString& encoding)
{
    return QStringLiteral("1CClientBankExchange\r\n"
                          "ВерсияФормата=1.03\r\n"
                          "Кодировка=%1\r\n"
                          "РасчСчет=40817810000000000001\r\n"
                          "РасчСчет=40817810000000000002\r\n"
                          "СекцияРасчСчет\r\n"
                          "ДатаНачала=01.03.2021\r\nДатаКонца=01.03.2021\r\n"
                          "РасчСчет=40817810000000000001\r\n"
                          "НачальныйОстаток=1000.00\r\nКонечныйОстаток=900.00\r\n"
                          "КонецРасчСчет\r\n"
                          "СекцияРасчСчет\r\n"
                          "ДатаНачала=02.03.2021\r\nДатаКонца=02.03.2021\r\n"
                          "РасчСчет=40817810000000000001\r\n"
                          "НачальныйОстаток=900.00\r\nКонечныйОстаток=850.50\r\n"
                          "КонецРасчСчет\r\n"
                          "СекцияДокумент=Платежное поручение\r\n"
                          "Номер=15\r\nДата=28.02.2021\r\nСумма=100.00\r\n"
                          "ПлательщикСчет=40817810000000000001\r\nПлательщик=ИНН 7700000000 Иванов И.И.\r\n"
                          "ПолучательСчет=40702810900000000555\r\nПолучатель1=ООО \"Ромашка\"\r\n"
                          "ДатаСписано=01.03.2021\r\n"
                          "НазначениеПлатежа=Оплата по счету 7\r\nНазначениеПлатежа1=НДС не облагается\r\n"
                          "КонецДокумента\r\n"
                          "СекцияДокумент=Платежное поручение\r\n"
                          "Номер=15\r\nДата=02.03.2021\r\nСумма=49.50\r\n"
                          "ПлательщикРасчСчет=40817810000000000001\r\nПлательщик1=Иванов И.И.\r\n"
                          "ПолучательРасчСчет=40817810000000000002\r\nПолучатель1=Иванов И.И.\r\n"
                          "НазначениеПлатежа=Перевод между своими счетами\r\n"
                          "КонецДокумента\r\n"
                          "СекцияДокумент=Банковский ордер\r\n"
                          "Номер=77\r\nДата=03.03.2021\r\nСумма=0\r\n"
                          "ПлательщикСчет=30101810400000000225\r\nПлательщик1=ПАО Банк\r\n"
                          "ПолучательСчет=40817810000000000002\r\nДатаПоступило=03.03.2021\r\n"
                          "НазначениеПлатежа=Уведомление\r\n"
                          "КонецДокумента\r\n"
                          "КонецФайла\r\n")
        .arg(encoding);
}

} // namespace

class TestOneCReader : public QObject {
    Q_OBJECT
private slots:
    void kilylabsSample()
    {
        const BankStatement s = readOneC(sample(QStringLiteral("kilylabs-one_day-cp1251.txt")), {});
        QCOMPARE(s.format, QStringLiteral("1С: обмен с клиентом банка, Windows-1251"));
        QCOMPARE(s.accounts.size(), 1);
        const StatementAccount& a = s.accounts[0];
        QCOMPARE(a.number, QStringLiteral("40702810200000000001"));
        QVERIFY(a.hasOpening && a.hasClosing);
        QCOMPARE(a.opening, qint64(453299100));
        QCOMPARE(a.closing, qint64(441459100));
        QCOMPARE(a.entries.size(), 13);
        const StatementEntry& first = a.entries[0];
        QCOMPARE(first.date, day(2016, 1, 11));
        QCOMPARE(first.amount, qint64(832300));
        QVERIFY(!first.income);
        QCOMPARE(first.bankId, QStringLiteral("697162 от 11.01.2016"));
        QCOMPARE(first.counterparty, QStringLiteral("Some random payee"));
        QCOMPARE(first.counterAccount, QStringLiteral("61304810100000000002"));
        QCOMPARE(first.description, QStringLiteral("Some random string"));
        QCOMPARE(first.line, 20);
        const StatementEntry& last = a.entries[12];
        QVERIFY(last.income);
        QCOMPARE(last.amount, qint64(200000000));
        QCOMPARE(last.counterparty, QStringLiteral("Some random payer"));
        QCOMPARE(last.bankId, QStringLiteral("1 от 11.01.2016")); // the same number as the 7th document
        QCOMPARE(a.entries[6].bankId, last.bankId);
        // The stated balances agree with the entries: 40 000.00 in, 41 184.00 out.
        qint64 in = 0, out = 0;
        for (const StatementEntry& e : a.entries)
            (e.income ? in : out) += e.amount;
        QCOMPARE(in, qint64(400000000));
        QCOMPARE(out, qint64(411840000));
        QCOMPARE(a.opening + in - out, a.closing);
    }

    void headerOnlyIsAnEmptyStatement()
    {
        const BankStatement s = readOneC(sample(QStringLiteral("odoo-ru-min-example-cp1251.txt")), {});
        QCOMPARE(s.accounts.size(), 1);
        QVERIFY(s.accounts[0].entries.isEmpty());
        QVERIFY(!s.accounts[0].hasOpening);
    }

    void encodingFromTheDeclarationAndTheBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("format");
        QTest::newRow("Windows") << encoded("windows-1251", twoAccounts(QStringLiteral("Windows")))
                                 << "1С: обмен с клиентом банка, Windows-1251";
        QTest::newRow("DOS") << encoded("IBM866", twoAccounts(QStringLiteral("DOS")))
                             << "1С: обмен с клиентом банка, CP866";
        QTest::newRow("UTF-8 declared Windows")
            << twoAccounts(QStringLiteral("Windows")).toUtf8() << "1С: обмен с клиентом банка, UTF-8";
        QTest::newRow("LF line ends") << encoded("windows-1251", twoAccounts(QStringLiteral("Windows")).remove(u'\r'))
                                      << "1С: обмен с клиентом банка, Windows-1251";
    }
    void encodingFromTheDeclarationAndTheBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, format);
        const BankStatement s = readOneC(bytes, {});
        QCOMPARE(s.format, format);
        QCOMPARE(s.accounts.size(), 2);
        const StatementAccount& first = s.accounts[0];
        const StatementAccount& second = s.accounts[1];
        QCOMPARE(first.number, QStringLiteral("40817810000000000001"));
        // The opening of the first day, the closing of the last.
        QCOMPARE(first.opening, qint64(10000000));
        QCOMPARE(first.closing, qint64(8505000));
        QVERIFY(!second.hasOpening);
        QCOMPARE(first.entries.size(), 2);
        QCOMPARE(second.entries.size(), 2);
        const StatementEntry& paid = first.entries[0];
        QVERIFY(!paid.income);
        QCOMPARE(paid.amount, qint64(1000000));
        QCOMPARE(paid.date, day(2021, 3, 1)); // debited, not the order's own date
        QCOMPARE(paid.bankId, QStringLiteral("15 от 28.02.2021"));
        QCOMPARE(paid.counterparty, QStringLiteral("ООО \"Ромашка\""));
        QCOMPARE(paid.counterAccount, QStringLiteral("40702810900000000555"));
        QCOMPARE(paid.description, QStringLiteral("Оплата по счету 7 НДС не облагается"));
        // A payment between two accounts of the file is an expense of one and an income of the other.
        QVERIFY(!first.entries[1].income);
        QVERIFY(second.entries[0].income);
        QCOMPARE(second.entries[0].amount, qint64(495000));
        QCOMPARE(second.entries[0].bankId, QStringLiteral("15 от 02.03.2021"));
        QCOMPARE(second.entries[1].note, QStringLiteral("нулевая сумма"));
        QCOMPARE(second.entries[1].counterparty, QStringLiteral("ПАО Банк"));
    }

    void brokenFilesNameTheLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("line");
        const QString head = QStringLiteral("1CClientBankExchange\nКодировка=Windows\nРасчСчет=111\n");
        const QString doc = QStringLiteral("СекцияДокумент=Платежное поручение\nНомер=1\nДата=%1\nСумма=%2\n"
                                           "ПлательщикСчет=111\nПолучательСчет=222\nКонецДокумента\n");
        QTest::newRow("cut off") << head + doc.arg(QStringLiteral("01.02.2020"), QStringLiteral("1.00"))
                                 << QStringLiteral("Строка 10: файл обрывается: нет строки «КонецФайла».") << 10;
        QTest::newRow("cut off inside a document")
            << head + QStringLiteral("СекцияДокумент=Платежное поручение\nНомер=1\nКонецФайла\n")
            << QStringLiteral("Строка 4: раздел не закончен до конца файла.") << 4;
        QTest::newRow("date that does not exist")
            << head + doc.arg(QStringLiteral("31.02.2020"), QStringLiteral("1.00")) + QStringLiteral("КонецФайла\n")
            << QStringLiteral("Строка 4: дата «31.02.2020» не существует.") << 4;
        QTest::newRow("amount with a currency sign")
            << head + doc.arg(QStringLiteral("01.02.2020"), QStringLiteral("$120")) + QStringLiteral("КонецФайла\n")
            << QStringLiteral("Строка 4: сумма «$120» не распознана.") << 4;
        QTest::newRow("no date") << head
                                        + QStringLiteral(
                                            "СекцияДокумент=Платежное поручение\nСумма=1\nПлательщикСчет=111\n"
                                            "КонецДокумента\nКонецФайла\n")
                                 << QStringLiteral("Строка 4: у документа нет поля Дата.") << 4;
        QTest::newRow("nobody's document")
            << head
                   + QStringLiteral("СекцияДокумент=Платежное поручение\nНомер=1\nДата=01.02.2020\nСумма=1\n"
                                    "ПлательщикСчет=333\nПолучательСчет=222\nКонецДокумента\nКонецФайла\n")
            << QStringLiteral("Строка 4: ни плательщик, ни получатель документа не являются счетом этой выписки.") << 4;
        QTest::newRow("not an exchange file")
            << QStringLiteral("Дата;Сумма\n") << QStringLiteral("Строка 1: это не файл обмена 1С с банком.") << 1;
    }
    void brokenFilesNameTheLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(int, line);
        try {
            readOneC(encoded("windows-1251", text), {});
            QFAIL("read a broken file");
        } catch (const StatementError& e) {
            QCOMPARE(e.message(), message);
            QCOMPARE(e.line(), line);
        }
    }
};

QTEST_GUILESS_MAIN(TestOneCReader)
#include "tst_onecreader.moc"
