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

#include <QCheckBox>
#include <QDialog>
#include <QScopeGuard>
#include <QTreeWidget>

#include <limits>

namespace dorv {

namespace {

qint64 unitsOf(const Field& f) { return f.isNull() ? 0 : toTenThousandths(f.asFloat()); }

QVariant amountOf(qint64 units) { return units == 0 ? QVariant() : QVariant(fromTenThousandths(units)); }

// The receiving row of a transfer: a filled income on the transfer item.
bool receivingRow(Table& hist)
{
    return hist.fieldByName(QStringLiteral("Level1")).value() == QVariant(qint64(-1))
           && !hist.fieldByName(QStringLiteral("Dt")).isNull();
}

} // namespace

TOperationEditor::TOperationEditor(TMoneyView& view, TDm& dm, Prompts& prompts, TMoneyState& state,
                                   std::function<TFormCard*()> card)
    : QObject(&view), m_view(view), m_dm(dm), m_prompts(prompts), m_state(state), m_card(std::move(card))
{
    setObjectName(QStringLiteral("OperationEditor"));
    // A cursor of its own finds a transfer's other row by its key without lifting the range of the
    // history the user looks at.
    m_mirror = new Table(QStringLiteral("Tb_HistMirror"), QStringLiteral("TB_HIST"), this);
    using FT = FieldType;
    const std::pair<const char*, FT> fields[] = {
        {"Id_Account", FT::SmallInt}, {"Date_Real", FT::Date},     {"Date_Create", FT::DateTime},
        {"Kind", FT::Text},           {"Dt", FT::Float},           {"Ct", FT::Float},
        {"Level1", FT::SmallInt},     {"Level2", FT::SmallInt},    {"Level3", FT::SmallInt},
        {"Price", FT::Float},         {"ID_Person", FT::SmallInt}, {"ID_Firm", FT::SmallInt},
        {"Ref_Account", FT::SmallInt}};
    for (const auto& [name, type] : fields)
        m_mirror->addField(QString::fromLatin1(name), type, type == FT::Text ? 1 : 0);
    m_mirror->setIndexName(QStringLiteral("acc_date"));
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

Table& TOperationEditor::mirror(const QVariant& account, const QVariant& created)
{
    Table& m = *m_mirror;
    m.close();
    m.setDatabaseName(m_dm.Tb_Hist->databaseName());
    // An end key with fewer parts than the order ends before the rows that fill the rest: the date
    // that follows in the order is given as the largest there is.
    const QVariantList key{account, created, QStringLiteral("1")};
    m.setRange(key, key + QVariantList{std::numeric_limits<qint32>::max()});
    m.open();
    return m;
}

void TOperationEditor::closeMirror()
{
    try {
        m_mirror->cancel();
        m_mirror->close();
    } catch (...) {
    }
}

void TOperationEditor::changeBalanceOf(const QVariant& account, qint64 change)
{
    Table& acc = *m_dm.Tb_Account;
    const qint64 back = acc.bookmark();
    SuspendControls suspend(acc);
    const auto restore = qScopeGuard([&] {
        try {
            acc.cancel(); // a refused post must not keep the cursor on the other account
            acc.gotoBookmark(back);
        } catch (...) {
        }
    });
    if (!acc.locate(QStringLiteral("Id_Account"), account))
        return;
    Field& rest = acc.fieldByName(QStringLiteral("Rest"));
    qint64 now = 0;
    if (!checkedAdd(toTenThousandths(rest.asFloat()), change, &now))
        throw DbError(QStringLiteral("Остаток счёта «%1» вышел бы за пределы чисел, которые программа считает точно")
                          .arg(acc.fieldByName(QStringLiteral("Account")).asString()));
    acc.edit();
    rest.setValue(fromTenThousandths(now));
    acc.post();
}

void TOperationEditor::inTransaction(const std::function<void()>& writes)
{
    Table& hist = *m_dm.Tb_Hist;
    Table& acc = *m_dm.Tb_Account;
    const bool saved = m_dm.DataSaved;
    const QVariant current = acc.fieldByName(QStringLiteral("Id_Account")).value();
    try {
        Transaction change(*hist.database());
        writes();
        change.commit();
    } catch (...) {
        // The database is as it was; so must be everything that shows it.
        closeMirror();
        for (Table* t : {&hist, &acc}) {
            try {
                t->cancel();
                t->refresh();
            } catch (...) {
            }
        }
        m_dm.DataSaved = saved;
        try {
            acc.locate(QStringLiteral("Id_Account"), current);
            m_view.UpdateTotals(false, 0);
        } catch (...) {
        }
        throw;
    }
}

void TOperationEditor::OpenOperationCard(int mode)
{
    Table& acc = *m_dm.Tb_Account;
    Table& hist = *m_dm.Tb_Hist;
    TFormCard* card = m_card();
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
        }
        req.CardMode = 0;
        req.CardPage = 0;
        req.Realizing = false;
        pages.endFlow();
    });

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
        hist.edit();
    }

    if (m_prompts.runModal(card) != QDialog::Accepted) {
        hist.cancel();
        return;
    }
    const qint64 delta = card->RestDelta;
    inTransaction([&] {
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
        // The row as written: after the post the cursor may stand elsewhere (a row moved out of
        // the period leaves the view).
        captureSendingRow();
        hist.post();
        if (m_sending.kind == QLatin1String("1")) {
            m_view.UpdateTotals(false, delta);
            if (req.CardPage == 3)
                PostTransferMirror();
        }
    });
}

void TOperationEditor::PostTransferMirror()
{
    TFormCard* card = m_card();
    CardRequest& req = card->request();
    const QVariant& created = m_sending.created;
    const QVariant& dateReal = m_sending.dateReal;
    const QVariant& person = m_sending.person;
    const QVariant& firm = m_sending.firm;
    const QVariant& target = m_sending.target;
    const qint64 price = m_sending.price;
    const qint64 received = card->ReceivedAmount != 0 ? card->ReceivedAmount : m_sending.amount;
    if (received == 0)
        return;

    Table& m = mirror(target, created);
    const auto done = qScopeGuard([this] { closeMirror(); });
    qint64 before = 0;
    if (req.CardMode != 3 || req.Realizing) {
        m.insert();
    } else {
        if (m.isEmpty()) {
            m_prompts.inform(QStringLiteral("Соответствующая строка не найдена!"));
            return;
        }
        before = unitsOf(m.fieldByName(QStringLiteral("Dt")));
        m.edit();
    }
    m.fieldByName(QStringLiteral("Date_Create")).setValue(created);
    m.fieldByName(QStringLiteral("Date_Real")).setValue(req.CardMode != 3 ? QVariant(m_state.workDate()) : dateReal);
    m.fieldByName(QStringLiteral("ID_Firm")).setValue(firm);
    m.fieldByName(QStringLiteral("ID_Person")).setValue(person);
    m.fieldByName(QStringLiteral("Price")).setValue(amountOf(price));
    m.fieldByName(QStringLiteral("Id_Account")).setValue(target);
    m.fieldByName(QStringLiteral("Kind")).setValue(QStringLiteral("1"));
    m.fieldByName(QStringLiteral("Level1")).setValue(qint64(-1));
    m.fieldByName(QStringLiteral("Level2")).clear();
    m.fieldByName(QStringLiteral("Level3")).clear();
    m.fieldByName(QStringLiteral("Ct")).clear();
    m.fieldByName(QStringLiteral("Ref_Account"))
        .setValue(m_dm.Tb_Account->fieldByName(QStringLiteral("Id_Account")).value());
    m.fieldByName(QStringLiteral("Dt")).setValue(fromTenThousandths(received));
    m.post();
    qint64 change = 0;
    if (!checkedAdd(received, -before, &change))
        throw DbError(QStringLiteral("Сумма перевода вышла бы за пределы чисел, которые программа считает точно"));
    changeBalanceOf(target, change);
}

void TOperationEditor::captureSendingRow()
{
    Table& hist = *m_dm.Tb_Hist;
    m_sending.kind = hist.fieldByName(QStringLiteral("Kind")).asString();
    m_sending.created = hist.fieldByName(QStringLiteral("Date_Create")).value();
    m_sending.dateReal = hist.fieldByName(QStringLiteral("Date_Real")).value();
    m_sending.person = hist.fieldByName(QStringLiteral("ID_Person")).value();
    m_sending.firm = hist.fieldByName(QStringLiteral("ID_Firm")).value();
    m_sending.target = hist.fieldByName(QStringLiteral("Ref_Account")).value();
    m_sending.price = unitsOf(hist.fieldByName(QStringLiteral("Price")));
    m_sending.amount = unitsOf(hist.fieldByName(QStringLiteral("Ct")));
}

void TOperationEditor::mMoneyDeleteClick()
{
    Table& hist = *m_dm.Tb_Hist;
    // Only what the command allows: never the receiving row of a transfer on its own.
    if (!m_view.mMoneyDelete->isEnabled() || !hist.active() || hist.isEmpty() || receivingRow(hist))
        return;
    if (!m_prompts.confirm(QStringLiteral("Удалить строку?")))
        return;
    inTransaction([&] {
        if (hist.fieldByName(QStringLiteral("Kind")).asString() > QLatin1String("1")) {
            hist.deleteRecord();
            return;
        }
        const QVariant created = hist.fieldByName(QStringLiteral("Date_Create")).value();
        const QVariant target = hist.fieldByName(QStringLiteral("Ref_Account")).value();
        if (hist.fieldByName(QStringLiteral("Level1")).value() == QVariant(qint64(-1))) {
            qint64 received = 0;
            {
                Table& m = mirror(target, created);
                const auto done = qScopeGuard([this] { closeMirror(); });
                if (!m.isEmpty()) {
                    received = unitsOf(m.fieldByName(QStringLiteral("Dt")));
                    m.deleteRecord();
                }
            }
            changeBalanceOf(target, -received);
        }
        const Field& ct = hist.fieldByName(QStringLiteral("Ct"));
        const qint64 change = !ct.isNull() ? unitsOf(ct) : -unitsOf(hist.fieldByName(QStringLiteral("Dt")));
        hist.deleteRecord();
        if (change != 0)
            m_view.UpdateTotals(false, change);
    });
}

void TOperationEditor::mUpdateClick()
{
    Table& hist = *m_dm.Tb_Hist;
    if (!m_view.mUpdate->isEnabled() || hist.isEmpty()
        || hist.fieldByName(QStringLiteral("Kind")).asString() <= QLatin1String("1"))
        return;
    m_card()->request().Realizing = true;
    OpenOperationCard(3);
}

} // namespace dorv
