#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace dorv {

// A table as it leaves the program: the titles, what each column holds and the rows. Amounts are
// doubles, dates day numbers on the program's scale, the rest text; a null value is an empty cell.
struct PlainTable {
    enum class Kind { Text, Amount, Date };
    QStringList titles;
    QList<Kind> kinds;
    QList<QVariantList> rows;
};

// Writes a plain table to a spreadsheet file, chosen by the file's extension: ".xlsx" a workbook of
// one sheet, anything else CSV as Russian spreadsheets open it (UTF-8 with a byte-order mark, ";",
// a decimal comma, dd.mm.yyyy). The file is written whole or not at all: under a temporary name
// beside it, renamed over it at the end. Returns empty text, or why it failed.
QString writeTable(const PlainTable& table, const QString& path);

// The CSV text itself.
QByteArray csvOf(const PlainTable& table);

} // namespace dorv
