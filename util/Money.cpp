#include "Money.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace dorv {

double roundHalfEven(double value)
{
    // nearbyint follows the current rounding mode, which is round-to-nearest-even unless someone
    // changed it; set it explicitly so a library that did cannot skew our sums.
    const int old = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(old);
    return r;
}

qint64 toTenThousandths(double amount)
{
    // Converting a float beyond the integer's range is undefined; such a value saturates.
    const double r = roundHalfEven(amount * 10000.0);
    if (!std::isfinite(r))
        return r > 0 ? std::numeric_limits<qint64>::max() : (r < 0 ? std::numeric_limits<qint64>::min() : 0);
    if (r >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (r <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(r);
}

bool checkedTenThousandths(double amount, qint64* units)
{
    if (!std::isfinite(amount) || std::fabs(amount) > MaxAmount)
        return false;
    *units = toTenThousandths(amount);
    return true;
}

bool checkedAdd(qint64 a, qint64 b, qint64* sum) { return !__builtin_add_overflow(a, b, sum); }

double fromTenThousandths(qint64 units) { return double(units) / 10000.0; }

QString formatMoney(double amount)
{
    QString s = QString::number(amount, 'f', 2);
    if (s == QLatin1String("-0.00"))
        s = QStringLiteral("0.00");
    return s;
}

bool parseMoney(const QString& text, double* amount)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *amount = v;
    return true;
}

} // namespace dorv
