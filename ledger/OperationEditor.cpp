#include "OperationEditor.h"

#include "MoneyState.h"
#include "MoneyView.h"
#include "OperationPages.h"
#include "card/DorvCard.h"
#include "categories/CategoryTree.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
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
    return hist.fieldByName(QStringLiteral("Level1")).value() == QVariant(qint64(-1))
           && !hist.fieldByName(QStringLiteral("Dt")).isNull();
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
    TCategoryPane& pane = *m_view.Pgd;
    if (m_state.expenseMode())
        return pane.TvCt->currentItem();
    if (m_state.incomeMode())
        return pane.TvDt->currentItem();
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
    hist.fieldByName(QStringLiteral("Level1")).setValue(levels[0]);
    hist.fieldByName(QStringLiteral("Level2")).setValue(levels[1]);
    hist.fieldByName(QStringLiteral("Level3")).setValue(levels[2]);
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
    const char* names[] = {"Level1", "Level2", "Level3"};
    for (int i = 0; i < 3; ++i) {
        const Field& f = hist.fieldByName(QString::fromLatin1(names[i]));
        if (f.isNull() != !levels[i].isValid() || (!f.isNull() && f.asInteger() != levels[i].toLongLong()))
            return false;
    }
    return true;
}

OperationKey TOperationEditor::keyOf(Table& hist)
{
    return {hist.fieldByName(QStringLiteral("Id_Account")).asInteger(),
            int(hist.fieldByName(QStringLiteral("Date_Real")).asInteger()),
            hist.fieldByName(QStringLiteral("Date_Create")).asInteger(),
            hist.fieldByName(QStringLiteral("Kind")).asString()};
}

OperationDraft TOperationEditor::draftOfBuffer(int page) const
{
    Table& hist = *m_dm.Tb_Hist;
    OperationDraft d;
    d.direction = page == 3   ? OperationDraft::Direction::Transfer
                  : page == 2 ? OperationDraft::Direction::Income
                              : OperationDraft::Direction::Expense;
    d.account = hist.fieldByName(QStringLiteral("Id_Account")).asInteger();
    d.date = int(hist.fieldByName(QStringLiteral("Date_Real")).asInteger());
    d.created = hist.fieldByName(QStringLiteral("Date_Create")).asInteger();
    d.planned = hist.fieldByName(QStringLiteral("Kind")).asString() != QLatin1String("1");
    d.amount = unitsOf(hist.fieldByName(page == 2 ? QStringLiteral("Dt") : QStringLiteral("Ct")));
    d.price = unitsOf(hist.fieldByName(QStringLiteral("Price")));
    d.level1 = hist.fieldByName(QStringLiteral("Level1")).value();
    d.level2 = hist.fieldByName(QStringLiteral("Level2")).value();
    d.level3 = hist.fieldByName(QStringLiteral("Level3")).value();
    d.person = hist.fieldByName(QStringLiteral("ID_Person")).value();
    d.place = hist.fieldByName(QStringLiteral("ID_Firm")).value();
    const Field& target = hist.fieldByName(QStringLiteral("Ref_Account"));
    d.target = target.isNull() ? 0 : target.asInteger();
    d.received = page == 3 ? m_services.card()->ReceivedAmount : 0;
    return d;
}

void TOperationEditor::apply(const std::function<BookingResult()>& change, qint64 created)
{
    Table& hist = *m_dm.Tb_Hist;
    const int row = hist.currentRow();
    Table& acc = *m_dm.Tb_Account;
    const QVariant current = acc.fieldByName(QStringLiteral("Id_Account")).value();
    bool done = false;
    const auto show = qScopeGuard([&] {
        // The ledger wrote past the tables: they read the rows and balances again, whatever came of it.
        try {
            hist.cancel();
            acc.refresh();
            acc.locate(QStringLiteral("Id_Account"), current);
            hist.refresh();
            // The row the change made stands current; after a removal (or a failure) the place where
            // the user was.
            if (!done || created == 0 || !hist.locate(QStringLiteral("Date_Create"), created)) {
                if (!hist.isEmpty())
                    hist.setCurrentRow(qBound(0, row, hist.recordCount() - 1));
            }
            m_view.UpdateTotals(true, 0);
        } catch (...) {
            // Told by the table that cannot be read when it is shown; the change itself stands or
            // fell whole.
        }
    });
    change();
    done = true;
    m_dm.DataSaved = false;
}

void TOperationEditor::OpenOperationCard(int mode)
{
    Table& acc = *m_dm.Tb_Account;
    Table& hist = *m_dm.Tb_Hist;
    TFormCard* card = m_services.card();
    CardRequest& req = card->request();
    if (!acc.active() || acc.isEmpty()) {
        req.Realizing = false;
        m_prompts.inform(QStringLiteral("Должен быть открыт счёт!"));
        return;
    }
    TOperationPages& pages = *card->findChild<TOperationPages*>();
    req.CardPage = 0;
    TCategoryPane& pane = *m_view.Pgd;
    if (mode == 1) {
        if (m_state.expenseMode() && pane.TvCt->currentItem()) {
            if (TCategoryPane::nodeId(pane.TvCt->currentItem()) != -1) {
                req.CardPage = 1;
            } else if (acc.active()) {
                if (acc.recordCount() < 2)
                    m_prompts.inform(QStringLiteral("Должно быть хотя бы 2 счёта!"));
                else
                    req.CardPage = 3;
            }
        } else if (m_state.incomeMode() && pane.TvDt->currentItem()) {
            req.CardPage = 2;
        }
    } else if (mode == 3 && !hist.isEmpty() && !receivingRow(hist)
               && (!req.Realizing || hist.fieldByName(QStringLiteral("Kind")).asString() > QLatin1String("1"))) {
        // Only a planned row is realised.
        // The receiving row of a transfer changes only through its sending row.
        const qint64 level1 = hist.fieldByName(QStringLiteral("Level1")).asInteger();
        if (level1 < 0)
            req.CardPage = level1 == -1 ? 3 : 0;
        else
            req.CardPage = hist.fieldByName(QStringLiteral("Dt")).isNull() ? 1 : 2;
    }
    if (req.CardPage == 0) {
        req.Realizing = false;
        return;
    }
    req.CardMode = mode;
    const auto reset = qScopeGuard([&] {
        try {
            hist.cancel(); // whatever went wrong, no row is left half-made
        } catch (...) {
            // Whatever went wrong is told by its own error; no row is left half-made.
            noteSwallowed("cancelling the operation row");
        }
        req.CardMode = 0;
        req.CardPage = 0;
        req.Realizing = false;
        pages.endFlow();
    });

    OperationKey old;
    if (mode == 1) {
        hist.insert();
        SetOperationCategory();
        const bool planned = dayNumber(Clock::today()) < m_state.workDate();
        hist.fieldByName(QStringLiteral("Kind")).setValue(planned ? QStringLiteral("2") : QStringLiteral("1"));
    } else {
        const bool noIncome = hist.fieldByName(QStringLiteral("Dt")).isNull();
        const bool noExpense = hist.fieldByName(QStringLiteral("Ct")).isNull();
        if (noIncome && m_state.incomeMode())
            m_state.setDirection(TMoneyState::Direction::Expense);
        else if (noExpense && m_state.expenseMode())
            m_state.setDirection(TMoneyState::Direction::Income);
        m_view.SwitchDirection();
        pages.ChCategory->setVisible((req.CardPage == 1 || req.CardPage == 2) && !MatchSelectedCategory());
        pages.ChDate->setVisible(hist.fieldByName(QStringLiteral("Date_Real")).asDate() != m_state.workDate());
        if (QTreeWidgetItem* node = selectedNode())
            m_dm.Tb_Items->locate(QStringLiteral("ID_ITM"), qint64(TCategoryPane::nodeId(node)));
        old = keyOf(hist);
        hist.edit();
    }

    if (m_prompts.runModal(card) != QDialog::Accepted) {
        hist.cancel();
        return;
    }
    if (mode == 3 && hist.editing()) {
        const Field* item = m_dm.Tb_Items->findField(QStringLiteral("ID_ITM"));
        if (!pages.ChCategory->isHidden() && pages.ChCategory->isChecked() && item && !item->isNull()
            && item->asInteger() >= 0)
            SetOperationCategory();
        if (!pages.ChDate->isHidden() && pages.ChDate->isChecked())
            hist.fieldByName(QStringLiteral("Date_Real")).setValue(m_state.workDate());
        if (req.Realizing)
            hist.fieldByName(QStringLiteral("Kind")).setValue(QStringLiteral("1"));
    }
    const OperationDraft draft = draftOfBuffer(req.CardPage);
    hist.cancel();
    Ledger ledger(*hist.database());
    const bool transfer = req.CardPage == 3;
    apply([&] { return mode == 3 ? ledger.change(old, draft) : ledger.book(draft); }, draft.created);
    if (transfer && !draft.planned)
        PostTransferMirror();
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
    if (!m_view.mMoneyDelete->isEnabled() || !hist.active() || hist.isEmpty() || receivingRow(hist))
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
    if (!m_view.mUpdate->isEnabled() || hist.isEmpty()
        || hist.fieldByName(QStringLiteral("Kind")).asString() <= QLatin1String("1"))
        return;
    m_services.card()->request().Realizing = true;
    OpenOperationCard(3);
}

} // namespace dorv
