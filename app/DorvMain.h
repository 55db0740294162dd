#pragma once
#include "Settings.h"
#include "ledger/DorvCard.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QLockFile;
class QMenu;
class QStackedWidget;
class QTableView;
class QToolBar;
class QToolButton;

namespace dorv {

class Prompts;
class TDm;
class TFormAbout;
class TableModel;
class TMoneyView;

// Where a main window lives: its program folder, temporary folder, settings store and prompts.
// The program uses the real ones; tests give their own.
struct MainEnvironment {
    QString programFolder;   // empty: the executable's folder
    QString tempFolder;      // empty: the system's temporary folder
    QString settingsFile;    // empty: the user's settings store
    Prompts* prompts = nullptr;
    bool splash = true;      // show the about window while a database opens at start
};

// The main window: tool bar, menus, the four views, start-up, data files and shutdown.
class TFormMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(const MainEnvironment& env, QWidget* parent = nullptr);
    ~TFormMain() override;

    // True when start-up ended with a database open: the program then runs its event loop.
    bool started() const;
    Prompts& prompts() const { return *m_prompts; }
    TDm* Dm() const { return m_dm.get(); }
    TFormCard* Card();
    TFormCard* existingCard() const { return m_card; }

    // State of the window.
    QString TempFolder, WorkingFolder, HelpFilePath;
    int TodayDay = 0, TodayMonth = 0, TomorrowDay = 0, TomorrowMonth = 0;
    int WholeStart = 0, WholeEnd = 0;
    bool StartStop = true;
    bool PackOnClose = false;
    int WorkDate = 0;
    CardRequest CardState;

    // Components, by their names.
    QToolBar* TbMain = nullptr;
    QToolButton *ButMoney = nullptr, *ButFace = nullptr, *ToolButton5 = nullptr, *ButLog = nullptr,
                *ButExit = nullptr;
    QStackedWidget* Pg = nullptr;
    QWidget *ShMoney = nullptr, *ShPers = nullptr, *ShFirm = nullptr, *ShDiary = nullptr;
    TMoneyView* Money = nullptr;
    QTableView* DBG = nullptr;
    QMenu *mFile = nullptr, *mView = nullptr, *mCategory = nullptr, *mMoney = nullptr, *mService = nullptr,
          *mHelp = nullptr, *mRange = nullptr;
    QAction* action(const QString& name) const;

    // Start, views and shutdown.
    void FormCreate();
    bool CreateNewDataFile();
    bool OpenDatabase();
    void BindDatabaseName(TDm* dm);
    void ShowView(int index);
    void mMoneyViewClick(QAction* sender);
    void FormShow();
    bool FormCloseQuery();
    void mExitClick();

    // Data files.
    void mNewClick();
    void mOpenClick();
    void mSaveClick() { SaveDataFile(false); }
    void mSaveAsClick() { SaveDataFile(true); }
    bool OpenDataFile(QString path);
    bool SaveDataFile(bool ask);
    void FlushPendingEdits();
    bool CloseDataFile();
    bool CloseDatabase();
    void VzpBadPassword(int index);
    void mPasswordClick();
    void mBakClick();
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

signals:
    // Views of later parts hook here.
    void databaseOpened();
    void viewShown(int index);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildActions();
    void buildToolBar();
    void buildPages();
    void wireMoneyCommands();
    QAction* addAction(QMenu* menu, const QString& name, const QString& caption,
                       const std::function<void()>& handler = {});
    void setTitle(const QString& path);
    QString title() const { return m_title; }
    bool acquireLock();
    void hideSplash();

    MainEnvironment m_env;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts* m_prompts = nullptr;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<TDm> m_dm;
    TFormCard* m_card = nullptr;
    QPointer<TFormAbout> m_splash;
    TableModel* m_histModel = nullptr;
    QString m_title;
    bool m_failed = false;
    bool m_closing = false;
    QActionGroup *m_viewGroup = nullptr, *m_modeGroup = nullptr, *m_rangeGroup = nullptr;
};

} // namespace dorv
