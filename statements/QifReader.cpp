#include "QifReader.h"

#include "ReaderSupport.h"
#include "TextDecoding.h"
#include "util/DateScale.h"

#include <QHash>
#include <QRegularExpression>

namespace dorv {

namespace {

// A date as written, before the file's order of day and month is known.
struct RawDate {
    int first = 0, second = 0, year = 0;
    bool yearFirst = false; // 2020-03-25: no doubt about the order
    int line = 0;
    QString text;
};

QString shown(const QString& text)
{
    const QString t = text.trimmed();
    return t.size() > 40 ? t.left(40) + QStringLiteral("…") : t;
}

RawDate parseDate(const QString& value, int line)
{
    QString t = value;
    t.remove(u' ');
    static const QRegularExpression ymd(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})$"));
    // Quicken writes the year after an apostrophe for 2000 on: 1/ 1'00, 2/10'2020.
    static const QRegularExpression other(QStringLiteral("^(\\d{1,2})[-/.](\\d{1,2})([-/.'])(\\d{2}|\\d{4})$"));
    RawDate d;
    d.line = line;
    d.text = value.trimmed();
    if (const auto m = ymd.match(t); m.hasMatch()) {
        d.yearFirst = true;
        d.year = m.captured(1).toInt();
        d.first = m.captured(2).toInt();
        d.second = m.captured(3).toInt();
        return d;
    }
    const auto m = other.match(t);
    if (!m.hasMatch())
        throw StatementError(QStringLiteral("Строка %1: неверная дата «%2».").arg(line).arg(shown(value)), line);
    d.first = m.captured(1).toInt();
    d.second = m.captured(2).toInt();
    d.year = m.captured(4).toInt();
    if (m.captured(4).size() == 2)
        d.year += m.captured(3) == QLatin1String("'") || d.year < 50 ? 2000 : 1900;
    return d;
}

QDate dateIn(const RawDate& d, DateOrder order)
{
    if (d.yearFirst || order != DateOrder::DayMonthYear)
        return QDate(d.year, d.first, d.second);
    return QDate(d.year, d.second, d.first);
}

struct Split {
    QString category, memo, amount, date;
    int line = 0, dateLine = 0;
    bool hasAmount = false;
};

struct Record {
    int line = 0;
    QString date, amount, payee, memo, number, category;
    int dateLine = 0, amountLine = 0;
    QList<Split> splits;
};

struct Pending {
    int account = 0;
    StatementEntry entry;
    RawDate date;
};

// "Bills:Cell Phone/Test class" names the category before the class; "[Savings]" is a transfer.
void applyCategory(StatementEntry* entry, const QString& text)
{
    const QString t = text.trimmed();
    if (t.startsWith(u'[')) {
        const qsizetype end = t.indexOf(u']');
        entry->counterAccount = t.mid(1, end < 0 ? -1 : end - 1).trimmed();
        return;
    }
    const QString category = t.section(u'/', 0, 0).trimmed();
    if (category != QLatin1String("--Split--"))
        entry->category = category;
}

qint64 amountOf(const QString& text, int line)
{
    qint64 units = 0;
    if (!parseStatementAmount(text, AmountStyle::Grouped, &units))
        throw StatementError(QStringLiteral("Строка %1: неверная сумма «%2».").arg(line).arg(shown(text)), line);
    return units;
}

void setAmount(StatementEntry* entry, qint64 units)
{
    entry->income = units > 0;
    entry->amount = units < 0 ? -units : units;
    entry->note = entry->amount == 0 ? QStringLiteral("нулевая сумма") : QString();
}

enum class Section { None, Money, Investment, Account, Skipped };

} // namespace

BankStatement readQif(const QByteArray& bytes, const StatementOptions& options)
{
    if (bytes.trimmed().isEmpty())
        throw StatementError(QStringLiteral("Файл пуст."));
    if (bytes.contains('\0'))
        throw StatementError(QStringLiteral("Это не текстовый файл: в нём есть нулевые байты."));
    QString used;
    const QStringList lines = decodeStatementText(bytes, QString(), &used).split(u'\n');

    BankStatement statement;
    statement.format = QStringLiteral("QIF, ") + used;
    QList<Pending> pending;
    QHash<QString, int> accountIndex;
    Section section = Section::None;
    bool sawHeader = false, autoSwitch = false;
    QString accountName, accountType, listedName, listedType; // the current !Account, and one being read
    Record record;
    bool inRecord = false;

    auto accountFor = [&](const QString& name) {
        auto it = accountIndex.find(name);
        if (it != accountIndex.end())
            return *it;
        StatementAccount account;
        account.number = name;
        statement.accounts.append(account);
        return *accountIndex.insert(name, int(statement.accounts.size() - 1));
    };

    auto finish = [&]() {
        if (!inRecord)
            return;
        inRecord = false;
        const Record r = std::exchange(record, Record());
        if (r.date.isEmpty())
            throw StatementError(QStringLiteral("Запись в строке %1: нет даты (D).").arg(r.line), r.line);
        const RawDate date = parseDate(r.date, r.dateLine);
        qint64 total = 0;
        bool hasTotal = !r.amount.trimmed().isEmpty();
        if (hasTotal)
            total = amountOf(r.amount, r.amountLine);
        StatementEntry base;
        base.line = r.line;
        base.counterparty = r.payee.trimmed();
        base.description = r.memo.trimmed();
        base.bankId = isPlaceholderId(r.number) ? QString() : r.number.trimmed();
        const int account = accountFor(accountName);
        if (r.splits.isEmpty()) {
            if (!hasTotal)
                throw StatementError(QStringLiteral("Запись в строке %1: нет суммы (T).").arg(r.line), r.line);
            StatementEntry entry = base;
            applyCategory(&entry, r.category);
            setAmount(&entry, total);
            pending.append({account, entry, date});
            return;
        }
        qint64 sum = 0;
        for (const Split& s : r.splits) {
            if (!s.hasAmount)
                throw StatementError(QStringLiteral("Часть записи в строке %1 без суммы ($).").arg(s.line), s.line);
            const qint64 units = amountOf(s.amount, s.line);
            sum += units;
            StatementEntry entry = base;
            entry.line = s.line;
            if (!s.memo.trimmed().isEmpty())
                entry.description = s.memo.trimmed();
            applyCategory(&entry, s.category);
            setAmount(&entry, units);
            pending.append({account, entry, s.date.isEmpty() ? date : parseDate(s.date, s.dateLine)});
        }
        // What the parts leave of the whole stays on the record's own category, so the balance holds.
        if (hasTotal && sum != total) {
            StatementEntry rest = base;
            applyCategory(&rest, r.category);
            setAmount(&rest, total - sum);
            pending.append({account, rest, date});
            statement.notes.append(
                QStringLiteral("Запись в строке %1: части не покрывают всю сумму, остаток взят отдельной строкой.")
                    .arg(r.line));
        }
    };

    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = int(i) + 1;
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'!')) {
            finish();
            sawHeader = true;
            const QString header = line.mid(1).trimmed();
            if (header.compare(QLatin1String("Option:AutoSwitch"), Qt::CaseInsensitive) == 0) {
                autoSwitch = true;
                continue;
            }
            if (header.compare(QLatin1String("Clear:AutoSwitch"), Qt::CaseInsensitive) == 0) {
                autoSwitch = false;
                continue;
            }
            if (header.compare(QLatin1String("Account"), Qt::CaseInsensitive) == 0) {
                section = Section::Account;
                listedName.clear();
                listedType.clear();
                continue;
            }
            if (!header.startsWith(QLatin1String("Type:"), Qt::CaseInsensitive)) {
                section = Section::Skipped;
                statement.notes.append(
                    QStringLiteral("Раздел «%1» (строка %2) пропущен.").arg(line.trimmed()).arg(lineNo));
                continue;
            }
            const QString type = header.mid(5).trimmed().toLower().remove(u' ');
            const QString accountKind = accountType.toLower().remove(u' ');
            static const QStringList money = {QStringLiteral("bank"), QStringLiteral("ccard"), QStringLiteral("cash"),
                                              QStringLiteral("otha"), QStringLiteral("othl")};
            static const QStringList investment = {QStringLiteral("invst"),         QStringLiteral("port"),
                                                   QStringLiteral("401(k)"),        QStringLiteral("403(b)"),
                                                   QStringLiteral("401(k)/403(b)"), QStringLiteral("mutual")};
            static const QStringList lists = {QStringLiteral("cat"),       QStringLiteral("class"),
                                              QStringLiteral("memorized"), QStringLiteral("security"),
                                              QStringLiteral("prices"),    QStringLiteral("template")};
            if (investment.contains(type) || (money.contains(type) && investment.contains(accountKind))) {
                section = Section::Investment;
                const QString what =
                    accountName.isEmpty()
                        ? QStringLiteral("Инвестиционный раздел (строка %1)").arg(lineNo)
                        : QStringLiteral("Инвестиционный счёт «%1» (строка %2)").arg(accountName).arg(lineNo);
                statement.notes.append(what
                                       + QStringLiteral(" пропущен: операции с ценными бумагами не импортируются "
                                                        "как деньги."));
            } else if (money.contains(type)) {
                section = Section::Money;
            } else {
                section = Section::Skipped;
                if (!lists.contains(type))
                    statement.notes.append(
                        QStringLiteral("Раздел «%1» (строка %2) пропущен.").arg(line.trimmed()).arg(lineNo));
            }
            continue;
        }
        if (!sawHeader)
            throw StatementError(
                QStringLiteral("Строка %1: до неё нет заголовка раздела (!Type:…) — это не файл QIF.").arg(lineNo),
                lineNo);
        const QChar code = line[0];
        const QString value = line.mid(1);
        if (section == Section::Account) {
            if (code == u'N')
                listedName = value.trimmed();
            else if (code == u'T')
                listedType = value.trimmed();
            else if (code == u'^') {
                // With AutoSwitch on, !Account records are a list of accounts, not the one that follows.
                if (!autoSwitch) {
                    accountName = listedName;
                    accountType = listedType;
                }
                listedName.clear();
                listedType.clear();
            }
            continue;
        }
        if (section != Section::Money)
            continue;
        if (code == u'^') {
            finish();
            continue;
        }
        if (!inRecord) {
            inRecord = true;
            record.line = lineNo;
        }
        Split* split = record.splits.isEmpty() ? nullptr : &record.splits.last();
        auto newSplit = [&]() {
            record.splits.append(Split());
            record.splits.last().line = lineNo;
            return &record.splits.last();
        };
        switch (code.unicode()) {
        case 'D':
            if (split) {
                split->date = value;
                split->dateLine = lineNo;
            } else {
                record.date = value;
                record.dateLine = lineNo;
            }
            break;
        case 'T':
            record.amount = value;
            record.amountLine = lineNo;
            break;
        case 'U':
            if (record.amount.isEmpty()) {
                record.amount = value;
                record.amountLine = lineNo;
            }
            break;
        case 'P':
            record.payee = value;
            break;
        case 'M':
            record.memo = value;
            break;
        case 'N':
            record.number = value;
            break;
        case 'L':
            record.category = value;
            break;
        case 'S':
            newSplit()->category = value;
            break;
        case 'E':
            (split ? split : newSplit())->memo = value;
            break;
        case '$':
            split = split && !split->hasAmount ? split : newSplit();
            split->amount = value;
            split->hasAmount = true;
            break;
        default: // C cleared, A address, F flags and the rest say nothing about the money
            break;
        }
    }
    finish();
    if (!sawHeader)
        throw StatementError(QStringLiteral("В файле нет заголовка раздела (!Type:…): это не файл QIF."));

    // The order of day and month: what every date of the file allows, or what the user chose.
    int badMdy = 0, badDmy = 0;
    bool differ = false;
    for (const Pending& p : pending) {
        if (p.date.yearFirst)
            continue;
        if (!badMdy && !dateIn(p.date, DateOrder::MonthDayYear).isValid())
            badMdy = p.date.line;
        if (!badDmy && !dateIn(p.date, DateOrder::DayMonthYear).isValid())
            badDmy = p.date.line;
        differ = differ || p.date.first != p.date.second;
    }
    DateOrder order = options.dateOrder;
    if (order != DateOrder::DayMonthYear && order != DateOrder::MonthDayYear) {
        if (!badMdy && !badDmy) {
            order = DateOrder::MonthDayYear;
            if (differ)
                statement.dateOrders = {DateOrder::MonthDayYear, DateOrder::DayMonthYear};
        } else if (!badMdy || !badDmy) {
            order = badMdy ? DateOrder::DayMonthYear : DateOrder::MonthDayYear;
        } else {
            order = badMdy > badDmy ? DateOrder::MonthDayYear : DateOrder::DayMonthYear;
        }
    }
    for (Pending& p : pending) {
        const QDate date = dateIn(p.date, order);
        if (!date.isValid())
            throw StatementError(QStringLiteral("Строка %1: неверная дата «%2»%3.")
                                     .arg(p.date.line)
                                     .arg(p.date.text, p.date.yearFirst ? QString()
                                                       : order == DateOrder::DayMonthYear
                                                           ? QStringLiteral(" при порядке день/месяц/год")
                                                           : QStringLiteral(" при порядке месяц/день/год")),
                                 p.date.line);
        p.entry.date = dayNumber(date);
        statement.accounts[p.account].entries.append(p.entry);
    }
    return statement;
}

} // namespace dorv
