#include "util/DateScale.h"
#include "util/TableExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace dorv;

// The written files as readers that are not ours see them: the workbook through openpyxl, the CSV
// through Python's csv module.
class TestTableExport : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    static PlainTable sample()
    {
        PlainTable t;
        t.titles = {"Дата", "Категория", "Приход", "Расход"};
        t.kinds = {PlainTable::Kind::Date, PlainTable::Kind::Text, PlainTable::Kind::Amount, PlainTable::Kind::Amount};
        t.rows << QVariantList{dayNumber(QDate(2024, 3, 5)), "Еда; молоко \"Домик\"", QVariant(), 120.5}
               << QVariantList{dayNumber(QDate(2024, 12, 31)), "Зарплата и премия за очень долгий год", 50000.0,
                               QVariant()};
        return t;
    }
    // What the script prints, or a failed test.
    static QString python(const QString& script, const QString& file)
    {
        QProcess p;
        // The system's Python, whose modules the Debian packages bring (not one of a user's own).
        const QString system = QStringLiteral("/usr/bin/python3");
        p.start(QFile::exists(system) ? system : QStringLiteral("python3"), {QStringLiteral("-c"), script, file});
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return QStringLiteral("python failed: ")
                   + QString::fromUtf8(p.readAllStandardError()).replace(QLatin1Char('\n'), QLatin1String(" / "));
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

private slots:
    void workbook()
    {
        const QString file = dir.filePath("out.xlsx");
        QCOMPARE(writeTable(sample(), file), QString());
        const QString read = python(
            QStringLiteral("import sys, openpyxl\n"
                           "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                           "print(ws.freeze_panes)\n"
                           "for row in ws.iter_rows():\n"
                           "    print('|'.join(f'{type(c.value).__name__}:{c.value}:{c.number_format}' for c in row))\n"
                           "print(' '.join(str(round(ws.column_dimensions[c].width)) for c in 'ABCD'))\n"),
            file);
        const QStringList lines = read.split('\n');
        QCOMPARE(lines.value(0), QString("A2"));
        QCOMPARE(lines.value(1),
                 QString("str:Дата:General|str:Категория:General|str:Приход:General|str:Расход:General"));
        QCOMPARE(lines.value(2), QString("datetime:2024-03-05 00:00:00:dd.mm.yyyy|str:Еда; молоко \"Домик\":General|"
                                         "NoneType:None:General|float:120.5:0.00"));
        QCOMPARE(lines.value(3),
                 QString("datetime:2024-12-31 00:00:00:dd.mm.yyyy|str:Зарплата и премия за очень долгий "
                         "год:General|int:50000:0.00|NoneType:None:General"));
        // Each column as wide as its longest text.
        QCOMPARE(lines.value(4), QString("13 40 11 9"));
    }

    void csv()
    {
        const QString file = dir.filePath("out.csv");
        QCOMPARE(writeTable(sample(), file), QString());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("\xEF\xBB\xBF"));
        const QString read = python(QStringLiteral("import sys, csv\n"
                                                   "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                                                   "    for row in csv.reader(f, delimiter=';'):\n"
                                                   "        print('|'.join(row))\n"),
                                    file);
        QCOMPARE(read, QString("Дата|Категория|Приход|Расход\n"
                               "05.03.2024|Еда; молоко \"Домик\"||120,50\n"
                               "31.12.2024|Зарплата и премия за очень долгий год|50000,00|"));
    }

    // A file that cannot be written says why and leaves what was there.
    void failureKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("workbook") << "kept.xlsx";
        QTest::newRow("csv") << "kept.csv";
    }
    void failureKeepsTheOldFile()
    {
        QFETCH(QString, name);
        QTemporaryDir locked;
        const QString file = locked.filePath(name);
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        // The folder is read-only: no temporary file can be made beside the target.
        QVERIFY(QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        if (QFileInfo(locked.filePath("probe")).isWritable() || ::geteuid() == 0) {
            QFile::setPermissions(locked.path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            // The superuser writes anywhere: a path under a file is as impossible for everybody.
            const QString impossible = file + QStringLiteral("/inside.csv");
            const QString error = writeTable(sample(), impossible);
            QVERIFY2(error.contains(impossible), qPrintable(error));
        } else {
            const QString error = writeTable(sample(), file);
            QFile::setPermissions(locked.path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QVERIFY2(error.contains(file), qPrintable(error));
        }
        QFile kept(file);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old"));
        QCOMPARE(QDir(locked.path()).entryList(QDir::Files), QStringList{name});
    }
};

QTEST_GUILESS_MAIN(TestTableExport)
#include "tst_table_export.moc"
