#pragma once
#include "ContactFilters.h"
#include "data/Meanings.h"

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
    // The main window's views.
    std::function<void(View)> showView;
    std::function<View()> currentView;
    // The birthday pairs of the program's start.
    std::function<BirthdayPairs()> pairs;
};

} // namespace dorv
