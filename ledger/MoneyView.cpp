#include "MoneyView.h"

#include "BookCheckCommand.h"
#include "OperationEditor.h"
#include "book/Ledger.h"
#include "card/DorvCard.h"
#include "categories/CategoryEditor.h"
#include "categories/CategoryTree.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/Fields.h"
#include "data/OpeningBalances.h"
#include "data/SuspendControls.h"
#include "data/TableModel.h"
#include "data/Transaction.h"
#include "results/DorvRes.h"
#include "util/DateScale.h"
#include "util/Money.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"
#include "widgets/ErrorGuard.h"
#include "widgets/GridExport.h"
#include "widgets/WaitCursor.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <limits>

namespace dorv {

namespace {

// A data label that reports clicks, as the account labels open the accounts card.
class ClickLabel final : public QLabel {
    Q_OBJECT
public:
    ClickLabel(const QString& name, const QString& hint, QWidget* parent) : QLabel(parent)
    {
        setObjectName(name);
        setToolTip(hint);
        QFont f = font();
        f.setPixelSize(13);
        setFont(f);
        setMargin(2);
    }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        QLabel::mousePressEvent(e);
        emit clicked();
    }
};

// The direction items show a bold sign, on the tool bar as in the old days.
QIcon signIcon(const QString& sign)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPixelSize(18);
    painter.setFont(font);
    painter.setPen(QApplication::palette().color(QPalette::ButtonText));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, sign);
    return QIcon(pixmap);
}

// A status panel is at least its given width and always wide enough for its text.
// A panel of the status bar: as wide as its least width or its text, whichever is more; on a
// window too narrow for that (a small screen, double density) it gives way down to its text, so
// that the window itself can stay inside the screen.
class PanelLabel final : public QLabel {
public:
    using QLabel::QLabel;
    int wanted = 0;
    QSize sizeHint() const override { return {wanted, QLabel::sizeHint().height()}; }
};

void fitPanel(QLabel* panel, int least)
{
    const int text = panel->fontMetrics().horizontalAdvance(panel->text()) + 2 * panel->frameWidth() + 10;
    static_cast<PanelLabel*>(panel)->wanted = qMax(least, text);
    panel->setMinimumWidth(text);
    panel->setMaximumWidth(qMax(least, text));
    panel->resize(qMax(least, text), panel->height());
    panel->updateGeometry();
}

} // namespace

TMoneyView::TMoneyView(Services& host, QWidget* parent)
    : QWidget(parent), PeriodStart(host.state->PeriodStart), PeriodEnd(host.state->PeriodEnd), m_host(host)
{
    setObjectName(QStringLiteral("MoneyView"));
    buildActions();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    layout->addWidget(TbMoney);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(4);
    Pgd = new TCategoryPane(*m_host.dm, Splitter1);
    connect(Pgd, &TCategoryPane::operationCardRequested, this, [this] { emit operationCardRequested(CardMode::New); });
    connect(Pgd, &TCategoryPane::splitterColour, this, [this](const QColor& colour) {
        // Leaving a tree for the history is entering the history: its colour wins.
        setSplitterColour(DBG->hasFocus() ? QColor(128, 0, 0) : colour);
    });
    for (QTreeWidget* tree : {Pgd->expenseTree(), Pgd->incomeTree()})
        tree->setDragEnabled(true);

    DBG = new TDbGrid(QStringLiteral("DBG"), 1, Splitter1);
    histModel = new TableModel(m_host.dm->Tb_Hist, this);
    DBG->setGridModel(histModel);
    DBG->setContextMenuPolicy(Qt::CustomContextMenu);
    connectGuarded(DBG, &TDbGrid::rowDoubleClicked, this, *m_host.prompts, [this] { DBGDblClick(); });
    connectGuarded(DBG, &TDbGrid::enterPressed, this, *m_host.prompts, [this] { DBGDblClick(); });
    connect(DBG, &TDbGrid::focusEntered, this, [this] { setSplitterColour(QColor(128, 0, 0)); });
    connect(DBG, &TDbGrid::focusLeft, this, [this] { setSplitterColour(palette().color(QPalette::Button)); });
    connect(DBG, &TDbGrid::dropped, this, [this] { emit operationCardRequested(CardMode::New); });
    connect(DBG, &TDbGrid::readFailed, this, [this](const QString& message) { m_host.prompts->error(message); });
    applyDefaultWidths();
    Splitter1->addWidget(Pgd);
    Splitter1->addWidget(DBG);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({175, 600});
    layout->addWidget(Splitter1, 1);

    Sb = new QStatusBar(this);
    Sb->setObjectName(QStringLiteral("Sb"));
    Sb->setSizeGripEnabled(false);
    QFont bold = Sb->font();
    bold.setBold(true);
    const char* captions[] = {"Начало:", "", "Приход:", "", "Расход:", "", "Конец:", ""};
    for (int i = 0; i < 8; ++i) {
        auto* l = new PanelLabel(QString::fromUtf8(captions[i]), Sb);
        l->setObjectName(QStringLiteral("SbPanel%1").arg(i));
        l->setFont(bold);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(i % 2 ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
        Sb->addWidget(l);
        m_panels[i] = l;
        fitPanel(l, i % 2 ? 100 : 60);
    }
    layout->addWidget(Sb);

    TDm& dm = *m_host.dm;
    connect(dm.DataAccount, &DataSource::dataChanged, this, [this](Field*) { refreshAccountLabels(); });
    connect(dm.DataAccount, &DataSource::stateChanged, this, [this] { refreshAccountLabels(); });
    connect(&dm, &TDm::balanceColourChanged, this, [this](bool negative) { setBalanceColour(negative); });
    connect(&dm, &TDm::panDateEnabledChanged, PanDate, &QWidget::setEnabled);
    connect(m_host.state, &TMoneyState::directionChanged, this, [this] { followDirection(); });
    connect(m_host.state, &TMoneyState::periodKindChanged, this, [this] { followPeriodKind(); });
    connect(m_host.state, &TMoneyState::workDateChanged, this, [this] { showWorkDate(); });
    m_editor = new TOperationEditor(*this, m_host);
    connectGuarded(this, &TMoneyView::operationCardRequested, this, *m_host.prompts,
                   [this](CardMode mode) { m_editor->OpenOperationCard(mode); });
    buildPopup();
    m_categories = new TCategoryEditor(*Pgd, m_host);
    mCheck = (new TBookCheckCommand(*this, dm, *m_host.prompts))->mCheck;
    for (const char* name : {"mCategoryView", "mpCategoryView"})
        connectGuarded(Pgd->command(QString::fromLatin1(name)), &QAction::triggered, this, *m_host.prompts,
                       [this] { mCategoryViewClick(); });
    setBalanceColour(false);
    refreshAccountLabels();
    followDirection();
    followPeriodKind();
}

TMoneyView::~TMoneyView() = default;

void TMoneyView::buildActions()
{
    auto make = [this](const char* name, const QString& caption) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    // Unchecking the checked direction leaves neither: the money page without categories.
    m_modeGroup = new QActionGroup(this);
    m_modeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    mCt = make("mCt", QStringLiteral("&Расход"));
    mCt->setToolTip(QStringLiteral("Расходы"));
    mCt->setIcon(signIcon(QStringLiteral("−")));
    mDt = make("mDt", QStringLiteral("&Приход"));
    mDt->setToolTip(QStringLiteral("Доходы"));
    mDt->setIcon(signIcon(QStringLiteral("+")));
    mDt->setProperty("tag", 1);
    for (QAction* a : {mCt, mDt}) {
        a->setCheckable(true);
        a->setIconVisibleInMenu(false);
        m_modeGroup->addAction(a);
        connectGuarded(a, &QAction::triggered, this, *m_host.prompts, [this, a] { mDtClick(a); });
    }
    mCt->setChecked(true);

    mAccounts = make("mAccounts", QStringLiteral("&Счета..."));
    mAccounts->setIcon(QIcon(QStringLiteral(":/icons/accounts.svg")));
    mAccounts->setIconVisibleInMenu(false);
    connectGuarded(mAccounts, &QAction::triggered, this, *m_host.prompts, [this] { ButAccClick(); });

    mMoneyNew = make("mMoneyNew", QStringLiteral("&Добавить"));
    mMoneyNew->setEnabled(false);
    mMoneyEdit = make("mMoneyEdit", QStringLiteral("&Изменить"));
    mMoneyEdit->setEnabled(false);
    mMoneyDelete = make("mMoneyDelete", QStringLiteral("&Удалить"));
    mUpdate = make("mUpdate", QStringLiteral("Реали&зовать"));
    mpMoneyNew = make("mpMoneyNew", QStringLiteral("&Добавить операцию..."));
    mpMoneyNew->setShortcut(QKeySequence(Qt::Key_Insert));
    mpMoneyNew->setEnabled(false);
    mpMoneyEdit = make("mpMoneyEdit", QStringLiteral("&Изменить операцию..."));
    mpMoneyEdit->setShortcut(QKeySequence(Qt::Key_F11));
    mpMoneyEdit->setEnabled(false);
    mpMoneyDelete = make("mpMoneyDelete", QStringLiteral("&Удалить операцию..."));
    mpMoneyDelete->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    mpUpdate = make("mpUpdate", QStringLiteral("Реали&зовать операцию..."));
    const std::pair<QAction*, void (TMoneyView::*)()> commands[] = {
        {mMoneyNew, &TMoneyView::mMoneyNewClick},       {mpMoneyNew, &TMoneyView::mMoneyNewClick},
        {mMoneyEdit, &TMoneyView::mMoneyEditClick},     {mpMoneyEdit, &TMoneyView::mMoneyEditClick},
        {mMoneyDelete, &TMoneyView::mMoneyDeleteClick}, {mpMoneyDelete, &TMoneyView::mMoneyDeleteClick},
        {mUpdate, &TMoneyView::mUpdateClick},           {mpUpdate, &TMoneyView::mUpdateClick}};
    for (const auto& [action, handler] : commands)
        connectGuarded(action, &QAction::triggered, this, *m_host.prompts, [this, h = handler] { (this->*h)(); });

    m_rangeGroup = new QActionGroup(this);
    const char* ranges[][2] = {
        {"mTotal", "&Весь"}, {"mYear", "&Год"}, {"mMonth", "&Месяц"}, {"mWeek", "&Неделя"}, {"mDay", "&День"}};
    QAction** targets[] = {&mTotal, &mYear, &mMonth, &mWeek, &mDay};
    for (int i = 0; i < 5; ++i) {
        QAction* a = make(ranges[i][0], QString::fromUtf8(ranges[i][1]));
        a->setCheckable(true);
        m_rangeGroup->addAction(a);
        *targets[i] = a;
        connectGuarded(a, &QAction::triggered, this, *m_host.prompts, [this, a] { mTotalClick(a); });
    }
    mTotal->setChecked(true);

    mResult = make("mResult", QStringLiteral("И&тоги..."));
    mResult->setIcon(QIcon(QStringLiteral(":/icons/results.svg")));
    mResult->setIconVisibleInMenu(false);
    mEmptyHist = make("mEmptyHist", QStringLiteral("&Закрыть счёт..."));
    mEmptyHist->setProperty("tag", 1);
    connectGuarded(mEmptyHist, &QAction::triggered, this, *m_host.prompts, [this] { mEmptyHistClick(); });
    connectGuarded(mResult, &QAction::triggered, this, *m_host.prompts, [this] { ButResultClick(); });
}

QAction* TMoneyView::command(const QString& name) const { return findChild<QAction*>(name); }

int TMoneyView::categoryWidth() const { return Splitter1->sizes().value(0, 175); }

void TMoneyView::setCategoryWidth(int width, int total) { Splitter1->setSizes({width, qMax(100, total - width)}); }

QList<QAction*> TMoneyView::periodItems() const { return {mTotal, mYear, mMonth, mWeek, mDay}; }

void TMoneyView::buildToolBar()
{
    TbMoney = new QToolBar(this);
    TbMoney->setObjectName(QStringLiteral("TbMoney"));
    TbMoney->setMovable(false);
    TbMoney->setIconSize(QSize(20, 20));

    PanAcc = new QFrame(TbMoney);
    PanAcc->setObjectName(QStringLiteral("PanAcc"));
    PanAcc->setFrameShape(QFrame::Panel);
    PanAcc->setFrameShadow(QFrame::Sunken);
    auto* accLayout = new QHBoxLayout(PanAcc);
    accLayout->setContentsMargins(4, 1, 4, 1);
    auto* account = new ClickLabel(QStringLiteral("DBTAccount"), QStringLiteral("Наименование счёта"), PanAcc);
    auto* rest = new ClickLabel(QStringLiteral("DBTRest"), QStringLiteral("Текущий остаток"), PanAcc);
    auto* currency = new ClickLabel(QStringLiteral("DBTCurrency"), QStringLiteral("Валюта"), PanAcc);
    QFont boldRest = rest->font();
    boldRest.setBold(true);
    rest->setFont(boldRest);
    rest->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    account->setMinimumWidth(120);
    rest->setMinimumWidth(80);
    for (ClickLabel* l : {account, rest, currency}) {
        connectGuarded(l, &ClickLabel::clicked, this, *m_host.prompts, [this] { ButAccClick(); });
        accLayout->addWidget(l);
    }
    DBTAccount = account;
    DBTRest = rest;
    DBTCurrency = currency;
    TbMoney->addWidget(PanAcc);

    auto button = [this](const QString& name, const QString& hint) {
        auto* b = new QToolButton(TbMoney);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setAutoRaise(true);
        return b;
    };
    ButAcc = button(QStringLiteral("ButAcc"), QStringLiteral("Счета..."));
    ButAcc->setDefaultAction(mAccounts);
    TbMoney->addWidget(ButAcc);
    TbMoney->addSeparator();

    CbPer = new QComboBox(TbMoney);
    CbPer->setObjectName(QStringLiteral("CbPer"));
    CbPer->addItems({QStringLiteral("Весь период"), QStringLiteral("Год"), QStringLiteral("Месяц"),
                     QStringLiteral("Неделя"), QStringLiteral("День")});
    CbPer->setCurrentIndex(0);
    CbPer->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connectGuarded(CbPer, &QComboBox::activated, this, *m_host.prompts, [this] { CbPerClick(); });
    TbMoney->addWidget(CbPer);

    PanDate = new QFrame(TbMoney);
    PanDate->setObjectName(QStringLiteral("PanDate"));
    PanDate->setFrameShape(QFrame::Panel);
    PanDate->setFrameShadow(QFrame::Sunken);
    auto* dateLayout = new QHBoxLayout(PanDate);
    dateLayout->setContentsMargins(1, 1, 1, 1);
    dateLayout->setSpacing(1);
    ButPrev = button(QStringLiteral("ButPrev"), QStringLiteral("Предыдущий день"));
    ButPrev->setIcon(QIcon(QStringLiteral(":/icons/prev.svg")));
    ButPrev->setProperty("tag", 1);
    ButDate = button(QStringLiteral("ButDate"), QStringLiteral("Выбор даты..."));
    QFont dateFont = ButDate->font();
    dateFont.setBold(true);
    ButDate->setFont(dateFont);
    ButNext = button(QStringLiteral("ButNext"), QStringLiteral("Следующий день"));
    ButNext->setIcon(QIcon(QStringLiteral(":/icons/next.svg")));
    ButNext->setProperty("tag", 2);
    for (QToolButton* b : {ButPrev, ButDate, ButNext}) {
        b->setParent(PanDate);
        dateLayout->addWidget(b);
    }
    connectGuarded(ButPrev, &QToolButton::clicked, this, *m_host.prompts, [this] { ButPrevClick(1); });
    connectGuarded(ButNext, &QToolButton::clicked, this, *m_host.prompts, [this] { ButPrevClick(2); });
    connectGuarded(ButDate, &QToolButton::clicked, this, *m_host.prompts, [this] { ButDateClick(); });
    TbMoney->addWidget(PanDate);
    TbMoney->addSeparator();

    // The direction buttons are the direction items themselves: one state, two faces.
    ButCt = button(QStringLiteral("ButCt"), QStringLiteral("Расходы"));
    ButCt->setDefaultAction(mCt);
    ButDt = button(QStringLiteral("ButDt"), QStringLiteral("Доходы"));
    ButDt->setDefaultAction(mDt);
    TbMoney->addWidget(ButCt);
    TbMoney->addWidget(ButDt);
    TbMoney->addSeparator();
    ButResult = button(QStringLiteral("ButResult"), QStringLiteral("Итоги..."));
    ButResult->setDefaultAction(mResult);
    TbMoney->addWidget(ButResult);
}

void TMoneyView::setBalanceColour(bool negative)
{
    QPalette p = DBTRest->palette();
    p.setColor(QPalette::WindowText, negative ? QColor(Qt::red) : QColor(0, 0, 128));
    // The tool bar draws the widgets on it in the button-text colour: that is the colour that shows.
    p.setColor(QPalette::ButtonText, p.color(QPalette::WindowText));
    DBTRest->setPalette(p);
}

// ---- current account ----

void TMoneyView::refreshAccountLabels()
{
    // Labels follow every change of the accounts; showing them must never fail the change itself.
    Table& a = *m_host.dm->Tb_Account;
    const bool has = a.active() && !a.isEmpty();
    auto text = [&](const QString& name, bool formatted) {
        const Field* f = has ? a.findField(name) : nullptr;
        return f ? (formatted ? f->displayText() : f->asString()) : QString();
    };
    DBTAccount->setText(text(AccountField::Account, false));
    DBTRest->setText(text(AccountField::Rest, true));
    DBTCurrency->setText(text(AccountField::Currency, false));
}

void TMoneyView::ButAccClick()
{
    if (!ButAcc->isEnabled())
        return;
    Table& a = *m_host.dm->Tb_Account;
    const qint64 remembered = a.isEmpty() ? -1 : a.fieldByName(AccountField::IdAccount).asInteger();
    TFormCard* card = m_host.card();
    card->request().CardPage = CardPage::Accounts;
    if (m_host.prompts->runModal(card) == QDialog::Accepted) {
        ApplyPeriod();
    } else if (remembered >= 0) {
        try {
            a.locate(AccountField::IdAccount, remembered);
        } catch (const DbError&) {
        }
    }
}

// ---- period ----

void TMoneyView::followPeriodKind()
{
    const int index = int(state().periodKind());
    if (QAction* item = periodItems().value(index))
        item->setChecked(true);
    if (CbPer->currentIndex() != index)
        CbPer->setCurrentIndex(index);
}

void TMoneyView::mTotalClick(QAction* sender)
{
    if (sender) {
        const int index = int(periodItems().indexOf(sender));
        if (index >= 0)
            state().setPeriodKind(PeriodKind(index));
        followPeriodKind();
    }
    ApplyPeriod();
}

void TMoneyView::CbPerClick()
{
    const int i = CbPer->currentIndex();
    if (i >= 0 && i < 5)
        state().setPeriodKind(PeriodKind(i));
    ApplyPeriod();
}

void TMoneyView::ApplyPeriod()
{
    Table& acc = *m_host.dm->Tb_Account;
    if (!acc.active() || acc.isEmpty())
        return;
    repaint();
    const PeriodKind kind = periodKind();
    const int dateColumn = histModel->columnOf(HistField::DateReal);
    if (dateColumn >= 0)
        DBG->setColumnHidden(dateColumn, kind == PeriodKind::Day);
    state().computeBounds();
    const QString shortFormat = QStringLiteral("dd.MM.yyyy");
    CbPer->setToolTip(kind == PeriodKind::Whole ? QString()
                                                : dateOfDay(PeriodStart).toString(shortFormat) + QStringLiteral("...")
                                                      + dateOfDay(PeriodEnd).toString(shortFormat));
    WaitCursor wait;
    SetHistoryRange(*m_host.dm->Tb_Hist);
    UpdateTotals(true, 0);
}

void TMoneyView::SetHistoryRange(Table& table)
{
    const QVariant id = m_host.dm->Tb_Account->fieldByName(AccountField::IdAccount).value();
    const qint64 account = id.toLongLong();
    SuspendControls suspend(table);
    if (periodKind() == PeriodKind::Whole)
        table.setRange({account}, {account + 1});
    else
        table.setRange({account, PeriodStart}, {account, PeriodEnd + 1});
}

void TMoneyView::UpdateTotals(bool recomputeOpening, qint64 restDelta)
{
    TDm& dm = *m_host.dm;
    Table& acc = *dm.Tb_Account;
    if (restDelta != 0) {
        SuspendControls suspend(acc);
        Field& rest = acc.fieldByName(AccountField::Rest);
        qint64 now = 0;
        if (!checkedAdd(toTenThousandths(rest.asFloat()), restDelta, &now))
            throw DbError(QStringLiteral("Остаток счёта вышел бы за пределы чисел, которые программа считает точно"));
        acc.edit();
        rest.setValue(fromTenThousandths(now));
        acc.post();
    }
    Query& q = *dm.Qsum;
    q.close();
    const qint64 account = acc.fieldByName(AccountField::IdAccount).asInteger();
    q.paramByName(QStringLiteral("id_account")).setAsInteger(account);
    auto sums = [&](int d1, int d2, qint64* income, qint64* expense) {
        q.paramByName(QStringLiteral("d1")).setAsDate(d1);
        q.paramByName(QStringLiteral("d2")).setAsDate(d2);
        q.open();
        *income = toTenThousandths(q.field(0)->asFloat());
        *expense = toTenThousandths(q.field(1)->asFloat());
        q.close();
    };
    // Sums of a book too large to count exactly are refused, never shown wrapped round.
    auto difference = [](qint64 a, qint64 b) {
        qint64 d = 0;
        // A sum beyond the integer's range arrives saturated at one of its ends.
        auto saturated = [](qint64 x) {
            return x == std::numeric_limits<qint64>::max() || x == std::numeric_limits<qint64>::min();
        };
        if (__builtin_sub_overflow(a, b, &d) || saturated(a) || saturated(b))
            throw DbError(QStringLiteral("Суммы периода вышли за пределы чисел, которые программа считает точно"));
        return d;
    };
    if (recomputeOpening) {
        qint64 in = 0, out = 0;
        sums(0, PeriodStart - 1, &in, &out);
        OpeningBalance = difference(in, out);
    }
    q.paramByName(QStringLiteral("id_account")).setAsInteger(account);
    qint64 income = 0, expense = 0;
    sums(PeriodStart, PeriodEnd, &income, &expense);
    const qint64 closing = difference(OpeningBalance, difference(expense, income));
    setPanel(1, formatMoney(fromTenThousandths(OpeningBalance)));
    setPanel(3, formatMoney(fromTenThousandths(income)));
    setPanel(5, formatMoney(fromTenThousandths(expense)));
    setPanel(7, formatMoney(fromTenThousandths(closing)));
}

void TMoneyView::setPanel(int panel, const QString& text)
{
    m_panels[panel]->setText(text);
    fitPanel(m_panels[panel], 100);
}

QString TMoneyView::panelText(int panel) const { return m_panels[panel]->text(); }

void TMoneyView::showWorkDate()
{
    ButDate->setText(dateOfDay(state().workDate()).toString(QStringLiteral("dd.MM.yy")));
}

void TMoneyView::ButDateClick()
{
    const int day = m_host.pickDate(state().workDate());
    if (day <= 0 || day == state().workDate())
        return;
    state().setWorkDate(day);
    showWorkDate();
    ApplyPeriod();
}

void TMoneyView::ButPrevClick(int tag)
{
    state().setWorkDate(state().workDate() + (tag == 1 ? -1 : 1));
    showWorkDate();
    ApplyPeriod();
}

// ---- direction ----

void TMoneyView::followDirection()
{
    mCt->setChecked(state().expenseMode());
    mDt->setChecked(state().incomeMode());
}

void TMoneyView::mDtClick(QAction* sender)
{
    // The item's own check mark has already turned over; with the group's optional exclusion the
    // other item is unchecked by the group when this one was checked.
    Q_UNUSED(sender);
    state().setDirection(mCt->isChecked()   ? TMoneyState::Direction::Expense
                         : mDt->isChecked() ? TMoneyState::Direction::Income
                                            : TMoneyState::Direction::None);
    SwitchDirection();
}

void TMoneyView::ButCtClick(QToolButton* sender)
{
    if (QAction* a = sender->defaultAction())
        a->trigger();
}

void TMoneyView::SwitchDirection()
{
    followDirection();
    const bool expense = state().expenseMode();
    Pgd->setVisible(state().modeOn());
    m_host.updateCommandStates();
    if (!state().modeOn())
        return;
    Pgd->showPage(expense);
    if (!m_host.dm->Tb_Items->active())
        return;
    QTreeWidget* tree = expense ? Pgd->expenseTree() : Pgd->incomeTree();
    Pgd->FillCategoryTree(tree);
    if (tree->isVisible())
        tree->setFocus();
    Pgd->TvCtChange(tree->currentItem());
}

void TMoneyView::ResetForOpen()
{
    Pgd->showPage(true);
    state().setDirection(TMoneyState::Direction::Expense);
    Pgd->setVisible(true);
}

void TMoneyView::ResetTrees()
{
    Pgd->EmptyTrees();
    if (!m_host.dm->Tb_Items->active())
        return;
    try {
        Pgd->FillCategoryTree(Pgd->expenseTree());
        Pgd->FillCategoryTree(Pgd->incomeTree());
        if (Pgd->expenseTree()->topLevelItemCount() > 0)
            Pgd->expenseTree()->setCurrentItem(Pgd->expenseTree()->topLevelItem(0));
    } catch (const DbError&) {
    }
}

void TMoneyView::ShowNoHistory()
{
    // No account's identifier is this low: an empty history rather than everybody's rows.
    Table& hist = *m_host.dm->Tb_Hist;
    SuspendControls suspend(hist);
    hist.setRange({qint64(-100000)}, {qint64(-100000)});
}

void TMoneyView::ClearForClose()
{
    Pgd->EmptyTrees();
    for (int i : {1, 3, 5, 7})
        setPanel(i, QString());
}

// ---- the grid ----

void TMoneyView::applyDefaultWidths()
{
    const int charWidth = DBG->fontMetrics().averageCharWidth();
    QFont titleFont = DBG->horizontalHeader()->font();
    titleFont.setBold(true);
    const QFontMetrics titles(titleFont);
    for (int c = 0; c < histModel->columnCount(); ++c) {
        const Field* f = histModel->fieldAt(c);
        if (!f)
            continue;
        int width = f->displayWidth() > 0 ? f->displayWidth() * charWidth + 8 : 100;
        // A title is never cut, whatever the system font.
        width = qMax(width, titles.horizontalAdvance(f->label()) + 16);
        if (f->name().compare(QLatin1String("DATE_REAL"), Qt::CaseInsensitive) == 0) {
            // 77 pixels, or what a bold date needs where the system font is wider.
            QFont bold = DBG->font();
            bold.setBold(true);
            width = qMax(77, QFontMetrics(bold).horizontalAdvance(QStringLiteral("00.00.0000")) + 10);
        }
        DBG->horizontalHeader()->resizeSection(c, width);
    }
}

void TMoneyView::buildPopup()
{
    PmHist = new QMenu(this);
    PmHist->setObjectName(QStringLiteral("PmHist"));
    for (QAction* a : {mpMoneyNew, mpMoneyEdit, mpMoneyDelete, mpUpdate}) {
        a->setShortcutVisibleInContextMenu(true);
        PmHist->addAction(a);
        // The popup's keys work while the history has the focus.
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        DBG->addAction(a);
    }
    PmHist->addSeparator();
    mpExport = new QAction(QStringLiteral("&Экспорт..."), this);
    mpExport->setObjectName(QStringLiteral("mpExport"));
    PmHist->addAction(mpExport);
    connectGuarded(mpExport, &QAction::triggered, this, *m_host.prompts, [this] { exportHistory(); });
    connect(DBG, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (m_host.dm->Tb_Hist->active())
            PmHist->popup(DBG->viewport()->mapToGlobal(at));
    });
}

void TMoneyView::mMoneyNewClick()
{
    if (mMoneyNew->isEnabled())
        emit operationCardRequested(CardMode::New);
}

void TMoneyView::mMoneyEditClick()
{
    if (mMoneyEdit->isEnabled())
        emit operationCardRequested(CardMode::Edit);
}

void TMoneyView::mMoneyDeleteClick() { m_editor->mMoneyDeleteClick(); }

void TMoneyView::mUpdateClick() { m_editor->mUpdateClick(); }

void TMoneyView::exportHistory()
{
    if (m_host.dm->Tb_Hist->active())
        exportTable(*m_host.prompts, this, tableOfGrid(*DBG));
}

void TMoneyView::mEmptyHistClick()
{
    TDm& dm = *m_host.dm;
    Table& acc = *dm.Tb_Account;
    if (!acc.active() || acc.isEmpty())
        return;
    const QChar cr(13);
    const QString question = QStringLiteral("Закрыть счёт ") + QLatin1Char('"')
                             + acc.fieldByName(AccountField::Account).asString() + QLatin1Char('"')
                             + QStringLiteral(" ( очистить его историю )") + cr
                             + QStringLiteral("и сохранить остаток на нём       -  (YES)") + cr
                             + QStringLiteral("не сохранять остаток (обнулить)  -  (NO)") + cr
                             + QStringLiteral("или передумали                  -  (CANCEL)?");
    const Prompts::Answer answer = m_host.prompts->confirmOrCancel(question);
    if (answer == Prompts::Answer::Cancel)
        return;
    if (!m_host.prompts->warn(QStringLiteral("Все записи по данному счёту будут удалены! Вы уверены ?")))
        return;
    // The history goes and the balance is decided in one step: a failure leaves both as they were,
    // never a balance that no history explains.
    Table& hist = *dm.Tb_Hist;
    const QVariant account = acc.fieldByName(AccountField::IdAccount).value();
    // An account with one row would read as the deletion of that row.
    dm.nameChange(QStringLiteral("закрытие счёта «%1»").arg(acc.fieldByName(AccountField::Account).asString()));
    try {
        Ledger(*hist.database()).closeAccount(account.toLongLong(), answer == Prompts::Answer::Yes);
        dm.DataSaved = false;
    } catch (...) {
        try {
            acc.refresh();
            acc.locate(AccountField::IdAccount, account);
            hist.refresh();
            UpdateTotals(true, 0);
        } catch (...) {
            // The failure that brought us here is the one to tell.
            noteSwallowed("reading the accounts again after a failed closing");
        }
        throw;
    }
    acc.refresh();
    acc.locate(AccountField::IdAccount, account);
    hist.refresh();
    m_host.packOnClose();
    dm.DataSaved = false;
    UpdateTotals(true, 0);
}

void TMoneyView::ButResultClick()
{
    repaint();
    TDm& dm = *m_host.dm;
    Table& hist = *dm.Tb_Hist;
    if (!hist.active() || hist.isEmpty())
        return;
    TFormRest window(m_host, this);
    Table& acc = *dm.Tb_Account;
    window.setAccount(acc.fieldByName(AccountField::Account).asString() + QStringLiteral(" ...  ")
                          + acc.fieldByName(AccountField::Rest).displayText() + QLatin1Char(' ')
                          + acc.fieldByName(AccountField::Currency).asString(),
                      acc.fieldByName(AccountField::IdAccount).asInteger());
    int from = PeriodStart, to = PeriodEnd;
    if (CbPer->currentIndex() == 0) {
        // The whole period: from the first to the last operation of any account.
        Query& q = *dm.Qtemp;
        try {
            q.close();
            q.setSql({QStringLiteral("Select min(Date_Real),max(Date_Real) from Tb_Hist")});
            q.open();
            if (!q.field(0)->isNull() && !q.field(1)->isNull()) {
                from = q.field(0)->asDate();
                to = q.field(1)->asDate();
            }
        } catch (const DbError&) {
        }
        q.close();
    }
    window.setRange(from, to);
    m_host.prompts->runModal(&window);
}

void TMoneyView::mCategoryViewClick()
{
    repaint();
    QTreeWidget* tree = state().expenseMode() ? Pgd->expenseTree() : state().incomeMode() ? Pgd->incomeTree() : nullptr;
    QTreeWidgetItem* node = tree ? tree->currentItem() : nullptr;
    if (!node)
        return;
    if (tree->isPersistentEditorOpen(node))
        tree->closePersistentEditor(node);
    tree->setFocus();
    TDm& dm = *m_host.dm;
    Table& acc = *dm.Tb_Account;
    TFormRest window(m_host, this);
    // Without an account line (no setAccount) the window is the statement alone.
    window.setAccountId(acc.fieldByName(AccountField::IdAccount).asInteger());
    window.setRange(PeriodStart, PeriodEnd);
    const QString format = QStringLiteral("dd.MM.yyyy");
    window.setWindowTitle(QStringLiteral("Статья \"%1\", счёт \"%2\", период %3...%4")
                              .arg(node->text(0), acc.fieldByName(AccountField::Account).asString(),
                                   dateOfDay(PeriodStart).toString(format), dateOfDay(PeriodEnd).toString(format)));
    static const char* const levels[] = {"level1=%1", "level2=%1", "level3=%1"};
    window.setStatementFilter(
        QString::fromLatin1(levels[qBound(0, TCategoryPane::nodeLevel(node), 2)]).arg(TCategoryPane::nodeId(node)));
    m_host.prompts->runModal(&window);
}

void TMoneyView::DBGDblClick()
{
    if (mMoneyEdit->isEnabled())
        emit operationCardRequested(CardMode::Edit);
}

void TMoneyView::setSplitterColour(const QColor& colour)
{
    m_splitterColour = colour;
    Splitter1->setStyleSheet(QStringLiteral("QSplitter::handle { background: %1; }").arg(colour.name()));
}

} // namespace dorv

#include "MoneyView.moc"
