#pragma once
#include <QList>
#include <QString>

#include <optional>

namespace dorv {

class Database;

// What the user asks for: every bound is optional; an empty text matches every row.
struct FindCriteria {
    // Found without regard to case in the names of the path, the person, the place, the other
    // account and the bank's text of an imported row.
    QString text;
    // The amount of the row (its income or its expense), in ten-thousandths.
    std::optional<qint64> amountFrom, amountTo;
    // Days on the program's scale.
    std::optional<int> dateFrom, dateTo;
    // Only this account's rows.
    std::optional<qint64> account;
    bool real = true;
    bool planned = true;
};

struct FoundOperation {
    // The history's key: enough to find the row again.
    qint64 account = 0;
    int date = 0;
    qint64 created = 0;
    QString kind;
    QString accountName, category, group, article, person, place;
    qint64 income = 0, expense = 0; // ten-thousandths
    bool planned() const { return kind != QLatin1String("1"); }
};

struct FindResult {
    // The latest matches first, at most the limit asked for.
    QList<FoundOperation> rows;
    // Of every match, shown or not.
    qint64 count = 0;
    qint64 income = 0, expense = 0; // ten-thousandths
};

// The search over the history of every account, in two statements over the history table: the
// names are matched first in the small tables (categories, people, firms, accounts) and the bank's
// texts, so that the history itself is read once by identifiers.
class OperationSearch {
public:
    explicit OperationSearch(Database& db) : m_db(db) {}
    FindResult run(const FindCriteria& criteria, int limit = 5000);

private:
    Database& m_db;
};

} // namespace dorv
