#pragma once
#include <QRect>

namespace dorv {

// The outer frame of the main window at a first start (and after the settings were cleared).
inline constexpr QRect FirstStartFrame(20, 1, 767, 564);

// Where a window's outer frame (title bar included) may stand in a screen's available area: moved
// in until its top left corner and as much of it as fits lie inside, and no larger than the area.
// A frame without a size (a store edited by hand) takes the size of a first start. An empty area
// (a screen that tells none) leaves the frame as it is.
QRect fitFrameIntoArea(const QRect& frame, const QRect& area);

} // namespace dorv
