#pragma once
#include "Statement.h"

#include <QByteArray>

namespace dorv {

// An OFX or QFX file (SGML 1.x with unclosed tags, or XML 2.x): each bank or credit-card statement in
// it becomes one account with its entries; investment statements are skipped with a note. The file
// is parsed by libofx; the values of each entry are then taken from the file's own text, where libofx
// would hand them shifted (dates through the local time zone), rounded (amounts as floating point),
// cut short or decoded by a code page the file only claims. Throws StatementError for a broken file
// or an entry without a valid date or amount, naming the line.
BankStatement readOfx(const QByteArray& bytes, const StatementOptions& options = {});

} // namespace dorv
