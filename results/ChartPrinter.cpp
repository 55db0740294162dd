#include "ChartPrinter.h"

#include "data/DbError.h"
#include "util/FileUtil.h"
#include "util/Prompts.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

namespace dorv {

namespace {

QRectF printable(const QPagedPaintDevice& device, int resolution)
{
    const QRect page = device.pageLayout().paintRectPixels(resolution);
    return QRectF(0, 0, page.width(), page.height());
}

bool systemDefaultPrinter(QPrinter& printer)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return false;
    printer.setPrinterName(info.printerName());
    return true;
}

} // namespace

TChartPrinter::TChartPrinter(Prompts& prompts) : useDefaultPrinter(systemDefaultPrinter), m_prompts(prompts) {}

void TChartPrinter::print(const Draw& draw, QWidget* parent) const
{
    QPrinter printer(QPrinter::HighResolution);
    if (!useDefaultPrinter(printer)) {
        saveAsPdf(draw, parent);
        return;
    }
    printer.setPageOrientation(QPageLayout::Landscape);
    const QString name = printer.printerName().isEmpty() ? printer.outputFileName() : printer.printerName();
    const DbError failed(QStringLiteral("Не удалось напечатать диаграмму: принтер «%1» недоступен").arg(name));
    QPainter painter;
    if (!painter.begin(&printer))
        throw failed;
    draw(painter, printable(printer, printer.resolution()));
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw failed;
}

void TChartPrinter::saveAsPdf(const Draw& draw, QWidget* parent) const
{
    if (!m_prompts.confirm(QStringLiteral("Принтер не установлен. Сохранить диаграмму в файл PDF?")))
        return;
    const QString file = m_prompts.saveFile(parent, QStringLiteral("Сохранение диаграммы"),
                                            QStringLiteral("Документ PDF (*.pdf)"), QStringLiteral("pdf"));
    if (file.isEmpty())
        return;
    // Drawn in memory first: the file is written only whole, and a file that was there stays
    // until the new one has taken its place.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setCreator(QStringLiteral("Дорвана"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        QPainter painter;
        if (!painter.begin(&writer))
            throw DbError(QStringLiteral("Невозможно записать файл %1").arg(file));
        draw(painter, printable(writer, writer.resolution()));
        if (!painter.end())
            throw DbError(QStringLiteral("Невозможно записать файл %1").arg(file));
    }
    ReplacingFile out(file);
    QString error;
    if (!out.open(&error) || !out.write(pdf.data().constData(), pdf.data().size(), &error) || !out.finish(true, &error)
        || !out.replace(true, &error))
        throw DbError(error);
}

} // namespace dorv
