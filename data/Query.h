#pragma once
#include "Dataset.h"

#include <QMap>
#include <QStringList>

namespace dorv {

class DataSource;

// A named parameter of a query; its value outlives changes of the query's text.
struct QueryParam {
    QString name;
    FieldType type = FieldType::SmallInt;
    QVariant value;

    void setAsInteger(qint64 v)
    {
        type = FieldType::SmallInt;
        value = v;
    }
    void setAsDate(int day)
    {
        type = FieldType::Date;
        value = qint64(day);
    }
    void setAsDateTime(qint64 stamp)
    {
        type = FieldType::DateTime;
        value = stamp;
    }
    void setAsFloat(double v)
    {
        type = FieldType::Float;
        value = v;
    }
    void setAsString(const QString& v)
    {
        type = FieldType::Text;
        value = v;
    }
    void clear() { value = QVariant(); }
    bool isNull() const { return !value.isValid(); }
};

// SQL text held as lines that users rewrite one at a time; open for rows or execute.
class Query : public Dataset {
    Q_OBJECT
public:
    explicit Query(const QString& name, QObject* parent = nullptr);

    QStringList sqlLines() const { return m_lines; }
    QString sqlText() const { return m_lines.join(QLatin1Char('\n')); }
    void setSql(const QStringList& lines);
    void setSqlText(const QString& text) { setSql(text.split(QLatin1Char('\n'))); }
    // Replaces line i, adding empty lines when the text is shorter.
    void setLine(int i, const QString& line);
    void addLine(const QString& line);
    void clearSql() { setSql({}); }

    // Parameters named in the current text, in order of first appearance.
    QStringList paramNames() const { return m_paramOrder; }
    QueryParam& paramByName(const QString& name);

    // Runs a statement that returns no rows; returns the number of rows it changed.
    int execSQL();

    // A live result of a one-table select can be edited and posted back to that table.
    void setRequestLive(bool live) { m_requestLive = live; }
    bool requestLive() const { return m_requestLive; }
    bool canModify() const { return active() && !m_liveTable.isEmpty(); }

    // Parameters named like a field of the master's dataset take that field's value, and the open
    // query runs again whenever the master's current row changes.
    void setMasterSource(DataSource* master);

signals:
    // Running again for the master's new row failed; the query is closed.
    void masterFailed(const QString& message);

protected:
    void openStorage() override;
    void closeStorage() override;
    std::vector<qint64> loadHandles() override;
    bool fetchRecord(qint64 handle, Record& record) override;
    qint64 insertRecord(const Record& record) override;
    void updateRecord(qint64 handle, const Record& before, const Record& after) override;
    void deleteStoredRecord(qint64 handle) override;

private:
    void parseParams();
    void readRows(class Statement& st);
    int columnOfField(int fieldIndex) const;
    void bindParams(class Statement& st);
    void takeMasterValues();
    void closeQuietly();
    QString liveTableOf(const QString& text) const;

    QStringList m_lines;
    QMap<QString, QueryParam> m_params; // by upper-case name
    QStringList m_paramOrder;
    bool m_requestLive = false;
    DataSource* m_master = nullptr;

    // The open result.
    std::vector<std::vector<QVariant>> m_rows;
    std::vector<int> m_fieldColumn; // field index -> result column, -1 when none
    QStringList m_columnOrigins;    // result column -> column of the live table
    QString m_liveTable;
    QString m_runText; // the text as it runs, with the row identifier of a live result
    int m_rowidColumn = -1;
    bool m_madeFields = false;
};

// Translates the texts the program writes into what SQLite runs with the same meaning: a quoted
// decimal number ('12', '-5', '100.5') becomes a plain number, so that it compares with sums and
// number columns by value, as a text column compares it with its text.
QString adaptSql(const QString& text);

} // namespace dorv
