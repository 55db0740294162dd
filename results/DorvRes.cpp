#include "DorvRes.h"

#include "ChartPrinter.h"
#include "DorvRpt.h"
#include "ResultCharts.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/Query.h"
#include "data/SuspendControls.h"
#include "data/Table.h"
#include "data/TableModel.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/Money.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"
#include "widgets/DbGrid.h"
#include "widgets/ErrorGuard.h"
#include "widgets/GridExport.h"
#include "widgets/WaitCursor.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

#include <tuple>

namespace dorv {

namespace {

const QColor Maroon(128, 0, 0);

QToolButton* toolButton(const QString& name, const QString& text, const QString& hint, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    return b;
}

QAction* menuItem(QMenu* menu, const char* name, const QString& caption, int tag)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    a->setProperty("tag", tag);
    return a;
}

QString dayText(int day) { return dateOfDay(day).toString(QStringLiteral("dd.MM.yyyy")); }

} // namespace

TFormRest::TFormRest(Services& host, QWidget* parent)
    : QDialog(parent), m_host(host), m_chartPrinter(std::make_unique<TChartPrinter>(*host.prompts))
{
    setObjectName(QStringLiteral("TFormRest"));
    setWindowTitle(QStringLiteral("Итоги..."));
    resize(726, 550);

    QRes = new Query(QStringLiteral("QRes"), this);
    QRes->addField(QStringLiteral("id"), FieldType::SmallInt).setVisible(false);
    QRes->addField(QStringLiteral("nm"), FieldType::Text, 30).setDisplayWidth(20).setLabel(QStringLiteral("Что"));
    QRes->addField(QStringLiteral("D"), FieldType::Float)
        .setDisplayFormat(QStringLiteral("0.00"))
        .setLabel(QStringLiteral("Доходы"));
    QRes->addField(QStringLiteral("C"), FieldType::Float)
        .setDisplayFormat(QStringLiteral("0.00"))
        .setLabel(QStringLiteral("Расходы"));
    QRes->addCalculatedField(QStringLiteral("Amount"), FieldType::Float)
        .setDisplayFormat(QStringLiteral("0.00"))
        .setLabel(QStringLiteral("Баланс"));
    QRes->setSql(RebuildResultsText(state, ResultsChoices()));
    QRes->paramByName(QStringLiteral("d1")).type = FieldType::Date;
    QRes->paramByName(QStringLiteral("d2")).type = FieldType::Date;
    QRes->paramByName(QStringLiteral("id_account")).type = FieldType::SmallInt;
    if (m_host.dm)
        QRes->setDatabaseName(m_host.dm->Tb_Hist->databaseName());
    // A balance exists when some sum does: income less expense, a missing sum counting as none.
    QRes->onCalcFields = [](Dataset& d) {
        const Field& dt = d.fieldByName(QStringLiteral("D"));
        const Field& ct = d.fieldByName(QStringLiteral("C"));
        Field& amount = d.fieldByName(QStringLiteral("Amount"));
        if (dt.isNull() && ct.isNull())
            amount.clear();
        else
            amount.setValue(fromTenThousandths(toTenThousandths(dt.asFloat()) - toTenThousandths(ct.asFloat())));
    };
    QRes->afterScroll = [this](Dataset&) { runGuarded(*m_host.prompts, [this] { QResAfterScroll(); }); };

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    buildTools();
    outer->addWidget(PanRest);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter"));
    buildLeft();
    splitter->addWidget(PanLeft);
    PgChart = new QStackedWidget(splitter);
    PgChart->setObjectName(QStringLiteral("PgChart"));
    Charts = new TResultCharts(PgChart);
    splitter->addWidget(PgChart);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({333, 393});
    outer->addWidget(splitter, 1);
    m_splitter = splitter;
    buildDetail();
    outer->addWidget(PgDetail);
    buildMenu();
    connectGuarded(Charts, &TResultCharts::printClicked, this, *m_host.prompts, [this](int tag) { printChart(tag); });

    auto* calc = new QShortcut(QKeySequence(Qt::Key_F9), this);
    calc->setContext(Qt::WindowShortcut);
    connect(calc, &QShortcut::activated, this, [this] { m_host.calculator(); });
    DBGRes->setFocus();
}

TFormRest::~TFormRest()
{
    DBGRes->setModel(nullptr);
    DBGDet->setModel(nullptr);
    QRes->afterScroll = nullptr;
}

void TFormRest::buildTools()
{
    PanRest = new QWidget(this);
    PanRest->setObjectName(QStringLiteral("PanRest"));
    PanRest->setMinimumHeight(41);
    auto* row = new QHBoxLayout(PanRest);
    row->setContentsMargins(2, 2, 2, 2);
    m_dimensions = new QActionGroup(this);
    ButWhat = toolButton(QStringLiteral("ButWhat"), QStringLiteral("Что"), QStringLiteral("Что?"), PanRest);
    ButWho = toolButton(QStringLiteral("ButWho"), QStringLiteral("Кто"), QStringLiteral("Кто?"), PanRest);
    ButWhere = toolButton(QStringLiteral("ButWhere"), QStringLiteral("Где"), QStringLiteral("Где?"), PanRest);
    // Two groups share the panel: the dimension buttons and the detail pane's page buttons. Each
    // keeps its own one button down, so neither may be left to the panel-wide auto-exclusion.
    auto* dimensions = new QButtonGroup(PanRest);
    int tag = 0;
    for (QToolButton* b : {ButWhat, ButWho, ButWhere}) {
        b->setCheckable(true);
        dimensions->addButton(b);
        b->setFixedSize(37, 37);
        b->setProperty("tag", tag);
        const Dimension d = Dimension(tag++);
        connectGuarded(b, &QToolButton::clicked, this, *m_host.prompts, [this, d] { dimensionClicked(d); });
        row->addWidget(b);
    }
    ButWhat->setChecked(true);
    ButUp = toolButton(QStringLiteral("ButUp"), QStringLiteral("↑"), QStringLiteral("Вверх на уровень"), PanRest);
    ButUp->setEnabled(false);
    ButDn = toolButton(QStringLiteral("ButDn"), QStringLiteral("↓"), QStringLiteral("Вниз на уровень"), PanRest);
    ButDn->setProperty("tag", 1);
    connectGuarded(ButUp, &QToolButton::clicked, this, *m_host.prompts, [this] { drillUp(); });
    connectGuarded(ButDn, &QToolButton::clicked, this, *m_host.prompts, [this] { drillDown(); });
    CbReal = new QComboBox(PanRest);
    CbReal->setObjectName(QStringLiteral("CbReal"));
    CbReal->addItems({QStringLiteral("Реальные"), QStringLiteral("Планируемые"), QStringLiteral("Все")});
    QFont boldItalic = CbReal->font();
    boldItalic.setBold(true);
    boldItalic.setItalic(true);
    CbReal->setFont(boldItalic);
    connectGuarded(CbReal, &QComboBox::activated, this, *m_host.prompts, [this] { RebuildResults(); });
    ButDetail = toolButton(QStringLiteral("ButDetail"), QStringLiteral("Выписка"), QString(), PanRest);
    QFont bold = ButDetail->font();
    bold.setBold(true);
    ButDetail->setFont(bold);
    ButDetail->setMinimumWidth(100);
    connectGuarded(ButDetail, &QToolButton::clicked, this, *m_host.prompts, [this] { ButDetailClick(); });
    ButTable = toolButton(QStringLiteral("ButTable"), QStringLiteral("Таблица"), QStringLiteral("Таблица"), PanRest);
    ButTable->setProperty("tag", 0);
    ButPrice = toolButton(QStringLiteral("ButPrice"), QStringLiteral("Цены"), QStringLiteral("Цены"), PanRest);
    ButPrice->setProperty("tag", 1);
    auto* pages = new QButtonGroup(PanRest);
    for (QToolButton* b : {ButTable, ButPrice}) {
        b->setCheckable(true);
        pages->addButton(b);
        b->setVisible(false);
        const int t = b->property("tag").toInt();
        connectGuarded(b, &QToolButton::clicked, this, *m_host.prompts, [this, t] { pageClicked(t); });
    }
    ButTable->setChecked(true);
    Lab = new QLabel(PanRest);
    Lab->setObjectName(QStringLiteral("Lab"));
    Lab->setWordWrap(true);
    QPalette navy = Lab->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Lab->setPalette(navy);
    auto* dates = new QVBoxLayout;
    dates->setSpacing(0);
    ButDate1 = toolButton(QStringLiteral("ButDate1"), QString(), QStringLiteral("с..."), PanRest);
    ButDate1->setProperty("tag", 1);
    ButDate2 = toolButton(QStringLiteral("ButDate2"), QString(), QStringLiteral("по..."), PanRest);
    ButDate2->setProperty("tag", 2);
    for (QToolButton* b : {ButDate1, ButDate2}) {
        b->setAutoRaise(true);
        const int t = b->property("tag").toInt();
        connectGuarded(b, &QToolButton::clicked, this, *m_host.prompts, [this, t] { dateClicked(t); });
        dates->addWidget(b);
    }
    for (QWidget* w :
         {static_cast<QWidget*>(ButUp), static_cast<QWidget*>(ButDn), static_cast<QWidget*>(CbReal),
          static_cast<QWidget*>(ButDetail), static_cast<QWidget*>(ButTable), static_cast<QWidget*>(ButPrice)})
        row->addWidget(w);
    row->addWidget(Lab, 1);
    row->addLayout(dates);
}

void TFormRest::buildDetail()
{
    Tb_Detail = new Table(QStringLiteral("Tb_Detail"), QStringLiteral("TB_HIST"), this);
    Table& t = *Tb_Detail;
    using FT = FieldType;
    const QString items = QStringLiteral("TB_ITEMS"), itm = QStringLiteral("ID_ITM"), name = QStringLiteral("ITM");
    t.addField(QStringLiteral("ID_ACCOUNT"), FT::SmallInt).setRequired(true).setVisible(false);
    t.addField(QStringLiteral("DATE_REAL"), FT::Date).setLabel(QStringLiteral("Дата")).setDisplayWidth(9);
    t.addField(QStringLiteral("DATE_CREATE"), FT::DateTime).setRequired(true).setVisible(false);
    t.addLookupField(QStringLiteral("Category"), 30, QStringLiteral("Level1"), items, itm, name)
        .setLabel(QStringLiteral("Категория"))
        .setDisplayWidth(15);
    t.addLookupField(QStringLiteral("Item"), 30, QStringLiteral("Level2"), items, itm, name)
        .setLabel(QStringLiteral("Группа"))
        .setDisplayWidth(13);
    t.addLookupField(QStringLiteral("Article"), 30, QStringLiteral("Level3"), items, itm, name)
        .setLabel(QStringLiteral("Предмет"))
        .setDisplayWidth(15);
    for (const auto& [field, label, width] :
         {std::tuple{"DT", "Приход", 11}, {"CT", "Расход", 11}, {"PRICE", "Цена", 12}})
        t.addField(QString::fromLatin1(field), FT::Float)
            .setDisplayFormat(QStringLiteral("0.00"))
            .setLabel(QString::fromUtf8(label))
            .setDisplayWidth(width);
    t.addLookupField(QStringLiteral("Person"), 20, QStringLiteral("ID_Person"), QStringLiteral("TB_PERSON"),
                     QStringLiteral("Id_Person"), QStringLiteral("Name"))
        .setLabel(QStringLiteral("Кто?"))
        .setDisplayWidth(18);
    t.addLookupField(QStringLiteral("Firm"), 15, QStringLiteral("ID_Firm"), QStringLiteral("TB_FIRM"),
                     QStringLiteral("Id_Firm"), QStringLiteral("Firm"))
        .setLabel(QStringLiteral("Где?"))
        .setDisplayWidth(18);
    t.addField(QStringLiteral("REF_ACCOUNT"), FT::SmallInt).setVisible(false);
    t.addLookupField(QStringLiteral("Ref_Acc"), 20, QStringLiteral("Ref_Account"), QStringLiteral("TB_ACCOUNT"),
                     QStringLiteral("Id_Account"), QStringLiteral("Account"))
        .setLabel(QStringLiteral("Кор.счёт"))
        .setDisplayWidth(24);
    t.addField(QStringLiteral("Kind"), FT::Text, 1).setVisible(false);
    for (const char* field : {"Level1", "Level2", "Level3", "ID_Person", "ID_Firm"})
        t.addField(QString::fromLatin1(field), FT::SmallInt).setVisible(false);
    t.setFiltered(true);
    if (m_host.dm)
        t.setDatabaseName(m_host.dm->Tb_Hist->databaseName());

    PgDetail = new QStackedWidget(this);
    PgDetail->setObjectName(QStringLiteral("PgDetail"));
    PgDetail->setFixedHeight(202);
    PgDetail->setVisible(false);
    ShDet = new QWidget(PgDetail);
    ShDet->setObjectName(QStringLiteral("ShDet"));
    auto* det = new QVBoxLayout(ShDet);
    det->setContentsMargins(0, 0, 0, 0);
    det->setSpacing(0);
    DBGDet = new TDbGrid(QStringLiteral("DBGDet"), 2, ShDet);
    DBGDet->setGridModel(new TableModel(Tb_Detail, this));
    for (auto signal : {&TDbGrid::rowDoubleClicked, &TDbGrid::enterPressed})
        connectGuarded(DBGDet, signal, this, *m_host.prompts, [this] { gotoOperation(); });
    connect(DBGDet, &TDbGrid::readFailed, this, [this](const QString& message) { m_host.prompts->error(message); });
    det->addWidget(DBGDet, 1);
    SbDet = new QStatusBar(ShDet);
    SbDet->setObjectName(QStringLiteral("SbDet"));
    SbDet->setSizeGripEnabled(false);
    const int widths[] = {100, 230, 75, 75, 50};
    for (int i = 0; i < 5; ++i) {
        auto* panel = new QLabel(i == 0 ? QStringLiteral("Всего строк:") : QString(), SbDet);
        panel->setObjectName(QStringLiteral("SbDetPanel%1").arg(i));
        QFont bold = panel->font();
        bold.setBold(true);
        panel->setFont(bold);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(widths[i]);
        if (i == 2 || i == 3)
            panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        SbDet->addWidget(panel);
    }
    SbDet->setVisible(false);
    det->addWidget(SbDet);
    ShPrice = new QWidget(PgDetail);
    ShPrice->setObjectName(QStringLiteral("ShPrice"));
    auto* price = new QVBoxLayout(ShPrice);
    price->setContentsMargins(0, 0, 0, 0);
    DBChPrice = Charts->makePriceChart(ShPrice);
    price->addWidget(DBChPrice);
    PgDetail->addWidget(ShDet);
    PgDetail->addWidget(ShPrice);
}

void TFormRest::buildLeft()
{
    PanLeft = new QWidget(this);
    PanLeft->setObjectName(QStringLiteral("PanLeft"));
    auto* column = new QVBoxLayout(PanLeft);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    DBGRes = new TDbGrid(QStringLiteral("DBGRes"), 0, PanLeft);
    DBGRes->usePlainTitles();
    m_model = new TableModel(QRes, this);
    m_model->setColumns({QStringLiteral("nm"), QStringLiteral("D"), QStringLiteral("C"), QStringLiteral("Amount")});
    DBGRes->setGridModel(m_model);
    m_model->setHeaderRole(0, Qt::ForegroundRole, Maroon);
    DBGRes->setContextMenuPolicy(Qt::CustomContextMenu);
    for (auto signal : {&TDbGrid::rowDoubleClicked, &TDbGrid::enterPressed})
        connectGuarded(DBGRes, signal, this, *m_host.prompts, [this] { drillDown(); });
    connect(DBGRes, &TDbGrid::readFailed, this, [this](const QString& message) { m_host.prompts->error(message); });
    connectGuarded(DBGRes->horizontalHeader(), &QHeaderView::sectionClicked, this, *m_host.prompts,
                   [this](int section) {
                       if (section >= 1 && section <= 3)
                           SetAnalysisMode(section);
                   });
    column->addWidget(DBGRes, 1);
    auto* bottom = new QHBoxLayout;
    TbPm = toolButton(QStringLiteral("TbPm"), QStringLiteral("▼"), QStringLiteral("Выбор режима..."), PanLeft);
    TbPm->setPopupMode(QToolButton::InstantPopup);
    bottom->addWidget(TbPm);
    Sb = new QStatusBar(PanLeft);
    Sb->setObjectName(QStringLiteral("Sb"));
    Sb->setSizeGripEnabled(false);
    const int widths[] = {50, 67, 67, 67, 50};
    for (int i = 0; i < 5; ++i) {
        auto* panel = new QLabel(Sb);
        panel->setObjectName(QStringLiteral("SbPanel%1").arg(i));
        QFont bold = panel->font();
        bold.setBold(true);
        panel->setFont(bold);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(widths[i]);
        panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Sb->addWidget(panel);
    }
    bottom->addWidget(Sb, 1);
    column->addLayout(bottom);
}

void TFormRest::buildMenu()
{
    Pm = new QMenu(this);
    Pm->setObjectName(QStringLiteral("Pm"));
    QMenu* sort = Pm->addMenu(QStringLiteral("&Сортировать"));
    sort->menuAction()->setObjectName(QStringLiteral("mpSort"));
    auto* sortGroup = new QActionGroup(this);
    mpSortName = menuItem(sort, "mpSortName", QStringLiteral("&Наименование"), 0);
    mpSortDebit = menuItem(sort, "mpSortDebit", QStringLiteral("&Доходы"), 1);
    mpSortCredit = menuItem(sort, "mpSortCredit", QStringLiteral("&Расходы"), 2);
    for (QAction* a : {mpSortName, mpSortDebit, mpSortCredit}) {
        a->setCheckable(true);
        sortGroup->addAction(a);
        connectGuarded(a, &QAction::triggered, this, *m_host.prompts, [this, a] { sortClicked(a); });
    }
    mpSortName->setChecked(true);
    Pm->addSeparator();
    QMenu* analys = Pm->addMenu(QStringLiteral("&Анализировать"));
    analys->menuAction()->setObjectName(QStringLiteral("mpAnalys"));
    auto* analysGroup = new QActionGroup(this);
    mpAnalysDebit = menuItem(analys, "mpAnalysDebit", QStringLiteral("&Доходы"), 1);
    mpAnalysCredit = menuItem(analys, "mpAnalysCredit", QStringLiteral("&Расходы"), 2);
    mpAnalysBalance = menuItem(analys, "mpAnalysBalance", QStringLiteral("&Баланс"), 3);
    for (QAction* a : {mpAnalysDebit, mpAnalysCredit, mpAnalysBalance}) {
        a->setCheckable(true);
        analysGroup->addAction(a);
        const int mode = a->property("tag").toInt();
        connectGuarded(a, &QAction::triggered, this, *m_host.prompts, [this, mode] { SetAnalysisMode(mode); });
    }
    mpAnalysCredit->setChecked(true);
    Pm->addSeparator();
    mpLimitValue = menuItem(Pm, "mpLimitValue", QStringLiteral("&Значение границы = 0"), 0);
    connectGuarded(mpLimitValue, &QAction::triggered, this, *m_host.prompts, [this] { mpLimitValueClick(); });
    QMenu* limits = Pm->addMenu(QStringLiteral("&Ограничить"));
    limits->menuAction()->setObjectName(QStringLiteral("mpLimits"));
    mpLimitDebit = menuItem(limits, "mpLimitDebit", QStringLiteral("&Доходы"), 0);
    mpLimitCredit = menuItem(limits, "mpLimitCredit", QStringLiteral("&Расходы"), 0);
    for (QAction* a : {mpLimitDebit, mpLimitCredit}) {
        a->setCheckable(true);
        connectGuarded(a, &QAction::triggered, this, *m_host.prompts, [this] { RebuildResults(); });
    }
    Pm->addSeparator();
    mpPrint = menuItem(Pm, "mpPrint", QStringLiteral("&Печать..."), 0);
    // Errors of building or previewing the report are not worth a word: the window stays as it was.
    connect(mpPrint, &QAction::triggered, this, [this] {
        try {
            mpPrintClick();
        } catch (...) {
            // Errors of building or previewing the report are not worth a word: the window stays as it was.
            noteSwallowed("printing the results");
        }
    });
    Pm->addSeparator();
    mpResExport = menuItem(Pm, "mpResExport", QStringLiteral("&Экспорт..."), 0);
    connectGuarded(mpResExport, &QAction::triggered, this, *m_host.prompts, [this] { exportResults(); });
    PmDet = new QMenu(this);
    PmDet->setObjectName(QStringLiteral("PmDet"));
    mpDetExport = menuItem(PmDet, "mpDetExport", QStringLiteral("&Экспорт..."), 0);
    connectGuarded(mpDetExport, &QAction::triggered, this, *m_host.prompts, [this] { exportStatement(); });
    // Ctrl+E exports what the grid with the focus shows.
    for (auto [action, grid] : {std::pair{mpResExport, DBGRes}, std::pair{mpDetExport, DBGDet}}) {
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setShortcutVisibleInContextMenu(true);
        grid->addAction(action);
    }
    DBGDet->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGDet, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (Tb_Detail->active() && !Tb_Detail->isEmpty())
            PmDet->popup(DBGDet->viewport()->mapToGlobal(at));
    });
    TbPm->setMenu(Pm);
    connect(DBGRes, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (RowHasData)
            Pm->popup(DBGRes->viewport()->mapToGlobal(at));
    });
    applyColumnColours();
}

qint64 TFormRest::limitValue() const { return mpLimitValue->property("tag").toLongLong(); }

void TFormRest::setAccount(const QString& line, qint64 accountId)
{
    Lab->setText(line);
    m_account = accountId;
    QRes->paramByName(QStringLiteral("id_account")).setAsInteger(accountId);
}

void TFormRest::setStatementFilter(const QString& filter) { Tb_Detail->setFilter(filter); }

void TFormRest::setRange(int from, int to)
{
    DateFrom = from;
    DateTo = to;
    showDates();
}

void TFormRest::showDates()
{
    ButDate1->setText(dayText(DateFrom));
    ButDate2->setText(dayText(DateTo));
}

void TFormRest::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    if (Lab->text().isEmpty()) {
        runGuarded(*m_host.prompts, [this] { showStatementOnly(); });
        return;
    }
    // Results mode starts from the distribution over the first level of categories.
    state = ResultsState();
    CbReal->setCurrentIndex(0);
    runGuarded(*m_host.prompts, [this] { RebuildResults(); });
}

void TFormRest::keyPressEvent(QKeyEvent* event) { QDialog::keyPressEvent(event); }

void TFormRest::RebuildResults()
{
    repaint();
    const DrillView view = UpdateDrillState(state);
    ButUp->setEnabled(view.up);
    ButDn->setProperty("tag", state.DrillStep);
    if (view.pressed >= 0)
        (view.pressed == 0 ? ButWhat : view.pressed == 1 ? ButWho : ButWhere)->setChecked(true);
    if (view.dimensionButtons >= 0)
        for (QToolButton* b : {ButWhat, ButWho, ButWhere})
            b->setEnabled(view.dimensionButtons == 1);
    setWindowTitle(view.caption);
    m_downByStep = view.down;
    ButDn->setEnabled(view.down);
    Rebuilding = true;
    // Whatever fails below, rows are followed again once the next rebuild succeeds; the flag says
    // only that the query now shown is not the one the state asks for.
    QRes->close();
    ResultsChoices choices;
    choices.kind = CbReal->currentIndex();
    choices.sort = mpSortDebit->isChecked() ? 1 : mpSortCredit->isChecked() ? 2 : 0;
    choices.limitDebit = mpLimitDebit->isChecked();
    choices.limitCredit = mpLimitCredit->isChecked();
    choices.limitValue = limitValue();
    QRes->setSql(RebuildResultsText(state, choices));
    QRes->fieldByName(QStringLiteral("nm")).setLabel(firstColumnTitle(state));
    QRes->paramByName(QStringLiteral("d1")).setAsDate(DateFrom);
    QRes->paramByName(QStringLiteral("d2")).setAsDate(DateTo);
    {
        WaitCursor wait;
        QRes->open();
    }
    UpdateResultTotals();
    Rebuilding = false;
    QResAfterScroll();
    reloadCharts();
}

void TFormRest::reloadCharts()
{
    QList<QPair<QString, double>> points;
    if (QRes->active()) {
        const Field& name = QRes->fieldByName(QStringLiteral("nm"));
        const Field& value = QRes->fieldByName(QString::fromLatin1(m_analysis == 1   ? "D"
                                                                   : m_analysis == 2 ? "C"
                                                                                     : "Amount"));
        for (int row = 0; row < QRes->recordCount(); ++row) {
            const Record r = QRes->recordAt(row);
            points << qMakePair(r.value(name.index()).toString(), r.value(value.index()).toDouble());
        }
    }
    Charts->setPoints(points);
}

void TFormRest::UpdateResultTotals()
{
    qint64 sums[3] = {0, 0, 0};
    const char* names[] = {"D", "C", "Amount"};
    for (int row = 0; row < QRes->recordCount(); ++row) {
        const Record r = QRes->recordAt(row);
        for (int i = 0; i < 3; ++i) {
            const QVariant v = r.value(QRes->fieldByName(QString::fromLatin1(names[i])).index());
            qint64 sum = 0;
            if (v.isValid() && !checkedAdd(sums[i], toTenThousandths(v.toDouble()), &sum))
                throw DbError(
                    QStringLiteral("Сумма итогов вышла бы за пределы чисел, которые программа считает точно"));
            if (v.isValid())
                sums[i] = sum;
        }
    }
    for (int i = 0; i < 3; ++i)
        Sb->findChild<QLabel*>(QStringLiteral("SbPanel%1").arg(i + 1))
            ->setText(formatMoney(fromTenThousandths(sums[i])));
}

QString TFormRest::panelText(int panel) const
{
    const auto* label = Sb->findChild<QLabel*>(QStringLiteral("SbPanel%1").arg(panel));
    return label ? label->text() : QString();
}

void TFormRest::QResAfterScroll()
{
    if (Rebuilding)
        return;
    const bool open = QRes->active() && !QRes->isEmpty();
    if (open)
        captureRow(state, QRes->fieldByName(QStringLiteral("id")).value(),
                   QRes->fieldByName(QStringLiteral("nm")).value());
    RowHasData =
        open && (!QRes->fieldByName(QStringLiteral("D")).isNull() || !QRes->fieldByName(QStringLiteral("C")).isNull());
    ButDn->setEnabled(downAfterCapture(state, m_downByStep, RowHasData));
    // Without a row there is no group: the statement is empty rather than the last group's.
    DetailFilter =
        open ? DetailFilterText(state, QRes->fieldByName(QStringLiteral("id")).value(), CbReal->currentIndex())
             : QStringLiteral("id_account=null");
    applyDetailFilter();
}

void TFormRest::applyDetailFilter()
{
    const bool prices = ButPrice->isChecked();
    Tb_Detail->setFilter(prices ? DetailFilter + QStringLiteral(" and price<>null") : DetailFilter);
    if (prices)
        reloadPrices();
}

void TFormRest::ApplyDetailRange()
{
    if (PgDetail->isHidden()) {
        Tb_Detail->close();
        return;
    }
    WaitCursor wait;
    SuspendControls suspend(*Tb_Detail);
    // Both dates belong to the range: the end key is the day after the last, as the history's. The
    // range comes first, so that opening reads only the rows in it.
    Tb_Detail->setRange({m_account, DateFrom}, {m_account, DateTo + 1});
    Tb_Detail->open();
    if (ButPrice->isChecked())
        reloadPrices();
}

void TFormRest::ButDetailClick()
{
    ButTable->setVisible(false);
    ButPrice->setVisible(false);
    repaint();
    // The button folds to make room for the pane, and unfolds when it goes.
    if (ButDetail->width() >= 100) {
        for (int w = 105; w >= 40; --w) {
            ButDetail->setFixedWidth(w);
            ButDetail->repaint();
        }
    } else {
        for (int w = 40; w <= 100; ++w) {
            ButDetail->setFixedWidth(w);
            ButDetail->repaint();
        }
    }
    const bool shown = ButDetail->width() == 40;
    // The page shown is the one whose button is down.
    PgDetail->setCurrentIndex(ButPrice->isChecked() ? 1 : 0);
    PgDetail->setVisible(shown);
    ButTable->setVisible(shown);
    ButPrice->setVisible(shown);
    ApplyDetailRange();
}

void TFormRest::pageClicked(int tag)
{
    PgDetail->setCurrentIndex(tag);
    applyDetailFilter();
    reloadPrices();
}

QList<QPair<QString, double>> TFormRest::pricePoints() const
{
    QList<QPair<QString, double>> points;
    if (!Tb_Detail->active())
        return points;
    const Field& date = Tb_Detail->fieldByName(QStringLiteral("DATE_REAL"));
    const Field& price = Tb_Detail->fieldByName(QStringLiteral("PRICE"));
    for (int row = 0; row < Tb_Detail->recordCount(); ++row) {
        const Record r = Tb_Detail->recordAt(row);
        const QVariant p = r.value(price.index());
        if (p.isValid())
            points << qMakePair(date.formatValue(r.value(date.index())), p.toDouble());
    }
    return points;
}

void TFormRest::reloadPrices() { Charts->setPricePoints(pricePoints()); }

void TFormRest::gotoOperation()
{
    if (!Tb_Detail->active() || Tb_Detail->isEmpty())
        return;
    QVariantList key;
    for (const char* f : {"ID_ACCOUNT", "DATE_REAL", "DATE_CREATE", "Kind"})
        key << Tb_Detail->fieldByName(QString::fromLatin1(f)).value();
    // The main window's history shows that row.
    m_host.dm->Tb_Hist->findKey(key);
}

void TFormRest::exportResults()
{
    if (!QRes->active() || QRes->isEmpty())
        return;
    PlainTable table = tableOfGrid(*DBGRes);
    // The totals under the groups, as the window's status bar gives them.
    QVariantList total;
    bool labelled = false;
    for (int c = 0; c < table.titles.size(); ++c) {
        if (table.kinds[c] != PlainTable::Kind::Amount) {
            total << (labelled ? QVariant() : QVariant(QStringLiteral("Итого")));
            labelled = true;
            continue;
        }
        qint64 sum = 0;
        for (const QVariantList& row : std::as_const(table.rows))
            if (!checkedAdd(sum, toTenThousandths(row.value(c).toDouble()), &sum))
                throw DbError(QStringLiteral("Суммы вышли за пределы чисел, которые программа считает точно"));
        total << fromTenThousandths(sum);
    }
    table.rows << total;
    exportTable(*m_host.prompts, this, table);
}

void TFormRest::exportStatement()
{
    if (Tb_Detail->active())
        exportTable(*m_host.prompts, this, tableOfGrid(*DBGDet));
}

void TFormRest::showStatementOnly()
{
    PanRest->setVisible(false);
    m_splitter->setVisible(false);
    PgDetail->setMinimumHeight(0);
    PgDetail->setMaximumHeight(QWIDGETSIZE_MAX);
    static_cast<QVBoxLayout*>(layout())->setStretchFactor(PgDetail, 1);
    PgDetail->setVisible(true);
    PgDetail->setCurrentWidget(ShDet);
    ApplyDetailRange();
    SbDet->setVisible(true);
    if (!Tb_Detail->active())
        return;
    // Summed by the engine over the rows in view, without fetching every row with its lookups.
    const QList<qint64> sums = Tb_Detail->sumsOf({QStringLiteral("DT"), QStringLiteral("CT")});
    SbDet->findChild<QLabel*>(QStringLiteral("SbDetPanel1"))->setText(QString::number(Tb_Detail->recordCount()));
    SbDet->findChild<QLabel*>(QStringLiteral("SbDetPanel2"))->setText(formatMoney(fromTenThousandths(sums[0])));
    SbDet->findChild<QLabel*>(QStringLiteral("SbDetPanel3"))->setText(formatMoney(fromTenThousandths(sums[1])));
}

bool TFormRest::buildReport(TQr* report) const
{
    if (!QRes->active() || QRes->isEmpty())
        return false;
    const QString from = dayText(DateFrom), to = dayText(DateTo);
    if (from.isEmpty() || to.isEmpty())
        return false;
    report->QRLAc = Lab->text();
    report->QRLq = windowTitle();
    static const char* const whole[] = {"Реальный", "Планируемый", "Весь"};
    const QString kind = CbReal->currentText();
    const char* field = "C";
    if (m_analysis == 1) {
        report->QRL = kind + QStringLiteral(" доходы за ") + from + QStringLiteral(" - ") + to;
        field = "D";
    } else if (m_analysis == 2) {
        report->QRL = kind + QStringLiteral(" расходы за ") + from + QStringLiteral(" - ") + to;
    } else {
        report->QRL = QString::fromUtf8(whole[qBound(0, CbReal->currentIndex(), 2)]) + QStringLiteral(" баланс за ")
                      + from + QStringLiteral(" - ") + to;
        field = "Amount";
    }
    const Field& name = QRes->fieldByName(QStringLiteral("nm"));
    const Field& value = QRes->fieldByName(QString::fromLatin1(field));
    qint64 sum = 0;
    report->rows.clear();
    for (int row = 0; row < QRes->recordCount(); ++row) {
        const Record r = QRes->recordAt(row);
        const QVariant v = r.value(value.index());
        report->rows << qMakePair(r.value(name.index()).toString(), v.isValid() ? value.formatValue(v) : QString());
        if (v.isValid() && !checkedAdd(sum, toTenThousandths(v.toDouble()), &sum))
            throw DbError(QStringLiteral("Сумма отчёта вышла бы за пределы чисел, которые программа считает точно"));
    }
    report->total = formatMoney(fromTenThousandths(sum));
    report->printed = QStringLiteral("на  ") + Clock::today().toString(QStringLiteral("dd.MM.yyyy"));
    return true;
}

void TFormRest::mpPrintClick()
{
    TQr report;
    if (!buildReport(&report))
        return;
    repaint();
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("TQrPreview"));
    preview.setWindowTitle(QStringLiteral("Печать итогов"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&report](QPrinter* device) { report.render(*device); });
    // The preview also saves the report as plain text.
    if (auto* tools = preview.findChild<QToolBar*>()) {
        QAction* save = tools->addAction(QStringLiteral("Сохранить как текст..."));
        save->setObjectName(QStringLiteral("TQrSaveText"));
        connectGuarded(save, &QAction::triggered, this, *m_host.prompts, [this, &report, &preview] {
            const QString file = m_host.prompts->saveFile(&preview, QStringLiteral("Сохранение отчёта"),
                                                          QStringLiteral("Текст (*.txt)"), QStringLiteral("txt"));
            if (file.isEmpty())
                return;
            QSaveFile out(file);
            const QByteArray bytes = report.plainText().toUtf8();
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
                throw DbError(QStringLiteral("Невозможно записать файл %1").arg(file));
        });
    }
    m_host.prompts->runModal(&preview);
}

void TFormRest::printChart(int tag)
{
    m_chartPrinter->print(
        [this, tag](QPainter& painter, const QRectF& page) { Charts->renderOnPage(tag, painter, page); }, this);
}

void TFormRest::applyColumnColours()
{
    DBGRes->columnBackground.clear();
    for (int column = 1; column <= 3; ++column)
        DBGRes->columnBackground.insert(column,
                                        palette().color(column == m_analysis ? QPalette::Base : QPalette::Button));
    DBGRes->viewport()->update();
}

void TFormRest::SetAnalysisMode(int mode)
{
    if (mode < 1 || mode > 3)
        return;
    m_analysis = mode;
    applyColumnColours();
    (mode == 1 ? mpAnalysDebit : mode == 2 ? mpAnalysCredit : mpAnalysBalance)->setChecked(true);
    reloadCharts();
}

void TFormRest::dimensionClicked(Dimension d)
{
    if (state.DrillStep == 1)
        state.Dimension1 = d;
    else if (state.DrillStep == 2)
        state.Dimension2 = d;
    else if (state.DrillStep == 3)
        state.Dimension3 = d;
    RebuildResults();
}

void TFormRest::drillDown()
{
    if (!ButDn->isEnabled())
        return;
    stepTo(state.DrillStep + 1);
}

void TFormRest::drillUp()
{
    if (state.DrillStep <= 1)
        return;
    stepTo(state.DrillStep - 1);
}

void TFormRest::stepTo(int step)
{
    // A step whose rows cannot be shown is not taken: the user stays where the rows are.
    const ResultsState before = state;
    state.DrillStep = step;
    try {
        RebuildResults();
    } catch (...) {
        state = before;
        try {
            RebuildResults();
        } catch (...) {
            // The step that failed was told; the rows shown are those of the state before.
            noteSwallowed("rebuilding the results");
        }
        throw;
    }
}

void TFormRest::sortClicked(QAction* item)
{
    item->setChecked(true);
    const int tag = item->property("tag").toInt();
    for (int column = 0; column <= 2; ++column)
        m_model->setHeaderRole(column, Qt::ForegroundRole,
                               column == tag ? Maroon : palette().color(QPalette::WindowText));
    RebuildResults();
}

void TFormRest::mpLimitValueClick()
{
    QString text = QString::number(limitValue());
    if (!m_host.prompts->inputText(QStringLiteral("Введите значение границы"), QStringLiteral("только целое число:"),
                                   &text)
        || text.isEmpty())
        return;
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok)
        return;
    mpLimitValue->setProperty("tag", value);
    mpLimitValue->setText(QStringLiteral("&Значение границы = ") + text);
    if (mpLimitDebit->isChecked() || mpLimitCredit->isChecked())
        RebuildResults();
}

void TFormRest::dateClicked(int tag)
{
    int& date = tag == 1 ? DateFrom : DateTo;
    if (date == 0)
        return;
    const int picked = m_host.pickDate(date);
    if (picked <= 0 || picked == date)
        return;
    date = picked;
    showDates();
    RebuildResults();
    ApplyDetailRange();
}

} // namespace dorv
