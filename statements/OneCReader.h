#pragma once
#include "Statement.h"

#include <QByteArray>

namespace dorv {

// The entries of a 1CClientBankExchange file, the exchange text Russian banks give to client-bank
// programs. The code page is the one "Кодировка=" names ("Windows", "DOS"), unless the bytes are valid
// UTF-8. Each account of the file (its РасчСчет) is a StatementAccount with the opening balance of its
// first section and the closing balance of its last; each СекцияДокумент is an entry of the account
// that receives it (income) or pays it (expense), dated the day it was credited or debited, with
// bankId "<Номер> от <Дата>". A file of only the header and КонецФайла is a statement without
// entries. Throws StatementError naming the line for a file that is cut off, a document without a
// readable date or sum, or one that none of the file's accounts pays or receives.
BankStatement readOneC(const QByteArray& bytes, const StatementOptions& options);

} // namespace dorv
