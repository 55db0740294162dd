#pragma once
#include "MoneyState.h"
#include "data/Meanings.h"
#include "widgets/DbGrid.h"
#include "widgets/Services.h"

#include <QWidget>

class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeWidget;

namespace dorv {

class Prompts;
class TCategoryPane;
class TDm;
class TFormCard;
class Table;
class TableModel;
class TOperationEditor;
class TCategoryEditor;

// The money page: the money tool bar with the current account, the period and the working date;
// the category pane beside the history grid; the status bar with the period's totals. It owns the
// money commands; the main window only places them in its menus.
class TMoneyView final : public QWidget {
    Q_OBJECT
public:
    TMoneyView(Services& host, QWidget* parent = nullptr);
    ~TMoneyView() override;

    TMoneyState& state() const { return *m_host.state; }

    // A command of the page (its own or its category pane's), by its menu or popup name.
    QAction* command(const QString& name) const;
    // The period items in the order of the period kinds.
    QList<QAction*> periodItems() const;
    // The parts the main window and the operation editing work with.
    TCategoryPane& categoryPane() const { return *Pgd; }
    TDbGrid* historyGrid() const { return DBG; }
    TableModel* historyModel() const { return histModel; }
    // The width of the category pane beside the grid, as the settings keep it.
    int categoryWidth() const;
    void setCategoryWidth(int width, int total);

    const int& PeriodStart;
    const int& PeriodEnd;
    qint64 OpeningBalance = 0; // ten-thousandths
    PeriodKind periodKind() const { return state().periodKind(); }
    QString panelText(int panel) const;
    // The category pane is shown: expense or income mode.
    bool modeOn() const { return state().modeOn(); }

    // Handlers.
    void ButAccClick();
    void mTotalClick(QAction* sender);
    void CbPerClick();
    void ApplyPeriod();
    void SetHistoryRange(Table& table);
    void UpdateTotals(bool recomputeOpening, qint64 restDelta);
    void ButDateClick();
    void ButPrevClick(int tag);
    void mDtClick(QAction* sender);
    void ButCtClick(QToolButton* sender);
    void SwitchDirection();
    void DBGDblClick();
    void mMoneyNewClick();
    void mMoneyEditClick();
    void mMoneyDeleteClick();
    void mUpdateClick();
    // The history of the current account and period, to a workbook or CSV file.
    void exportHistory();
    // Empties the current account's history, keeping or zeroing its balance.
    void mEmptyHistClick();
    // Opens the results window for the current account and period.
    void ButResultClick();
    // The statement of the selected category for the current account and period.
    void mCategoryViewClick();
    TOperationEditor& editor() const { return *m_editor; }
    TCategoryEditor& categoryEditor() const { return *m_categories; }
    // Opening a database: expense mode, the trees emptied and filled, the first expense node chosen.
    void ResetForOpen();
    void ResetTrees();
    // The history shows nothing until a period is applied (when applying it failed).
    void ShowNoHistory();
    // Closing one: empty the trees and the four value panels.
    void ClearForClose();
    void showWorkDate();
    // The grid's own column widths: the fields' display widths, the date 77 pixels.
    void applyDefaultWidths();
    void setPanel(int panel, const QString& text);
    // The splitter's colour tells which side has the focus.
    QColor splitterColour() const { return m_splitterColour; }

signals:
    // The operation card is to open: new or to edit. The operation editing listens.
    void operationCardRequested(dorv::CardMode mode);

private:
    // Components, by their names (objectName); tests find them by these. The commands of the page,
    // by their menu names.
    QAction *mCt = nullptr, *mDt = nullptr, *mAccounts = nullptr;
    QAction *mMoneyNew = nullptr, *mMoneyEdit = nullptr, *mMoneyDelete = nullptr, *mUpdate = nullptr;
    QAction *mTotal = nullptr, *mYear = nullptr, *mMonth = nullptr, *mWeek = nullptr, *mDay = nullptr;
    QAction *mResult = nullptr, *mEmptyHist = nullptr, *mCheck = nullptr;
    // The history grid's popup and its items.
    QMenu* PmHist = nullptr;
    QAction *mpMoneyNew = nullptr, *mpMoneyEdit = nullptr, *mpMoneyDelete = nullptr, *mpUpdate = nullptr;
    QAction* mpExport = nullptr;

    QToolBar* TbMoney = nullptr;
    QFrame* PanAcc = nullptr;
    QLabel *DBTAccount = nullptr, *DBTRest = nullptr, *DBTCurrency = nullptr;
    QToolButton* ButAcc = nullptr;
    QComboBox* CbPer = nullptr;
    QFrame* PanDate = nullptr;
    QToolButton *ButPrev = nullptr, *ButDate = nullptr, *ButNext = nullptr;
    QToolButton *ButCt = nullptr, *ButDt = nullptr, *ButResult = nullptr;
    QSplitter* Splitter1 = nullptr;
    TCategoryPane* Pgd = nullptr;
    TDbGrid* DBG = nullptr;
    TableModel* histModel = nullptr;
    QStatusBar* Sb = nullptr;

    void buildActions();
    void buildToolBar();
    void refreshAccountLabels();
    void setSplitterColour(const QColor& colour);
    void setBalanceColour(bool negative);
    // The direction and period items follow the state, however it changed.
    void followDirection();
    void followPeriodKind();

    void buildPopup();

    Services& m_host;
    TOperationEditor* m_editor = nullptr;
    TCategoryEditor* m_categories = nullptr;
    QActionGroup* m_modeGroup = nullptr;
    QActionGroup* m_rangeGroup = nullptr;
    QLabel* m_panels[8] = {};
    QColor m_splitterColour;
};

} // namespace dorv
