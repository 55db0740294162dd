#pragma once
#include "CsvProfile.h"
#include "Statement.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace dorv {

// What sniffCsv found in a CSV file: the profile to read it with, the header as the file writes it
// (empty when it has none), a few rows after it for the mapping window, and what it could not settle
// for sure in the user's words ("столбец даты", "столбец суммы", ...), empty when the profile is
// complete.
struct CsvSniff {
    CsvProfile profile;
    QStringList header;
    QList<QStringList> samples;
    QStringList unsettled;
};

// Finds the encoding, separator, preamble, header, the role of each column (from the header's words in
// Russian, English, German, Dutch and French, and from the values), the date format and the decimal
// separator. Never throws: what it cannot find is listed in `unsettled`.
CsvSniff sniffCsv(const QByteArray& bytes);

// The entries of a CSV statement read with a profile. One account per distinct value of the profile's
// account column (one account without a number when there is none). Rows without a date or with a
// word like "Итого"/"Остаток"/"Saldo" instead are summaries, not entries; a zero amount is an entry
// noted "нулевая сумма", a pending row one with pending set and noted "в обработке". When the dates
// leave day and month open (01/04/20 and no day above 12), BankStatement::dateOrders lists the orders and
// the entries are read with the first, or with options.dateOrder when set. Throws StatementError
// naming the line for an amount or a date it cannot read, or a file that ends inside a quote.
BankStatement readCsv(const QByteArray& bytes, const CsvProfile& profile, const StatementOptions& options);

} // namespace dorv
