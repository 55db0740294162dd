#include "DateScale.h"

#include <QRegularExpression>

namespace dorv {

namespace {
const QDate Epoch(1899, 12, 30);
}

int dayNumber(const QDate& date) { return int(Epoch.daysTo(date)); }

QDate dateOfDay(int day) { return Epoch.addDays(day); }

qint64 stampOf(const QDateTime& moment)
{
    const QDateTime local = moment.toLocalTime();
    return qint64(dayNumber(local.date())) * MsPerDay + local.time().msecsSinceStartOfDay();
}

QDateTime momentOfStamp(qint64 stamp)
{
    const int day = dayOfStamp(stamp);
    const qint64 ms = stamp - qint64(day) * MsPerDay;
    return QDateTime(dateOfDay(day), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

bool parseShortDate(const QString& text, int* day)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})\\.(\\d{1,2})\\.(\\d{2}|\\d{4})\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    int year = m.captured(3).toInt();
    if (m.captured(3).size() == 2)
        year += year < 50 ? 2000 : 1900;
    const QDate date(year, m.captured(2).toInt(), m.captured(1).toInt());
    if (!date.isValid())
        return false;
    *day = dayNumber(date);
    return true;
}

QString shortDateText(int day) { return dateOfDay(day).toString(QStringLiteral("dd.MM.yyyy")); }

} // namespace dorv
