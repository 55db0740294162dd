#pragma once
#include <QString>

#include <functional>

class QPainter;
class QPrinter;
class QRectF;
class QWidget;

namespace dorv {

class Prompts;

// Puts a chart of the results window on paper: at once on the default printer, across a landscape
// page. Where no printer is set up it says so and offers to save the chart as a PDF file instead. A
// chart that cannot be printed or saved raises the reason.
class TChartPrinter final {
public:
    explicit TChartPrinter(Prompts& prompts);

    // Points the printer at the system's default printer; false when none is set up. Tests put
    // a printer of their own in its place.
    std::function<bool(QPrinter&)> useDefaultPrinter;

    // draw puts the chart on the painter, filling the page's printable area given in its pixels.
    using Draw = std::function<void(QPainter&, const QRectF&)>;
    void print(const Draw& draw, QWidget* parent) const;

private:
    void saveAsPdf(const Draw& draw, QWidget* parent) const;

    Prompts& m_prompts;
};

} // namespace dorv
