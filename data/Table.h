#pragma once
#include "Dataset.h"
#include "FilterExpr.h"

#include <QStringList>

#include <optional>

namespace dorv {

// A table of the working folder's database, browsed in the order of an index, optionally limited
// to a range of that order and to the rows a filter accepts.
class Table : public Dataset {
    Q_OBJECT
public:
    Table(const QString& componentName, const QString& tableName, QObject* parent = nullptr);

    const QString& tableName() const { return m_table; }
    void setTableName(const QString& name);

    // Structure, for creating the table in a new database.
    void setPrimaryKey(const QStringList& fields) { m_primaryKey = fields; }
    const QStringList& primaryKey() const { return m_primaryKey; }
    void addIndex(const QString& name, const QStringList& fields) { m_declaredIndexes.append({name, fields}); }
    // The statements that create the table and its indexes from the declared data fields.
    QStringList createStatements() const;

    // Order: an index by name (empty: the primary key) or a list of fields separated by ';'.
    void setIndexName(const QString& name);
    const QString& indexName() const { return m_indexName; }
    void setIndexFieldNames(const QString& names);
    const QString& indexFieldNames() const { return m_indexFieldNames; }
    // The fields the rows are ordered by (an index carries the primary key after its own fields).
    QStringList orderFields() const;

    // Inclusive range on the order; missing trailing key parts are empty values sorting first.
    void setRange(const QVariantList& startKey, const QVariantList& endKey);
    void cancelRange();
    bool hasRange() const { return m_hasRange; }

    void setFilter(const QString& text);
    const QString& filter() const { return m_filter; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    bool locate(const QString& fieldName, const QVariant& value) override;
    // Exact match of the leading order fields; false leaves the cursor where it was.
    bool findKey(const QVariantList& key);
    // Stands on the row where another cursor of the same table stands.
    bool gotoCurrent(const Table& other);

    // The sums of float fields over the rows in view (range and filter), each value taken to the
    // ten-thousandth first, so that a sum of many rows needs no walk over them.
    QList<qint64> sumsOf(const QStringList& fieldNames);

    // Posts a pending edit; every change is already on disk once posted.
    void flush();
    // Rebuilds the database file without deleted rows' space; the table must be closed.
    void pack();
    // Whether the database of the folder holds this table.
    bool exists();

protected:
    void openStorage() override;
    void closeStorage() override;
    std::vector<qint64> loadHandles() override;
    bool fetchRecord(qint64 handle, Record& record) override;
    qint64 insertRecord(const Record& record) override;
    void updateRecord(qint64 handle, const Record& before, const Record& after) override;
    void deleteStoredRecord(qint64 handle) override;
    int placeOf(qint64 handle, const Record& record, int oldPosition) override;

private:
    struct Column {
        Field* field;
        QString name;
    };
    struct Condition {
        QString sql;
        QVariantList params;
    };
    Condition viewCondition();
    Condition rangeCondition() const;
    const SqlCondition& filterCondition();
    QString orderClause() const;
    QStringList resolveOrder() const;
    QString realColumn(const QString& name) const;
    QVariantList orderKeyOf(qint64 handle);
    QVariantList orderKeyOf(const Record& record) const;
    void reapply();
    void invalidateStatements();

    QString m_table;
    QStringList m_primaryKey;
    QList<QPair<QString, QStringList>> m_declaredIndexes;
    QString m_indexName, m_indexFieldNames;
    bool m_hasRange = false;
    QVariantList m_rangeStart, m_rangeEnd;
    QString m_filter;
    bool m_filtered = false;
    std::optional<SqlCondition> m_filterSql;

    // Known once open.
    std::vector<Column> m_columns;             // stored fields present in the file, in field order
    QHash<QString, QString> m_fileColumns;     // upper-case name -> name as the file has it
    QHash<QString, QStringList> m_fileIndexes; // upper-case index name -> its columns
    QStringList m_filePrimaryKey;
    QStringList m_order; // resolved order columns
    QString m_selectSql, m_insertSql, m_updateSql, m_deleteSql, m_keySql;
};

} // namespace dorv
