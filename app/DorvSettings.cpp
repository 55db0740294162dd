// The main window's settings: read once at start, written once at a confirmed exit, and the
// history grid's column layout they carry.
#include "DorvMain.h"

#include "data/DorvDm.h"
#include "data/TableModel.h"
#include "ledger/MoneyView.h"
#include "util/Prompts.h"

#include <QAction>
#include <QComboBox>
#include <QDataStream>
#include <QFileInfo>
#include <QHeaderView>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>

namespace dorv {

QString TFormMain::LoadSettings()
{
    const SettingsValues v = m_settings->load();
    setOuterGeometry(QRect(v.left, v.top, v.width, v.height));
    m_bak->setChecked(v.bak);
    m_versions->setChecked(v.versions);
    m_bar->setChecked(v.bar);
    TbMain->setVisible(v.bar);
    // The period kind itself waits for a database: it is applied when one opens.
    m_state->setPeriodKind(PeriodKind(v.selPer >= 0 && v.selPer < 5 ? v.selPer : 0));
    Money->setCategoryWidth(v.wdtItm, v.width);
    if (!v.cols.isEmpty() && !restoreColumns(v.cols))
        defaultColumns();
    return v.recentCatalog;
}

void TFormMain::SaveSettings()
{
    if (!m_reg->isEnabled()) {
        m_settings->clear();
        return;
    }
    SettingsValues v;
    v.recentCatalog = m_file->title();
    const QRect g = outerGeometry();
    v.left = g.left();
    v.top = g.top();
    v.width = g.width();
    v.height = g.height();
    v.wdtItm = Money->categoryWidth();
    v.selPer = int(m_state->periodKind());
    v.bak = m_bak->isChecked();
    v.versions = m_versions->isChecked();
    v.bar = m_bar->isChecked();
    v.cols = saveColumns();
    m_settings->save(v, m_file->titleIsFile());
}

void TFormMain::mRegClick()
{
    if (m_prompts->confirm(QStringLiteral("Очистить записи в системном реестре, сделанные программой ?")))
        m_reg->setEnabled(false);
}

// The history grid's columns: for each in display order its field, width, title and visibility.
QByteArray TFormMain::saveColumns() const
{
    if (!m_histModel || m_histModel->columnCount() == 0)
        return {};
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    QHeaderView* h = DBG->horizontalHeader();
    out << quint32(0x44424701) << qint32(m_histModel->columnCount());
    for (int visual = 0; visual < h->count(); ++visual) {
        const int logical = h->logicalIndex(visual);
        const Field* f = m_histModel->fieldAt(logical);
        out << (f ? f->name() : QString()) << qint32(h->sectionSize(logical))
            << m_histModel->headerData(logical, Qt::Horizontal).toString() << !h->isSectionHidden(logical);
    }
    return bytes;
}

bool TFormMain::restoreColumns(const QByteArray& bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    qint32 count = 0;
    in >> magic >> count;
    if (in.status() != QDataStream::Ok || magic != 0x44424701 || count <= 0 || count > 100)
        return false;
    struct Col {
        QString field;
        qint32 width;
        QString title;
        bool visible;
    };
    QList<Col> cols;
    for (int i = 0; i < count; ++i) {
        Col c;
        in >> c.field >> c.width >> c.title >> c.visible;
        if (in.status() != QDataStream::Ok || !m_dm->Tb_Hist->findField(c.field) || c.width < 0 || c.width > 5000)
            return false;
        cols << c;
    }
    QStringList names;
    for (const Col& c : cols)
        names << c.field;
    m_histModel->setColumns(names);
    for (int i = 0; i < cols.size(); ++i) {
        DBG->horizontalHeader()->resizeSection(i, cols[i].width);
        DBG->horizontalHeader()->setSectionHidden(i, !cols[i].visible);
    }
    return true;
}

void TFormMain::defaultColumns()
{
    if (m_histModel)
        m_histModel->setColumns({});
    if (Money)
        Money->applyDefaultWidths();
}

} // namespace dorv
