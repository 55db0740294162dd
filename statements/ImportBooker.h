#pragma once
#include "ImportMatcher.h"

#include <QHash>
#include <QList>

#include <functional>

namespace dorv {

class Database;

// Books the ticked rows of a statement through the ledger, all of them in one transaction: plain
// rows as operations of the chosen account (without a category on "Без категории"), transfers as
// one transfer each, turning the other account's row into it where the book has it already. The
// bank's text and identifier stay with each operation, and the statement's account number is
// remembered as this account's.
class ImportBooker final {
public:
    // nextMoment gives each new operation its creation moment, unique in the book.
    ImportBooker(Database& db, std::function<qint64()> nextMoment) : m_db(db), m_nextMoment(std::move(nextMoment)) {}

    // The name of the item that rows without a category go to.
    static QString uncategorisedName() { return QStringLiteral("Без категории"); }
    // That item, made at the first level for both directions when the book lacks it.
    static qint64 uncategorisedItem(Database& db);

    // received: for a transfer between currencies without the other side in the book, what the
    // other account gets or sent in its own currency, by the row's index. Returns the number of
    // operations booked; a failure raises the error and books nothing.
    int book(const QList<ImportRow>& rows, qint64 account, const QString& bankAccount,
             const QHash<int, qint64>& received = {});

    // Whether a transfer row needs the other account's amount asked (their currencies differ and
    // the other side is not in the book).
    bool needsReceived(const ImportRow& row, qint64 account);

private:
    void keepText(qint64 account, qint64 created, const StatementEntry& entry);
    QString currencyOf(qint64 account);

    Database& m_db;
    std::function<qint64()> m_nextMoment;
};

} // namespace dorv
