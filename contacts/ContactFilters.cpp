#include "ContactFilters.h"

#include "util/DateScale.h"

namespace dorv {

BirthdayPairs birthdayPairsOf(const QDate& today)
{
    BirthdayPairs p;
    p.todayDay = today.day();
    p.todayMonth = today.month();
    if (p.todayMonth == 2 && p.todayDay == 29)
        p.todayDay = 28;
    const QDate tomorrow = today.addDays(1);
    p.tomorrowDay = tomorrow.day();
    p.tomorrowMonth = tomorrow.month();
    return p;
}

QString birthdayFilterText(const BirthdayPairs& p)
{
    return QStringLiteral("(Dy='%1' and Mn='%2') or (Dy='%3' and Mn='%4')")
        .arg(p.todayDay)
        .arg(p.todayMonth)
        .arg(p.tomorrowDay)
        .arg(p.tomorrowMonth);
}

QString familyFilterText(const QVariant& personId)
{
    if (!personId.isValid() || personId.isNull())
        return QStringLiteral("id_person=null");
    return QStringLiteral("id_person='%1'").arg(personId.toLongLong());
}

QString todayFilterText(int today, int todayPairDay)
{
    return QStringLiteral("(date_remind<='%1' and c='1') or (dy='%2' and c='2')")
        .arg(shortDateText(today))
        .arg(todayPairDay);
}

} // namespace dorv
