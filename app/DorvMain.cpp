#include "DorvMain.h"

#include "Calculator.h"
#include "CommandStates.h"
#include "DorvAbt.h"
#include "EditCommands.h"
#include "ExportCommands.h"
#include "FindCommands.h"
#include "FormVersions.h"
#include "HelpWindow.h"
#include "ImportCommands.h"
#include "QtPrompts.h"
#include "WindowPlacement.h"
#include "categories/CategoryTree.h"
#include "contacts/DiaryView.h"
#include "contacts/FirmsView.h"
#include "contacts/PeopleView.h"
#include "contacts/StartupReminders.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/TableModel.h"
#include "ledger/AccountsPage.h"
#include "ledger/MoneyView.h"
#include "ledger/OperationPages.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/FileUtil.h"
#include "util/Swallowed.h"
#include "widgets/ErrorGuard.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

namespace dorv {

namespace {
const char* const TagProperty = "tag";
// How long a shown window looks for the frame its window manager puts around it: 10 s.
constexpr int FrameLookInterval = 50;
constexpr int FrameLooks = 200;
} // namespace

class TFormMain::MainServices final : public Services {
public:
    explicit MainServices(TFormMain& window) : Services(*window.m_dm, *window.m_prompts, *window.m_state), m_w(window)
    {
    }
    TFormCard* card() override { return m_w.Card(); }
    int pickDate(int initialDay) override { return m_w.PickDate(initialDay); }
    void calculator() override { m_w.mCalcClick(); }
    void showView(View view) override { m_w.ShowView(view); }
    View currentView() const override { return m_w.m_view; }
    BirthdayPairs birthdayPairs() const override
    {
        return {m_w.TodayDay, m_w.TodayMonth, m_w.TomorrowDay, m_w.TomorrowMonth};
    }
    void updateCommandStates() override { m_w.UpdateCommandStates(); }
    void packOnClose() override { m_w.setPackOnClose(true); }
    bool expenseMode() const override { return m_w.m_state->expenseMode(); }
    bool incomeMode() const override { return m_w.m_state->incomeMode(); }

private:
    TFormMain& m_w;
};

TFormMain::TFormMain(const MainEnvironment& env, QWidget* parent)
    : QMainWindow(parent), m_env(env), m_ownPrompts(env.prompts ? nullptr : std::make_unique<QtPrompts>(this)),
      m_prompts(env.prompts ? env.prompts : m_ownPrompts.get()),
      m_settings(std::make_unique<Settings>(env.settingsFile)), m_dm(std::make_unique<TDm>()),
      m_state(new TMoneyState(this)), m_file(new TDataFile(*m_dm, *m_prompts, this)),
      m_services(std::make_unique<MainServices>(*this))
{
    setObjectName(QStringLiteral("TFormMain"));
    if (!m_env.programFolder.isEmpty())
        SetProgramFolder(m_env.programFolder);
    if (auto* own = dynamic_cast<QtPrompts*>(m_ownPrompts.get()))
        own->startFolder = [this] { return m_file->dialogFolder(); };
    setOuterGeometry(FirstStartFrame);
    buildMoneyPage();
    buildActions();
    buildToolBar();
    buildPages();
    buildContactPages();
    wireDataFile();
    try {
        FormCreate();
    } catch (...) {
        m_failed = true;
        const QString message = messageOf(std::current_exception());
        if (!message.isEmpty())
            m_prompts->error(message);
    }
}

Services& TFormMain::services() const { return *m_services; }

TFormMain::~TFormMain()
{
    hideSplash();
    delete m_card;
    m_card = nullptr;
    // Views and models let go of the data module before it goes.
    if (DBG)
        DBG->setModel(nullptr);
    delete Money;
    Money = nullptr;
    delete Reminders;
    Reminders = nullptr;
    for (QWidget* view : std::initializer_list<QWidget*>{People, Firms, Diary})
        delete view;
    People = nullptr;
    Firms = nullptr;
    Diary = nullptr;
    m_dm.reset();
}

bool TFormMain::started() const { return !m_failed && m_dm && m_dm->Tb_Account->active() && !startStop(); }

void TFormMain::guarded(const std::function<void()>& handler) { runGuarded(*m_prompts, handler); }

QAction* TFormMain::action(const QString& name) const { return findChild<QAction*>(name); }

QAction* TFormMain::addAction(QMenu* menu, const QString& name, const QString& caption,
                              const std::function<void()>& handler)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    menu->addAction(a);
    if (handler)
        connectGuarded(a, &QAction::triggered, this, *m_prompts, handler);
    return a;
}

void TFormMain::placeAll(QMenu* menu, const QList<QAction*>& items)
{
    for (QAction* a : items) {
        if (a)
            menu->addAction(a);
        else
            menu->addSeparator();
    }
}

// ---- the frame ----

void TFormMain::buildMoneyPage()
{
    m_dm->workDate = [this] { return m_state->workDate(); };
    m_dm->expenseMode = [this] { return m_state->expenseMode(); };
    m_dm->inform = [this](const QString& text) { m_prompts->inform(text); };
    Money = new TMoneyView(*m_services);
    DBG = Money->historyGrid();
    m_histModel = Money->historyModel();
    connect(m_dm.get(), &TDm::historyDataChanged, this, [this] { UpdateCommandStates(); });
    connect(m_state, &TMoneyState::directionChanged, this, [this] {
        if (mCategory)
            mCategory->menuAction()->setVisible(m_view == View::Money && m_state->modeOn());
    });
}

void TFormMain::buildActions()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    mFile = bar->addMenu(QStringLiteral("&Файл"));
    mFile->setObjectName(QStringLiteral("mFile"));
    QAction* fileNew = addAction(mFile, QStringLiteral("mNew"), QStringLiteral("&Новый"), [this] { mNewClick(); });
    fileNew->setShortcut(QKeySequence::New);
    QAction* open = addAction(mFile, QStringLiteral("mOpen"), QStringLiteral("&Открыть..."), [this] { mOpenClick(); });
    open->setShortcut(QKeySequence::Open);
    m_save = addAction(mFile, QStringLiteral("mSave"), QStringLiteral("&Сохранить"), [this] { mSaveClick(); });
    m_save->setShortcut(QKeySequence::Save);
    m_saveAs =
        addAction(mFile, QStringLiteral("mSaveAs"), QStringLiteral("Сохранить &как..."), [this] { mSaveAsClick(); });
    mFile->addSeparator();
    m_import = new TImportCommands(*this);
    mFile->addAction(m_import->mImport);
    m_export = new TExportCommands(*this);
    mFile->addAction(m_export->mExport);
    mFile->addSeparator();
    QAction* exit = m_exit =
        addAction(mFile, QStringLiteral("mExit"), QStringLiteral("Вы&ход"), [this] { mExitClick(); });
    exit->setToolTip(QStringLiteral("Выход"));
    exit->setIcon(QIcon(QStringLiteral(":/icons/exit.svg")));
    exit->setIconVisibleInMenu(false);

    m_edit = new TEditCommands(*this);
    mEdit = bar->addMenu(QStringLiteral("&Правка"));
    mEdit->setObjectName(QStringLiteral("mEdit"));
    mEdit->addAction(m_edit->mUndo);
    mEdit->addAction(m_edit->mRedo);

    mView = bar->addMenu(QStringLiteral("&Выбор"));
    mView->setObjectName(QStringLiteral("mView"));
    m_viewGroup = new QActionGroup(this);
    const struct {
        const char* name;
        const char* caption;
        const char* hint;
        const char* picture;
    } views[] = {{"mMoneyView", "&Деньги", "Деньги", ":/icons/money.svg"},
                 {"mPersonView", "&Люди", "Кто ?", ":/icons/people.svg"},
                 {"mFirmView", "&Фирмы", "Где ?", ":/icons/firms.svg"},
                 {"mRemindView", "Дне&вник", "Дневник - памятка", ":/icons/diary.svg"}};
    for (int tag = 0; tag < 4; ++tag) {
        const auto& v = views[tag];
        if (tag == 1 || tag == 3)
            mView->addSeparator();
        QAction* a = addAction(mView, QString::fromLatin1(v.name), QString::fromUtf8(v.caption));
        a->setProperty(TagProperty, tag);
        a->setToolTip(QString::fromUtf8(v.hint));
        a->setIcon(QIcon(QString::fromLatin1(v.picture)));
        a->setIconVisibleInMenu(false);
        a->setCheckable(true);
        a->setChecked(tag == 0);
        m_viewGroup->addAction(a);
        m_viewItems[tag] = a;
        connectGuarded(a, &QAction::triggered, this, *m_prompts, [this, a] { mMoneyViewClick(a); });
    }

    mCategory = bar->addMenu(QStringLiteral("&Статья"));
    mCategory->setObjectName(QStringLiteral("mCategory"));
    placeAll(mCategory, Money->categoryPane().menuItems());

    mMoney = bar->addMenu(QStringLiteral("&Деньги"));
    mMoney->setObjectName(QStringLiteral("mMoney"));
    placeAll(mMoney, {Money->command(QStringLiteral("mCt")), Money->command(QStringLiteral("mDt")), nullptr,
                      Money->command(QStringLiteral("mAccounts")), nullptr, Money->command(QStringLiteral("mMoneyNew")),
                      Money->command(QStringLiteral("mMoneyEdit")), Money->command(QStringLiteral("mMoneyDelete")),
                      Money->command(QStringLiteral("mUpdate")), nullptr});
    mRange = mMoney->addMenu(QStringLiteral("Пери&од"));
    mRange->setObjectName(QStringLiteral("mRange"));
    placeAll(mRange, Money->periodItems());
    mMoney->addSeparator();
    m_find = new TFindCommands(*this);
    mMoney->addAction(m_find->mFind);
    mMoney->addAction(Money->command(QStringLiteral("mResult")));
    showPopupKeys();

    mService = bar->addMenu(QStringLiteral("Се&рвис"));
    mService->setObjectName(QStringLiteral("mService"));
    QAction* barItem = m_bar =
        addAction(mService, QStringLiteral("mBar"), QStringLiteral("К&нопки"), [this] { mBarClick(); });
    barItem->setCheckable(true);
    barItem->setChecked(true);
    QAction* calc =
        addAction(mService, QStringLiteral("mCalc"), QStringLiteral("&Куркулятор"), [this] { mCalcClick(); });
    calc->setShortcut(QKeySequence(Qt::Key_F9));
    calc->setShortcutContext(Qt::ApplicationShortcut);
    mService->addSeparator();
    m_password = addAction(mService, QStringLiteral("mPassword"), QStringLiteral("&Изменить пароль..."),
                           [this] { mPasswordClick(); });
    mService->addAction(Money->command(QStringLiteral("mEmptyHist")));
    mService->addAction(Money->command(QStringLiteral("mCheck")));
    mService->addAction(m_import->mRules);
    mService->addSeparator();
    m_reg = addAction(mService, QStringLiteral("mReg"), QStringLiteral("&Очистить реестр..."), [this] { mRegClick(); });
    QAction* bak = m_bak =
        addAction(mService, QStringLiteral("mBak"), QStringLiteral("&Делать резервную копию"), [this] { mBakClick(); });
    bak->setCheckable(true);
    bak->setChecked(true);
    connect(bak, &QAction::toggled, this, [this](bool on) { m_file->Backup = on; });
    QAction* versions = m_versions =
        addAction(mService, QStringLiteral("mVersions"), QStringLiteral("Хранить прежние версии"));
    versions->setCheckable(true);
    versions->setChecked(true);
    connect(versions, &QAction::toggled, this, [this](bool on) { m_file->KeepVersions = on; });
    addAction(mService, QStringLiteral("mVersionsList"), QStringLiteral("Прежние версии..."),
              [this] { mVersionsListClick(); });

    mHelp = bar->addMenu(QStringLiteral("&Помощь"));
    mHelp->setObjectName(QStringLiteral("mHelp"));
    QAction* manual = m_manual =
        addAction(mHelp, QStringLiteral("mManual"), QStringLiteral("&Содержание.."), [this] { mManualClick(); });
    manual->setShortcut(QKeySequence(Qt::Key_F1));
    mHelp->addSeparator();
    addAction(mHelp, QStringLiteral("mAbout"), QStringLiteral("&О..."), [this] { mAboutClick(); });
}

void TFormMain::mVersionsListClick()
{
    const QList<KeptVersion> versions = m_file->titleIsFile() ? ListVersions(m_file->title()) : QList<KeptVersion>();
    if (versions.isEmpty()) {
        m_prompts->inform(QStringLiteral("Прежних версий этих данных нет."));
        return;
    }
    TFormVersions window(versions, this);
    if (m_prompts->runModal(&window) != QDialog::Accepted || window.chosen().isEmpty())
        return;
    m_file->OpenVersion(window.chosen(), this);
}

void TFormMain::showPopupKeys()
{
    // A main menu item shows the key its popup twin has. The key stays the popup's: it acts on the
    // control with the focus, so here it is bound to the menu alone and never to the whole window,
    // where Ins or F11 belong to whatever grid the user is in.
    for (QMenu* menu : {mCategory, mMoney}) {
        for (QAction* item : menu->actions()) {
            const QString name = item->objectName();
            if (!name.startsWith(QLatin1Char('m')) || name.startsWith(QLatin1String("mp")))
                continue;
            const QAction* twin = Money->findChild<QAction*>(QStringLiteral("mp") + name.mid(1));
            if (!twin || twin->shortcut().isEmpty())
                continue;
            item->setShortcut(twin->shortcut());
            item->setShortcutContext(Qt::WidgetShortcut);
        }
    }
}

void TFormMain::buildToolBar()
{
    TbMain = addToolBar(QStringLiteral("TbMain"));
    TbMain->setObjectName(QStringLiteral("TbMain"));
    TbMain->setMovable(false);
    TbMain->setFloatable(false);
    TbMain->setIconSize(QSize(32, 32));
    TbMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    TbMain->setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));

    // Each button is its menu item: pressing either moves both, and they can never disagree.
    auto makeButton = [&](const QString& name, QAction* item) {
        auto* b = new QToolButton(TbMain);
        b->setObjectName(name);
        b->setDefaultAction(item);
        b->setAutoRaise(true);
        b->setFixedSize(39, 38);
        return b;
    };
    auto spacer = [&](int width) {
        auto* s = new QWidget(TbMain);
        s->setFixedWidth(width);
        TbMain->addWidget(s);
    };
    ButMoney = makeButton(QStringLiteral("ButMoney"), m_viewItems[0]);
    ButFace = makeButton(QStringLiteral("ButFace"), m_viewItems[1]);
    ToolButton5 = makeButton(QStringLiteral("ToolButton5"), m_viewItems[2]);
    ButLog = makeButton(QStringLiteral("ButLog"), m_viewItems[3]);
    ButExit = makeButton(QStringLiteral("ButExit"), m_exit);
    int tag = 0;
    for (QToolButton* b : {ButMoney, ButFace, ToolButton5, ButLog})
        b->setProperty(TagProperty, tag++);
    TbMain->addWidget(ButMoney);
    spacer(54);
    TbMain->addWidget(ButFace);
    TbMain->addWidget(ToolButton5);
    spacer(48);
    TbMain->addWidget(ButLog);
    spacer(79);
    TbMain->addWidget(ButExit);
}

void TFormMain::buildPages()
{
    Pg = new QStackedWidget(this);
    Pg->setObjectName(QStringLiteral("Pg"));
    QFont bold = Pg->font();
    bold.setBold(true);
    Pg->setFont(bold);
    // The pages' contents keep the ordinary weight: only the page control's own captions are bold.
    QFont normal = QApplication::font();
    normal.setBold(false);
    normal.setResolveMask(QFont::AllPropertiesResolved);
    const char* pages[][2] = {{"ShMoney", "Деньги"}, {"ShPers", "Люди"}, {"ShFirm", "Фирмы"}, {"ShDiary", "Дневник"}};
    QWidget** targets[] = {&ShMoney, &ShPers, &ShFirm, &ShDiary};
    for (int i = 0; i < 4; ++i) {
        auto* page = new QWidget(Pg);
        page->setObjectName(QString::fromLatin1(pages[i][0]));
        page->setWindowTitle(QString::fromUtf8(pages[i][1]));
        page->setFont(normal);
        Pg->addWidget(page);
        *targets[i] = page;
    }
    auto* lay = new QVBoxLayout(ShMoney);
    lay->setContentsMargins(0, 0, 0, 0);
    Money->setParent(ShMoney);
    lay->addWidget(Money);
    setCentralWidget(Pg);
}

void TFormMain::buildContactPages()
{
    People = new TPeopleView(*m_services);
    Firms = new TFirmsView(*m_services);
    Diary = new TDiaryView(*m_services);
    QWidget* pages[] = {ShPers, ShFirm, ShDiary};
    QWidget* views[] = {People, Firms, Diary};
    for (int i = 0; i < 3; ++i) {
        auto* lay = new QVBoxLayout(pages[i]);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(views[i]);
    }
    Reminders = new TStartupReminders(*m_services, *People, *Diary, ButLog, ButFace, this);
    Tm = Reminders->Tm;
    const auto openPerson = [this](const QVariant& id) { People->OpenPerson(id); };
    connectGuarded(Firms, &TFirmsView::openPerson, this, *m_prompts, openPerson);
    connectGuarded(Diary, &TDiaryView::openPerson, this, *m_prompts, openPerson);
    connectGuarded(Diary, &TDiaryView::openFirm, this, *m_prompts, [this](const QVariant& id) { Firms->OpenFirm(id); });
}

bool TFormMain::diaryFlag() const { return Reminders && Reminders->diaryFlag; }
bool TFormMain::personFlag() const { return Reminders && Reminders->personFlag; }
bool TFormMain::familyFlag() const { return Reminders && Reminders->familyFlag; }

void TFormMain::wireDataFile()
{
    m_file->setOwner(this);
    connect(m_file, &TDataFile::databaseClosed, this, [this] { UpdateCommandStates(); });
    connect(m_file, &TDataFile::repaintNeeded, this, [this] { repaint(); });
    connect(m_file, &TDataFile::titleChanged, this, [this](const QString& path) { setWindowTitle(path); });
}

QString TFormMain::passwordText() const { return m_card ? m_card->passwordText() : QString(); }

void TFormMain::setPasswordText(const QString& text)
{
    if (m_card)
        m_card->setPasswordText(text);
}

bool TFormMain::askPassword(const QString& caption)
{
    CardState.CardPage = CardPage::CalendarOrPassword;
    TFormCard* card = Card();
    card->passwordCaption = caption;
    const bool ok = m_prompts->runModal(card) == QDialog::Accepted;
    card->passwordCaption.clear();
    return ok;
}

bool TFormMain::openDatabase() { return OpenDatabase(); }

void TFormMain::databaseClosing()
{
    m_edit->dataClosing();
    Money->ClearForClose();
    Reminders->Clear();
    Firms->ResetForClose();
}

QList<Dataset*> TFormMain::otherDatasets() const { return m_card ? m_card->ownedDatasets : QList<Dataset*>(); }

// ---- start-up ----

void TFormMain::FormCreate()
{
    CardState = CardRequest();
    HelpFilePath = QDir(ProgramFolder()).filePath(QStringLiteral("Dorvana.Hlp"));
    m_manual->setVisible(QFileInfo::exists(HelpFilePath));

    const QDate today = Clock::today();
    const BirthdayPairs pairs = birthdayPairsOf(today);
    TodayDay = pairs.todayDay;
    TodayMonth = pairs.todayMonth;
    TomorrowDay = pairs.tomorrowDay;
    TomorrowMonth = pairs.tomorrowMonth;
    const QDate back(today.year() - 100, TodayMonth, TodayDay), ahead(today.year() + 100, TodayMonth, TodayDay);
    m_state->setWholeRange(dayNumber(back.isValid() ? back : QDate(1900, 1, 1)),
                           dayNumber(ahead.isValid() ? ahead : QDate(2173, 10, 14)));
    People->setBirthdays(pairs);

    if (!m_file->prepare(m_env.tempFolder)) {
        m_failed = true;
        return;
    }
    BindDatabaseName(m_dm.get());

    QString start = LoadSettings();
    m_file->setTitle(start);
    if (!m_file->title().isEmpty() && !m_file->titleIsFile())
        m_file->setTitle(QString());
    if (m_file->title().isEmpty())
        m_file->setTitle(FindBesideExecutable(QStringLiteral("*.den")));
    if (!m_file->title().isEmpty() && !m_file->titleIsFile())
        m_file->setTitle(QString());
    // Temporary files of saves that were cut off (the program killed half way) are not left to pile up.
    RemoveSaveLeftovers(m_file->title());

    bool opened = false;
    if (m_file->hasRecovered()) {
        // The changes a run that ended without closing left behind, as the user asked. Changes
        // that can be neither opened nor kept aside end the start, so that nothing clears them.
        opened = m_file->openRecovered();
    } else if (!m_file->title().isEmpty()) {
        // A start file that cannot be read must not stop every start: say why and go on with a
        // new database, as for a wrong password.
        runGuarded(*m_prompts, [&] { opened = OpenDataFile(m_file->title()); });
    }
    if (!opened)
        CreateNewDataFile();

    if (m_dm->Tb_Account->active()) {
        setStartStop(false);
        m_dm->Tb_Hist->enableControls();
    } else {
        ClearDirectory(workingFolder());
    }
}

void TFormMain::BindDatabaseName(TDm* dm) { dm->BindDatabaseName(workingFolder()); }

void TFormMain::hideSplash()
{
    if (m_splash) {
        m_splash->hide();
        delete m_splash;
    }
}

bool TFormMain::OpenDatabase()
{
    CardState.CardPage = CardPage::CalendarOrPassword;
    m_state->setWorkDate(dayNumber(Clock::today()));
    Money->showWorkDate();
    Pg->setCurrentWidget(ShMoney);
    m_view = View::Money;
    Money->ResetForOpen();
    mCategory->menuAction()->setVisible(true);
    m_viewItems[0]->setChecked(true);

    auto started = [this](int count) {
        if (!startStop() || !m_env.splash)
            return;
        m_splash = new TFormAbout(nullptr);
        const QLocale ru(QLocale::Russian);
        const QDate today = Clock::today();
        m_splash->ShowAsSplash(ru.toString(today, QLocale::LongFormat) + QStringLiteral("    ")
                                   + ru.dayName(today.dayOfWeek(), QLocale::LongFormat),
                               count - 1);
    };
    auto progress = [this](int i) {
        if (m_splash)
            m_splash->setProgress(i);
    };
    bool opened = false;
    try {
        opened = m_file->openTables(started, progress);
    } catch (...) {
        hideSplash();
        throw;
    }
    if (opened)
        Reminders->Run();
    hideSplash();
    if (!opened)
        return false;
    Card();
    // Filling the trees may fail quietly; the period may not: without it the history would show
    // the rows of every account.
    try {
        Money->ResetTrees();
    } catch (...) {
        // The trees are a cache, filled again when a tree is next shown.
        noteSwallowed("filling the category trees");
    }
    if (m_dm->Tb_Hist->active()) {
        if (!runGuarded(*m_prompts, [this] { Money->CbPerClick(); }))
            Money->ShowNoHistory();
        runGuarded(*m_prompts, [this] { ShowView(View::Money); });
    }
    emit databaseOpened();
    Reminders->Announce(m_bar->isChecked());
    if (isVisible())
        FormShow();
    return true;
}

TFormCard* TFormMain::Card()
{
    if (!m_card) {
        m_card = new TFormCard(CardState, *m_prompts, m_dm.get(), this);
        connect(m_card, &TFormCard::calculatorRequested, this, [this] { mCalcClick(); });
        new TAccountsPage(*m_card, *m_dm, *m_prompts);   // owned by the card
        new TOperationPages(*m_card, *m_dm, *m_prompts); // owned by the card
        m_card->BindDatabaseName(workingFolder());
    }
    return m_card;
}

// ---- views ----

void TFormMain::ShowView(View view)
{
    const int index = int(view);
    if (index >= 0 && index < 4)
        m_viewItems[index]->setChecked(true);
    FlushPendingEdits();
    Pg->setCurrentIndex(index);
    m_view = view;
    const bool money = view == View::Money;
    mCategory->menuAction()->setVisible(money && m_state->modeOn());
    mMoney->menuAction()->setVisible(money);
    Money->command(QStringLiteral("mAccounts"))->setVisible(money);
    UpdateCommandStates();
    People->ApplyPersonFilter(view);
    emit viewShown(index);
}

void TFormMain::mMoneyViewClick(QAction* sender) { ShowView(sender->property(TagProperty).toInt()); }

void TFormMain::FormShow()
{
    if (Money->categoryPane().expenseTree()->isVisible())
        Money->categoryPane().expenseTree()->setFocus();
}

void TFormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    fitFrameToMargins();
    if (!m_outer.isNull())
        waitForFrame();
    FormShow();
}

void TFormMain::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    fitFrameToMargins();
}

void TFormMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    fitFrameToMargins();
}

// ---- the outer frame ----

// The settings keep the outer frame, but Qt places a window by its frame and sizes it by its inside,
// and only the window manager knows how thick the frame is, once it has put one around the window,
// which may be long after the window was shown. Until then the window stands where the frame is to
// be, with the frame's size, and the frame wanted is kept; as soon as the frame is known (looked
// for on every move and resize, and a while after showing, as a manager that puts the window where
// it already stood moves nothing) the inside is sized to fit. Saving in between gives the frame
// wanted, never one grown by the frame's thickness.

void TFormMain::setOuterGeometry(const QRect& frame)
{
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect fitted = fitFrameIntoArea(frame, screen ? screen->availableGeometry() : QRect());
    m_outer = QRect();
    move(fitted.topLeft());
    resize(fitted.size());
    m_outer = fitted;
    m_outerInside = geometry();
    fitFrameToMargins();
}

QRect TFormMain::outerGeometry() const
{
    // Still waiting for the frame, and nobody has moved or sized the window meanwhile.
    if (!m_outer.isNull() && geometry() == m_outerInside)
        return m_outer;
    return frameGeometry();
}

void TFormMain::waitForFrame()
{
    if (!m_frameWait) {
        m_frameWait = new QTimer(this);
        m_frameWait->setInterval(FrameLookInterval);
        connect(m_frameWait, &QTimer::timeout, this, [this] {
            fitFrameToMargins();
            if (m_outer.isNull() || ++m_frameLooks >= FrameLooks)
                m_frameWait->stop();
        });
    }
    m_frameLooks = 0;
    m_frameWait->start();
}

void TFormMain::fitFrameToMargins()
{
    if (m_outer.isNull() || !windowHandle() || !isVisible())
        return;
    const QMargins m = windowHandle()->frameMargins();
    if (m.isNull())
        return;
    const QRect frame = m_outer;
    m_outer = QRect();
    // The inside, placed by itself: Qt's own idea of the frame may still be the unframed one.
    setGeometry(frame.marginsRemoved(m));
}

// ---- command availability ----

void TFormMain::UpdateCommandStates()
{
    // The rules run on every change of the history, also while the frame is still being built.
    if (!m_dm || !Money || !m_password)
        return;
    const CommandStates s =
        dorv::UpdateCommandStates(commandFactsOf(*m_dm, m_state->modeOn(), dayNumber(Clock::today())));
    mCategory->setEnabled(s.category);
    mMoney->setEnabled(s.money);
    mView->setEnabled(s.view);
    Money->command(QStringLiteral("mMoneyNew"))->setEnabled(s.moneyNew);
    Money->command(QStringLiteral("mMoneyDelete"))->setEnabled(s.moneyDelete);
    Money->command(QStringLiteral("mMoneyEdit"))->setEnabled(s.moneyEdit);
    Money->command(QStringLiteral("mpMoneyNew"))->setEnabled(s.moneyNew);
    Money->command(QStringLiteral("mpMoneyDelete"))->setEnabled(s.moneyDelete);
    Money->command(QStringLiteral("mpMoneyEdit"))->setEnabled(s.moneyEdit);
    Money->command(QStringLiteral("mUpdate"))->setEnabled(s.update);
    Money->command(QStringLiteral("mpUpdate"))->setEnabled(s.update);
    for (QAction* a : {m_save, m_saveAs, m_password})
        a->setEnabled(s.save);
    Money->command(QStringLiteral("mEmptyHist"))->setEnabled(s.save);
    Money->command(QStringLiteral("mCheck"))->setEnabled(s.save);
    m_import->mImport->setEnabled(s.save);
    m_import->mRules->setEnabled(s.save);
    m_find->mFind->setEnabled(s.save);
    m_export->mExport->setEnabled(s.save);
    Money->command(QStringLiteral("mResult"))->setEnabled(s.result);
    Money->command(QStringLiteral("mAccounts"))->setEnabled(s.accounts);
}

// ---- closing ----

bool TFormMain::FormCloseQuery()
{
    if (!m_prompts->confirm(QStringLiteral("Закрыть программу?")))
        return false;
    setStartStop(true);
    if (m_dm && !m_dm->DataSaved && m_dm->Tb_Account->active()) {
        // A save that fails or whose dialog is cancelled must not throw the changes away behind
        // the user's back.
        bool saved = false;
        runGuarded(*m_prompts, [&] { saved = SaveDataFile(false); });
        if (!saved && !m_prompts->confirm(QStringLiteral("Данные не сохранены! Выйти без сохранения?"))) {
            setStartStop(false);
            return false;
        }
    }
    if (m_dm)
        runGuarded(*m_prompts, [this] { CloseDataFile(); });
    SaveSettings();
    return true;
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    if (m_closing || !started()) {
        event->accept();
        return;
    }
    bool ok = false;
    guarded([&] { ok = FormCloseQuery(); });
    if (ok) {
        m_closing = true;
        event->accept();
    } else {
        event->ignore();
    }
}

void TFormMain::mExitClick() { close(); }

// ---- small commands ----

QString TFormMain::password() const { return m_card ? m_card->passwordText() : QString(); }

void TFormMain::mBakClick()
{
    // The check mark toggles itself and the data file follows it; the choice is stored at exit.
}

void TFormMain::mAboutClick() { RunAbout(*m_prompts, this); }

void TFormMain::mManualClick()
{
    if (!HelpFilePath.isEmpty() && QFileInfo::exists(HelpFilePath))
        HelpWindow::showHelp(HelpFilePath, this);
}

void TFormMain::mCalcClick()
{
    // F9 that does nothing looks like a broken key: say why nothing comes.
    const QString program = FindCalculator(CalculatorCandidates(), {});
    if (program.isEmpty())
        m_prompts->inform(QStringLiteral("Калькулятор не найден."));
    else if (!StartCalculator({program}, {}))
        m_prompts->inform(QStringLiteral("Калькулятор не удалось запустить: %1").arg(program));
}

void TFormMain::mBarClick() { TbMain->setVisible(m_bar->isChecked()); }

int TFormMain::PickDate(int initialDay)
{
    const int day = Card()->PickDate(initialDay);
    activateWindow();
    return day;
}

} // namespace dorv
