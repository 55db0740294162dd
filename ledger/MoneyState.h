#pragma once
#include "Period.h"

#include <QObject>

namespace dorv {

// The state of the money page in one place: the working date, the period kind and its bounds, the
// whole range and the direction of the category pane. The money page changes it; the card, the
// results window and the diary read it and follow its signals. Nobody learns it from a check mark.
class TMoneyState final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int WorkDate READ workDate WRITE setWorkDate NOTIFY workDateChanged)
    Q_PROPERTY(int PeriodStart READ periodStart NOTIFY boundsChanged)
    Q_PROPERTY(int PeriodEnd READ periodEnd NOTIFY boundsChanged)
    Q_PROPERTY(int WholeStart READ wholeStart CONSTANT)
    Q_PROPERTY(int WholeEnd READ wholeEnd CONSTANT)
public:
    enum class Direction { Expense, Income, None };
    Q_ENUM(Direction)

    explicit TMoneyState(QObject* parent = nullptr);

    // Day numbers on the program's day scale.
    int workDate() const { return WorkDate; }
    void setWorkDate(int day);
    PeriodKind periodKind() const { return m_kind; }
    void setPeriodKind(PeriodKind kind);
    int periodStart() const { return PeriodStart; }
    int periodEnd() const { return PeriodEnd; }
    int wholeStart() const { return WholeStart; }
    int wholeEnd() const { return WholeEnd; }
    // Fixed once, when the main window is made.
    void setWholeRange(int start, int end);
    // The bounds of the period kind around the working date; stored and announced.
    PeriodBounds computeBounds();

    Direction direction() const { return m_direction; }
    void setDirection(Direction direction);
    bool expenseMode() const { return m_direction == Direction::Expense; }
    bool incomeMode() const { return m_direction == Direction::Income; }
    // The category pane is shown: expense or income mode.
    bool modeOn() const { return m_direction != Direction::None; }

    // Plain fields for the main window's own names of them; the setters above announce changes.
    int WorkDate = 0;
    int WholeStart = 0;
    int WholeEnd = 0;
    int PeriodStart = 0;
    int PeriodEnd = 0;

signals:
    void workDateChanged(int day);
    void periodKindChanged(dorv::PeriodKind kind);
    void boundsChanged(int start, int end);
    void directionChanged(dorv::TMoneyState::Direction direction);

private:
    PeriodKind m_kind = PeriodKind::Whole;
    Direction m_direction = Direction::Expense;
};

} // namespace dorv
