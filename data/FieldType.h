#pragma once
#include <QString>
#include <QVariant>

namespace dorv {

enum class FieldType { SmallInt, Text, Date, DateTime, Float };

// Column type names as the database file declares them; they round-trip to FieldType so that a
// table opened without declared fields still knows what its columns hold.
QString sqlTypeName(FieldType type, int size);
bool fieldTypeFromSql(const QString& declared, FieldType* type, int* size);

// Brings a value read from storage or given by a caller into the field type's own representation:
// qint64 for small integers, dates (day numbers) and moments (milliseconds), double for floats,
// QString for text, an invalid QVariant for null. Throws DbError when the value does not convert.
QVariant normalizeValue(FieldType type, const QVariant& value, const QString& fieldLabel);

// Ordering of two stored values as the indexes order them: null first, numbers by value, text in
// Russian alphabetical order.
int compareValues(const QVariant& a, const QVariant& b);

} // namespace dorv
