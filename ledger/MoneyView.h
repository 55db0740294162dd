#pragma once
#include "DbGrid.h"
#include "Period.h"

#include <QWidget>

#include <functional>

class QAction;
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

// What the money page needs of the main window.
struct MoneyHost {
    TDm* dm = nullptr;
    Prompts* prompts = nullptr;
    int* workDate = nullptr;
    const int* wholeStart = nullptr;
    const int* wholeEnd = nullptr;
    std::function<TFormCard*()> card;
    std::function<int(int)> pickDate;
    std::function<void()> updateCommandStates;
    std::function<QAction*(const QString&)> action; // main menu items by name
    QMenu* categoryMenu = nullptr;
};

// The money page: the money tool bar with the current account, the period and the working date;
// the category pane beside the history grid; the status bar with the period's totals.
class TMoneyView final : public QWidget {
    Q_OBJECT
public:
    TMoneyView(const MoneyHost& host, QWidget* parent = nullptr);

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

    int PeriodStart = 0, PeriodEnd = 0;
    qint64 OpeningBalance = 0; // ten-thousandths
    PeriodKind periodKind() const;
    QString panelText(int panel) const;
    // The category pane is shown: expense or income mode.
    bool modeOn() const;

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
    // Opening a database: empty and fill both trees, select the first expense node.
    void ResetTrees();
    // Closing one: empty the trees and the four value panels.
    void ClearForClose();
    void showWorkDate();
    // The grid's own column widths: the fields' display widths, the date 77 pixels.
    void applyDefaultWidths();
    void setPanel(int panel, const QString& text);
    // Runs a handler as an event of the page.
    void guarded(const std::function<void()>& handler);

    // Opens the operation card: 1 new, 3 edit; the operation editing hooks in here.
    std::function<void(int mode)> openOperationCard;

private:
    void refreshAccountLabels();
    void setSplitterColour(const QColor& colour);
    void buildToolBar();

    MoneyHost m_host;
    QLabel* m_panels[8] = {};
};

} // namespace dorv
