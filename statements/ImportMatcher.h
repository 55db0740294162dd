#pragma once
#include "ImportRules.h"
#include "Statement.h"
#include "book/Ledger.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

namespace dorv {

class Database;

// One statement entry as the import window shows it: what the book already has of it, and what is
// to be booked for it.
struct ImportRow {
    enum class State {
        New,       // nothing in the book like it
        Duplicate, // the book has it already (why says how it was found)
        Transfer,  // money between two of the household's own accounts
        Pending,   // not yet booked by the bank
        Notice,    // no money moved (a zero amount)
    };
    StatementEntry entry;
    State state = State::New;
    bool ticked = true;
    QString why;                // a duplicate's reason, in the user's words
    qint64 transferAccount = 0; // the household's account on the other side of a transfer
    // That account's row this entry is the other side of, when the book has it (created 0: none):
    // the import turns it into the transfer instead of booking a second one.
    OperationKey otherSide;
    QVariant level1, level2, level3, person, place;

    // "новая", "дубликат: …", "перевод: …", "в обработке", "нулевая сумма".
    QString stateText(const QString& transferAccountName) const;
    // The entry's amount as it enters its account: positive income, negative expense.
    qint64 signedAmount() const { return entry.income ? entry.amount : -entry.amount; }
};

// Finds what the book already has of a statement's entries: duplicates of rows booked before (by
// the bank's identifier, else by amount and date, each history row claimed once), transfers
// between the household's own accounts, and suggestions of category, person and place from the
// rules and from what was chosen for the same counterparty before.
class ImportMatcher final {
public:
    explicit ImportMatcher(Database& db) : m_db(db) {}

    // How far apart in days an entry and a history row may lie and still be the same money.
    static constexpr int DayWindow = 3;

    QList<ImportRow> match(const StatementAccount& statement, qint64 account);
    // Fills the category, person and place of rows that have none: the first rule that matches,
    // else the choice made last time for the same counterparty text.
    void suggest(QList<ImportRow>& rows, qint64 account);
    // The account a bank account number was imported into before (0: none seen).
    qint64 knownAccount(const QString& number);
    // The book's account of a bank account number, else one whose name contains the number.
    qint64 accountOfNumber(const QString& number);

    // The normalised text that last choices are kept under.
    static QString counterpartyKey(const StatementEntry& entry);

private:
    Database& m_db;
};

// An account's CURRENCY text as a code: "руб", "RUB", "RUR" and "р." are one currency. Empty when
// the text says nothing known.
QString currencyCode(const QString& text);

} // namespace dorv
