#include "FileCheck.h"

#include "Database.h"
#include "DbError.h"
#include "OpeningBalances.h"
#include "OwnTables.h"
#include "Table.h"
#include "util/DateScale.h"
#include "util/Money.h"

#include <QDate>
#include <QFileInfo>
#include <QHash>

namespace dorv {

namespace {

QString kindName(const QString& type)
{
    if (type == QLatin1String("trigger"))
        return QStringLiteral("триггер");
    if (type == QLatin1String("view"))
        return QStringLiteral("представление");
    if (type == QLatin1String("index"))
        return QStringLiteral("индекс");
    return QStringLiteral("таблица");
}

QString named(const QString& type, const QString& name) { return QStringLiteral("%1 «%2»").arg(kindName(type), name); }

bool sameNames(const QStringList& a, const QStringList& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].compare(b[i], Qt::CaseInsensitive) != 0)
            return false;
    return true;
}

// The indexes a table of ours has: its declared ones, with the primary key after their own fields.
QHash<QString, QStringList> indexesOf(const Table& t)
{
    QHash<QString, QStringList> out;
    for (const QString& s : t.createStatements()) {
        if (!s.startsWith(QLatin1String("CREATE INDEX ")))
            continue;
        // CREATE INDEX "name" ON "table" ("a","b")
        const qsizetype nameStart = s.indexOf(QLatin1Char('"')) + 1;
        const qsizetype nameEnd = s.indexOf(QLatin1Char('"'), nameStart);
        const qsizetype open = s.lastIndexOf(QLatin1Char('('));
        QStringList cols = s.mid(open + 1, s.size() - open - 2).split(QLatin1Char(','));
        for (QString& c : cols)
            c = c.trimmed().remove(QLatin1Char('"'));
        out.insert(s.mid(nameStart, nameEnd - nameStart).toUpper(), cols);
    }
    return out;
}

} // namespace

std::shared_ptr<Database> openWhole(const QString& dbFile, QString* damage)
{
    if (QFileInfo(dbFile).size() <= 0) {
        *damage = QStringLiteral("нет базы данных");
        return nullptr;
    }
    try {
        auto db = Database::openFile(dbFile, false);
        Statement check = db->prepareOnce(QStringLiteral("PRAGMA quick_check"));
        if (check.step() && check.column(0).toString() != QLatin1String("ok")) {
            *damage = check.column(0).toString();
            return nullptr;
        }
        return db;
    } catch (const DbError& e) {
        *damage = e.message();
        return nullptr;
    }
}

QString foreignContentOf(Database& db, const QList<Table*>& tables)
{
    QHash<QString, const Table*> ours;
    for (const Table* t : tables)
        ours.insert(t->tableName().toUpper(), t);

    Statement all = db.prepareOnce(QStringLiteral("SELECT type, name, tbl_name, coalesce(sql,'') FROM sqlite_master"));
    while (all.step()) {
        const QString type = all.column(0).toString();
        const QString name = all.column(1).toString();
        const QString sql = all.column(3).toString();
        if (type == QLatin1String("table")) {
            if (name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
                continue; // the database's own bookkeeping
            if (OwnTables::isOwnTable(name) && !sql.contains(QLatin1String("VIRTUAL"), Qt::CaseInsensitive))
                continue; // the program's own, beside the data module's
            if (!ours.contains(name.toUpper()) || sql.contains(QLatin1String("VIRTUAL"), Qt::CaseInsensitive))
                return named(type, name);
        } else if (type == QLatin1String("index")) {
            const QString table = all.column(2).toString();
            // The program's own tables have their primary keys and the indexes they are made with.
            if (OwnTables::isOwnTable(table) ? !OwnTables::isOwnIndex(table, name) : !ours.contains(table.toUpper()))
                return named(type, name);
        } else {
            return named(type, name);
        }
    }

    // Each index of ours as we make it: a foreign one could refuse rows (unique) or hide them.
    for (const Table* t : tables) {
        const QHash<QString, QStringList> declared = indexesOf(*t);
        struct Found {
            QString name;
            bool unique, partial;
            QString origin;
        };
        QList<Found> found;
        {
            Statement list = db.prepareOnce(QStringLiteral("PRAGMA index_list(\"%1\")").arg(t->tableName()));
            while (list.step())
                found.append({list.column(1).toString(), list.columnInt(2) != 0, list.columnInt(4) != 0,
                              list.column(3).toString()});
        }
        for (const Found& f : found) {
            if (f.origin == QLatin1String("pk"))
                continue;
            const auto it = declared.constFind(f.name.toUpper());
            if (it == declared.constEnd() || f.unique || f.partial || f.origin != QLatin1String("c"))
                return named(QStringLiteral("index"), f.name);
            QStringList cols;
            Statement info =
                db.prepareOnce(QStringLiteral("PRAGMA index_info(\"%1\")")
                                   .arg(QString(f.name).replace(QLatin1Char('"'), QStringLiteral("\"\""))));
            while (info.step())
                cols << info.column(2).toString(); // an expression has no name and never matches
            if (!sameNames(cols, *it))
                return named(QStringLiteral("index"), f.name);
        }
    }
    return {};
}

QString missingTableOf(Database& db, const QList<Table*>& tables)
{
    for (const Table* t : tables)
        if (!db.hasTable(t->tableName()))
            return QStringLiteral("нет таблицы %1").arg(t->tableName());
    return {};
}

QString amountOutOfRangeOf(Database& db)
{
    const QString max = QString::number(MaxAmount, 'f', 0);
    // A text or a blob compares above every number, an infinity above the largest amount; a NaN is
    // stored as no value at all.
    Statement hist = db.prepareOnce(
        QStringLiteral("SELECT Id_Account, Date_Real, Dt, Ct, Price FROM TB_HIST WHERE NOT (coalesce(Dt,0) BETWEEN 0 "
                       "AND %1) OR NOT (coalesce(Ct,0) BETWEEN 0 AND %1) OR NOT (coalesce(Price,0) BETWEEN 0 AND %1) "
                       "LIMIT 1")
            .arg(max));
    if (hist.step()) {
        const QVariant date = hist.column(1);
        const QDate day = date.isNull() ? QDate() : dateOfDay(int(date.toLongLong()));
        QString value;
        for (int i = 2; i <= 4 && value.isEmpty(); ++i) {
            const QVariant v = hist.column(i);
            bool ok = false;
            const double d = v.toDouble(&ok);
            if (!v.isNull() && (!ok || !(d >= 0 && d <= MaxAmount)))
                value = v.toString();
        }
        return QStringLiteral("сумма %1 в операции счёта %2 от %3 вне пределов от 0 до %4")
            .arg(value, hist.column(0).toString(),
                 day.isValid() ? day.toString(QStringLiteral("dd.MM.yyyy")) : QStringLiteral("(без даты)"),
                 formatMoney(MaxAmount));
    }
    // A balance is a sum of amounts: it may be negative, but it must fit in ten-thousandths.
    Statement acc = db.prepareOnce(
        QStringLiteral("SELECT Account, Rest FROM TB_ACCOUNT WHERE NOT (coalesce(Rest,0) BETWEEN -900000000000000 AND "
                       "900000000000000) LIMIT 1"));
    if (acc.step())
        return QStringLiteral("остаток %1 счёта «%2» вне пределов, которые программа считает точно")
            .arg(acc.column(1).toString(), acc.column(0).toString());
    if (db.hasTable(QLatin1String(OpeningBalances::TableName))) {
        Statement opening = db.prepareOnce(QStringLiteral("SELECT Id_Account, Rest FROM %1 WHERE NOT (coalesce(Rest,0) "
                                                          "BETWEEN -900000000000000 AND 900000000000000) "
                                                          "OR NOT (typeof(Closed) IN ('integer', 'null')) LIMIT 1")
                                               .arg(QLatin1String(OpeningBalances::TableName)));
        if (opening.step())
            return QStringLiteral("начальный остаток %1 счёта №%2 вне пределов, которые программа считает точно")
                .arg(opening.column(1).toString(), opening.column(0).toString());
    }
    return {};
}

} // namespace dorv
