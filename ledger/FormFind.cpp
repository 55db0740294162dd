#include "FormFind.h"

#include "MoneyState.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/Table.h"
#include "util/DateScale.h"
#include "util/Money.h"
#include "util/Prompts.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Services.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace dorv {

namespace {

// Enter on a row chooses it, as a double click does.
class FindGrid final : public QTableView {
public:
    using QTableView::QTableView;
    std::function<void()> onEnter;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && onEnter) {
            onEnter();
            return;
        }
        QTableView::keyPressEvent(e);
    }
};

const char* const Titles[] = {"Счёт", "Дата", "Категория", "Группа", "Предмет", "Приход", "Расход", "Кто?", "Где?"};

// The most rows the grid lists; the status bar counts and sums every match.
constexpr int ShownRows = 5000;

} // namespace

TFormFind::TFormFind(Services& host, qint64 currentAccount, QWidget* parent)
    : QDialog(parent), m_host(host), m_currentAccount(currentAccount)
{
    setObjectName(QStringLiteral("FormFind"));
    setWindowTitle(QStringLiteral("Поиск операций"));
    buildControls();
    resize(900, 520);
    TmFind = new QTimer(this);
    TmFind->setObjectName(QStringLiteral("TmFind"));
    TmFind->setSingleShot(true);
    // Long enough to let a word be typed, short enough to feel immediate.
    TmFind->setInterval(250);
    connectGuarded(TmFind, &QTimer::timeout, this, *m_host.prompts, [this] { search(); });
    search();
}

void TFormFind::buildControls()
{
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    auto edit = [this](const char* name, const QString& hint) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setPlaceholderText(hint);
        e->setClearButtonEnabled(true);
        connect(e, &QLineEdit::textChanged, this, [this] { TmFind->start(); });
        return e;
    };
    EdFindText = edit("EdFindText", QStringLiteral("категория, человек, место, счёт или текст банка"));
    EdFindFrom = edit("EdFindFrom", QStringLiteral("от"));
    EdFindTo = edit("EdFindTo", QStringLiteral("до"));
    EdFindFrom->setMaximumWidth(110);
    EdFindTo->setMaximumWidth(110);
    auto dateButton = [this](const char* name, bool from) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(QStringLiteral("…"));
        b->setToolTip(QStringLiteral("Выбор даты... (отмена в календаре снимает границу)"));
        b->setMinimumWidth(96);
        connectGuarded(b, &QToolButton::clicked, this, *m_host.prompts, [this, from] { pickBound(from); });
        return b;
    };
    ButFindDateFrom = dateButton("ButFindDateFrom", true);
    ButFindDateTo = dateButton("ButFindDateTo", false);
    auto check = [this](const char* name, const QString& text, bool on) {
        auto* c = new QCheckBox(text, this);
        c->setObjectName(QString::fromLatin1(name));
        c->setChecked(on);
        connectGuarded(c, &QCheckBox::toggled, this, *m_host.prompts, [this] { search(); });
        return c;
    };
    ChFindCurrent = check("ChFindCurrent", QStringLiteral("Только текущий счёт"), false);
    ChFindReal = check("ChFindReal", QStringLiteral("Реальные"), true);
    ChFindPlanned = check("ChFindPlanned", QStringLiteral("Плановые"), true);

    grid->addWidget(new QLabel(QStringLiteral("&Текст:"), this), 0, 0);
    grid->addWidget(EdFindText, 0, 1, 1, 5);
    static_cast<QLabel*>(grid->itemAtPosition(0, 0)->widget())->setBuddy(EdFindText);
    grid->addWidget(new QLabel(QStringLiteral("Сумма:"), this), 1, 0);
    grid->addWidget(EdFindFrom, 1, 1);
    grid->addWidget(EdFindTo, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Даты:"), this), 1, 3);
    auto* dates = new QHBoxLayout;
    dates->addWidget(ButFindDateFrom);
    dates->addWidget(new QLabel(QStringLiteral("—"), this));
    dates->addWidget(ButFindDateTo);
    dates->addStretch(1);
    grid->addLayout(dates, 1, 4, 1, 2);
    auto* checks = new QHBoxLayout;
    for (QCheckBox* c : {ChFindCurrent, ChFindReal, ChFindPlanned})
        checks->addWidget(c);
    checks->addStretch(1);
    grid->addLayout(checks, 2, 1, 1, 5);
    grid->setColumnStretch(5, 1);

    auto* table = new FindGrid(this);
    DBGFind = table;
    DBGFind->setObjectName(QStringLiteral("DBGFind"));
    m_model = new QStandardItemModel(0, 9, this);
    QStringList titles;
    for (const char* t : Titles)
        titles << QString::fromUtf8(t);
    m_model->setHorizontalHeaderLabels(titles);
    DBGFind->setModel(m_model);
    DBGFind->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGFind->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGFind->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGFind->verticalHeader()->setVisible(false);
    DBGFind->verticalHeader()->setDefaultSectionSize(DBGFind->fontMetrics().height() + 4);
    DBGFind->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {130, 80, 120, 110, 110, 85, 85, 120, 120};
    for (int c = 0; c < 9; ++c)
        DBGFind->setColumnWidth(c, widths[c]);
    table->onEnter = guarded(*m_host.prompts, [this] { choose(DBGFind->currentIndex().row()); });
    connectGuarded(DBGFind, &QTableView::doubleClicked, this, *m_host.prompts,
                   [this](const QModelIndex& index) { choose(index.row()); });
    layout->addWidget(DBGFind, 1);

    SbFind = new QStatusBar(this);
    SbFind->setObjectName(QStringLiteral("SbFind"));
    SbFind->setSizeGripEnabled(false);
    auto panel = [this](const char* name, int width) {
        auto* l = new QLabel(SbFind);
        l->setObjectName(QString::fromLatin1(name));
        QFont bold = l->font();
        bold.setBold(true);
        l->setFont(bold);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(width);
        SbFind->addWidget(l);
        return l;
    };
    m_count = panel("SbFindCount", 200);
    m_income = panel("SbFindIncome", 160);
    m_expense = panel("SbFindExpense", 160);
    layout->addWidget(SbFind);
}

std::optional<FindCriteria> TFormFind::criteria() const
{
    FindCriteria c;
    c.text = EdFindText->text();
    for (auto [edit, bound] : {std::pair{EdFindFrom, &c.amountFrom}, std::pair{EdFindTo, &c.amountTo}}) {
        const QString t = edit->text().trimmed().remove(QLatin1Char(' '));
        if (t.isEmpty())
            continue;
        double amount = 0;
        qint64 units = 0;
        if (!parseMoney(t, &amount) || !checkedTenThousandths(amount, &units))
            return std::nullopt;
        *bound = units;
    }
    c.dateFrom = m_dateFrom;
    c.dateTo = m_dateTo;
    if (ChFindCurrent->isChecked())
        c.account = m_currentAccount;
    c.real = ChFindReal->isChecked();
    c.planned = ChFindPlanned->isChecked();
    return c;
}

void TFormFind::search()
{
    TmFind->stop();
    const std::optional<FindCriteria> c = criteria();
    for (QLineEdit* e : {EdFindFrom, EdFindTo})
        e->setStyleSheet(QString());
    if (!c) {
        // A half-typed amount is no reason for a message: the field says it, the rows stay.
        for (QLineEdit* e : {EdFindFrom, EdFindTo}) {
            double amount = 0;
            const QString t = e->text().trimmed().remove(QLatin1Char(' '));
            if (!t.isEmpty() && !parseMoney(t, &amount))
                e->setStyleSheet(QStringLiteral("color: #b00000;"));
        }
        return;
    }
    Table& hist = *m_host.dm->Tb_Hist;
    if (!hist.active())
        return;
    show(OperationSearch(*hist.database()).run(*c, ShownRows));
}

void TFormFind::show(const FindResult& result)
{
    m_rows = result.rows;
    m_model->removeRows(0, m_model->rowCount());
    m_model->setRowCount(int(m_rows.size()));
    const QBrush planned(QColor(0, 0, 160));
    for (int r = 0; r < m_rows.size(); ++r) {
        const FoundOperation& o = m_rows[r];
        const QString cells[] = {o.accountName,
                                 shortDateText(o.date),
                                 o.category,
                                 o.group,
                                 o.article,
                                 o.income ? formatMoney(fromTenThousandths(o.income)) : QString(),
                                 o.expense ? formatMoney(fromTenThousandths(o.expense)) : QString(),
                                 o.person,
                                 o.place};
        for (int c = 0; c < 9; ++c) {
            auto* item = new QStandardItem(cells[c]);
            if (c == 5 || c == 6)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (o.planned())
                item->setForeground(planned);
            m_model->setItem(r, c, item);
        }
    }
    if (!m_rows.isEmpty())
        DBGFind->setCurrentIndex(m_model->index(0, 0));
    m_count->setText(result.count > m_rows.size()
                         ? QStringLiteral("Найдено: %1 (показаны последние %2)").arg(result.count).arg(m_rows.size())
                         : QStringLiteral("Найдено: %1").arg(result.count));
    m_income->setText(QStringLiteral("Приход: %1").arg(formatMoney(fromTenThousandths(result.income))));
    m_expense->setText(QStringLiteral("Расход: %1").arg(formatMoney(fromTenThousandths(result.expense))));
}

void TFormFind::pickBound(bool from)
{
    std::optional<int>& bound = from ? m_dateFrom : m_dateTo;
    const int day = m_host.pickDate(bound.value_or(m_host.state->workDate()));
    QToolButton* button = from ? ButFindDateFrom : ButFindDateTo;
    if (day > 0) {
        bound = day;
        button->setText(shortDateText(day));
    } else {
        bound.reset();
        button->setText(QStringLiteral("…"));
    }
    search();
}

void TFormFind::choose(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_chosen = m_rows[row];
    accept();
}

} // namespace dorv
