#include "Table.h"

#include "util/Money.h"

#include "Collation.h"
#include "Database.h"
#include "DbError.h"
#include "util/Money.h"

#include <QFileInfo>

#include <algorithm>

namespace dorv {

namespace {

QString q(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QStringList splitNames(const QString& names)
{
    QStringList out;
    for (const QString& n : names.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!n.trimmed().isEmpty())
            out << n.trimmed();
    return out;
}

bool containsName(const QStringList& list, const QString& name) { return list.contains(name, Qt::CaseInsensitive); }

} // namespace

Table::Table(const QString& componentName, const QString& tableName, QObject* parent)
    : Dataset(componentName, parent), m_table(tableName)
{
}

void Table::setTableName(const QString& name)
{
    if (active())
        throw DbError(QStringLiteral("Нельзя сменить таблицу открытого набора %1").arg(this->name()));
    m_table = name;
}

QStringList Table::createStatements() const
{
    QStringList cols;
    for (const auto& f : allFields()) {
        if (!f->isData())
            continue;
        QString c = q(f->name()) + QLatin1Char(' ') + sqlTypeName(f->type(), f->size());
        if (f->required())
            c += QStringLiteral(" NOT NULL");
        if (f->defaultValue().isValid() && f->type() != FieldType::Text)
            c += QStringLiteral(" DEFAULT ") + f->defaultValue().toString();
        if (f->type() == FieldType::Text)
            c += QStringLiteral(" COLLATE ") + QLatin1String(RuCollationName);
        cols << c;
    }
    if (!m_primaryKey.isEmpty()) {
        QStringList pk;
        for (const QString& k : m_primaryKey)
            pk << q(k);
        cols << QStringLiteral("PRIMARY KEY (%1)").arg(pk.join(QLatin1Char(',')));
    }
    QStringList out;
    out << QStringLiteral("CREATE TABLE %1 (%2)").arg(q(m_table), cols.join(QStringLiteral(", ")));
    for (const auto& [name, fields] : m_declaredIndexes) {
        QStringList all = fields;
        for (const QString& k : m_primaryKey)
            if (!containsName(all, k))
                all << k;
        QStringList quotedFields;
        for (const QString& f : all)
            quotedFields << q(f);
        out << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                   .arg(q(name), q(m_table), quotedFields.join(QLatin1Char(',')));
    }
    return out;
}

// ---- order, range and filter ----

void Table::setIndexName(const QString& name)
{
    m_indexName = name;
    m_indexFieldNames.clear();
    reapply();
}

void Table::setIndexFieldNames(const QString& names)
{
    m_indexFieldNames = names;
    m_indexName.clear();
    reapply();
}

QStringList Table::orderFields() const { return active() ? m_order : resolveOrder(); }

QString Table::realColumn(const QString& name) const
{
    if (m_fileColumns.isEmpty())
        return name;
    const auto it = m_fileColumns.constFind(name.toUpper());
    if (it == m_fileColumns.constEnd())
        throw DbError(QStringLiteral("%1: поле «%2» не найдено в таблице %3").arg(this->name(), name, m_table));
    return *it;
}

QStringList Table::resolveOrder() const
{
    const QStringList pk = m_filePrimaryKey.isEmpty() ? m_primaryKey : m_filePrimaryKey;
    QStringList fields;
    if (!m_indexFieldNames.isEmpty()) {
        fields = splitNames(m_indexFieldNames);
    } else if (!m_indexName.isEmpty()) {
        if (!m_fileIndexes.isEmpty() || active()) {
            const auto it = m_fileIndexes.constFind(m_indexName.toUpper());
            if (it == m_fileIndexes.constEnd())
                throw DbError(QStringLiteral("%1: индекс «%2» не найден").arg(name(), m_indexName));
            fields = *it;
        } else {
            for (const auto& [n, f] : m_declaredIndexes)
                if (n.compare(m_indexName, Qt::CaseInsensitive) == 0)
                    fields = f;
        }
    }
    for (const QString& k : pk)
        if (!containsName(fields, k))
            fields << k;
    QStringList out;
    for (const QString& f : fields)
        out << realColumn(f);
    return out;
}

void Table::setRange(const QVariantList& startKey, const QVariantList& endKey)
{
    m_hasRange = true;
    m_rangeStart = startKey;
    m_rangeEnd = endKey;
    reapply();
}

void Table::cancelRange()
{
    if (!m_hasRange)
        return;
    m_hasRange = false;
    m_rangeStart.clear();
    m_rangeEnd.clear();
    reapply();
}

void Table::setFilter(const QString& text)
{
    if (text == m_filter)
        return;
    const QString before = m_filter;
    m_filter = text;
    m_filterSql.reset();
    if (!m_filtered)
        return;
    try {
        reapply();
    } catch (...) {
        // A filter that could not be applied is not kept: asking for it again tries again.
        m_filter = before;
        m_filterSql.reset();
        throw;
    }
}

void Table::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    // A pending row that cannot be posted leaves the filter as it was.
    if (active())
        checkBrowseMode();
    m_filtered = on;
    reapply();
}

void Table::reapply()
{
    if (!active())
        return;
    checkBrowseMode();
    m_order = resolveOrder();
    invalidateStatements();
    // A re-ranged or re-filtered cursor lands on its first row, as an index change does.
    reloadHandles(FirstRow);
}

const SqlCondition& Table::filterCondition()
{
    if (!m_filterSql) {
        m_filterSql = translateFilter(m_filter, [this](const QString& n) -> std::optional<FilterColumn> {
            for (const Column& c : m_columns)
                if (c.name.compare(n, Qt::CaseInsensitive) == 0)
                    return FilterColumn{c.name, c.field->type()};
            return std::nullopt;
        });
    }
    return *m_filterSql;
}

Table::Condition Table::rangeCondition() const
{
    Condition c;
    if (!m_hasRange)
        return c;
    const QStringList& cols = m_order;
    const int k = int(qMin<qsizetype>(m_rangeStart.size(), cols.size()));
    const int m = int(qMin<qsizetype>(m_rangeEnd.size(), cols.size()));
    auto isNull = [](const QVariant& v) { return !v.isValid() || v.isNull(); };
    QStringList parts;

    // Index-friendly bounds first: equal leading parts, then the first differing part.
    int i = 0;
    while (i < k && i < m && !isNull(m_rangeStart[i]) && !isNull(m_rangeEnd[i])
           && compareValues(m_rangeStart[i], m_rangeEnd[i]) == 0) {
        parts << q(cols[i]) + QStringLiteral("=?");
        c.params << m_rangeStart[i];
        ++i;
    }
    const bool startBound = i < k && !isNull(m_rangeStart[i]);
    if (startBound) {
        parts << q(cols[i]) + QStringLiteral(">=?");
        c.params << m_rangeStart[i];
    }
    // When a field after the end key's last part can never be empty, no row equals the end key
    // with empty parts: the end is then strict, which lets the index stop at the next key.
    bool endStrict = false;
    for (int j = m; j < cols.size(); ++j)
        for (const Column& col : m_columns)
            if (col.name == cols[j] && col.field->required())
                endStrict = true;
    if (i < m && !isNull(m_rangeEnd[i])) {
        const QString op = endStrict && i == m - 1 ? QStringLiteral("<?") : QStringLiteral("<=?");
        parts << (startBound ? q(cols[i]) + op : QStringLiteral("(%1 IS NULL OR %1%2)").arg(q(cols[i]), op));
        c.params << m_rangeEnd[i];
    }

    // The exact lexicographic bounds: key >= start, and key <= end with missing parts empty.
    std::function<QString(int)> ge = [&](int j) -> QString {
        if (j >= k)
            return QStringLiteral("1");
        const QString col = q(cols[j]);
        const QVariant& v = m_rangeStart[j];
        if (isNull(v))
            return QStringLiteral("(%1 IS NOT NULL OR (%1 IS NULL AND %2))").arg(col, ge(j + 1));
        c.params << v << v;
        const QString rest = ge(j + 1);
        return QStringLiteral("(%1>? OR (%1=? AND %2))").arg(col, rest);
    };
    std::function<QString(int)> lt = [&](int j) -> QString {
        if (j >= m)
            return QStringLiteral("0");
        const QString col = q(cols[j]);
        const QVariant& v = m_rangeEnd[j];
        if (isNull(v))
            return QStringLiteral("(%1 IS NULL AND %2)").arg(col, lt(j + 1));
        c.params << v << v;
        const QString rest = lt(j + 1);
        return QStringLiteral("((%1<? OR %1 IS NULL) OR (%1=? AND %2))").arg(col, rest);
    };
    if (k > 0)
        parts << ge(0);
    if (endStrict && m > 0) {
        parts << lt(0);
    } else if (m > 0 || m_rangeEnd.isEmpty()) {
        QString equalEnd;
        QStringList eq;
        for (int j = 0; j < cols.size(); ++j) {
            if (j < m) {
                if (isNull(m_rangeEnd[j])) {
                    eq << q(cols[j]) + QStringLiteral(" IS NULL");
                } else {
                    eq << q(cols[j]) + QStringLiteral("=?");
                }
            } else {
                eq << q(cols[j]) + QStringLiteral(" IS NULL");
            }
        }
        const QString ltSql = lt(0);
        for (int j = 0; j < m; ++j)
            if (!isNull(m_rangeEnd[j]))
                c.params << m_rangeEnd[j];
        parts << QStringLiteral("(%1 OR (%2))").arg(ltSql, eq.join(QStringLiteral(" AND ")));
    }
    c.sql = parts.join(QStringLiteral(" AND "));
    return c;
}

Table::Condition Table::viewCondition()
{
    Condition c = rangeCondition();
    if (m_filtered && !m_filter.trimmed().isEmpty()) {
        const SqlCondition& f = filterCondition();
        if (!f.sql.isEmpty()) {
            c.sql = c.sql.isEmpty() ? f.sql : c.sql + QStringLiteral(" AND (") + f.sql + QLatin1Char(')');
            c.params += f.params;
        }
    }
    return c;
}

QString Table::orderClause() const
{
    QStringList parts;
    for (const QString& c : m_order)
        parts << q(c);
    parts << QStringLiteral("rowid");
    return QStringLiteral(" ORDER BY ") + parts.join(QLatin1Char(','));
}

// ---- storage ----

void Table::openStorage()
{
    if (m_table.isEmpty())
        throw DbError(QStringLiteral("%1: не указано имя таблицы").arg(name()));
    m_fileColumns.clear();
    m_fileIndexes.clear();
    m_filePrimaryKey.clear();
    m_columns.clear();

    QList<QPair<int, QString>> pk;
    QList<QPair<QString, QString>> columns;
    {
        Statement st = m_db->prepareOnce(QStringLiteral("PRAGMA table_info(%1)").arg(q(m_table)));
        while (st.step()) {
            const QString col = st.column(1).toString();
            columns.append({col, st.column(2).toString()});
            m_fileColumns.insert(col.toUpper(), col);
            if (st.columnInt(5) > 0)
                pk.append({int(st.columnInt(5)), col});
        }
    }
    if (columns.isEmpty())
        throw DbError(QStringLiteral("Таблица %1 не найдена в базе данных").arg(m_table));
    std::sort(pk.begin(), pk.end());
    for (const auto& p : pk)
        m_filePrimaryKey << p.second;
    {
        QStringList names;
        Statement st = m_db->prepareOnce(QStringLiteral("PRAGMA index_list(%1)").arg(q(m_table)));
        while (st.step())
            names << st.column(1).toString();
        for (const QString& n : names) {
            QStringList cols;
            Statement info = m_db->prepareOnce(QStringLiteral("PRAGMA index_info(%1)").arg(q(n)));
            while (info.step())
                cols << info.column(2).toString();
            m_fileIndexes.insert(n.toUpper(), cols);
        }
    }

    bool anyData = false;
    for (const auto& f : allFields())
        anyData = anyData || f->isData();
    if (!anyData) {
        // No declared fields: take the file's columns as they are.
        for (const auto& [col, type] : columns) {
            FieldType ft = FieldType::Text;
            int size = 255;
            fieldTypeFromSql(type, &ft, &size);
            addField(col, ft, size);
        }
    }
    for (const auto& f : allFields())
        if (f->isData())
            f->setPresent(m_fileColumns.contains(f->name().toUpper()));
    rebuildFieldList();
    for (Field* f : fields())
        if (f->isData())
            m_columns.push_back({f, m_fileColumns.value(f->name().toUpper())});

    m_order = resolveOrder();
    invalidateStatements();
    QStringList cols, marks, sets;
    for (const Column& c : m_columns) {
        cols << q(c.name);
        marks << QStringLiteral("?");
        sets << q(c.name) + QStringLiteral("=?");
    }
    m_selectSql = QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?").arg(cols.join(QLatin1Char(',')), q(m_table));
    m_insertSql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(q(m_table), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    m_updateSql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(q(m_table), sets.join(QLatin1Char(',')));
    m_deleteSql = QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(q(m_table));
}

void Table::invalidateStatements()
{
    m_filterSql.reset();
    QStringList keyCols;
    for (const QString& c : m_order)
        keyCols << q(c);
    m_keySql = keyCols.isEmpty()
                   ? QString()
                   : QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?").arg(keyCols.join(QLatin1Char(',')), q(m_table));
}

void Table::closeStorage()
{
    m_columns.clear();
    for (const auto& f : allFields())
        f->setPresent(true);
    rebuildFieldList();
}

std::vector<qint64> Table::loadHandles()
{
    const Condition c = viewCondition();
    QString sql = QStringLiteral("SELECT rowid FROM %1").arg(q(m_table));
    if (!c.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + c.sql;
    sql += orderClause();
    Statement st = m_db->prepare(sql);
    st.bindAll(c.params);
    std::vector<qint64> out;
    while (st.step())
        out.push_back(st.columnInt(0));
    return out;
}

QList<qint64> Table::sumsOf(const QStringList& fieldNames)
{
    checkActive();
    const Condition c = viewCondition();
    QStringList parts;
    for (const QString& name : fieldNames)
        parts << q(realColumn(name));
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(parts.join(QLatin1Char(',')), q(m_table));
    if (!c.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + c.sql;
    Statement st = m_db->prepare(sql);
    st.bindAll(c.params);
    // Each value to the ten-thousandth as the program rounds (halves to even), then added exactly.
    QList<qint64> out(fieldNames.size(), 0);
    while (st.step()) {
        for (int i = 0; i < fieldNames.size(); ++i) {
            const QVariant v = st.column(i);
            if (v.isValid() && checkedAdd(out[i], toTenThousandths(v.toDouble()), &out[i]))
                continue;
            if (v.isValid())
                throw DbError(
                    QStringLiteral("%1: сумма поля «%2» вышла бы за пределы чисел").arg(name(), fieldNames[i]));
        }
    }
    return out;
}

bool Table::fetchRecord(qint64 handle, Record& record)
{
    Statement st = m_db->prepare(m_selectSql);
    st.bind(1, handle);
    if (!st.step())
        return false;
    for (int i = 0; i < int(m_columns.size()); ++i) {
        const Field* f = m_columns[size_t(i)].field;
        QVariant v = st.column(i);
        if (v.isValid()) {
            try {
                v = normalizeValue(f->type(), v, f->label());
            } catch (const DbError&) {
                // A value of a foreign type shows as it is stored rather than breaking the view.
            }
        }
        record[f->index()] = v;
    }
    return true;
}

qint64 Table::insertRecord(const Record& record)
{
    Statement st = m_db->prepare(m_insertSql);
    for (int i = 0; i < int(m_columns.size()); ++i)
        st.bind(i + 1, record.value(m_columns[size_t(i)].field->index()));
    st.step();
    return m_db->lastInsertRowId();
}

void Table::updateRecord(qint64 handle, const Record&, const Record& after)
{
    Statement st = m_db->prepare(m_updateSql);
    int i = 0;
    for (; i < int(m_columns.size()); ++i)
        st.bind(i + 1, after.value(m_columns[size_t(i)].field->index()));
    st.bind(i + 1, handle);
    st.step();
    if (m_db->changes() == 0)
        throw DbError(QStringLiteral("Запись таблицы %1 была удалена другим пользователем").arg(m_table));
}

void Table::deleteStoredRecord(qint64 handle)
{
    Statement st = m_db->prepare(m_deleteSql);
    st.bind(1, handle);
    st.step();
}

QVariantList Table::orderKeyOf(qint64 handle)
{
    QVariantList key;
    Statement st = m_db->prepare(m_keySql);
    st.bind(1, handle);
    if (st.step())
        for (int i = 0; i < m_order.size(); ++i)
            key << st.column(i);
    return key;
}

QVariantList Table::orderKeyOf(const Record& record) const
{
    QVariantList key;
    for (const QString& c : m_order) {
        QVariant v;
        for (const Column& col : m_columns)
            if (col.name == c)
                v = record.value(col.field->index());
        key << v;
    }
    return key;
}

int Table::placeOf(qint64 handle, const Record& record, int)
{
    const Condition c = viewCondition();
    if (!c.sql.isEmpty()) {
        Statement st = m_db->prepare(QStringLiteral("SELECT 1 FROM %1 WHERE rowid=? AND %2").arg(q(m_table), c.sql));
        st.bind(1, handle);
        st.bindAll(c.params, 2);
        if (!st.step())
            return -1;
    }
    if (m_keySql.isEmpty())
        return recordCount();
    // Binary search over the handles by the order key, ties broken by rowid as the view orders them.
    const QVariantList key = orderKeyOf(record);
    auto less = [&](qint64 other) {
        const QVariantList k = orderKeyOf(other);
        for (int i = 0; i < key.size(); ++i) {
            const int r = compareValues(k.value(i), key.at(i));
            if (r != 0)
                return r < 0;
        }
        return other < handle;
    };
    int lo = 0, hi = recordCount();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (less(m_handles[size_t(mid)]))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// ---- searching ----

bool Table::locate(const QString& fieldName, const QVariant& value)
{
    if (!active())
        return Dataset::locate(fieldName, value);
    checkBrowseMode();
    const Field& f = fieldByName(fieldName);
    if (!f.isData())
        return Dataset::locate(fieldName, value);
    const QVariant wanted = normalizeValue(f.type(), value, f.label());
    Condition c = viewCondition();
    QString where = wanted.isValid() ? q(realColumn(f.name())) + QStringLiteral("=?")
                                     : q(realColumn(f.name())) + QStringLiteral(" IS NULL");
    if (!c.sql.isEmpty())
        where = c.sql + QStringLiteral(" AND ") + where;
    Statement st =
        m_db->prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2%3 LIMIT 1").arg(q(m_table), where, orderClause()));
    st.bindAll(c.params);
    if (wanted.isValid())
        st.bind(int(c.params.size()) + 1, wanted);
    if (!st.step())
        return false;
    return gotoBookmark(st.columnInt(0));
}

bool Table::findKey(const QVariantList& key)
{
    checkActive();
    checkBrowseMode();
    if (key.size() > m_order.size())
        throw DbError(QStringLiteral("%1: ключ длиннее индекса").arg(name()));
    Condition c = viewCondition();
    QStringList parts;
    if (!c.sql.isEmpty())
        parts << c.sql;
    QVariantList params = c.params;
    for (int i = 0; i < key.size(); ++i) {
        if (!key[i].isValid() || key[i].isNull()) {
            parts << q(m_order[i]) + QStringLiteral(" IS NULL");
        } else {
            parts << q(m_order[i]) + QStringLiteral("=?");
            params << key[i];
        }
    }
    QString sql = QStringLiteral("SELECT rowid FROM %1").arg(q(m_table));
    if (!parts.isEmpty())
        sql += QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
    Statement st = m_db->prepare(sql + orderClause() + QStringLiteral(" LIMIT 1"));
    st.bindAll(params);
    if (!st.step())
        return false;
    return gotoBookmark(st.columnInt(0));
}

bool Table::gotoCurrent(const Table& other)
{
    if (other.tableName().compare(m_table, Qt::CaseInsensitive) != 0 || other.databaseName() != databaseName())
        throw DbError(QStringLiteral("%1 и %2 открыты на разных таблицах").arg(name(), other.name()));
    return gotoBookmark(other.bookmark());
}

void Table::flush() { checkBrowseMode(); }

void Table::pack()
{
    if (active())
        throw DbError(QStringLiteral("Таблица %1 должна быть закрыта для упаковки").arg(m_table));
    if (Database::isOpen(databaseName())) {
        Database::acquire(databaseName())->pack();
        return;
    }
    const QString path = databaseName() + QLatin1Char('/') + QLatin1String(Database::FileName);
    if (!QFileInfo::exists(path))
        return;
    Database::openFile(path, true)->pack();
}

bool Table::exists() { return Database::acquire(databaseName())->hasTable(m_table); }

} // namespace dorv
