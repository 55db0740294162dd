#include "Field.h"

#include "Dataset.h"
#include "DbError.h"
#include "util/DateScale.h"

namespace dorv {

Field::Field(Dataset* owner, QString name, FieldType type, int size, FieldKind kind)
    : m_owner(owner), m_name(std::move(name)), m_type(type), m_size(size), m_kind(kind)
{
}

Field& Field::setLookup(const QString& keyField, const QString& lookupTable, const QString& lookupKey,
                        const QString& resultField)
{
    m_keyField = keyField;
    m_lookupTable = lookupTable;
    m_lookupKey = lookupKey;
    m_lookupResult = resultField;
    return *this;
}

QVariant Field::value() const { return m_owner->fieldValue(*this); }

void Field::setValue(const QVariant& v) { m_owner->setFieldValue(*this, normalizeValue(m_type, v, label())); }

QString Field::asString() const
{
    const QVariant v = value();
    if (!v.isValid())
        return {};
    switch (m_type) {
    case FieldType::Date:
        return shortDateText(int(v.toLongLong()));
    case FieldType::DateTime:
        return momentOfStamp(v.toLongLong()).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    case FieldType::Float:
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

int Field::asDate() const
{
    const QVariant v = value();
    if (!v.isValid())
        return 0;
    return m_type == FieldType::DateTime ? dayOfStamp(v.toLongLong()) : int(v.toLongLong());
}

qint64 Field::asStamp() const
{
    const QVariant v = value();
    if (!v.isValid())
        return 0;
    return m_type == FieldType::Date ? v.toLongLong() * MsPerDay : v.toLongLong();
}

void Field::setAsString(const QString& text)
{
    if (text.isEmpty() && m_type != FieldType::Text) {
        clear();
        return;
    }
    switch (m_type) {
    case FieldType::Date: {
        int day = 0;
        if (!parseShortDate(text, &day))
            throw DbError(QStringLiteral("«%1» не является датой (поле «%2»)").arg(text, label()));
        setValue(day);
        return;
    }
    case FieldType::Float: {
        bool ok = false;
        QString t = text.trimmed();
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        const double d = t.toDouble(&ok);
        if (!ok)
            throw DbError(QStringLiteral("«%1» не является числом (поле «%2»)").arg(text, label()));
        setValue(d);
        return;
    }
    case FieldType::SmallInt: {
        bool ok = false;
        const qint64 n = text.trimmed().toLongLong(&ok);
        if (!ok)
            throw DbError(QStringLiteral("«%1» не является целым числом (поле «%2»)").arg(text, label()));
        setValue(n);
        return;
    }
    default:
        setValue(text);
    }
}

QString Field::formatValue(const QVariant& v) const
{
    if (!v.isValid())
        return {};
    if (m_type == FieldType::Float && m_format == QLatin1String("0.00")) {
        QString s = QString::number(v.toDouble(), 'f', 2);
        return s == QLatin1String("-0.00") ? QStringLiteral("0.00") : s;
    }
    if (m_type == FieldType::Date)
        return shortDateText(int(v.toLongLong()));
    if (m_type == FieldType::DateTime)
        return momentOfStamp(v.toLongLong()).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    if (m_type == FieldType::Float)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

} // namespace dorv
