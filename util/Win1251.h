#pragma once
#include <QString>

namespace dorv {

// Text fields hold only what the Windows-1251 code page can hold, so that every stored name stays
// representable in the data files other tools read. Returns the index of the first character that
// the code page lacks, or -1 when the whole text fits.
qsizetype firstNonWin1251(const QString& text);

} // namespace dorv
