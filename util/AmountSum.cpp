#include "AmountSum.h"

#include "Money.h"

namespace dorv {

namespace {

using Wide = __int128;

constexpr qint64 Scale = 10000;
constexpr qint64 MaxUnits = qint64(MaxAmount) * Scale;

// n / d rounded to the nearest whole number, halves to even; d is never 0.
Wide divideHalfEven(Wide n, Wide d)
{
    if (d < 0) {
        n = -n;
        d = -d;
    }
    Wide q = n / d;
    Wide r = n % d;
    if (r < 0) {
        q -= 1;
        r += d;
    }
    const Wide twice = 2 * r;
    if (twice > d || (twice == d && (q & 1) != 0))
        q += 1;
    return q;
}

class SumParser {
public:
    explicit SumParser(const QString& text) : m_text(text) {}

    bool run(qint64* units)
    {
        Wide value = 0;
        if (!sum(0, &value))
            return false;
        skipSpaces();
        if (m_at != m_text.size())
            return false;
        *units = qint64(value);
        return true;
    }

private:
    void skipSpaces()
    {
        while (m_at < m_text.size() && m_text.at(m_at).isSpace())
            ++m_at;
    }
    bool peek(QChar c)
    {
        skipSpaces();
        return m_at < m_text.size() && m_text.at(m_at) == c;
    }
    static bool fits(Wide v) { return v <= MaxUnits && v >= -MaxUnits; }

    // Terms joined by + and -; at the outermost level the last term may be a percentage of the
    // sum before it.
    bool sum(int depth, Wide* out)
    {
        Wide acc = 0;
        if (!product(depth, &acc))
            return false;
        for (;;) {
            const bool plus = peek(QLatin1Char('+'));
            if (!plus && !peek(QLatin1Char('-')))
                break;
            ++m_at;
            Wide term = 0;
            if (!product(depth, &term))
                return false;
            if (peek(QLatin1Char('%'))) {
                ++m_at;
                skipSpaces();
                // Only "… - N%" closing the whole text: a percentage anywhere else has no clear base.
                if (depth != 0 || m_at != m_text.size())
                    return false;
                term = divideHalfEven(acc * term, Wide(100) * Scale);
            }
            acc = plus ? acc + term : acc - term;
            if (!fits(acc))
                return false;
        }
        *out = acc;
        return true;
    }

    bool product(int depth, Wide* out)
    {
        Wide acc = 0;
        if (!factor(depth, &acc))
            return false;
        for (;;) {
            const bool times = peek(QLatin1Char('*'));
            if (!times && !peek(QLatin1Char('/')))
                break;
            ++m_at;
            Wide f = 0;
            if (!factor(depth, &f))
                return false;
            if (times) {
                acc = divideHalfEven(acc * f, Scale);
            } else {
                if (f == 0)
                    return false;
                acc = divideHalfEven(acc * Scale, f);
            }
            if (!fits(acc))
                return false;
        }
        *out = acc;
        return true;
    }

    bool factor(int depth, Wide* out)
    {
        if (peek(QLatin1Char('-')) || peek(QLatin1Char('+'))) {
            const bool minus = m_text.at(m_at) == QLatin1Char('-');
            ++m_at;
            Wide v = 0;
            if (!factor(depth, &v))
                return false;
            *out = minus ? -v : v;
            return true;
        }
        if (peek(QLatin1Char('('))) {
            ++m_at;
            // Deep nesting is no sum anyone types; it must not exhaust the stack either.
            if (depth >= 64 || !sum(depth + 1, out) || !peek(QLatin1Char(')')))
                return false;
            ++m_at;
            return true;
        }
        return number(out);
    }

    // Digits with at most four decimals after a comma or a point.
    bool number(Wide* out)
    {
        skipSpaces();
        Wide whole = 0;
        int digits = 0;
        while (m_at < m_text.size() && m_text.at(m_at).isDigit() && m_text.at(m_at).unicode() < 128) {
            whole = whole * 10 + (m_text.at(m_at).unicode() - '0');
            if (whole > MaxUnits)
                return false;
            ++m_at;
            ++digits;
        }
        Wide fraction = 0;
        int decimals = 0;
        if (m_at < m_text.size() && (m_text.at(m_at) == QLatin1Char(',') || m_text.at(m_at) == QLatin1Char('.'))) {
            ++m_at;
            while (m_at < m_text.size() && m_text.at(m_at).isDigit() && m_text.at(m_at).unicode() < 128) {
                if (decimals == 4)
                    return false;
                fraction = fraction * 10 + (m_text.at(m_at).unicode() - '0');
                ++m_at;
                ++decimals;
            }
        }
        if (digits + decimals == 0)
            return false;
        for (int i = decimals; i < 4; ++i)
            fraction *= 10;
        *out = whole * Scale + fraction;
        return fits(*out);
    }

    const QString& m_text;
    qsizetype m_at = 0;
};

} // namespace

bool evaluateSum(const QString& text, qint64* units)
{
    qint64 value = 0;
    if (!SumParser(text).run(&value))
        return false;
    *units = value;
    return true;
}

} // namespace dorv
