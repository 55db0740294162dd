#include "FindCommands.h"

#include "DorvMain.h"
#include "data/DorvDm.h"
#include "data/Fields.h"
#include "data/Table.h"
#include "ledger/FormFind.h"
#include "ledger/MoneyState.h"
#include "ledger/MoneyView.h"
#include "util/Prompts.h"
#include "widgets/ErrorGuard.h"

#include <QAction>

namespace dorv {

TFindCommands::TFindCommands(TFormMain& main) : QObject(&main), m_main(main)
{
    mFind = new QAction(QStringLiteral("&Найти операции..."), this);
    mFind->setObjectName(QStringLiteral("mFind"));
    mFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connectGuarded(mFind, &QAction::triggered, this, main.prompts(), [this] { mFindClick(); });
}

void TFindCommands::mFindClick()
{
    TDm& dm = *m_main.Dm();
    if (!dm.Tb_Hist->active())
        return;
    Table& acc = *dm.Tb_Account;
    const qint64 current = acc.isEmpty() ? -1 : acc.fieldByName(AccountField::IdAccount).asInteger();
    TFormFind form(m_main.services(), current, &m_main);
    if (m_main.prompts().runModal(&form) != QDialog::Accepted || !form.chosen())
        return;
    showOperation(*form.chosen());
}

void TFindCommands::showOperation(const FoundOperation& o)
{
    TDm& dm = *m_main.Dm();
    if (m_main.currentView() != View::Money)
        m_main.ShowView(View::Money);
    Table& acc = *dm.Tb_Account;
    if (!acc.locate(AccountField::IdAccount, o.account))
        return;
    // The period is laid round the working date, so moving the date there brings the row into view.
    m_main.moneyState().setWorkDate(o.date);
    m_main.Money->showWorkDate();
    m_main.Money->ApplyPeriod();
    dm.Tb_Hist->findKey({o.account, o.date, o.created, o.kind});
    m_main.Money->historyGrid()->setFocus();
}

} // namespace dorv
