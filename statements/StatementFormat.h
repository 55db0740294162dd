#pragma once
#include <QByteArray>
#include <QString>

namespace dorv {

enum class StatementFormat { Unknown, Csv, OneC, Ofx, Qif, Camt };

// The format a file's bytes are in, found from the content and not from the name: the 1C exchange
// header, an OFX header or root, a QIF "!Type:" line, a camt.053 document; otherwise text with
// separators is taken for CSV. Unknown for what is no text at all.
StatementFormat detectStatementFormat(const QByteArray& bytes);

// The format's name as the window shows it.
QString statementFormatName(StatementFormat format);

} // namespace dorv
