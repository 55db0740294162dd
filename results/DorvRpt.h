#pragma once
#include <QList>
#include <QPair>
#include <QString>

class QPagedPaintDevice;

namespace dorv {

// The printed results: a small banded report of our own on QPainter. A page header with the page
// number on every page, the title band on the first, one detail band per row (the name wraps inside
// its band), the summary with the total, the date of printing and the account line at the end; a
// frame around the printable area of A4 portrait paper with margins of 10 mm.
class TQr final {
public:
    QString QRLq;                        // first title line: the window's caption
    QString QRL;                         // second title line: what is summed and for which dates
    QString QRLAc;                       // the account line
    QString printed;                     // "на  " and the date of printing
    QList<QPair<QString, QString>> rows; // the name and the formatted value of each result row
    QString total;                       // the formatted total of the values

    // Lays the report out on the device, page by page; returns the number of pages.
    int render(QPagedPaintDevice& device) const;
    // The same report as plain text, for the text export of the preview.
    QString plainText() const;
};

} // namespace dorv
