#pragma once
#include <QString>
#include <QStringList>

namespace dorv {

class Database;

// The tables the program keeps beside the seven of the data module, whose layout stays as it is:
// a book without them opens as before and gets each when it first needs it. Each has a primary key,
// so that the journal records its rows like any other.
namespace OwnTables {

// The bank's own text and identifier of an imported operation, by its account and creation moment
// (which a change of the operation keeps).
inline constexpr const char* BankText = "TB_IMPORT_TEXT";
// The import rules, in the order they are tried.
inline constexpr const char* Rules = "TB_IMPORT_RULE";
// The column mappings of CSV statements, by the shape of their header.
inline constexpr const char* Profiles = "TB_IMPORT_PROFILE";
// Bank account numbers seen in statements, and the account of the book they belong to.
inline constexpr const char* BankAccounts = "TB_IMPORT_ACCOUNT";

// The statements that make a table and its indexes, for every table of the program's own.
QStringList createStatements(const QString& table);
// Makes the table and its indexes when the database lacks them.
void ensure(Database& db, const QString& table);

// Whether a table or an index of the database is one the program makes beside the data module's.
bool isOwnTable(const QString& table);
bool isOwnIndex(const QString& table, const QString& index);

} // namespace OwnTables

} // namespace dorv
