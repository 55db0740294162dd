#pragma once
#include <QDate>
#include <QString>
#include <QVariant>

namespace dorv {

// Today's and tomorrow's day and month, fixed when the program starts. 29 February counts as
// 28 February, so that a birthday on the 29th comes round, as tomorrow's, only in leap years.
struct BirthdayPairs {
    int todayDay = 0, todayMonth = 0, tomorrowDay = 0, tomorrowMonth = 0;
};
BirthdayPairs birthdayPairsOf(const QDate& today);

// The rows whose birthday (Dy, Mn) is today's or tomorrow's.
QString birthdayFilterText(const BirthdayPairs& pairs);
// The family of one acquaintance; a missing identifier matches nobody's family.
QString familyFilterText(const QVariant& personId);
// The diary entries due on a day: reminders from their date on (mode "1") and monthly ones on the
// day of the month of the today pair (mode "2").
QString todayFilterText(int today, int todayPairDay);

} // namespace dorv
