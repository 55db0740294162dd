#include "app/DorvMain.h"
#include "app/WindowPlacement.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "support/Child.h"
#include "support/DamagedFile.h"
#include "support/DiskLimit.h"
#include "support/ScriptedPrompts.h"
#include "support/TemplateDb.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/ZipArchive.h"
#include <QWidget>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <unistd.h>

using namespace dorv;

// One run of the program in-process, with its own program folder, temporary folder and settings.
class TestMain : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;

    QString programFolder() const { return root->filePath("prog"); }
    QString tempFolder() const { return root->filePath("tmp"); }
    QString settingsFile() const { return root->filePath("settings.ini"); }
    MainEnvironment env()
    {
        MainEnvironment e;
        e.programFolder = programFolder();
        e.tempFolder = tempFolder();
        e.settingsFile = settingsFile();
        e.prompts = &prompts;
        e.splash = false;
        return e;
    }
    std::unique_ptr<TFormMain> start() { return std::make_unique<TFormMain>(env()); }
    // Ends a run as the user would: confirms the exit.
    void exit(TFormMain& w)
    {
        prompts.confirms.enqueue(true);
        QVERIFY(w.FormCloseQuery());
    }
    static void addAccount(TFormMain& w, const QString& name)
    {
        Table& a = *w.Dm()->Tb_Account;
        a.insert();
        a.fieldByName("Account").setValue(name);
        a.fieldByName("Currency").setValue("руб");
        a.post();
    }
    static QStringList accounts(TFormMain& w)
    {
        QStringList out;
        Table& a = *w.Dm()->Tb_Account;
        for (a.first(); !a.eof(); a.next())
            out << a.fieldByName("Account").asString();
        return out;
    }
    // A data file with one account, saved by a run of the program.
    QString makeDataFile(const QString& name, const QString& account, const QString& password = {})
    {
        auto w = start();
        addAccount(*w, account);
        if (!password.isEmpty())
            child<QLineEdit>(w->Card(), "EdPas")->setText(password);
        const QString path = root->filePath(name);
        prompts.saveFiles.enqueue(path);
        w->SaveDataFile(true);
        w->setStartStop(true);
        w->CloseDataFile();
        w.reset();
        prompts.asked.clear();
        return path;
    }
    QSettings settings() { return QSettings(settingsFile(), QSettings::IniFormat); }
    // A data file made from the template database changed by the given statements.
    QString makeCraftedFile(const QString& name, const QStringList& statements)
    {
        QTemporaryDir work;
        if (!unpackTemplate(work.path()))
            return {};
        {
            auto db = Database::openFile(work.filePath("DORVANA.DB"), false);
            for (const QString& sql : statements)
                db->exec(sql);
        }
        const QString path = root->filePath(name);
        QString error;
        return ZipArchive::pack(work.path(), path, {}, &error) == 1 ? path : QString();
    }
    static QStringList accountsOf(const QString& file)
    {
        QTemporaryDir d;
        ZipArchive::unpack(file, d.path(), {}, {}, nullptr);
        auto db = Database::openFile(d.filePath("DORVANA.DB"), false);
        Statement st = db->prepareOnce("select Account from tb_account order by Account");
        QStringList out;
        while (st.step())
            out << st.column(0).toString();
        return out;
    }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        QDir().mkpath(programFolder());
        QDir().mkpath(tempFolder());
        prompts = ScriptedPrompts();
    }
    void cleanup()
    {
        Clock::unpin();
        root.reset();
    }

    void firstStartWithNothingAround()
    {
        auto w = start();
        QVERIFY(w->started());
        QVERIFY(w->windowTitle().isEmpty());
        QCOMPARE(child<QStackedWidget>(&*w, "Pg")->currentWidget(), child<QWidget>(&*w, "ShMoney"));
        QVERIFY(w->action("mMoneyView")->isChecked());
        QVERIFY(w->action("mCt")->isChecked());
        QCOMPARE(w->Dm()->Tb_Items->recordCount(), 1);
        QCOMPARE(w->Dm()->Tb_Items->fieldByName("ITM").asString(), QString("ПЕРЕВОД"));
        QVERIFY(w->Dm()->Tb_Account->isEmpty());
        QVERIFY(w->Dm()->DataSaved);
        QCOMPARE(w->geometry(), QRect(20, 1, 767, 564));
        QVERIFY(w->action("mBak")->isChecked());
        QVERIFY(w->action("mBar")->isChecked());
        QVERIFY(!child<QToolBar>(&*w, "TbMain")->isHidden());
        QVERIFY(prompts.asked.isEmpty());
        QVERIFY(!w->action("mManual")->isVisible()); // no help file beside the program
        QVERIFY(QFileInfo(w->workingFolder()).isDir());
    }

    void splashAndHelpItem()
    {
        QFile help(QDir(programFolder()).filePath("Dorvana.Hlp"));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.write("<html><body><h1>Содержание</h1></body></html>");
        help.close();
        MainEnvironment e = env();
        e.splash = true;
        TFormMain w(e);
        QVERIFY(w.started());
        QVERIFY(w.action("mManual")->isVisible());
        QVERIFY(!QApplication::topLevelWidgets().contains(nullptr));
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY2(top->objectName() != "TFormAbout" || !top->isVisible(), "the splash is gone once open");
    }

    void menuAndToolBarComponents()
    {
        auto w = start();
        const QStringList names{"mNew",
                                "mOpen",
                                "mSave",
                                "mSaveAs",
                                "mExit",
                                "mMoneyView",
                                "mPersonView",
                                "mFirmView",
                                "mRemindView",
                                "mCategoryNew",
                                "mCategoryNewChild",
                                "mCategoryEdit",
                                "mCategoryDelete",
                                "mCategoryFind",
                                "mCategoryView",
                                "mCategoryMove",
                                "mCt",
                                "mDt",
                                "mAccounts",
                                "mMoneyNew",
                                "mMoneyEdit",
                                "mMoneyDelete",
                                "mUpdate",
                                "mTotal",
                                "mYear",
                                "mMonth",
                                "mWeek",
                                "mDay",
                                "mResult",
                                "mBar",
                                "mCalc",
                                "mPassword",
                                "mEmptyHist",
                                "mReg",
                                "mBak",
                                "mManual",
                                "mAbout"};
        for (const QString& n : names)
            QVERIFY2(w->action(n), qPrintable(n));
        QCOMPARE(w->action("mCalc")->shortcut(), QKeySequence(Qt::Key_F9));
        QCOMPARE(w->action("mManual")->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(w->action("mCategoryEdit")->property("tag").toInt(), 3);
        QCOMPARE(w->action("mView") ? 1 : 0, 0);
        QCOMPARE(child<QMenu>(&*w, "mView")->actions().at(5)->objectName(), QString("mRemindView")); // separators count
        QCOMPARE(child<QMenu>(&*w, "mView")->title(), QString("&Выбор"));
        QCOMPARE(child<QToolButton>(&*w, "ButFace")->toolTip(), QString("Кто ?"));
        QCOMPARE(child<QToolButton>(&*w, "ButLog")->property("tag").toInt(), 3);
        QVERIFY(child<QToolButton>(&*w, "ButMoney")->isChecked());
        w->ShowView(3);
        QCOMPARE(child<QStackedWidget>(&*w, "Pg")->currentWidget(), child<QWidget>(&*w, "ShDiary"));
        QVERIFY(child<QToolButton>(&*w, "ButLog")->isChecked());
        QVERIFY(w->action("mRemindView")->isChecked());
        QVERIFY(!child<QMenu>(&*w, "mMoney")->menuAction()->isVisible());
        w->action("mPersonView")->trigger();
        QCOMPARE(child<QStackedWidget>(&*w, "Pg")->currentWidget(), child<QWidget>(&*w, "ShPers"));
    }

    void startOn29February()
    {
        Clock::pin(QDateTime(QDate(2024, 2, 29), QTime(9, 0)));
        auto w = start();
        QCOMPARE(w->TodayDay, 28);
        QCOMPARE(w->TodayMonth, 2);
        QCOMPARE(w->TomorrowDay, 1);
        QCOMPARE(w->TomorrowMonth, 3);
        QCOMPARE(dateOfDay(w->moneyState().WholeStart), QDate(1924, 2, 28));
        QCOMPARE(dateOfDay(w->moneyState().WholeEnd), QDate(2124, 2, 28));
        QCOMPARE(w->workDate(), dayNumber(QDate(2024, 2, 29)));
    }

    void startFileChoice()
    {
        const QString first = makeDataFile("first.den", "Первый");
        const QString beside = QDir(programFolder()).filePath("beside.den");
        QFile::copy(makeDataFile("second.den", "Второй"), beside);
        // The last file of the settings opens.
        {
            auto s = settings();
            s.setValue("Dorvana/Recent_Catalog", first);
        }
        auto w = start();
        QCOMPARE(w->windowTitle(), first);
        QCOMPARE(accounts(*w), QStringList{"Первый"});
        w.reset();
        // Deleted since: the first data file beside the program.
        QFile::remove(first);
        w = start();
        QCOMPARE(w->windowTitle(), beside);
        QCOMPARE(accounts(*w), QStringList{"Второй"});
        w.reset();
        // None: a new database.
        QFile::remove(beside);
        w = start();
        QVERIFY(w->started());
        QVERIFY(w->windowTitle().isEmpty());
        QVERIFY(accounts(*w).isEmpty());
    }

    void wrongPasswordOrCancelGivesANewDatabase_data()
    {
        QTest::addColumn<QString>("typed"); // null: cancel
        QTest::addRow("wrong password") << QString("не тот");
        QTest::addRow("cancelled") << QString();
    }
    void wrongPasswordOrCancelGivesANewDatabase()
    {
        QFETCH(QString, typed);
        const QString file = makeDataFile("secret.den", "Тайный", "пароль1");
        settings().setValue("Dorvana/Recent_Catalog", file);
        prompts.modals.enqueue([typed](QDialog* d) {
            auto* card = static_cast<TFormCard*>(d);
            if (typed.isNull())
                return int(QDialog::Rejected);
            child<QLineEdit>(card, "EdPas")->setText(typed);
            return int(QDialog::Accepted);
        });
        auto w = start();
        QVERIFY(w->started());
        QCOMPARE(prompts.messages(), (QStringList{"Пароль неверен !!!", "Нет возможности открыть файл " + file}));
        QVERIFY(w->windowTitle().isEmpty());
        QVERIFY(accounts(*w).isEmpty());
        QVERIFY(child<QLineEdit>(w->Card(), "EdPas")->text().isEmpty());
    }

    void rightPasswordOpensAndIsKept()
    {
        const QString file = makeDataFile("secret.den", "Тайный", "пароль1");
        QList<ZipArchive::Entry> entries;
        QVERIFY(ZipArchive::list(file, &entries, nullptr));
        QVERIFY(entries.first().encrypted);
        settings().setValue("Dorvana/Recent_Catalog", file);
        prompts.modals.enqueue([](QDialog* d) {
            child<QLineEdit>(static_cast<TFormCard*>(d), "EdPas")->setText("пароль1");
            return int(QDialog::Accepted);
        });
        auto w = start();
        QCOMPARE(accounts(*w), QStringList{"Тайный"});
        QCOMPARE(w->password(), QString("пароль1"));
        QVERIFY(prompts.messages().isEmpty());
    }

    // The password page says while the password is typed how long a search of every password like
    // it would take, in red below a year, and still takes whatever is typed.
    void passwordStrengthIsShownWhileTyping()
    {
        const QString file = makeDataFile("secret.den", "Тайный", "qwerty");
        settings().setValue("Dorvana/Recent_Catalog", file);
        QStringList texts;
        QList<bool> red;
        bool below = false;
        prompts.modals.enqueue([&](QDialog* d) {
            auto* strength = d->findChild<QLabel*>("LabPasStrength");
            auto* pas = d->findChild<QLineEdit*>("EdPas");
            if (!strength || !pas)
                return int(QDialog::Rejected);
            texts << strength->text();
            for (const QString typed : {"Qwerty12", "пароль1", "qwerty"}) {
                pas->clear();
                // Typed key by key, Cyrillic too (QTest::keyClicks knows only ASCII).
                for (const QChar c : typed) {
                    QTest::sendKeyEvent(QTest::Press, pas, Qt::Key_unknown, QString(c), Qt::NoModifier);
                    QTest::sendKeyEvent(QTest::Release, pas, Qt::Key_unknown, QString(c), Qt::NoModifier);
                }
                texts << strength->text();
                red << (strength->palette().color(QPalette::WindowText) == QColor(Qt::red));
            }
            below = strength->isVisible() && strength->geometry().top() >= pas->geometry().bottom();
            return int(QDialog::Accepted);
        });
        auto w = start();
        QCOMPARE(texts, (QStringList{"", "Подбор займёт около 110 лет", "Подбор займёт около 48 дней",
                                     "Подбор займёт около 79 минут"}));
        QCOMPARE(red, (QList<bool>{false, true, true}));
        QVERIFY(below);
        QCOMPARE(accounts(*w), QStringList{"Тайный"});
        QVERIFY(prompts.messages().isEmpty());
    }

    void openedFileKeepsItsPasswordAndARefusedOneChangesNone()
    {
        const QString secret = makeDataFile("secret.den", "Тайный", "пароль1");
        const QString plain = makeDataFile("plain.den", "Открытый");
        const QString damaged = makeDamagedDataFile(root->filePath("damaged.den"));
        settings().setValue("Dorvana/Recent_Catalog", plain);
        auto w = start();
        // Opened from the menu over open data: saved again with its own password.
        prompts.openFiles.enqueue(secret);
        prompts.modals.enqueue([](QDialog* d) {
            child<QLineEdit>(static_cast<TFormCard*>(d), "EdPas")->setText("пароль1");
            return int(QDialog::Accepted);
        });
        w->action("mOpen")->trigger();
        QCOMPARE(accounts(*w), QStringList{"Тайный"});
        QCOMPARE(w->password(), QString("пароль1"));
        // A file that is refused leaves the password of the open data as it was.
        prompts.openFiles.enqueue(damaged);
        w->action("mOpen")->trigger();
        QCOMPARE(w->password(), QString("пароль1"));
        addAccount(*w, "Ещё");
        QVERIFY(w->SaveDataFile(false));
        QList<ZipArchive::Entry> entries;
        QVERIFY(ZipArchive::list(secret, &entries, nullptr));
        QVERIFY(entries.first().encrypted);
        QTemporaryDir d;
        QCOMPARE(ZipArchive::unpack(secret, d.path(), "пароль1", {}, nullptr), 1);
    }

    // A data file with a password is AES-256: 7-Zip opens it with the password only, Info-ZIP's
    // unzip 6.0 not at all (as the manual says); one without a password opens in either.
    void otherToolsReadWhatWeWrite()
    {
        if (QStandardPaths::findExecutable("7z").isEmpty() || QStandardPaths::findExecutable("unzip").isEmpty())
            QSKIP("7z (p7zip-full) or unzip is not installed");
        const QString file = makeDataFile("secret.den", "Тайный", "pw-42");
        auto run = [](const QString& program, const QStringList& args) {
            QProcess p;
            p.start(program, args);
            p.closeWriteChannel();
            return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        QCOMPARE(run("7z", {"t", "-ppw-42", file}), 0);
        QVERIFY(run("7z", {"t", "-pwrong", file}) != 0);
        QVERIFY(run("unzip", {"-t", "-P", "pw-42", file}) != 0);
        const QString plain = makeDataFile("plain.den", "Открытый");
        QCOMPARE(run("unzip", {"-t", plain}), 0);
        QCOMPARE(run("7z", {"t", plain}), 0);
        QList<ZipArchive::Entry> entries;
        QVERIFY(ZipArchive::list(plain, &entries, nullptr));
        QVERIFY(!entries.first().encrypted); // an empty password writes an open archive
    }

    void backupAfterTwoSaves()
    {
        auto w = start();
        const QString home = root->filePath("home.den");
        addAccount(*w, "Один");
        prompts.saveFiles.enqueue(home);
        QVERIFY(w->SaveDataFile(false)); // no name yet: the dialog asks
        QVERIFY(!QFileInfo::exists(root->filePath("home.BAK")));
        w->Dm()->DataSaved = true;
        // Data that belonged to no file now belongs to the one it was saved in.
        QCOMPARE(w->windowTitle(), home);
        w.reset();
        settings().setValue("Dorvana/Recent_Catalog", home);
        w = start();
        addAccount(*w, "Два");
        QVERIFY(w->SaveDataFile(false));
        addAccount(*w, "Три");
        QVERIFY(w->SaveDataFile(false));
        const QByteArray bak = [&] {
            QFile f(root->filePath("home.BAK"));
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        QVERIFY(!bak.isEmpty());
        // The backup holds the second save, the file the third.
        QTemporaryDir check;
        QVERIFY(ZipArchive::unpackData(bak, check.path(), {}, {}, nullptr) == 1);
        auto db = Database::openFile(check.filePath("DORVANA.DB"), false);
        Statement st = db->prepare("select count(*) from tb_account");
        QVERIFY(st.step());
        QCOMPARE(st.columnInt(0), 2);
    }

    void saveAsThenSave()
    {
        const QString home = makeDataFile("home.den", "Дом");
        settings().setValue("Dorvana/Recent_Catalog", home);
        auto w = start();
        addAccount(*w, "Добавлен");
        const QString other = root->filePath("other.den");
        prompts.saveFiles.enqueue(other);
        QVERIFY(w->SaveDataFile(true));
        QCOMPARE(w->windowTitle(), home); // still the file of the title
        addAccount(*w, "Ещё");
        QVERIFY(w->SaveDataFile(false));
        w->setStartStop(true);
        w->CloseDataFile();
        w.reset();
        auto countIn = [&](const QString& file) {
            QTemporaryDir d;
            ZipArchive::unpack(file, d.path(), {}, {}, nullptr);
            auto db = Database::openFile(d.filePath("DORVANA.DB"), false);
            Statement st = db->prepare("select count(*) from tb_account");
            st.step();
            return st.columnInt(0);
        };
        QCOMPARE(countIn(other), 2);
        QCOMPARE(countIn(home), 3);
    }

    void openCommandReplacesTheData()
    {
        const QString other = makeDataFile("other.den", "Другой");
        auto w = start();
        addAccount(*w, "Несохранённый");
        prompts.openFiles.enqueue(other);
        prompts.confirms.enqueue(true); // unsaved, nameless data: the save dialog is cancelled and
        w->mOpenClick();                // the data dropped when the user says so
        QVERIFY(prompts.asked.contains("save: Сохранение данных в архиве"));
        QCOMPARE(w->windowTitle(), other);
        QCOMPARE(accounts(*w), QStringList{"Другой"});
        QVERIFY(w->Dm()->DataSaved);
        // A file that is no archive: reported, and a new database instead.
        QFile bad(root->filePath("bad.den"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("garbage");
        bad.close();
        prompts.openFiles.enqueue(bad.fileName());
        w->guarded([&] { w->mOpenClick(); });
        QVERIFY(prompts.asked.last().startsWith("error: "));
        QCOMPARE(w->windowTitle(), other); // the open data stays as it was
        QCOMPARE(accounts(*w), QStringList{"Другой"});
    }

    void exitWithUnsavedDataAndNoName()
    {
        auto w = start();
        addAccount(*w, "Несохранённый");
        prompts.confirms.enqueue(true);
        prompts.confirms.enqueue(true);
        QVERIFY(w->FormCloseQuery()); // the save dialog is cancelled, the data let go: the program ends
        QVERIFY(prompts.asked.contains("confirm: Данные не сохранены! Выйти без сохранения?"));
        QVERIFY(prompts.asked.contains("save: Сохранение данных в архиве"));
        QVERIFY(!QFileInfo::exists(w->workingFolder()));
        QVERIFY(settings().value("Dorvana/Recent_Catalog").toString().isEmpty());
    }

    void noToExitChangesNothing()
    {
        auto w = start();
        addAccount(*w, "Счёт");
        prompts.confirms.enqueue(false);
        QVERIFY(!w->FormCloseQuery());
        QVERIFY(w->Dm()->Tb_Account->active());
        QVERIFY(!w->Dm()->DataSaved);
        QVERIFY(!QFileInfo::exists(settingsFile()));
    }

    void newPasswordIsUsedAtExit()
    {
        const QString home = makeDataFile("home.den", "Дом");
        settings().setValue("Dorvana/Recent_Catalog", home);
        auto w = start();
        for (int asked = 0; asked < 2; ++asked) // the new password and its repetition
            prompts.modals.enqueue([](QDialog* d) {
                child<QLineEdit>(static_cast<TFormCard*>(d), "EdPas")->setText("новый");
                return int(QDialog::Accepted);
            });
        w->mPasswordClick();
        QVERIFY(!w->Dm()->DataSaved);
        exit(*w);
        w.reset();
        QList<ZipArchive::Entry> entries;
        QVERIFY(ZipArchive::list(home, &entries, nullptr));
        QVERIFY(entries.first().encrypted);
        QTemporaryDir d;
        QCOMPARE(ZipArchive::unpack(home, d.path(), "новый", {}, nullptr), 1);
        // A cancelled change keeps the old password.
        prompts.modals.enqueue([](QDialog* d2) {
            child<QLineEdit>(static_cast<TFormCard*>(d2), "EdPas")->setText("новый");
            return int(QDialog::Accepted);
        });
        w = start();
        prompts.modals.enqueue([](QDialog* d2) {
            child<QLineEdit>(static_cast<TFormCard*>(d2), "EdPas")->setText("другой");
            return int(QDialog::Rejected);
        });
        w->mPasswordClick();
        QCOMPARE(w->password(), QString("новый"));
        QVERIFY(w->Dm()->DataSaved);
    }

    void settingsPersistAndClear()
    {
        const QString home = makeDataFile("home.den", "Дом");
        settings().setValue("Dorvana/Recent_Catalog", home);
        auto w = start();
        w->setGeometry(40, 50, 720, 520);
        w->action("mBar")->trigger(); // hide the tool bar
        QVERIFY(child<QToolBar>(&*w, "TbMain")->isHidden());
        w->action("mBak")->trigger();
        exit(*w);
        w.reset();
        {
            auto s = settings();
            QCOMPARE(s.value("Dorvana/Left").toInt(), 40);
            QCOMPARE(s.value("Dorvana/Bar").toInt(), 0);
            QCOMPARE(s.value("Dorvana/Bak").toInt(), 0);
            QCOMPARE(s.value("Dorvana/Recent_Catalog").toString(), home);
            QVERIFY(!s.value("Dorvana/Cols").toByteArray().isEmpty());
        }
        w = start();
        QVERIFY(child<QToolBar>(&*w, "TbMain")->isHidden());
        QVERIFY(!w->action("mBak")->isChecked());
        QCOMPARE(w->geometry(), QRect(40, 50, 720, 520));
        QCOMPARE(w->windowTitle(), home);
        prompts.confirms.enqueue(true);
        w->mRegClick();
        QVERIFY(!w->action("mReg")->isEnabled());
        exit(*w);
        w.reset();
        QVERIFY(!settings().childGroups().contains("Dorvana"));
        w = start(); // as the first start
        QVERIFY(!child<QToolBar>(&*w, "TbMain")->isHidden());
        QCOMPARE(w->geometry(), QRect(20, 1, 767, 564));
    }

    void badStoredValuesFallBackToDefaults()
    {
        {
            auto s = settings();
            s.setValue("Dorvana/Left", "левее");
            s.setValue("Dorvana/Cols", QByteArray("\x01\x02garbage"));
        }
        auto w = start();
        QVERIFY(w->started());
        QCOMPARE(w->geometry().left(), 20);
        QVERIFY(child<QTableView>(&*w, "DBG")->model()->columnCount() > 0); // the grid's own columns
        QVERIFY(w->restoreColumns(w->saveColumns()));
    }

    void secondCopyIsRefused()
    {
        auto first = start();
        QVERIFY(first->started());
        ScriptedPrompts other;
        MainEnvironment e = env();
        e.prompts = &other;
        TFormMain second(e);
        QVERIFY(!second.started());
        QCOMPARE(other.messages().size(), 1);
        QVERIFY(other.messages().first().contains("уже запущена"));
        QVERIFY(first->Dm()->Tb_Account->active()); // the first copy's data untouched
        QVERIFY(QFileInfo::exists(first->workingFolder() + "/DORVANA.DB"));
    }

    void lockOfACrashedRunDoesNotBlock()
    {
        // A lock file naming a process that no longer exists, and leftovers in the working folder.
        QDir().mkpath(tempFolder() + "/DAZAZORI");
        QFile junk(tempFolder() + "/DAZAZORI/DORVANA.DB-journal");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("left by a crash");
        junk.close();
        QFile lock(tempFolder() + "/DAZAZORI.lck");
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("999999\nDorvana\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        auto w = start();
        QVERIFY(w->started());
        QVERIFY(!QFileInfo::exists(tempFolder() + "/DAZAZORI/DORVANA.DB-journal"));
    }

    void unreadableStartFileStartsANewDatabase()
    {
        const QString bad = QDir(programFolder()).filePath("broken.den");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is not a zip archive at all");
        f.close();
        auto w = start();
        QVERIFY(w->started());
        QVERIFY(w->windowTitle().isEmpty());
        QCOMPARE(prompts.asked.size(), 1);
        QVERIFY(prompts.asked.first().startsWith("error: "));
        // The broken file itself is left as it was.
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("this is not a zip archive at all"));
    }

    void archiveReachingOutsideIsRefused()
    {
        // Made by hand: an entry named "../evil".
        const QString path = root->filePath("evil.den");
        QTemporaryDir src;
        QFile e(src.filePath("x"));
        QVERIFY(e.open(QIODevice::WriteOnly));
        e.write("x");
        e.close();
        QProcess zip;
        zip.setWorkingDirectory(src.path());
        QDir(src.path()).mkdir("sub");
        QFile::copy(src.filePath("x"), src.filePath("sub/x"));
        zip.start("zip", {"-q", path, "x", "sub/x"});
        if (!zip.waitForFinished(20000) || zip.exitCode() != 0)
            QSKIP("zip is not installed");
        QTemporaryDir target;
        QString error;
        QCOMPARE(ZipArchive::unpack(path, target.path() + "/in", {}, {}, &error), -1);
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFileInfo::exists(target.path() + "/in/x"));
    }

    void fullDiskSaveIsReportedAndLosesNothing()
    {
        const QString home = makeDataFile("home.den", "Дом");
        const QByteArray before = [&] {
            QFile f(home);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        settings().setValue("Dorvana/Recent_Catalog", home);
        auto w = start();
        addAccount(*w, "Новый");
        {
            DiskLimit full(1);
            w->action("mSave")->trigger();
        }
        QVERIFY(!prompts.messages().isEmpty());
        QVERIFY2(prompts.messages().last().contains("Недостаточно места на диске"),
                 qPrintable(prompts.messages().last()));
        QVERIFY(!w->Dm()->DataSaved);
        QFile f(home);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void failedSaveAtExitAsks_data()
    {
        QTest::addColumn<bool>("leave");
        QTest::addRow("leave without saving") << true;
        QTest::addRow("stay") << false;
    }
    void failedSaveAtExitAsks()
    {
        QFETCH(bool, leave);
        const QString home = makeDataFile("home.den", "Дом");
        settings().setValue("Dorvana/Recent_Catalog", home);
        auto w = start();
        addAccount(*w, "Новый");
        prompts.confirms.enqueue(true);  // "Закрыть программу?"
        prompts.confirms.enqueue(leave); // after the failed save
        bool closed = false;
        {
            DiskLimit full(1);
            closed = w->FormCloseQuery();
        }
        QVERIFY(prompts.asked.contains("confirm: Данные не сохранены! Выйти без сохранения?"));
        QCOMPARE(closed, leave);
        QCOMPARE(QFileInfo::exists(w->workingFolder()), !leave);
        if (!leave) {
            QVERIFY(w->Dm()->Tb_Account->active());
            QCOMPARE(accounts(*w), (QStringList{"Дом", "Новый"}));
            QVERIFY(!w->startStop());
            exit(*w); // with room again the save goes through
            QCOMPARE(accountsOf(home), (QStringList{"Дом", "Новый"}));
        }
    }

    void damagedStartFileGivesAUsableProgram()
    {
        const QString good = makeDataFile("good.den", "Хороший");
        const QString damaged = makeDamagedDataFile(root->filePath("damaged.den"));
        QVERIFY(!damaged.isEmpty());
        settings().setValue("Dorvana/Recent_Catalog", damaged);
        auto w = start();
        QVERIFY(w->started());
        QCOMPARE(prompts.messages().size(), 1);
        QVERIFY(prompts.messages().first().contains("повреждён"));
        QVERIFY(w->windowTitle().isEmpty());
        QVERIFY(accounts(*w).isEmpty());
        // Opening it again from the menu keeps what is open; everything else still works.
        prompts.openFiles.enqueue(good);
        w->action("mOpen")->trigger();
        QCOMPARE(accounts(*w), QStringList{"Хороший"});
        prompts.openFiles.enqueue(damaged);
        w->action("mOpen")->trigger();
        QVERIFY(prompts.messages().last().contains("повреждён"));
        QCOMPARE(w->windowTitle(), good);
        QCOMPARE(accounts(*w), QStringList{"Хороший"});
        w->action("mNew")->trigger();
        QVERIFY(w->Dm()->Tb_Account->active());
        QVERIFY(accounts(*w).isEmpty());
    }

    void periodThatCannotBeAppliedIsReported()
    {
        // A history table of a foreign make, without the kind of its operations: the period's
        // totals cannot be computed.
        QTemporaryDir work;
        QVERIFY(unpackTemplate(work.path()));
        {
            auto db = Database::openFile(work.filePath("DORVANA.DB"), false);
            db->exec("DROP TABLE TB_HIST");
            db->exec(
                "CREATE TABLE TB_HIST (Id_Account INTEGER NOT NULL, Date_Real INTEGER, Date_Create INTEGER NOT "
                "NULL, Dt REAL, Ct REAL, Level1 INTEGER, Level2 INTEGER, Level3 INTEGER, Price REAL, ID_Person "
                "INTEGER, ID_Firm INTEGER, Ref_Account INTEGER, PRIMARY KEY (Id_Account, Date_Real, Date_Create))");
            db->exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest, C) VALUES (1, 'Один', 'руб', 0, "
                     "'L'), (2, 'Два', 'руб', 0, NULL)");
            db->exec("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Ct) VALUES (1, 40000, 1, 5), "
                     "(2, 40000, 2, 7), (2, 40001, 3, 8)");
        }
        const QString file = root->filePath("foreign.den");
        QString error;
        QCOMPARE(ZipArchive::pack(work.path(), file, {}, &error), 1);
        settings().setValue("Dorvana/Recent_Catalog", file);
        auto w = start();
        QVERIFY(w->started());
        QCOMPARE(w->windowTitle(), file);
        QCOMPARE(prompts.messages().size(), 1);
        QVERIFY(prompts.asked.first().startsWith("error: "));
        // Never the rows of every account.
        Table& hist = *w->Dm()->Tb_Hist;
        for (hist.first(); !hist.eof(); hist.next())
            QCOMPARE(hist.fieldByName("Id_Account").asInteger(), qint64(1));
    }

    void workingFolderMustBeOurOwn_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addRow("a link to another folder") << "link";
        QTest::addRow("a file as the temporary folder") << "file";
    }
    void workingFolderMustBeOurOwn()
    {
        QFETCH(QString, kind);
        QTemporaryDir other;
        QFile keep(other.filePath("keep.txt"));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.close();
        MainEnvironment e = env();
        if (kind == "link") {
            QVERIFY(QFile::link(other.path(), tempFolder() + "/DAZAZORI"));
        } else {
            e.tempFolder = root->filePath("plain-file");
            QFile f(e.tempFolder);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        TFormMain w(e);
        QVERIFY(!w.started());
        QCOMPARE(prompts.messages(), QStringList{"Невозможно создать временную папку !"});
        QCOMPARE(QDir(other.path()).entryList(QDir::Files), QStringList{"keep.txt"});
    }

    void fileCommandsHaveTheirKeys()
    {
        auto w = start();
        QCOMPARE(w->action("mNew")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
        QCOMPARE(w->action("mOpen")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QCOMPARE(w->action("mSave")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    }

    void toolButtonsAreTheirMenuItems()
    {
        auto w = start();
        const std::pair<const char*, const char*> pairs[] = {
            {"ButMoney", "mMoneyView"}, {"ButFace", "mPersonView"}, {"ToolButton5", "mFirmView"},
            {"ButLog", "mRemindView"},  {"ButExit", "mExit"},       {"ButCt", "mCt"},
            {"ButDt", "mDt"},           {"ButAcc", "mAccounts"},    {"ButResult", "mResult"}};
        for (const auto& [button, item] : pairs)
            QCOMPARE(w->findChild<QToolButton*>(button)->defaultAction(), w->action(item));
        QCOMPARE(child<QToolButton>(&*w, "ButFace")->toolTip(), QString("Кто ?"));
        child<QToolButton>(&*w, "ButFace")->click();
        QVERIFY(w->action("mPersonView")->isChecked());
        QCOMPARE(child<QStackedWidget>(&*w, "Pg")->currentWidget(), child<QWidget>(&*w, "ShPers"));
        w->action("mMoneyView")->trigger();
        QVERIFY(child<QToolButton>(&*w, "ButMoney")->isChecked() && !child<QToolButton>(&*w, "ButFace")->isChecked());
    }

    void outerFrameIsWhereTheSettingsSay()
    {
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTRY_COMPARE(w->frameGeometry(), QRect(20, 1, 767, 564));
        w->setOuterGeometry(QRect(40, 50, 720, 520));
        QTRY_COMPARE(w->frameGeometry(), QRect(40, 50, 720, 520));
        w->hide();
    }

    void frameFitsIntoTheArea_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("expected");
        const QRect screen(0, 0, 1280, 800);
        const QRect belowAPanel(0, 30, 1280, 770);
        const QRect secondScreen(1280, 0, 1024, 768);
        QTest::addRow("inside stays") << QRect(20, 1, 767, 564) << screen << QRect(20, 1, 767, 564);
        QTest::addRow("filling the area stays") << screen << screen << screen;
        QTest::addRow("title bar above") << QRect(20, -19, 767, 564) << screen << QRect(20, 0, 767, 564);
        QTest::addRow("left of the area") << QRect(-300, 100, 767, 564) << screen << QRect(0, 100, 767, 564);
        QTest::addRow("past the right edge") << QRect(1000, 100, 767, 564) << screen << QRect(513, 100, 767, 564);
        QTest::addRow("past the bottom") << QRect(20, 500, 767, 564) << screen << QRect(20, 236, 767, 564);
        QTest::addRow("far off both ways") << QRect(9000, 9000, 767, 564) << screen << QRect(513, 236, 767, 564);
        QTest::addRow("under a panel") << QRect(20, 1, 767, 564) << belowAPanel << QRect(20, 30, 767, 564);
        QTest::addRow("wider and taller: shrunk")
            << QRect(0, 0, 1400, 900) << QRect(0, 0, 640, 400) << QRect(0, 0, 640, 400);
        QTest::addRow("wider only: shrunk and moved in")
            << QRect(100, 50, 1400, 300) << screen << QRect(0, 50, 1280, 300);
        QTest::addRow("on a second screen") << QRect(1500, 100, 767, 564) << secondScreen << QRect(1500, 100, 767, 564);
        QTest::addRow("onto a second screen")
            << QRect(100, 100, 767, 564) << secondScreen << QRect(1280, 100, 767, 564);
        QTest::addRow("no size: the first start's") << QRect(20, 1, 0, -5) << screen << QRect(20, 1, 767, 564);
        QTest::addRow("no area: left alone") << QRect(-50, -50, 767, 564) << QRect() << QRect(-50, -50, 767, 564);
    }
    void frameFitsIntoTheArea()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, area);
        QFETCH(QRect, expected);
        QCOMPARE(fitFrameIntoArea(frame, area), expected);
    }

    // The frame the settings keep comes back run after run exactly as it was left, placed inside
    // the screen's available area (the offscreen screen is 800 × 800).
    void outerFrameComesBackAsLeft_data()
    {
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QRect>("shown");
        QTest::addRow("inside the screen") << QRect(33, 44, 720, 520) << QRect(33, 44, 720, 520);
        QTest::addRow("title bar above the screen") << QRect(20, -19, 767, 564) << QRect(20, 0, 767, 564);
        QTest::addRow("larger than the screen") << QRect(0, 0, 1400, 900) << QRect(0, 0, 800, 800);
        QTest::addRow("off to the right and below") << QRect(5000, 3000, 767, 564) << QRect(33, 236, 767, 564);
    }
    void outerFrameComesBackAsLeft()
    {
        QFETCH(QRect, stored);
        QFETCH(QRect, shown);
        {
            auto s = settings();
            s.setValue("Dorvana/Left", stored.left());
            s.setValue("Dorvana/Top", stored.top());
            s.setValue("Dorvana/Width", stored.width());
            s.setValue("Dorvana/Height", stored.height());
        }
        for (int run = 0; run < 2; ++run) {
            auto w = start();
            QVERIFY(w->started());
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            QTRY_COMPARE(w->frameGeometry(), shown);
            QCOMPARE(w->outerGeometry(), shown);
            exit(*w);
            w.reset();
            auto s = settings();
            QCOMPARE(QRect(s.value("Dorvana/Left").toInt(), s.value("Dorvana/Top").toInt(),
                           s.value("Dorvana/Width").toInt(), s.value("Dorvana/Height").toInt()),
                     shown);
        }
    }

    void manualDescribesTheMenus()
    {
        QFile manual(QCoreApplication::applicationDirPath() + "/../../app/Dorvana.Hlp");
        QVERIFY2(manual.open(QIODevice::ReadOnly), qPrintable(manual.fileName()));
        const QString text = QString::fromUtf8(manual.readAll());
        auto w = start();
        QStringList missing;
        QList<QMenu*> menus = w->menuBar()->findChildren<QMenu*>();
        // The pages' own popups too: every command a user can pick is explained.
        for (const char* popup : {"PmPerson", "PmFirm", "PmLog"})
            menus << w->findChild<QMenu*>(popup);
        for (QMenu* menu : menus) {
            for (QAction* a : menu->actions()) {
                // A popup's caption may carry its key after two blanks ("… Ins").
                const QString caption = QString(a->text()).remove('&').section(QStringLiteral("  "), 0, 0).trimmed();
                if (!a->isSeparator() && !caption.isEmpty() && !text.contains(caption))
                    missing << caption;
            }
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
        // No promise of what is not built.
        QVERIFY(!text.contains("появится позже"));
    }

    void cancelledSaveDialogAsksBeforeLeaving_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("leave");
        for (const char* command : {"exit", "mNew", "mOpen"}) {
            QTest::addRow("%s, yes", command) << QString(command) << true;
            QTest::addRow("%s, no", command) << QString(command) << false;
        }
    }
    void cancelledSaveDialogAsksBeforeLeaving()
    {
        QFETCH(QString, command);
        QFETCH(bool, leave);
        const QString other = makeDataFile("other.den", "Другой");
        auto w = start();
        addAccount(*w, "Несохранённый");
        const QString question = command == "exit" ? "confirm: Данные не сохранены! Выйти без сохранения?"
                                                   : "confirm: Данные не сохранены! Продолжить без сохранения?";
        bool closed = false;
        if (command == "exit") {
            prompts.confirms.enqueue(true); // "Закрыть программу?"
            prompts.confirms.enqueue(leave);
            closed = w->FormCloseQuery();
        } else {
            if (command == "mOpen")
                prompts.openFiles.enqueue(other);
            prompts.confirms.enqueue(leave);
            w->action(command)->trigger();
        }
        QVERIFY(prompts.asked.contains("save: Сохранение данных в архиве"));
        QVERIFY(prompts.asked.contains(question));
        if (!leave) {
            // Exactly as it was: nothing closed, nothing cleared, still unsaved.
            QVERIFY(!closed);
            QVERIFY(!w->startStop());
            QVERIFY(w->Dm()->Tb_Account->active());
            QCOMPARE(accounts(*w), QStringList{"Несохранённый"});
            QVERIFY(!w->Dm()->DataSaved);
            QVERIFY(w->windowTitle().isEmpty());
            QVERIFY(QFileInfo(w->workingFolder()).isDir());
            return;
        }
        if (command == "exit") {
            QVERIFY(closed);
            QVERIFY(!QFileInfo::exists(w->workingFolder()));
        } else {
            QCOMPARE(accounts(*w), command == "mOpen" ? QStringList{"Другой"} : QStringList());
        }
    }

    void fileThatCannotBeOpenedKeepsTheOpenData_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("said"); // a part of the last message
        QTest::addRow("wrong password") << "password"
                                        << "Нет возможности открыть файл";
        QTest::addRow("empty archive") << "empty"
                                       << "Нет возможности открыть файл";
        QTest::addRow("zero-length database") << "zero"
                                              << "нет базы данных";
        QTest::addRow("archive without a database") << "nodb"
                                                    << "нет базы данных";
        QTest::addRow("foreign database") << "foreign"
                                          << "таблица «SHOP»";
        QTest::addRow("no accounts table") << "noaccounts"
                                           << "нет таблицы TB_ACCOUNT";
        QTest::addRow("trigger") << "trigger"
                                 << "триггер «wipe»";
        QTest::addRow("view") << "view"
                              << "представление «people»";
        QTest::addRow("unknown index") << "index"
                                       << "индекс «by_phone»";
        QTest::addRow("our index made unique") << "unique"
                                               << "индекс «Z_PERSON»";
        QTest::addRow("our index on other columns") << "columns"
                                                    << "индекс «Z_FIRM»";
        QTest::addRow("amount beyond the range") << "amount"
                                                 << "8.67e+79";
        QTest::addRow("negative amount") << "negative"
                                         << "-5";
        QTest::addRow("amount as text") << "text"
                                        << "много";
        QTest::addRow("balance beyond ten-thousandths") << "rest"
                                                        << "остаток";
        QTest::addRow("opening balance beyond ten-thousandths") << "opening"
                                                                << "начальный остаток";
    }
    void fileThatCannotBeOpenedKeepsTheOpenData()
    {
        QFETCH(QString, kind);
        QFETCH(QString, said);
        const QString good = makeDataFile("good.den", "Хороший");
        const QString hist = "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Level1, %1) "
                             "VALUES (1, 40000, 1, '1', -10, %2)";
        const QString account = "INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Чужой', "
                                "'руб', %1)";
        QString bad;
        if (kind == "password") {
            bad = makeDataFile("secret.den", "Тайный", "пароль1");
            prompts.modals.enqueue([](QDialog* d) {
                child<QLineEdit>(static_cast<TFormCard*>(d), "EdPas")->setText("не тот");
                return int(QDialog::Accepted);
            });
        } else if (kind == "empty") {
            bad = root->filePath("empty.den");
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
        } else if (kind == "zero" || kind == "nodb") {
            QTemporaryDir work;
            QFile f(work.filePath(kind == "zero" ? "DORVANA.DB" : "notes.txt"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (kind == "nodb")
                f.write("hello");
            f.close();
            bad = root->filePath(kind + ".den");
            QString error;
            QCOMPARE(ZipArchive::pack(work.path(), bad, {}, &error), 1);
        } else {
            const QHash<QString, QStringList> statements{
                {"foreign",
                 {"DROP TABLE TB_ACCOUNT", "DROP TABLE TB_HIST", "DROP TABLE TB_ITEMS", "DROP TABLE TB_PERSON",
                  "DROP TABLE TB_FAMILY", "DROP TABLE TB_FIRM", "DROP TABLE TB_LOG", "CREATE TABLE shop (id INTEGER)"}},
                {"noaccounts", {"DROP TABLE TB_ACCOUNT"}},
                {"trigger", {"CREATE TRIGGER wipe AFTER INSERT ON TB_ACCOUNT BEGIN DELETE FROM TB_PERSON; END"}},
                {"view", {"CREATE VIEW people AS SELECT * FROM TB_PERSON"}},
                {"index", {"CREATE INDEX by_phone ON TB_PERSON (Phone)"}},
                {"unique", {"DROP INDEX Z_PERSON", "CREATE UNIQUE INDEX Z_PERSON ON TB_PERSON (Name, Id_Person)"}},
                {"columns", {"DROP INDEX Z_FIRM", "CREATE INDEX Z_FIRM ON TB_FIRM (Id_Firm)"}},
                {"amount", {account.arg(0), hist.arg("Dt").arg("8.67e79")}},
                {"negative", {account.arg(0), hist.arg("Ct").arg("-5")}},
                {"text", {account.arg(0), hist.arg("Ct").arg("'много'")}},
                {"rest", {account.arg("1e300")}},
                {"opening", {account.arg(0), "INSERT INTO TB_OPENING (Id_Account, Rest) VALUES (1, 1e300)"}},
            };
            QVERIFY(statements.contains(kind));
            bad = makeCraftedFile(kind + ".den", statements.value(kind));
        }
        QVERIFY(!bad.isEmpty());
        settings().setValue("Dorvana/Recent_Catalog", good);
        auto w = start();
        QCOMPARE(accounts(*w), QStringList{"Хороший"});
        addAccount(*w, "Записан перед открытием");
        prompts.confirms.enqueue(true);
        prompts.openFiles.enqueue(bad);
        w->guarded([&] { w->action("mOpen")->trigger(); });
        QVERIFY2(prompts.messages().last().contains(said, Qt::CaseInsensitive), qPrintable(prompts.asked.join('\n')));
        // The open data stays open, with its title (it was saved before the file was tried).
        QCOMPARE(w->windowTitle(), good);
        QCOMPARE(accounts(*w), (QStringList{"Записан перед открытием", "Хороший"}));
        QVERIFY(w->Dm()->DataSaved);
        QCOMPARE(w->Dm()->Tb_Person->recordCount(), 0);
        // And it still works.
        addAccount(*w, "После");
        exit(*w);
        QCOMPARE(accountsOf(good), (QStringList{"Записан перед открытием", "После", "Хороший"}));
    }

    void mainMenusShowThePopupKeys_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QKeySequence>("key");
        QTest::addRow("new operation") << "mMoneyNew" << QKeySequence(Qt::Key_Insert);
        QTest::addRow("edit operation") << "mMoneyEdit" << QKeySequence(Qt::Key_F11);
        QTest::addRow("delete operation") << "mMoneyDelete" << QKeySequence(Qt::CTRL | Qt::Key_Delete);
        QTest::addRow("new category") << "mCategoryNew" << QKeySequence(Qt::Key_Insert);
        QTest::addRow("new branch") << "mCategoryNewChild" << QKeySequence(Qt::Key_F10);
        QTest::addRow("find category") << "mCategoryFind" << QKeySequence(Qt::Key_F3);
        QTest::addRow("move category") << "mCategoryMove" << QKeySequence(Qt::Key_F2);
    }
    void mainMenusShowThePopupKeys()
    {
        QFETCH(QString, item);
        QFETCH(QKeySequence, key);
        auto w = start();
        QAction* a = w->action(item);
        QVERIFY(a);
        QCOMPARE(a->shortcut(), key);
        // Shown in the menu, but never a key of the whole window: Ins in a grid is the grid's.
        QCOMPARE(a->shortcutContext(), Qt::WidgetShortcut);
    }

    void calculatorThatIsNotThereIsSaid()
    {
        QTemporaryDir empty;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(empty.path()));
        auto w = start();
        w->action("mCalc")->trigger();
        qputenv("PATH", path);
        QCOMPARE(prompts.messages(), QStringList{"Калькулятор не найден."});
    }

    void helpWindowClosesWithEscAndStaysOnTheScreen()
    {
        QFile help(QDir(programFolder()).filePath("Dorvana.Hlp"));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.write("<html><body><h1>Содержание</h1></body></html>");
        help.close();
        auto w = start();
        w->action("mManual")->trigger();
        auto* window = w->findChild<QWidget*>("HelpWindow");
        QVERIFY(window && window->isVisible());
        const QRect area = window->screen()->availableGeometry();
        window->move(area.right() - 100, area.bottom() - 100);
        w->action("mManual")->trigger();
        QVERIFY2(area.contains(window->frameGeometry()), "the whole window on the screen");
        QTest::keyClick(window->findChild<QWidget*>("HelpText"), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    void failedSaveLeavesTheOldFile()
    {
        const QString home = makeDataFile("home.den", "Дом");
        QFile f(home);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        settings().setValue("Dorvana/Recent_Catalog", home);
        auto w = start();
        addAccount(*w, "Новый");
        // The folder refuses new files: the new archive cannot be written beside the old one.
        QFile::setPermissions(root->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (QFileInfo(root->path()).isWritable() && ::geteuid() == 0) {
            // root writes anyway; make the target a folder's name instead.
            QFile::setPermissions(root->path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            prompts.saveFiles.enqueue(root->path());
            w->guarded([&] { w->SaveDataFile(true); });
        } else {
            w->guarded([&] { w->SaveDataFile(false); });
            QFile::setPermissions(root->path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        QVERIFY(prompts.asked.last().startsWith("error: "));
        QVERIFY(!w->Dm()->DataSaved);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QTEST_MAIN(TestMain)
#include "tst_main.moc"
