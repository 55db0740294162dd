#include "ReaderSupport.h"

#include "util/Money.h"

namespace dorv {

bool parseStatementAmount(QStringView text, AmountStyle style, qint64* units)
{
    QStringView t = text.trimmed();
    bool negative = false;
    if (!t.isEmpty() && (t.front() == u'-' || t.front() == u'+')) {
        negative = t.front() == u'-';
        t = t.mid(1).trimmed();
    }
    if (t.isEmpty())
        return false;
    // Which of '.' and ',' is the decimal separator: the last one when both appear, else the only one,
    // unless with grouping a lone comma before three digits ("1,234") or repeated separators group.
    const qsizetype dots = t.count(u'.'), commas = t.count(u',');
    QChar decimal;
    if (dots && commas) {
        if (style != AmountStyle::Grouped)
            return false;
        decimal = t.lastIndexOf(u'.') > t.lastIndexOf(u',') ? u'.' : u',';
    } else if (dots) {
        if (dots > 1 && style != AmountStyle::Grouped)
            return false;
        decimal = dots == 1 ? u'.' : QChar();
    } else if (commas) {
        if (style == AmountStyle::Point || (commas > 1 && style != AmountStyle::Grouped))
            return false;
        const bool grouping = style == AmountStyle::Grouped && (commas > 1 || t.size() - t.lastIndexOf(u',') - 1 == 3);
        decimal = grouping ? QChar() : QChar(u',');
    }
    if (!decimal.isNull() && t.count(decimal) > 1)
        return false;

    qint64 whole = 0;
    int fractionDigits = 0;
    qint64 fraction = 0; // the first four decimals
    int roundDigit = -1; // the fifth decimal
    bool stickyBeyond = false;
    bool anyDigit = false, inFraction = false;
    int groupLength = -1; // digits since the last grouping separator; -1 before any
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.isDigit() && c.unicode() < 128) {
            anyDigit = true;
            const int d = c.unicode() - '0';
            if (inFraction) {
                if (fractionDigits < 4)
                    fraction = fraction * 10 + d;
                else if (fractionDigits == 4)
                    roundDigit = d;
                else if (d)
                    stickyBeyond = true;
                ++fractionDigits;
            } else {
                whole = whole * 10 + d;
                if (whole > qint64(MaxAmount))
                    return false;
                if (groupLength >= 0)
                    ++groupLength;
            }
            continue;
        }
        if (c == decimal && !inFraction) {
            if (groupLength >= 0 && groupLength != 3)
                return false;
            inFraction = true;
            continue;
        }
        const bool groupSeparator = c == u'.' || c == u',' || c == u' ' || c == u'\'' || c == QChar(0x00A0)
                                    || c == QChar(0x202F) || c == QChar(0x2009);
        if (style == AmountStyle::Grouped && groupSeparator && !inFraction && anyDigit
            && (groupLength < 0 || groupLength == 3)) {
            groupLength = 0;
            continue;
        }
        return false;
    }
    if (!anyDigit || (groupLength >= 0 && !inFraction && groupLength != 3))
        return false;
    while (fractionDigits < 4) {
        fraction *= 10;
        ++fractionDigits;
    }
    qint64 value = whole * 10000 + fraction;
    if (roundDigit > 5 || (roundDigit == 5 && (stickyBeyond || value % 2)))
        ++value;
    *units = negative ? -value : value;
    return true;
}

bool isPlaceholderId(const QString& id)
{
    const QString t = id.trimmed();
    if (t.isEmpty())
        return true;
    if (t.compare(QLatin1String("NONREF"), Qt::CaseInsensitive) == 0
        || t.compare(QLatin1String("NOTPROVIDED"), Qt::CaseInsensitive) == 0)
        return true;
    for (const QChar c : t)
        if (c != u'0')
            return false;
    return true;
}

} // namespace dorv
