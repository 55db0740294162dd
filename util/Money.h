#pragma once
#include <QString>
#include <QtGlobal>

namespace dorv {

// Money is computed in ten-thousandths of a unit: the stored float times 10000, rounded to the
// nearest integer with halves to even, and divided back only when written or shown.
qint64 toTenThousandths(double amount);
// The largest amount the program books: its ten-thousandths are whole numbers a float still holds
// exactly (below 2^53), so no sum of them is ever off by a rounding.
constexpr double MaxAmount = 900000000000.0;
// As toTenThousandths, but false for an amount that is no finite number or lies beyond MaxAmount.
bool checkedTenThousandths(double amount, qint64* units);
// a + b, false instead of wrapping around.
bool checkedAdd(qint64 a, qint64 b, qint64* sum);
double fromTenThousandths(qint64 units);
// Rounds to a whole number with halves to even (2.5 -> 2, -0.5 -> 0, -0.6 -> -1).
double roundHalfEven(double value);
// The "0.00" format: two decimals, a decimal point, no thousands separator.
QString formatMoney(double amount);
// Accepts a point or a comma as the decimal separator; false when the text is no number.
bool parseMoney(const QString& text, double* amount);

} // namespace dorv
