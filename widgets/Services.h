#pragma once
#include "data/Meanings.h"

namespace dorv {

class Prompts;
class TDm;
class TFormCard;
class TMoneyState;
struct BirthdayPairs;

// What the windows need of the program around them, in one bundle: the data module, the prompts,
// the money page's state, and the steps only the main window can take. The main window provides
// it; each window keeps a reference and takes what it uses.
class Services {
public:
    Services(TDm& dataModule, Prompts& prompter, TMoneyState& moneyState)
        : dm(&dataModule), prompts(&prompter), state(&moneyState)
    {
    }
    Services(const Services&) = delete;
    Services& operator=(const Services&) = delete;

    TDm* const dm;
    Prompts* const prompts;
    TMoneyState* const state;

    // The one card, made the first time it is needed.
    virtual TFormCard* card() = 0;
    // The one date picker: the chosen day, or 0 when cancelled.
    virtual int pickDate(int initialDay) = 0;
    virtual void calculator() = 0;
    // The main window's views.
    virtual void showView(View view) = 0;
    virtual View currentView() const = 0;
    // Today's and tomorrow's day and month, as of the program's start.
    virtual BirthdayPairs birthdayPairs() const = 0;
    virtual void updateCommandStates() = 0;
    // The tables are to be packed when the database is next closed (an account was emptied).
    virtual void packOnClose() = 0;
    // The direction of the money page, for the windows below it that do not know its state.
    virtual bool expenseMode() const = 0;
    virtual bool incomeMode() const = 0;

protected:
    ~Services() = default;
};

} // namespace dorv
