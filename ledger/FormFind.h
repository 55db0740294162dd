#pragma once
#include "find/OperationSearch.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QStandardItemModel;
class QStatusBar;
class QTableView;
class QTimer;
class QToolButton;

namespace dorv {

class Services;

// "Поиск операций": the operations of every account found by a text, an amount, a date range and
// their kind, shown while the user types. Choosing a row closes the window with its key; the frame
// then shows that operation in the history.
class TFormFind final : public QDialog {
    Q_OBJECT
public:
    TFormFind(Services& host, qint64 currentAccount, QWidget* parent = nullptr);

    // The criteria as the controls say; empty when an amount is no number.
    std::optional<FindCriteria> criteria() const;
    // Runs the search now rather than after the typing pause.
    void search();
    // The operation chosen by a double click or Enter.
    const std::optional<FoundOperation>& chosen() const { return m_chosen; }

private:
    void buildControls();
    void pickBound(bool from);
    void choose(int row);
    void show(const FindResult& result);

    Services& m_host;
    qint64 m_currentAccount;
    QLineEdit *EdFindText = nullptr, *EdFindFrom = nullptr, *EdFindTo = nullptr;
    QToolButton *ButFindDateFrom = nullptr, *ButFindDateTo = nullptr;
    QCheckBox *ChFindCurrent = nullptr, *ChFindReal = nullptr, *ChFindPlanned = nullptr;
    QTableView* DBGFind = nullptr;
    QStandardItemModel* m_model = nullptr;
    QStatusBar* SbFind = nullptr;
    QLabel *m_count = nullptr, *m_income = nullptr, *m_expense = nullptr;
    QTimer* TmFind = nullptr;
    std::optional<int> m_dateFrom, m_dateTo;
    QList<FoundOperation> m_rows;
    std::optional<FoundOperation> m_chosen;
};

} // namespace dorv
