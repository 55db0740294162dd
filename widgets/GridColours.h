#pragma once
#include <QColor>
#include <QPalette>
#include <QString>
#include <QVariant>

namespace dorv {

// What a row tells the colouring rule: the history's kind, a person's day and month, a diary
// entry's reminder mode.
struct RowFacts {
    QString kind;        // tags 1, 2
    QVariant day, month; // tags 3, 4
    QString mode;        // tag 5
};

struct CellColours {
    QColor background;
    QColor text;
};

// The one row-colouring rule of the history-like grids, chosen by the grid's tag: planned
// operations (1, 2), birthdays of today or tomorrow (3, 4), diary reminders (5). selected means the
// cell is drawn as selected (with or without focus).
CellColours DrawGridCell(int tag, const RowFacts& row, bool selected, const QPalette& palette, int todayDay,
                         int todayMonth, int tomorrowDay, int tomorrowMonth);

} // namespace dorv
