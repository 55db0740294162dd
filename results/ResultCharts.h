#pragma once
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

class QCheckBox;
class QPainter;
class QRectF;
class QSpinBox;
class QStackedWidget;
class QToolButton;
class QWidget;

QT_BEGIN_NAMESPACE
class QChartView;
class QPieSeries;
class QPieSlice;
class QStackedBarSeries;
class QBarCategoryAxis;
class QValueAxis;
class QLineSeries;
QT_END_NAMESPACE

namespace dorv {

// The two charts of the results window, one point per result row: a pie on page ShPie and bars on
// page ShBar, both valued with the analysed column. Their small controls sit in their corners.
class TResultCharts final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int PieMarks READ pieMarks)
    Q_PROPERTY(int BarMarks READ barMarks)
public:
    explicit TResultCharts(QStackedWidget* pages);

    // The rows: name and value; the pie shows the size of each value.
    void setPoints(const QList<QPair<QString, double>>& points);
    // 0 labels, 1 labels with percentages, 2 none (pie); 0 hidden, 1 percentages, 2 labels (bars).
    int pieMarks() const { return m_pieMarks; }
    int barMarks() const { return m_barMarks; }
    void cyclePieMarks();
    void cycleBarMarks();
    // The price chart of the detail pane: a green line of the statement's prices over its dates.
    QChartView* makePriceChart(QWidget* page);
    void setPricePoints(const QList<QPair<QString, double>>& points);
    QLineSeries* priceSeries() const { return m_prices; }
    double pieZoom() const;
    QPieSeries* pieSeries() const { return m_pie; }
    QStackedBarSeries* barSeries() const { return m_bars; }
    double pieRotation() const;
    // Draws the pie (tag 1) or the bars (tag 2) across a page: laid out anew at the page's
    // proportions, the names fitted to it, then put back as the window shows it.
    void renderOnPage(int tag, QPainter& painter, const QRectF& page);

signals:
    // A chart's print button: 1 the pie, 2 the bars.
    void printClicked(int tag);

private:
    QWidget* ShPie;
    QWidget* ShBar;
    QChartView* DBChPie;
    QChartView* DBChBar;
    QCheckBox* ChLegPie;
    QSpinBox* UdZoom;
    QSpinBox* UdRot;
    QToolButton* ButBar;
    QToolButton* ButPrnPie;
    QCheckBox* ChLegBar;
    QToolButton* ButPie;
    QToolButton* ButPrnBar;

    void applyPieMarks();
    void applyBarMarks();
    void fitBarNames();
    void fitPie();

    QStackedWidget* m_pages;
    QPieSeries* m_pie;
    QStackedBarSeries* m_bars;
    QBarCategoryAxis* m_names;
    QValueAxis* m_values;
    QLineSeries* m_prices = nullptr;
    QBarCategoryAxis* m_priceDates = nullptr;
    QValueAxis* m_priceValues = nullptr;
    QList<QPair<QString, double>> m_points;
    QStringList m_barNames; // the names under the bars as the marks want them, before any cut
    int m_zoom = 100;
    int m_pieMarks = 0;
    int m_barMarks = 0;
};

} // namespace dorv
