#pragma once
#include <QString>

namespace dorv {

class TDm;

// What the command rules look at: which tables are open, whether the history shows rows, the
// direction mode, and the current history row.
struct CommandFacts {
    bool itemsOpen = false;
    bool accountsOpen = false;
    bool historyOpen = false;
    bool historyHasRows = false;
    bool modeOn = false;       // the category pane is shown: expense or income mode
    bool receivingRow = false; // the current row is the receiving row of a transfer
    QString kind;              // the current row's Kind
    int dateReal = 0;          // the current row's Date_Real (0 when none)
    int today = 0;
};

// Which of the main window's commands are available.
struct CommandStates {
    bool category = false;    // mCategory
    bool money = false;       // mMoney
    bool view = false;        // mView
    bool moneyNew = false;    // mMoneyNew, mpMoneyNew
    bool moneyDelete = false; // mMoneyDelete, mpMoneyDelete
    bool moneyEdit = false;   // mMoneyEdit, mpMoneyEdit
    bool update = false;      // mUpdate, mpUpdate
    bool save = false;        // mSave, mSaveAs, mEmptyHist, mPassword
    bool result = false;      // mResult, ButResult
    bool accounts = false;    // ButAcc
};

// The rules in their order; later ones read what earlier ones decided.
CommandStates UpdateCommandStates(const CommandFacts& facts);

// The facts as the data module holds them now.
CommandFacts commandFactsOf(TDm& dm, bool modeOn, int today);

} // namespace dorv
