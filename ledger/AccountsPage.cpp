#include "AccountsPage.h"

#include "book/Ledger.h"
#include "card/DorvCard.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/Fields.h"
#include "data/SuspendControls.h"
#include "data/Table.h"
#include "data/TableModel.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"
#include "widgets/CellDelegate.h"
#include "widgets/ErrorGuard.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace dorv {

namespace {

const QString BrowseHint = QStringLiteral("Для редактирования нажмите кнопку");
const QString EditHint = QStringLiteral("Отредактировали ? - отожмите кнопку");

constexpr int PageWidth = 310;
constexpr int AccountWidth = 145;
constexpr int CurrencyWidth = 39;
constexpr int RestWidth = 73;

// The balance stands out from what the user may type: bold maroon on the colour of a button face.
class RestDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->font.setBold(true);
        option->palette.setColor(QPalette::Text, QColor(128, 0, 0));
        option->backgroundBrush = option->palette.brush(QPalette::Button);
    }
};

QToolButton* makeNavigatorButton(QWidget* parent, const QString& name, const QString& text, const QString& hint)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    parent->layout()->addWidget(b);
    return b;
}

// Deletes the account the grid stands on through the ledger, which takes its opening balance with
// it; an account still being added is only given up, and an edit going on is dropped first.
void removeCurrentAccount(TDm& dm)
{
    Table& t = *dm.Tb_Account;
    if (t.state() == DatasetState::Insert) {
        t.cancel();
        return;
    }
    if (t.isEmpty())
        throw DbError(QStringLiteral("Нет записи для удаления (%1)").arg(t.name()));
    t.cancel();
    const qint64 account = t.fieldByName(QStringLiteral("Id_Account")).asInteger();
    Ledger ledger(*t.database());
    const QString refusal = ledger.accountRemovalRefusal(account);
    if (!refusal.isEmpty()) {
        // Said where the record rules say their refusals, and nothing more.
        if (dm.inform)
            dm.inform(refusal);
        return;
    }
    const int row = t.currentRow();
    ledger.removeAccount(account);
    dm.DataSaved = false;
    t.refresh();
    if (!t.isEmpty())
        t.setCurrentRow(qBound(0, row, t.recordCount() - 1));
}

} // namespace

TAccountsPage::TAccountsPage(TFormCard& card, TDm& dm, Prompts& prompts)
    : QObject(&card), m_card(card), m_dm(dm), m_prompts(prompts)
{
    setObjectName(QStringLiteral("AccountsPage"));
    QWidget* page = card.pageWidget(CardPage::Accounts);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    PanAcc = new QWidget(page);
    PanAcc->setObjectName(QStringLiteral("PanAcc"));
    auto* strip = new QHBoxLayout(PanAcc);
    strip->setContentsMargins(2, 2, 2, 2);
    strip->setSpacing(4);
    ButAcc = new QToolButton(PanAcc);
    ButAcc->setObjectName(QStringLiteral("ButAcc"));
    ButAcc->setText(QStringLiteral("Правка"));
    ButAcc->setCheckable(true);
    ButAcc->setAutoRaise(true);
    ButAcc->setToolTip(BrowseHint);
    strip->addWidget(ButAcc);
    buildNavigator();
    strip->addWidget(DBNAcc);
    strip->addStretch(1);
    layout->addWidget(PanAcc);

    // The balance is the sum of the account's history, kept by the ledger; nobody types it in.
    if (Field* rest = dm.Tb_Account->findField(AccountField::Rest))
        rest->setReadOnly(true);

    DBGAcTab = new QTableView(page);
    DBGAcTab->setObjectName(QStringLiteral("DBGAcTab"));
    // The grid works on the main accounts table itself: the row picked here is the current account.
    m_model = new TableModel(dm.Tb_Account, this);
    m_model->setObjectName(QStringLiteral("DBGAcTabModel"));
    m_model->setColumns({AccountField::Account, AccountField::Currency, AccountField::Rest});
    DBGAcTab->setModel(m_model);
    m_model->bindSelection(DBGAcTab->selectionModel());
    DBGAcTab->verticalHeader()->hide();
    DBGAcTab->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    DBGAcTab->horizontalHeader()->setHighlightSections(false);
    DBGAcTab->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGAcTab->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGAcTab->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGAcTab->setWordWrap(false);
    // In-place edits go through the model like every grid's: the row enters editing with the
    // first keystroke, as the navigator's Post and Cancel expect.
    auto* name = new TCellDelegate(DBGAcTab);
    name->setObjectName(QStringLiteral("DBGAcTabNameDelegate"));
    auto* currency = new TPickListDelegate([this] { return m_currencies; }, DBGAcTab);
    currency->setObjectName(QStringLiteral("DBGAcTabCurrencyDelegate"));
    currency->setEditorName(QStringLiteral("DBGAcTabCurrency"));
    auto* rest = new RestDelegate(DBGAcTab);
    rest->setObjectName(QStringLiteral("DBGAcTabRestDelegate"));
    DBGAcTab->setItemDelegateForColumn(0, name);
    DBGAcTab->setItemDelegateForColumn(1, currency);
    DBGAcTab->setItemDelegateForColumn(2, rest);
    fitColumns();
    layout->addWidget(DBGAcTab, 1);

    connectGuarded(ButAcc, &QToolButton::clicked, this, m_prompts, [this] { ButAccClick(); });
    connectGuarded(DBGAcTab, &QTableView::doubleClicked, this, m_prompts, [this] { DBGAcTabDblClick(); });
    // In-place edits and moves that post cannot throw through the view; their errors come here.
    connect(m_model, &TableModel::editFailed, this, [this](const QString& message) { m_prompts.error(message); });
    connect(m_model, &TableModel::readFailed, this, [this](const QString& message) { m_prompts.error(message); });

    Table* accounts = dm.Tb_Account;
    connect(accounts, &Dataset::stateChanged, this, [this] { updateNavigator(); });
    connect(accounts, &Dataset::dataChanged, this, [this] { updateNavigator(); });
    connect(accounts, &Dataset::rowsReset, this, [this] { updateNavigator(); });
    updateNavigator();

    card.setPage(4, this);
}

TAccountsPage::~TAccountsPage() = default;

void TAccountsPage::buildNavigator()
{
    DBNAcc = new QWidget(PanAcc);
    DBNAcc->setObjectName(QStringLiteral("DBNAcc"));
    auto* row = new QHBoxLayout(DBNAcc);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    DBNAccInsert = makeNavigatorButton(DBNAcc, QStringLiteral("DBNAccInsert"), QStringLiteral("+"),
                                       QStringLiteral("Вставить запись"));
    DBNAccDelete = makeNavigatorButton(DBNAcc, QStringLiteral("DBNAccDelete"), QStringLiteral("−"),
                                       QStringLiteral("Удалить запись"));
    DBNAccPost = makeNavigatorButton(DBNAcc, QStringLiteral("DBNAccPost"), QStringLiteral("✓"),
                                     QStringLiteral("Сохранить изменения"));
    DBNAccCancel = makeNavigatorButton(DBNAcc, QStringLiteral("DBNAccCancel"), QStringLiteral("✗"),
                                       QStringLiteral("Отменить изменения"));
    DBNAcc->setVisible(false);

    Table* t = m_dm.Tb_Account;
    connect(DBNAccInsert, &QToolButton::clicked, this, [this, t] {
        navigate([t] { t->insert(); });
        DBGAcTab->setFocus();
    });
    connect(DBNAccDelete, &QToolButton::clicked, this, [this] {
        if (!m_prompts.confirm(QStringLiteral("Удалить запись?")))
            return;
        navigate([this] { removeCurrentAccount(m_dm); });
    });
    connect(DBNAccPost, &QToolButton::clicked, this, [this, t] {
        finishGridEdit();
        navigate([t] { t->post(); });
    });
    connect(DBNAccCancel, &QToolButton::clicked, this, [this, t] {
        // What is still in the cell editor is thrown away with the rest of the edit.
        if (QAbstractItemDelegate* d = DBGAcTab->itemDelegateForIndex(DBGAcTab->currentIndex()))
            if (QWidget* editor = DBGAcTab->indexWidget(DBGAcTab->currentIndex()))
                emit d->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
        navigate([t] { t->cancel(); });
        DBGAcTab->viewport()->update();
    });
}

void TAccountsPage::updateNavigator()
{
    const Table& t = *m_dm.Tb_Account;
    const bool active = t.active();
    DBNAccInsert->setEnabled(active);
    DBNAccDelete->setEnabled(active && !t.isEmpty());
    DBNAccPost->setEnabled(active && t.editing());
    DBNAccCancel->setEnabled(active && t.editing());
}

template <class Action>
void TAccountsPage::navigate(Action action)
{
    runGuarded(m_prompts, action);
}

void TAccountsPage::finishGridEdit()
{
    const QModelIndex at = DBGAcTab->currentIndex();
    QWidget* editor = DBGAcTab->indexWidget(at);
    QAbstractItemDelegate* delegate = DBGAcTab->itemDelegateForIndex(at);
    if (!editor || !delegate)
        return;
    emit delegate->commitData(editor);
    emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TAccountsPage::fitColumns()
{
    // The widths of the page are the least; titles and the currencies in use always fit.
    QFont titleFont = DBGAcTab->horizontalHeader()->font();
    titleFont.setBold(true);
    const QFontMetrics titles(titleFont);
    const int least[] = {AccountWidth, CurrencyWidth, RestWidth};
    for (int c = 0; c < 3; ++c) {
        const QString title = m_model->headerData(c, Qt::Horizontal).toString();
        int width = qMax(least[c], titles.horizontalAdvance(title) + 16);
        if (c == 1)
            width = qMax(
                width, static_cast<TPickListDelegate*>(DBGAcTab->itemDelegateForColumn(1))->widthFor(DBGAcTab->font()));
        DBGAcTab->setColumnWidth(c, width);
    }
}

void TAccountsPage::FillCur(Table& accounts, QStringList& list)
{
    list.clear();
    if (accounts.isEmpty())
        return;
    const qint64 mark = accounts.bookmark();
    // Going back and showing the grid again happen whatever the walk ran into.
    SuspendControls suspend(accounts);
    const auto back = qScopeGuard([&accounts, mark] {
        try {
            accounts.gotoBookmark(mark);
        } catch (...) {
            // The current account stays where the walk left it; the data is untouched.
            noteSwallowed("returning to the account");
        }
    });
    const Field& currency = accounts.fieldByName(AccountField::Currency);
    for (accounts.first(); !accounts.eof(); accounts.next()) {
        const QString c = currency.asString();
        const bool known = std::any_of(list.cbegin(), list.cend(),
                                       [&c](const QString& s) { return s.compare(c, Qt::CaseInsensitive) == 0; });
        if (!known)
            list << c;
    }
}

void TAccountsPage::ShowAccountsPage()
{
    m_card.showPageWidget(m_card.pageWidget(CardPage::Accounts));
    m_card.setWindowTitle(QStringLiteral("Выбор или редактирование счёта"));
    // The card is being shown: an error here must not escape into the event loop.
    try {
        FillCur(*m_dm.Tb_Account, m_currencies);
    } catch (const DbError& e) {
        m_prompts.error(e.message());
    } catch (const DbAbort&) {
    }
    fitColumns();
    int columns = DBGAcTab->frameWidth() * 2 + 4;
    for (int c = 0; c < m_model->columnCount(); ++c)
        columns += DBGAcTab->columnWidth(c);
    m_card.resize(qMax(PageWidth, columns), m_card.height());
    DBGAcTab->setFocus();
}

void TAccountsPage::ButAccClick()
{
    const bool editMode = ButAcc->isChecked();
    if (!editMode) {
        finishGridEdit();
        Table& t = *m_dm.Tb_Account;
        if (t.editing()) {
            // Leaving the edit mode keeps what can be kept; a row the rules refuse is dropped
            // without a word, as the user has already moved on.
            bool failed = false;
            try {
                t.post();
            } catch (const DbError&) {
                failed = true;
            } catch (const DbAbort&) {
                failed = true;
            }
            if (failed) {
                try {
                    t.cancel();
                } catch (const DbError&) {
                } catch (const DbAbort&) {
                }
            }
        }
    }
    DBNAcc->setVisible(editMode);
    const QAbstractItemView::EditTriggers typing =
        QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed;
    DBGAcTab->setEditTriggers(editMode ? typing : QAbstractItemView::NoEditTriggers);
    DBGAcTab->setSelectionBehavior(editMode ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    // The selection already made keeps its old shape until redone in the new one.
    const QModelIndex at = DBGAcTab->currentIndex();
    if (at.isValid()) {
        QItemSelectionModel::SelectionFlags how = QItemSelectionModel::ClearAndSelect;
        if (!editMode)
            how |= QItemSelectionModel::Rows;
        DBGAcTab->selectionModel()->select(at, how);
    }
    ButAcc->setToolTip(editMode ? EditHint : BrowseHint);
    DBGAcTab->setFocus();
}

void TAccountsPage::resetOnClose()
{
    ButAcc->setChecked(false);
    ButAccClick();
}

void TAccountsPage::DBGAcTabDblClick()
{
    // Picking an account is the double click's job only while the list is not being edited.
    if (!ButAcc->isChecked())
        m_card.ButOkClick();
}

} // namespace dorv
