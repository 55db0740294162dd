#include "book/BookCheck.h"
#include "book/Ledger.h"
#include "data/Database.h"
#include "data/OwnTables.h"
#include "statements/CsvReader.h"
#include "statements/ImportBooker.h"
#include "statements/ImportMatcher.h"
#include "statements/StatementReader.h"
#include "support/TemplateDb.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace dorv;

// Matching a statement against the book and booking it, on a small database without windows:
// duplicates by the bank's identifier and by amount and date, repeats that count, transfers between
// the household's accounts, suggestions, and the bank's text kept with each operation.
class TestImportMatcher : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> work;
    std::shared_ptr<Database> db;
    qint64 moment = 1000;
    static constexpr qint64 U = 10000;
    static constexpr int Day = 40000;

    static StatementEntry entry(int day, qint64 units, bool income, const QString& id = {},
                                const QString& party = QStringLiteral("Магазин"))
    {
        StatementEntry e;
        e.date = day;
        e.amount = units * U;
        e.income = income;
        e.bankId = id;
        e.counterparty = party;
        e.description = QStringLiteral("Покупка");
        return e;
    }
    void bookPlain(qint64 account, int day, qint64 units, bool income)
    {
        OperationDraft d;
        d.direction = income ? OperationDraft::Direction::Income : OperationDraft::Direction::Expense;
        d.account = account;
        d.amount = units * U;
        d.level1 = income ? 4 : 1;
        d.date = day;
        d.created = ++moment;
        Ledger(*db).book(d);
    }
    QStringList states(const QList<ImportRow>& rows)
    {
        QStringList out;
        for (const ImportRow& r : rows)
            out << r.stateText(QString::number(r.transferAccount)) + (r.ticked ? "" : " (снята)");
        return out;
    }
    double rest(int account)
    {
        Statement st = db->prepareOnce("SELECT Rest FROM TB_ACCOUNT WHERE Id_Account=?");
        st.bind(1, account);
        return st.step() ? st.column(0).toDouble() : -1;
    }
    void sound()
    {
        QStringList texts;
        for (const BookBreach& b : CheckBook(*db))
            texts << b.text;
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join('\n')));
    }
    int book(const QList<ImportRow>& rows, qint64 account, const QString& number = {})
    {
        ImportBooker booker(*db, [this] { return ++moment; });
        return booker.book(rows, account, number);
    }

private slots:
    void init()
    {
        work = std::make_unique<QTemporaryDir>();
        QVERIFY(unpackTemplate(work->path()));
        db = Database::openFile(work->filePath("DORVANA.DB"), false);
        db->exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Карта', 'руб', 0), "
                 "(2, 'Вклад', 'RUB', 0), (3, 'Доллары', 'USD', 0)");
        db->exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), (4, "
                 "'Зарплата', NULL, 0, '+')");
    }
    void cleanup()
    {
        db.reset();
        work.reset();
    }

    void statesAgainstTheBook_data()
    {
        QTest::addColumn<QList<StatementEntry>>("entries");
        QTest::addColumn<QStringList>("expected");
        const StatementEntry shop = entry(Day, 350, false);
        StatementEntry pending = entry(Day, 10, false);
        pending.pending = true;
        StatementEntry notice = entry(Day, 0, false);
        QTest::newRow("new, pending, zero") << QList<StatementEntry>{entry(Day, 99, false), pending, notice}
                                            << QStringList{"новая", "в обработке (снята)", "нулевая сумма (снята)"};
        QTest::newRow("same amount two days off") << QList<StatementEntry>{entry(Day + 2, 350, false)}
                                                  << QStringList{"дубликат: та же сумма 06.07.2009 (снята)"};
        QTest::newRow("four days off is new")
            << QList<StatementEntry>{entry(Day + 4, 350, false)} << QStringList{"новая"};
        QTest::newRow("other direction is new") << QList<StatementEntry>{entry(Day, 350, true)} << QStringList{"новая"};
        QTest::newRow("two identical purchases against one")
            << QList<StatementEntry>{shop, shop} << QStringList{"дубликат: та же сумма 06.07.2009 (снята)", "новая"};
        QTest::newRow("the other account's expense is a transfer")
            << QList<StatementEntry>{entry(Day + 1, 500, true)} << QStringList{"перевод: 2"};
        StatementEntry known = entry(Day, 77, false);
        known.counterAccount = QStringLiteral("40817810000000000002");
        QTest::newRow("a known account number") << QList<StatementEntry>{known} << QStringList{"перевод: 2"};
    }
    void statesAgainstTheBook()
    {
        QFETCH(QList<StatementEntry>, entries);
        QFETCH(QStringList, expected);
        bookPlain(1, Day, 350, false); // 06.07.2009 — day 40000 as the book counts
        bookPlain(2, Day, 500, false); // money that left the deposit
        OwnTables::ensure(*db, OwnTables::BankAccounts);
        db->exec("INSERT INTO TB_IMPORT_ACCOUNT VALUES ('40817810000000000002', 2)");
        StatementAccount st;
        st.entries = entries;
        QCOMPARE(states(ImportMatcher(*db).match(st, 1)), expected);
    }

    void secondImportOfAnOverlappingStatementFindsEveryRow()
    {
        StatementAccount first;
        first.number = QStringLiteral("40817 810");
        first.entries = {entry(Day, 100, false, "A1"), entry(Day, 100, false, "A2"), entry(Day + 1, 5, true, "A3")};
        ImportMatcher matcher(*db);
        QCOMPARE(book(matcher.match(first, 1), 1, first.number), 3);
        QCOMPARE(rest(1), -195.0);
        sound();
        QCOMPARE(matcher.knownAccount(QStringLiteral("40817810")), qint64(1));

        // The bank moved a day later, and a new one came: the ids still find them.
        StatementAccount second;
        second.entries = {entry(Day + 6, 100, false, "A2"), entry(Day + 1, 5, true, "A3"),
                          entry(Day + 2, 100, false, "A4")};
        QCOMPARE(states(matcher.match(second, 1)),
                 (QStringList{"дубликат: тот же номер операции банка (снята)",
                              "дубликат: тот же номер операции банка (снята)", "новая"}));
    }

    void anIdTheFileRepeatsIsNoDuplicateAlone()
    {
        StatementAccount first;
        first.entries = {entry(Day, 100, false, "NR")};
        ImportMatcher matcher(*db);
        book(matcher.match(first, 1), 1);
        StatementAccount second;
        second.entries = {entry(Day + 10, 40, false, "NR"), entry(Day + 20, 60, false, "NR")};
        QCOMPARE(states(matcher.match(second, 1)), (QStringList{"новая", "новая"}));
    }

    void rowsWithoutCategoryGoToOneItemAndTheTextStays()
    {
        StatementAccount st;
        st.entries = {entry(Day, 10, false, "X1")};
        ImportMatcher matcher(*db);
        book(matcher.match(st, 1), 1);
        Statement item = db->prepareOnce("SELECT ITM, LEV, C FROM TB_ITEMS i JOIN TB_HIST h ON h.Level1=i.ID_ITM");
        QVERIFY(item.step());
        QCOMPARE(item.column(0).toString(), QStringLiteral("Без категории"));
        QCOMPARE(item.column(2).toString(), QStringLiteral("0"));
        Statement text = db->prepareOnce("SELECT Bank_Id, Bank_Text FROM TB_IMPORT_TEXT");
        QVERIFY(text.step());
        QCOMPARE(text.column(0).toString(), QStringLiteral("X1"));
        QCOMPARE(text.column(1).toString(), QStringLiteral("Магазин — Покупка"));

        // Deleting the operation lets the same entry be new again.
        Statement key = db->prepareOnce("SELECT Date_Real, Date_Create FROM TB_HIST");
        QVERIFY(key.step());
        Ledger(*db).remove({1, int(key.columnInt(0)), key.columnInt(1), "1"});
        QCOMPARE(states(matcher.match(st, 1)), QStringList{"новая"});
    }

    void transferSeenFromBothAccounts()
    {
        ImportMatcher matcher(*db);
        // The deposit's statement first: money out, booked as a plain expense.
        StatementAccount deposit;
        deposit.entries = {entry(Day, 500, false, "D1", "Перевод на карту")};
        book(matcher.match(deposit, 2), 2);
        QCOMPARE(rest(2), -500.0);
        // The card's statement: money in, found as the other side; booked, the expense becomes
        // the transfer and no money is counted twice.
        StatementAccount card;
        card.entries = {entry(Day + 1, 500, true, "C1", "Перевод с вклада")};
        QList<ImportRow> rows = matcher.match(card, 1);
        QCOMPARE(states(rows), QStringList{"перевод: 2"});
        QCOMPARE(book(rows, 1), 1);
        QCOMPARE(rest(1), 500.0);
        QCOMPARE(rest(2), -500.0);
        sound();
        Statement transfers = db->prepareOnce("SELECT count(*) FROM TB_HIST WHERE Ref_Account IS NOT NULL");
        QVERIFY(transfers.step());
        QCOMPARE(transfers.columnInt(0), qint64(2));
        // Read again, both statements are wholly in the book.
        QCOMPARE(states(matcher.match(card, 1)), QStringList{"дубликат: тот же номер операции банка (снята)"});
        QCOMPARE(states(matcher.match(deposit, 2)), QStringList{"дубликат: тот же номер операции банка (снята)"});
    }

    void suggestionsFromRulesThenFromTheLastChoice()
    {
        ImportRule rule;
        rule.match = ImportRule::Match::StartsWith;
        rule.pattern = QStringLiteral("азс");
        rule.level1 = 1;
        ImportRules::save(*db, rule);
        ImportMatcher matcher(*db);
        StatementAccount st;
        st.entries = {entry(Day, 10, false, {}, "АЗС Лукойл"), entry(Day + 20, 20, true, {}, "ООО Работа")};
        QList<ImportRow> rows = matcher.match(st, 1);
        rows[1].level1 = 4;
        matcher.suggest(rows, 1);
        QCOMPARE(rows[0].level1.toLongLong(), qint64(1));
        book(rows, 1);

        StatementAccount next;
        next.entries = {entry(Day + 50, 30, true, {}, "ооо работа "), entry(Day + 50, 30, false, {}, "ООО Работа")};
        QList<ImportRow> later = matcher.match(next, 1);
        matcher.suggest(later, 1);
        QCOMPARE(later[0].level1.toLongLong(), qint64(4));
        QVERIFY(later[1].level1.isNull()); // an expense there was never chosen
    }

    // Every real statement of the samples books whole into an empty account, or is refused with a
    // message; read again, every row it booked is a duplicate.
    void everySampleImportsOrIsRefused()
    {
        QDirIterator it(QStringLiteral(DORV_SAMPLES_DIR), {"*.csv", "*.txt", "*.ofx", "*.qfx", "*.qif", "*.xml"},
                        QDir::Files, QDirIterator::Subdirectories);
        int imported = 0, refused = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            StatementSource source;
            source.path = path;
            source.bytes = f.readAll();
            source.format = detectStatementFormat(source.bytes);
            if (source.format == StatementFormat::Csv)
                source.profile = sniffCsv(source.bytes).profile;
            BankStatement statement;
            try {
                statement = readStatementSource(source, {});
            } catch (const StatementError& e) {
                QVERIFY2(!e.message().isEmpty(), qPrintable(path));
                ++refused;
                continue;
            }
            ImportMatcher matcher(*db);
            for (const StatementAccount& account : std::as_const(statement.accounts)) {
                QList<ImportRow> rows = matcher.match(account, 1);
                int ticked = 0;
                for (ImportRow& r : rows) {
                    QVERIFY2(r.entry.date > 0, qPrintable(path));
                    // A transfer to an account of this test's book is a plain row here.
                    if (r.state == ImportRow::State::Transfer)
                        r.state = ImportRow::State::New;
                    ticked += r.ticked && r.entry.amount > 0;
                }
                QCOMPARE(book(rows, 1), ticked);
                sound();
                for (const ImportRow& r : matcher.match(account, 1))
                    QVERIFY2(r.state != ImportRow::State::New, qPrintable(path + ": " + r.entry.text()));
            }
            ++imported;
            db->exec("DELETE FROM TB_HIST");
            db->exec("DELETE FROM TB_IMPORT_TEXT");
            db->exec("UPDATE TB_ACCOUNT SET Rest=0");
        }
        QVERIFY(imported >= 15);
        // Three files broken on purpose; the camt document without statements is a valid empty one.
        QCOMPARE(refused, 3);
    }

    void currencyTextsReadAsCodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("code");
        QTest::newRow("руб") << "руб"
                             << "RUB";
        QTest::newRow("RUR") << "RUR"
                             << "RUB";
        QTest::newRow("р.") << "р."
                            << "RUB";
        QTest::newRow("usd") << "usd"
                             << "USD";
        QTest::newRow("евро") << "Евро"
                              << "EUR";
        QTest::newRow("unknown") << "попугаи"
                                 << "";
    }
    void currencyTextsReadAsCodes()
    {
        QFETCH(QString, text);
        QFETCH(QString, code);
        QCOMPARE(currencyCode(text), code);
    }
};

QTEST_GUILESS_MAIN(TestImportMatcher)
#include "tst_importmatcher.moc"
