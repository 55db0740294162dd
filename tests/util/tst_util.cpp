#include "data/Collation.h"
#include "util/DateScale.h"
#include "util/FileUtil.h"
#include "util/Money.h"
#include "util/Win1251.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace dorv;

class TestUtil : public QObject {
    Q_OBJECT
private slots:
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
        QVERIFY(EnsureDirectory(work)); // already there
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

    void win1251()
    {
        QCOMPARE(firstNonWin1251("Привет, Ёж! № 5 € «»"), -1);
        QCOMPARE(firstNonWin1251("ab王c"), 2);
        QCOMPARE(firstNonWin1251(QString("a") + QChar(0)), 1);
        QCOMPARE(firstNonWin1251("Ґ і ї є"), -1); // the code page's Ukrainian letters
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
