#pragma once
#include <QDateTime>

namespace dorv {

// The one clock every "today" and "now" of the program reads. Tests pin it to a chosen moment
// (29 February, 31 December) without touching the system time.
class Clock final {
public:
    static QDateTime now();
    static QDate today() { return now().date(); }
    // Pins the clock; the pinned time then advances with the real one, so that moments taken one
    // after the other still differ.
    static void pin(const QDateTime& moment);
    static void unpin();
};

} // namespace dorv
