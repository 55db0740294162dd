#pragma once
#include <QList>
#include <QString>

namespace dorv {

class Database;

// One way in which a book is not sound, said in plain words.
struct BookBreach {
    enum class Kind { Balance, Transfer, Amount, Path, Identifier };
    Kind kind = Kind::Balance;
    QString text;
    // For a balance that its rows do not explain: the account, the balance stored and the one its
    // opening balance and real rows give (ten-thousandths).
    qint64 account = 0;
    qint64 stored = 0;
    qint64 fromRows = 0;
};

// What a sound book is: each account's balance is its opening balance plus its real rows; every
// real transfer's sending row has exactly one receiving row in its target account, made at the
// same moment, for the same amount between accounts of one currency (a receiving row may outlive
// its sending row: closing an account empties only its own history); every row has exactly one of income and expense
// positive and a path of existing items in the direction its amount says; no creation moment shared but by a transfer's
// two rows. Lists every breach, in the order of the accounts and rows; an empty list is a sound book.
QList<BookBreach> CheckBook(Database& db);

} // namespace dorv
