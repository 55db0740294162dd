#pragma once

namespace dorv {

// The period kinds in the order of the period menu and combo box.
enum class PeriodKind { Whole = 0, Year, Month, Week, Day };

struct PeriodBounds {
    int start = 0; // day numbers, both included
    int end = 0;
};

// The bounds of the period of the given kind around the working date; weeks run Monday to Sunday.
PeriodBounds periodBounds(PeriodKind kind, int workDate, int wholeStart, int wholeEnd);

} // namespace dorv
