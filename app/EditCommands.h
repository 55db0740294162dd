#pragma once
#include <QObject>

class QAction;

namespace dorv {

class Journal;
class TFormMain;
struct TouchedRow;

// The main window's "Правка" commands: undo and redo of the journal's steps, menu texts that
// name them, and every view brought in line with the data after either. The steps begin when
// data is opened and end when it is closed; saving keeps them.
class TEditCommands final : public QObject {
    Q_OBJECT
public:
    explicit TEditCommands(TFormMain& main);
    ~TEditCommands() override;

    QAction* mUndo = nullptr;
    QAction* mRedo = nullptr;
    Journal& journal() const { return *m_journal; }

    void mUndoClick();
    void mRedoClick();
    // The data was opened; it is about to be closed.
    void dataOpened();
    void dataClosing();
    // Every view shows the data as it now is: the tables read again, the category trees filled
    // anew, the account's labels and the period's totals, the address book's grids.
    void refreshViews();

private:
    void step(bool back);
    // The row an undo or redo touched becomes the current one of its view.
    void showTouched(const TouchedRow& row);
    void updateActions();

    TFormMain& m_main;
    Journal* m_journal;
};

} // namespace dorv
