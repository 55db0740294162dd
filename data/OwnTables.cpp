#include "OwnTables.h"

#include "Database.h"
#include "OpeningBalances.h"

#include <QHash>

namespace dorv::OwnTables {

namespace {

struct Shape {
    QString create;
    QHash<QString, QString> indexes; // upper-case name -> its statement
};

const QHash<QString, Shape>& shapes()
{
    static const QHash<QString, Shape> all = [] {
        QHash<QString, Shape> s;
        s.insert(QStringLiteral("TB_OPENING"), {OpeningBalances::createStatement(), {}});
        s.insert(QLatin1String(BankText),
                 {QStringLiteral("CREATE TABLE IF NOT EXISTS TB_IMPORT_TEXT (Id_Account INTEGER NOT NULL, "
                                 "Date_Create INTEGER NOT NULL, Bank_Id TEXT, Bank_Text TEXT, Counterparty TEXT, "
                                 "PRIMARY KEY (Id_Account, Date_Create))"),
                  {{QStringLiteral("IMPORT_TEXT_ID"), QStringLiteral("CREATE INDEX IF NOT EXISTS IMPORT_TEXT_ID ON "
                                                                     "TB_IMPORT_TEXT (Id_Account, Bank_Id)")},
                   {QStringLiteral("IMPORT_TEXT_PARTY"),
                    QStringLiteral("CREATE INDEX IF NOT EXISTS IMPORT_TEXT_PARTY ON TB_IMPORT_TEXT (Counterparty)")}}});
        s.insert(QLatin1String(Rules),
                 {QStringLiteral("CREATE TABLE IF NOT EXISTS TB_IMPORT_RULE (Id_Rule INTEGER NOT NULL, Ord INTEGER NOT "
                                 "NULL DEFAULT 0, Match_Kind INTEGER NOT NULL DEFAULT 0, Pattern TEXT NOT NULL, "
                                 "Amount_From REAL, Amount_To REAL, Id_Account INTEGER, Level1 INTEGER, Level2 "
                                 "INTEGER, Level3 INTEGER, ID_Person INTEGER, ID_Firm INTEGER, PRIMARY KEY (Id_Rule))"),
                  {}});
        s.insert(QLatin1String(Profiles),
                 {QStringLiteral("CREATE TABLE IF NOT EXISTS TB_IMPORT_PROFILE (Profile_Key TEXT NOT NULL, Name TEXT, "
                                 "Settings TEXT NOT NULL, PRIMARY KEY (Profile_Key))"),
                  {}});
        s.insert(QLatin1String(BankAccounts),
                 {QStringLiteral("CREATE TABLE IF NOT EXISTS TB_IMPORT_ACCOUNT (Bank_Account TEXT NOT NULL, Id_Account "
                                 "INTEGER NOT NULL, PRIMARY KEY (Bank_Account))"),
                  {}});
        return s;
    }();
    return all;
}

} // namespace

QStringList createStatements(const QString& table)
{
    const auto it = shapes().constFind(table.toUpper());
    if (it == shapes().constEnd())
        return {};
    QStringList out{it->create};
    out += it->indexes.values();
    return out;
}

void ensure(Database& db, const QString& table)
{
    if (db.hasTable(table))
        return;
    for (const QString& sql : createStatements(table))
        db.exec(sql);
}

bool isOwnTable(const QString& table) { return shapes().contains(table.toUpper()); }

bool isOwnIndex(const QString& table, const QString& index)
{
    const auto it = shapes().constFind(table.toUpper());
    if (it == shapes().constEnd())
        return false;
    // A primary key that is not the row id has an index of the database's own making.
    return index.startsWith(QLatin1String("sqlite_autoindex_"), Qt::CaseInsensitive)
           || it->indexes.contains(index.toUpper());
}

} // namespace dorv::OwnTables
