#pragma once
#include <QDate>
#include <QDateTime>

namespace dorv {

// Dates are kept as day numbers on a scale whose day 0 is 30 December 1899, and moments as whole
// milliseconds on the same scale, so that two creation moments compare exactly.
constexpr qint64 MsPerDay = 86400000;

int dayNumber(const QDate& date);
QDate dateOfDay(int day);
qint64 stampOf(const QDateTime& moment);
QDateTime momentOfStamp(qint64 stamp);
inline int dayOfStamp(qint64 stamp)
{
    return int(stamp >= 0 ? stamp / MsPerDay : -((-stamp + MsPerDay - 1) / MsPerDay));
}

// "dd.MM.yyyy" (or "dd.MM.yy", years 00..99 taken as 2000..2099 below 50 and 1900..1999 otherwise);
// returns false on anything else.
bool parseShortDate(const QString& text, int* day);
QString shortDateText(int day);

} // namespace dorv
