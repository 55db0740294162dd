// Speed of a bank statement's import on a large book: a CSV statement of a hundred thousand rows
// read, matched against a history of a million rows and shown in the import grid, then every row
// booked in one change. Usage: bench_import [history rows] [statement rows]

#include "data/Database.h"
#include "import/ImportChoices.h"
#include "import/ImportModel.h"
#include "statements/CsvReader.h"
#include "statements/ImportBooker.h"
#include "statements/ImportMatcher.h"
#include "statements/StatementFormat.h"
#include "support/TemplateDb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

using namespace dorv;

namespace {

double ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int historyRows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int statementRows = argc > 2 ? std::atoi(argv[2]) : 100000;
    QTemporaryDir dir;
    if (!unpackTemplate(dir.path()))
        return 1;
    auto db = Database::openFile(dir.filePath(QStringLiteral("DORVANA.DB")), false);
    QElapsedTimer t;
    t.start();
    db->exec(QStringLiteral("BEGIN"));
    for (int a = 1; a <= 10; ++a)
        db->exec(QStringLiteral("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (%1, 'Счёт %1', "
                                "'руб', 0)")
                     .arg(a));
    db->exec(QStringLiteral("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), "
                            "(2, 'Зарплата', NULL, 0, '+')"));
    // Ten years of history; the first account holds a tenth of it, where the statement goes.
    db->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                            "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1) "
                            "SELECT i % 10 + 1, 40000 + i * 3650 / %2, 3283200000000 + i * 1000, '1', CASE WHEN i % 7 "
                            "= 0 THEN 1000.0 END, CASE WHEN i % 7 <> 0 THEN 10.0 + i % 90 END, CASE WHEN i % 7 = 0 "
                            "THEN 2 ELSE 1 END FROM n")
                 .arg(historyRows - 1)
                 .arg(historyRows));
    db->exec(QStringLiteral("COMMIT"));
    std::fprintf(stderr, "history: %d rows in %.0f ms\n", historyRows, ms(t));

    // A statement over the same ten years: every third row an amount the book has near that day.
    QByteArray csv = "Дата;Сумма;Описание\r\n";
    for (int i = 0; i < statementRows; ++i) {
        const QDate day = QDate(2009, 7, 6).addDays(qint64(i) * 3650 / statementRows);
        const int cents = i % 3 == 0 ? (10 + (i * 10) % 90) * 100 : 1234 + i % 5000;
        csv += day.toString(QStringLiteral("dd.MM.yyyy")).toLatin1() + ";-" + QByteArray::number(cents / 100) + ","
               + QByteArray::number(100 + cents % 100).right(2) + ";Покупка в магазине " + QByteArray::number(i % 997)
               + "\r\n";
    }

    t.restart();
    const StatementFormat format = detectStatementFormat(csv);
    const CsvSniff sniff = sniffCsv(csv);
    const BankStatement statement = readCsv(csv, sniff.profile, {});
    const double readMs = ms(t);
    t.restart();
    ImportMatcher matcher(*db);
    QList<ImportRow> rows = matcher.match(statement.accounts.value(0), 1);
    matcher.suggest(rows, 1);
    const double matchMs = ms(t);
    t.restart();
    const ImportChoices choices = ImportChoices::read(*db);
    ImportModel model(choices);
    model.setRows(rows);
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->setVisible(false);
    view.resize(1000, 600);
    view.show();
    view.resizeColumnsToContents();
    QApplication::processEvents();
    const double showMs = ms(t);
    int duplicates = 0;
    for (const ImportRow& r : rows)
        duplicates += r.state == ImportRow::State::Duplicate;
    for (ImportRow& r : rows)
        r.ticked = true;
    t.restart();
    qint64 moment = 4000000000000;
    const int booked = ImportBooker(*db, [&] { return ++moment; }).book(rows, 1, QStringLiteral("40817"));
    const double bookMs = ms(t);
    std::printf("format %d, %lld rows (%d duplicates) against %d history rows\n", int(format),
                static_cast<long long>(rows.size()), duplicates, historyRows);
    std::printf("read %.0f ms, match %.0f ms, shown %.0f ms: %.0f ms to the window (target < 2000)\n", readMs, matchMs,
                showMs, readMs + matchMs + showMs);
    std::printf("booked %d rows in %.0f ms (target < 5000)\n", booked, bookMs);
    return 0;
}
