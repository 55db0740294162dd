#include "MoneyState.h"

namespace dorv {

TMoneyState::TMoneyState(QObject* parent) : QObject(parent) { setObjectName(QStringLiteral("MoneyState")); }

void TMoneyState::setWorkDate(int day)
{
    if (day == WorkDate)
        return;
    WorkDate = day;
    emit workDateChanged(day);
}

void TMoneyState::setPeriodKind(PeriodKind kind)
{
    if (kind == m_kind)
        return;
    m_kind = kind;
    emit periodKindChanged(kind);
}

void TMoneyState::setWholeRange(int start, int end)
{
    WholeStart = start;
    WholeEnd = end;
}

PeriodBounds TMoneyState::computeBounds()
{
    const PeriodBounds b = periodBounds(m_kind, WorkDate, WholeStart, WholeEnd);
    if (b.start != PeriodStart || b.end != PeriodEnd) {
        PeriodStart = b.start;
        PeriodEnd = b.end;
        emit boundsChanged(b.start, b.end);
    }
    return b;
}

void TMoneyState::setDirection(Direction direction)
{
    if (direction == m_direction)
        return;
    m_direction = direction;
    emit directionChanged(direction);
}

} // namespace dorv
