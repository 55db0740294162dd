#include "FormVersions.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace dorv {

QString SizeText(qint64 bytes)
{
    const QLocale ru(QLocale::Russian);
    if (bytes < 1024)
        return QStringLiteral("%1 байт").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 КБ").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 МБ").arg(ru.toString(double(bytes) / (1024.0 * 1024.0), 'f', 1));
}

TFormVersions::TFormVersions(const QList<KeptVersion>& versions, QWidget* parent)
    : QDialog(parent), m_versions(versions)
{
    setObjectName(QStringLiteral("TFormVersions"));
    setWindowTitle(QStringLiteral("Прежние версии"));
    DBGVersions = new QTableWidget(int(versions.size()), 2, this);
    DBGVersions->setObjectName(QStringLiteral("DBGVersions"));
    DBGVersions->setHorizontalHeaderLabels({QStringLiteral("Дата"), QStringLiteral("Размер")});
    DBGVersions->verticalHeader()->hide();
    DBGVersions->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGVersions->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGVersions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const QLocale ru(QLocale::Russian);
    for (int row = 0; row < versions.size(); ++row) {
        auto* date = new QTableWidgetItem(ru.toString(versions[row].date, QStringLiteral("dd.MM.yyyy, dddd")));
        auto* size = new QTableWidgetItem(SizeText(versions[row].size));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        DBGVersions->setItem(row, 0, date);
        DBGVersions->setItem(row, 1, size);
    }
    DBGVersions->resizeColumnsToContents();
    DBGVersions->horizontalHeader()->setStretchLastSection(true);
    if (!versions.isEmpty())
        DBGVersions->selectRow(0);

    ButOpen = new QPushButton(QStringLiteral("Открыть"), this);
    ButOpen->setObjectName(QStringLiteral("ButOpen"));
    ButOpen->setDefault(true);
    ButOpen->setEnabled(!versions.isEmpty());
    ButClose = new QPushButton(QStringLiteral("Закрыть"), this);
    ButClose->setObjectName(QStringLiteral("ButClose"));
    connect(ButOpen, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(DBGVersions, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButOpen);
    buttons->addWidget(ButClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DBGVersions);
    layout->addLayout(buttons);
    resize(360, 320);
}

QString TFormVersions::chosen() const
{
    if (result() != QDialog::Accepted)
        return {};
    const int row = DBGVersions->currentRow();
    return row >= 0 && row < m_versions.size() ? m_versions[row].path : QString();
}

} // namespace dorv
