#include "OperationEditor.h"

#include "MoneyState.h"
#include "MoneyView.h"
#include "OperationPages.h"
#include "card/DorvCard.h"
#include "categories/CategoryTree.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/Fields.h"
#include "data/SuspendControls.h"
#include "data/Transaction.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/Money.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"

#include <QCheckBox>
#include <QDialog>
#include <QScopeGuard>
#include <QTreeWidget>

#include <limits>

namespace dorv {

namespace {

qint64 unitsOf(const Field& f) { return f.isNull() ? 0 : toTenThousandths(f.asFloat()); }

// The receiving row of a transfer: a filled income on the transfer item.
bool receivingRow(Table& hist)
{
    return hist.fieldByName(HistField::Level1).value() == QVariant(qint64(-1))
           && !hist.fieldByName(HistField::Dt).isNull();
}

} // namespace

TOperationEditor::TOperationEditor(TMoneyView& view, Services& services)
    : QObject(&view), m_view(view), m_dm(*services.dm), m_prompts(*services.prompts), m_state(*services.state),
      m_services(services)
{
    setObjectName(QStringLiteral("OperationEditor"));
}

TOperationEditor::~TOperationEditor() = default;

QTreeWidgetItem* TOperationEditor::selectedNode() const
{
    TCategoryPane& pane = m_view.categoryPane();
    if (m_state.expenseMode())
        return pane.expenseTree()->currentItem();
    if (m_state.incomeMode())
        return pane.incomeTree()->currentItem();
    return nullptr;
}

void TOperationEditor::SetOperationCategory()
{
    QTreeWidgetItem* node = selectedNode();
    if (!node)
        return;
    Table& hist = *m_dm.Tb_Hist;
    QVariant levels[3];
    const int level = TCategoryPane::nodeLevel(node);
    QTreeWidgetItem* at = node;
    for (int i = level; i >= 0 && at; --i, at = at->parent())
        levels[i] = qint64(TCategoryPane::nodeId(at));
    hist.fieldByName(HistField::Level1).setValue(levels[0]);
    hist.fieldByName(HistField::Level2).setValue(levels[1]);
    hist.fieldByName(HistField::Level3).setValue(levels[2]);
}

bool TOperationEditor::MatchSelectedCategory()
{
    QTreeWidgetItem* node = selectedNode();
    Table& hist = *m_dm.Tb_Hist;
    if (!node || hist.isEmpty())
        return false;
    QVariant levels[3];
    const int level = TCategoryPane::nodeLevel(node);
    QTreeWidgetItem* at = node;
    for (int i = level; i >= 0 && at; --i, at = at->parent())
        levels[i] = qint64(TCategoryPane::nodeId(at));
    const QString* names[] = {&HistField::Level1, &HistField::Level2, &HistField::Level3};
    for (int i = 0; i < 3; ++i) {
        const Field& f = hist.fieldByName(*names[i]);
        if (f.isNull() != !levels[i].isValid() || (!f.isNull() && f.asInteger() != levels[i].toLongLong()))
            return false;
    }
    return true;
}

OperationKey TOperationEditor::keyOf(Table& hist)
{
    return {hist.fieldByName(HistField::IdAccount).asInteger(), int(hist.fieldByName(HistField::DateReal).asInteger()),
            hist.fieldByName(HistField::DateCreate).asInteger(), hist.fieldByName(HistField::Kind).asString()};
}

OperationDraft TOperationEditor::draftOfBuffer(CardPage page) const
{
    Table& hist = *m_dm.Tb_Hist;
    OperationDraft d;
    d.direction = page == CardPage::Transfer ? OperationDraft::Direction::Transfer
                  : page == CardPage::Income ? OperationDraft::Direction::Income
                                             : OperationDraft::Direction::Expense;
    d.account = hist.fieldByName(HistField::IdAccount).asInteger();
    d.date = int(hist.fieldByName(HistField::DateReal).asInteger());
    d.created = hist.fieldByName(HistField::DateCreate).asInteger();
    d.kind = storedReal(hist.fieldByName(HistField::Kind).asString()) ? OperationKind::Real : OperationKind::Planned;
    d.amount = unitsOf(hist.fieldByName(page == CardPage::Income ? HistField::Dt : HistField::Ct));
    d.price = unitsOf(hist.fieldByName(HistField::Price));
    d.level1 = hist.fieldByName(HistField::Level1).value();
    d.level2 = hist.fieldByName(HistField::Level2).value();
    d.level3 = hist.fieldByName(HistField::Level3).value();
    d.person = hist.fieldByName(HistField::IdPerson).value();
    d.place = hist.fieldByName(HistField::IdFirm).value();
    const Field& target = hist.fieldByName(HistField::RefAccount);
    d.target = target.isNull() ? 0 : target.asInteger();
    d.received = page == CardPage::Transfer ? m_services.card()->ReceivedAmount : 0;
    return d;
}

void TOperationEditor::apply(const std::function<BookingResult()>& change, qint64 created)
{
    Table& hist = *m_dm.Tb_Hist;
    const int row = hist.currentRow();
    Table& acc = *m_dm.Tb_Account;
    const QVariant current = acc.fieldByName(AccountField::IdAccount).value();
    bool done = false;
    const auto show = qScopeGuard([&] {
        // The ledger wrote past the tables: they read the rows and balances again, whatever came of it.
        try {
            hist.cancel();
            acc.refresh();
            acc.locate(AccountField::IdAccount, current);
            hist.refresh();
            // The row the change made stands current; after a removal (or a failure) the place where
            // the user was.
            if (!done || created == 0 || !hist.locate(HistField::DateCreate, created)) {
                if (!hist.isEmpty())
                    hist.setCurrentRow(qBound(0, row, hist.recordCount() - 1));
            }
            m_view.UpdateTotals(true, 0);
        } catch (...) {
            // Told by the table that cannot be read when it is shown; the change itself stands or
            // fell whole.
            noteSwallowed("reading the money page again after a change");
        }
    });
    change();
    done = true;
    m_dm.DataSaved = false;
}

void TOperationEditor::OpenOperationCard(CardMode mode)
{
    // The category, the direction and the working date stay as they were: each next card is of the
    // same kind on the same date.
    while (openCard(mode) && mode == CardMode::New) {
    }
}

bool TOperationEditor::openCard(CardMode mode)
{
    Table& acc = *m_dm.Tb_Account;
    Table& hist = *m_dm.Tb_Hist;
    TFormCard* card = m_services.card();
    CardRequest& req = card->request();
    if (!acc.active() || acc.isEmpty()) {
        req.Realizing = false;
        m_prompts.inform(QStringLiteral("Должен быть открыт счёт!"));
        return false;
    }
    TOperationPages& pages = *card->findChild<TOperationPages*>();
    req.CardPage = CardPage::CalendarOrPassword;
    TCategoryPane& pane = m_view.categoryPane();
    if (mode == CardMode::New) {
        if (m_state.expenseMode() && pane.expenseTree()->currentItem()) {
            if (TCategoryPane::nodeId(pane.expenseTree()->currentItem()) != -1) {
                req.CardPage = CardPage::Expense;
            } else if (acc.active()) {
                if (acc.recordCount() < 2)
                    m_prompts.inform(QStringLiteral("Должно быть хотя бы 2 счёта!"));
                else
                    req.CardPage = CardPage::Transfer;
            }
        } else if (m_state.incomeMode() && pane.incomeTree()->currentItem()) {
            req.CardPage = CardPage::Income;
        }
    } else if (mode == CardMode::Edit && !hist.isEmpty() && !receivingRow(hist)
               && (!req.Realizing || storedPlanned(hist.fieldByName(HistField::Kind).asString()))) {
        // Only a planned row is realised.
        // The receiving row of a transfer changes only through its sending row.
        const qint64 level1 = hist.fieldByName(HistField::Level1).asInteger();
        if (level1 < 0)
            req.CardPage = level1 == -1 ? CardPage::Transfer : CardPage::CalendarOrPassword;
        else
            req.CardPage = hist.fieldByName(HistField::Dt).isNull() ? CardPage::Expense : CardPage::Income;
    }
    if (req.CardPage == CardPage::CalendarOrPassword) {
        req.Realizing = false;
        return false;
    }
    req.CardMode = mode;
    const auto reset = qScopeGuard([&] {
        try {
            hist.cancel(); // whatever went wrong, no row is left half-made
        } catch (...) {
            // Whatever went wrong is told by its own error; no row is left half-made.
            noteSwallowed("cancelling the operation row");
        }
        req.CardMode = CardMode::Idle;
        req.CardPage = CardPage::CalendarOrPassword;
        req.Realizing = false;
        pages.endFlow();
    });

    OperationKey old;
    if (mode == CardMode::New) {
        hist.insert();
        SetOperationCategory();
        const bool planned = dayNumber(Clock::today()) < m_state.workDate();
        hist.fieldByName(HistField::Kind).setValue(toStored(planned ? OperationKind::Planned : OperationKind::Real));
    } else {
        const bool noIncome = hist.fieldByName(HistField::Dt).isNull();
        const bool noExpense = hist.fieldByName(HistField::Ct).isNull();
        if (noIncome && m_state.incomeMode())
            m_state.setDirection(TMoneyState::Direction::Expense);
        else if (noExpense && m_state.expenseMode())
            m_state.setDirection(TMoneyState::Direction::Income);
        m_view.SwitchDirection();
        pages.ChCategory->setVisible((req.CardPage == CardPage::Expense || req.CardPage == CardPage::Income)
                                     && !MatchSelectedCategory());
        pages.ChDate->setVisible(hist.fieldByName(HistField::DateReal).asDate() != m_state.workDate());
        if (QTreeWidgetItem* node = selectedNode())
            m_dm.Tb_Items->locate(QStringLiteral("ID_ITM"), qint64(TCategoryPane::nodeId(node)));
        old = keyOf(hist);
        hist.edit();
    }

    if (m_prompts.runModal(card) != QDialog::Accepted) {
        hist.cancel();
        return false;
    }
    if (mode == CardMode::Edit && hist.editing()) {
        const Field* item = m_dm.Tb_Items->findField(QStringLiteral("ID_ITM"));
        if (!pages.ChCategory->isHidden() && pages.ChCategory->isChecked() && item && !item->isNull()
            && item->asInteger() >= 0)
            SetOperationCategory();
        if (!pages.ChDate->isHidden() && pages.ChDate->isChecked())
            hist.fieldByName(HistField::DateReal).setValue(m_state.workDate());
        if (req.Realizing)
            hist.fieldByName(HistField::Kind).setValue(toStored(OperationKind::Real));
    }
    const OperationDraft draft = draftOfBuffer(req.CardPage);
    hist.cancel();
    Ledger ledger(*hist.database());
    const bool transfer = req.CardPage == CardPage::Transfer;
    const bool next = card->nextRequested();
    apply([&] { return mode == CardMode::Edit ? ledger.change(old, draft) : ledger.book(draft); }, draft.created);
    if (transfer && draft.kind == OperationKind::Real)
        PostTransferMirror();
    return next;
}

void TOperationEditor::PostTransferMirror()
{
    // The receiving row and the target's balance are written by the ledger with the sending row;
    // what is left here is the card's list of the other accounts, which shows the target's balance.
    TFormCard* card = m_services.card();
    for (Dataset* d : card->ownedDatasets)
        if (auto* t = qobject_cast<Table*>(d); t && t->active())
            t->refresh();
}

void TOperationEditor::mMoneyDeleteClick()
{
    Table& hist = *m_dm.Tb_Hist;
    // Only what the command allows: never the receiving row of a transfer on its own.
    if (!m_view.command(QStringLiteral("mMoneyDelete"))->isEnabled() || !hist.active() || hist.isEmpty()
        || receivingRow(hist))
        return;
    if (!m_prompts.confirm(QStringLiteral("Удалить строку?")))
        return;
    const OperationKey key = keyOf(hist);
    Ledger ledger(*hist.database());
    apply([&] { return ledger.remove(key); }, 0);
}

void TOperationEditor::mUpdateClick()
{
    Table& hist = *m_dm.Tb_Hist;
    if (!m_view.command(QStringLiteral("mUpdate"))->isEnabled() || hist.isEmpty()
        || !storedPlanned(hist.fieldByName(HistField::Kind).asString()))
        return;
    m_services.card()->request().Realizing = true;
    OpenOperationCard(CardMode::Edit);
}

} // namespace dorv
