#include "EngineFixture.h"

#include "data/Query.h"
#include "data/TableModel.h"

#include "data/DbError.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using namespace dorv;

class TestTableModel : public QObject {
    Q_OBJECT
    std::unique_ptr<EngineFixture> fx;
    std::unique_ptr<Table> t;

private slots:
    void init()
    {
        fx = std::make_unique<EngineFixture>();
        fx->create();
        for (int i = 1; i <= 20; ++i)
            fx->addHist(1, 100 + i, i, "1", i % 2 ? QVariant(i * 1.005) : QVariant(), {});
        t = std::make_unique<Table>("Tb_Hist", "TB_HIST");
        EngineFixture::declareHist(*t);
        t->fieldByName("Id_Account").setVisible(false);
        t->fieldByName("Date_Create").setVisible(false);
        t->fieldByName("Kind").setVisible(false);
        t->setDatabaseName(fx->folder());
    }
    void cleanup()
    {
        t.reset();
        fx.reset();
    }

    int storedHist(const QString& where)
    {
        auto db = Database::acquire(fx->folder());
        Statement st = db->prepareOnce("SELECT count(*) FROM TB_HIST WHERE " + where);
        return st.step() ? int(st.columnInt(0)) : -1;
    }

    void modelIsConsistentThroughChanges()
    {
        TableModel model(t.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        t->open();
        QCOMPARE(model.rowCount(), 20);
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Дата"));
        QCOMPARE(model.index(0, 1).data().toString(), QString("1.00")); // 1.005 shown by "0.00"
        QCOMPARE(model.index(0, 0).data().toString(), QString("10.04.1900"));
        QVERIFY(model.index(1, 1).data().toString().isEmpty());
        t->setRange({1, 105}, {1, 110});
        QCOMPARE(model.rowCount(), 5);
        t->insert();
        t->fieldByName("Id_Account").setValue(1);
        t->fieldByName("Date_Real").setValue(106);
        t->fieldByName("Date_Create").setValue(100);
        t->post();
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(model.index(2, 0).data().toString(), QString("15.04.1900")); // day 106, created last
        t->deleteRecord();
        QCOMPARE(model.rowCount(), 5);
        t->disableControls();
        t->cancelRange();
        QCOMPARE(model.rowCount(), 5); // suspended: the grid keeps what it showed
        t->enableControls();
        QCOMPARE(model.rowCount(), 20);
        t->close();
        QCOMPARE(model.rowCount(), 0);
    }

    void viewAndCursorFollowEachOther()
    {
        t->open();
        TableModel model(t.get());
        QTableView view;
        view.setModel(&model);
        model.bindSelection(view.selectionModel());
        QCOMPARE(view.currentIndex().row(), 0);
        view.setCurrentIndex(model.index(7, 1));
        QCOMPARE(t->currentRow(), 7);
        QCOMPARE(t->fieldByName("Date_Create").asInteger(), 8);
        t->last();
        QCOMPARE(view.currentIndex().row(), 19);
        QVERIFY(t->locate("Date_Create", 3));
        QCOMPARE(view.currentIndex().row(), 2);
    }

    void insertedRecordIsARowOfItsOwn()
    {
        t->setRange({1, 105}, {1, 107}); // two rows
        t->open();
        TableModel model(t.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QTableView view;
        view.setModel(&model);
        model.bindSelection(view.selectionModel());
        t->last();
        t->insert();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(view.currentIndex().row(), 1);
        QVERIFY(model.index(1, 0).data().toString().isEmpty());
        t->fieldByName("Id_Account").setValue(1);
        t->fieldByName("Date_Create").setValue(500);
        QVERIFY(model.setData(model.index(1, 0), QString("15.04.1900"))); // day 106: a second cell of the new row
        QVERIFY(model.setData(model.index(1, 1), QString("3")));
        QCOMPARE(t->state(), DatasetState::Insert);
        QCOMPARE(model.index(1, 0).data().toString(), QString("15.04.1900"));
        t->post();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(t->fieldByName("Date_Create").asInteger(), 500);
        QCOMPARE(view.currentIndex().row(), t->currentRow());
        t->insert();
        t->cancel();
        QCOMPARE(model.rowCount(), 3);

        // The first record of an empty view can be typed in too.
        t->setRange({7}, {8});
        QCOMPARE(model.rowCount(), 0);
        t->insert();
        QCOMPARE(model.rowCount(), 1);
        t->cancel();
        QCOMPARE(model.rowCount(), 0);
    }

    void postFromOutsideWhileAViewFollows()
    {
        t->open();
        TableModel model(t.get());
        QTableView view;
        view.setModel(&model);
        model.bindSelection(view.selectionModel());
        t->first();
        t->edit();
        t->fieldByName("Date_Real").setValue(500); // moves the row to the end
        t->post();
        QCOMPARE(t->currentRow(), 19);
        QCOMPARE(t->fieldByName("Date_Create").asInteger(), 1);
        QCOMPARE(view.currentIndex().row(), 19);
        t->deleteRecord();
        QCOMPARE(view.currentIndex().row(), t->currentRow());
    }

    void queryFieldsGoingAwayLeaveNoColumns()
    {
        Query q("QRes");
        q.setDatabaseName(fx->folder());
        q.setSql({"select date_real, dt from tb_hist"});
        q.open();
        TableModel model(&q);
        QCOMPARE(model.columnCount(), 2);
        q.disableControls(); // even with the grid held still
        q.close();
        QCOMPARE(model.columnCount(), 0);
        q.enableControls();
        QCOMPARE(model.rowCount(), 0);
    }

    void inPlaceEditGoesThroughEditAndPost()
    {
        t->open();
        TableModel model(t.get());
        QVERIFY(model.setData(model.index(4, 2), QString("12,5")));
        QCOMPARE(t->state(), DatasetState::Edit);
        QCOMPARE(model.index(4, 2).data().toString(), QString("12.50"));
        t->next(); // moving on posts, as a grid does
        QCOMPARE(t->state(), DatasetState::Browse);
        QCOMPARE(model.index(4, 2).data().toString(), QString("12.50"));
        QVERIFY(!model.setData(model.index(4, 0), QString("31.02.2000")));
        QVERIFY(model.lastError().contains("Дата"));
    }

    void unchangedCellStartsNoEdit_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addRow("date as typed") << 0 << QVariant(QString("10.04.1900"));
        QTest::addRow("date as a day number") << 0 << QVariant(101);
        QTest::addRow("amount as shown, stored with more decimals") << 1 << QVariant(QString("1.00"));
        QTest::addRow("empty amount left empty") << 2 << QVariant(QString());
    }
    void unchangedCellStartsNoEdit()
    {
        QFETCH(int, column);
        QFETCH(QVariant, value);
        t->open();
        t->setCurrentRow(5);
        TableModel model(t.get());
        const Record before = t->recordAt(0);
        QSignalSpy state(t.get(), &Dataset::stateChanged);
        QSignalSpy cells(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(model.setData(model.index(0, column), value));
        QCOMPARE(t->state(), DatasetState::Browse);
        QCOMPARE(t->currentRow(), 5);
        QCOMPARE(state.count(), 0);
        QCOMPARE(cells.count(), 0);
        QCOMPARE(t->recordAt(0), before); // 1.005 is not rounded to what the cell shows
        QVERIFY(model.lastError().isEmpty());
    }

    void inPlaceEditKeepsToItsRecord()
    {
        t->open();
        TableModel model(t.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        // An edit in progress takes the cells of its row into its buffer; nothing is posted.
        t->setCurrentRow(4);
        t->edit();
        t->fieldByName("Dt").setValue(2.0);
        QVERIFY(model.setData(model.index(4, 2), QString("7")));
        QVERIFY(model.setData(model.index(4, 0), QString("20.04.1900")));
        QCOMPARE(t->state(), DatasetState::Edit);
        QCOMPARE(t->currentRow(), 4);
        QCOMPARE(t->fieldByName("Dt").asFloat(), 2.0);
        QCOMPARE(t->fieldByName("Ct").asFloat(), 7.0);
        t->cancel();
        QCOMPARE(storedHist("Ct IS NOT NULL OR Dt=2"), 0);
        QCOMPARE(model.index(4, 0).data().toString(), QString("14.04.1900"));

        // While a record is inserted, the row the cursor stood on is a row of its own, not the new
        // record: its cell first posts the new record, which is refused while incomplete.
        t->setCurrentRow(2);
        t->insert();
        QCOMPARE(model.rowCount(), 21);
        QVERIFY(!model.setData(model.index(3, 2), QString("9")));
        QCOMPARE(t->state(), DatasetState::Insert);
        QVERIFY2(model.lastError().contains("Id_Account"), qPrintable(model.lastError()));
        QVERIFY(t->fieldByName("Ct").isNull());

        // Complete, the new record is posted ahead of every row and the edit still finds its row.
        t->fieldByName("Id_Account").setValue(1);
        t->fieldByName("Date_Real").setValue(100);
        t->fieldByName("Date_Create").setValue(900);
        QVERIFY(model.setData(model.index(3, 2), QString("9")));
        QCOMPARE(t->state(), DatasetState::Edit);
        QCOMPARE(t->currentRow(), 3);
        QCOMPARE(t->fieldByName("Date_Create").asInteger(), 3);
        t->post();
        QCOMPARE(storedHist("Date_Create=3 AND Ct=9"), 1);
        QCOMPARE(storedHist("Date_Create=900 AND Ct IS NULL"), 1);
    }

    void damagedRowShowsEmptyAndIsReportedOnce()
    {
        fx->createDamagedNotes(6, 4);
        if (QTest::currentTestFailed())
            return;
        Table n("Tb_Note", "TB_NOTE");
        EngineFixture::declareNote(n);
        n.setDatabaseName(fx->folder());
        n.open();
        TableModel model(&n);
        QCOMPARE(model.rowCount(), 6);
        QSignalSpy failed(&model, &TableModel::readFailed);
        auto readAll = [&] {
            for (int r = 0; r < model.rowCount(); ++r)
                for (int c = 0; c < model.columnCount(); ++c)
                    for (int role : {Qt::DisplayRole, Qt::EditRole}) {
                        const QVariant v = model.index(r, c).data(role);
                        if (r == 3)
                            QVERIFY2(!v.isValid(), qPrintable(QString("column %1: %2").arg(c).arg(v.toString())));
                        else if (c == 0)
                            QCOMPARE(v.toInt(), r + 1);
                    }
        };
        readAll();
        readAll();
        QCOMPARE(failed.count(), 0); // told from the event loop, never from inside a paint
        QCoreApplication::processEvents();
        QCOMPARE(failed.count(), 1);
        QVERIFY2(failed.at(0).at(0).toString().contains("повреждён"), qPrintable(failed.at(0).at(0).toString()));

        QTableView view;
        view.setModel(&model);
        view.resize(400, 400);
        view.show();
        QVERIFY(!view.grab().isNull()); // a real paint over the damaged row
        readAll();
        QCoreApplication::processEvents();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(model.rowRecord(3), Record(n.fieldCount()));
        QCOMPARE(model.rowRecord(2).value(0).toInt(), 3);
        QCOMPARE(n.state(), DatasetState::Browse);
        QCOMPARE(n.currentRow(), 0);

        // Read again, the rows are news once more.
        n.refresh();
        readAll();
        QCoreApplication::processEvents();
        QCOMPARE(failed.count(), 2);
    }
};

QTEST_MAIN(TestTableModel)
#include "tst_tablemodel.moc"
