#include "StatementReader.h"

#include "CamtReader.h"
#include "CsvReader.h"
#include "OfxReader.h"
#include "OneCReader.h"
#include "QifReader.h"
#include "util/Money.h"

namespace dorv {

BankStatement readStatementSource(const StatementSource& source, const StatementOptions& options)
{
    switch (source.format) {
    case StatementFormat::Csv:
        return readCsv(source.bytes, source.profile, options);
    case StatementFormat::OneC:
        return readOneC(source.bytes, options);
    case StatementFormat::Ofx:
        return readOfx(source.bytes, options);
    case StatementFormat::Qif:
        return readQif(source.bytes, options);
    case StatementFormat::Camt:
        return readCamt(source.bytes, options);
    case StatementFormat::Unknown:
        break;
    }
    throw StatementError(QStringLiteral("Это не выписка банка в одном из известных программе видов (CSV, 1С, OFX, "
                                        "QIF, CAMT.053)."));
}

QString describeStatementFault(const QString& path, const StatementError& error)
{
    const QString message = error.message();
    // The readers name the line in their messages; where one did not, it is named here.
    if (error.line() > 0 && !message.contains(QStringLiteral("трок")))
        return QStringLiteral("Файл %1, строка %2:\n%3").arg(path).arg(error.line()).arg(message);
    return QStringLiteral("Файл %1:\n%2").arg(path, message);
}

QString balanceMismatchOf(const StatementAccount& account)
{
    if (!account.hasOpening || !account.hasClosing)
        return {};
    qint64 sum = 0;
    for (const StatementEntry& e : account.entries) {
        if (e.pending)
            continue;
        if (!checkedAdd(sum, e.income ? e.amount : -e.amount, &sum))
            return QStringLiteral("Суммы выписки слишком велики для проверки остатков.");
    }
    qint64 expected = 0;
    if (!checkedAdd(account.opening, sum, &expected) || expected == account.closing)
        return {};
    return QStringLiteral("Остатки выписки не сходятся с её операциями: начальный %1, операции %2, конечный %3 "
                          "(по операциям выходит %4).")
        .arg(formatMoney(fromTenThousandths(account.opening)), formatMoney(fromTenThousandths(sum)),
             formatMoney(fromTenThousandths(account.closing)), formatMoney(fromTenThousandths(expected)));
}

} // namespace dorv
