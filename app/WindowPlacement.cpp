#include "WindowPlacement.h"

#include <QtGlobal>

namespace dorv {

QRect fitFrameIntoArea(const QRect& frame, const QRect& area)
{
    QRect out = frame;
    if (out.width() <= 0 || out.height() <= 0)
        out.setSize(FirstStartFrame.size());
    if (area.isEmpty())
        return out;
    out.setWidth(qMin(out.width(), area.width()));
    out.setHeight(qMin(out.height(), area.height()));
    // Moved in from the right and the bottom first, so that a frame too far either way keeps its
    // title bar and menus on the screen.
    out.moveLeft(qMax(area.left(), qMin(out.left(), area.right() - out.width() + 1)));
    out.moveTop(qMax(area.top(), qMin(out.top(), area.bottom() - out.height() + 1)));
    return out;
}

} // namespace dorv
