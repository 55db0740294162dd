// Speed of finding operations in a book of a million rows: a text that names a category, one that
// only the bank's texts hold, an amount range, and everything at once. The answer is wanted within
// 200 ms each. Usage: bench_find [history rows]

#include "data/Database.h"
#include "data/OwnTables.h"
#include "find/OperationSearch.h"
#include "support/TemplateDb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace dorv;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int historyRows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    if (!unpackTemplate(dir.path()))
        return 1;
    auto db = Database::openFile(dir.filePath(QStringLiteral("DORVANA.DB")), false);
    OwnTables::ensure(*db, QLatin1String(OwnTables::BankText));
    QElapsedTimer t;
    t.start();
    db->exec(QStringLiteral("BEGIN"));
    for (int a = 1; a <= 10; ++a)
        db->exec(QStringLiteral("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (%1, 'Счёт %1', "
                                "'руб', 0)")
                     .arg(a));
    // Two hundred categories, people and firms, as a household of many years has.
    db->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                            "INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) SELECT i, 'Статья ' || i, NULL, 0, "
                            "'-' FROM n"));
    db->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                            "INSERT INTO TB_PERSON (Id_Person, Name) SELECT i, 'Человек ' || i FROM n"));
    db->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                            "INSERT INTO TB_FIRM (Id_Firm, Firm) SELECT i, 'Магазин ' || i FROM n"));
    db->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                            "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1, ID_Person, "
                            "ID_Firm) SELECT i % 10 + 1, 40000 + i * 3650 / %2, 3283200000000 + i * 1000, '1', CASE "
                            "WHEN i % 7 = 0 THEN 1000.0 END, CASE WHEN i % 7 <> 0 THEN 10.0 + i % 90 END, i % 200 + "
                            "1, i % 201, i % 199 + 1 FROM n")
                 .arg(historyRows - 1)
                 .arg(historyRows));
    // A fifth of the rows came from bank statements.
    db->exec(QStringLiteral("INSERT INTO TB_IMPORT_TEXT (Id_Account, Date_Create, Bank_Text) SELECT Id_Account, "
                            "Date_Create, 'Оплата покупки в магазине № ' || (Date_Create % 9973) FROM TB_HIST WHERE "
                            "Date_Create % 5000 = 0"));
    db->exec(QStringLiteral("COMMIT"));
    std::fprintf(stderr, "history: %d rows in %.0f ms\n", historyRows, double(t.nsecsElapsed()) / 1e6);

    struct Case {
        const char* name;
        FindCriteria criteria;
    };
    FindCriteria category, bank, amounts, all, rare;
    category.text = QStringLiteral("статья 17");
    bank.text = QStringLiteral("№ 4711");
    amounts.amountFrom = 500000;
    amounts.amountTo = 510000;
    rare.text = QStringLiteral("нет такого");
    const Case cases[] = {{"category text", category},
                          {"bank text", bank},
                          {"amount range", amounts},
                          {"no text at all", all},
                          {"text found nowhere", rare}};
    bool slow = false;
    for (const Case& c : cases) {
        double best = 1e9;
        FindResult r;
        for (int run = 0; run < 3; ++run) {
            t.restart();
            r = OperationSearch(*db).run(c.criteria, 5000);
            best = std::min(best, double(t.nsecsElapsed()) / 1e6);
        }
        slow = slow || best > 200;
        std::printf("%-20s %8lld found, %5lld listed: %7.1f ms%s\n", c.name, static_cast<long long>(r.count),
                    static_cast<long long>(r.rows.size()), best, best > 200 ? "  (over 200 ms)" : "");
    }
    return slow ? 2 : 0;
}
