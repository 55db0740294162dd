#include "ExportCommands.h"

#include "DorvMain.h"
#include "contacts/DiaryView.h"
#include "contacts/FirmsView.h"
#include "contacts/PeopleView.h"
#include "data/DorvDm.h"
#include "data/Table.h"
#include "ledger/MoneyView.h"
#include "widgets/ErrorGuard.h"
#include "widgets/GridExport.h"

#include <QAction>

namespace dorv {

TExportCommands::TExportCommands(TFormMain& main) : QObject(&main), m_main(main)
{
    mExport = new QAction(QStringLiteral("&Экспорт..."), this);
    mExport->setObjectName(QStringLiteral("mExport"));
    mExport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connectGuarded(mExport, &QAction::triggered, this, main.prompts(), [this] { mExportClick(); });
}

void TExportCommands::mExportClick()
{
    if (!m_main.Dm()->Tb_Hist->active())
        return;
    TDbGrid* grid = nullptr;
    switch (m_main.currentView()) {
    case View::Money:
        m_main.Money->exportHistory();
        return;
    case View::People:
        grid = m_main.People->menuGrid();
        break;
    case View::Firms:
        grid = m_main.Firms->findChild<TDbGrid*>(QStringLiteral("DBGFirm"));
        break;
    case View::Diary:
        grid = m_main.Diary->findChild<TDbGrid*>(QStringLiteral("DBGLog"));
        break;
    }
    if (grid)
        exportTable(m_main.prompts(), &m_main, tableOfGrid(*grid));
}

} // namespace dorv
