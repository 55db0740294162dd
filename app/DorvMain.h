#pragma once
#include "DataFile.h"
#include "Settings.h"
#include "card/DorvCard.h"
#include "ledger/MoneyState.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QMenu;
class QStackedWidget;
class QTimer;
class QTableView;
class QToolBar;
class QToolButton;

namespace dorv {

class Prompts;
class TDm;
class TFormAbout;
class TableModel;
class TMoneyView;
class TPeopleView;
class TFirmsView;
class TDiaryView;
class TEditCommands;
class TImportCommands;
class TFindCommands;
class TExportCommands;
class Services;
class TStartupReminders;

// Where a main window lives: its program folder, temporary folder, settings store and prompts.
// The program uses the real ones; tests give their own.
struct MainEnvironment {
    QString programFolder; // empty: the executable's folder
    QString tempFolder;    // empty: the user's private temporary folder
    QString settingsFile;  // empty: the user's settings store
    Prompts* prompts = nullptr;
    bool splash = true; // show the about window while a database opens at start
};

// The main window: the frame of tool bar, menus and the four views, start-up and shutdown. The
// data file's life is TDataFile's, the money commands the money page's, the category commands
// the category pane's; the frame places their commands and keeps the named handlers.
class TFormMain final : public QMainWindow, private DataFileOwner {
    Q_OBJECT
    Q_PROPERTY(int WorkDate READ workDate WRITE setWorkDate)
    Q_PROPERTY(bool PackOnClose READ packOnClose WRITE setPackOnClose)
    Q_PROPERTY(bool StartStop READ startStop WRITE setStartStop)
    Q_PROPERTY(int CardPage READ cardPage WRITE setCardPage)
    Q_PROPERTY(int CardMode READ cardMode WRITE setCardMode)
    Q_PROPERTY(bool Realizing READ realizing WRITE setRealizing)
    // What the last opening found due and the user has not looked at yet.
    Q_PROPERTY(bool DiaryFlag READ diaryFlag)
    Q_PROPERTY(bool PersonFlag READ personFlag)
    Q_PROPERTY(bool FamilyFlag READ familyFlag)

    // Declared first: the services refer into them.
    MainEnvironment m_env;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts* m_prompts = nullptr;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<TDm> m_dm;
    TMoneyState* m_state = nullptr;
    TDataFile* m_file = nullptr;
    // What the window gives the windows it holds.
    class MainServices;
    std::unique_ptr<MainServices> m_services;

public:
    explicit TFormMain(const MainEnvironment& env, QWidget* parent = nullptr);
    ~TFormMain() override;

    // True when start-up ended with a database open: the program then runs its event loop.
    bool started() const;
    Prompts& prompts() const { return *m_prompts; }
    TDm* Dm() const { return m_dm.get(); }
    TDataFile& dataFile() const { return *m_file; }
    // Undo and redo of the changes of the open data.
    TEditCommands& editCommands() const { return *m_edit; }
    TMoneyState& moneyState() const { return *m_state; }
    // What the window hands the windows it holds.
    Services& services() const;
    TFormCard* Card();
    TFormCard* existingCard() const { return m_card; }

    // State of the window, under the names the program has always used for it; the working folder,
    // the start and stop and the packing belong to the data file, the working date to the money state.
    QString HelpFilePath;
    int TodayDay = 0, TodayMonth = 0, TomorrowDay = 0, TomorrowMonth = 0;
    CardRequest CardState;

    const QString& workingFolder() const { return m_file->WorkingFolder; }
    int workDate() const { return m_state->workDate(); }
    void setWorkDate(int day) { m_state->setWorkDate(day); }
    bool packOnClose() const { return m_file->PackOnClose; }
    void setPackOnClose(bool on) { m_file->PackOnClose = on; }
    bool startStop() const { return m_file->StartStop; }
    // Set while the program starts and once closing is confirmed: no question is asked then.
    void setStartStop(bool on) { m_file->StartStop = on; }
    // The properties keep the numbers the card has always been asked with; any number is kept as it
    // is (one that names no page shows the calendar or the password page).
    int cardPage() const { return int(CardState.CardPage); }
    void setCardPage(int page) { CardState.CardPage = CardPage(page); }
    int cardMode() const { return int(CardState.CardMode); }
    void setCardMode(int mode) { CardState.CardMode = CardMode(mode); }
    bool realizing() const { return CardState.Realizing; }
    void setRealizing(bool on) { CardState.Realizing = on; }
    bool diaryFlag() const;
    bool personFlag() const;
    bool familyFlag() const;

    View currentView() const { return m_view; }
    // A command of the window or of one of its views, by its name.
    QAction* action(const QString& name) const;

    // Start, views and shutdown.
    void FormCreate();
    bool CreateNewDataFile() { return m_file->CreateNewDataFile(); }
    bool OpenDatabase();
    void BindDatabaseName(TDm* dm);
    // The index is the view buttons' tag; the window itself names its views.
    void ShowView(int index) { ShowView(View(index)); }
    void ShowView(View view);
    void mMoneyViewClick(QAction* sender);
    void FormShow();
    bool FormCloseQuery();
    void mExitClick();

    // Data files.
    void mNewClick() { m_file->CreateNewDataFile(); }
    void mOpenClick() { m_file->mOpenClick(this); }
    void mSaveClick() { SaveDataFile(false); }
    void mSaveAsClick() { SaveDataFile(true); }
    bool OpenDataFile(QString path) { return m_file->OpenDataFile(std::move(path)); }
    bool SaveDataFile(bool ask) { return m_file->SaveDataFile(ask, this); }
    void FlushPendingEdits() { m_file->FlushPendingEdits(); }
    bool CloseDataFile() { return m_file->CloseDataFile(); }
    bool CloseDatabase() { return m_file->CloseDatabase(); }
    void VzpBadPassword(int index) { m_file->VzpBadPassword(index); }
    void mPasswordClick() { m_file->mPasswordClick(); }
    void mBakClick();
    // Lists the earlier versions of the data file and opens the one chosen as new data.
    void mVersionsListClick();
    QString password() const;

    // Settings.
    QString LoadSettings();
    void SaveSettings();
    void mRegClick();

    // Small commands.
    void mAboutClick();
    void mManualClick();
    void mCalcClick();
    void mBarClick();
    int PickDate(int initialDay);

    // Command availability.
    void UpdateCommandStates();

    // The history grid's columns as stored in the settings; false (and default columns) when the
    // bytes cannot be rebuilt.
    QByteArray saveColumns() const;
    bool restoreColumns(const QByteArray& bytes);
    void defaultColumns();

    // Runs a handler as an event of the window: an error ends in the standard error box, a silent
    // abort in nothing.
    void guarded(const std::function<void()>& handler);

    // The window's outer frame, title bar included, as the settings keep it; it is placed inside
    // the available area of its screen (moved in, and made smaller when the screen is).
    void setOuterGeometry(const QRect& frame);
    QRect outerGeometry() const;

signals:
    // Views of later parts hook here.
    void databaseOpened();
    void viewShown(int index);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Undo and redo select the rows they touched in the views.
    friend class TEditCommands;
    friend class TFindCommands;
    friend class TExportCommands;

    // Components, by their names (objectName); tests find them by these.
    QToolBar* TbMain = nullptr;
    QToolButton *ButMoney = nullptr, *ButFace = nullptr, *ToolButton5 = nullptr, *ButLog = nullptr, *ButExit = nullptr;
    QStackedWidget* Pg = nullptr;
    QWidget *ShMoney = nullptr, *ShPers = nullptr, *ShFirm = nullptr, *ShDiary = nullptr;
    TMoneyView* Money = nullptr;
    TPeopleView* People = nullptr;
    TFirmsView* Firms = nullptr;
    TDiaryView* Diary = nullptr;
    TStartupReminders* Reminders = nullptr;
    QTimer* Tm = nullptr;
    QTableView* DBG = nullptr;
    QMenu *mFile = nullptr, *mEdit = nullptr, *mView = nullptr, *mCategory = nullptr, *mMoney = nullptr,
          *mService = nullptr, *mHelp = nullptr, *mRange = nullptr;

    // What the data file asks of the window.
    QString passwordText() const override;
    void setPasswordText(const QString& text) override;
    bool askPassword(const QString& caption) override;
    bool openDatabase() override;
    void databaseClosing() override;
    QList<Dataset*> otherDatasets() const override;

    void buildMoneyPage();
    void buildActions();
    void buildToolBar();
    void showPopupKeys();
    void buildPages();
    void buildContactPages();
    void wireDataFile();
    QAction* addAction(QMenu* menu, const QString& name, const QString& caption,
                       const std::function<void()>& handler = {});
    void placeAll(QMenu* menu, const QList<QAction*>& items);
    void hideSplash();
    void fitFrameToMargins();
    void waitForFrame();

    TFormCard* m_card = nullptr;
    TEditCommands* m_edit = nullptr;
    TImportCommands* m_import = nullptr;
    TFindCommands* m_find = nullptr;
    TExportCommands* m_export = nullptr;
    QPointer<TFormAbout> m_splash;
    TableModel* m_histModel = nullptr;
    bool m_failed = false;
    bool m_closing = false;
    View m_view = View::Money;
    // The frame wanted while the window manager has not told its thickness yet, and the inside the
    // window was given meanwhile.
    QRect m_outer;
    QRect m_outerInside;
    QTimer* m_frameWait = nullptr;
    int m_frameLooks = 0;
    QActionGroup* m_viewGroup = nullptr;
    // The frame's own items whose state it reads.
    QAction *m_exit = nullptr, *m_manual = nullptr, *m_bar = nullptr, *m_reg = nullptr, *m_bak = nullptr,
            *m_versions = nullptr;
    QAction *m_save = nullptr, *m_saveAs = nullptr, *m_password = nullptr;
    QAction* m_viewItems[4] = {};
};

} // namespace dorv
