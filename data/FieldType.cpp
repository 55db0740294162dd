#include "FieldType.h"

#include "Collation.h"
#include "DbError.h"

#include <QRegularExpression>

#include <cmath>

namespace dorv {

QString sqlTypeName(FieldType type, int size)
{
    switch (type) {
    case FieldType::SmallInt:
        return QStringLiteral("SMALLINT");
    case FieldType::Text:
        return QStringLiteral("VARCHAR(%1)").arg(size);
    case FieldType::Date:
        return QStringLiteral("DATE");
    case FieldType::DateTime:
        return QStringLiteral("TIMESTAMP");
    case FieldType::Float:
        return QStringLiteral("FLOAT");
    }
    return {};
}

bool fieldTypeFromSql(const QString& declared, FieldType* type, int* size)
{
    static const QRegularExpression text(QStringLiteral("^(VAR)?CHAR\\((\\d+)\\)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString d = declared.trimmed().toUpper();
    *size = 0;
    if (const auto m = text.match(d); m.hasMatch()) {
        *type = FieldType::Text;
        *size = m.captured(2).toInt();
    } else if (d == QLatin1String("SMALLINT") || d == QLatin1String("INTEGER") || d == QLatin1String("INT")) {
        *type = FieldType::SmallInt;
    } else if (d == QLatin1String("DATE")) {
        *type = FieldType::Date;
    } else if (d == QLatin1String("TIMESTAMP") || d == QLatin1String("DATETIME")) {
        *type = FieldType::DateTime;
    } else if (d == QLatin1String("FLOAT") || d == QLatin1String("REAL") || d == QLatin1String("DOUBLE")) {
        *type = FieldType::Float;
    } else if (d.startsWith(QLatin1String("TEXT"))) {
        *type = FieldType::Text;
        *size = 255;
    } else {
        return false;
    }
    return true;
}

QVariant normalizeValue(FieldType type, const QVariant& value, const QString& fieldLabel)
{
    if (!value.isValid() || value.isNull())
        return {};
    auto refuse = [&] {
        throw DbError(QStringLiteral("Недопустимое значение «%1» для поля «%2»").arg(value.toString(), fieldLabel));
    };
    switch (type) {
    case FieldType::Text: {
        // A blank text is no value, as in the tables of old: a required name cannot be blanked.
        const QString text = value.toString();
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case FieldType::Float: {
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            refuse();
        return d;
    }
    case FieldType::SmallInt:
    case FieldType::Date:
    case FieldType::DateTime: {
        if (value.typeId() == QMetaType::Double) {
            const double d = value.toDouble();
            if (!std::isfinite(d) || d != std::floor(d))
                refuse();
            return qint64(d);
        }
        bool ok = false;
        const qint64 v = value.toLongLong(&ok);
        if (!ok)
            refuse();
        if (type == FieldType::SmallInt && (v < -32768 || v > 32767))
            throw DbError(QStringLiteral("Значение %1 вне допустимых пределов поля «%2» (от -32768 до 32767)")
                              .arg(v)
                              .arg(fieldLabel));
        return v;
    }
    }
    return {};
}

int compareValues(const QVariant& a, const QVariant& b)
{
    const bool an = !a.isValid() || a.isNull(), bn = !b.isValid() || b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    const bool at = a.typeId() == QMetaType::QString, bt = b.typeId() == QMetaType::QString;
    if (at != bt)
        return at ? 1 : -1; // numbers before text, as the database orders them
    if (at)
        return ruCompare(a.toString(), b.toString());
    if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong) {
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const double x = a.toDouble(), y = b.toDouble();
    return x < y ? -1 : x > y ? 1 : 0;
}

} // namespace dorv
