#include "Period.h"

#include "util/DateScale.h"

namespace dorv {

PeriodBounds periodBounds(PeriodKind kind, int workDate, int wholeStart, int wholeEnd)
{
    const QDate d = dateOfDay(workDate);
    switch (kind) {
    case PeriodKind::Year:
        return {dayNumber(QDate(d.year(), 1, 1)), dayNumber(QDate(d.year(), 12, 31))};
    case PeriodKind::Month: {
        const QDate first(d.year(), d.month(), 1);
        return {dayNumber(first), dayNumber(first.addMonths(1)) - 1};
    }
    case PeriodKind::Week: {
        const int n = d.dayOfWeek(); // Monday 1 .. Sunday 7
        return {workDate - n + 1, workDate + 7 - n};
    }
    case PeriodKind::Day:
        return {workDate, workDate};
    case PeriodKind::Whole:
        break;
    }
    return {wholeStart, wholeEnd};
}

} // namespace dorv
