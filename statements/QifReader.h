#pragma once
#include "Statement.h"

#include <QByteArray>

namespace dorv {

// A QIF file as other programs export a household's history: the money sections (!Type:Bank, CCard,
// Cash, Oth A, Oth L), one account for each !Account block (named by its N line) or one unnamed account
// when the file names none. A split becomes one entry per part with its own category and amount; a
// category "[Name]" is a transfer to the account of that name. Investment sections and accounts are
// skipped with a note; category, class and other lists are not entries. Dates in the forms programs
// write (1/ 1'00, 2/10'2020, 15/8/13, 2020-03-25): the order of day and month is settled by all the
// file's dates together, else options.dateOrder, else the entries are read month first and
// BankStatement::dateOrders lists the orders to ask about. Throws StatementError naming the line.
BankStatement readQif(const QByteArray& bytes, const StatementOptions& options = {});

} // namespace dorv
