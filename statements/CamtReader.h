#pragma once
#include "Statement.h"

#include <QByteArray>

namespace dorv {

// An ISO 20022 bank-to-customer statement (camt.053, versions 001.02 to 001.13): one account for each
// Stmt with its opening and closing balances, one entry for each Ntry with the entry's own amount and
// CdtDbtInd, the booking date, AcctSvcrRef (else NtryRef), the other party by the direction and the
// unstructured remittance text; pending entries (PDNG) are marked. A document without statements is a
// valid statement with no entries. Throws StatementError for what is no such document, naming the line.
BankStatement readCamt(const QByteArray& bytes, const StatementOptions& options = {});

} // namespace dorv
