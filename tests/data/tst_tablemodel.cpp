#include "EngineFixture.h"

#include "data/Query.h"
#include "data/TableModel.h"

#include <QAbstractItemModelTester>
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
};

QTEST_MAIN(TestTableModel)
#include "tst_tablemodel.moc"
