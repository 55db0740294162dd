#include "Money.h"

#include <cfenv>
#include <cmath>

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

qint64 toTenThousandths(double amount) { return qint64(roundHalfEven(amount * 10000.0)); }

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
