#include "CsvReader.h"

#include "CsvRecords.h"
#include "StatementValues.h"
#include "TextDecoding.h"

#include <QHash>

#include <algorithm>

namespace dorv {

namespace {

QString field(const CsvRecord& record, int column)
{
    return column >= 0 && column < record.fields.size() ? record.fields[column].trimmed() : QString();
}

bool hasColumn(const CsvRecord& record, int column) { return column >= 0 && column < record.fields.size(); }

const QStringList& summaryWords()
{
    static const QStringList words{QStringLiteral("итого"),     QStringLiteral("итог"),    QStringLiteral("всего"),
                                   QStringLiteral("остаток"),   QStringLiteral("сальдо"),  QStringLiteral("оборот"),
                                   QStringLiteral("saldo"),     QStringLiteral("total"),   QStringLiteral("totaal"),
                                   QStringLiteral("summe"),     QStringLiteral("balance"), QStringLiteral("solde"),
                                   QStringLiteral("kontostand")};
    return words;
}

bool isSummaryRow(const CsvRecord& record)
{
    for (const QString& f : record.fields) {
        const QString t = f.trimmed().toLower();
        if (t.isEmpty())
            continue;
        for (const QString& w : summaryWords())
            if (t.startsWith(w))
                return true;
    }
    return false;
}

bool isPlaceholderId(const QString& id)
{
    const QString t = id.trimmed().toLower();
    if (t.isEmpty() || t == u"nonref" || t == u"none" || t == u"-" || t == u"n/a" || t == u"notprovided")
        return true;
    for (const QChar c : t)
        if (c != u'0')
            return false;
    return true;
}

bool matchesMark(const QString& value, const QStringList& marks)
{
    for (const QString& m : marks)
        if (value.compare(m.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString separatorName(QChar separator)
{
    if (separator == u'\t')
        return QStringLiteral("«табуляция»");
    return QStringLiteral("«") + separator + QStringLiteral("»");
}

QString lineError(int line, const QString& what) { return QStringLiteral("Строка %1: %2").arg(line).arg(what); }

// The amount of one row, signed: income positive.
qint64 rowAmount(const CsvRecord& record, const CsvProfile& profile)
{
    auto amountOf = [&](int column, bool emptyIsZero) -> qint64 {
        if (!hasColumn(record, column))
            throw StatementError(lineError(record.line, QStringLiteral("нет столбца суммы — файл оборван?")),
                                 record.line);
        const QString text = field(record, column);
        qint64 units = 0;
        if (text.isEmpty() && emptyIsZero)
            return 0;
        if (!parseStatementAmount(text, profile.decimal, &units))
            throw StatementError(lineError(record.line, QStringLiteral("сумма «%1» не распознана.").arg(text)),
                                 record.line);
        return units;
    };
    switch (profile.amountShape()) {
    case CsvProfile::AmountShape::Signed:
        return amountOf(profile.amountColumn, true);
    case CsvProfile::AmountShape::DebitCredit: {
        // Some banks write the expense column negative, some positive; the column says which way it went.
        const qint64 credit = amountOf(profile.creditColumn, true);
        const qint64 debit = amountOf(profile.debitColumn, true);
        return qAbs(credit) - qAbs(debit);
    }
    case CsvProfile::AmountShape::Direction: {
        const qint64 amount = qAbs(amountOf(profile.amountColumn, true));
        const QString mark = field(record, profile.directionColumn);
        // The indicator states the direction; a sign on the amount that contradicts it is not believed.
        if (matchesMark(mark, profile.incomeMarks))
            return amount;
        if (matchesMark(mark, profile.expenseMarks))
            return -amount;
        if (matchesMark(mark, CsvProfile::defaultIncomeMarks()))
            return amount;
        if (matchesMark(mark, CsvProfile::defaultExpenseMarks()))
            return -amount;
        throw StatementError(lineError(record.line, QStringLiteral("направление «%1» не распознано.").arg(mark)),
                             record.line);
    }
    case CsvProfile::AmountShape::None:
        break;
    }
    throw StatementError(QStringLiteral("Не указан столбец суммы."));
}

// Whether the file's dates leave day and month open: all of them have slashes or dashes with the year
// last and none has a day or month above 12.
bool dayMonthOpen(const QList<CsvRecord>& rows, int column, const DateShape& shape)
{
    if (shape.order == DateOrder::YearMonthDay || shape.separator == u'.')
        return false;
    bool any = false;
    for (const CsvRecord& r : rows) {
        DateShape s;
        bool settled = false;
        if (!guessDateShape(field(r, column), &s, &settled))
            continue;
        if (settled)
            return false;
        any = true;
    }
    return any;
}

} // namespace

BankStatement readCsv(const QByteArray& bytes, const CsvProfile& profile, const StatementOptions& options)
{
    QString used;
    const QString text = decodeStatementText(bytes, profile.encoding, &used);
    int openQuote = 0;
    const QList<CsvRecord> records = splitCsvRecords(text, profile.separator, -1, &openQuote);
    if (openQuote)
        throw StatementError(lineError(openQuote, QStringLiteral("кавычка не закрыта до конца файла — файл оборван?")),
                             openQuote);
    if (profile.dateColumn < 0)
        throw StatementError(QStringLiteral("Не указан столбец даты."));
    if (profile.amountShape() == CsvProfile::AmountShape::None)
        throw StatementError(QStringLiteral("Не указан столбец суммы."));
    DateShape shape;
    if (!DateShape::fromFormat(profile.dateFormat, &shape))
        throw StatementError(QStringLiteral("Формат даты «%1» не поддерживается.").arg(profile.dateFormat));

    const qsizetype first = qMin<qsizetype>(records.size(), profile.skipLines + (profile.hasHeader ? 1 : 0));
    const QList<CsvRecord> rows = records.mid(first);

    BankStatement statement;
    statement.format = QStringLiteral("CSV, %1, разделитель %2").arg(used, separatorName(profile.separator));
    if (dayMonthOpen(rows, profile.dateColumn, shape)) {
        const DateOrder other =
            shape.order == DateOrder::MonthDayYear ? DateOrder::DayMonthYear : DateOrder::MonthDayYear;
        statement.dateOrders = {shape.order, other};
    }
    if (options.dateOrder != DateOrder::Unknown && shape.order != DateOrder::YearMonthDay)
        shape.order = options.dateOrder;

    QHash<QString, qsizetype> accountIndex;
    auto accountFor = [&](const QString& number) -> StatementAccount& {
        auto it = accountIndex.constFind(number);
        if (it == accountIndex.constEnd()) {
            it = accountIndex.insert(number, statement.accounts.size());
            statement.accounts.append(StatementAccount{});
            statement.accounts.last().number = number;
        }
        return statement.accounts[*it];
    };

    for (const CsvRecord& r : rows) {
        if (std::all_of(r.fields.cbegin(), r.fields.cend(), [](const QString& f) { return f.trimmed().isEmpty(); }))
            continue; // ";;;": a spacer some banks put before their totals
        const QString dateText = field(r, profile.dateColumn);
        if (dateText.isEmpty()) {
            statement.notes << QStringLiteral("Строка %1 без даты пропущена.").arg(r.line);
            continue;
        }
        StatementEntry e;
        e.line = r.line;
        switch (readStatementDate(dateText, shape, &e.date)) {
        case DateRead::Ok:
            break;
        case DateRead::Nonexistent:
            throw StatementError(lineError(r.line, QStringLiteral("дата «%1» не существует.").arg(dateText)), r.line);
        case DateRead::NotADate:
            if (isSummaryRow(r)) {
                statement.notes << QStringLiteral("Строка %1 — итог или остаток, не операция.").arg(r.line);
                continue;
            }
            throw StatementError(lineError(r.line, QStringLiteral("дата «%1» не распознана.").arg(dateText)), r.line);
        }
        const qint64 amount = rowAmount(r, profile);
        e.income = amount > 0;
        e.amount = qAbs(amount);
        QStringList description;
        for (const int c : profile.descriptionColumns) {
            const QString d = field(r, c).simplified();
            if (!d.isEmpty() && !description.contains(d))
                description << d;
        }
        e.description = description.join(QStringLiteral("; "));
        e.counterparty = field(r, profile.counterpartyColumn).simplified();
        e.counterAccount = field(r, profile.counterAccountColumn).remove(u' ');
        const QString id = field(r, profile.bankIdColumn);
        e.bankId = isPlaceholderId(id) ? QString() : id;
        e.currency = field(r, profile.currencyColumn).toUpper();
        const QString status = field(r, profile.statusColumn);
        e.pending = !status.isEmpty()
                    && matchesMark(status, profile.pendingMarks.isEmpty() ? CsvProfile::defaultPendingMarks()
                                                                          : profile.pendingMarks);
        QStringList notes;
        if (e.pending)
            notes << QStringLiteral("в обработке");
        if (e.amount == 0)
            notes << QStringLiteral("нулевая сумма");
        e.note = notes.join(QStringLiteral(", "));
        accountFor(field(r, profile.accountColumn).remove(u' ')).entries << e;
    }
    if (statement.accounts.isEmpty())
        accountFor(QString());
    // An account whose entries all name one currency is in that currency.
    for (StatementAccount& a : statement.accounts) {
        QString currency;
        bool one = true;
        for (const StatementEntry& e : a.entries) {
            if (e.currency.isEmpty())
                continue;
            if (!currency.isEmpty() && currency != e.currency)
                one = false;
            currency = e.currency;
        }
        if (one)
            a.currency = currency;
    }
    return statement;
}

} // namespace dorv
