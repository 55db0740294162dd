#include "data/Collation.h"
#include "util/AmountSum.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/FileUtil.h"
#include "util/Money.h"
#include "util/PasswordStrength.h"
#include "util/Win1251.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/DiskLimit.h"
#include "support/EnvSetting.h"
#include "support/Files.h"

using namespace dorv;

namespace {

int modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

QStringList everything(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestUtil : public QObject {
    Q_OBJECT
private slots:
    // What the password page says of a password: the alphabet it draws on, its length, and the
    // Russian words for the time.
    void passwordStrength_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("weak");
        QTest::addRow("none") << QString() << QString() << false;
        QTest::addRow("four digits") << "1234"
                                     << "Подбор займёт меньше секунды" << true;
        QTest::addRow("four letters") << "abcd"
                                      << "Подбор займёт около 7 секунд" << true;
        QTest::addRow("four of every Latin group: 21 takes the singular") << "aB1!"
                                                                          << "Подбор займёт около 21 минуты" << true;
        QTest::addRow("six lowercase letters") << "qwerty"
                                               << "Подбор займёт около 79 минут" << true;
        QTest::addRow("eight lowercase letters") << "qwertyui"
                                                 << "Подбор займёт около 37 дней" << true;
        QTest::addRow("twelve digits") << "999999999999"
                                       << "Подбор займёт около 6 месяцев" << true;
        QTest::addRow("Cyrillic and digits") << "пароль12"
                                             << "Подбор займёт около 6 лет" << false;
        QTest::addRow("both cases and digits, two significant digits") << "Qwerty12"
                                                                       << "Подбор займёт около 110 лет" << false;
        QTest::addRow("long and mixed") << "Kx9#mPq2vL7!Тайна"
                                        << "Подбор займёт больше миллиарда лет" << false;
    }
    void passwordStrength()
    {
        QFETCH(QString, password);
        QFETCH(QString, text);
        QFETCH(bool, weak);
        const PasswordStrength s = PasswordStrength::of(password);
        QCOMPARE(s.text, text);
        QCOMPARE(s.weak, weak);
    }

    void tempDirectoryHasTrailingSeparator()
    {
        const QString t = GetTempDirectory();
        QVERIFY(t.endsWith('/'));
        QVERIFY(QFileInfo(t).isDir());
        QCOMPARE(QDir(t).canonicalPath(), QDir(qEnvironmentVariable("TMPDIR", QDir::tempPath())).canonicalPath());
    }

    void ensureDirectoryIsOneLevelAndPrivate()
    {
        QTemporaryDir base;
        const QString work = base.filePath("DAZAZORI");
        QVERIFY(EnsureDirectory(work));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(work).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);
        QVERIFY(EnsureDirectory(work));                  // already there
        QVERIFY(!EnsureDirectory(base.filePath("a/b"))); // parents are not made
        QFile f(base.filePath("file"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(!EnsureDirectory(base.filePath("file")));
    }

    void clearDirectoryRemovesFilesThenFolder()
    {
        QTemporaryDir base;
        const QString work = base.filePath("w");
        QVERIFY(EnsureDirectory(work));
        for (const char* n : {"a.db", ".hidden", "b.lck"}) {
            QFile f(work + "/" + n);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
            f.close();
            f.setPermissions(QFileDevice::ReadOwner); // read-only files go too
        }
        QVERIFY(ClearDirectory(work));
        QVERIFY(!QFileInfo::exists(work));
        QVERIFY(!ClearDirectory(work));
        // A folder inside cannot be removed by clearing: the result says so.
        QVERIFY(EnsureDirectory(work));
        QVERIFY(QDir(work).mkdir("sub"));
        QVERIFY(!ClearDirectory(work));
    }

    void linkedWorkingFolderIsLeftAlone_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addRow("the link") << "";
        QTest::addRow("the link with a trailing separator") << "/";
    }
    void linkedWorkingFolderIsLeftAlone()
    {
        // Someone puts a link where the working folder goes, pointing at a folder of files.
        QFETCH(QString, suffix);
        QTemporaryDir base;
        const QString other = base.filePath("other");
        QVERIFY(QDir().mkdir(other));
        QVERIFY(::chmod(QFile::encodeName(other).constData(), 0755) == 0);
        writeFile(other + "/a.db", "keep");
        QVERIFY(::chmod(QFile::encodeName(other + "/a.db").constData(), 0444) == 0);
        const QString link = base.filePath("DAZAZORI");
        QVERIFY(QFile::link(other, link));

        QVERIFY(!EnsureDirectory(link + suffix));
        QVERIFY(!ClearDirectory(link + suffix));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(everything(other), QStringList{"a.db"});
        QCOMPARE(readFile(other + "/a.db"), QByteArray("keep"));
        QCOMPARE(modeOf(other), 0755);
        QCOMPARE(modeOf(other + "/a.db"), 0444);
    }

    void folderOfAnotherUserIsRefused()
    {
        if (::geteuid() != 0)
            QSKIP("only root can give a folder to another user");
        QTemporaryDir base;
        const QString theirs = base.filePath("DAZAZORI");
        QVERIFY(QDir().mkdir(theirs));
        QVERIFY(::chmod(QFile::encodeName(theirs).constData(), 0755) == 0);
        writeFile(theirs + "/a.db", "theirs");
        QVERIFY(::chown(QFile::encodeName(theirs).constData(), 65534, 65534) == 0);
        QVERIFY(!EnsureDirectory(theirs));
        QVERIFY(!ClearDirectory(theirs));
        QCOMPARE(readFile(theirs + "/a.db"), QByteArray("theirs"));
        QCOMPARE(modeOf(theirs), 0755);
    }

    void clearDirectoryRemovesLinksNotTheirTargets()
    {
        QTemporaryDir base;
        const QString work = base.filePath("w");
        QVERIFY(EnsureDirectory(work));
        writeFile(base.filePath("outside.db"), "outside");
        QVERIFY(::chmod(QFile::encodeName(base.filePath("outside.db")).constData(), 0444) == 0);
        QVERIFY(QDir().mkdir(base.filePath("folder")));
        writeFile(base.filePath("folder/inner.db"), "inner");
        writeFile(work + "/own.db", "own");
        QVERIFY(QFile::link(base.filePath("outside.db"), work + "/file-link"));
        QVERIFY(QFile::link(base.filePath("folder"), work + "/folder-link"));
        QVERIFY(QFile::link(base.filePath("gone"), work + "/dangling-link"));

        QVERIFY(ClearDirectory(work));
        QVERIFY(!QFileInfo::exists(work));
        QCOMPARE(readFile(base.filePath("outside.db")), QByteArray("outside"));
        QCOMPARE(modeOf(base.filePath("outside.db")), 0444);
        QCOMPARE(readFile(base.filePath("folder/inner.db")), QByteArray("inner"));
    }

    void privateTempFolder_data()
    {
        QTest::addColumn<int>("state");   // 0 unusable (a file), 1 to be made, 2 a link, 3 open to all, 4 to the group
        QTest::addColumn<int>("runtime"); // 0 none, 1 private folder, 2 open to the group, 3 a link
        QTest::addColumn<bool>("linkPlanted"); // the shared temporary name is taken by a link
        QTest::addColumn<int>("expected");     // 0 in the runtime folder, 1 in the temporary folder, 2 none, 3 state
        QTest::addRow("the user's state folder first") << 1 << 1 << false << 3;
        QTest::addRow("state folder is a link") << 2 << 1 << false << 0;
        QTest::addRow("state folder open to all") << 3 << 1 << false << 0;
        QTest::addRow("state folder open to the user's group") << 4 << 1 << false << 3;
        QTest::addRow("private runtime folder") << 0 << 1 << false << 0;
        QTest::addRow("runtime folder open to the group") << 0 << 2 << false << 1;
        QTest::addRow("runtime folder is a link") << 0 << 3 << false << 1;
        QTest::addRow("no runtime folder") << 0 << 0 << false << 1;
        QTest::addRow("temporary name taken by a link") << 0 << 0 << true << 2;
    }
    void privateTempFolder()
    {
        QFETCH(int, state);
        QFETCH(int, runtime);
        QFETCH(bool, linkPlanted);
        QFETCH(int, expected);
        QTemporaryDir base;
        const QString stateHome = base.filePath(state == 1 ? "state/deeper" : "state");
        if (state == 0)
            writeFile(stateHome, "not a folder");
        if (state == 2) {
            QVERIFY(QDir().mkdir(base.filePath("elsewhere")));
            QVERIFY(QFile::link(base.filePath("elsewhere"), stateHome));
        }
        if (state == 3 || state == 4) {
            QVERIFY(QDir().mkdir(stateHome));
            QVERIFY(::chmod(QFile::encodeName(stateHome).constData(), state == 3 ? 0777 : 0770) == 0);
        }
        const QString tmp = base.filePath("tmp"), rt = base.filePath("run"), other = base.filePath("other");
        for (const QString& d : {tmp, rt, other})
            QVERIFY(QDir().mkdir(d));
        QVERIFY(::chmod(QFile::encodeName(other).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(rt).constData(), runtime == 2 ? 0750 : 0700) == 0);
        if (runtime == 3)
            QVERIFY(QFile::link(rt, base.filePath("run-link")));
        if (expected == 0 && FreeSpace(rt) < 512LL * 1024 * 1024)
            QSKIP("the test's disk has less room than a runtime folder must have");
        const QString fallback = tmp + QString("/dorvana-%1").arg(::geteuid());
        if (linkPlanted)
            QVERIFY(QFile::link(other, fallback));

        const EnvSetting tmpdir("TMPDIR", QFile::encodeName(tmp));
        const EnvSetting stateSetting("XDG_STATE_HOME", QFile::encodeName(stateHome));
        const EnvSetting xdg("XDG_RUNTIME_DIR", runtime == 0   ? QByteArray()
                                                : runtime == 3 ? QFile::encodeName(base.filePath("run-link"))
                                                               : QFile::encodeName(rt));
        const QString want = expected == 3   ? stateHome + "/dorvana/"
                             : expected == 0 ? rt + "/dorvana/"
                             : expected == 1 ? fallback + "/"
                                             : QString();
        const QString got = PrivateTempFolder();
        QCOMPARE(QDir(got).canonicalPath(), QDir(want).canonicalPath());
        QCOMPARE(got.isEmpty(), want.isEmpty());
        if (!want.isEmpty()) {
            QVERIFY(got.endsWith('/'));
            QCOMPARE(modeOf(got), 0700);
            QCOMPARE(PrivateTempFolder(), got); // found again as it is
        }
        QCOMPARE(modeOf(other), 0755);
        QVERIFY(everything(other).isEmpty());
    }

    void moveAsideTakesAFreeName_data()
    {
        QTest::addColumn<QString>("taken"); // what already bears the aside names of these seconds
        QTest::addRow("the name is free") << "";
        QTest::addRow("folders have the names") << "folder";
        QTest::addRow("files have the names") << "file";
        QTest::addRow("links have the names") << "link";
    }
    void moveAsideTakesAFreeName()
    {
        QFETCH(QString, taken);
        QTemporaryDir base;
        const QString work = base.filePath("DAZAZORI");
        QVERIFY(EnsureDirectory(work));
        writeFile(work + "/DORVANA.DB", "changes");
        Clock::pin(QDateTime(QDate(2026, 3, 1), QTime(10, 0)));
        const auto unpin = qScopeGuard([] { Clock::unpin(); });
        // The pinned clock goes on with the real one: the next seconds are taken too.
        QStringList planted;
        for (int second = 0; second < 5 && !taken.isEmpty(); ++second) {
            const QString name = work + QString(".kept-20260301-10000%1").arg(second);
            if (taken == "folder") {
                QVERIFY(QDir().mkdir(name));
                writeFile(name + "/DORVANA.DB", "earlier");
            } else if (taken == "file") {
                writeFile(name, "earlier");
            } else {
                QVERIFY(QFile::link(base.filePath("nowhere"), name));
            }
            planted << name;
        }
        QString error;
        const QString aside = MoveAside(work, ".kept-", &error);
        QVERIFY2(!aside.isEmpty(), qPrintable(error));
        QVERIFY2(aside.startsWith(work + ".kept-20260301-1000"), qPrintable(aside));
        QVERIFY(!planted.contains(aside));
        QVERIFY(!QFileInfo::exists(work));
        QCOMPARE(readFile(aside + "/DORVANA.DB"), QByteArray("changes"));
        for (const QString& name : std::as_const(planted)) {
            if (taken == "folder")
                QCOMPARE(readFile(name + "/DORVANA.DB"), QByteArray("earlier"));
            else if (taken == "file")
                QCOMPARE(readFile(name), QByteArray("earlier"));
            else
                QVERIFY(QFileInfo(name).isSymLink());
        }
    }

    void roomTextNamesFiguresThatDiffer_data()
    {
        constexpr quint64 MB = 1024 * 1024;
        QTest::addColumn<quint64>("needed");
        QTest::addColumn<quint64>("available");
        QTest::addColumn<QString>("text");
        QTest::addRow("megabytes apart") << 5 * MB + 1 << MB << "нужно 6 МБ, свободно 1 МБ";
        QTest::addRow("within one megabyte") << quint64(1000000) << quint64(900000) << "нужно 977 КБ, свободно 879 КБ";
        QTest::addRow("within one kilobyte") << quint64(1000) << quint64(999) << "нужно 1000 байт, свободно 999 байт";
        QTest::addRow("nothing free") << MB << quint64(0) << "нужно 1 МБ, свободно 0 МБ";
    }
    void roomTextNamesFiguresThatDiffer()
    {
        QFETCH(quint64, needed);
        QFETCH(quint64, available);
        QFETCH(QString, text);
        QCOMPARE(RoomText(needed, available), text);
    }

    void saveLeftoversOfOurOwnNamingOnly()
    {
        QTemporaryDir base;
        const QString data = base.filePath("home.den");
        writeFile(data, "data");
        // Left by saves of the data file and of its backup copy that were cut off.
        const QStringList ours{".home.den.a1b2c3d4", ".home.BAK.zz99yy88"};
        for (const QString& name : ours)
            writeFile(base.filePath(name), "half a save");
        // Not ours to remove: other names, another file's, a link, a folder, a pipe.
        QStringList others{".home.den.swp",       ".home.den.A1B2C3D4",  ".home.den.a1b2c3d",
                           ".home.den.a1b2c3d45", ".other.den.a1b2c3d4", "home.den.a1b2c3d4"};
        for (const QString& name : std::as_const(others))
            writeFile(base.filePath(name), "someone else's");
        QVERIFY(QFile::link(data, base.filePath(".home.den.link0000")));
        QVERIFY(QDir().mkdir(base.filePath(".home.den.fold0000")));
        QCOMPARE(::mkfifo(QFile::encodeName(base.filePath(".home.den.pipe0000")).constData(), 0600), 0);
        others << ".home.den.link0000"
               << ".home.den.fold0000"
               << ".home.den.pipe0000";
        if (::geteuid() == 0) {
            writeFile(base.filePath(".home.den.their000"), "another user's");
            QCOMPARE(::chown(QFile::encodeName(base.filePath(".home.den.their000")).constData(), 65534, 65534), 0);
            others << ".home.den.their000";
        }
        // A save going on now: its file stays, also once its writing is done and it is read back.
        ReplacingFile live(data);
        QString error;
        QVERIFY(live.open(&error));
        QVERIFY(live.write("new", 3, &error));
        QVERIFY(live.finish(false, &error));
        const QString livePath = live.temporaryPath();
        others << QFileInfo(livePath).fileName();

        QCOMPARE(RemoveSaveLeftovers(data), int(ours.size()));
        QStringList expected = others;
        expected << "home.den";
        expected.sort();
        QCOMPARE(everything(base.path()), expected);
        QCOMPARE(readFile(data), QByteArray("data"));
        live.discard();
        QVERIFY(!QFileInfo::exists(livePath));
    }

    void backupPathFor_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("backup");
        QTest::addRow("extension replaced") << "/home/u/home.den"
                                            << "/home/u/home.BAK";
        QTest::addRow("only the last extension") << "/d/a.b.den"
                                                 << "/d/a.b.BAK";
        QTest::addRow("no extension") << "/d/home"
                                      << "/d/home.BAK";
        QTest::addRow("dot in a folder name only") << "/d.x/home"
                                                   << "/d.x/home.BAK";
        QTest::addRow("the backup itself") << "/d/home.BAK"
                                           << "/d/home.BAK";
    }
    void backupPathFor()
    {
        QFETCH(QString, file);
        QFETCH(QString, backup);
        QCOMPARE(BackupPathFor(file), backup);
    }

    void backupCopyIsReplacedInOneStep()
    {
        QTemporaryDir d;
        const QString file = d.filePath("home.den"), backup = d.filePath("home.BAK");
        writeFile(file, "first");
        QString error;
        QVERIFY2(ReplaceBackupCopy(file, &error), qPrintable(error));
        QCOMPARE(readFile(backup), QByteArray("first"));
        writeFile(file, "second");
        QVERIFY2(ReplaceBackupCopy(file, &error), qPrintable(error));
        QCOMPARE(readFile(backup), QByteArray("second"));
        QCOMPARE(everything(d.path()), QStringList({"home.BAK", "home.den"}));

        // Saving an opened backup makes no backup of itself, and does not lose it.
        QVERIFY(ReplaceBackupCopy(backup, &error));
        QCOMPARE(readFile(backup), QByteArray("second"));

        // A full disk: the copy fails and the previous backup stays whole.
        writeFile(file, "third, longer than the limit");
        bool copied = true;
        {
            DiskLimit full(4);
            QVERIFY(full.set());
            copied = ReplaceBackupCopy(file, &error);
        }
        QVERIFY(!copied);
        QVERIFY2(error.contains("Недостаточно места на диске"), qPrintable(error));
        QCOMPARE(readFile(backup), QByteArray("second"));
        QCOMPARE(everything(d.path()), QStringList({"home.BAK", "home.den"}));
    }

    void replacingFileLeavesTheTargetUntilReplaced()
    {
        QTemporaryDir d;
        const QString target = d.filePath("home.den");
        writeFile(target, "old");
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
        QString error;
        {
            ReplacingFile out(target);
            QVERIFY(out.open(&error));
            QVERIFY(out.write("new", 3, &error));
            QCOMPARE(QFileInfo(out.temporaryPath()).absolutePath(), QFileInfo(target).absolutePath());
            QCOMPARE(readFile(target), QByteArray("old"));
        } // given up
        QCOMPARE(everything(d.path()), QStringList{"home.den"});
        QCOMPARE(readFile(target), QByteArray("old"));
        ReplacingFile out(target);
        QVERIFY(out.open(&error));
        QVERIFY(out.write("new", 3, &error));
        QVERIFY(out.finish(true, &error));
        QCOMPARE(readFile(target), QByteArray("old"));
        QVERIFY2(out.replace(true, &error), qPrintable(error));
        QCOMPARE(readFile(target), QByteArray("new"));
        QCOMPARE(modeOf(target), 0640); // what the user allowed on the old file
        QCOMPARE(everything(d.path()), QStringList{"home.den"});
    }

    void systemErrorText_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("full");
        QTest::addRow("no space") << ENOSPC << true;
        QTest::addRow("quota") << EDQUOT << true;
        QTest::addRow("file size limit") << EFBIG << true;
        QTest::addRow("no rights") << EACCES << false;
        QTest::addRow("no reason given") << 0 << false;
        QTest::addRow("an unknown number") << 12345 << false;
    }
    void systemErrorText()
    {
        QFETCH(int, code);
        QFETCH(bool, full);
        const QString text = SystemErrorText(code);
        QCOMPARE(text.contains("Недостаточно места на диске"), full);
        QVERIFY(text.size() > 5);
        for (const char* english : {"error", "Success", "Unknown"})
            QVERIFY2(!text.contains(english, Qt::CaseInsensitive), qPrintable(text));
    }

    void fullDeviceReadsAsFullDisk()
    {
        const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            QSKIP("no /dev/full");
        const bool failed = ::write(fd, "x", 1) < 0;
        const int code = errno;
        ::close(fd);
        QVERIFY(failed);
        QVERIFY(SystemErrorText(code).contains("Недостаточно места на диске"));
    }

    void findBesideExecutable()
    {
        QTemporaryDir prog;
        SetProgramFolder(prog.path());
        QCOMPARE(FindBesideExecutable("*.den"), QString());
        QFile f(prog.filePath("Семья.DEN"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(FindBesideExecutable("*.den"), prog.filePath("Семья.DEN"));
        QCOMPARE(FindBesideExecutable("Dorvana.Hlp"), QString());
        SetProgramFolder({});
    }

    void dayScale_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("day");
        QTest::addRow("origin") << QDate(1899, 12, 30) << 0;
        QTest::addRow("before origin") << QDate(1899, 12, 29) << -1;
        QTest::addRow("2000-01-01") << QDate(2000, 1, 1) << 36526;
        QTest::addRow("29 Feb 2000") << QDate(2000, 2, 29) << 36585;
    }
    void dayScale()
    {
        QFETCH(QDate, date);
        QFETCH(int, day);
        QCOMPARE(dayNumber(date), day);
        QCOMPARE(dateOfDay(day), date);
        const QDateTime m(date, QTime(13, 14, 15, 16));
        QCOMPARE(momentOfStamp(stampOf(m)), m);
        QCOMPARE(dayOfStamp(stampOf(m)), day);
    }

    void shortDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("day"); // -1: refused
        QTest::addRow("full year") << "01.01.2000" << 36526;
        QTest::addRow("two-digit year") << "1.1.00" << 36526;
        QTest::addRow("31 February") << "31.02.2026" << -1;
        QTest::addRow("words") << "вчера" << -1;
    }
    void shortDates()
    {
        QFETCH(QString, text);
        QFETCH(int, day);
        int got = -1;
        QCOMPARE(parseShortDate(text, &got), day >= 0);
        if (day >= 0)
            QCOMPARE(got, day);
    }

    void money_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<qint64>("units");
        QTest::addColumn<double>("whole");
        QTest::addRow("0.1 + 0.2 exactly") << 0.3 << qint64(3000) << 0.0;
        QTest::addRow("-0.40 rounds to 0") << -0.40 << qint64(-4000) << 0.0;
        QTest::addRow("-0.50 rounds to even 0") << -0.50 << qint64(-5000) << 0.0;
        QTest::addRow("-0.60 rounds to -1") << -0.60 << qint64(-6000) << -1.0;
        QTest::addRow("2.5 rounds to 2") << 2.5 << qint64(25000) << 2.0;
        QTest::addRow("half of a unit to even") << 0.00005 << qint64(0) << 0.0;
    }
    void money()
    {
        QFETCH(double, amount);
        QFETCH(qint64, units);
        QFETCH(double, whole);
        QCOMPARE(toTenThousandths(amount), units);
        QCOMPARE(roundHalfEven(amount), whole);
        QCOMPARE(toTenThousandths(0.1) + toTenThousandths(0.2), toTenThousandths(0.3));
        QCOMPARE(formatMoney(-0.001), QString("0.00"));
        QCOMPARE(formatMoney(1234.5), QString("1234.50"));
        double v = 0;
        QVERIFY(parseMoney("12,5", &v));
        QCOMPARE(v, 12.5);
        QVERIFY(!parseMoney("12a", &v));
    }

    void typedSumsAreExactInTenThousandths_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<qint64>("units");
        QTest::addRow("sum with a decimal comma") << "120+35,5" << true << qint64(1555000);
        QTest::addRow("product") << "3*45" << true << qint64(1350000);
        QTest::addRow("less a percentage") << "1000-15%" << true << qint64(8500000);
        QTest::addRow("plus a percentage of the whole sum") << "(100 + 100) + 10%" << true << qint64(2200000);
        QTest::addRow("decimal point, spaces") << " 0.1 + 0.2 " << true << qint64(3000);
        QTest::addRow("precedence and parentheses") << "2+3*(4-1)/2" << true << qint64(65000);
        QTest::addRow("a third rounds to the ten-thousandth") << "10/3" << true << qint64(33333);
        QTest::addRow("a half rounds to even") << "0,0001/2" << true << qint64(0);
        QTest::addRow("three halves round to even") << "0,0003/2" << true << qint64(2);
        QTest::addRow("plain number") << "12,5" << true << qint64(125000);
        QTest::addRow("the largest amount") << "900000000000" << true << qint64(9000000000000000);
        QTest::addRow("division by zero") << "5/0" << false << qint64(0);
        QTest::addRow("division by a zero sum") << "5/(2-2)" << false << qint64(0);
        QTest::addRow("beyond the largest amount") << "900000000000+0,01" << false << qint64(0);
        QTest::addRow("overflow in a product") << "900000000000*900000000000" << false << qint64(0);
        QTest::addRow("a huge number") << "99999999999999999999999999" << false << qint64(0);
        QTest::addRow("a percentage not at the end") << "1000-15%+1" << false << qint64(0);
        QTest::addRow("a percentage inside parentheses") << "(1000-15%)" << false << qint64(0);
        QTest::addRow("a percentage alone") << "15%" << false << qint64(0);
        QTest::addRow("letters") << "12a" << false << qint64(0);
        QTest::addRow("an operator left hanging") << "120+" << false << qint64(0);
        QTest::addRow("unclosed parenthesis") << "(1+2" << false << qint64(0);
        QTest::addRow("too many decimals") << "1,00001" << false << qint64(0);
        QTest::addRow("two separators") << "1,5,5" << false << qint64(0);
        QTest::addRow("nothing") << "" << false << qint64(0);
        QTest::addRow("nesting past any typing") << QString(200, '(') + "1" + QString(200, ')') << false << qint64(0);
    }
    void typedSumsAreExactInTenThousandths()
    {
        QFETCH(QString, text);
        QFETCH(bool, taken);
        QFETCH(qint64, units);
        qint64 got = -1;
        QCOMPARE(evaluateSum(text, &got), taken);
        if (taken)
            QCOMPARE(got, units);
        else
            QCOMPARE(got, qint64(-1));
    }

    void moneyNeverWrapsAround_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<bool>("booked");
        QTest::addRow("the largest amount") << MaxAmount << true;
        QTest::addRow("one unit beyond") << MaxAmount + 1 << false;
        QTest::addRow("far beyond") << 1e300 << false;
        QTest::addRow("infinity") << std::numeric_limits<double>::infinity() << false;
        QTest::addRow("not a number") << std::numeric_limits<double>::quiet_NaN() << false;
        QTest::addRow("a negative amount") << -12.5 << true;
    }
    void moneyNeverWrapsAround()
    {
        QFETCH(double, amount);
        QFETCH(bool, booked);
        qint64 units = 0;
        QCOMPARE(checkedTenThousandths(amount, &units), booked);
        if (booked)
            QCOMPARE(units, toTenThousandths(amount));
        // Beyond any range a conversion saturates instead of being undefined.
        QCOMPARE(toTenThousandths(1e300), std::numeric_limits<qint64>::max());
        QCOMPARE(toTenThousandths(-1e300), std::numeric_limits<qint64>::min());
        qint64 sum = 0;
        QVERIFY(!checkedAdd(std::numeric_limits<qint64>::max(), 1, &sum));
        QVERIFY(checkedAdd(toTenThousandths(MaxAmount), toTenThousandths(MaxAmount), &sum));
        QCOMPARE(sum, 2 * toTenThousandths(MaxAmount));
    }

    void win1251()
    {
        QCOMPARE(firstNonWin1251("Привет, Ёж! № 5 € «»"), -1);
        QCOMPARE(firstNonWin1251("ab王c"), 2);
        QCOMPARE(firstNonWin1251(QString("a") + QChar(0)), 1);
        QCOMPARE(firstNonWin1251("Ґ і ї є"), -1); // the code page's Ukrainian letters
    }

    void toWin1251_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("fits");
        QTest::addRow("Cyrillic") << "Привет" << QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2") << true;
        QTest::addRow("Ё, ё, № and €") << "Ёё№€" << QByteArray("\xA8\xB8\xB9\x88") << true;
        QTest::addRow("Ukrainian letters") << "Ґіїє" << QByteArray("\xA5\xB3\xBF\xBA") << true;
        QTest::addRow("Latin") << "Abc 1!" << QByteArray("Abc 1!") << true;
        QTest::addRow("empty") << "" << QByteArray() << true;
        QTest::addRow("Chinese") << "a王b" << QByteArray("a?b") << false;
        QTest::addRow("NUL") << QString("a") + QChar(0) << QByteArray("a?") << false;
    }
    void toWin1251()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, fits);
        bool ok = !fits;
        QCOMPARE(dorv::toWin1251(text, &ok), bytes);
        QCOMPARE(ok, fits);
        QCOMPARE(firstNonWin1251(text) < 0, fits);
    }

    void collation()
    {
        QVERIFY(ruCompare(u"ёлка", u"елка") > 0);
        QVERIFY(ruCompare(u"ёлка", u"елн") < 0);
        QVERIFY(ruCompare(u"ёж", u"жук") < 0);
        QVERIFY(ruCompare(u"Ёлка", u"ёлка") != 0);
        QVERIFY(ruCompare(u"абв", u"АБГ") < 0);
        QVERIFY(ruCompare(u"Zeta", u"алфавит") < 0);
        QCOMPARE(ruCompare(u"Дом", u"Дом"), 0);
        const QByteArray a = QString("Ёжик").toUtf8(), b = QString("Ежиха").toUtf8();
        QCOMPARE(ruCompareUtf8(a.data(), int(a.size()), b.data(), int(b.size())) < 0, ruCompare(u"Ёжик", u"Ежиха") < 0);
    }
};

QTEST_GUILESS_MAIN(TestUtil)
#include "tst_util.moc"
