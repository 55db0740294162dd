#include "GridColours.h"

#include "data/Meanings.h"

namespace dorv {

CellColours DrawGridCell(int tag, const RowFacts& row, bool selected, const QPalette& palette, int todayDay,
                         int todayMonth, int tomorrowDay, int tomorrowMonth)
{
    QColor highlight = palette.color(QPalette::Base);
    QColor selectedBackground = palette.color(QPalette::Highlight);
    bool marked = false;
    switch (tag) {
    case 1:
    case 2:
        if (storedPlanned(row.kind)) {
            marked = true;
            highlight = QColor(205, 231, 231);
            selectedBackground = QColor(0, 255, 255);
        }
        break;
    case 3:
    case 4: {
        const bool known = row.day.isValid() && row.month.isValid();
        const int dy = row.day.toInt(), mn = row.month.toInt();
        if (known && ((dy == todayDay && mn == todayMonth) || (dy == tomorrowDay && mn == tomorrowMonth))) {
            marked = true;
            highlight = QColor(210, 255, 210);
            selectedBackground = QColor(0, 128, 0);
        }
        break;
    }
    case 5:
        if (row.mode == QLatin1String("1")) {
            marked = true;
            highlight = QColor(210, 255, 210);
            selectedBackground = QColor(0, 128, 0);
        } else if (row.mode == QLatin1String("2")) {
            marked = true;
            highlight = QColor(255, 219, 219);
            selectedBackground = QColor(128, 0, 0);
        }
        break;
    default:
        break;
    }
    CellColours c;
    if (marked) {
        c.background = highlight;
        c.text = tag < 3 ? QColor(0, 0, 255) : palette.color(QPalette::Text);
    } else {
        c.background = palette.color(QPalette::Base);
        c.text = palette.color(QPalette::Text);
    }
    if (selected) {
        if (marked) {
            c.background = selectedBackground;
        } else {
            c.background = palette.color(QPalette::Highlight);
            c.text = palette.color(QPalette::HighlightedText);
        }
    }
    return c;
}

} // namespace dorv
