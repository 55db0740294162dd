#pragma once
#include "CsvProfile.h"
#include "Statement.h"
#include "StatementFormat.h"

#include <QByteArray>
#include <QString>

namespace dorv {

// A statement file as the import holds it while the user looks at it: its bytes, its format and,
// for CSV, the profile it is read with.
struct StatementSource {
    QString path;
    QByteArray bytes;
    StatementFormat format = StatementFormat::Unknown;
    CsvProfile profile;
};

// Reads the source with the reader of its format. Raises StatementError for a file that is no
// statement the program reads, naming the line where it can.
BankStatement readStatementSource(const StatementSource& source, const StatementOptions& options);

// What the user is told of a file that is no statement: the file, the line, the fault.
QString describeStatementFault(const QString& path, const StatementError& error);

// Whether an account's stated balances agree with its entries; otherwise what disagrees, in the
// user's words.
QString balanceMismatchOf(const StatementAccount& account);

} // namespace dorv
