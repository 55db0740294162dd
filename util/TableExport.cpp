#include "TableExport.h"

#include "DateScale.h"
#include "FileUtil.h"
#include "Money.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <memory>

namespace dorv {

namespace {

QString cellText(PlainTable::Kind kind, const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return {};
    switch (kind) {
    case PlainTable::Kind::Amount:
        return formatMoney(v.toDouble()).replace(QLatin1Char('.'), QLatin1Char(','));
    case PlainTable::Kind::Date:
        return dateOfDay(v.toInt()).toString(QStringLiteral("dd.MM.yyyy"));
    case PlainTable::Kind::Text:
        break;
    }
    return v.toString();
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

PlainTable::Kind kindAt(const PlainTable& t, int column)
{
    return column < t.kinds.size() ? t.kinds[column] : PlainTable::Kind::Text;
}

struct WorkbookCloser {
    void operator()(lxw_workbook* w) const
    {
        // Only a workbook given up half way gets here; its close has nothing left worth telling.
        if (w)
            workbook_close(w);
    }
};

// The workbook in a file of its own; empty text, or why it failed.
QString writeWorkbook(const PlainTable& t, const QString& file)
{
    const QByteArray name = QFile::encodeName(file);
    std::unique_ptr<lxw_workbook, WorkbookCloser> book(workbook_new(name.constData()));
    if (!book)
        return QStringLiteral("не удалось начать книгу");
    lxw_worksheet* sheet = workbook_add_worksheet(book.get(), nullptr);
    lxw_format* title = workbook_add_format(book.get());
    format_set_bold(title);
    lxw_format* amount = workbook_add_format(book.get());
    format_set_num_format(amount, "0.00");
    lxw_format* date = workbook_add_format(book.get());
    format_set_num_format(date, "dd.mm.yyyy");
    if (!sheet || !title || !amount || !date)
        return QStringLiteral("не хватило памяти");
    QList<int> widths;
    for (int c = 0; c < t.titles.size(); ++c) {
        worksheet_write_string(sheet, 0, lxw_col_t(c), t.titles[c].toUtf8().constData(), title);
        widths << int(t.titles[c].size());
    }
    for (int r = 0; r < t.rows.size(); ++r) {
        const QVariantList& row = t.rows[r];
        const auto excelRow = lxw_row_t(r + 1);
        for (int c = 0; c < row.size() && c < t.titles.size(); ++c) {
            const QVariant& v = row[c];
            if (!v.isValid() || v.isNull())
                continue;
            const PlainTable::Kind kind = kindAt(t, c);
            lxw_error e = LXW_NO_ERROR;
            if (kind == PlainTable::Kind::Amount) {
                e = worksheet_write_number(sheet, excelRow, lxw_col_t(c), v.toDouble(), amount);
            } else if (kind == PlainTable::Kind::Date) {
                const QDate d = dateOfDay(v.toInt());
                lxw_datetime dt{d.year(), d.month(), d.day(), 0, 0, 0.0};
                e = worksheet_write_datetime(sheet, excelRow, lxw_col_t(c), &dt, date);
            } else {
                e = worksheet_write_string(sheet, excelRow, lxw_col_t(c), v.toString().toUtf8().constData(), nullptr);
            }
            if (e != LXW_NO_ERROR)
                return QString::fromUtf8(lxw_strerror(e));
            widths[c] = qMax(widths[c], int(cellText(kind, v).size()));
        }
    }
    // The columns wide enough for what they hold, within reason for long texts.
    for (int c = 0; c < widths.size(); ++c)
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), qMin(widths[c], 80) + 2.0, nullptr);
    worksheet_freeze_panes(sheet, 1, 0);
    const lxw_error closed = workbook_close(book.release());
    if (closed != LXW_NO_ERROR)
        return QString::fromUtf8(lxw_strerror(closed));
    return {};
}

} // namespace

QByteArray csvOf(const PlainTable& t)
{
    QString out = QString(QChar(0xFEFF));
    QStringList line;
    for (const QString& title : t.titles)
        line << csvField(title);
    out += line.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    for (const QVariantList& row : t.rows) {
        line.clear();
        for (int c = 0; c < t.titles.size(); ++c)
            line << csvField(cellText(kindAt(t, c), row.value(c)));
        out += line.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

QString writeTable(const PlainTable& table, const QString& path)
{
    QByteArray bytes;
    if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)) {
        // The library writes only to a file of its own naming; the bytes then go beside the target.
        QTemporaryDir scratch(GetTempDirectory() + QStringLiteral("dorvana-export-XXXXXX"));
        if (!scratch.isValid())
            return QStringLiteral("Нет возможности записать файл %1: %2").arg(path, scratch.errorString());
        const QString book = scratch.filePath(QStringLiteral("book.xlsx"));
        const QString why = writeWorkbook(table, book);
        if (!why.isEmpty())
            return QStringLiteral("Нет возможности записать файл %1: %2").arg(path, why);
        QFile f(book);
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("Нет возможности записать файл %1: %2").arg(path, f.errorString());
        bytes = f.readAll();
    } else {
        bytes = csvOf(table);
    }
    ReplacingFile out(path);
    QString error;
    if (!out.open(&error) || !out.write(bytes.constData(), bytes.size(), &error) || !out.finish(true, &error)
        || !out.replace(true, &error))
        return error;
    return {};
}

} // namespace dorv
