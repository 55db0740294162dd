#include "app/DorvMain.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "support/Files.h"
#include "support/ScratchEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "util/ZipArchive.h"

#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>

using namespace dorv;

namespace {

const QString RecentKey = QStringLiteral("Dorvana/Recent_Catalog");

// A day of work in a process of its own, until it is killed: acquaintances added one by one,
// each told on stdout once it is posted, and the data saved now and then.
int dayOfWork(const QString& rootPath)
{
    ScriptedPrompts prompts;
    MainEnvironment e;
    e.programFolder = rootPath + QStringLiteral("/prog");
    e.tempFolder = rootPath + QStringLiteral("/tmp");
    e.settingsFile = rootPath + QStringLiteral("/s.ini");
    e.prompts = &prompts;
    e.splash = false;
    TFormMain w(e);
    if (!w.started())
        return 2;
    Table& persons = *w.Dm()->Tb_Person;
    int n = persons.recordCount();
    for (;;) {
        ++n;
        persons.insert();
        persons.fieldByName("Name").setAsString(QStringLiteral("Человек %1").arg(n, 5, 10, QLatin1Char('0')));
        persons.post();
        std::printf("%d\n", n);
        std::fflush(stdout);
        if (n % 15 == 0)
            w.SaveDataFile(false);
    }
}

} // namespace

// Changes are not lost when the program ends without closing: the next start offers them back.
class TestRecovery : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;

    std::unique_ptr<TFormMain> start()
    {
        auto w = std::make_unique<TFormMain>(scratchEnvironment(*root, prompts));
        return w;
    }
    QString question(const QString& path) const
    {
        return QStringLiteral("confirm: Найдены несохранённые изменения файла %1. Восстановить?")
            .arg(QDir::toNativeSeparators(path));
    }
    // A data file with one account, remembered as the last one used.
    QString makeDataFile()
    {
        auto w = start();
        Database::acquire(w->WorkingFolder)
            ->exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Кошелёк', 'руб', 0)");
        Database::acquire(w->WorkingFolder)->exec("UPDATE TB_ACCOUNT SET C = 'L'");
        const QString path = root->filePath("home.den");
        prompts.saveFiles.enqueue(path);
        w->SaveDataFile(false);
        w->StartStop = true;
        w->CloseDataFile();
        w.reset();
        QSettings(root->filePath("s.ini"), QSettings::IniFormat).setValue(RecentKey, path);
        prompts.asked.clear();
        return path;
    }
    static void addPerson(TFormMain& w, const QString& name)
    {
        Table& t = *w.Dm()->Tb_Person;
        t.insert();
        t.fieldByName("Name").setAsString(name);
        t.post();
    }
    static QStringList persons(TFormMain& w)
    {
        Table& t = *w.Dm()->Tb_Person;
        QStringList out;
        for (int r = 0; r < t.recordCount(); ++r)
            out << t.valueAt(r, t.fieldByName("Name")).toString();
        return out;
    }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        prompts = ScriptedPrompts();
    }

    void changesOfARunThatDidNotCloseAreOffered_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addRow("Yes") << true;
        QTest::addRow("No") << false;
    }
    void changesOfARunThatDidNotCloseAreOffered()
    {
        QFETCH(bool, restore);
        const QString file = makeDataFile();
        {
            auto w = start();
            QVERIFY(w->started());
            QCOMPARE(w->dataFile().title(), file);
            addPerson(*w, "Иванов И.И.");
            // The window goes without closing its data, as when the program is killed.
        }
        prompts.confirms.enqueue(restore);
        auto w = start();
        QVERIFY(w->started());
        QCOMPARE(prompts.asked.value(0), question(file));
        QCOMPARE(w->dataFile().title(), file);
        QCOMPARE(w->Dm()->DataSaved, !restore);
        QCOMPARE(persons(*w), restore ? QStringList{"Иванов И.И."} : QStringList());
        if (!restore)
            return;
        // Saved, they are the file's; the next run that ends without closing has nothing to offer.
        QVERIFY(w->SaveDataFile(false));
        w.reset();
        prompts.asked.clear();
        w = start();
        QVERIFY(w->started());
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(persons(*w), QStringList{"Иванов И.И."});
    }

    void nothingChangedNothingOffered()
    {
        const QString file = makeDataFile();
        {
            auto w = start();
            QVERIFY(w->started());
            w->ShowView(1);
            w->ShowView(0);
        }
        auto w = start();
        QVERIFY(w->started());
        QVERIFY2(prompts.asked.isEmpty(), qPrintable(prompts.asked.join(", ")));
        QCOMPARE(w->dataFile().title(), file);
    }

    void newDataOfNoFileIsOfferedToo()
    {
        {
            auto w = start();
            QVERIFY(w->started());
            QVERIFY(w->dataFile().title().isEmpty());
            addPerson(*w, "Петров П.П.");
        }
        prompts.confirms.enqueue(true);
        auto w = start();
        QVERIFY(w->started());
        QCOMPARE(prompts.asked.value(0),
                 QStringLiteral("confirm: Найдены несохранённые изменения файла (новые данные, ещё не сохранённые в "
                                "файл). Восстановить?"));
        QVERIFY(w->dataFile().title().isEmpty());
        QVERIFY(!w->Dm()->DataSaved);
        QCOMPARE(persons(*w), QStringList{"Петров П.П."});
    }

    void encryptedFileAsksItsPasswordAgain()
    {
        const QString file = makeDataFile();
        {
            auto w = start();
            QVERIFY(w->started());
            w->Card()->EdPas->setText("тайна");
            QVERIFY(w->SaveDataFile(false));
            addPerson(*w, "Сидоров С.С.");
        }
        // A wrong password first, then the right one.
        prompts.confirms.enqueue(true);
        for (const char* typed : {"не та", "тайна"})
            prompts.modals.enqueue([typed](QDialog* d) {
                static_cast<TFormCard*>(d)->EdPas->setText(QString::fromUtf8(typed));
                return int(QDialog::Accepted);
            });
        auto w = start();
        QVERIFY(w->started());
        QVERIFY(prompts.messages().contains("Пароль неверен !!!"));
        QCOMPARE(w->dataFile().title(), file);
        QCOMPARE(w->password(), QStringLiteral("тайна"));
        QCOMPARE(persons(*w), QStringList{"Сидоров С.С."});
    }

    void cancelledPasswordKeepsTheChangesAside()
    {
        const QString file = makeDataFile();
        QString working;
        {
            auto w = start();
            QVERIFY(w->started());
            w->Card()->EdPas->setText("тайна");
            QVERIFY(w->SaveDataFile(false));
            addPerson(*w, "Сидоров С.С.");
            working = w->WorkingFolder;
        }
        prompts.confirms.enqueue(true); // restore; the password is then cancelled
        auto w = start();
        QVERIFY(w->started());
        QVERIFY(w->dataFile().title().isEmpty()); // a new database instead
        const QString aside = prompts.messages().value(0);
        QVERIFY2(aside.startsWith("Пароль не введён. Несохранённые изменения оставлены в папке "), qPrintable(aside));
        const QString kept = aside.section("папке ", 1).chopped(1);
        QVERIFY(QFileInfo(kept + "/DORVANA.DB").isFile());
        QVERIFY(QFileInfo(kept + "/recovery.ini").isFile());
    }

    void aChangeThatCannotBeNotedIsNotWritten()
    {
        makeDataFile();
        auto w = start();
        QVERIFY(w->started());
        // The note cannot be put in place: a folder stands where its new copy is written.
        QVERIFY(QDir().mkdir(w->WorkingFolder + "/recovery.ini.new.ini"));
        Table& t = *w->Dm()->Tb_Person;
        t.insert();
        t.fieldByName("Name").setAsString("Никто Н.Н.");
        QVERIFY_THROWS_EXCEPTION(DbError, t.post());
        t.cancel();
        QCOMPARE(persons(*w), QStringList());
        QVERIFY(QDir().rmdir(w->WorkingFolder + "/recovery.ini.new.ini"));
        addPerson(*w, "Кто-то К.К.");
        QCOMPARE(persons(*w), QStringList{"Кто-то К.К."});
    }

    void anArchiveNeverBringsANote()
    {
        const QString file = makeDataFile();
        QTemporaryDir extra;
        writeFile(extra.filePath("recovery.ini"),
                  "dorvana-recovery 1\npath=%2Felsewhere.den\nencrypted=0\nunsaved=1\n");
        QProcess zip;
        zip.setWorkingDirectory(extra.path());
        zip.start("zip", {"-q", file, "recovery.ini"});
        QVERIFY(zip.waitForFinished());
        QCOMPARE(zip.exitCode(), 0);
        QTemporaryDir out;
        QCOMPARE(ZipArchive::unpack(file, out.path(), {}, {}, nullptr), 1);
        QVERIFY(!QFileInfo::exists(out.filePath("recovery.ini")));
    }

    void unreadableLeftoversAreReportedAndCleared_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::addRow("a note of nonsense")
            << "note"
            << "Несохранённые изменения прошлого сеанса не удалось прочитать; они удалены.";
        QTest::addRow("a database of nonsense") << "database"
                                                << "Несохранённые изменения файла %1 повреждены и не могут быть "
                                                   "восстановлены; они удалены.";
    }
    void unreadableLeftoversAreReportedAndCleared()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        const QString file = makeDataFile();
        QString working;
        {
            auto w = start();
            QVERIFY(w->started());
            addPerson(*w, "Иванов И.И.");
            working = w->WorkingFolder;
        }
        if (damage == "note")
            writeFile(working + "/recovery.ini", "что-то не то\n");
        else
            writeFile(working + "/DORVANA.DB", QByteArray(8192, 'x'));
        auto w = start();
        QVERIFY(w->started());
        QCOMPARE(prompts.messages(),
                 QStringList{message.contains("%1") ? message.arg(QDir::toNativeSeparators(file)) : message});
        QCOMPARE(w->dataFile().title(), file);
        QVERIFY(w->Dm()->DataSaved);
        QCOMPARE(persons(*w), QStringList());
    }

    // The program killed at random moments of a day's work: every time the next start offers the
    // last change it reported as posted (or the file already has it), never a half-written one.
    void killedAtRandomMoments()
    {
        const QString file = makeDataFile();
        QRandomGenerator random(20261210);
        int last = 0;
        for (int round = 0; round < 6; ++round) {
            QProcess work;
            work.setProgram(QCoreApplication::applicationFilePath());
            work.setArguments({"--day-of-work", root->path()});
            work.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            work.start();
            QVERIFY(work.waitForStarted());
            QTest::qWait(300 + int(random.bounded(900)));
            work.kill();
            QVERIFY(work.waitForFinished());
            const QList<QByteArray> told = work.readAllStandardOutput().split('\n');
            int reported = last;
            for (const QByteArray& line : told)
                if (!line.trimmed().isEmpty())
                    reported = line.trimmed().toInt();
            QVERIFY2(reported > last, "the day of work got nowhere before it was killed");
            prompts.asked.clear();
            prompts.confirms.enqueue(true);
            auto w = start();
            QVERIFY(w->started());
            QCOMPARE(w->dataFile().title(), file);
            const QStringList names = persons(*w);
            // Posted but not yet told is possible; told but lost is not.
            QVERIFY2(names.size() == reported || names.size() == reported + 1,
                     qPrintable(QString("%1 rows after %2 told").arg(names.size()).arg(reported)));
            for (int i = 0; i < names.size(); ++i)
                QCOMPARE(names[i], QStringLiteral("Человек %1").arg(i + 1, 5, 10, QLatin1Char('0')));
            {
                auto db = Database::acquire(w->WorkingFolder);
                Statement check = db->prepareOnce("PRAGMA quick_check");
                QVERIFY(check.step());
                QCOMPARE(check.column(0).toString(), QStringLiteral("ok"));
            }
            qInfo("round %d: %d told, %lld back, asked %s", round, reported, qlonglong(names.size()),
                  qPrintable(prompts.asked.value(0).left(20)));
            last = int(names.size());
            // What came back is kept for the next round.
            QVERIFY(w->SaveDataFile(false));
            w->StartStop = true;
            w->CloseDataFile();
        }
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--day-of-work")
        return dayOfWork(QString::fromLocal8Bit(argv[2]));
    QStandardPaths::setTestModeEnabled(true);
    TestRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
