#pragma once
#include "ResultsQuery.h"
#include "widgets/Services.h"

#include <QDialog>

#include <memory>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QSpinBox;
class QStackedWidget;
class QStatusBar;
class QToolButton;

namespace dorv {

class Prompts;
class Query;
class Table;
class TableModel;
class TDbGrid;
class TDm;
class TResultCharts;
class TChartPrinter;

// The results window: the grouped sums of one account and a date range, drilled down by category,
// person or place, with their totals and a pie and a bar chart of one chosen column.
class TFormRest final : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int DrillStep READ drillStep)
    Q_PROPERTY(int Dimension1 READ dimension1)
    Q_PROPERTY(int Dimension2 READ dimension2)
    Q_PROPERTY(int Dimension3 READ dimension3)
    Q_PROPERTY(int GroupBy READ groupBy)
    Q_PROPERTY(int ItemLevel READ itemLevel)
    Q_PROPERTY(int SideFilter READ sideFilter)
    Q_PROPERTY(qint64 Level1Id READ level1Id)
    Q_PROPERTY(qint64 Level2Id READ level2Id)
    Q_PROPERTY(qint64 PersonId READ personId)
    Q_PROPERTY(qint64 FirmId READ firmId)
    Q_PROPERTY(QString Level1Name READ level1Name)
    Q_PROPERTY(QString Level2Name READ level2Name)
    Q_PROPERTY(QString PersonName READ personName)
    Q_PROPERTY(QString FirmName READ firmName)
    Q_PROPERTY(bool Rebuilding MEMBER Rebuilding)
    Q_PROPERTY(int DateFrom MEMBER DateFrom)
    Q_PROPERTY(int DateTo MEMBER DateTo)
    Q_PROPERTY(QString DetailFilter MEMBER DetailFilter)
    Q_PROPERTY(qint64 LimitValue READ limitValue)
    Q_PROPERTY(int AnalysisMode READ analysisMode)
    Q_PROPERTY(bool RowHasData MEMBER RowHasData)
public:
    TFormRest(Services& host, QWidget* parent = nullptr);
    ~TFormRest() override;

    ResultsState state;
    bool Rebuilding = false;
    bool RowHasData = false;
    int DateFrom = 0, DateTo = 0;
    QString DetailFilter;

    int drillStep() const { return state.DrillStep; }
    int dimension1() const { return int(state.Dimension1); }
    int dimension2() const { return int(state.Dimension2); }
    int dimension3() const { return int(state.Dimension3); }
    int groupBy() const { return int(state.GroupBy); }
    int itemLevel() const { return state.ItemLevel; }
    int sideFilter() const { return state.SideFilter; }
    qint64 level1Id() const { return state.Level1Id; }
    qint64 level2Id() const { return state.Level2Id; }
    qint64 personId() const { return state.PersonId; }
    qint64 firmId() const { return state.FirmId; }
    QString level1Name() const { return state.Level1Name; }
    QString level2Name() const { return state.Level2Name; }
    QString personName() const { return state.PersonName; }
    QString firmName() const { return state.FirmName; }
    qint64 limitValue() const;
    int analysisMode() const { return m_analysis; }

    // The opener's part: the account line, the range and the account.
    void setAccount(const QString& line, qint64 accountId);
    void setRange(int from, int to);
    // The account whose operations the statement lists (results mode: the one of setAccount).
    void setAccountId(qint64 accountId) { m_account = accountId; }
    // The rows the statement lists, as a filter of the history (the category statement's category).
    void setStatementFilter(const QString& filter);

    void ApplyDetailRange();
    void ButDetailClick();
    void pageClicked(int tag);
    void gotoOperation();
    // The groups of the current step with their totals, or the statement shown, to a file.
    void exportResults();
    void exportStatement();
    // The price chart's points: the dates and prices of the statement's priced rows.
    QList<QPair<QString, double>> pricePoints() const;

    void RebuildResults();
    void UpdateResultTotals();
    void SetAnalysisMode(int mode);
    void QResAfterScroll();
    void dimensionClicked(Dimension d);
    void drillDown();
    void drillUp();
    void stepTo(int step);
    void mpLimitValueClick();
    void dateClicked(int tag);
    void sortClicked(QAction* item);
    QString panelText(int panel) const;
    // The printed report of the current rows (empty when there are none).
    bool buildReport(class TQr* report) const;
    void mpPrintClick();
    void printChart(int tag);
    // How the charts reach paper; tests give it a printer of their own.
    TChartPrinter& chartPrinter() const { return *m_chartPrinter; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildTools();
    void buildLeft();
    void buildMenu();
    void buildDetail();
    void applyColumnColours();
    void showDates();
    void reloadCharts();
    void applyDetailFilter();
    void reloadPrices();
    void showStatementOnly();

    // Components, by their names (objectName); tests find them by these.
    QWidget* PanRest;
    QToolButton *ButWhat, *ButWho, *ButWhere, *ButUp, *ButDn, *ButDetail, *ButTable, *ButPrice;
    QComboBox* CbReal;
    QLabel* Lab;
    QToolButton *ButDate1, *ButDate2;
    QWidget* PanLeft;
    TDbGrid* DBGRes;
    QToolButton* TbPm;
    QStatusBar* Sb;
    QStackedWidget* PgChart;
    QStackedWidget* PgDetail;
    QWidget* ShDet;
    QWidget* ShPrice;
    TDbGrid* DBGDet;
    QStatusBar* SbDet;
    QWidget* DBChPrice;
    Table* Tb_Detail;
    TResultCharts* Charts;
    QMenu* Pm;
    QAction *mpSortName, *mpSortDebit, *mpSortCredit, *mpAnalysDebit, *mpAnalysCredit, *mpAnalysBalance, *mpLimitValue,
        *mpLimitDebit, *mpLimitCredit, *mpPrint, *mpResExport;
    // The statement's popup: its rows to a file.
    QMenu* PmDet;
    QAction* mpDetExport;
    Query* QRes;

    Services& m_host;
    std::unique_ptr<TChartPrinter> m_chartPrinter;
    TableModel* m_model = nullptr;
    QActionGroup* m_dimensions = nullptr;
    int m_analysis = 2;
    bool m_downByStep = true;
    qint64 m_account = 0;
    QWidget* m_splitter = nullptr;
    bool m_shown = false;
};

} // namespace dorv
