#include "app/DorvMain.h"
#include "app/FormVersions.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "support/Child.h"
#include "support/ScratchEnvironment.h"
#include "util/Clock.h"
#include "util/Versions.h"
#include "util/ZipArchive.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>

using namespace dorv;

// The earlier versions as the user meets them: kept at each save, listed in their window, and one
// opened as new data.
class TestVersionsWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;

    std::unique_ptr<TFormMain> start() { return std::make_unique<TFormMain>(scratchEnvironment(*root, prompts)); }
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
    static QStringList accountsOf(const QString& file)
    {
        QTemporaryDir d;
        if (ZipArchive::unpack(file, d.path(), {}, {}, nullptr) < 1)
            return {"<unreadable>"};
        auto db = Database::openFile(d.filePath("DORVANA.DB"), false);
        Statement st = db->prepareOnce("select Account from tb_account order by Account");
        QStringList out;
        while (st.step())
            out << st.column(0).toString();
        return out;
    }
    static void pinDay(int day) { Clock::pin(QDateTime(QDate(2026, 12, day), QTime(10, 0))); }
    static void quit(std::unique_ptr<TFormMain>& w)
    {
        w->setStartStop(true);
        w->CloseDataFile();
        w.reset();
    }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        prompts = ScriptedPrompts();
    }
    void cleanup()
    {
        Clock::unpin();
        root.reset();
    }

    void versionOpensAsNewData()
    {
        auto w = start();
        QVERIFY(w->action("mVersions")->isChecked());
        QCOMPARE(w->action("mVersions")->text(), QString("Хранить прежние версии"));
        QCOMPARE(w->action("mVersionsList")->text(), QString("Прежние версии..."));
        QVERIFY(child<QMenu>(&*w, "mService")->actions().contains(w->action("mVersionsList")));
        const QString home = root->filePath("home.den");
        pinDay(1);
        addAccount(*w, "Один");
        prompts.saveFiles.enqueue(home);
        QVERIFY(w->SaveDataFile(false));
        pinDay(2);
        addAccount(*w, "Два");
        QVERIFY(w->SaveDataFile(false));
        const QList<KeptVersion> kept = ListVersions(home);
        QCOMPARE(kept.size(), 2);
        QCOMPARE(accountsOf(kept.at(1).path), QStringList{"Один"});
        prompts.asked.clear();

        prompts.modals.enqueue([&](QDialog* d) {
            auto* grid = child<QTableWidget>(d, "DBGVersions");
            [&] {
                QCOMPARE(grid->rowCount(), 2);
                QVERIFY(grid->item(0, 0)->text().startsWith("02.12.2026"));
                QVERIFY(grid->item(1, 0)->text().startsWith("01.12.2026"));
                QCOMPARE(grid->item(1, 1)->text(), SizeText(kept.at(1).size));
            }();
            grid->selectRow(1);
            child<QPushButton>(d, "ButOpen")->click();
            return int(QDialog::Accepted);
        });
        w->action("mVersionsList")->trigger();
        QCOMPARE(prompts.asked, QStringList{"modal: TFormVersions"});
        QCOMPARE(accounts(*w), QStringList{"Один"});
        // New data of no file: the next save asks for a name, and the files stay as they were.
        QCOMPARE(w->dataFile().title(), QString());
        QVERIFY(!w->Dm()->DataSaved);
        prompts.asked.clear();
        w->action("mSave")->trigger(); // the dialog is cancelled
        QCOMPARE(prompts.asked, QStringList{"save: Сохранение данных в архиве"});
        QCOMPARE(accountsOf(home), (QStringList{"Два", "Один"}));
        QCOMPARE(accountsOf(kept.at(1).path), QStringList{"Один"});
        QCOMPARE(ListVersions(home).size(), 2);
        w->Dm()->DataSaved = true;
        quit(w);
    }

    void closingTheListOpensNothing()
    {
        auto w = start();
        // Data of no file has no versions.
        w->action("mVersionsList")->trigger();
        QCOMPARE(prompts.asked, QStringList{"inform: Прежних версий этих данных нет."});
        const QString home = root->filePath("home.den");
        addAccount(*w, "Один");
        prompts.saveFiles.enqueue(home);
        QVERIFY(w->SaveDataFile(false));
        prompts.asked.clear();
        prompts.modals.enqueue([](QDialog* d) {
            child<QPushButton>(d, "ButClose")->click();
            return int(QDialog::Rejected);
        });
        w->action("mVersionsList")->trigger();
        QCOMPARE(prompts.asked, QStringList{"modal: TFormVersions"});
        QCOMPARE(w->dataFile().title(), home);
        QVERIFY(w->Dm()->DataSaved);
        quit(w);
    }

    void failureIsToldOnceAndNeverFailsTheSave()
    {
        auto w = start();
        const QString home = root->filePath("home.den");
        QFile blocker(VersionsFolderFor(home));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        addAccount(*w, "Один");
        prompts.saveFiles.enqueue(home);
        QVERIFY(w->SaveDataFile(false));
        addAccount(*w, "Два");
        QVERIFY(w->SaveDataFile(false));
        QCOMPARE(prompts.messages().size(), 1);
        QVERIFY(prompts.messages().first().startsWith("Прежняя версия данных не сохранена"));
        QCOMPARE(accountsOf(home), (QStringList{"Два", "Один"}));
        quit(w);
    }

    void switchedOffKeepsNoneAndIsRemembered()
    {
        auto w = start();
        w->action("mVersions")->trigger();
        QVERIFY(!w->action("mVersions")->isChecked());
        const QString home = root->filePath("home.den");
        addAccount(*w, "Один");
        prompts.saveFiles.enqueue(home);
        QVERIFY(w->SaveDataFile(false));
        QVERIFY(!QFileInfo::exists(VersionsFolderFor(home)));
        prompts.confirms.enqueue(true);
        QVERIFY(w->FormCloseQuery());
        w.reset();
        QCOMPARE(QSettings(root->filePath("s.ini"), QSettings::IniFormat).value("Dorvana/Versions").toInt(), 0);
        w = start();
        QVERIFY(!w->action("mVersions")->isChecked());
        addAccount(*w, "Два");
        QVERIFY(w->SaveDataFile(false));
        QVERIFY(!QFileInfo::exists(VersionsFolderFor(home)));
        w->action("mVersions")->trigger();
        QVERIFY(w->SaveDataFile(false));
        QCOMPARE(ListVersions(home).size(), 1);
        quit(w);
    }
};

QTEST_MAIN(TestVersionsWindow)
#include "tst_versions_window.moc"
