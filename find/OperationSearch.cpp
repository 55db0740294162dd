#include "OperationSearch.h"

#include "data/Database.h"
#include "data/OwnTables.h"
#include "util/Money.h"

#include <QHash>
#include <QStringList>

#include <sqlite3.h>

namespace dorv {

namespace {

// Whether the first argument holds the second, letters compared without case in every alphabet
// (SQLite's own LIKE folds only Latin letters).
void containsFolded(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_int(context, 0);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const auto* needle = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const QString haystack = QString::fromUtf8(text, sqlite3_value_bytes(argv[0]));
    sqlite3_result_int(context,
                       haystack.contains(QString::fromUtf8(needle, sqlite3_value_bytes(argv[1])), Qt::CaseInsensitive));
}

// Identifier to name of a small table, with the identifiers whose name holds the text.
struct Names {
    QHash<qint64, QString> byId;
    QStringList matching;
};

Names readNames(Database& db, const QString& sql, const QString& text)
{
    Names out;
    Statement st = db.prepareOnce(sql);
    while (st.step()) {
        const qint64 id = st.columnInt(0);
        const QString name = st.column(1).toString();
        out.byId.insert(id, name);
        if (!text.isEmpty() && name.contains(text, Qt::CaseInsensitive))
            out.matching << QString::number(id);
    }
    return out;
}

QString inList(const QString& column, const QStringList& ids)
{
    return QStringLiteral("%1 IN (%2)").arg(column, ids.join(QLatin1Char(',')));
}

} // namespace

FindResult OperationSearch::run(const FindCriteria& c, int limit)
{
    FindResult result;
    const QString text = c.text.trimmed();
    const Names items = readNames(m_db, QStringLiteral("SELECT ID_ITM, ITM FROM TB_ITEMS"), text);
    const Names people = readNames(m_db, QStringLiteral("SELECT Id_Person, Name FROM TB_PERSON"), text);
    const Names firms = readNames(m_db, QStringLiteral("SELECT Id_Firm, Firm FROM TB_FIRM"), text);
    const Names accounts = readNames(m_db, QStringLiteral("SELECT Id_Account, Account FROM TB_ACCOUNT"), text);

    QStringList where;
    QVariantList values;
    if (!c.real && !c.planned)
        return result;
    if (!c.real || !c.planned)
        where << (c.real ? QStringLiteral("h.Kind = '1'") : QStringLiteral("h.Kind > '1'"));
    if (c.account) {
        where << QStringLiteral("h.Id_Account = ?");
        values << *c.account;
    }
    if (c.dateFrom) {
        where << QStringLiteral("h.Date_Real >= ?");
        values << *c.dateFrom;
    }
    if (c.dateTo) {
        where << QStringLiteral("h.Date_Real <= ?");
        values << *c.dateTo;
    }
    // Exactly one of income and expense is above zero: the larger is the row's amount.
    const QString amount = QStringLiteral("max(coalesce(h.Dt, 0), coalesce(h.Ct, 0))");
    if (c.amountFrom) {
        where << amount + QStringLiteral(" >= ?");
        values << fromTenThousandths(*c.amountFrom) - 0.00005;
    }
    if (c.amountTo) {
        where << amount + QStringLiteral(" <= ?");
        values << fromTenThousandths(*c.amountTo) + 0.00005;
    }
    if (!text.isEmpty()) {
        QStringList any;
        if (!items.matching.isEmpty())
            for (const char* level : {"h.Level1", "h.Level2", "h.Level3"})
                any << inList(QString::fromLatin1(level), items.matching);
        if (!people.matching.isEmpty())
            any << inList(QStringLiteral("h.ID_Person"), people.matching);
        if (!firms.matching.isEmpty())
            any << inList(QStringLiteral("h.ID_Firm"), firms.matching);
        if (!accounts.matching.isEmpty())
            any << inList(QStringLiteral("h.Ref_Account"), accounts.matching);
        if (m_db.hasTable(QLatin1String(OwnTables::BankText))) {
            sqlite3_create_function(m_db.handle(), "dorv_contains", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                    &containsFolded, nullptr, nullptr);
            // Read once into a keyed set by the engine, then looked up by each history row.
            any << QStringLiteral("(h.Id_Account, h.Date_Create) IN (SELECT Id_Account, Date_Create FROM "
                                  "TB_IMPORT_TEXT WHERE dorv_contains(Bank_Text, ?))");
            values << text;
        }
        if (any.isEmpty())
            return result;
        where << QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    const QString condition =
        where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));

    {
        // Summed in ten-thousandths by the engine: exact, and an overflow is an error, not a wrap.
        Statement st = m_db.prepareOnce(QStringLiteral("SELECT count(*), sum(CAST(round(h.Dt * 10000) AS INTEGER)), "
                                                       "sum(CAST(round(h.Ct * 10000) AS INTEGER)) FROM TB_HIST h")
                                        + condition);
        st.bindAll(values);
        if (st.step()) {
            result.count = st.columnInt(0);
            result.income = st.columnInt(1);
            result.expense = st.columnInt(2);
        }
    }
    if (result.count == 0 || limit <= 0)
        return result;
    // The latest rows are chosen by their dates alone, then read whole: the sort carries three
    // numbers a row instead of every column.
    QList<qint64> chosen;
    {
        Statement keys =
            m_db.prepareOnce(QStringLiteral("SELECT h.rowid FROM TB_HIST h") + condition
                             + QStringLiteral(" ORDER BY h.Date_Real DESC, h.Date_Create DESC LIMIT %1").arg(limit));
        keys.bindAll(values);
        while (keys.step())
            chosen << keys.columnInt(0);
    }
    Statement st = m_db.prepare(QStringLiteral("SELECT h.Id_Account, h.Date_Real, h.Date_Create, h.Kind, h.Dt, h.Ct, "
                                               "h.Level1, h.Level2, h.Level3, h.ID_Person, h.ID_Firm FROM TB_HIST h "
                                               "WHERE h.rowid = ?"));
    auto name = [&st](const Names& names, int column) {
        const QVariant id = st.column(column);
        return id.isNull() ? QString() : names.byId.value(id.toLongLong());
    };
    for (const qint64 rowid : std::as_const(chosen)) {
        st.reset();
        st.bind(1, rowid);
        if (!st.step())
            continue;
        FoundOperation row;
        row.account = st.columnInt(0);
        row.date = int(st.columnInt(1));
        row.created = st.columnInt(2);
        row.kind = st.column(3).toString();
        row.income = st.column(4).isNull() ? 0 : toTenThousandths(st.column(4).toDouble());
        row.expense = st.column(5).isNull() ? 0 : toTenThousandths(st.column(5).toDouble());
        row.accountName = accounts.byId.value(row.account);
        // A transfer's path is no category: its first level is -1.
        row.category = name(items, 6);
        row.group = name(items, 7);
        row.article = name(items, 8);
        row.person = name(people, 9);
        row.place = name(firms, 10);
        result.rows << row;
    }
    return result;
}

} // namespace dorv
