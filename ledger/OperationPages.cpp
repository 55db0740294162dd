#include "OperationPages.h"

#include "card/DorvCard.h"
#include "data/DataSource.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/Fields.h"
#include "util/Money.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"
#include "widgets/DbControls.h"
#include "widgets/ErrorGuard.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace dorv {

namespace {

const QString PositiveNumber = QStringLiteral("Надо указать положительное число !");

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QCheckBox* makeCheck(const QString& name, const QString& text, const QString& hint, QWidget* parent)
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    c->setToolTip(hint);
    c->setVisible(false);
    return c;
}

qint64 unitsOf(const Field* f) { return f && !f->isNull() ? toTenThousandths(f->asFloat()) : 0; }

} // namespace

TOperationPages::TOperationPages(TFormCard& card, TDm& dm, Prompts& prompts)
    : QObject(&card), m_card(card), m_dm(dm), m_prompts(prompts)
{
    setObjectName(QStringLiteral("OperationPages"));
    Tb_Acc = new Table(QStringLiteral("Tb_Acc"), QStringLiteral("TB_ACCOUNT"), this);
    Tb_Acc->addField(AccountField::IdAccount, FieldType::SmallInt);
    Tb_Acc->addField(AccountField::Account, FieldType::Text, 30).setLabel(QStringLiteral("Наименование"));
    Tb_Acc->addField(AccountField::Currency, FieldType::Text, 15).setLabel(QStringLiteral("Валюта"));
    Tb_Acc->addField(AccountField::Rest, FieldType::Float).setDisplayFormat(QStringLiteral("0.00"));
    DataAcc = new DataSource(QStringLiteral("DataAcc"), Tb_Acc, this);
    connect(DataAcc, &DataSource::dataChanged, this, [this] { DataAccDataChange(); });
    card.ownedDatasets << Tb_Acc;

    buildShared();
    buildOperationPage();
    buildTransferPage();
    // A receipt's lines are added up in the amount itself; the rate stays a plain number.
    for (TDbEdit* e : {DBESum, DBEPrice, DBETrans, DBETrans_Ref})
        e->setTakesSums(true);

    for (int page : {1, 2, 3})
        card.setPage(page, this);
}

TOperationPages::~TOperationPages() = default;

QVariant TOperationPages::addToBook(Table& table, const QString& nameField, const QString& keyField,
                                    const QString& name)
{
    if (!table.active() || !m_prompts.confirm(QStringLiteral("Добавить «%1» в справочник?").arg(name)))
        return {};
    // Through the table, so that the record rules give the row its identifier and keep the names'
    // rules; a name the table refuses is reported by whoever pressed OK.
    table.insert();
    try {
        table.fieldByName(nameField).setAsString(name);
        table.post();
    } catch (...) {
        if (table.editing())
            table.cancel();
        throw;
    }
    if (table.locate(nameField, name))
        return table.fieldByName(keyField).value();
    return {};
}

bool TOperationPages::pageOk()
{
    // A name typed and not yet taken is taken first; one the user would not add keeps the card open.
    if (!DBLWho->commitTyped() || !DBLWhere->commitTyped())
        return false;
    qint64 delta = m_card.RestDelta;
    if (!ValidateOperation(delta))
        return false;
    m_card.RestDelta = delta;
    return true;
}

void TOperationPages::buildShared()
{
    m_shared = new QWidget(m_card.pageWidget(CardPage::Expense));
    m_shared->setObjectName(QStringLiteral("SharedControls"));
    auto* grid = new QGridLayout(m_shared);
    grid->setContentsMargins(0, 0, 0, 0);
    LabWho = makeLabel(QStringLiteral("LabWho"), QStringLiteral("От кого ( Кому )"), m_shared);
    DBLWho = new TDbLookupCombo(QStringLiteral("DBLWho"), m_shared);
    LabWhere = makeLabel(QStringLiteral("LabWhere"), QStringLiteral("Откуда ( Куда )"), m_shared);
    DBLWhere = new TDbLookupCombo(QStringLiteral("DBLWhere"), m_shared);
    for (TDbLookupCombo* list : {DBLWho, DBLWhere}) {
        connect(list, &TDbLookupCombo::pickFailed, this, [this](const QString& message) { m_prompts.error(message); });
        list->setToolTip(QStringLiteral("Для удаления - клавиша DEL"));
        connectGuarded(list, &TDbLookupCombo::deletePressed, this, m_prompts, [this, list] { DBLWhoKeyDown(list); });
    }
    DBLWho->bind(m_dm.Tb_Hist, HistField::IdPerson);
    DBLWhere->bind(m_dm.Tb_Hist, HistField::IdFirm);
    DBLWho->allowTyping([this](const QString& name) {
        return addToBook(*m_dm.Tb_Person, QStringLiteral("Name"), QStringLiteral("Id_Person"), name);
    });
    DBLWhere->allowTyping([this](const QString& name) {
        return addToBook(*m_dm.Tb_Firm, QStringLiteral("Firm"), QStringLiteral("Id_Firm"), name);
    });
    ChDate =
        makeCheck(QStringLiteral("ChDate"), QStringLiteral("Дата"), QStringLiteral("Заменить на новую дату"), m_shared);
    grid->addWidget(LabWho, 0, 0);
    grid->addWidget(DBLWho, 1, 0);
    grid->addWidget(LabWhere, 2, 0);
    grid->addWidget(DBLWhere, 3, 0);
    grid->addWidget(ChDate, 4, 0);
}

void TOperationPages::buildOperationPage()
{
    QWidget* page = m_card.pageWidget(CardPage::Expense);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 8, 10, 4);
    Label8 = makeLabel(QStringLiteral("Label8"), QStringLiteral("Сумма"), page);
    DBESum = new TDbEdit(QStringLiteral("DBESum"), page);
    LabPrice = makeLabel(QStringLiteral("LabPrice"), QStringLiteral("Цена"), page);
    DBEPrice = new TDbEdit(QStringLiteral("DBEPrice"), page);
    DBEPrice->bind(m_dm.Tb_Hist, HistField::Price);
    ChCategory = makeCheck(QStringLiteral("ChCategory"), QStringLiteral("За что?"),
                           QStringLiteral("Заменить на новую статью расхода-прихода"), page);
    for (QWidget* w : {static_cast<QWidget*>(Label8), static_cast<QWidget*>(DBESum), static_cast<QWidget*>(LabPrice),
                       static_cast<QWidget*>(DBEPrice)})
        layout->addWidget(w);
    layout->addWidget(m_shared);
    layout->addWidget(ChCategory);
    layout->addStretch(1);
}

void TOperationPages::buildTransferPage()
{
    QWidget* page = m_card.pageWidget(CardPage::Transfer);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 8, 10, 4);
    Label10 = makeLabel(QStringLiteral("Label10"), QStringLiteral("Сумма"), page);
    DBETrans = new TDbEdit(QStringLiteral("DBETrans"), page);
    DBETrans->bind(m_dm.Tb_Hist, HistField::Ct);
    LabAcc = makeLabel(QStringLiteral("LabAcc"), QStringLiteral("Счёт"), page);
    DBLTrans = new TDbLookupCombo(QStringLiteral("DBLTrans"), page);
    DBLTrans->bind(m_dm.Tb_Hist, HistField::RefAccount);
    connect(DBLTrans, &TDbLookupCombo::pickFailed, this, [this](const QString& message) { m_prompts.error(message); });
    DBLTrans->setList(Tb_Acc, AccountField::IdAccount, {AccountField::Account, AccountField::Currency});
    // The target's row of the other accounts follows the pick, and with it the rate rule.
    connectGuarded(DBLTrans, &TDbLookupCombo::keyPicked, this, m_prompts, [this](const QVariant& key) {
        Tb_Acc->locate(AccountField::IdAccount, key);
        // The cursor may already stand there: the rule is asked either way.
        DataAccDataChange();
    });
    GrRate = new QGroupBox(QStringLiteral("Сумма перевода и курс"), page);
    GrRate->setObjectName(QStringLiteral("GrRate"));
    // Each of the two fields says what it asks for: the amount the target receives, the rate.
    auto* rate = new QFormLayout(GrRate);
    DBETrans_Ref = new TDbEdit(QStringLiteral("DBETrans_Ref"), GrRate);
    DBETrans_Ref->bind(m_dm.Qtrans, HistField::Dt);
    DBERate = new TDbEdit(QStringLiteral("DBERate"), GrRate);
    DBERate->setToolTip(QStringLiteral("Курс"));
    DBERate->bind(m_dm.Tb_Hist, HistField::Price);
    LabTrans_Ref = makeLabel(QStringLiteral("LabTrans_Ref"), QStringLiteral("Сумма:"), GrRate);
    LabTrans_Ref->setBuddy(DBETrans_Ref);
    LabRate = makeLabel(QStringLiteral("LabRate"), QStringLiteral("Курс:"), GrRate);
    LabRate->setBuddy(DBERate);
    rate->addRow(LabTrans_Ref, DBETrans_Ref);
    rate->addRow(LabRate, DBERate);
    GrRate->setVisible(false);
    for (QWidget* w : {static_cast<QWidget*>(Label10), static_cast<QWidget*>(DBETrans), static_cast<QWidget*>(LabAcc),
                       static_cast<QWidget*>(DBLTrans), static_cast<QWidget*>(GrRate)})
        layout->addWidget(w);
    layout->addStretch(1);
}

void TOperationPages::moveSharedTo(QWidget* page)
{
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    if (m_shared->parentWidget() != page) {
        m_shared->setParent(page);
        // Under the amounts on either page, at the same place.
        layout->insertWidget(page == m_card.pageWidget(CardPage::Expense) ? 4 : 5, m_shared);
    }
    m_shared->show();
}

void TOperationPages::focus(QWidget* control)
{
    if (control->isVisible() && control->isEnabled())
        control->setFocus();
}

void TOperationPages::ShowOperationPage()
{
    const CardPage page = m_card.request().CardPage;
    Table& hist = *m_dm.Tb_Hist;
    QString caption = page == CardPage::Expense  ? QStringLiteral("Расход")
                      : page == CardPage::Income ? QStringLiteral("Приход")
                                                 : QStringLiteral("Перевод на другой счёт");
    DBLWho->setList(m_dm.Tb_Person, QStringLiteral("ID_PERSON"), {QStringLiteral("NAME")});
    DBLWhere->setList(m_dm.Tb_Firm, QStringLiteral("ID_FIRM"), {QStringLiteral("FIRM")});
    DBEPrice->showValue();
    if (page == CardPage::Expense || page == CardPage::Income) {
        m_card.showPageWidget(m_card.pageWidget(CardPage::Expense));
        moveSharedTo(m_card.pageWidget(CardPage::Expense));
        DBESum->bind(&hist, page == CardPage::Expense ? HistField::Ct : HistField::Dt);
        m_card.RestDelta = unitsOf(hist.findField(DBESum->fieldName()));
        focus(DBESum);
        if (!hist.isEmpty() || hist.state() == DatasetState::Insert) {
            QString deepest;
            for (const QString* name : {&HistField::Article, &HistField::Item, &HistField::Category}) {
                const Field* f = hist.findField(*name);
                if (f && !f->asString().isEmpty()) {
                    deepest = f->asString();
                    break;
                }
            }
            caption += QStringLiteral("...") + deepest;
        }
    } else {
        m_card.showPageWidget(m_card.pageWidget(CardPage::Transfer));
        moveSharedTo(m_card.pageWidget(CardPage::Transfer));
        m_card.RestDelta = unitsOf(hist.findField(HistField::Ct));
        m_card.ReceivedAmount = 0;
        openOtherAccounts();
        const bool planned = storedPlanned(hist.fieldByName(HistField::Kind).asString());
        DBLTrans->setEnabled(m_card.request().CardMode == CardMode::New || planned);
        DBETrans->showValue();
        DataAccDataChange();
        Query& q = *m_dm.Qtrans;
        q.close();
        const Field& ref = hist.fieldByName(HistField::RefAccount);
        q.paramByName(QStringLiteral("Ref_Account")).setAsInteger(ref.isNull() ? 0 : ref.asInteger());
        q.paramByName(QStringLiteral("Date_Create")).value = hist.fieldByName(HistField::DateCreate).value();
        q.open();
        DBETrans_Ref->showValue();
        if (GrRate->isVisible() || m_rate)
            m_card.ReceivedAmount = q.isEmpty() ? 0 : unitsOf(q.findField(HistField::Dt));
        DBERate->showValue();
        focus(DBETrans);
    }
    m_card.setWindowTitle(caption);
    // The check boxes of an edit and the rate take room of their own.
    m_card.fitToPage();
}

void TOperationPages::openOtherAccounts()
{
    Tb_Acc->close();
    Tb_Acc->setDatabaseName(m_dm.Tb_Account->databaseName());
    const qint64 current = m_dm.Tb_Account->fieldByName(AccountField::IdAccount).asInteger();
    Tb_Acc->setFilter(QStringLiteral("id_Account<>'%1'").arg(current));
    Tb_Acc->setFiltered(true);
    Tb_Acc->open();
    const Field& ref = m_dm.Tb_Hist->fieldByName(HistField::RefAccount);
    if (!ref.isNull())
        Tb_Acc->locate(AccountField::IdAccount, ref.value());
    DBLTrans->reload();
}

bool TOperationPages::rateRule() const
{
    Table& hist = *m_dm.Tb_Hist;
    if (!Tb_Acc->active() || Tb_Acc->isEmpty() || !hist.active())
        return false;
    const Field* ref = hist.findField(HistField::RefAccount);
    const Field* kind = hist.findField(HistField::Kind);
    if (!ref || ref->isNull())
        return false;
    const bool real = (kind && storedReal(kind->asString())) || m_card.request().Realizing;
    // The target's currency, wherever the list's cursor stands.
    const Field& id = Tb_Acc->fieldByName(AccountField::IdAccount);
    const Field& currency = Tb_Acc->fieldByName(AccountField::Currency);
    QString target;
    bool found = false;
    for (int row = 0; row < Tb_Acc->recordCount() && !found; ++row) {
        const Record r = Tb_Acc->recordAt(row);
        if (r.value(id.index()).toLongLong() == ref->asInteger()) {
            target = r.value(currency.index()).toString();
            found = true;
        }
    }
    const QString own = m_dm.Tb_Account->fieldByName(AccountField::Currency).asString();
    return real && found && target != own;
}

void TOperationPages::DataAccDataChange()
{
    m_rate = rateRule();
    GrRate->setVisible(m_rate);
    // Picking another target shows or hides the rate at once: the card follows.
    if (m_card.isVisible() && m_card.shows(m_card.pageWidget(CardPage::Transfer)))
        m_card.fitToPage();
}

bool TOperationPages::rateShown() const { return m_rate; }

void TOperationPages::DBLWhoKeyDown(TDbLookupCombo* list)
{
    Table& hist = *m_dm.Tb_Hist;
    if (!hist.active())
        return;
    if (!hist.editing())
        hist.edit();
    hist.fieldByName(list == DBLWho ? HistField::IdPerson : HistField::IdFirm).clear();
}

void TOperationPages::writeEdits()
{
    for (TDbEdit* e : {DBESum, DBEPrice, DBETrans, DBETrans_Ref, DBERate})
        if (e->isVisibleTo(&m_card) && e->window() == &m_card)
            e->writeValue();
}

bool TOperationPages::ValidateOperation(qint64& delta)
{
    writeEdits();
    Table& hist = *m_dm.Tb_Hist;
    const Field& dt = hist.fieldByName(HistField::Dt);
    const Field& ct = hist.fieldByName(HistField::Ct);
    const bool realizing = m_card.request().Realizing;
    const bool real = storedReal(hist.fieldByName(HistField::Kind).asString()) || realizing;
    // 1. An amount, and a positive one.
    const bool bad = dt.isNull() ? !(ct.asFloat() > 0) : (ct.isNull() && !(dt.asFloat() > 0));
    if (bad) {
        m_prompts.inform(PositiveNumber);
        focus(DBESum);
        focus(DBETrans);
        return false;
    }
    // No amount the program cannot count to the ten-thousandth exactly.
    const Field& price = hist.fieldByName(HistField::Price);
    qint64 newCt = 0, newDt = 0, units = 0;
    const bool amountFits = checkedTenThousandths(ct.isNull() ? 0 : ct.asFloat(), &newCt)
                            && checkedTenThousandths(dt.isNull() ? 0 : dt.asFloat(), &newDt);
    const bool priceFits = checkedTenThousandths(price.isNull() ? 0 : price.asFloat(), &units);
    if (!amountFits || !priceFits) {
        m_prompts.inform(QStringLiteral("Слишком большое число: сумма и цена не могут быть больше %1 !")
                             .arg(formatMoney(MaxAmount)));
        if (amountFits) {
            focus(DBEPrice);
            focus(DBERate);
        } else {
            focus(DBESum);
            focus(DBETrans);
        }
        return false;
    }
    // 2. The change of the balance: old expense - new expense, or new income - old income.
    qint64 change = delta;
    if (real) {
        if (realizing)
            change = 0;
        change = dt.isNull() ? change - newCt : newDt - change;
    }
    // 3. A transfer.
    qint64 received = m_card.ReceivedAmount;
    if (m_card.request().CardPage == CardPage::Transfer) {
        if (hist.fieldByName(HistField::RefAccount).isNull()) {
            m_prompts.inform(QStringLiteral("Не выбран целевой счёт ( куда перевести деньги ? ) !"));
            focus(DBLTrans);
            return false;
        }
        if (m_rate && !price.isNull() && !(price.asFloat() > 0)) {
            m_prompts.inform(QStringLiteral("Неверно указан курс !"));
            focus(DBERate);
            return false;
        }
        const Field* got = m_dm.Qtrans->active() ? m_dm.Qtrans->findField(HistField::Dt) : nullptr;
        const double gotAmount = got && !got->isNull() ? got->asFloat() : 0;
        if (m_rate && !(gotAmount > 0)) {
            m_prompts.inform(PositiveNumber);
            focus(DBETrans_Ref);
            return false;
        }
        if (m_rate && !checkedTenThousandths(gotAmount, &units)) {
            m_prompts.inform(
                QStringLiteral("Слишком большое число: сумма не может быть больше %1 !").arg(formatMoney(MaxAmount)));
            focus(DBETrans_Ref);
            return false;
        }
        if (real && m_rate)
            received = units;
    }
    delta = change;
    m_card.ReceivedAmount = received;
    return true;
}

void TOperationPages::endFlow()
{
    // What was typed into a card that was cancelled is gone with it.
    for (TDbEdit* e : {DBESum, DBEPrice, DBETrans, DBETrans_Ref, DBERate})
        e->setModified(false);
    try {
        Tb_Acc->close();
    } catch (...) {
        // The card's own list of accounts is opened afresh with the next card.
        noteSwallowed("closing the card's accounts");
    }
    GrRate->setVisible(false);
    m_rate = false;
    for (QCheckBox* c : {ChDate, ChCategory}) {
        c->setChecked(false);
        c->setVisible(false);
    }
}

} // namespace dorv
