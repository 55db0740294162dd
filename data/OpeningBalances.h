#pragma once
#include <QHash>
#include <QString>

namespace dorv {

class Database;

// The balance an account had before its first row in the history: what a closing that kept the
// balance leaves behind, or what an older book's balances said beyond their rows. Kept in a table
// of the program's own beside the seven of the data module, whose layout stays as it is; a book
// without it has no opening balances and gets the table when it first needs one.
class OpeningBalances final {
public:
    static constexpr const char* TableName = "TB_OPENING";
    static QString createStatement();

    // Each account's opening balance in ten-thousandths; accounts without one are left out.
    static QHash<qint64, qint64> read(Database& db);
    // Each closed account's horizon: the latest creation moment of the rows its closing removed.
    // A transfer sent to it no later than that lost its receiving row with the closing, rightly.
    static QHash<qint64, qint64> horizons(Database& db);
    // Sets an account's opening balance, and the horizon of its closing (0: never closed; -1: as it
    // is), making the table when needed; a row of neither is removed.
    static void set(Database& db, qint64 account, qint64 units, qint64 horizon = -1);
};

} // namespace dorv
