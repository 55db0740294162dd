#pragma once
#include "ContactFilters.h"

#include <functional>

namespace dorv {

class Prompts;
class TDm;

// What the people, firms and diary views need of the program around them.
struct ContactsHost {
    TDm* dm = nullptr;
    Prompts* prompts = nullptr;
    // The one date picker: returns the chosen day, or 0 when cancelled.
    std::function<int(int)> pickDate;
    // The main window's views: 0 money, 1 people, 2 firms, 3 diary.
    std::function<void(int)> showView;
    std::function<int()> currentView;
    // The birthday pairs of the program's start.
    std::function<BirthdayPairs()> pairs;
};

} // namespace dorv
