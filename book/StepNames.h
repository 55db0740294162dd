#pragma once
#include <QString>
#include <QVariantMap>

#include <functional>

namespace dorv {

struct ChangedRow;
class ChangesetReader;

// The current values of a row of the open data, by its key (column names upper case); empty when
// there is no such row.
using RowLookup = std::function<QVariantMap(const QString& table, const QVariantMap& key)>;

// What a step changed, in a few words for the menu that undoes it, and the row it is about.
struct StepSummary {
    QString what;
    QString table; // the row's table, upper case; empty: no one row
    // The row's values before and after the step, by upper-case column name; empty where the row
    // is not there (before an insert, after a delete).
    QVariantMap before, after;
};

// Names a step from the rows it changed, read once: "расход 350.00 «Картофель»", "перевод 100.00
// «Карта»", "перемещение статьи «Кофе»", "удаление человека «Иванов И.И.»". The category's and
// the account's names come from the step's own rows or else through lookup, which also gives the
// values an update did not change (it sees the data as the step left it). A hint, when given, is
// the name (what the rows alone cannot tell, as the closing of an account with one row).
StepSummary summarizeStep(ChangesetReader& rows, const RowLookup& lookup, const QString& hint = {});

// One row in a few words, to say which row stood in the way of an undo: "счёт «Кошелёк»".
QString describeRow(const ChangedRow& row, const RowLookup& lookup);

} // namespace dorv
