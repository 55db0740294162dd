#pragma once
#include <QList>
#include <QString>
#include <QVariant>

namespace dorv {

class Database;

// A rule of the import: what a statement row's text (and optionally its amount and account) must
// be for the rule to choose its category, person and place. Rules are tried in their order; the
// first that matches chooses.
struct ImportRule {
    enum class Match { Contains = 0, StartsWith = 1, Pattern = 2 };
    qint64 id = 0; // 0: not stored yet
    int order = 0;
    Match match = Match::Contains;
    QString pattern;        // case does not matter
    qint64 amountFrom = -1; // ten-thousandths; -1: no lower bound
    qint64 amountTo = -1;   // -1: no upper bound
    qint64 account = 0;     // 0: any account
    QVariant level1, level2, level3, person, place;

    // False for a regular expression that does not compile.
    bool valid() const;
    bool matches(const QString& text, qint64 amount, qint64 account) const;
};

// The rules as the data file keeps them.
namespace ImportRules {
QList<ImportRule> read(Database& db);
// Stores a rule (a new one gets its id and goes last); returns its id.
qint64 save(Database& db, ImportRule rule);
void remove(Database& db, qint64 id);
// Puts the rules in the order of the ids given.
void reorder(Database& db, const QList<qint64>& ids);
// How many operations of the book, imported with the bank's text, a rule would match.
int countInBook(Database& db, const ImportRule& rule);
} // namespace ImportRules

} // namespace dorv
