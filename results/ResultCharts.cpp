#include "ResultCharts.h"

#include "util/Money.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLegend>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QSpinBox>
#include <QStackedBarSeries>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>

namespace dorv {

namespace {

QChartView* makeView(const QString& name, QChart* chart, QWidget* page)
{
    auto* view = new QChartView(chart, page);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    chart->legend()->setVisible(false);
    QFont legend(QStringLiteral("Times New Roman"));
    legend.setPixelSize(9);
    chart->legend()->setFont(legend);
    chart->setMargins(QMargins(0, 0, 0, 0));
    return view;
}

// The pie's usual share of the chart, and the least it shrinks to so that its names stand whole.
constexpr double PieSize = 0.7;
constexpr double SmallestPie = 0.35;
// The space the charts keep between a name and the chart's edge, and between two names.
constexpr double NamePadding = 6;
constexpr double NameGap = 4;
// The width a chart is laid out at for paper: about a screen's, so that its texts keep their
// proportion to it there.
constexpr double PaperWidth = 1000;

QToolButton* makeButton(const QString& name, const QString& text, int tag, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setProperty("tag", tag);
    return b;
}

// The axis keeps each name once: two people of one name must still stand under their own bars.
QString uniqueName(const QStringList& taken, QString name)
{
    while (taken.contains(name))
        name += QLatin1Char(' ');
    return name;
}

// An empty group still has a name to stand under its bar.
QString shownName(const QString& name) { return name.isEmpty() ? QStringLiteral("—") : name; }

} // namespace

TResultCharts::TResultCharts(QStackedWidget* pages) : QObject(pages), m_pages(pages)
{
    setObjectName(QStringLiteral("ResultCharts"));
    ShPie = new QWidget(pages);
    ShPie->setObjectName(QStringLiteral("ShPie"));
    ShBar = new QWidget(pages);
    ShBar->setObjectName(QStringLiteral("ShBar"));
    pages->addWidget(ShPie);
    pages->addWidget(ShBar);

    auto* pie = new QChart;
    m_pie = new QPieSeries(pie);
    m_pie->setObjectName(QStringLiteral("PieSeries"));
    pie->addSeries(m_pie);
    DBChPie = makeView(QStringLiteral("DBChPie"), pie, ShPie);
    auto* pieLayout = new QVBoxLayout(ShPie);
    pieLayout->setContentsMargins(0, 0, 0, 0);
    auto* pieTools = new QHBoxLayout;
    ChLegPie = new QCheckBox(ShPie);
    ChLegPie->setObjectName(QStringLiteral("ChLegPie"));
    ChLegPie->setToolTip(QStringLiteral("Информация"));
    UdZoom = new QSpinBox(ShPie);
    UdZoom->setObjectName(QStringLiteral("UdZoom"));
    UdZoom->setToolTip(QStringLiteral("Масштаб"));
    UdZoom->setRange(1, 200);
    UdZoom->setValue(100);
    UdRot = new QSpinBox(ShPie);
    UdRot->setObjectName(QStringLiteral("UdRot"));
    UdRot->setToolTip(QStringLiteral("Поворот"));
    UdRot->setRange(0, 360);
    UdRot->setSingleStep(5);
    UdRot->setWrapping(false);
    ButBar = makeButton(QStringLiteral("ButBar"), QStringLiteral("Столбцы"), 1, ShPie);
    ButPrnPie = makeButton(QStringLiteral("ButPrnPie"), QStringLiteral("Печать"), 1, ShPie);
    for (QWidget* w : {static_cast<QWidget*>(ChLegPie), static_cast<QWidget*>(UdZoom), static_cast<QWidget*>(UdRot),
                       static_cast<QWidget*>(ButBar), static_cast<QWidget*>(ButPrnPie)})
        pieTools->addWidget(w);
    pieTools->addStretch(1);
    pieLayout->addLayout(pieTools);
    pieLayout->addWidget(DBChPie, 1);

    auto* bar = new QChart;
    m_bars = new QStackedBarSeries(bar);
    m_bars->setObjectName(QStringLiteral("BarSeries"));
    m_bars->setBarWidth(0.4);
    bar->addSeries(m_bars);
    m_names = new QBarCategoryAxis(bar);
    m_names->setGridLineVisible(false);
    // The axis would cut a name at a fraction of its slot; the names are fitted to their slots here.
    m_names->setTruncateLabels(false);
    m_values = new QValueAxis(bar);
    m_values->setLabelFormat(QStringLiteral("%.2f"));
    bar->addAxis(m_names, Qt::AlignBottom);
    bar->addAxis(m_values, Qt::AlignLeft);
    m_bars->attachAxis(m_names);
    m_bars->attachAxis(m_values);
    DBChBar = makeView(QStringLiteral("DBChBar"), bar, ShBar);
    DBChBar->setRubberBand(QChartView::RectangleRubberBand);
    // The bars and their axes stand at once: an animation would show a half-drawn chart to whoever
    // looks (or prints) right after the rows changed.
    bar->setAnimationOptions(QChart::NoAnimation);
    auto* barLayout = new QVBoxLayout(ShBar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    auto* barTools = new QHBoxLayout;
    ChLegBar = new QCheckBox(ShBar);
    ChLegBar->setObjectName(QStringLiteral("ChLegBar"));
    ChLegBar->setToolTip(QStringLiteral("Информация"));
    ButPie = makeButton(QStringLiteral("ButPie"), QStringLiteral("Круг"), 0, ShBar);
    ButPrnBar = makeButton(QStringLiteral("ButPrnBar"), QStringLiteral("Печать"), 2, ShBar);
    for (QWidget* w :
         {static_cast<QWidget*>(ChLegBar), static_cast<QWidget*>(ButPie), static_cast<QWidget*>(ButPrnBar)})
        barTools->addWidget(w);
    barTools->addStretch(1);
    barLayout->addLayout(barTools);
    barLayout->addWidget(DBChBar, 1);

    connect(ChLegPie, &QCheckBox::toggled, this, [this](bool on) { DBChPie->chart()->legend()->setVisible(on); });
    connect(ChLegBar, &QCheckBox::toggled, this, [this](bool on) { DBChBar->chart()->legend()->setVisible(on); });
    connect(UdZoom, &QSpinBox::valueChanged, this, [this](int zoom) {
        m_zoom = zoom;
        fitPie();
    });
    // Fitted once the chart has laid itself out, not in the middle of it.
    connect(
        pie, &QChart::plotAreaChanged, this, [this] { fitPie(); }, Qt::QueuedConnection);
    connect(
        bar, &QChart::plotAreaChanged, this, [this] { fitBarNames(); }, Qt::QueuedConnection);
    connect(UdRot, &QSpinBox::valueChanged, this, [this](int angle) {
        m_pie->setPieStartAngle(angle);
        m_pie->setPieEndAngle(angle + 360);
    });
    connect(ButBar, &QToolButton::clicked, this, [this] { m_pages->setCurrentWidget(ShBar); });
    connect(ButPie, &QToolButton::clicked, this, [this] { m_pages->setCurrentWidget(ShPie); });
    for (QToolButton* b : {ButPrnPie, ButPrnBar}) {
        const int tag = b->property("tag").toInt();
        connect(b, &QToolButton::clicked, this, [this, tag] { emit printClicked(tag); });
    }
    connect(m_pie, &QPieSeries::clicked, this, [this] { cyclePieMarks(); });
    connect(m_bars, &QStackedBarSeries::clicked, this, [this] { cycleBarMarks(); });
    m_pie->setPieSize(PieSize);
}

QChartView* TResultCharts::makePriceChart(QWidget* page)
{
    auto* chart = new QChart;
    m_prices = new QLineSeries(chart);
    m_prices->setObjectName(QStringLiteral("PriceSeries"));
    QPen pen(QColor(0, 128, 0));
    pen.setWidth(3);
    m_prices->setPen(pen);
    m_prices->setPointLabelsVisible(false);
    chart->addSeries(m_prices);
    m_priceDates = new QBarCategoryAxis(chart);
    m_priceDates->setGridLineVisible(false);
    m_priceValues = new QValueAxis(chart);
    m_priceValues->setLabelFormat(QStringLiteral("%.2f"));
    chart->addAxis(m_priceDates, Qt::AlignBottom);
    chart->addAxis(m_priceValues, Qt::AlignLeft);
    m_prices->attachAxis(m_priceDates);
    m_prices->attachAxis(m_priceValues);
    auto* view = makeView(QStringLiteral("DBChPrice"), chart, page);
    view->setRubberBand(QChartView::RectangleRubberBand);
    return view;
}

void TResultCharts::setPricePoints(const QList<QPair<QString, double>>& points)
{
    if (!m_prices)
        return;
    m_prices->clear();
    QStringList dates;
    double lo = 0, hi = 0;
    for (int i = 0; i < points.size(); ++i) {
        // The same date may come twice: the axis needs each label once, so later ones are marked.
        QString label = points[i].first;
        while (dates.contains(label))
            label += QLatin1Char(' ');
        dates << label;
        m_prices->append(i, points[i].second);
        lo = i == 0 ? points[i].second : qMin(lo, points[i].second);
        hi = i == 0 ? points[i].second : qMax(hi, points[i].second);
    }
    m_priceDates->setCategories(dates);
    m_priceValues->setRange(qMin(0.0, lo), hi > lo ? hi : lo + 1);
}

double TResultCharts::pieZoom() const { return m_zoom; }

double TResultCharts::pieRotation() const { return m_pie->pieStartAngle(); }

void TResultCharts::renderOnPage(int tag, QPainter& painter, const QRectF& page)
{
    QChartView* view = tag == 1 ? DBChPie : DBChBar;
    QChart* chart = view->chart();
    const QRectF shown = chart->geometry();
    const QRectF paper(shown.topLeft(), QSizeF(PaperWidth, PaperWidth * page.height() / page.width()));
    auto layOut = [&](const QRectF& rect) {
        chart->setGeometry(rect);
        chart->layout()->activate();
        if (tag == 1)
            fitPie();
        else
            fitBarNames();
        chart->layout()->activate();
    };
    layOut(paper);
    view->scene()->render(&painter, page, paper);
    layOut(shown);
}

void TResultCharts::setPoints(const QList<QPair<QString, double>>& points)
{
    m_points = points;
    m_pie->clear();
    m_bars->clear();
    double lo = 0, hi = 0;
    for (int i = 0; i < points.size(); ++i) {
        const auto& [name, value] = points[i];
        // A slice shows how big a value is; a balance below zero is as big as it is negative.
        QPieSlice* slice = m_pie->append(name, std::fabs(value));
        slice->setProperty("name", name);
        // The legend draws the names as rich text: a name is shown as typed.
        auto* set = new QBarSet(name.toHtmlEscaped());
        // A value is often wider than its bar: in the text colour it reads on the bar and beside it.
        set->setLabelColor(DBChBar->palette().color(QPalette::WindowText));
        for (int j = 0; j < points.size(); ++j)
            *set << (j == i ? value : 0.0);
        m_bars->append(set);
        lo = qMin(lo, value);
        hi = qMax(hi, value);
    }
    m_values->setRange(lo, hi > lo ? hi : lo + 1);
    applyPieMarks();
    applyBarMarks();
}

void TResultCharts::cyclePieMarks()
{
    m_pieMarks = (m_pieMarks + 1) % 3;
    applyPieMarks();
}

void TResultCharts::cycleBarMarks()
{
    m_barMarks = (m_barMarks + 1) % 3;
    applyBarMarks();
}

void TResultCharts::applyPieMarks()
{
    for (QPieSlice* slice : m_pie->slices()) {
        const QString name = slice->property("name").toString();
        // The pie draws its labels as rich text: a name is shown as typed, "<" and "&" too.
        const QString label =
            m_pieMarks == 1 ? QStringLiteral("%1 %2%").arg(name).arg(std::lround(slice->percentage() * 100)) : name;
        slice->setLabel(label.toHtmlEscaped());
        slice->setProperty("shownLabel", label);
        // A slice of nothing has no place of its own: its label would sit on its neighbours'.
        slice->setLabelVisible(m_pieMarks != 2 && slice->value() > 0);
    }
    fitPie();
}

void TResultCharts::fitPie()
{
    // The names stand on arms beside the pie: where the chart is too narrow for them, the pie
    // leaves them room, down to half its usual size; beyond that a long name is cut at the edge.
    const QRectF area = DBChPie->chart()->plotArea();
    const double across = qMin(area.width(), area.height());
    double widest = 0, tallest = 0, arm = 0;
    for (QPieSlice* slice : m_pie->slices()) {
        if (!slice->isLabelVisible())
            continue;
        const QFontMetricsF metrics(slice->labelFont());
        widest = qMax(widest, metrics.horizontalAdvance(slice->property("shownLabel").toString()));
        tallest = qMax(tallest, metrics.height());
        arm = qMax(arm, slice->labelArmLengthFactor());
    }
    double size = PieSize;
    if (widest > 0 && across > 0) {
        const double radius = qMin(area.width() / 2 - widest, area.height() / 2 - tallest) - NamePadding;
        size = qBound(SmallestPie, 2 * radius / (1 + arm) / across, PieSize);
    }
    m_pie->setPieSize(size * m_zoom / 100.0);
}

void TResultCharts::applyBarMarks()
{
    double total = 0;
    for (const auto& p : std::as_const(m_points))
        total += std::fabs(p.second);
    m_barNames.clear();
    for (const auto& p : std::as_const(m_points)) {
        // The percentages go under the bars' names: a bar carries only its value as a label.
        const long percent = total > 0 ? std::lround(std::fabs(p.second) / total * 100) : 0;
        const QString name = shownName(p.first);
        m_barNames << (m_barMarks == 1 ? QStringLiteral("%1\n%2%").arg(name).arg(percent) : name);
    }
    fitBarNames();
    m_bars->setLabelsVisible(m_barMarks == 2);
    m_bars->setLabelsFormat(QStringLiteral("@value"));
}

void TResultCharts::fitBarNames()
{
    // A name stands whole where it fits under its bar; a longer one is cut where its slot ends, so
    // that it never runs into its neighbour's.
    const double room = m_barNames.isEmpty() ? 0 : DBChBar->chart()->plotArea().width() / m_barNames.size() - NameGap;
    const QFontMetricsF metrics(m_names->labelsFont());
    QStringList names;
    for (const QString& full : std::as_const(m_barNames)) {
        QStringList lines = full.split(QLatin1Char('\n'));
        for (QString& line : lines) {
            if (room > 0 && metrics.horizontalAdvance(line) > room)
                line = metrics.elidedText(line, Qt::ElideRight, room);
            // The axis draws its labels as rich text too.
            line = line.toHtmlEscaped();
        }
        names << uniqueName(names, lines.join(QStringLiteral("<br>")));
    }
    if (names != m_names->categories())
        m_names->setCategories(names);
}

} // namespace dorv
