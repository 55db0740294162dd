#include "FirmsView.h"

#include "ContactGrid.h"
#include "data/DorvDm.h"
#include "data/TableModel.h"
#include "util/Prompts.h"
#include "widgets/DbGrid.h"
#include "widgets/ErrorGuard.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScopeGuard>
#include <QToolButton>
#include <QVBoxLayout>

namespace dorv {

TFirmsView::TFirmsView(Services& host, QWidget* parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("FirmsView"));
    TDm& dm = *m_host.dm;
    Prompts& prompts = *m_host.prompts;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QHBoxLayout* strip = nullptr;
    Panel1 = makePagePanel(QStringLiteral("Panel1"), this, &strip);
    ButPers_Firm = makeFilterButton(QStringLiteral("ButPers_Firm"), QStringLiteral("Работники"),
                                    QStringLiteral("Люди в фирмах (работники...)"), Panel1);
    strip->addWidget(ButPers_Firm);
    LabFirm =
        makePanelCaption(QStringLiteral("LabFirm"), QStringLiteral("Магазины, фирмы, огранизации, явки..."), Panel1);
    strip->addWidget(LabFirm, 1);
    layout->addWidget(Panel1);

    DBGFirm = makeContactGrid(
        QStringLiteral("DBGFirm"), 0, *dm.Tb_Firm,
        {QStringLiteral("Firm"), QStringLiteral("Phone"), QStringLiteral("Address"), QStringLiteral("Comment")},
        prompts, this);
    fitContactColumns(*DBGFirm);
    layout->addWidget(DBGFirm, 1);
    connect(DBGFirm, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (m_host.dm->Tb_Firm->active())
            PmFirm->popup(DBGFirm->viewport()->mapToGlobal(at));
    });

    DBGPers_Firm = new TDbGrid(QStringLiteral("DBGPers_Firm"), 0, this);
    auto* persons = new TableModel(dm.QPers_Firm, DBGPers_Firm);
    persons->setObjectName(QStringLiteral("DBGPers_FirmModel"));
    persons->setColumns({QStringLiteral("Name"), QStringLiteral("Birthday"), QStringLiteral("Phone"),
                         QStringLiteral("Address"), QStringLiteral("Comment")});
    DBGPers_Firm->setGridModel(persons);
    DBGPers_Firm->usePlainTitles();
    DBGPers_Firm->setFixedHeight(120);
    QPalette face = DBGPers_Firm->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    DBGPers_Firm->setPalette(face);
    DBGPers_Firm->hide();
    connect(DBGPers_Firm, &TDbGrid::readFailed, this, [&prompts](const QString& m) { prompts.error(m); });
    for (auto signal : {&TDbGrid::rowDoubleClicked, &TDbGrid::enterPressed})
        connectGuarded(DBGPers_Firm, signal, this, prompts, [this] { DBGPers_FirmDblClick(); });
    fitContactColumns(*DBGPers_Firm);
    layout->addWidget(DBGPers_Firm);

    PmFirm = new QMenu(this);
    PmFirm->setObjectName(QStringLiteral("PmFirm"));
    int position = 0;
    for (auto [target, name, caption] : {std::tuple{&mpFirmNew, "mpFirmNew", "&Добавить фирму  Ins"},
                                         std::tuple{&mpFirmDel, "mpFirmDel", "&Удалить фирму    Ctrl+Del"}}) {
        auto* a = new QAction(QString::fromUtf8(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setProperty("position", position++);
        PmFirm->addAction(a);
        connectGuarded(a, &QAction::triggered, this, prompts, [this, a] { mpFirmNewClick(a); });
        *target = a;
    }
    connect(PmFirm, &QMenu::aboutToShow, this, [this] { PmFirmPopup(); });
    for (auto signal : {&Dataset::stateChanged, &Dataset::rowsReset})
        connect(dm.Tb_Firm, signal, this, [this] { PmFirmPopup(); });
    connect(dm.Tb_Firm, &Dataset::currentRowChanged, this, [this] { PmFirmPopup(); });

    connectGuarded(ButPers_Firm, &QToolButton::clicked, this, prompts, [this] { ButPers_FirmClick(); });
    // The pane follows the current firm; a firm whose workers cannot be read closes it, saying why.
    connect(dm.QPers_Firm, &Query::masterFailed, this, [this, &prompts](const QString& message) {
        prompts.error(message);
        ButPers_Firm->setChecked(false);
        DBGPers_Firm->hide();
    });
}

void TFirmsView::ButPers_FirmClick()
{
    Query& q = *m_host.dm->QPers_Firm;
    // The button and the pane always tell the query's state, also when opening it failed.
    const auto follow = qScopeGuard([this, &q] {
        ButPers_Firm->setChecked(q.active());
        DBGPers_Firm->setVisible(q.active());
    });
    if (ButPers_Firm->isChecked())
        q.open();
    else
        q.close();
}

void TFirmsView::DBGPers_FirmDblClick()
{
    Query& q = *m_host.dm->QPers_Firm;
    if (!q.active() || q.isEmpty())
        return;
    emit openPerson(q.fieldByName(QStringLiteral("Id_Person")).value());
}

void TFirmsView::PmFirmPopup()
{
    const Table& t = *m_host.dm->Tb_Firm;
    mpFirmNew->setEnabled(true);
    mpFirmDel->setEnabled(t.active() && !t.isEmpty());
}

void TFirmsView::mpFirmNewClick(QAction* sender)
{
    Table& t = *m_host.dm->Tb_Firm;
    if (!t.active())
        return;
    if (sender->property("position").toInt() == 0) {
        t.insert();
        DBGFirm->setFocus();
        return;
    }
    if (t.isEmpty() || !m_host.prompts->confirm(QStringLiteral("Удалить запись ?")))
        return;
    t.deleteRecord();
}

void TFirmsView::OpenFirm(const QVariant& firmId)
{
    m_host.showView(View::Firms);
    Table& t = *m_host.dm->Tb_Firm;
    if (firmId.isValid() && t.active())
        t.locate(QStringLiteral("Id_Firm"), firmId);
    DBGFirm->setFocus();
}

void TFirmsView::ResetForClose()
{
    ButPers_Firm->setChecked(false);
    DBGPers_Firm->hide();
}

} // namespace dorv
