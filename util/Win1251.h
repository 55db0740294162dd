#pragma once
#include <QByteArray>
#include <QString>

namespace dorv {

// Text fields hold only what the Windows-1251 code page can hold, so that every stored name stays
// representable in the data files other tools read. Returns the index of the first character that
// the code page lacks, or -1 when the whole text fits.
qsizetype firstNonWin1251(const QString& text);

// The text in Windows-1251 bytes, the code page every text of the data files is written in. A
// character the code page lacks (or a NUL, which no text may carry) becomes '?' and sets *ok false.
QByteArray toWin1251(const QString& text, bool* ok = nullptr);

} // namespace dorv
