#include "statements/CsvReader.h"
#include "statements/StatementValues.h"
#include "statements/TextDecoding.h"
#include "util/DateScale.h"

#include <QFile>
#include <QStringEncoder>
#include <QtTest>

using namespace dorv;

Q_DECLARE_METATYPE(dorv::DateOrder)

namespace {

QByteArray encoded(const char* codec, const QString& text)
{
    QStringEncoder encoder(codec);
    return encoder(text);
}

QByteArray sample(const QString& name)
{
    QFile f(QStringLiteral(DORV_SAMPLES_DIR "/csv/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no sample %s", qPrintable(name));
    return f.readAll();
}

int day(int y, int m, int d) { return dayNumber(QDate(y, m, d)); }

// The entries of a statement, all accounts together.
QList<StatementEntry> entriesOf(const BankStatement& s)
{
    QList<StatementEntry> all;
    for (const StatementAccount& a : s.accounts)
        all += a.entries;
    return all;
}

BankStatement sniffAndRead(const QByteArray& bytes, const StatementOptions& options = {})
{
    const CsvSniff sniff = sniffCsv(bytes);
    if (!sniff.unsettled.isEmpty())
        qWarning("unsettled: %s", qPrintable(sniff.unsettled.join(u", ")));
    return readCsv(bytes, sniff.profile, options);
}

} // namespace

class TestCsvReader : public QObject {
    Q_OBJECT
private slots:
    void textIsDecodedFromTheBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("declared");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("used");
        const QString ru = QStringLiteral("Дата;Сумма;Назначение платежа\nОплата услуг связи");
        const QString fr = QStringLiteral("Libellé;Montant\nDépôt à la crèche;Café");
        QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF") + ru.toUtf8() << QString() << ru << "UTF-8";
        QTest::newRow("UTF-8 declared Windows") << ru.toUtf8() << "Windows" << ru << "UTF-8";
        QTest::newRow("1251 guessed") << encoded("windows-1251", ru) << QString() << ru << "Windows-1251";
        QTest::newRow("866 guessed") << encoded("IBM866", ru) << QString() << ru << "CP866";
        QTest::newRow("1252 guessed") << encoded("windows-1252", fr) << QString() << fr << "Windows-1252";
        QTest::newRow("DOS declared") << encoded("IBM866", ru) << "DOS" << ru << "CP866";
        QTest::newRow("1251 declared") << encoded("windows-1251", ru) << "1251" << ru << "Windows-1251";
        QTest::newRow("latin1 declared") << encoded("ISO-8859-1", fr) << "latin1" << fr << "ISO-8859-1";
        QTest::newRow("ASCII") << QByteArray("Date,Amount") << QString() << "Date,Amount"
                               << "UTF-8";
    }
    void textIsDecodedFromTheBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, declared);
        QFETCH(QString, text);
        QFETCH(QString, used);
        QString found;
        QCOMPARE(decodeStatementText(bytes, declared, &found), text);
        QCOMPARE(found, used);
    }

    void amountsAreReadWithEverySeparator_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("decimal");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("units");
        QTest::newRow("space groups") << "1 234,56" << QChar(u',') << true << qint64(12345600);
        QTest::newRow("no-break space") << QStringLiteral("1\u00A0234\u00A0567,5") << QChar(u',') << true
                                        << qint64(12345675000);
        QTest::newRow("apostrophe") << "1'234.56" << QChar(u'.') << true << qint64(12345600);
        QTest::newRow("points group") << "1.234.567,89" << QChar(u',') << true << qint64(12345678900);
        QTest::newRow("commas group") << "-1,234.50" << QChar(u'.') << true << qint64(-12345000);
        QTest::newRow("no leading zero") << "-,01" << QChar(u',') << true << qint64(-100);
        QTest::newRow("parentheses") << "(12.00)" << QChar(u'.') << true << qint64(-120000);
        QTest::newRow("plus") << "+12" << QChar(u',') << true << qint64(120000);
        QTest::newRow("trailing minus") << "12,5-" << QChar(u',') << true << qint64(-125000);
        QTest::newRow("thousand in a comma file") << "1.500" << QChar(u',') << true << qint64(15000000);
        QTest::newRow("point where commas are usual") << "1500.25" << QChar(u',') << true << qint64(15002500);
        QTest::newRow("three decimals of the file's mark") << "1,500" << QChar(u',') << true << qint64(15000);
        QTest::newRow("fifth place rounds to even") << "0.00005" << QChar(u'.') << true << qint64(0);
        QTest::newRow("fifth place rounds up") << "0.00015" << QChar(u'.') << true << qint64(2);
        QTest::newRow("currency sign") << "$120" << QChar(u'.') << false << qint64(0);
        QTest::newRow("letters") << "12 руб" << QChar(u',') << false << qint64(0);
        QTest::newRow("empty") << "" << QChar(u',') << false << qint64(0);
        QTest::newRow("bad groups") << "12.34.56" << QChar(u',') << false << qint64(0);
        QTest::newRow("two decimal marks") << "1,2,3.4.5" << QChar(u',') << false << qint64(0);
        QTest::newRow("beyond the largest amount") << "9000000000000" << QChar(u',') << false << qint64(0);
    }
    void amountsAreReadWithEverySeparator()
    {
        QFETCH(QString, text);
        QFETCH(QChar, decimal);
        QFETCH(bool, ok);
        QFETCH(qint64, units);
        qint64 read = -1;
        QCOMPARE(parseStatementAmount(text, decimal, &read), ok);
        if (ok)
            QCOMPARE(read, units);
    }

    // Small files of each shape: sniffed, then read with what was found.
    void fixturesAreSniffedAndRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("date");
        QTest::addColumn<qint64>("amount");
        QTest::addColumn<bool>("income");
        QTest::addColumn<QString>("text");
        QTest::newRow("signed, 1251") << encoded("windows-1251", QStringLiteral("Дата операции;Сумма;Описание\n"
                                                                                "05.03.2021;-1 234,50;Магазин «Овощи»\n"
                                                                                "06.03.2021;25 000,00;Зарплата\n"))
                                      << "CSV, Windows-1251, разделитель «;»" << 2 << 0 << day(2021, 3, 5)
                                      << qint64(12345000) << false << "Магазин «Овощи»";
        QTest::newRow("debit and credit, quotes and line breaks")
            << QByteArray("Date,Description,Debit,Credit\n"
                          "2021-03-05,\"Rent, March\",\"1,200.00\",\n"
                          "2021-03-06,\"Refund \"\"shop\"\"\nsecond line\",,15.5\n")
            << "CSV, UTF-8, разделитель «,»" << 2 << 1 << day(2021, 3, 6) << qint64(155000) << true
            << "Refund \"shop\" second line";
        QTest::newRow("direction column")
            << QStringLiteral("Дата;Сумма;Направление;Назначение\n"
                              "01.02.2022;100,00;Зачисление;Возврат\n"
                              "02.02.2022;-40,00;Списание;Кафе\n")
                   .toUtf8()
            << "CSV, UTF-8, разделитель «;»" << 2 << 1 << day(2022, 2, 2) << qint64(400000) << false << "Кафе";
        QTest::newRow("indicator beats the sign")
            << QByteArray("Datum;Bedrag;Af Bij;Omschrijving\n"
                          "01-02-2022;-12,50;Bij;Terugbetaling\n")
            << "CSV, UTF-8, разделитель «;»" << 1 << 0 << day(2022, 2, 1) << qint64(125000) << true << "Terugbetaling";
        QTest::newRow("preamble") << QByteArray(
            "BANK EXPORT;;;\nRekening 123;;;\nDatum;Bedrag;Omschrijving;\n15-06-2019;-3,20;Koffie;\n")
                                  << "CSV, UTF-8, разделитель «;»" << 1 << 0 << day(2019, 6, 15) << qint64(32000)
                                  << false << "Koffie";
        QTest::newRow("tab, date with time")
            << QByteArray("Date\tAmount\tMemo\n2020-01-31 14:05:00\t-7.99\tBooks\n")
            << "CSV, UTF-8, разделитель «табуляция»" << 1 << 0 << day(2020, 1, 31) << qint64(79900) << false << "Books";
        QTest::newRow("two-digit years") << QByteArray("Datum;Betrag;Text\n31.12.99;1.000,00;Alt\n01.01.00;-1,00;Neu\n")
                                         << "CSV, UTF-8, разделитель «;»" << 2 << 0 << day(1999, 12, 31)
                                         << qint64(10000000) << true << "Alt";
        QTest::newRow("no header") << QByteArray("05.03.2021;-12,30;Shop\n06.03.2021;40,00;Salary\n")
                                   << "CSV, UTF-8, разделитель «;»" << 2 << 1 << day(2021, 3, 6) << qint64(400000)
                                   << true << "";
    }
    void fixturesAreSniffedAndRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, format);
        QFETCH(int, count);
        QFETCH(int, index);
        QFETCH(int, date);
        QFETCH(qint64, amount);
        QFETCH(bool, income);
        QFETCH(QString, text);
        const CsvSniff sniff = sniffCsv(bytes);
        QCOMPARE(sniff.unsettled, QStringList());
        const BankStatement s = readCsv(bytes, sniff.profile, {});
        QCOMPARE(s.format, format);
        const QList<StatementEntry> entries = entriesOf(s);
        QCOMPARE(entries.size(), count);
        QCOMPARE(entries[index].date, date);
        QCOMPARE(entries[index].amount, amount);
        QCOMPARE(entries[index].income, income);
        QCOMPARE(entries[index].text(), text);
    }

    void summaryPendingZeroAndRepeatedRows()
    {
        const QByteArray bytes = QStringLiteral("Дата;Сумма;Описание;Статус\n"
                                                "01.03.2021;-100,00;Кафе;Исполнено\n"
                                                "01.03.2021;-100,00;Кафе;Исполнено\n"
                                                "02.03.2021;-5,00;Такси;В обработке\n"
                                                "03.03.2021;0,00;Уведомление;Исполнено\n"
                                                ";;;\n"
                                                "Итого;-205,00;;\n"
                                                "Остаток на конец;1000,00;;\n")
                                     .toUtf8();
        const BankStatement s = sniffAndRead(bytes);
        const QList<StatementEntry> e = entriesOf(s);
        QCOMPARE(e.size(), 4);
        QCOMPARE(e[0].amount, e[1].amount); // two identical purchases are two entries
        QCOMPARE(e[1].line, 3);
        QVERIFY(!e[0].pending);
        QVERIFY(e[2].pending);
        QCOMPARE(e[2].note, QStringLiteral("в обработке"));
        QCOMPARE(e[3].amount, qint64(0));
        QCOMPARE(e[3].note, QStringLiteral("нулевая сумма"));
        QCOMPARE(s.notes.size(), 2); // the two summary rows, named
    }

    void headerOnlyIsAnEmptyStatement()
    {
        const QByteArray bytes = QStringLiteral("Дата;Сумма;Описание\r\n").toUtf8();
        const CsvSniff sniff = sniffCsv(bytes);
        QCOMPARE(sniff.unsettled, QStringList());
        const BankStatement s = readCsv(bytes, sniff.profile, {});
        QCOMPARE(s.accounts.size(), 1);
        QVERIFY(s.accounts[0].entries.isEmpty());
    }

    void brokenFilesNameTheLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("line");
        QTest::newRow("amount with a currency sign")
            << QByteArray("Date;Amount;Memo\n01.02.2020;1,00;a\n02.02.2020;$120;b\n")
            << QStringLiteral("Строка 3: сумма «$120» не распознана.") << 3;
        QTest::newRow("date that does not exist")
            << QByteArray("Date;Amount;Memo\n01.02.2020;1,00;a\n31.02.2020;2,00;b\n")
            << QStringLiteral("Строка 3: дата «31.02.2020» не существует.") << 3;
        QTest::newRow("cut off inside a quote")
            << QByteArray("Date;Amount;Memo\n01.02.2020;1,00;a\n02.02.2020;2,00;\"cut")
            << QStringLiteral("Строка 3: кавычка не закрыта до конца файла — файл оборван?") << 3;
        QTest::newRow("cut off before the amount")
            << QByteArray("Date;Memo;Amount\n01.02.2020;a;1,00\n02.02.2020;b\n")
            << QStringLiteral("Строка 3: нет столбца суммы — файл оборван?") << 3;
        QTest::newRow("unknown direction")
            << QByteArray("Date;Amount;D/C;Memo\n01.02.2020;1,00;D;a\n02.02.2020;2,00;X;b\n")
            << QStringLiteral("Строка 3: направление «X» не распознано.") << 3;
    }
    void brokenFilesNameTheLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(int, line);
        // The profile is taken from the good part, as the mapping window would hold it.
        const CsvSniff sniff = sniffCsv(bytes.left(bytes.indexOf('\n', bytes.indexOf('\n') + 1) + 1));
        try {
            readCsv(bytes, sniff.profile, {});
            QFAIL("read a broken file");
        } catch (const StatementError& e) {
            QCOMPARE(e.message(), message);
            QCOMPARE(e.line(), line);
        }
    }

    void dateOrderTheFileDoesNotSettleIsAsked_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<DateOrder>("chosen");
        QTest::addColumn<QList<DateOrder>>("orders");
        QTest::addColumn<int>("first");
        const QByteArray open("Date,Amount,Memo\n01/04/2020,1.00,a\n02/05/2020,2.00,b\n");
        const QList<DateOrder> both{DateOrder::DayMonthYear, DateOrder::MonthDayYear};
        QTest::newRow("open, read day first") << open << DateOrder::Unknown << both << day(2020, 4, 1);
        QTest::newRow("open, month first chosen") << open << DateOrder::MonthDayYear << both << day(2020, 1, 4);
        QTest::newRow("settled by a day above 12")
            << QByteArray("Date,Amount,Memo\n01/04/2020,1.00,a\n13/08/2012,2.00,b\n") << DateOrder::Unknown
            << QList<DateOrder>() << day(2020, 4, 1);
        QTest::newRow("settled by a month above 12")
            << QByteArray("Date,Amount,Memo\n01/04/2020,1.00,a\n08/13/2012,2.00,b\n") << DateOrder::Unknown
            << QList<DateOrder>() << day(2020, 1, 4);
        QTest::newRow("dots are day first") << QByteArray("Date;Amount;Memo\n01.04.2020;1,00;a\n") << DateOrder::Unknown
                                            << QList<DateOrder>() << day(2020, 4, 1);
    }
    void dateOrderTheFileDoesNotSettleIsAsked()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(DateOrder, chosen);
        QFETCH(QList<DateOrder>, orders);
        QFETCH(int, first);
        StatementOptions options;
        options.dateOrder = chosen;
        const BankStatement s = sniffAndRead(bytes, options);
        QCOMPARE(s.dateOrders, orders);
        QCOMPARE(entriesOf(s).first().date, first);
    }

    void unsettledColumnsAreListed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("unsettled");
        QTest::newRow("two amount-like columns, no header")
            << QByteArray("05.03.2021;-12,30;100,00\n06.03.2021;40,00;140,00\n")
            << QStringList{QStringLiteral("столбец суммы")};
        QTest::newRow("no dates") << QByteArray("Name;Amount\nShop;-1,00\n")
                                  << QStringList{QStringLiteral("столбец даты")};
        QTest::newRow("only an income column")
            << QByteArray("Date;Credit;Memo\n01.02.2020;1,00;a\n") << QStringList{QStringLiteral("столбец суммы")};
        QTest::newRow("not a table") << QByteArray("just some words\nand more\n")
                                     << QStringList{QStringLiteral("разделитель"), QStringLiteral("столбец даты"),
                                                    QStringLiteral("столбец суммы")};
    }
    void unsettledColumnsAreListed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, unsettled);
        QCOMPARE(sniffCsv(bytes).unsettled, unsettled);
    }

    void profileIsStoredAndFoundByItsHeader()
    {
        const QByteArray bytes = sample(QStringLiteral("nl-knab-creditdebet.csv"));
        const CsvProfile p = sniffCsv(bytes).profile;
        QVERIFY(p.key().startsWith(QStringLiteral("rekeningnummer|transactiedatum|valutacode|creditdebet|bedrag|")));
        QVERIFY(!p.key().endsWith(u'|'));
        bool ok = false;
        const CsvProfile back = CsvProfile::fromText(p.toText(), &ok);
        QVERIFY(ok);
        QCOMPARE(back.toText(), p.toText());
        QCOMPARE(back.key(), p.key());
        CsvProfile::fromText(QStringLiteral("{broken"), &ok);
        QVERIFY(!ok);
        // A profile read back reads the file as the sniffed one does.
        QCOMPARE(entriesOf(readCsv(bytes, back, {})).size(), entriesOf(readCsv(bytes, p, {})).size());
    }

    void realStatements_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("account");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("date");
        QTest::addColumn<qint64>("amount");
        QTest::addColumn<bool>("income");
        QTest::addColumn<QString>("text");
        QTest::newRow("ING-DiBa, latin1, Soll/Haben")
            << "at-ingdiba-soll-haben-latin1.csv"
            << "CSV, Windows-1252, разделитель «;»" << 6 << "12345678001" << 4 << day(2013, 8, 27) << qint64(15000000)
            << false << "Auszahlung - XXX";
        QTest::newRow("ING-DiBa, accented description")
            << "at-ingdiba-soll-haben-latin1.csv"
            << "CSV, Windows-1252, разделитель «;»" << 6 << "12345678001" << 5 << day(2013, 8, 13) << qint64(100000)
            << true << QStringLiteral("Prämie Foo");
        QTest::newRow("hledger, cp1252") << "hledger-sample.fr.cp1252.csv"
                                         << "CSV, Windows-1252, разделитель «,»" << 3 << "" << 2 << day(2012, 3, 24)
                                         << qint64(200000) << false << QStringLiteral("CAFÉ — €20 REÇU");
        QTest::newRow("hledger, first") << "hledger-sample.fr.cp1252.csv"
                                        << "CSV, Windows-1252, разделитель «,»" << 3 << "" << 0 << day(2012, 3, 22)
                                        << qint64(500000) << true << QStringLiteral("DÉPÔT");
        QTest::newRow("Knab, preamble and C/D")
            << "nl-knab-creditdebet.csv"
            << "CSV, UTF-8, разделитель «;»" << 28 << "NL99KNAB9999999999" << 0 << day(2019, 6, 21) << qint64(8277500)
            << false << "Gert Janssen (FR) — Tresorie";
        QTest::newRow("Knab, income") << "nl-knab-creditdebet.csv"
                                      << "CSV, UTF-8, разделитель «;»" << 28 << "NL99KNAB9999999999" << 1
                                      << day(2019, 6, 21) << qint64(8277500) << true << "Gert Janssen";
        QTest::newRow("Альфа-Банк, 1251, Приход/Расход")
            << "ru-alfabank-cp1251.csv"
            << "CSV, Windows-1251, разделитель «;»" << 3 << "11111111111111111111" << 0 << day(2017, 5, 31)
            << qint64(331235600) << true
            << QStringLiteral("{VO11111} Перечисление ден. средств (зарплата за май 2017 г.)");
        QTest::newRow("Альфа-Банк, expense")
            << "ru-alfabank-cp1251.csv"
            << "CSV, Windows-1251, разделитель «;»" << 3 << "11111111111111111111" << 2 << day(2017, 5, 3)
            << qint64(15000000) << false
            << QStringLiteral("123456++++++6789 11111111\\123\\Visa Direct\\SOME BANK 03.05.17 01.05.17 1500.00 RUR "
                              "MCC1234");
        QTest::newRow("Сбербанк, BOM") << "ru-sberbank-utf8bom.csv"
                                       << "CSV, UTF-8, разделитель «;»" << 11 << "*6833" << 0 << day(2019, 10, 31)
                                       << qint64(43204000) << false
                                       << QStringLiteral("SBOL перевод 4276****1234 И. ИВАН ИВАНОВИЧ");
        QTest::newRow("Сбербанк, -,01") << "ru-sberbank-utf8bom.csv"
                                        << "CSV, UTF-8, разделитель «;»" << 11 << "*6833" << 7 << day(2019, 4, 10)
                                        << qint64(100) << false
                                        << QStringLiteral("SBOL перевод 5469****1242 Р. ФЕДОР ВИКТОРОВИЧ");
        QTest::newRow("Сбербанк, income")
            << "ru-sberbank-utf8bom.csv"
            << "CSV, UTF-8, разделитель «;»" << 11 << "*6833" << 10 << day(2019, 4, 1) << qint64(1002300) << true
            << QStringLiteral("TINKOFF BANK CARD2CARD перевод 5213****1244");
    }
    void realStatements()
    {
        QFETCH(QString, file);
        QFETCH(QString, format);
        QFETCH(int, count);
        QFETCH(QString, account);
        QFETCH(int, index);
        QFETCH(int, date);
        QFETCH(qint64, amount);
        QFETCH(bool, income);
        QFETCH(QString, text);
        const QByteArray bytes = sample(file);
        const CsvSniff sniff = sniffCsv(bytes);
        QCOMPARE(sniff.unsettled, QStringList());
        const BankStatement s = readCsv(bytes, sniff.profile, {});
        QCOMPARE(s.format, format);
        QCOMPARE(s.accounts.size(), 1);
        QCOMPARE(s.accounts[0].number, account);
        QCOMPARE(s.accounts[0].entries.size(), count);
        QCOMPARE(s.dateOrders, QList<DateOrder>());
        const StatementEntry& e = s.accounts[0].entries[index];
        QCOMPARE(shortDateText(e.date), shortDateText(date));
        QCOMPARE(e.amount, amount);
        QCOMPARE(e.income, income);
        QCOMPARE(e.text(), text);
    }

    void realStatementsKeepTheirDetails()
    {
        const BankStatement alfa = sniffAndRead(sample(QStringLiteral("ru-alfabank-cp1251.csv")));
        QCOMPARE(alfa.accounts[0].currency, QStringLiteral("RUR"));
        QCOMPARE(alfa.accounts[0].entries[0].bankId, QStringLiteral("ABCDEF11111111111"));
        const CsvSniff alfaSniff = sniffCsv(sample(QStringLiteral("ru-alfabank-cp1251.csv")));
        QCOMPARE(alfaSniff.header.value(3), QStringLiteral("Дата операции"));
        const BankStatement knab = sniffAndRead(sample(QStringLiteral("nl-knab-creditdebet.csv")));
        QCOMPARE(knab.accounts[0].currency, QStringLiteral("EUR"));
        QCOMPARE(knab.accounts[0].entries[0].counterAccount, QStringLiteral("FR9999999999999999999999999"));
        QCOMPARE(knab.accounts[0].entries[0].bankId, QStringLiteral("B9F21PGYA068V2KD"));
        const CsvSniff ing = sniffCsv(sample(QStringLiteral("at-ingdiba-soll-haben-latin1.csv")));
        QCOMPARE(ing.header.value(3), QStringLiteral("Währung"));
        QCOMPARE(ing.samples.size(), 5);
        // Income and expense of the Soll/Haben file add up to what it shows.
        qint64 net = 0;
        const BankStatement ingRead = sniffAndRead(sample(QStringLiteral("at-ingdiba-soll-haben-latin1.csv")));
        for (const StatementEntry& e : ingRead.accounts[0].entries)
            net += e.income ? e.amount : -e.amount;
        QCOMPARE(net, qint64(122300 - 345600 + 5000000 + 203000 - 15000000 + 100000));
    }
};

QTEST_GUILESS_MAIN(TestCsvReader)
#include "tst_csvreader.moc"
