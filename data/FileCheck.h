#pragma once
#include <QList>
#include <QString>

#include <memory>

namespace dorv {

class Database;
class Table;

// Opens the database file of a folder when it is there and whole; otherwise null, with what keeps it
// from being used (missing or empty, unreadable, damaged) in damage. A change cut off half way is
// rolled back by the database itself as it opens.
std::shared_ptr<Database> openWhole(const QString& dbFile, QString* damage);

// What a data file may hold before any of it is opened for work: the tables of the data module
// and their indexes, as the program creates them, and nothing else. A database of a data file is
// someone's file: a trigger or a view in it would run its own SQL on the user's edits.
// Returns what is wrong (naming the object or the row), or empty text when the database is ours.
QString foreignContentOf(Database& db, const QList<Table*>& tables);

// The first table of the data module that the database lacks ("нет таблицы …"), or empty text.
QString missingTableOf(Database& db, const QList<Table*>& tables);

// The first stored amount that lies outside what the program books (0 to MaxAmount, a finite
// number) or a balance beyond what ten-thousandths hold: sums over such rows would overflow.
QString amountOutOfRangeOf(Database& db);

} // namespace dorv
