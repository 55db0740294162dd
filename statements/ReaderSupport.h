#pragma once
#include <QByteArray>
#include <QString>
#include <QStringView>

namespace dorv {

// What the statement readers share: the text of the file's bytes and the amounts as the banks write them.

// How a file writes an amount's separators.
enum class AmountStyle {
    Point,        // a decimal point only, no grouping (XML decimals)
    PointOrComma, // a decimal point or a decimal comma, no grouping (OFX)
    Grouped,      // thousands separators too: "1,234.56", "1 234,56", "1.234,56" (QIF, CSV)
};

// A signed amount in ten-thousandths from text such as "-130,00", "2700", "+5", "-,01", "1,234.56".
// Digits beyond the fourth decimal are rounded half to even. False for what is no plain amount
// ("$120", "12a", "", "1.2.3" where no grouping is allowed) or lies beyond the largest amount booked.
bool parseStatementAmount(QStringView text, AmountStyle style, qint64* units);

// A bank's identifier that identifies nothing: "NONREF", "NOTPROVIDED", all zeros.
bool isPlaceholderId(const QString& id);

} // namespace dorv
