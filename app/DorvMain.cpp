#include "DorvMain.h"

#include "Calculator.h"
#include "DorvAbt.h"
#include "HelpWindow.h"
#include "QtPrompts.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/TableModel.h"
#include "categories/CategoryTree.h"
#include "ledger/AccountsPage.h"
#include "ledger/MoneyView.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/FileUtil.h"
#include "util/ZipArchive.h"

#include <QActionGroup>
#include <QComboBox>
#include <QSplitter>
#include <QTreeWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLockFile>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace dorv {

namespace {
const char* const TagProperty = "tag";
}

TFormMain::TFormMain(const MainEnvironment& env, QWidget* parent) : QMainWindow(parent), m_env(env)
{
    setObjectName(QStringLiteral("TFormMain"));
    if (m_env.prompts) {
        m_prompts = m_env.prompts;
    } else {
        m_ownPrompts = std::make_unique<QtPrompts>(this);
        m_prompts = m_ownPrompts.get();
    }
    if (!m_env.programFolder.isEmpty())
        SetProgramFolder(m_env.programFolder);
    m_settings = std::make_unique<Settings>(m_env.settingsFile);
    resize(767, 564);
    move(20, 1);
    buildActions();
    buildToolBar();
    buildPages();
    try {
        FormCreate();
    } catch (const DbError& e) {
        m_failed = true;
        m_prompts->error(e.message());
    } catch (const DbAbort&) {
        m_failed = true;
    } catch (const std::exception& e) {
        m_failed = true;
        m_prompts->error(QString::fromUtf8(e.what()));
    }
}

TFormMain::~TFormMain()
{
    hideSplash();
    delete m_card;
    m_card = nullptr;
    // Views and models let go of the data module before it goes.
    if (DBG)
        DBG->setModel(nullptr);
    delete m_histModel;
    m_histModel = nullptr;
    m_dm.reset();
}

bool TFormMain::started() const
{
    return !m_failed && m_dm && m_dm->Tb_Account->active() && !StartStop;
}

void TFormMain::guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const DbError& e) {
        QApplication::restoreOverrideCursor();
        m_prompts->error(e.message());
    } catch (const DbAbort&) {
    } catch (const std::exception& e) {
        m_prompts->error(QString::fromUtf8(e.what()));
    }
}

QAction* TFormMain::action(const QString& name) const { return findChild<QAction*>(name); }

QAction* TFormMain::addAction(QMenu* menu, const QString& name, const QString& caption,
                              const std::function<void()>& handler)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    menu->addAction(a);
    if (handler)
        connect(a, &QAction::triggered, this, [this, handler] { guarded(handler); });
    return a;
}

// ---- the frame ----

void TFormMain::buildActions()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    mFile = bar->addMenu(QStringLiteral("&Файл"));
    mFile->setObjectName(QStringLiteral("mFile"));
    addAction(mFile, QStringLiteral("mNew"), QStringLiteral("&Новый"), [this] { mNewClick(); });
    addAction(mFile, QStringLiteral("mOpen"), QStringLiteral("&Открыть..."), [this] { mOpenClick(); });
    addAction(mFile, QStringLiteral("mSave"), QStringLiteral("&Сохранить"), [this] { mSaveClick(); });
    addAction(mFile, QStringLiteral("mSaveAs"), QStringLiteral("Сохранить &как..."), [this] { mSaveAsClick(); });
    mFile->addSeparator();
    addAction(mFile, QStringLiteral("mExit"), QStringLiteral("Вы&ход"), [this] { mExitClick(); });

    mView = bar->addMenu(QStringLiteral("&Выбор"));
    mView->setObjectName(QStringLiteral("mView"));
    m_viewGroup = new QActionGroup(this);
    const struct {
        const char* name;
        const char* caption;
        int tag;
    } views[] = {{"mMoneyView", "&Деньги", 0}, {"mPersonView", "&Люди", 1}, {"mFirmView", "&Фирмы", 2},
                 {"mRemindView", "Дне&вник", 3}};
    for (const auto& v : views) {
        if (v.tag == 1 || v.tag == 3)
            mView->addSeparator();
        QAction* a = addAction(mView, QString::fromLatin1(v.name), QString::fromUtf8(v.caption));
        a->setProperty(TagProperty, v.tag);
        a->setCheckable(true);
        a->setChecked(v.tag == 0);
        m_viewGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { guarded([this, a] { mMoneyViewClick(a); }); });
    }

    mCategory = bar->addMenu(QStringLiteral("&Статья"));
    mCategory->setObjectName(QStringLiteral("mCategory"));
    addAction(mCategory, QStringLiteral("mCategoryNew"), QStringLiteral("&Добавить"))->setProperty(TagProperty, 1);
    addAction(mCategory, QStringLiteral("mCategoryNewChild"), QStringLiteral("Добавить &ветвь"))->setProperty(TagProperty, 2);
    addAction(mCategory, QStringLiteral("mCategoryEdit"), QStringLiteral("&Изменить"))->setProperty(TagProperty, 3);
    addAction(mCategory, QStringLiteral("mCategoryDelete"), QStringLiteral("&Удалить"));
    mCategory->addSeparator();
    addAction(mCategory, QStringLiteral("mCategoryFind"), QStringLiteral("&Найти..."));
    addAction(mCategory, QStringLiteral("mCategoryView"), QStringLiteral("В&ыписка..."));
    mCategory->addSeparator();
    addAction(mCategory, QStringLiteral("mCategoryMove"), QStringLiteral("&Переместить..."));

    mMoney = bar->addMenu(QStringLiteral("&Деньги"));
    mMoney->setObjectName(QStringLiteral("mMoney"));
    m_modeGroup = new QActionGroup(this);
    // Unchecking the checked direction leaves neither: the money page without categories.
    m_modeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    QAction* ct = addAction(mMoney, QStringLiteral("mCt"), QStringLiteral("&Расход"));
    QAction* dt = addAction(mMoney, QStringLiteral("mDt"), QStringLiteral("&Приход"));
    dt->setProperty(TagProperty, 1);
    for (QAction* a : {ct, dt}) {
        a->setCheckable(true);
        m_modeGroup->addAction(a);
    }
    ct->setChecked(true);
    mMoney->addSeparator();
    addAction(mMoney, QStringLiteral("mAccounts"), QStringLiteral("&Счета..."));
    mMoney->addSeparator();
    addAction(mMoney, QStringLiteral("mMoneyNew"), QStringLiteral("&Добавить"))->setEnabled(false);
    addAction(mMoney, QStringLiteral("mMoneyEdit"), QStringLiteral("&Изменить"))->setEnabled(false);
    addAction(mMoney, QStringLiteral("mMoneyDelete"), QStringLiteral("&Удалить"));
    addAction(mMoney, QStringLiteral("mUpdate"), QStringLiteral("Реали&зовать"));
    mMoney->addSeparator();
    mRange = mMoney->addMenu(QStringLiteral("Пери&од"));
    mRange->setObjectName(QStringLiteral("mRange"));
    m_rangeGroup = new QActionGroup(this);
    const char* ranges[][2] = {{"mTotal", "&Весь"}, {"mYear", "&Год"}, {"mMonth", "&Месяц"}, {"mWeek", "&Неделя"}, {"mDay", "&День"}};
    for (const auto& r : ranges) {
        QAction* a = addAction(mRange, QString::fromLatin1(r[0]), QString::fromUtf8(r[1]));
        a->setCheckable(true);
        m_rangeGroup->addAction(a);
    }
    action(QStringLiteral("mTotal"))->setChecked(true);
    mMoney->addSeparator();
    addAction(mMoney, QStringLiteral("mResult"), QStringLiteral("И&тоги..."));

    mService = bar->addMenu(QStringLiteral("Се&рвис"));
    mService->setObjectName(QStringLiteral("mService"));
    QAction* barItem = addAction(mService, QStringLiteral("mBar"), QStringLiteral("К&нопки"), [this] { mBarClick(); });
    barItem->setCheckable(true);
    barItem->setChecked(true);
    QAction* calc = addAction(mService, QStringLiteral("mCalc"), QStringLiteral("&Куркулятор"), [this] { mCalcClick(); });
    calc->setShortcut(QKeySequence(Qt::Key_F9));
    calc->setShortcutContext(Qt::ApplicationShortcut);
    mService->addSeparator();
    addAction(mService, QStringLiteral("mPassword"), QStringLiteral("&Изменить пароль..."), [this] { mPasswordClick(); });
    addAction(mService, QStringLiteral("mEmptyHist"), QStringLiteral("&Закрыть счёт..."))->setProperty(TagProperty, 1);
    mService->addSeparator();
    addAction(mService, QStringLiteral("mReg"), QStringLiteral("&Очистить реестр..."), [this] { mRegClick(); });
    QAction* bak = addAction(mService, QStringLiteral("mBak"), QStringLiteral("&Делать резервную копию"), [this] { mBakClick(); });
    bak->setCheckable(true);
    bak->setChecked(true);

    mHelp = bar->addMenu(QStringLiteral("&Помощь"));
    mHelp->setObjectName(QStringLiteral("mHelp"));
    QAction* manual = addAction(mHelp, QStringLiteral("mManual"), QStringLiteral("&Содержание.."), [this] { mManualClick(); });
    manual->setShortcut(QKeySequence(Qt::Key_F1));
    mHelp->addSeparator();
    addAction(mHelp, QStringLiteral("mAbout"), QStringLiteral("&О..."), [this] { mAboutClick(); });
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

    const QStyle::StandardPixmap pictures[] = {QStyle::SP_DriveHDIcon, QStyle::SP_DirHomeIcon,
                                               QStyle::SP_ComputerIcon, QStyle::SP_FileDialogDetailedView,
                                               QStyle::SP_FileIcon, QStyle::SP_DialogCloseButton};
    auto makeButton = [&](const QString& name, int picture, const QString& hint) {
        auto* b = new QToolButton(TbMain);
        b->setObjectName(name);
        b->setIcon(style()->standardIcon(pictures[picture]));
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setFixedSize(39, 38);
        return b;
    };
    auto spacer = [&](int width) {
        auto* s = new QWidget(TbMain);
        s->setFixedWidth(width);
        TbMain->addWidget(s);
    };
    ButMoney = makeButton(QStringLiteral("ButMoney"), 0, QStringLiteral("Деньги"));
    ButFace = makeButton(QStringLiteral("ButFace"), 1, QStringLiteral("Кто ?"));
    ToolButton5 = makeButton(QStringLiteral("ToolButton5"), 2, QStringLiteral("Где ?"));
    ButLog = makeButton(QStringLiteral("ButLog"), 3, QStringLiteral("Дневник - памятка"));
    ButExit = makeButton(QStringLiteral("ButExit"), 5, QStringLiteral("Выход"));
    int tag = 0;
    for (QToolButton* b : {ButMoney, ButFace, ToolButton5, ButLog}) {
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setProperty(TagProperty, tag);
        const int view = tag++;
        connect(b, &QToolButton::clicked, this, [this, view] { guarded([this, view] { ShowView(view); }); });
    }
    ButMoney->setChecked(true);
    TbMain->addWidget(ButMoney);
    spacer(54);
    TbMain->addWidget(ButFace);
    TbMain->addWidget(ToolButton5);
    spacer(48);
    TbMain->addWidget(ButLog);
    spacer(79);
    TbMain->addWidget(ButExit);
    connect(ButExit, &QToolButton::clicked, this, [this] { guarded([this] { mExitClick(); }); });
}

void TFormMain::buildPages()
{
    Pg = new QStackedWidget(this);
    Pg->setObjectName(QStringLiteral("Pg"));
    QFont bold = Pg->font();
    bold.setBold(true);
    Pg->setFont(bold);
    const char* pages[][2] = {{"ShMoney", "Деньги"}, {"ShPers", "Люди"}, {"ShFirm", "Фирмы"}, {"ShDiary", "Дневник"}};
    QWidget** targets[] = {&ShMoney, &ShPers, &ShFirm, &ShDiary};
    for (int i = 0; i < 4; ++i) {
        auto* page = new QWidget(Pg);
        page->setObjectName(QString::fromLatin1(pages[i][0]));
        page->setWindowTitle(QString::fromUtf8(pages[i][1]));
        page->setFont(QFont());
        Pg->addWidget(page);
        *targets[i] = page;
    }
    auto* lay = new QVBoxLayout(ShMoney);
    lay->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(Pg);
}

void TFormMain::setTitle(const QString& path)
{
    m_title = path;
    setWindowTitle(path);
}

// ---- start-up ----

bool TFormMain::acquireLock()
{
    // A second copy would unpack its template over the first one's open data: the lock beside the
    // working folder tells them apart. A lock left by a crashed run names a process that is gone
    // and is taken over.
    m_lock = std::make_unique<QLockFile>(WorkingFolder + QStringLiteral(".lck"));
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    m_lock.reset();
    return false;
}

void TFormMain::FormCreate()
{
    StartStop = true;
    PackOnClose = false;
    TempFolder = m_env.tempFolder.isEmpty() ? GetTempDirectory() : QDir(m_env.tempFolder).absolutePath() + QLatin1Char('/');
    WorkingFolder = TempFolder + QStringLiteral("DAZAZORI");
    HelpFilePath = QDir(ProgramFolder()).filePath(QStringLiteral("Dorvana.Hlp"));
    action(QStringLiteral("mManual"))->setVisible(QFileInfo::exists(HelpFilePath));

    const QDate today = Clock::today();
    TodayDay = today.day();
    TodayMonth = today.month();
    if (TodayMonth == 2 && TodayDay == 29)
        TodayDay = 28;
    const QDate back(today.year() - 100, TodayMonth, TodayDay), ahead(today.year() + 100, TodayMonth, TodayDay);
    WholeStart = dayNumber(back.isValid() ? back : QDate(1900, 1, 1));
    WholeEnd = dayNumber(ahead.isValid() ? ahead : QDate(2173, 10, 14));
    const QDate tomorrow = today.addDays(1);
    TomorrowDay = tomorrow.day();
    TomorrowMonth = tomorrow.month();

    if (TempFolder.isEmpty())
        throw DbError(QStringLiteral("Невозможно создать временную папку !"));
    if (!acquireLock()) {
        m_failed = true;
        m_prompts->inform(QStringLiteral("Программа уже запущена. Вторая копия не может работать с теми же данными "
                                         "и будет закрыта."));
        return;
    }
    // What a crashed run left in the working folder belongs to no data file and could even be
    // applied to the next one's tables (a half-written journal): start from an empty folder.
    if (QFileInfo(WorkingFolder).isDir())
        ClearDirectory(WorkingFolder);
    if (!EnsureDirectory(WorkingFolder))
        throw DbError(QStringLiteral("Невозможно создать временную папку !"));

    m_dm = std::make_unique<TDm>();
    BindDatabaseName(m_dm.get());
    m_dm->workDate = [this] { return WorkDate; };
    m_dm->expenseMode = [this] { return action(QStringLiteral("mCt"))->isChecked(); };
    m_dm->inform = [this](const QString& text) { m_prompts->inform(text); };
    MoneyHost host;
    host.dm = m_dm.get();
    host.prompts = m_prompts;
    host.workDate = &WorkDate;
    host.wholeStart = &WholeStart;
    host.wholeEnd = &WholeEnd;
    host.card = [this] { return Card(); };
    host.pickDate = [this](int day) { return PickDate(day); };
    host.updateCommandStates = [this] { UpdateCommandStates(); };
    host.action = [this](const QString& name) { return action(name); };
    host.categoryMenu = mCategory;
    Money = new TMoneyView(host, ShMoney);
    ShMoney->layout()->addWidget(Money);
    DBG = Money->DBG;
    m_histModel = Money->histModel;
    wireMoneyCommands();
    connect(m_dm.get(), &TDm::historyDataChanged, this, [this] { UpdateCommandStates(); });

    QString start = LoadSettings();
    setTitle(start);
    if (!m_title.isEmpty() && !QFileInfo(m_title).isFile())
        setTitle(QString());
    if (m_title.isEmpty())
        setTitle(FindBesideExecutable(QStringLiteral("*.den")));
    if (!m_title.isEmpty() && !QFileInfo(m_title).isFile())
        setTitle(QString());

    bool opened = false;
    if (!m_title.isEmpty()) {
        try {
            opened = OpenDataFile(m_title);
        } catch (const DbError& e) {
            // A start file that cannot be read must not stop every start: say why and go on with
            // a new database, as for a wrong password.
            m_prompts->error(e.message());
            opened = false;
        }
    }
    if (!opened)
        CreateNewDataFile();

    if (m_dm->Tb_Account->active()) {
        StartStop = false;
        m_dm->Tb_Hist->enableControls();
    } else {
        ClearDirectory(WorkingFolder);
    }
}

void TFormMain::BindDatabaseName(TDm* dm) { dm->BindDatabaseName(WorkingFolder); }

bool TFormMain::CreateNewDataFile()
{
    if (!m_dm->DataSaved && m_dm->Tb_Account->active())
        SaveDataFile(false);
    if (!CloseDataFile())
        throw DbError(QStringLiteral("Невозможно закрыть файл !"));
    if (!EnsureDirectory(WorkingFolder))
        throw DbError(QStringLiteral("Невозможно создать временную папку !"));
    QFile res(QStringLiteral(":/DorvDat"));
    if (res.open(QIODevice::ReadOnly)) {
        QString ignored;
        ZipArchive::unpackData(res.readAll(), WorkingFolder, QString(), {}, &ignored);
    }
    bool result = false;
    m_dm->Tb_Hist->disableControls();
    try {
        result = OpenDatabase();
    } catch (...) {
        m_dm->Tb_Hist->enableControls();
        setTitle(QString());
        throw;
    }
    m_dm->Tb_Hist->enableControls();
    setTitle(QString());
    return result;
}

void TFormMain::hideSplash()
{
    if (m_splash) {
        m_splash->hide();
        delete m_splash;
    }
}

bool TFormMain::OpenDatabase()
{
    m_dm->DataSaved = true;
    m_dm->ResetCounters();
    CardState.CardPage = 0;
    WorkDate = dayNumber(Clock::today());
    Money->showWorkDate();
    Pg->setCurrentWidget(ShMoney);
    Money->Pgd->showPage(true);
    Money->ButCt->setChecked(true);
    Money->ButDt->setChecked(false);
    action(QStringLiteral("mCt"))->setChecked(true);
    Money->Pgd->setVisible(true);
    mCategory->menuAction()->setVisible(true);
    ButMoney->setChecked(true);
    action(QStringLiteral("mMoneyView"))->setChecked(true);

    try {
        m_dm->Tb_Account->open();
    } catch (const DbError& e) {
        m_prompts->inform(QStringLiteral("Ошибка открытия базы данных"));
        throw DbError(e.message());
    }
    const QList<QObject*>& parts = m_dm->components();
    if (StartStop && m_env.splash) {
        m_splash = new TFormAbout(nullptr);
        const QLocale ru(QLocale::Russian);
        const QDate today = Clock::today();
        m_splash->ShowAsSplash(ru.toString(today, QLocale::LongFormat) + QStringLiteral("    ") +
                                   ru.dayName(today.dayOfWeek(), QLocale::LongFormat),
                               int(parts.size()) - 1);
    }
    for (int i = 0; i < parts.size(); ++i) {
        if (m_splash)
            m_splash->setProgress(i);
        auto* t = qobject_cast<Table*>(parts[i]);
        if (!t || t->tag() < 0)
            continue;
        try {
            t->open();
        } catch (const DbError&) {
            m_dm->Tb_Account->close();
            m_prompts->inform(QStringLiteral("Нет доступа к базе данных"));
            hideSplash();
            return false;
        }
    }
    if (m_dm->Tb_Account->findField(QStringLiteral("C")))
        m_dm->Tb_Account->locate(QStringLiteral("C"), QStringLiteral("L"));
    hideSplash();
    Card();
    try {
        Money->ResetTrees();
        if (m_dm->Tb_Hist->active()) {
            Money->CbPerClick();
            ShowView(0);
        }
    } catch (const DbError&) {
    }
    emit databaseOpened();
    if (isVisible())
        FormShow();
    return true;
}

TFormCard* TFormMain::Card()
{
    if (!m_card) {
        m_card = new TFormCard(CardState, *m_prompts, m_dm.get(), this);
        m_card->calculator = [this] { mCalcClick(); };
        new TAccountsPage(*m_card, *m_dm, *m_prompts); // owned by the card
        m_card->BindDatabaseName(WorkingFolder);
    }
    return m_card;
}

void TFormMain::wireMoneyCommands()
{
    for (const char* n : {"mCt", "mDt"}) {
        QAction* a = action(QString::fromLatin1(n));
        connect(a, &QAction::triggered, this, [this, a] { guarded([this, a] { Money->mDtClick(a); }); });
    }
    for (const char* n : {"mTotal", "mYear", "mMonth", "mWeek", "mDay"}) {
        QAction* a = action(QString::fromLatin1(n));
        connect(a, &QAction::triggered, this, [this, a] { guarded([this, a] { Money->mTotalClick(a); }); });
    }
    connect(action(QStringLiteral("mAccounts")), &QAction::triggered, this,
            [this] { guarded([this] { Money->ButAccClick(); }); });
    QHash<QString, QAction*> items;
    for (const char* n : {"mCategoryNew", "mCategoryNewChild", "mCategoryEdit", "mCategoryDelete", "mCategoryFind",
                          "mCategoryView", "mCategoryMove"})
        items.insert(QString::fromLatin1(n), action(QString::fromLatin1(n)));
    Money->Pgd->setMenuActions(items);
}

// ---- views ----

void TFormMain::ShowView(int index)
{
    static const int positions[] = {0, 2, 3, 5};
    const QList<QAction*> items = mView->actions();
    if (index >= 0 && index < 4) {
        items.value(positions[index])->setChecked(true);
        QToolButton* buttons[] = {ButMoney, ButFace, ToolButton5, ButLog};
        buttons[index]->setChecked(true);
    }
    FlushPendingEdits();
    Pg->setCurrentIndex(index);
    mCategory->menuAction()->setVisible(index == 0 && Money->modeOn());
    mMoney->menuAction()->setVisible(index == 0);
    if (QAction* acc = action(QStringLiteral("mAccounts")))
        acc->setVisible(index == 0);
    UpdateCommandStates();
    if (index != 1 && m_dm && m_dm->Tb_Person->active())
        m_dm->Tb_Person->setFiltered(false);
    emit viewShown(index);
}

void TFormMain::mMoneyViewClick(QAction* sender) { ShowView(sender->property(TagProperty).toInt()); }

void TFormMain::FormShow()
{
    if (Money->Pgd->TvCt->isVisible())
        Money->Pgd->TvCt->setFocus();
}

void TFormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

// ---- command availability ----

void TFormMain::UpdateCommandStates()
{
    if (!m_dm)
        return;
    Table& hist = *m_dm->Tb_Hist;
    const bool histOpen = hist.active();
    const bool hasRows = histOpen && !hist.isEmpty();
    const bool modeOn = Money->modeOn();
    auto set = [this](const char* name, bool on) {
        if (QAction* a = action(QString::fromLatin1(name)))
            a->setEnabled(on);
    };
    mCategory->setEnabled(m_dm->Tb_Items->active());
    mMoney->setEnabled(m_dm->Tb_Account->active() && histOpen);
    mView->setEnabled(mMoney->isEnabled());
    set("mMoneyNew", modeOn);
    bool receiving = false;
    if (hasRows) {
        receiving = hist.fieldByName(QStringLiteral("Level1")).value() == QVariant(qint64(-1)) &&
                    !hist.fieldByName(QStringLiteral("Dt")).isNull();
    }
    const bool canDelete = hasRows && !receiving;
    set("mMoneyDelete", canDelete);
    set("mMoneyEdit", canDelete && modeOn);
    bool planned = false;
    if (hasRows) {
        planned = hist.fieldByName(QStringLiteral("Kind")).asString() > QStringLiteral("1") &&
                  hist.fieldByName(QStringLiteral("Date_Real")).asDate() <= dayNumber(Clock::today());
    }
    set("mUpdate", planned && modeOn);
    for (const char* n : {"mSave", "mSaveAs", "mEmptyHist", "mPassword"})
        set(n, histOpen);
    set("mResult", hasRows);
    Money->ButResult->setEnabled(hasRows);
    Money->ButAcc->setEnabled(m_dm->Tb_Account->active());
}

// ---- closing ----

bool TFormMain::FormCloseQuery()
{
    if (!m_prompts->confirm(QStringLiteral("Закрыть программу?")))
        return false;
    StartStop = true;
    if (m_dm && !m_dm->DataSaved && m_dm->Tb_Account->active()) {
        try {
            SaveDataFile(false);
        } catch (const DbError& e) {
            m_prompts->error(e.message());
        }
    }
    try {
        if (m_dm)
            CloseDataFile();
    } catch (const DbError& e) {
        m_prompts->error(e.message());
    }
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

void TFormMain::mAboutClick() { RunAbout(*m_prompts, this); }

void TFormMain::mManualClick()
{
    if (!HelpFilePath.isEmpty() && QFileInfo::exists(HelpFilePath))
        HelpWindow::showHelp(HelpFilePath, this);
}

void TFormMain::mCalcClick() { StartCalculator(); }

void TFormMain::mBarClick()
{
    QAction* bar = action(QStringLiteral("mBar"));
    TbMain->setVisible(bar->isChecked());
}

int TFormMain::PickDate(int initialDay)
{
    const int day = Card()->PickDate(initialDay);
    activateWindow();
    return day;
}

} // namespace dorv
