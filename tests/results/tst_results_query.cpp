#include "data/Database.h"
#include "data/DorvDm.h"
#include "results/ResultsQuery.h"
#include "support/TemplateDb.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace dorv;

namespace {
Dimension dim(const QString& s)
{
    return s == "who" ? Dimension::Who : s == "where" ? Dimension::Where : Dimension::What;
}
} // namespace

// The drill state and the grouped query, as tables; then the query on the engine itself.
class TestResultsQuery : public QObject {
    Q_OBJECT
private slots:
    void drillState_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("dimensions"); // Dimension1..3
        QTest::addColumn<QString>("expected");   // GroupBy ItemLevel SideFilter|caption|pressed|buttons|down
        const auto row = [](const char* name, int step, const char* dims, const char* expected) {
            QTest::addRow("%s", name) << step << QString(dims) << QString::fromUtf8(expected);
        };
        row("1 what", 1, "what who where", "what 0 0|Распределение по статьям|0|1|1");
        row("1 who", 1, "who what what", "who 0 0|Распределение по людям|1|1|1");
        row("1 where", 1, "where what what", "where 0 0|Распределение по местам|2|1|1");
        row("2 what what", 2, "what what what", "what 1 0|Еда|0|1|1");
        row("2 what who", 2, "what who what", "who 1 0|Еда|1|1|1");
        row("2 what where", 2, "what where what", "where 1 0|Еда|2|1|1");
        row("3 what what what", 3, "what what what", "what 2 0|Еда \\ Хлеб|-1|1|0");
        row("3 what what who", 3, "what what who", "who 2 0|Еда \\ Хлеб|-1|1|1");
        row("3 what what where", 3, "what what where", "where 2 0|Еда \\ Хлеб|-1|1|1");
        row("3 what who", 3, "what who where", "what 1 1|Еда \\ Иванов|-1|0|1");
        row("3 what where", 3, "what where who", "what 1 2|Еда \\ Лавка|-1|0|1");
        row("4 what what who", 4, "what what who", "what 2 1|Еда \\ Хлеб \\ Иванов|-1|-1|0");
        row("4 what what where", 4, "what what where", "what 2 2|Еда \\ Хлеб \\ Лавка|-1|-1|0");
        row("4 what who", 4, "what who what", "what 2 1|Еда \\ Иванов \\ Хлеб|-1|-1|0");
        row("4 what where", 4, "what where what", "what 2 2|Еда \\ Лавка \\ Хлеб|-1|-1|0");
        row("2 who", 2, "who where what", "what 0 1|Иванов|-1|0|1");
        row("3 who", 3, "who what what", "what 1 1|Иванов \\ Еда|-1|0|1");
        row("4 who", 4, "who what what", "what 2 1|Иванов \\ Еда \\ Хлеб|-1|0|0");
        row("2 where", 2, "where what what", "what 0 2|Лавка|-1|0|1");
        row("3 where", 3, "where what what", "what 1 2|Лавка \\ Еда|-1|0|1");
        row("4 where", 4, "where what what", "what 2 2|Лавка \\ Еда \\ Хлеб|-1|0|0");
    }
    void drillState()
    {
        QFETCH(int, step);
        QFETCH(QString, dimensions);
        QFETCH(QString, expected);
        const QStringList d = dimensions.split(' ');
        ResultsState s;
        s.DrillStep = step;
        s.Dimension1 = dim(d[0]);
        s.Dimension2 = dim(d[1]);
        s.Dimension3 = dim(d[2]);
        s.Level1Name = "Еда";
        s.Level2Name = "Хлеб";
        s.PersonName = "Иванов";
        s.FirmName = "Лавка";
        const DrillView v = UpdateDrillState(s);
        static const char* const names[] = {"what", "who", "where"};
        const QString got = QString("%1 %2 %3|%4|%5|%6|%7")
                                .arg(names[int(s.GroupBy)])
                                .arg(s.ItemLevel)
                                .arg(s.SideFilter)
                                .arg(v.caption)
                                .arg(v.pressed)
                                .arg(v.dimensionButtons)
                                .arg(v.down ? 1 : 0);
        QCOMPARE(got, expected);
        QCOMPARE(v.up, step > 1);
        if (step == 1) // the only place the later dimensions start again
            QVERIFY(s.Dimension2 == Dimension::What && s.Dimension3 == Dimension::What);
    }

    void queryText_data()
    {
        QTest::addColumn<QString>("line4");
        QTest::addColumn<QString>("line6");
        QTest::addColumn<QString>("line0");
        QTest::addColumn<QString>("line2");
        QTest::addColumn<int>("setup");
        QTest::addRow("the example: who, then a category, all kinds, by expense, limit 100")
            << "and (h.id_account=:id_account) and h.level1='12' and h.id_person='7'"
            << "having sum(ct)>'100' Order by 4 desc"
            << "Select id_itm id ,itm nm,sum(dt) D,sum(ct) C "
            << "left join tb_items c on c.id_itm=h.level2" << 0;
        QTest::addRow("a negative income limit, real rows, by income")
            << "and (h.id_account=:id_account) and kind='1'"
            << "having sum(dt)>'-5' Order by 3 desc"
            << "Select id_itm id ,itm nm,sum(dt) D,sum(ct) C "
            << "inner join tb_items c on c.id_itm=h.level1" << 1;
        QTest::addRow("inside the transfer item: the corresponding accounts")
            << "and (h.id_account=:id_account) and h.level1='-1' and kind='2'"
            << "having sum(dt)>'3' and sum(ct)>'3' Order by 2"
            << "Select ref_account id ,account nm,sum(dt) D,sum(ct) C"
            << "inner join tb_account c on c.id_account=h.ref_account" << 2;
        QTest::addRow("the empty second level")
            << "and (h.id_account=:id_account) and h.level1='4' and h.level2 is null and kind='1'"
            << "Order by 2"
            << "Select id_itm id ,itm nm,sum(dt) D,sum(ct) C "
            << "left join tb_items c on c.id_itm=h.level3" << 3;
    }
    void queryText()
    {
        QFETCH(QString, line4);
        QFETCH(QString, line6);
        QFETCH(QString, line0);
        QFETCH(QString, line2);
        QFETCH(int, setup);
        ResultsState s;
        ResultsChoices c;
        switch (setup) {
        case 0:
            s.DrillStep = 3;
            s.Dimension1 = Dimension::Who;
            s.PersonId = 7;
            s.Level1Id = 12;
            c.kind = 2;
            c.sort = 2;
            c.limitCredit = true;
            c.limitValue = 100;
            break;
        case 1:
            c.sort = 1;
            c.limitDebit = true;
            c.limitValue = -5;
            break;
        case 2:
            s.DrillStep = 2;
            s.Level1Id = -1;
            c.kind = 1;
            c.limitDebit = c.limitCredit = true;
            c.limitValue = 3;
            break;
        default:
            s.DrillStep = 3;
            s.Level1Id = 4;
            s.Level2Name.clear();
            break;
        }
        UpdateDrillState(s);
        const QStringList lines = RebuildResultsText(s, c);
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[1], QString("from tb_hist h "));
        QCOMPARE(lines[3], QString("where (date_real between :d1 and :d2) "));
        QCOMPARE(lines[0], line0);
        QCOMPARE(lines[2], line2);
        QCOMPARE(lines[4], line4);
        QCOMPARE(lines[6], line6);
        if (setup == 0) // the complete example, line by line
            QCOMPARE(lines,
                     (QStringList{"Select id_itm id ,itm nm,sum(dt) D,sum(ct) C ", "from tb_hist h ",
                                  "left join tb_items c on c.id_itm=h.level2", "where (date_real between :d1 and :d2) ",
                                  "and (h.id_account=:id_account) and h.level1='12' and h.id_person='7'",
                                  "group by id_itm,itm", "having sum(ct)>'100' Order by 4 desc"}));
    }

    void rowCapture()
    {
        ResultsState s;
        s.DrillStep = 2;
        UpdateDrillState(s);
        captureRow(s, qint64(5), QString("Хлеб"));
        QCOMPARE(s.Level2Id, qint64(5));
        captureRow(s, QVariant(), QVariant()); // the empty group
        QCOMPARE(s.Level2Id, qint64(0));
        QVERIFY(s.Level2Name.isEmpty());
        s.Level1Id = -1;
        QVERIFY(!downAfterCapture(s, true, true)); // nothing below the corresponding accounts
        s.Level1Id = 3;
        QVERIFY(downAfterCapture(s, true, true));
        QVERIFY(!downAfterCapture(s, true, false)); // a row without sums
    }

    void detailFilter_data()
    {
        QTest::addColumn<int>("setup");
        QTest::addColumn<QString>("filter");
        QTest::addRow("the example: person 7, category 12, item 31, real")
            << 0 << "level2='31' and id_person='7' and kind='1'";
        QTest::addRow("the transfer item at step 1") << 1 << "level1='-1' and kind='1'";
        QTest::addRow("a corresponding account") << 2 << "ref_account='2'";
        QTest::addRow("the empty second level") << 3 << "level1='4' and level2=null and kind='2'";
        QTest::addRow("by places, nobody's") << 4 << "id_firm=null";
        QTest::addRow("the empty group below the empty group") << 5 << "level1='4' and level2=null and level3=null";
    }
    void detailFilter()
    {
        QFETCH(int, setup);
        QFETCH(QString, filter);
        ResultsState s;
        QVariant id;
        int kind = 2;
        switch (setup) {
        case 0:
            s.DrillStep = 3;
            s.Dimension1 = Dimension::Who;
            s.PersonId = 7;
            s.PersonName = "Иванов";
            s.Level1Id = 12;
            UpdateDrillState(s);
            id = qint64(31);
            captureRow(s, id, QString("Батон"));
            kind = 0;
            break;
        case 1:
            id = qint64(-1);
            kind = 0;
            break;
        case 2:
            s.DrillStep = 2;
            s.Level1Id = -1;
            UpdateDrillState(s);
            captureRow(s, qint64(2), QString("Карта"));
            break;
        case 3:
            s.DrillStep = 2;
            s.Level1Id = 4;
            UpdateDrillState(s);
            captureRow(s, QVariant(), QVariant());
            kind = 1;
            break;
        case 4:
            s.Dimension1 = Dimension::Where;
            UpdateDrillState(s);
            captureRow(s, QVariant(), QVariant());
            break;
        default:
            s.DrillStep = 3;
            s.Level1Id = 4;
            UpdateDrillState(s);
            break;
        }
        if (setup != 0)
            UpdateDrillState(s);
        QCOMPARE(DetailFilterText(s, id, kind), filter);
    }

    // A column two joined tables share is the first table's; parameters, aliases and literals of
    // the same name stay as they are.
    void sharedColumnNames()
    {
        QTemporaryDir dir;
        QVERIFY(unpackTemplate(dir.path()));
        {
            auto db = Database::openFile(dir.filePath(Database::FileName), false);
            db->exec("INSERT INTO TB_PERSON (Id_Person, Name) VALUES (1, 'id_person'), (2, 'Петров')");
            db->exec("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, ID_Person) VALUES "
                     "(1, 1, 1, '1', 5, 1), (1, 1, 2, '1', 7, 2)");
        }
        TDm dm;
        dm.BindDatabaseName(dir.path());
        Query& q = *dm.Qtemp;
        q.setSql({"Select id_person as id_person, name from tb_hist h",
                  "inner join tb_person c on c.id_person=h.id_person",
                  "where id_person=:id_person and name<>'x id_person'", "order by id_person"});
        q.paramByName("id_person").setAsInteger(2);
        try {
            q.open();
        } catch (const std::exception& e) {
            QFAIL(e.what());
        }
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.field(1)->asString(), QString("Петров"));
        q.close();
    }

    // The text runs on the engine with the groups it promises.
    void groupsOnTheEngine_data()
    {
        QTest::addColumn<int>("setup");
        QTest::addColumn<QStringList>("groups"); // "id name D C"
        QTest::addRow("first level: rows without a category left out")
            << 0 << QStringList{"1 Еда 100 25", "-1 ПЕРЕВОД - 50"};
        QTest::addRow("second level: the empty group") << 1 << QStringList{"- - - 10", "2 Хлеб 100 15"};
        QTest::addRow("income limit 99: strictly greater, as a number") << 2 << QStringList{"1 Еда 100 25"};
        QTest::addRow("income limit 100: nothing") << 3 << QStringList{};
        QTest::addRow("expense limit -5: every group with an expense")
            << 4 << QStringList{"1 Еда 100 25", "-1 ПЕРЕВОД - 50"};
        QTest::addRow("by people: rows without a person left out") << 5 << QStringList{"1 Иванов - 15"};
        QTest::addRow("inside the transfer item") << 6 << QStringList{"2 Карта - 50"};
    }
    void groupsOnTheEngine()
    {
        QFETCH(int, setup);
        QFETCH(QStringList, groups);
        QTemporaryDir dir;
        QVERIFY(unpackTemplate(dir.path()));
        {
            auto db = Database::openFile(dir.filePath(Database::FileName), false);
            db->exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Кошелёк', 'руб', 0), "
                     "(2, 'Карта', 'руб', 0)");
            db->exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), (2, 'Хлеб', "
                     "1, 1, '-')");
            db->exec("INSERT INTO TB_PERSON (Id_Person, Name) VALUES (1, 'Иванов')");
            db->exec(
                "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1, Level2, "
                "ID_Person, Ref_Account) VALUES "
                "(1, 100, 1, '1', 100, NULL, 1, 2, NULL, NULL), (1, 100, 2, '1', NULL, 15, 1, 2, 1, NULL), "
                "(1, 100, 3, '1', NULL, 10, 1, NULL, NULL, NULL), (1, 100, 4, '1', NULL, 7, NULL, NULL, NULL, NULL), "
                "(1, 100, 5, '1', NULL, 50, -1, NULL, NULL, 2), (1, 100, 6, '2', NULL, 99, 1, 2, NULL, NULL)");
        }
        ResultsState s;
        ResultsChoices c;
        switch (setup) {
        case 1:
            s.DrillStep = 2;
            s.Level1Id = 1;
            break;
        case 2:
        case 3:
            c.limitDebit = true;
            c.limitValue = setup == 2 ? 99 : 100;
            break;
        case 4:
            c.limitCredit = true;
            c.limitValue = -5;
            break;
        case 5:
            s.Dimension1 = Dimension::Who;
            break;
        case 6:
            s.DrillStep = 2;
            s.Level1Id = -1;
            break;
        default:
            break;
        }
        UpdateDrillState(s);
        TDm dm;
        dm.BindDatabaseName(dir.path());
        Query& q = *dm.Qtemp;
        q.setSql(RebuildResultsText(s, c));
        q.paramByName("d1").setAsDate(0);
        q.paramByName("d2").setAsDate(1000);
        q.paramByName("id_account").setAsInteger(1);
        try {
            q.open();
        } catch (const std::exception& e) {
            QFAIL(e.what());
        }
        QStringList got;
        for (q.first(); !q.eof(); q.next()) {
            QStringList parts;
            for (int i = 0; i < 4; ++i)
                parts << (q.field(i)->isNull() ? QStringLiteral("-") : q.field(i)->asString());
            got << parts.join(' ');
        }
        q.close();
        QCOMPARE(got, groups);
    }
};

QTEST_GUILESS_MAIN(TestResultsQuery)
#include "tst_results_query.moc"
