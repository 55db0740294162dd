#include "EditCommands.h"

#include "DorvMain.h"
#include "book/Journal.h"
#include "categories/CategoryTree.h"
#include "contacts/FirmsView.h"
#include "contacts/PeopleView.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "data/Fields.h"
#include "data/Meanings.h"
#include "ledger/MoneyView.h"
#include "util/Prompts.h"
#include "widgets/ErrorGuard.h"

#include <QAction>
#include <QSet>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <optional>

namespace dorv {

namespace {

// A name shown in a menu item: an ampersand of its own is no access key.
QString menuText(const QString& command, const QString& what)
{
    if (what.isEmpty())
        return command;
    return command + QStringLiteral(": ") + QString(what).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

TEditCommands::TEditCommands(TFormMain& main) : QObject(&main), m_main(main), m_journal(new Journal(this))
{
    setObjectName(QStringLiteral("EditCommands"));
    Prompts& prompts = main.prompts();
    mUndo = new QAction(QStringLiteral("&Отменить"), &main);
    mUndo->setObjectName(QStringLiteral("mUndo"));
    mUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    mRedo = new QAction(QStringLiteral("&Повторить"), &main);
    mRedo->setObjectName(QStringLiteral("mRedo"));
    mRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    connectGuarded(mUndo, &QAction::triggered, this, prompts, [this] { mUndoClick(); });
    connectGuarded(mRedo, &QAction::triggered, this, prompts, [this] { mRedoClick(); });

    // A step is what one command changed, whatever handlers it ran on the way.
    addHandlerListener(this, [this](bool started) {
        if (started)
            m_journal->commandStarted();
        else
            m_journal->commandEnded();
    });
    connect(m_journal, &Journal::stepsChanged, this, [this] { updateActions(); });
    connect(m_journal, &Journal::failed, this, [this](const QString& message) { m_main.prompts().error(message); });
    connect(main.Dm(), &TDm::changeNamed, m_journal, &Journal::nameStep);
    connect(main.Dm(), &TDm::changeEnded, m_journal, &Journal::closeStep);
    connect(&main, &TFormMain::databaseOpened, this, [this] { dataOpened(); });
    updateActions();
}

TEditCommands::~TEditCommands() { removeHandlerListener(this); }

void TEditCommands::dataOpened() { m_journal->attach(Database::acquire(m_main.workingFolder())); }

void TEditCommands::dataClosing() { m_journal->detach(); }

void TEditCommands::updateActions()
{
    const bool open = m_journal->attached();
    mUndo->setEnabled(open && m_journal->canUndo());
    mRedo->setEnabled(open && m_journal->canRedo());
    mUndo->setText(menuText(QStringLiteral("&Отменить"), m_journal->undoName()));
    mRedo->setText(menuText(QStringLiteral("&Повторить"), m_journal->redoName()));
}

void TEditCommands::mUndoClick() { step(true); }

void TEditCommands::mRedoClick() { step(false); }

void TEditCommands::step(bool back)
{
    if (!m_journal->attached())
        return;
    // What was typed into a grid and not yet posted is the last change: posted now, it is the step
    // an undo takes back.
    m_main.FlushPendingEdits();
    const JournalOutcome out = back ? m_journal->undo() : m_journal->redo();
    if (!out.done) {
        if (!out.why.isEmpty())
            m_main.prompts().inform(out.why);
        return;
    }
    m_main.Dm()->DataSaved = false;
    refreshViews();
    showTouched(out.touched);
}

void TEditCommands::refreshViews()
{
    TDm& dm = *m_main.Dm();
    TMoneyView& money = *m_main.Money;
    Table& acc = *dm.Tb_Account;
    const QVariant account =
        acc.active() && !acc.isEmpty() ? acc.fieldByName(AccountField::IdAccount).value() : QVariant();
    for (Table* t : dm.tables()) {
        if (!t->active())
            continue;
        if (t->editing())
            t->cancel();
        // The history is ranged anew with the period below, which reads it again.
        if (t != dm.Tb_Hist)
            t->refresh();
    }
    if (account.isValid())
        acc.locate(AccountField::IdAccount, account);
    QList<Dataset*> others{dm.QPers_Firm};
    if (TFormCard* card = m_main.existingCard())
        others += card->ownedDatasets;
    for (Dataset* d : others)
        if (d->active())
            d->refresh();

    // The trees are a cache of the categories: emptied and filled again, with the same nodes
    // open and chosen.
    TCategoryPane& pane = money.categoryPane();
    QTreeWidget* trees[2] = {pane.expenseTree(), pane.incomeTree()};
    std::optional<int> chosen[2];
    QSet<int> open[2];
    for (int i = 0; i < 2; ++i) {
        if (QTreeWidgetItem* node = trees[i]->currentItem())
            chosen[i] = TCategoryPane::nodeId(node);
        for (QTreeWidgetItemIterator it(trees[i]); *it; ++it)
            if ((*it)->isExpanded())
                open[i].insert(TCategoryPane::nodeId(*it));
    }
    money.ResetTrees();
    for (int i = 0; i < 2; ++i) {
        for (QTreeWidgetItemIterator it(trees[i]); *it; ++it)
            if (open[i].contains(TCategoryPane::nodeId(*it)))
                (*it)->setExpanded(true);
        if (QTreeWidgetItem* node = chosen[i] ? pane.FindCategoryNode(trees[i], *chosen[i], {}) : nullptr)
            trees[i]->setCurrentItem(node);
    }
    pane.TvCtChange(pane.shownTree()->currentItem());

    if (dm.Tb_Hist->active()) {
        if (acc.isEmpty())
            money.ShowNoHistory();
        else
            money.ApplyPeriod();
    }
    m_main.UpdateCommandStates();
}

void TEditCommands::showTouched(const TouchedRow& row)
{
    TDm& dm = *m_main.Dm();
    TMoneyView& money = *m_main.Money;
    const auto value = [&row](const char* column) { return row.values.value(QString::fromLatin1(column)); };
    const QString& table = row.table;
    if (table == QLatin1String("TB_HIST") || table == QLatin1String("TB_ACCOUNT")) {
        if (m_main.currentView() != View::Money)
            m_main.ShowView(View::Money);
        Table& acc = *dm.Tb_Account;
        const QVariant account = value("ID_ACCOUNT");
        if (account.isValid() && !acc.isEmpty()
            && acc.fieldByName(AccountField::IdAccount).value().toLongLong() != account.toLongLong()
            && acc.locate(AccountField::IdAccount, account))
            money.ApplyPeriod();
        if (table == QLatin1String("TB_HIST") && row.present && dm.Tb_Hist->active())
            dm.Tb_Hist->findKey({value("ID_ACCOUNT"), value("DATE_REAL"), value("DATE_CREATE"), value("KIND")});
    } else if (table == QLatin1String("TB_ITEMS")) {
        if (m_main.currentView() != View::Money)
            m_main.ShowView(View::Money);
        TCategoryPane& pane = money.categoryPane();
        // The item itself, or where it was: its parent.
        const QVariant id = row.present ? value("ID_ITM") : value("ID_REF");
        if (!id.isValid())
            return;
        TMoneyState& state = m_main.moneyState();
        QTreeWidget* tree = state.incomeMode() ? pane.incomeTree() : pane.expenseTree();
        QTreeWidgetItem* node = state.modeOn() ? pane.FindCategoryNode(tree, id.toInt(), {}) : nullptr;
        if (!node) {
            // Only in the other direction's tree (or no tree shown): that one is shown.
            const bool income = itemDirectionFromStored(value("C").toString()) == ItemDirection::Income;
            state.setDirection(income ? TMoneyState::Direction::Income : TMoneyState::Direction::Expense);
            money.SwitchDirection();
            tree = income ? pane.incomeTree() : pane.expenseTree();
            node = pane.FindCategoryNode(tree, id.toInt(), {});
        }
        if (node) {
            tree->setCurrentItem(node);
            tree->scrollToItem(node);
            pane.TvCtChange(node);
        }
    } else if (table == QLatin1String("TB_PERSON")) {
        m_main.People->OpenPerson(row.present ? value("ID_PERSON") : QVariant());
    } else if (table == QLatin1String("TB_FAMILY")) {
        m_main.People->OpenPerson(value("ID_PERSON"));
        if (row.present && dm.Tb_Family->active())
            dm.Tb_Family->locate(QStringLiteral("Id_Family"), value("ID_FAMILY"));
    } else if (table == QLatin1String("TB_FIRM")) {
        m_main.Firms->OpenFirm(row.present ? value("ID_FIRM") : QVariant());
    } else if (table == QLatin1String("TB_LOG")) {
        if (m_main.currentView() != View::Diary)
            m_main.ShowView(View::Diary);
        if (row.present && dm.Tb_Log->active())
            dm.Tb_Log->locate(QStringLiteral("Date_Create"), value("DATE_CREATE"));
    }
}

} // namespace dorv
