#include "ContactsFixture.h"
#include "contacts/ContactFilters.h"
#include "contacts/StartupReminders.h"
#include "data/TableModel.h"
#include "support/Child.h"

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using namespace dorv;

// The diary with its reminder modes, and what opening a data file reminds of.
class TestDiary : public QObject {
    Q_OBJECT
    ContactsFixture f;

    TDiaryView& diary() { return f.diary(); }
    Table& log() { return *f.dm().Tb_Log; }
    QStringList notes() { return f.column(log(), QStringLiteral("Note")); }

private slots:
    void cleanup() { f.stop(); }

    void todayFilterText()
    {
        QCOMPARE(dorv::todayFilterText(ContactsFixture::day(QDate(2026, 3, 5)), 5),
                 QStringLiteral("(date_remind<='05.03.2026' and c='1') or (dy='5' and c='2')"));
    }

    // Which entries the today button lists, by the day the data is opened.
    void dueToday_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("remind");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("due");
        const QDate june15(2026, 6, 15);
        QTest::addRow("mode 1 from last week") << june15 << QDate(2026, 6, 8) << "1" << true;
        QTest::addRow("mode 1 of today") << june15 << june15 << "1" << true;
        QTest::addRow("mode 1 of tomorrow") << june15 << QDate(2026, 6, 16) << "1" << false;
        QTest::addRow("mode 0 from the past") << june15 << QDate(2026, 6, 8) << "0" << false;
        QTest::addRow("mode 2 of 15 March 2000, after") << june15 << QDate(2000, 3, 15) << "2" << true;
        QTest::addRow("mode 2 of 15 March 2030, before") << june15 << QDate(2030, 3, 15) << "2" << true;
        QTest::addRow("mode 2 of another day") << june15 << QDate(2000, 3, 16) << "2" << false;
        QTest::addRow("mode 2 on the 31st in April") << QDate(2026, 4, 30) << QDate(2026, 1, 31) << "2" << false;
        QTest::addRow("mode 2 on the 30th in April") << QDate(2026, 4, 30) << QDate(2026, 1, 30) << "2" << true;
        QTest::addRow("mode 2 on the 31st in May") << QDate(2026, 5, 31) << QDate(2026, 1, 31) << "2" << true;
        QTest::addRow("mode 2 of the 28th on 29 February") << QDate(2000, 2, 29) << QDate(1999, 1, 28) << "2" << true;
        QTest::addRow("mode 2 of the 29th on 29 February") << QDate(2000, 2, 29) << QDate(1999, 1, 29) << "2" << false;
    }
    void dueToday()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, remind);
        QFETCH(QString, mode);
        QFETCH(bool, due);
        f.start(today);
        QVERIFY(f.w->started());
        f.addEntry(1, QStringLiteral("дело"), remind, mode);
        QVERIFY(f.reopen());
        QCOMPARE(f.w->diaryFlag(), due);
        f.w->ShowView(3);
        QVERIFY(!child<QToolButton>(&diary(), "ButLogFilt")->isChecked());
        QCOMPARE(log().recordCount(), 1);
        child<QToolButton>(&diary(), "ButLogFilt")->click();
        QCOMPARE(log().recordCount(), due ? 1 : 0);
        child<QToolButton>(&diary(), "ButLogFilt")->click();
        QCOMPARE(log().recordCount(), 1);
    }

    void radioAndPopupAgree()
    {
        f.start(QDate(2026, 6, 15));
        QVERIFY(f.w->started());
        f.addPerson(1, QStringLiteral("Иванов И.И."));
        f.addEntry(1, QStringLiteral("позвонить"), QDate(2026, 6, 1), "0", 1);
        f.addEntry(2, QStringLiteral("купить"), QDate(2026, 6, 2), "1");
        QVERIFY(f.reopen());
        f.w->ShowView(3);
        log().first();
        diary().PmLogPopup();
        QVERIFY(child<QAction>(&diary(), "mpLogNon")->isChecked());
        QVERIFY(child<QRadioButton>(&diary(), "DBRgLog0")->isChecked());
        QVERIFY(child<QAction>(&diary(), "mpLogFindPerson")->isEnabled());
        QVERIFY(!child<QAction>(&diary(), "mpLogFindFirm")->isEnabled());
        // The radio group: "Ежемесячно" stores "2" once the entry is posted.
        child<QRadioButton>(&diary(), "DBRgLog2")->click();
        QCOMPARE(log().state(), DatasetState::Edit);
        QTest::keyClick(child<TDbGrid>(&diary(), "DBGLog"), Qt::Key_Return);
        QCOMPARE(log().state(), DatasetState::Browse);
        QCOMPARE(log().fieldByName("C").asString(), QStringLiteral("2"));
        diary().PmLogPopup();
        QVERIFY(child<QAction>(&diary(), "mpLogMonth")->isChecked());
        // The popup, by its key: F8 stores "1", and the radio group shows it.
        log().last();
        QCOMPARE(notes().last(), QStringLiteral("купить"));
        diary().PmLogPopup();
        QVERIFY(child<QAction>(&diary(), "mpLogDate")->isChecked());
        QVERIFY(!child<QAction>(&diary(), "mpLogFindPerson")->isEnabled());
        // F9 is the calculator elsewhere; in the diary's grid it is the monthly mode.
        QTest::keyClick(child<TDbGrid>(&diary(), "DBGLog"), Qt::Key_F9);
        QCOMPARE(log().state(), DatasetState::Edit);
        QVERIFY(child<QRadioButton>(&diary(), "DBRgLog2")->isChecked());
        QTest::keyClick(child<TDbGrid>(&diary(), "DBGLog"), Qt::Key_F7);
        QVERIFY(child<QRadioButton>(&diary(), "DBRgLog0")->isChecked());
        log().first(); // moving posts
        QCOMPARE(f.column(log(), "C"), (QStringList{"2", "0"}));
    }

    void keysWorkInsideACellEditor()
    {
        f.start(QDate(2026, 6, 15));
        QVERIFY(f.w->started());
        f.addEntry(1, QStringLiteral("позвонить"), QDate(2026, 6, 1), "0");
        QVERIFY(f.reopen());
        f.w->ShowView(3);
        TDbGrid& grid = *child<TDbGrid>(&diary(), "DBGLog");
        const QModelIndex note = grid.gridModel()->index(0, 1);
        grid.setCurrentIndex(note);
        grid.edit(note);
        auto* editor = grid.indexWidget(note);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_F9);
        QCOMPARE(log().fieldByName("C").asString(), QStringLiteral("2"));
        // A new entry not yet written is given up by "Удалить запись".
        child<QAction>(&diary(), "mpLogNew")->trigger();
        diary().PmLogPopup();
        QVERIFY(child<QAction>(&diary(), "mpLogDel")->isEnabled());
        f.prompts.confirms.enqueue(true);
        child<QAction>(&diary(), "mpLogDel")->trigger();
        QCOMPARE(log().state(), DatasetState::Browse);
        QCOMPARE(notes(), QStringList{"позвонить"});
    }

    void typedReminderDate()
    {
        f.start(QDate(2026, 6, 15));
        QVERIFY(f.w->started());
        f.addEntry(1, QStringLiteral("позвонить"), QDate(2026, 6, 1), "0");
        QVERIFY(f.reopen());
        f.w->ShowView(3);
        TDbGrid& grid = *child<TDbGrid>(&diary(), "DBGLog");
        const QModelIndex date = grid.gridModel()->index(0, 0);
        grid.setCurrentIndex(date);
        // An impossible date is refused with a message and changes nothing; a possible one is kept.
        for (const QString& typed : {QStringLiteral("31.06.2026"), QStringLiteral("20.06.2026")}) {
            grid.edit(date);
            auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(date));
            QVERIFY(editor);
            editor->selectAll();
            QTest::keyClicks(editor, typed);
            QTest::keyClick(editor, Qt::Key_Return);
            QTest::keyClick(&grid, Qt::Key_Return);
            QTRY_COMPARE(log().state(), DatasetState::Browse);
        }
        QCOMPARE(f.prompts.messages(), QStringList{"«31.06.2026» не является датой (поле «Когда»)"});
        QCOMPARE(log().fieldByName("Date_Remind").asDate(), ContactsFixture::day(QDate(2026, 6, 20)));
    }

    void emptyDiaryDisablesTheModes()
    {
        f.start(QDate(2026, 6, 15));
        QVERIFY(f.w->started());
        f.w->ShowView(3);
        diary().PmLogPopup();
        for (QAction* a : {child<QAction>(&diary(), "mpLogDel"), child<QAction>(&diary(), "mpLogEditDate"),
                           child<QAction>(&diary(), "mpLogNon"), child<QAction>(&diary(), "mpLogDate"),
                           child<QAction>(&diary(), "mpLogMonth"), child<QAction>(&diary(), "mpLogFindPerson"),
                           child<QAction>(&diary(), "mpLogFindFirm")})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(child<QAction>(&diary(), "mpLogNew")->isEnabled());
        QVERIFY(child<QAction>(&diary(), "mpLogNon")->isChecked());
        // A new entry: today, mode "0", its date kept pending until it is posted.
        child<QAction>(&diary(), "mpLogNew")->trigger();
        QCOMPARE(log().state(), DatasetState::Insert);
        QCOMPARE(log().fieldByName("C").asString(), QStringLiteral("0"));
        QCOMPARE(log().fieldByName("Date_Remind").asDate(), ContactsFixture::day(QDate(2026, 6, 15)));
        f.pickNext(QDate(2026, 7, 31));
        diary().DBGLogEditButtonClick();
        QCOMPARE(log().state(), DatasetState::Insert);
        log().fieldByName("Note").setAsString(QStringLiteral("отпуск"));
        QTest::keyClick(child<TDbGrid>(&diary(), "DBGLog"), Qt::Key_Return);
        QCOMPARE(log().state(), DatasetState::Browse);
        QCOMPARE(log().fieldByName("Dy").asInteger(), 31);
        f.prompts.confirms.enqueue(true);
        child<QAction>(&diary(), "mpLogDel")->trigger();
        QCOMPARE(f.prompts.asked.last(), QStringLiteral("confirm: Удалить запись в дневнике ?"));
        QCOMPARE(log().recordCount(), 0);
    }

    void findingThePersonAndTheFirm()
    {
        f.start(QDate(2026, 6, 15));
        QVERIFY(f.w->started());
        f.addFirm(1, QStringLiteral("Рынок"));
        f.addFirm(2, QStringLiteral("Аптека"));
        f.addPerson(1, QStringLiteral("Иванов И.И."));
        f.addPerson(2, QStringLiteral("Петров П.П."), QDate(1980, 6, 15));
        f.addEntry(1, QStringLiteral("зайти"), QDate(2026, 6, 1), "0", 1, 2);
        QVERIFY(f.reopen());
        f.w->ShowView(1);
        child<QToolButton>(&f.people(), "ButPerson")->click(); // only Петров is listed
        f.w->ShowView(3);
        diary().PmLogPopup();
        child<QAction>(&diary(), "mpLogFindPerson")->trigger();
        QCOMPARE(f.w->currentView(), View::People);
        QVERIFY(!child<QToolButton>(&f.people(), "ButPerson")->isChecked());
        QCOMPARE(f.dm().Tb_Person->fieldByName("Name").asString(), QStringLiteral("Иванов И.И."));
        f.w->ShowView(3);
        QTest::keyClick(child<TDbGrid>(&diary(), "DBGLog"), Qt::Key_F4);
        QCOMPARE(f.w->currentView(), View::Firms);
        QCOMPARE(f.dm().Tb_Firm->fieldByName("Firm").asString(), QStringLiteral("Аптека"));
    }

    // ---- the reminders of an opening ----

    void reminders_data()
    {
        QTest::addColumn<bool>("entry");
        QTest::addColumn<bool>("person");
        QTest::addColumn<bool>("member");
        QTest::addColumn<QString>("message");
        const QString both = QStringLiteral(
            "Во-первых, у кого-то день рождения! Загляните к людям!\r\nа,во-вторых, загляните в дневник - есть дело!");
        QTest::addRow("diary only") << true << false << false << "Загляните в дневник - есть дело!";
        QTest::addRow("family only") << false << false << true << "У кого-то день рождения! Загляните к людям!";
        QTest::addRow("person only") << false << true << false << "У кого-то день рождения! Загляните к людям!";
        QTest::addRow("both") << true << true << true << both;
        QTest::addRow("diary and family") << true << false << true << both;
        QTest::addRow("nothing") << false << false << false << "";
    }
    void reminders()
    {
        QFETCH(bool, entry);
        QFETCH(bool, person);
        QFETCH(bool, member);
        QFETCH(QString, message);
        const QDate today(2026, 6, 15);
        for (const bool barShown : {true, false}) {
            f.start(today);
            QVERIFY(f.w->started());
            f.addPerson(1, QStringLiteral("Иванов И.И."), person ? today : QDate(1970, 1, 1));
            f.addPerson(2, QStringLiteral("Петров П.П."));
            f.addMember(1, 1, QStringLiteral("Мария"), member ? today.addDays(1).addYears(-30) : QDate());
            f.addEntry(1, QStringLiteral("дело"), today.addDays(-7), entry ? "1" : "0");
            if (!barShown)
                f.w->action(QStringLiteral("mBar"))->trigger();
            QCOMPARE(child<QToolBar>(&*f.w, "TbMain")->isHidden(), !barShown);
            QVERIFY(f.reopen());
            QCOMPARE(f.w->diaryFlag(), entry);
            QCOMPARE(f.w->personFlag(), person);
            QCOMPARE(f.w->familyFlag(), member);
            QCOMPARE(child<dorv::TStartupReminders>(&*f.w, "StartupReminders")->message, message);
            QCOMPARE(child<QTimer>(&*f.w, "Tm")->isActive(), entry || person || member);
            QCOMPARE(child<QTimer>(&*f.w, "Tm")->interval(), 500);
            QCOMPARE(f.prompts.messages(), barShown || message.isEmpty() ? QStringList() : QStringList{message});
            // After the step: the filters off with their texts kept, the family of the current
            // person listed, the money page shown.
            QCOMPARE(f.w->currentView(), View::Money);
            QVERIFY(!log().filtered());
            QVERIFY(!log().filter().isEmpty());
            QVERIFY(!f.dm().Tb_Person->filtered());
            QVERIFY(!child<QToolButton>(&f.diary(), "ButLogFilt")->isChecked());
            QVERIFY(!child<QToolButton>(&f.people(), "ButFamily")->isChecked());
            QCOMPARE(f.dm().Tb_Family->filter(),
                     familyFilterText(f.dm().Tb_Person->fieldByName(QStringLiteral("Id_Person")).value()));
        }
    }

    void flashingStops()
    {
        const QDate today(2026, 6, 15);
        f.start(today);
        QVERIFY(f.w->started());
        f.addPerson(1, QStringLiteral("Иванов И.И."), today.addDays(1));
        f.addMember(1, 1, QStringLiteral("Мария"), today);
        f.addEntry(1, QStringLiteral("дело"), today, "1");
        QVERIFY(f.reopen());
        QToolButton* butLog = child<QToolButton>(&*f.w, "ButLog");
        QToolButton* butFace = child<QToolButton>(&*f.w, "ButFace");
        auto tick = [&] { child<dorv::TStartupReminders>(&*f.w, "StartupReminders")->TmTimer(); };
        tick();
        QVERIFY(butLog->property("Marked").toBool());
        QVERIFY(butFace->property("Marked").toBool());
        tick();
        QVERIFY(!butLog->property("Marked").toBool());
        QVERIFY(!butFace->property("Marked").toBool());
        // Pressed on another page, the buttons clear nothing.
        child<QToolButton>(&f.people(), "ButPerson")->click();
        child<QToolButton>(&f.diary(), "ButLogFilt")->click();
        child<QToolButton>(&f.diary(), "ButLogFilt")->click();
        QVERIFY(f.w->personFlag() && f.w->diaryFlag());
        // The diary's own button on its page stops ButLog; raising it again does not restart it.
        f.w->ShowView(3);
        child<QToolButton>(&f.diary(), "ButLogFilt")->click();
        QVERIFY(!f.w->diaryFlag());
        child<QToolButton>(&f.diary(), "ButLogFilt")->click();
        QVERIFY(!f.w->diaryFlag());
        tick();
        QVERIFY(!butLog->property("Marked").toBool());
        QVERIFY(butFace->property("Marked").toBool());
        // The persons' button alone leaves ButFace flashing for the family member.
        f.w->ShowView(1);
        if (child<QToolButton>(&f.people(), "ButPerson")->isChecked())
            child<QToolButton>(&f.people(), "ButPerson")->click();
        child<QToolButton>(&f.people(), "ButPerson")->click();
        QVERIFY(!f.w->personFlag());
        QVERIFY(f.w->familyFlag());
        QVERIFY(child<QTimer>(&*f.w, "Tm")->isActive());
        child<QToolButton>(&f.people(), "ButFamily")->click();
        QVERIFY(!f.w->familyFlag());
        QVERIFY(child<QTimer>(&*f.w, "Tm")->isActive());
        tick();
        QVERIFY(!butLog->property("Marked").toBool());
        QVERIFY(!butFace->property("Marked").toBool());
        QVERIFY(!child<QTimer>(&*f.w, "Tm")->isActive());
    }

    void closingUnmarksTheButtons()
    {
        const QDate today(2026, 6, 15);
        f.start(today);
        QVERIFY(f.w->started());
        f.addEntry(1, QStringLiteral("дело"), today, "1");
        QVERIFY(f.reopen());
        child<dorv::TStartupReminders>(&*f.w, "StartupReminders")->TmTimer();
        QVERIFY(child<QToolButton>(&*f.w, "ButLog")->property("Marked").toBool());
        QVERIFY(f.w->CloseDataFile());
        QVERIFY(!child<QToolButton>(&*f.w, "ButLog")->property("Marked").toBool());
        QVERIFY(!child<QTimer>(&*f.w, "Tm")->isActive());
    }
};

QTEST_MAIN(TestDiary)
#include "tst_diary.moc"
