#include "StatementValues.h"

#include "util/DateScale.h"
#include "util/Money.h"

#include <QDate>

namespace dorv {

namespace {

bool isGroupSpace(QChar c)
{
    return c == u' ' || c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x2009) || c == u'\''
           || c == QChar(0x2019);
}

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

} // namespace

bool parseStatementAmount(const QString& text, QChar decimal, qint64* units)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(u'(') && t.endsWith(u')')) {
        negative = true;
        t = t.mid(1, t.size() - 2).trimmed();
    }
    if (t.startsWith(u'-') || t.startsWith(u'+') || t.startsWith(QChar(0x2212))) {
        if (negative)
            return false;
        negative = t[0] != u'+';
        t = t.mid(1).trimmed();
    } else if (t.endsWith(u'-')) {
        if (negative)
            return false;
        negative = true;
        t.chop(1);
        t = t.trimmed();
    }
    // Keep the digits and the two punctuation marks; anything else is no amount.
    QString digits;
    digits.reserve(t.size());
    qsizetype dots = 0, commas = 0, lastDot = -1, lastComma = -1;
    for (const QChar c : t) {
        if (isDigit(c)) {
            digits += c;
        } else if (c == u'.') {
            ++dots;
            lastDot = digits.size();
            digits += c;
        } else if (c == u',') {
            ++commas;
            lastComma = digits.size();
            digits += c;
        } else if (isGroupSpace(c) && !digits.isEmpty()) {
            continue;
        } else {
            return false;
        }
    }
    if (digits.isEmpty())
        return false;
    // Which mark is the decimal one.
    QChar dec;
    if (dots && commas) {
        dec = lastDot > lastComma ? u'.' : u',';
    } else if (dots + commas == 1) {
        const qsizetype at = dots ? lastDot : lastComma;
        const QChar mark = dots ? u'.' : u',';
        const qsizetype after = digits.size() - at - 1;
        dec = (after != 3 || mark == decimal || at == 0) ? mark : QChar();
    } else if (dots + commas > 1) {
        dec = QChar(); // "1.234.567": grouping only
    }
    const QChar group = dec == u'.' ? u',' : (dec == u',' ? u'.' : (dots ? u'.' : u','));
    if ((dec == u'.' && dots > 1) || (dec == u',' && commas > 1))
        return false;
    qsizetype decAt = dec.isNull() ? -1 : (dec == u'.' ? lastDot : lastComma);
    QString whole, fraction;
    int sinceGroup = -1; // digits since the last thousands mark; -1 before the first one
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const QChar c = digits[i];
        if (i == decAt) {
            if (sinceGroup >= 0 && sinceGroup != 3)
                return false;
            sinceGroup = -1;
            continue;
        }
        if (c == group) {
            // "1.234.567" groups by three; "12.34.56" is no amount.
            if ((decAt >= 0 && i > decAt) || whole.isEmpty() || (sinceGroup >= 0 && sinceGroup != 3))
                return false;
            sinceGroup = 0;
            continue;
        }
        if (decAt >= 0 && i > decAt) {
            fraction += c;
        } else {
            whole += c;
            if (sinceGroup >= 0)
                ++sinceGroup;
        }
    }
    if (sinceGroup >= 0 && sinceGroup != 3)
        return false;
    if (whole.isEmpty() && fraction.isEmpty())
        return false;
    if (whole.size() > 13)
        return false;
    // Round the fraction to four places, halves to even.
    qint64 value = whole.isEmpty() ? 0 : whole.toLongLong();
    qint64 frac = 0;
    for (int i = 0; i < 4; ++i)
        frac = frac * 10 + (i < fraction.size() ? fraction[i].digitValue() : 0);
    value = value * 10000 + frac;
    if (fraction.size() > 4) {
        const int next = fraction[4].digitValue();
        bool beyond = false;
        for (qsizetype i = 5; i < fraction.size(); ++i)
            beyond = beyond || fraction[i] != u'0';
        if (next > 5 || (next == 5 && (beyond || (value % 2) != 0)))
            ++value;
    }
    if (value > qint64(MaxAmount) * 10000)
        return false;
    *units = negative ? -value : value;
    return true;
}

QString DateShape::format() const
{
    const QString y = yearDigits == 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
    QString f;
    switch (order) {
    case DateOrder::YearMonthDay:
        f = y + separator + QStringLiteral("MM") + separator + QStringLiteral("dd");
        break;
    case DateOrder::MonthDayYear:
        f = QStringLiteral("MM") + separator + QStringLiteral("dd") + separator + y;
        break;
    case DateOrder::DayMonthYear:
    case DateOrder::Unknown:
        f = QStringLiteral("dd") + separator + QStringLiteral("MM") + separator + y;
        break;
    }
    if (!time.isEmpty())
        f += u' ' + time;
    return f;
}

bool DateShape::fromFormat(const QString& format, DateShape* shape)
{
    const QString f = format.trimmed();
    const qsizetype space = f.indexOf(u' ');
    const QString date = space < 0 ? f : f.left(space);
    const QString time = space < 0 ? QString() : f.mid(space + 1).trimmed();
    if (!time.isEmpty() && time != u"HH:mm" && time != u"HH:mm:ss")
        return false;
    if (date.size() < 8)
        return false;
    QChar sep;
    for (const QChar c : date)
        if (c != u'd' && c != u'M' && c != u'y') {
            sep = c;
            break;
        }
    if (sep != u'.' && sep != u'/' && sep != u'-')
        return false;
    const QStringList parts = date.split(sep);
    if (parts.size() != 3)
        return false;
    DateShape s;
    s.separator = sep;
    s.time = time;
    auto isYear = [](const QString& p) { return p == u"yyyy" || p == u"yy"; };
    if (isYear(parts[0]) && parts[1] == u"MM" && parts[2] == u"dd") {
        s.order = DateOrder::YearMonthDay;
        s.yearDigits = int(parts[0].size());
    } else if (parts[0] == u"dd" && parts[1] == u"MM" && isYear(parts[2])) {
        s.order = DateOrder::DayMonthYear;
        s.yearDigits = int(parts[2].size());
    } else if (parts[0] == u"MM" && parts[1] == u"dd" && isYear(parts[2])) {
        s.order = DateOrder::MonthDayYear;
        s.yearDigits = int(parts[2].size());
    } else {
        return false;
    }
    *shape = s;
    return true;
}

namespace {

// The date part of a text split into three runs of digits, with the separator and what follows.
bool splitDate(const QString& text, QString parts[3], QChar* sep, QString* rest)
{
    const QString t = text.trimmed();
    qsizetype end = 0;
    while (end < t.size() && (isDigit(t[end]) || t[end] == u'.' || t[end] == u'/' || t[end] == u'-'))
        ++end;
    QString date = t.left(end);
    if (date.endsWith(u'.')) // "01.02.2020." happens in hand-made exports
        date.chop(1);
    *rest = t.mid(end).trimmed();
    if (rest->startsWith(u'T'))
        *rest = rest->mid(1);
    QChar s;
    int n = 0;
    QString current;
    for (const QChar c : date) {
        if (isDigit(c)) {
            current += c;
            continue;
        }
        if (s.isNull())
            s = c;
        if (c != s || n >= 2 || current.isEmpty())
            return false;
        parts[n++] = current;
        current.clear();
    }
    if (n != 2 || current.isEmpty())
        return false;
    parts[2] = current;
    *sep = s;
    return true;
}

bool restIsTime(const QString& rest)
{
    if (rest.isEmpty())
        return true;
    // "10:03", "10:03:13", "10:03:13.000", "10:03:13+01:00", "10.03" — a time, whatever follows it.
    return rest.size() >= 4 && isDigit(rest[0])
           && (rest[1] == u':' || rest[1] == u'.' || (isDigit(rest[1]) && (rest[2] == u':' || rest[2] == u'.')));
}

int fullYear(const QString& y)
{
    const int v = y.toInt();
    if (y.size() == 2)
        return v < 50 ? 2000 + v : 1900 + v;
    return v;
}

} // namespace

DateRead readStatementDate(const QString& text, const DateShape& shape, int* day)
{
    QString parts[3], rest;
    QChar sep;
    if (!splitDate(text, parts, &sep, &rest) || sep != shape.separator || !restIsTime(rest))
        return DateRead::NotADate;
    QString y, m, d;
    switch (shape.order) {
    case DateOrder::YearMonthDay:
        y = parts[0], m = parts[1], d = parts[2];
        break;
    case DateOrder::MonthDayYear:
        m = parts[0], d = parts[1], y = parts[2];
        break;
    case DateOrder::DayMonthYear:
    case DateOrder::Unknown:
        d = parts[0], m = parts[1], y = parts[2];
        break;
    }
    if ((y.size() != 2 && y.size() != 4) || m.size() > 2 || d.size() > 2)
        return DateRead::NotADate;
    const QDate date(fullYear(y), m.toInt(), d.toInt());
    if (!date.isValid())
        return DateRead::Nonexistent;
    *day = dayNumber(date);
    return DateRead::Ok;
}

bool guessDateShape(const QString& text, DateShape* shape, bool* dayMonthSettled)
{
    QString parts[3], rest;
    QChar sep;
    if (!splitDate(text, parts, &sep, &rest) || !restIsTime(rest))
        return false;
    DateShape s;
    s.separator = sep;
    if (!rest.isEmpty())
        s.time = rest.count(u':') >= 2 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    bool settled = true;
    if (parts[0].size() == 4) {
        s.order = DateOrder::YearMonthDay;
        s.yearDigits = 4;
        if (parts[1].size() > 2 || parts[2].size() > 2)
            return false;
    } else {
        if ((parts[2].size() != 2 && parts[2].size() != 4) || parts[0].size() > 2 || parts[1].size() > 2)
            return false;
        s.yearDigits = int(parts[2].size());
        const int a = parts[0].toInt(), b = parts[1].toInt();
        if (a > 31 || b > 31 || (a > 12 && b > 12))
            return false;
        if (sep == u'.') {
            s.order = DateOrder::DayMonthYear; // nobody writes the month first with dots
        } else if (a > 12) {
            s.order = DateOrder::DayMonthYear;
        } else if (b > 12) {
            s.order = DateOrder::MonthDayYear;
        } else {
            s.order = DateOrder::DayMonthYear;
            settled = false;
        }
    }
    *shape = s;
    if (dayMonthSettled)
        *dayMonthSettled = settled;
    return true;
}

} // namespace dorv
