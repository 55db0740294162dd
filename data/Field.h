#pragma once
#include "FieldType.h"

#include <QString>
#include <QVariant>

namespace dorv {

class Dataset;

enum class FieldKind { Data, Lookup, Calculated };

// One column of a dataset as the windows see it: stored, looked up from another table, or
// calculated per row. Values live in the dataset's record buffers; a field only knows where.
class Field final {
public:
    Field(Dataset* owner, QString name, FieldType type, int size, FieldKind kind);

    Dataset* dataset() const { return m_owner; }
    const QString& name() const { return m_name; }
    FieldType type() const { return m_type; }
    int size() const { return m_size; }
    FieldKind kind() const { return m_kind; }
    bool isData() const { return m_kind == FieldKind::Data; }
    int index() const { return m_index; }

    // Presentation and rules.
    QString label() const { return m_label.isEmpty() ? m_name : m_label; }
    Field& setLabel(const QString& label)
    {
        m_label = label;
        return *this;
    }
    int displayWidth() const { return m_width; }
    Field& setDisplayWidth(int width)
    {
        m_width = width;
        return *this;
    }
    const QString& displayFormat() const { return m_format; }
    Field& setDisplayFormat(const QString& format)
    {
        m_format = format;
        return *this;
    }
    bool visible() const { return m_visible; }
    Field& setVisible(bool visible)
    {
        m_visible = visible;
        return *this;
    }
    bool required() const { return m_required; }
    Field& setRequired(bool required)
    {
        m_required = required;
        return *this;
    }
    bool readOnly() const { return m_readOnly || m_kind == FieldKind::Lookup; }
    Field& setReadOnly(bool readOnly)
    {
        m_readOnly = readOnly;
        return *this;
    }
    const QVariant& defaultValue() const { return m_default; }
    Field& setDefaultValue(const QVariant& value)
    {
        m_default = value;
        return *this;
    }

    // Lookup: the value of resultField in lookupTable's row whose lookupKey equals keyField's value.
    Field& setLookup(const QString& keyField, const QString& lookupTable, const QString& lookupKey,
                     const QString& resultField);
    const QString& keyFieldName() const { return m_keyField; }
    const QString& lookupTable() const { return m_lookupTable; }
    const QString& lookupKey() const { return m_lookupKey; }
    const QString& lookupResult() const { return m_lookupResult; }

    // Values of the current record (or of the record being edited, or being calculated).
    QVariant value() const;
    void setValue(const QVariant& value);
    bool isNull() const { return !value().isValid(); }
    void clear() { setValue(QVariant()); }
    qint64 asInteger() const { return value().toLongLong(); }
    double asFloat() const { return value().toDouble(); }
    QString asString() const;
    // Day number of a date field, or of the day a moment falls on.
    int asDate() const;
    // Milliseconds on the day scale of a date-time field (a date gives its midnight).
    qint64 asStamp() const;
    void setAsInteger(qint64 v) { setValue(v); }
    void setAsFloat(double v) { setValue(v); }
    void setAsString(const QString& v);
    // Text as a grid shows it: floats by the display format, dates as dd.MM.yyyy.
    QString displayText() const { return formatValue(value()); }
    QString formatValue(const QVariant& v) const;

    // Set by the dataset.
    void setIndex(int index) { m_index = index; }
    bool present() const { return m_present; }
    void setPresent(bool present) { m_present = present; }

private:
    Dataset* m_owner;
    QString m_name;
    FieldType m_type;
    int m_size;
    FieldKind m_kind;
    int m_index = -1;
    bool m_present = true;
    QString m_label;
    int m_width = 0;
    QString m_format;
    bool m_visible = true;
    bool m_required = false;
    bool m_readOnly = false;
    QVariant m_default;
    QString m_keyField, m_lookupTable, m_lookupKey, m_lookupResult;
};

} // namespace dorv
