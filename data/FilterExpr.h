#pragma once
#include "data/FieldType.h"

#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

namespace dorv {

struct FilterColumn {
    QString column; // the real column name
    FieldType type;
};

struct SqlCondition {
    QString sql;
    QVariantList params; // bound positionally to the '?' marks of sql, in order
};

// Looks a field name up without regard to case; nullopt when the table has no such field.
using FilterResolver = std::function<std::optional<FilterColumn>(const QString& name)>;

// Turns a table filter text (comparisons of fields with literals joined by and/or/not and
// parentheses) into a condition for SQLite. Values are converted to the field's type and bound as
// parameters, never spliced into the SQL. A null never equals nor orders against a value, so
// "<>" matches null rows and "not" treats an unknown comparison as false before negating it.
// Blank text gives an empty sql. Throws DbError with a message for the user when the text does
// not parse, names an unknown field, or a value does not fit its field.
SqlCondition translateFilter(const QString& text, const FilterResolver& resolve);

} // namespace dorv
