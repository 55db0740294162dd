#include "data/Database.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/ZipArchive.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "support/TemplateDb.h"

using namespace dorv;

class TestDm : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TDm> dm;
    QStringList messages;
    bool expense = true;

    // A second working folder unpacked from the template built into the program.
    QString secondFolder()
    {
        auto d = std::make_unique<QTemporaryDir>();
        if (!unpackTemplate(d->path()))
            qFatal("no template");
        const QString path = d->path();
        extraDirs.push_back(std::move(d));
        return path;
    }
    std::vector<std::unique_ptr<QTemporaryDir>> extraDirs;

    void openAll(const QString& folder)
    {
        dm->ResetCounters();
        dm->BindDatabaseName(folder);
        for (Table* t : dm->tables())
            t->open();
        dm->DataSaved = true;
    }
    void closeAll()
    {
        for (Dataset* d : dm->datasets())
            d->close();
    }
    int addPerson(const QString& name, QVariant birthday = {})
    {
        Table& p = *dm->Tb_Person;
        p.insert();
        p.fieldByName("Name").setValue(name);
        p.fieldByName("Birthday").setValue(birthday);
        p.post();
        return int(p.fieldByName("Id_Person").asInteger());
    }
    int addFirm(const QString& name)
    {
        Table& f = *dm->Tb_Firm;
        f.insert();
        f.fieldByName("Firm").setValue(name);
        f.post();
        return int(f.fieldByName("Id_Firm").asInteger());
    }
    int addAccount(const QString& name, double rest = 0)
    {
        Table& a = *dm->Tb_Account;
        a.insert();
        a.fieldByName("Account").setValue(name);
        a.fieldByName("Currency").setValue("руб");
        a.fieldByName("Rest").setValue(rest);
        a.post();
        return int(a.fieldByName("Id_Account").asInteger());
    }
    void exec(const QString& sql) { Database::acquire(dir->path())->exec(sql); }
    QStringList column(Table& t, const QString& field)
    {
        QStringList out;
        for (t.first(); !t.eof(); t.next())
            out << t.fieldByName(field).asString();
        return out;
    }

private slots:
    void initTestCase() { qRegisterMetaType<dorv::Field*>(); }
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(unpackTemplate(dir->path()));
        dm = std::make_unique<TDm>();
        dm->inform = [this](const QString& m) { messages << m; };
        dm->expenseMode = [this] { return expense; };
        dm->workDate = [] { return 40000; };
        messages.clear();
        expense = true;
        openAll(dir->path());
    }
    void cleanup()
    {
        dm.reset();
        extraDirs.clear();
        dir.reset();
        Clock::unpin();
    }

    void templateHoldsOnlyTheTransferItem()
    {
        for (Table* t : dm->tables()) {
            if (t == dm->Tb_Items)
                continue;
            QVERIFY2(t->isEmpty(), qPrintable(t->name()));
        }
        Table& it = *dm->Tb_Items;
        QCOMPARE(it.recordCount(), 1);
        QCOMPARE(it.fieldByName("ID_ITM").asInteger(), -1);
        QCOMPARE(it.fieldByName("ITM").asString(), QString("ПЕРЕВОД"));
        QVERIFY(it.fieldByName("ID_REF").isNull());
        QCOMPARE(it.fieldByName("LEV").asInteger(), 0);
        QCOMPARE(it.fieldByName("C").asString(), QString("-"));
        QVERIFY(it.fieldByName("S").isNull());
    }

    void fieldObjectsInDisplayOrder_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("fields");
        QTest::addRow("history") << "Tb_Hist"
                                 << QStringList{"Id_Account", "Date_Real",   "Category",    "Item",   "Article",
                                                "Dt",         "Ct",          "Price",       "Person", "Firm",
                                                "Ref_Acc",    "Date_Create", "Ref_Account", "Kind",   "Level1",
                                                "Level2",     "Level3",      "ID_Person",   "ID_Firm"};
        QTest::addRow("people") << "Tb_Person"
                                << QStringList{"Id_Person", "Name",    "Birthday", "Phone", "Address", "Id_Firm",
                                               "Firm",      "Comment", "C",        "Dy",    "Mn"};
        QTest::addRow("family") << "Tb_Family" << QStringList{"Id_Family", "Id_Person", "Name", "Birthday", "Comment",
                                                              "C",         "Dy",        "Mn",   "Pers"};
        QTest::addRow("diary") << "Tb_Log" << QStringList{"Date_Remind", "Note", "Person",      "Id_Person", "Firm",
                                                          "Id_firm",     "C",    "Date_Create", "Dy"};
        QTest::addRow("accounts") << "Tb_Account" << QStringList{"Id_Account", "Account", "Currency", "Rest", "C"};
    }
    void fieldObjectsInDisplayOrder()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QStringList got;
        for (Table* t : dm->tables())
            if (t->name() == table)
                for (Field* f : t->fields())
                    got << f->name();
        QCOMPARE(got, fields);
    }

    void identifiersAreNeverReusedWhileOpen()
    {
        QCOMPARE(addPerson("Первый"), 1);
        QCOMPARE(addPerson("Второй"), 2);
        QVERIFY(dm->Tb_Person->locate("Name", "Второй"));
        dm->Tb_Person->deleteRecord();
        QCOMPARE(addPerson("Третий"), 3);
        QVERIFY(dm->Tb_Person->locate("Name", "Третий"));
        dm->Tb_Person->deleteRecord();
        closeAll();
        openAll(dir->path());
        QCOMPARE(addPerson("Снова второй"), 2);
        // Editing never touches the identifier.
        dm->Tb_Person->edit();
        dm->Tb_Person->fieldByName("Phone").setValue("123-45-67");
        dm->Tb_Person->post();
        QCOMPARE(dm->Tb_Person->fieldByName("Id_Person").asInteger(), 2);
    }

    void countersStartAgainForASecondDatabase()
    {
        for (int i = 1; i <= 10; ++i)
            QCOMPARE(addPerson(QString("Человек %1").arg(i)), i);
        closeAll();
        const QString second = secondFolder();
        Database::acquire(second)->exec("INSERT INTO TB_PERSON (Id_Person, Name) VALUES (40, 'Сороковой')");
        openAll(second);
        QCOMPARE(addPerson("Новый"), 41);
    }

    void firstCategoriesOfTheTemplate()
    {
        Table& it = *dm->Tb_Items;
        it.insert();
        QCOMPARE(it.fieldByName("C").asString(), QString("-"));
        it.fieldByName("ITM").setValue("Еда");
        it.fieldByName("LEV").setValue(0);
        it.post();
        QCOMPARE(it.fieldByName("ID_ITM").asInteger(), 0); // after the transfer item -1
        expense = false;
        it.insert();
        QCOMPARE(it.fieldByName("C").asString(), QString("+"));
        it.fieldByName("ITM").setValue("Зарплата");
        it.post();
        QCOMPARE(it.fieldByName("ID_ITM").asInteger(), 1); // 0 read as unset: the maximum again
    }

    void counterOverflowStoresNothing()
    {
        exec("INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (32767, 'Последняя')");
        Table& f = *dm->Tb_Firm;
        f.refresh();
        f.insert();
        f.fieldByName("Firm").setValue("Лишняя");
        try {
            f.post();
            QFAIL("the post must fail");
        } catch (const DbError& e) {
            QVERIFY(e.message().contains("32767"));
        }
        f.cancel();
        f.refresh();
        QCOMPARE(f.recordCount(), 1);
        QVERIFY(dm->DataSaved);
    }

    void derivedDayAndMonth()
    {
        addPerson("Мартовский", dayNumber(QDate(1970, 3, 5)));
        Table& p = *dm->Tb_Person;
        QCOMPARE(p.fieldByName("Dy").asInteger(), 5);
        QCOMPARE(p.fieldByName("Mn").asInteger(), 3);
        p.edit();
        p.fieldByName("Birthday").clear();
        p.post();
        QVERIFY(p.fieldByName("Dy").isNull());
        QVERIFY(p.fieldByName("Mn").isNull());

        Table& log = *dm->Tb_Log;
        log.insert();
        QCOMPARE(log.fieldByName("C").asString(), QString("0"));
        QCOMPARE(log.fieldByName("Date_Remind").asDate(), dayNumber(Clock::today()));
        log.fieldByName("Date_Remind").setValue(dayNumber(QDate(2026, 12, 9)));
        log.post();
        QCOMPARE(log.fieldByName("Dy").asInteger(), 9);
        log.edit();
        log.fieldByName("Date_Remind").clear();
        log.post();
        QCOMPARE(log.fieldByName("Dy").asInteger(), 30); // a missing date counts as 30 December 1899
    }

    void familyRules()
    {
        Table& fam = *dm->Tb_Family;
        fam.insert();
        QVERIFY_THROWS_EXCEPTION(DbAbort, fam.post()); // nobody to belong to
        QCOMPARE(fam.state(), DatasetState::Insert);
        fam.cancel();
        QVERIFY(fam.isEmpty());

        addPerson("Старший");
        const int second = addPerson("Младший");
        QCOMPARE(dm->Tb_Person->fieldByName("Name").asString(), QString("Младший"));
        fam.insert();
        fam.fieldByName("Birthday").setValue(dayNumber(QDate(2001, 12, 31)));
        fam.post();
        QCOMPARE(fam.fieldByName("Name").asString(), QString("Потом запишу..."));
        QCOMPARE(fam.fieldByName("Id_Person").asInteger(), second);
        QCOMPARE(fam.fieldByName("Pers").asString(), QString("Младший"));
        QCOMPARE(fam.fieldByName("Id_Family").asInteger(), 1);
        QCOMPARE(fam.fieldByName("Mn").asInteger(), 12);
    }

    void referenceChecks_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("message"); // empty: the delete goes through
        const QString family = "INSERT INTO TB_FAMILY (Id_Family, Id_Person, Name) VALUES (1, 1, 'Сын')";
        const QString logPerson = "INSERT INTO TB_LOG (Date_Create, Id_Person) VALUES (1, 1)";
        const QString logFirm = "INSERT INTO TB_LOG (Date_Create, Id_firm) VALUES (2, 1)";
        const QString histPerson = "INSERT INTO TB_HIST (Id_Account, Date_Create, ID_Person) VALUES (5, 1, 1)";
        const QString histFirm = "INSERT INTO TB_HIST (Id_Account, Date_Create, ID_Firm) VALUES (5, 2, 1)";
        const QString worker = "INSERT INTO TB_PERSON (Id_Person, Name, Id_Firm) VALUES (2, 'Работник', 1)";
        QTest::addRow("person with family shows only the family")
            << "Tb_Person" << QStringList{family, logPerson, histPerson} << "Есть члены семьи!";
        QTest::addRow("person in the diary")
            << "Tb_Person" << QStringList{logPerson, histPerson} << "Есть ссылки в дневнике!";
        QTest::addRow("person in the history") << "Tb_Person" << QStringList{histPerson} << "Есть связи в истории!";
        QTest::addRow("person without references") << "Tb_Person" << QStringList{histFirm} << "";
        QTest::addRow("firm named only by the diary") << "Tb_Firm" << QStringList{logFirm} << "Есть ссылки в дневнике!";
        QTest::addRow("firm with a worker")
            << "Tb_Firm" << QStringList{worker, histFirm} << "Есть ссылки в персональном справочнике!";
        QTest::addRow("firm in the history") << "Tb_Firm" << QStringList{histFirm} << "Есть связи в истории!";
        QTest::addRow("account with operations")
            << "Tb_Account" << QStringList{"INSERT INTO TB_HIST (Id_Account, Date_Create) VALUES (1, 3)"}
            << "Есть связи в истории!";
        QTest::addRow("account named only as a transfer's other side")
            << "Tb_Account"
            << QStringList{"INSERT INTO TB_HIST (Id_Account, Date_Create, Ref_Account) VALUES (5, 3, 1)"} << "";
    }
    void referenceChecks()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, setup);
        QFETCH(QString, message);
        exec("INSERT INTO TB_PERSON (Id_Person, Name) VALUES (1, 'Иванов')");
        exec("INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (1, 'Магазин')");
        exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Кошелёк', 'руб', 0)");
        for (const QString& s : setup)
            exec(s);
        Table* t = table == "Tb_Person" ? dm->Tb_Person : table == "Tb_Firm" ? dm->Tb_Firm : dm->Tb_Account;
        t->refresh();
        QVERIFY(t->locate(t->field(0)->name(), 1));
        const int before = t->recordCount();
        if (message.isEmpty()) {
            t->deleteRecord();
            QCOMPARE(t->recordCount(), before - 1);
            QVERIFY(messages.isEmpty());
            QVERIFY(!dm->DataSaved);
        } else {
            QVERIFY_THROWS_EXCEPTION(DbAbort, t->deleteRecord());
            QCOMPARE(messages, QStringList{message});
            QCOMPARE(t->recordCount(), before);
            QCOMPARE(t->field(0)->asInteger(), 1); // the record stays current
            QVERIFY(dm->DataSaved);
        }
    }

    void dataSavedFollowsPostsAndDeletes()
    {
        QVERIFY(dm->DataSaved);
        dm->Tb_Person->insert();
        QVERIFY_THROWS_EXCEPTION(DbError, dm->Tb_Person->post()); // no name
        QVERIFY(dm->DataSaved);
        dm->Tb_Person->cancel();
        addPerson("Кто-то");
        QVERIFY(!dm->DataSaved);
        dm->DataSaved = true;
        dm->Tb_Person->deleteRecord();
        QVERIFY(!dm->DataSaved);
    }

    void lookupsCutToSize()
    {
        const QString longName = "Торгово-промышленная компания"; // 29
        const QString name30 = longName + "!";
        QCOMPARE(name30.size(), 30);
        const int firm = addFirm(name30);
        const int acc = addAccount("Основной счёт");
        Table& h = *dm->Tb_Hist;
        h.insert();
        h.fieldByName("ID_Firm").setValue(firm);
        h.fieldByName("Ref_Account").setValue(acc);
        h.fieldByName("Kind").setValue("1");
        h.fieldByName("Ct").setValue(1.0);
        h.post();
        QCOMPARE(h.fieldByName("Firm").asString(), name30.left(15));
        QCOMPARE(dm->Tb_Firm->fieldByName("Firm").asString(), name30);
        QCOMPARE(h.fieldByName("Ref_Acc").asString(), QString("Основной счёт"));
        QVERIFY(h.fieldByName("Category").isNull()); // Level1 -10 names no category
    }

    void historyNewRecord()
    {
        addAccount("Б-счёт");
        const int acc = addAccount("А-счёт");
        QCOMPARE(dm->Tb_Account->fieldByName("Id_Account").asInteger(), acc);
        Clock::pin(QDateTime(QDate(2026, 12, 9), QTime(10, 0)));
        Table& h = *dm->Tb_Hist;
        qint64 previous = 0;
        for (int i = 0; i < 3; ++i) {
            h.insert();
            QCOMPARE(h.fieldByName("Id_Account").asInteger(), acc);
            QCOMPARE(h.fieldByName("Date_Real").asDate(), 40000);
            QCOMPARE(h.fieldByName("Level1").asInteger(), -10);
            const qint64 stamp = h.fieldByName("Date_Create").asStamp();
            QVERIFY(stamp > previous); // no two rows share a creation moment
            QVERIFY(stamp / MsPerDay == dayNumber(QDate(2026, 12, 9)));
            previous = stamp;
            h.fieldByName("Kind").setValue("1");
            h.fieldByName("Ct").setValue(1.0);
            h.post();
        }
        QCOMPARE(h.recordCount(), 3);
    }

    void russianOrderOfAccountsAndPeople()
    {
        for (const QString& n : QStringList{"Ёлкина", "Жуков", "Елисеев", "абрамов", "Яшин"})
            addPerson(n);
        QCOMPARE(column(*dm->Tb_Person, "Name"), (QStringList{"абрамов", "Елисеев", "Ёлкина", "Жуков", "Яшин"}));
        for (const QString& n : QStringList{"Сбережения", "Ёлка", "Карта", "Евро-счёт"})
            addAccount(n);
        QCOMPARE(column(*dm->Tb_Account, "Account"), (QStringList{"Евро-счёт", "Ёлка", "Карта", "Сбережения"}));
    }

    void textOutsideTheCodePageIsRefused()
    {
        Table& f = *dm->Tb_Firm;
        f.insert();
        f.fieldByName("Firm").setValue("Кафе ☕");
        try {
            f.post();
            QFAIL("must be refused");
        } catch (const DbError& e) {
            QVERIFY(e.message().contains("Наименование"));
        }
        f.cancel();
        QVERIFY(f.isEmpty());
        QVERIFY(dm->DataSaved);
    }

    void hooksForTheWindows()
    {
        QSignalSpy pan(dm.get(), &TDm::panDateEnabledChanged);
        dm->Tb_Hist->enableControls(); // start-up done
        addAccount("Счёт");
        pan.clear();
        dm->Tb_Hist->insert();
        QCOMPARE(pan.last().at(0).toBool(), false);
        dm->Tb_Hist->cancel();
        QCOMPARE(pan.last().at(0).toBool(), true);
        dm->Tb_Hist->close();
        QCOMPARE(pan.last().at(0).toBool(), false);

        QSignalSpy colour(dm.get(), &TDm::balanceColourChanged);
        Table& a = *dm->Tb_Account;
        for (double rest : {-0.40, -0.50, -0.60, 0.0}) {
            a.edit();
            a.fieldByName("Rest").setValue(rest);
            a.post();
            QCOMPARE(colour.last().at(0).toBool(), rest == -0.60);
        }
        QVERIFY(!TDm::BalanceIsNegative(-1.5 + 1)); // -0.5 rounds to even 0
        QVERIFY(TDm::BalanceIsNegative(-1.5));
    }

    void sharedQueries()
    {
        const int acc = addAccount("Счёт");
        exec(QString("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct) VALUES "
                     "(%1, 100, 1, '1', 10, NULL), (%1, 101, 2, '1', NULL, 4.25), (%1, 101, 3, '2', NULL, 99),"
                     "(7, 101, 2, '1', 5, NULL)")
                 .arg(acc));
        Query& s = *dm->Qsum;
        s.paramByName("id_account").setAsInteger(acc);
        s.paramByName("d1").setAsDate(100);
        s.paramByName("d2").setAsDate(101);
        s.open();
        QCOMPARE(s.field(0)->asFloat(), 10.0);
        QCOMPARE(s.field(1)->asFloat(), 4.25);
        s.close();

        Query& t = *dm->Qtrans;
        t.paramByName("REF_ACCOUNT").setAsInteger(7);
        t.paramByName("DATE_CREATE").setAsDateTime(2);
        t.open();
        t.edit();
        t.fieldByName("Dt").setValue(6.5);
        t.post();
        t.close();
        dm->Qtemp->setSql({"select dt from tb_hist where id_account='7'"});
        dm->Qtemp->open();
        QCOMPARE(dm->Qtemp->field(0)->asFloat(), 6.5);
        dm->Qtemp->close();

        const int firm = addFirm("Завод");
        exec(QString("INSERT INTO TB_PERSON (Id_Person, Name, Id_Firm) VALUES (5, 'Рабочий', %1)").arg(firm));
        addFirm("Контора");
        dm->QPers_Firm->open();
        QVERIFY(dm->QPers_Firm->isEmpty()); // the current firm is the new one
        QVERIFY(dm->Tb_Firm->locate("Firm", "Завод"));
        QCOMPARE(dm->QPers_Firm->fieldByName("Name").asString(), QString("Рабочий"));
    }
};

QTEST_GUILESS_MAIN(TestDm)
#include "tst_dm.moc"
