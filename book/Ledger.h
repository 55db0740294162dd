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

// A category item as the user means it, in plain values: what the category card builds from its
// controls and hands to the ledger.
struct CategoryDraft {
    QString name;
    QVariant parent;                         // the item it branches from; none: the first level
    QString direction = QStringLiteral("-"); // "-" expense, "+" income, "0" both, as stored
};

// An item as the ledger stored it.
struct CategoryResult {
    qint64 item = 0;
    QString name;
    int level = 0; // 0 first, 1 second, 2 third
    QVariant parent;
    QString direction;
};

// Every change of the money and category data, each in one transaction of the database: book,
// change (and realise) and remove an operation, with a transfer's receiving row and both balances;
// close and delete an account; add, rename, move and delete a category. Nothing here reads a
// control or a view; the windows build a draft and show the result. A refusal raises DbError with
// the words the user is shown, and every failure leaves the database as it was.
class Ledger final {
public:
    explicit Ledger(Database& db) : m_db(db) {}

    BookingResult book(const OperationDraft& draft);
    // The row at old becomes draft (realising is a draft that is no longer planned).
    BookingResult change(const OperationKey& old, const OperationDraft& draft);
    BookingResult remove(const OperationKey& key);
    // Empties an account's history; its balance stays (the opening balance then) or becomes 0.
    BookingResult closeAccount(qint64 account, bool keepBalance);
    // Why an account cannot be deleted ("Есть связи в истории!" while rows of its own are in the
    // history); empty when it can.
    QString accountRemovalRefusal(qint64 account);
    // Deletes an account with its opening balance, or raises the refusal and changes nothing.
    void removeAccount(qint64 account);

    // Stores a new item one level below its parent under the next free identifier. Refused: a
    // name that is empty, that the file cannot hold or that another item has ("Такая статья уже
    // есть!"), a parent that is missing, the transfer item or on the third level, and a direction
    // opposite to the parent's.
    CategoryResult addCategory(const CategoryDraft& draft);
    // Gives an item a new name and, when one is given, a new direction (empty: as it stands). The
    // same refusals, and a direction that the item's parent, branches or booked rows go against.
    CategoryResult renameCategory(qint64 item, const QString& name, const QString& direction = {});
    // The form in which two category names are compared: Latin letters lose their case, every
    // other letter keeps it.
    static QString categoryNameKey(const QString& name);

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
    // Raises the refusal of a name for item (0: a new item), or gives the name as it is stored.
    QString checkedCategoryName(const QString& name, const QVariant& item);
    bool readCategory(qint64 item, CategoryResult* out);

    Database& m_db;
};

} // namespace dorv
