#include "PasswordStrength.h"

#include <QLocale>

#include <cmath>

namespace dorv {

namespace {

// The size of the alphabet a cracker would have to cover to find this password.
int alphabetOf(const QString& password)
{
    bool lowerLatin = false, upperLatin = false, digit = false, lowerCyr = false, upperCyr = false, other = false;
    for (const QChar c : password) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            lowerLatin = true;
        else if (u >= u'A' && u <= u'Z')
            upperLatin = true;
        else if (u >= u'0' && u <= u'9')
            digit = true;
        else if ((u >= u'а' && u <= u'я') || u == u'ё')
            lowerCyr = true;
        else if ((u >= u'А' && u <= u'Я') || u == u'Ё')
            upperCyr = true;
        else
            other = true;
    }
    // The printable signs of the keyboard that are neither letters nor digits, the space included.
    constexpr int Signs = 33;
    return (lowerLatin ? 26 : 0) + (upperLatin ? 26 : 0) + (digit ? 10 : 0) + (lowerCyr ? 33 : 0) + (upperCyr ? 33 : 0)
           + (other ? Signs : 0);
}

// The genitive that follows "около": 1, 21, 101 take the singular, the rest the plural.
QString counted(qint64 n, const QString& one, const QString& many)
{
    const bool singular = n % 10 == 1 && n % 100 != 11;
    return QLocale(QLocale::Russian).toString(n) + QLatin1Char(' ') + (singular ? one : many);
}

// Two significant digits are all an estimate like this has.
qint64 rounded(double value)
{
    if (value < 100)
        return std::llround(value);
    const double scale = std::pow(10.0, std::floor(std::log10(value)) - 1);
    return std::llround(std::round(value / scale) * scale);
}

} // namespace

PasswordStrength PasswordStrength::of(const QString& password)
{
    PasswordStrength s;
    if (password.isEmpty())
        return s;
    s.seconds = std::pow(double(alphabetOf(password)), double(password.size())) / TriesPerSecond;
    constexpr double Minute = 60, Hour = 60 * Minute, Day = 24 * Hour, Year = 365.25 * Day, Month = Year / 12;
    s.weak = s.seconds < Year;
    // The largest unit that gives at least two of it: "около 78 минут" says more than "около 1 часа".
    struct Unit {
        double length;
        const char16_t* one;
        const char16_t* many;
    };
    static const Unit units[] = {{Year, u"года", u"лет"},   {Month, u"месяца", u"месяцев"}, {Day, u"дня", u"дней"},
                                 {Hour, u"часа", u"часов"}, {Minute, u"минуты", u"минут"},  {1, u"секунды", u"секунд"}};
    if (s.seconds < 1) {
        s.text = QStringLiteral("Подбор займёт меньше секунды");
        return s;
    }
    if (s.seconds >= 1e9 * Year) {
        s.text = QStringLiteral("Подбор займёт больше миллиарда лет");
        return s;
    }
    for (const Unit& u : units) {
        const double value = s.seconds / u.length;
        if (value >= 2 || u.length == 1) {
            s.text = QStringLiteral("Подбор займёт около ")
                     + counted(rounded(value), QString::fromUtf16(u.one), QString::fromUtf16(u.many));
            break;
        }
    }
    return s;
}

} // namespace dorv
