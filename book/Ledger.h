#pragma once
#include "data/Meanings.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

namespace dorv {

class Database;

// Where a history row stands: its primary key.
struct OperationKey {
    qint64 account = 0;
    int date = 0;
    qint64 created = 0;
    // As stored: the key finds the row whatever its mark, even one that names no kind.
    QString kind;
    bool operator==(const OperationKey&) const = default;
};

// A category path: the items from the first level down (an unset level is no value).
struct CategoryPath {
    QVariant level[3];
};

// An operation as the user means it, in plain values: what the card's pages build from their
// controls and hand to the ledger.
struct OperationDraft {
    enum class Direction { Expense, Income, Transfer };
    Direction direction = Direction::Expense;
    qint64 account = 0;
    qint64 amount = 0; // ten-thousandths, above zero
    qint64 price = 0;  // ten-thousandths, 0: none (for a transfer: the rate)
    QVariant level1, level2, level3;
    int date = 0;
    OperationKind kind = OperationKind::Real;
    QVariant person, place;
    qint64 target = 0;   // a transfer's receiving account
    qint64 received = 0; // what the receiving account gets, 0: the amount itself
    qint64 created = 0;  // the creation moment, which the transfer's two rows share
};

// What a change did: the rows written and each account's balance change (ten-thousandths).
struct BookingResult {
    OperationKey row; // the operation's own row as it now stands (empty after a removal)
    QList<QPair<qint64, qint64>> balanceChanges;
    qint64 changeOf(qint64 account) const;
};

// Every change of the money data, each in one transaction of the database: book, change (and
// realise) and remove an operation, with a transfer's receiving row and both balances, and close an
// account. Nothing here reads a control or a view; the windows build a draft and show the result.
// A failure raises the error and leaves the database as it was.
class Ledger final {
public:
    explicit Ledger(Database& db) : m_db(db) {}

    BookingResult book(const OperationDraft& draft);
    // The row at old becomes draft (realising is a draft that is no longer planned).
    BookingResult change(const OperationKey& old, const OperationDraft& draft);
    BookingResult remove(const OperationKey& key);
    // Empties an account's history; its balance stays (the opening balance then) or becomes 0.
    BookingResult closeAccount(qint64 account, bool keepBalance);

    // The history rows booked exactly on a path (not on its branches).
    qint64 rowsOn(const CategoryPath& path);
    // Deletes an item that no row is booked on; otherwise raises "Удаление невозможно! - N связей в
    // истории" and changes nothing.
    void deleteCategory(qint64 item, const CategoryPath& path);
    // Puts an item under another parent (none: the first level) at the level given, and every row
    // booked on its old path on the new one. Returns the number of rows moved.
    qint64 moveCategory(qint64 item, const QVariant& parent, int level, const CategoryPath& before,
                        const CategoryPath& after);

    // The draft of a stored row, for changing it.
    OperationDraft draftOf(const OperationKey& key);

private:
    struct Stored;
    bool read(const OperationKey& key, Stored* row);
    void check(const OperationDraft& draft);
    void write(const OperationDraft& draft, bool withoutReceiving, BookingResult* result);
    void unwrite(const OperationKey& key, BookingResult* result);
    // The receiving row of a transfer made at created into target: its day and amount.
    bool receivingRowOf(const QVariant& target, qint64 created, int* date, qint64* received);
    void changeBalance(qint64 account, qint64 change, BookingResult* result);
    QString accountName(qint64 account);
    void dropBankText(qint64 created, const QList<qint64>& accounts);

    Database& m_db;
};

} // namespace dorv
