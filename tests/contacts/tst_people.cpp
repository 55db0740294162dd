#include "ContactsFixture.h"
#include "contacts/ContactFilters.h"
#include "data/TableModel.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QtTest>

using namespace dorv;

// The people page with the families under it, and the firms page with their workers.
class TestPeople : public QObject {
    Q_OBJECT
    ContactsFixture f;

    TPeopleView& people() { return f.people(); }
    Table& persons() { return *f.dm().Tb_Person; }
    Table& family() { return *f.dm().Tb_Family; }
    QStringList names(Table& t) { return f.column(t, QStringLiteral("Name")); }
    void startWithPeople(const QDate& today)
    {
        f.start(today);
        QVERIFY(f.w->started());
        f.addPerson(1, QStringLiteral("Иванов И.И."), QDate(1970, 5, 3));
        f.addPerson(2, QStringLiteral("Петров П.П."));
        f.addMember(1, 1, QStringLiteral("Мария"), QDate(1972, 8, 9));
        f.addMember(2, 1, QStringLiteral("Олег"));
        f.addMember(3, 2, QStringLiteral("Анна"), QDate(1999, 1, 2));
        QVERIFY(f.reopen());
    }
    void click(QToolButton* b) { b->click(); }

private slots:
    void cleanup() { f.stop(); }

    void birthdayPairs_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("filter");
        QTest::addRow("29 February counts as the 28th")
            << QDate(2000, 2, 29) << "(Dy='28' and Mn='2') or (Dy='1' and Mn='3')";
        QTest::addRow("28 February of a leap year")
            << QDate(2004, 2, 28) << "(Dy='28' and Mn='2') or (Dy='29' and Mn='2')";
        QTest::addRow("31 December") << QDate(2026, 12, 31) << "(Dy='31' and Mn='12') or (Dy='1' and Mn='1')";
        QTest::addRow("an ordinary day") << QDate(2026, 6, 9) << "(Dy='9' and Mn='6') or (Dy='10' and Mn='6')";
    }
    void birthdayPairs()
    {
        QFETCH(QDate, today);
        QFETCH(QString, filter);
        QCOMPARE(birthdayFilterText(birthdayPairsOf(today)), filter);
        QCOMPARE(familyFilterText(QVariant(7)), QStringLiteral("id_person='7'"));
        QCOMPARE(familyFilterText(QVariant()), QStringLiteral("id_person=null"));
    }

    // Whose birthday the buttons list, and which rows are highlighted, by the day the program started.
    void birthdaysListed_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("listed");
        QTest::addRow("29 February 2000") << QDate(2000, 2, 29) << QStringList{"Двадцать восьмое", "Первое марта"};
        QTest::addRow("28 February 2004, leap")
            << QDate(2004, 2, 28) << QStringList{"Двадцать восьмое", "Двадцать девятое"};
        QTest::addRow("28 February 2001, common")
            << QDate(2001, 2, 28) << QStringList{"Двадцать восьмое", "Первое марта"};
        QTest::addRow("31 December") << QDate(2026, 12, 31) << QStringList{"Новогодний", "Последний"};
    }
    void birthdaysListed()
    {
        QFETCH(QDate, today);
        QFETCH(QStringList, listed);
        f.start(today);
        QVERIFY(f.w->started());
        f.addPerson(1, QStringLiteral("Двадцать восьмое"), QDate(1970, 2, 28));
        f.addPerson(2, QStringLiteral("Первое марта"), QDate(1980, 3, 1));
        f.addPerson(3, QStringLiteral("Двадцать девятое"), QDate(1972, 2, 29));
        f.addPerson(4, QStringLiteral("Последний"), QDate(1990, 12, 31));
        f.addPerson(5, QStringLiteral("Новогодний"), QDate(1991, 1, 1));
        f.addPerson(6, QStringLiteral("Без даты"));
        for (int i = 1; i <= 6; ++i)
            f.addMember(i, i, QStringLiteral("Член %1").arg(i), i == 6 ? QDate() : QDate(2000, 1, 1));
        QVERIFY(f.reopen());
        f.w->ShowView(1);
        click(child<QToolButton>(&people(), "ButPerson"));
        QVERIFY(persons().filtered());
        QStringList shown = names(persons());
        std::sort(shown.begin(), shown.end());
        std::sort(listed.begin(), listed.end());
        QCOMPARE(shown, listed);
        // The same rule paints the rows: every listed one, and never one without a birthday.
        click(child<QToolButton>(&people(), "ButPerson"));
        for (int r = 0; r < persons().recordCount(); ++r) {
            const QString name = persons().valueAt(r, persons().fieldByName("Name")).toString();
            const bool marked =
                child<TDbGrid>(&people(), "DBGPerson")->rowColours(r, false).background == QColor(210, 255, 210);
            QVERIFY2(marked == listed.contains(name), qPrintable(name));
        }
    }

    void deleteDateClearsTheDayAndTheHighlight()
    {
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        QVERIFY(persons().locate("Id_Person", 1));
        const int row = persons().currentRow();
        QCOMPARE(child<TDbGrid>(&people(), "DBGPerson")->rowColours(row, false).background, QColor(210, 255, 210));
        people().setMenuGrid(child<TDbGrid>(&people(), "DBGPerson"));
        people().PmPersonPopup();
        QVERIFY(child<QAction>(&people(), "mpPersonDelDate")->isEnabled());
        child<QAction>(&people(), "mpPersonDelDate")->trigger();
        QCOMPARE(persons().state(), DatasetState::Browse);
        for (const char* field : {"Birthday", "Dy", "Mn"})
            QVERIFY2(persons().fieldByName(field).isNull(), field);
        QVERIFY(child<TDbGrid>(&people(), "DBGPerson")->rowColours(persons().currentRow(), false).background
                != QColor(210, 255, 210));
        QVERIFY(!f.dm().DataSaved);
        people().PmPersonPopup();
        QVERIFY(!child<QAction>(&people(), "mpPersonDelDate")->isEnabled());
    }

    void popupFollowsItsGrid()
    {
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        people().setMenuGrid(child<TDbGrid>(&people(), "DBGPerson"));
        people().PmPersonPopup();
        QCOMPARE(child<QAction>(&people(), "mpPersonNew")->text(), QStringLiteral("&Добавить человека  Ins"));
        QCOMPARE(child<QAction>(&people(), "mpPersonDel")->text(), QStringLiteral("&Убрать человека    Ctrl+Del"));
        QVERIFY(!child<QAction>(&people(), "mpPersonFindPer")->isVisible());
        child<TDbGrid>(&people(), "DBGFamily")->setFocus(); // the grid with the focus is the one the popup acts on
        people().PmPersonPopup();
        QCOMPARE(child<QAction>(&people(), "mpPersonNew")->text(), QStringLiteral("&Добавить родственника  Ins"));
        QCOMPARE(child<QAction>(&people(), "mpPersonDel")->text(), QStringLiteral("&Убрать родственника    Ctrl+Del"));
        QVERIFY(child<QAction>(&people(), "mpPersonFindPer")->isVisible());
        QVERIFY(child<QAction>(&people(), "mpPersonFindPer")->isEnabled());
        // The family follows the current person.
        QVERIFY(persons().locate("Id_Person", 2));
        QCOMPARE(names(family()), QStringList{"Анна"});
        QVERIFY(persons().locate("Id_Person", 1));
        QCOMPARE(names(family()), (QStringList{"Мария", "Олег"}));
        QCOMPARE(family().filter(), QStringLiteral("id_person='1'"));
    }

    void familyMemberNeedsAPerson()
    {
        f.start(QDate(2026, 5, 3));
        QVERIFY(f.w->started());
        f.w->ShowView(1);
        people().setMenuGrid(child<TDbGrid>(&people(), "DBGFamily"));
        people().PmPersonPopup();
        QVERIFY(!child<QAction>(&people(), "mpPersonNew")->isEnabled());
        // Even forced, the member cannot be posted: Enter drops it without a word.
        family().insert();
        family().fieldByName("Name").setAsString(QStringLiteral("Сирота"));
        QTest::keyClick(child<TDbGrid>(&people(), "DBGFamily"), Qt::Key_Return);
        QCOMPARE(family().state(), DatasetState::Browse);
        QVERIFY(f.prompts.messages().isEmpty());
        QCOMPARE(family().recordCount(), 0);
    }

    void memberBelongsToThePersonCurrentAtPost()
    {
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        QVERIFY(persons().locate("Id_Person", 2));
        people().setMenuGrid(child<TDbGrid>(&people(), "DBGFamily"));
        child<QAction>(&people(), "mpPersonNew")->trigger();
        QCOMPARE(family().state(), DatasetState::Insert);
        QTest::keyClick(child<TDbGrid>(&people(), "DBGFamily"), Qt::Key_Return);
        QCOMPARE(family().state(), DatasetState::Browse);
        QCOMPARE(names(family()), (QStringList{"Анна", "Потом запишу..."}));
        QCOMPARE(family().fieldByName("Id_Person").asInteger(), 2);
    }

    void birthdayModeAcrossFamiliesAndFindingTheAncestor()
    {
        startWithPeople(QDate(2026, 8, 8)); // Мария's birthday is tomorrow
        f.w->ShowView(1);
        QVERIFY(persons().locate("Id_Person", 2));
        click(child<QToolButton>(&people(), "ButPerson"));
        QVERIFY(persons().filtered());
        click(child<QToolButton>(&people(), "ButFamily"));
        QVERIFY(!child<QToolButton>(&people(), "ButPerson")->isChecked());
        QVERIFY(!persons().filtered());
        QCOMPARE(names(family()), QStringList{"Мария"});
        // Moving among the persons keeps the due members of all families listed.
        persons().first();
        persons().next();
        QCOMPARE(names(family()), QStringList{"Мария"});
        people().setMenuGrid(child<TDbGrid>(&people(), "DBGFamily"));
        people().PmPersonPopup();
        QVERIFY(child<QAction>(&people(), "mpPersonFindPer")->isEnabled());
        child<QAction>(&people(), "mpPersonFindPer")->trigger();
        QCOMPARE(persons().fieldByName("Id_Person").asInteger(), 1);
        click(child<QToolButton>(&people(), "ButFamily"));
        QCOMPARE(names(family()), (QStringList{"Мария", "Олег"}));
    }

    void pickingADate()
    {
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        QVERIFY(persons().locate("Id_Person", 2));
        // An existing row stores the date at once, with its day and month.
        f.pickNext(QDate(1985, 7, 14));
        emit child<TDbGrid>(&people(), "DBGPerson")->editButtonClicked();
        QCOMPARE(persons().state(), DatasetState::Browse);
        QCOMPARE(persons().fieldByName("Birthday").asDate(), ContactsFixture::day(QDate(1985, 7, 14)));
        QCOMPARE(persons().fieldByName("Dy").asInteger(), 14);
        QCOMPARE(persons().fieldByName("Mn").asInteger(), 7);
        // Cancelled, nothing changes.
        f.pickNext(QDate());
        emit child<TDbGrid>(&people(), "DBGPerson")->editButtonClicked();
        QCOMPARE(persons().fieldByName("Birthday").asDate(), ContactsFixture::day(QDate(1985, 7, 14)));
        // A row being added keeps the date pending until it is posted.
        people().setMenuGrid(child<TDbGrid>(&people(), "DBGPerson"));
        child<QAction>(&people(), "mpPersonNew")->trigger();
        persons().fieldByName("Name").setAsString(QStringLiteral("Новиков Н.Н."));
        f.pickNext(QDate(1990, 3, 1));
        people().PmPersonPopup();
        QVERIFY(!child<QAction>(&people(), "mpPersonEditDate")
                     ->isEnabled()); // the menu waits for the row; the button does not
        emit child<TDbGrid>(&people(), "DBGPerson")->editButtonClicked();
        QCOMPARE(persons().state(), DatasetState::Insert);
        QCOMPARE(persons().fieldByName("Birthday").asDate(), ContactsFixture::day(QDate(1990, 3, 1)));
        QTest::keyClick(child<TDbGrid>(&people(), "DBGPerson"), Qt::Key_Return);
        QCOMPARE(persons().state(), DatasetState::Browse);
        QCOMPARE(persons().fieldByName("Mn").asInteger(), 3);
        // The picker opens on the row's date.
        QDate opened;
        f.prompts.modals.enqueue([&opened](QDialog* d) {
            opened = d->findChild<QCalendarWidget*>(QStringLiteral("Dt"))->selectedDate();
            return int(QDialog::Rejected);
        });
        emit child<TDbGrid>(&people(), "DBGPerson")->editButtonClicked();
        QCOMPARE(opened, QDate(1990, 3, 1));
    }

    void enterPostsOrDrops_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<QString>("message");
        QTest::addRow("a name") << "Орлов О.О." << true << "";
        QTest::addRow("no name") << "" << false << "";
        QTest::addRow("only blanks") << "   " << false << "";
        QTest::addRow("a character the file cannot hold")
            << "Орлов 😀" << false << "Поле «Фамилия И.О.»: символ «😀» не может быть сохранён";
    }
    void enterPostsOrDrops()
    {
        QFETCH(QString, name);
        QFETCH(bool, kept);
        QFETCH(QString, message);
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        const int before = persons().recordCount();
        QTest::keyClick(child<TDbGrid>(&people(), "DBGPerson"), Qt::Key_Insert);
        QCOMPARE(persons().state(), DatasetState::Insert);
        persons().fieldByName("Name").setAsString(name);
        f.prompts.asked.clear();
        QTest::keyClick(child<TDbGrid>(&people(), "DBGPerson"), Qt::Key_Return);
        QCOMPARE(persons().recordCount(), before + (kept ? 1 : 0));
        QCOMPARE(f.prompts.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        // What cannot be stored is still there to be put right; what has no name is gone.
        QCOMPARE(persons().state(), message.isEmpty() ? DatasetState::Browse : DatasetState::Insert);
    }

    void typingInTheGridAndEnter()
    {
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        TDbGrid& grid = *child<TDbGrid>(&people(), "DBGPerson");
        QTest::keyClick(&grid, Qt::Key_Insert);
        const QModelIndex cell = grid.gridModel()->index(grid.currentIndex().row(), 0);
        grid.setCurrentIndex(cell);
        grid.edit(cell);
        auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(cell));
        QVERIFY(editor);
        QCOMPARE(editor->maxLength(), 30);
        QTest::keyClicks(editor, QStringLiteral("Orlov O.O."));
        QCOMPARE(persons().fieldByName("Name").asString(), QStringLiteral("Orlov O.O."));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(persons().state(), DatasetState::Browse);
        QCOMPARE(persons().recordCount(), 3);
        // The birthday column's button opens the picker (a typed date: typedBirthday).
        const QModelIndex date = grid.gridModel()->index(grid.currentIndex().row(), 1);
        grid.setCurrentIndex(date);
        QVERIFY(grid.ellipsisButton() && !grid.ellipsisButton()->isHidden());
        QCOMPARE(grid.ellipsisButton()->objectName(), QStringLiteral("DBGPersonEllipsis"));
        f.pickNext(QDate(1977, 5, 4));
        grid.ellipsisButton()->click();
        QCOMPARE(persons().fieldByName("Dy").asInteger(), 4);
        // Esc gives up a change.
        grid.edit(cell);
        editor = qobject_cast<QLineEdit*>(grid.indexWidget(cell));
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("X"));
        QCOMPARE(persons().state(), DatasetState::Edit);
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_COMPARE(persons().state(), DatasetState::Browse);
        QCOMPARE(persons().fieldByName("Name").asString(), QStringLiteral("Orlov O.O."));
    }

    void typedBirthday_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("stored");
        QTest::addColumn<QString>("message");
        QTest::addRow("a date") << "04.05.1977" << QDate(1977, 5, 4) << "";
        QTest::addRow("a leap day") << "29.02.1976" << QDate(1976, 2, 29) << "";
        QTest::addRow("30 February") << "30.02.1977" << QDate(1970, 5, 3)
                                     << "«30.02.1977» не является датой (поле «Дата рождения»)";
        QTest::addRow("29 February of a common year")
            << "29.02.1977" << QDate(1970, 5, 3) << "«29.02.1977» не является датой (поле «Дата рождения»)";
        QTest::addRow("month 13") << "01.13.1977" << QDate(1970, 5, 3)
                                  << "«01.13.1977» не является датой (поле «Дата рождения»)";
        QTest::addRow("no year") << "31.12" << QDate(1970, 5, 3) << "«31.12» не является датой (поле «Дата рождения»)";
    }
    void typedBirthday()
    {
        QFETCH(QString, typed);
        QFETCH(QDate, stored);
        QFETCH(QString, message);
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        TDbGrid& grid = *child<TDbGrid>(&people(), "DBGPerson");
        QVERIFY(persons().locate("Id_Person", 1));
        const QModelIndex date = grid.gridModel()->index(grid.currentIndex().row(), 1);
        QCOMPARE(grid.gridModel()->fieldAt(1)->name(), QStringLiteral("Birthday"));
        grid.setCurrentIndex(date);
        grid.edit(date);
        auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(date));
        QVERIFY(editor);
        f.prompts.asked.clear();
        editor->selectAll();
        QTest::keyClicks(editor, typed);
        // Nothing is said while the date is still being typed.
        QVERIFY(f.prompts.messages().isEmpty());
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClick(&grid, Qt::Key_Return);
        QCOMPARE(f.prompts.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QTRY_COMPARE(persons().state(), DatasetState::Browse);
        QVERIFY(persons().locate("Id_Person", 1));
        QCOMPARE(persons().fieldByName("Birthday").asDate(), ContactsFixture::day(stored));
        QCOMPARE(persons().fieldByName("Dy").asInteger(), stored.day());
        QCOMPARE(persons().fieldByName("Mn").asInteger(), stored.month());
    }

    void gridDeleteKeyAsksFirst()
    {
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        QVERIFY(persons().locate("Id_Person", 2));
        family().first();
        QTest::keyClick(child<TDbGrid>(&people(), "DBGFamily"), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.prompts.asked.last(), QStringLiteral("confirm: Удалить запись ?"));
        QCOMPARE(family().recordCount(), 1);
        f.prompts.confirms.enqueue(true);
        QTest::keyClick(child<TDbGrid>(&people(), "DBGFamily"), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(family().recordCount(), 0);
    }

    void deletingAReferredPersonIsRefused()
    {
        startWithPeople(QDate(2026, 5, 3));
        f.exec("INSERT INTO TB_LOG (Date_Create, Date_Remind, Note, Id_Person, C, Dy) VALUES (1, 1, 'x', 1, '0', 1)");
        f.w->ShowView(1);
        QVERIFY(persons().locate("Id_Person", 1));
        people().setMenuGrid(child<TDbGrid>(&people(), "DBGPerson"));
        f.prompts.confirms.enqueue(true);
        f.prompts.asked.clear();
        child<QAction>(&people(), "mpPersonDel")->trigger();
        QCOMPARE(f.prompts.messages(), QStringList{"Есть члены семьи!"});
        QCOMPARE(persons().recordCount(), 2);
        QCOMPARE(persons().fieldByName("Id_Person").asInteger(), 1);
    }

    void familyFollowsWhateverMakesAPersonCurrent()
    {
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        // A new person posted becomes current: the family shown is its own (none yet).
        QVERIFY(persons().locate("Id_Person", 1));
        QCOMPARE(names(family()), (QStringList{"Мария", "Олег"}));
        QTest::keyClick(child<TDbGrid>(&people(), "DBGPerson"), Qt::Key_Insert);
        persons().fieldByName("Name").setAsString(QStringLiteral("Антонов А.А."));
        QTest::keyClick(child<TDbGrid>(&people(), "DBGPerson"), Qt::Key_Return);
        QCOMPARE(persons().fieldByName("Name").asString(), QStringLiteral("Антонов А.А."));
        QCOMPARE(names(family()), QStringList());
        // A member added while the person is still being added waits for the person to be posted.
        QTest::keyClick(child<TDbGrid>(&people(), "DBGPerson"), Qt::Key_Insert);
        persons().fieldByName("Name").setAsString(QStringLiteral("Борисов Б.Б."));
        people().setMenuGrid(child<TDbGrid>(&people(), "DBGFamily"));
        child<QAction>(&people(), "mpPersonNew")->trigger();
        QCOMPARE(persons().state(), DatasetState::Browse);
        QTest::keyClick(child<TDbGrid>(&people(), "DBGFamily"), Qt::Key_Return);
        QVERIFY(family().fieldByName("Id_Person").asInteger() > 2);
        QCOMPARE(family().fieldByName("Pers").asString(), QStringLiteral("Борисов Б.Б."));
        // Deleting a person moves to the next one, whose family shows.
        QVERIFY(persons().locate("Name", QStringLiteral("Антонов А.А.")));
        f.prompts.confirms.enqueue(true);
        people().setMenuGrid(child<TDbGrid>(&people(), "DBGPerson"));
        child<QAction>(&people(), "mpPersonDel")->trigger();
        QCOMPARE(family().filter(), familyFilterText(persons().fieldByName("Id_Person").value()));
    }

    void openingKeepsThePersonButton()
    {
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        click(child<QToolButton>(&people(), "ButPerson"));
        QVERIFY(f.reopen());
        QVERIFY(child<QToolButton>(&people(), "ButPerson")->isChecked());
        QVERIFY(!persons().filtered()); // applied when the page is entered
        f.w->ShowView(1);
        QVERIFY(persons().filtered());
    }

    void personFilterOnlyOnThePeoplePage()
    {
        startWithPeople(QDate(2026, 5, 3));
        f.w->ShowView(1);
        click(child<QToolButton>(&people(), "ButPerson"));
        QVERIFY(persons().filtered());
        QCOMPARE(persons().recordCount(), 1);
        for (int view : {0, 2, 3}) {
            f.w->ShowView(view);
            QVERIFY2(!persons().filtered(), qPrintable(QString::number(view)));
            QCOMPARE(persons().recordCount(), 2);
        }
        f.w->ShowView(1);
        QVERIFY(persons().filtered());
        QVERIFY(child<QToolButton>(&people(), "ButPerson")->isChecked());
    }

    // ---- firms ----

    void firmDeleteRefused_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("message");
        QTest::addRow("a person works there") << "UPDATE TB_PERSON SET Id_Firm = 1 WHERE Id_Person = 1"
                                              << "Есть ссылки в персональном справочнике!";
        QTest::addRow("a diary entry names it")
            << "INSERT INTO TB_LOG (Date_Create, Date_Remind, Note, Id_firm, C, Dy) VALUES (1, 1, 'x', 1, '0', 1)"
            << "Есть ссылки в дневнике!";
        QTest::addRow("an operation names it")
            << "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, Level1, ID_Firm) VALUES (1, 1, 1, "
               "'1', 5, 0, 1)"
            << "Есть связи в истории!";
    }
    void firmDeleteRefused()
    {
        QFETCH(QString, reference);
        QFETCH(QString, message);
        f.start(QDate(2026, 5, 3));
        QVERIFY(f.w->started());
        f.addPerson(1, QStringLiteral("Иванов И.И."));
        f.addFirm(1, QStringLiteral("Пятёрочка"));
        f.exec(reference);
        QVERIFY(f.reopen());
        f.w->ShowView(2);
        f.firms().PmFirmPopup();
        QVERIFY(child<QAction>(&f.firms(), "mpFirmDel")->isEnabled());
        f.prompts.confirms.enqueue(true);
        child<QAction>(&f.firms(), "mpFirmDel")->trigger();
        QCOMPARE(f.prompts.messages(), QStringList{message});
        QCOMPARE(f.dm().Tb_Firm->recordCount(), 1);
    }

    void workersPaneAndOpeningAWorker()
    {
        f.start(QDate(2026, 5, 3));
        QVERIFY(f.w->started());
        f.addFirm(1, QStringLiteral("НИИ"));
        f.addFirm(2, QStringLiteral("Рынок"));
        f.addFirm(3, QStringLiteral("Пустая"));
        f.addPerson(1, QStringLiteral("Иванов И.И."), QDate(1970, 5, 3), 1);
        f.addPerson(2, QStringLiteral("Петров П.П."), {}, 1);
        f.addPerson(3, QStringLiteral("Сидоров С.С."), {}, 2);
        QVERIFY(f.reopen());
        f.w->ShowView(2);
        TFirmsView& firms = f.firms();
        QVERIFY(child<TDbGrid>(&firms, "DBGPers_Firm")->isHidden());
        click(child<QToolButton>(&firms, "ButPers_Firm"));
        QVERIFY(!child<TDbGrid>(&firms, "DBGPers_Firm")->isHidden());
        Query& pane = *f.dm().QPers_Firm;
        QCOMPARE(f.column(pane, "Name"), (QStringList{"Иванов И.И.", "Петров П.П."}));
        QVERIFY(f.dm().Tb_Firm->locate("Id_Firm", 2));
        QCOMPARE(f.column(pane, "Name"), QStringList{"Сидоров С.С."});
        // An empty pane: a double click does nothing.
        QVERIFY(f.dm().Tb_Firm->locate("Id_Firm", 3));
        QCOMPARE(pane.recordCount(), 0);
        firms.DBGPers_FirmDblClick();
        QCOMPARE(f.w->currentView(), View::Firms);
        // A worker opens on the people page, even when its birthday filter hid them.
        f.w->ShowView(1);
        click(child<QToolButton>(&people(), "ButPerson"));
        QCOMPARE(persons().recordCount(), 1);
        f.w->ShowView(2);
        QVERIFY(f.dm().Tb_Firm->locate("Id_Firm", 1));
        pane.last();
        QTest::keyClick(child<TDbGrid>(&firms, "DBGPers_Firm"), Qt::Key_Return);
        QCOMPARE(f.w->currentView(), View::People);
        QVERIFY(!child<QToolButton>(&people(), "ButPerson")->isChecked());
        QVERIFY(!persons().filtered());
        QCOMPARE(persons().fieldByName("Name").asString(), QStringLiteral("Петров П.П."));
        click(child<QToolButton>(&firms, "ButPers_Firm"));
        QVERIFY(!pane.active());
        QVERIFY(child<TDbGrid>(&firms, "DBGPers_Firm")->isHidden());
    }

    void placeOfWorkIsPickedFromTheFirms()
    {
        f.start(QDate(2026, 5, 3));
        QVERIFY(f.w->started());
        f.addFirm(1, QStringLiteral("Рынок"));
        f.addFirm(2, QStringLiteral("Аптека"));
        f.addPerson(1, QStringLiteral("Иванов И.И."));
        QVERIFY(f.reopen());
        f.w->ShowView(1);
        TDbGrid& grid = *child<TDbGrid>(&people(), "DBGPerson");
        const TDbGrid::PickList list = grid.pickList(4);
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(1).second, QStringLiteral("Аптека"));
        TableModel& model = *grid.gridModel();
        QVERIFY(model.flags(model.index(0, 4)) & Qt::ItemIsEditable);
        QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable); // the birthday: typed, or the picker
        QVERIFY(model.setData(model.index(0, 4), 2, TableModel::KeyRole));
        QCOMPARE(persons().fieldByName("Firm").asString(), QStringLiteral("Аптека"));
        QTest::keyClick(&grid, Qt::Key_Return);
        QCOMPARE(persons().state(), DatasetState::Browse);
        QCOMPARE(persons().fieldByName("Id_Firm").asInteger(), 2);
    }

    // Ins, a text typed into the first editable cell and Enter in a grid whose list is empty: the
    // keyboard stays in the grid, on the row just posted, so that Ins works again at once.
    void focusStaysAfterTheFirstRowOfAnEmptyList_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<QString>("gridName");
        QTest::addColumn<int>("column");
        QTest::addRow("firms") << 2 << "DBGFirm" << 0;
        QTest::addRow("people") << 1 << "DBGPerson" << 0;
        QTest::addRow("a family") << 1 << "DBGFamily" << 0;
        QTest::addRow("the diary") << 3 << "DBGLog" << 1;
    }
    void focusStaysAfterTheFirstRowOfAnEmptyList()
    {
        QFETCH(int, view);
        QFETCH(QString, gridName);
        QFETCH(int, column);
        f.start(QDate(2026, 5, 3));
        QVERIFY(f.w->started());
        if (gridName == "DBGFamily") {
            // A person without a family yet.
            f.addPerson(1, QStringLiteral("Иванов И.И."));
            QVERIFY(f.reopen());
        }
        f.w->show();
        QApplication::setActiveWindow(f.w.get());
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        f.w->ShowView(view);
        auto* grid = f.w->findChild<TDbGrid*>(gridName);
        QVERIFY(grid);
        Dataset& table = *grid->gridModel()->dataset();
        QCOMPARE(table.recordCount(), 0);
        grid->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), grid);

        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(table.state(), DatasetState::Insert);
        // Typing into the current cell opens its editor, as it does for the user.
        grid->setCurrentIndex(grid->gridModel()->index(grid->currentIndex().row(), column));
        QTest::keyClick(grid, Qt::Key_F);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("irst"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(table.state(), DatasetState::Browse);
        QCOMPARE(table.recordCount(), 1);
        QVERIFY(f.prompts.messages().isEmpty());

        // The closed editor is gone, as it is once the event loop has run.
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QWidget* focused = QApplication::focusWidget();
        QVERIFY2(focused && focused->isVisible() && (focused == grid || grid->isAncestorOf(focused)),
                 qPrintable(QStringLiteral("the focus is on %1").arg(focused ? focused->objectName() : "nothing")));
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(table.currentRow(), 0);
        // The grid's own keys work again.
        QTest::keyClick(focused, Qt::Key_Insert);
        QCOMPARE(table.state(), DatasetState::Insert);
    }
};

QTEST_MAIN(TestPeople)
#include "tst_people.moc"
