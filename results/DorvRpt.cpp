#include "DorvRpt.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace dorv {

namespace {

// The layout is given in millimetres; the painter works in them too.
constexpr double Width = 190.0;  // the printable width of A4 with 10 mm margins
constexpr double Height = 277.0; // and its height
constexpr double HeaderHeight = 6.1;
constexpr double TitleHeight = 13.8;
constexpr double DetailHeight = 6.9;
constexpr double SummaryHeight = 55.0;

QFont arial(double points, bool bold = false, bool italic = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// Draws text at a place given in millimetres; the font's size is kept in points on any device.
void text(QPainter& p, const QRectF& mm, const QString& s, const QFont& font, int flags,
          const QColor& colour = Qt::black)
{
    p.save();
    p.setFont(font);
    p.setPen(colour);
    p.drawText(mm, flags, s);
    p.restore();
}

} // namespace

int TQr::render(QPagedPaintDevice& device) const
{
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                                     QPageLayout::Millimeter));
    QPainter p;
    if (!p.begin(&device))
        return 0;
    // Millimetres from the top-left corner of the printable area; fonts keep their point sizes,
    // which the scale would otherwise shrink, by giving them in pixels of the unscaled device.
    const double dotsPerMm = device.logicalDpiX() / 25.4;
    p.scale(dotsPerMm, device.logicalDpiY() / 25.4);
    auto font = [&](double points, bool bold = false, bool italic = false) {
        QFont f = arial(points, bold, italic);
        f.setPointSizeF(points * 25.4 / device.logicalDpiY());
        return f;
    };
    int page = 1;
    double y = 0;
    auto frameAndHeader = [&] {
        p.setPen(QPen(Qt::black, 0.2));
        p.drawRect(QRectF(0, 0, Width, Height));
        text(p, QRectF(78.3, 0.5, 40, HeaderHeight - 0.5), QString::number(page), font(10),
             Qt::AlignLeft | Qt::AlignTop);
        p.drawLine(QPointF(0, HeaderHeight), QPointF(Width, HeaderHeight));
        y = HeaderHeight;
    };
    auto newPage = [&] {
        device.newPage();
        ++page;
        frameAndHeader();
    };
    frameAndHeader();
    // The title.
    text(p, QRectF(1.9, y + 0.5, Width - 4, 7), QRLq, font(12, true), Qt::AlignLeft | Qt::AlignTop, QColor(0, 0, 128));
    text(p, QRectF(1.9, y + 7.4, Width - 4, 6.4), QRL, font(11, true, true), Qt::AlignLeft | Qt::AlignTop);
    y += TitleHeight;
    p.drawLine(QPointF(0, y), QPointF(Width, y));
    // One band per row, as tall as its name needs.
    const QFont detail = font(11);
    const QFontMetricsF fm(arial(11), &device); // in the device's own pixels
    for (const auto& [name, value] : rows) {
        const QRectF needed = fm.boundingRect(QRectF(0, 0, 102.9 * dotsPerMm, 1e6), Qt::TextWordWrap, name);
        const double band = qMax(DetailHeight, needed.height() / dotsPerMm + 2.2);
        if (y + band > Height)
            newPage();
        text(p, QRectF(1.6, y + 1.1, 102.9, band - 1.1), name, detail, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        text(p, QRectF(112.7, y + 1.1, 34.1, band - 1.1), value, detail, Qt::AlignRight | Qt::AlignTop);
        y += band;
        p.drawLine(QPointF(0, y), QPointF(Width, y));
    }
    // The summary.
    if (y + SummaryHeight > Height)
        newPage();
    text(p, QRectF(112.7, y + 1.6, 34.1, 6), total, font(11, true), Qt::AlignRight | Qt::AlignTop);
    text(p, QRectF(4.8, y + 45.0, 50, 7), printed, font(12, true), Qt::AlignLeft | Qt::AlignTop, QColor(128, 0, 0));
    text(p, QRectF(55.8, y + 45.0, Width - 56, 7), QRLAc, font(12, true), Qt::AlignLeft | Qt::AlignTop,
         QColor(128, 0, 0));
    p.end();
    return page;
}

QString TQr::plainText() const
{
    QStringList lines{QRLq, QRL, QString()};
    for (const auto& [name, value] : rows)
        lines << name.leftJustified(60) + QLatin1Char(' ') + value.rightJustified(15);
    lines << QString() << QString(61, QLatin1Char(' ')) + total.rightJustified(15) << QString()
          << printed + QStringLiteral("   ") + QRLAc;
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace dorv
