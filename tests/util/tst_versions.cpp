#include "util/Versions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace dorv;

namespace {
QList<QDate> dates(const QStringList& texts)
{
    QList<QDate> out;
    for (const QString& t : texts)
        out << QDate::fromString(t, Qt::ISODate);
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

// Which earlier versions of a data file stay, and how they are written beside it.
class TestVersions : public QObject {
    Q_OBJECT
private slots:
    void keptVersions_data()
    {
        QTest::addColumn<QString>("today");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QStringList>("kept"); // newest first
        QTest::addRow("nothing yet") << "2026-12-11" << QStringList{} << QStringList{};
        QTest::addRow("every day of the last week")
            << "2026-12-11" << QStringList{"2026-12-05", "2026-12-06", "2026-12-07", "2026-12-08",
                                           "2026-12-09", "2026-12-10", "2026-12-11"}
            << QStringList{"2026-12-11", "2026-12-10", "2026-12-09", "2026-12-08",
                           "2026-12-07", "2026-12-06", "2026-12-05"};
        // Eight days back is outside the week; in this month only the newest stays of the older ones.
        QTest::addRow("the day before the week")
            << "2026-12-11" << QStringList{"2026-12-03", "2026-12-04", "2026-12-05"} << QStringList{"2026-12-05"};
        QTest::addRow("the week reaches into the previous month")
            << "2026-12-03" << QStringList{"2026-11-26", "2026-11-27", "2026-11-28", "2026-12-01"}
            << QStringList{"2026-12-01", "2026-11-28", "2026-11-27"};
        QTest::addRow("the newest of each month of the year")
            << "2026-12-11"
            << QStringList{"2025-12-31", "2026-01-01", "2026-01-31", "2026-06-10", "2026-06-20", "2026-11-30"}
            << QStringList{"2026-11-30", "2026-06-20", "2026-01-31"};
        // This month and the eleven before it.
        QTest::addRow("twelve months back is one too many")
            << "2026-12-11" << QStringList{"2025-12-31", "2026-01-01"} << QStringList{"2026-01-01"};
        QTest::addRow("across the new year")
            << "2027-01-02" << QStringList{"2026-12-20", "2026-12-27", "2026-12-28", "2027-01-01"}
            << QStringList{"2027-01-01", "2026-12-28", "2026-12-27"};
        QTest::addRow("on 29 February") << "2028-02-29"
                                        << QStringList{"2027-02-28", "2027-03-15", "2028-02-22", "2028-02-23"}
                                        << QStringList{"2028-02-23", "2027-03-15"};
        QTest::addRow("a date after today stays (the clock was set back)")
            << "2026-12-11" << QStringList{"2027-05-01", "2026-12-11"} << QStringList{"2027-05-01", "2026-12-11"};
        QTest::addRow("the same date twice counts once")
            << "2026-12-11" << QStringList{"2026-12-11", "2026-12-11"} << QStringList{"2026-12-11"};
    }
    void keptVersions()
    {
        QFETCH(QString, today);
        QFETCH(QStringList, existing);
        QFETCH(QStringList, kept);
        QCOMPARE(VersionsToKeep(dates(existing), QDate::fromString(today, Qt::ISODate)), dates(kept));
    }

    void folderBesideTheFile()
    {
        QCOMPARE(VersionsFolderFor("/home/a/семья.den"), QString("/home/a/семья.versions"));
        QCOMPARE(VersionsFolderFor("/home/a/old.data.den"), QString("/home/a/old.data.versions"));
    }

    void savesOfManyDaysLeaveTheKeptOnes()
    {
        QTemporaryDir root;
        const QString file = root.filePath("home.den");
        QDir().mkpath(VersionsFolderFor(file));
        // Not a version: left alone whatever its date.
        const QString foreign = QDir(VersionsFolderFor(file)).filePath("notes.txt");
        QVERIFY(writeFile(foreign, "x"));
        QDate day(2026, 1, 1);
        for (int i = 0; i < 400; ++i, day = day.addDays(1)) {
            QVERIFY(writeFile(file, day.toString(Qt::ISODate).toLatin1()));
            QString error;
            QVERIFY2(WriteVersion(file, day, &error), qPrintable(error));
        }
        const QDate today = day.addDays(-1); // 2027-02-04
        // A second save of the day replaces the day's version.
        QVERIFY(writeFile(file, "later the same day"));
        QVERIFY(WriteVersion(file, today));
        const QList<KeptVersion> versions = ListVersions(file);
        QStringList names;
        for (const KeptVersion& v : versions)
            names << v.date.toString(Qt::ISODate);
        QCOMPARE(names, (QStringList{"2027-02-04", "2027-02-03", "2027-02-02", "2027-02-01", "2027-01-31", "2027-01-30",
                                     "2027-01-29", "2026-12-31", "2026-11-30", "2026-10-31", "2026-09-30", "2026-08-31",
                                     "2026-07-31", "2026-06-30", "2026-05-31", "2026-04-30", "2026-03-31"}));
        QCOMPARE(contentOf(versions.first().path), QByteArray("later the same day"));
        QCOMPARE(versions.first().size, qint64(18));
        QCOMPARE(contentOf(versions.at(7).path), QByteArray("2026-12-31"));
        QVERIFY(QFileInfo::exists(foreign));
        QCOMPARE(QDir(VersionsFolderFor(file)).entryList(QDir::Files).size(), versions.size() + 1);
    }

    void failureIsSaidAndTouchesNoFile()
    {
        QTemporaryDir root;
        const QString file = root.filePath("home.den");
        QVERIFY(writeFile(file, "data"));
        QVERIFY(writeFile(VersionsFolderFor(file), "a file where the folder should be"));
        QString error;
        QVERIFY(!WriteVersion(file, QDate(2026, 12, 11), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(contentOf(file), QByteArray("data"));
        QVERIFY(ListVersions(file).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestVersions)
#include "tst_versions.moc"
