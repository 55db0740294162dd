#include "app/DorvMain.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "data/Table.h"
#include "support/Child.h"
#include "support/ScratchEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"
#include "util/DateScale.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

using namespace dorv;

// "Экспорт..." through the real main window: what the view shown lists goes to the file the user
// names, the history from the menu and its popup, the people from theirs, the results with their
// totals from the results window.
class TestExport : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;
    std::unique_ptr<TFormMain> w;

    Database& db() { return *w->Dm()->Tb_Hist->database(); }
    QAction* action(const char* name) { return w->findChild<QAction*>(QString::fromLatin1(name)); }
    static QStringList linesOf(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QString text = QString::fromUtf8(f.readAll());
        text.remove(QChar(0xFEFF));
        return text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    static int day(int d, int m) { return dayNumber(QDate(2024, m, d)); }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        prompts = ScriptedPrompts();
        Clock::pin(QDateTime(QDate(2024, 3, 20), QTime(12, 0)));
        w = std::make_unique<TFormMain>(scratchEnvironment(*root, prompts));
        QVERIFY(w->started());
        db().exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Карта', 'руб', -135.5)");
        db().exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-')");
        db().exec("INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (1, 'Магнит')");
        db().exec("INSERT INTO TB_PERSON (Id_Person, Name) VALUES (1, 'Петров Пётр')");
        db().exec(QStringLiteral("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1, "
                                 "ID_Firm) VALUES (1, %1, 3000000000001, '1', NULL, 120.5, 1, 1), "
                                 "(1, %2, 3000000000002, '1', NULL, 15, 1, NULL)")
                      .arg(day(3, 1))
                      .arg(day(10, 2)));
        const QString file = root->filePath("home.den");
        QVERIFY(saveAndReopen(*w, prompts, file));
        prompts.asked.clear();
    }
    void cleanup()
    {
        w.reset();
        Clock::unpin();
        root.reset();
    }

    void theHistoryFromTheMenuAndItsPopup_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("menu Файл") << "mExport";
        QTest::newRow("popup PmHist") << "mpExport";
    }
    void theHistoryFromTheMenuAndItsPopup()
    {
        QFETCH(QString, item);
        QAction* menuItem = action("mExport");
        QCOMPARE(menuItem->text(), QString("&Экспорт..."));
        QCOMPARE(menuItem->shortcut(), QKeySequence("Ctrl+E"));
        QVERIFY(w->findChild<QMenu*>("mFile")->actions().contains(menuItem));
        QVERIFY(child<QMenu>(w.get(), "PmHist")->actions().contains(action("mpExport")));
        const QString file = root->filePath("history.csv");
        prompts.saveFiles.enqueue(file);
        action(qPrintable(item))->trigger();
        QCOMPARE(prompts.asked, QStringList{"save: Экспорт в файл"});
        const QStringList lines = linesOf(file);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("Дата;Категория;"), qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith("03.01.2024;Еда;"), qPrintable(lines[1]));
        QVERIFY2(lines[1].contains(";120,50;"), qPrintable(lines[1]));
        QVERIFY2(lines[1].contains(";Магнит;"), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith("10.02.2024;Еда;"), qPrintable(lines[2]));
    }

    // Cancelled, nothing is written; a file that cannot be written is told.
    void cancelledOrRefused()
    {
        action("mExport")->trigger();
        QCOMPARE(prompts.asked, QStringList{"save: Экспорт в файл"});
        const QString impossible = root->filePath("none/history.xlsx");
        prompts.saveFiles.enqueue(impossible);
        action("mExport")->trigger();
        QCOMPARE(prompts.messages().size(), 1);
        QVERIFY2(prompts.messages()[0].contains(impossible), qPrintable(prompts.messages()[0]));
        QVERIFY(!QFile::exists(impossible));
    }

    void thePeopleView()
    {
        w->ShowView(View::People);
        const QString file = root->filePath("people.csv");
        prompts.saveFiles.enqueue(file);
        action("mExport")->trigger();
        const QStringList lines = linesOf(file);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[1].contains("Петров Пётр"), qPrintable(lines.join('\n')));
    }

    // The groups of the results window with their totals.
    void theResults()
    {
        const QString file = root->filePath("results.csv");
        prompts.saveFiles.enqueue(file);
        prompts.modals.enqueue([](QDialog* d) {
            QAction* item = child<QAction>(d, "mpResExport");
            [&] { QVERIFY(child<QMenu>(d, "Pm")->actions().contains(item)); }();
            item->trigger();
            return int(QDialog::Rejected);
        });
        action("mResult")->trigger();
        const QStringList lines = linesOf(file);
        QVERIFY2(lines.size() == 3, qPrintable(lines.join('\n')));
        QVERIFY2(lines[1].startsWith("Еда;"), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith("Итого;"), qPrintable(lines[2]));
        QVERIFY2(lines[2].contains("135,50"), qPrintable(lines[2]));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
