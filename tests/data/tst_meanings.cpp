#include "data/Meanings.h"

#include <QtTest>

using namespace dorv;

Q_DECLARE_METATYPE(std::optional<dorv::OperationKind>)
Q_DECLARE_METATYPE(std::optional<dorv::ItemDirection>)

// The marks the tables keep and the meanings the program works with: every meaning is stored as its
// own mark and read back as itself, and a mark the program never writes is read the way the totals
// and the trees have always read it.
class TestMeanings : public QObject {
    Q_OBJECT
private slots:
    void operationKind_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<std::optional<OperationKind>>("kind");
        QTest::addColumn<bool>("real");
        QTest::newRow("real") << "1" << std::optional(OperationKind::Real) << true;
        QTest::newRow("planned") << "2" << std::optional(OperationKind::Planned) << false;
        // Every mark above "1" has always been planned: realisable and left out of the totals.
        QTest::newRow("higher mark") << "3" << std::optional(OperationKind::Planned) << false;
        QTest::newRow("none") << "" << std::optional<OperationKind>() << false;
        QTest::newRow("zero") << "0" << std::optional<OperationKind>() << false;
        QTest::newRow("blank") << " " << std::optional<OperationKind>() << false;
    }
    void operationKind()
    {
        QFETCH(QString, stored);
        QFETCH(std::optional<OperationKind>, kind);
        QFETCH(bool, real);
        QCOMPARE(operationKindFromStored(stored), kind);
        QCOMPARE(storedReal(stored), real);
        QCOMPARE(storedPlanned(stored), kind == OperationKind::Planned);
    }

    void operationKindRoundTrip()
    {
        for (OperationKind k : {OperationKind::Real, OperationKind::Planned})
            QCOMPARE(operationKindFromStored(toStored(k)), std::optional(k));
        QCOMPARE(toStored(OperationKind::Real), QString("1"));
        QCOMPARE(toStored(OperationKind::Planned), QString("2"));
    }

    void itemDirection_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<std::optional<ItemDirection>>("direction");
        QTest::addColumn<bool>("inExpense");
        QTest::addColumn<bool>("inIncome");
        QTest::newRow("expense") << "-" << std::optional(ItemDirection::Expense) << true << false;
        QTest::newRow("income") << "+" << std::optional(ItemDirection::Income) << false << true;
        QTest::newRow("both") << "0" << std::optional(ItemDirection::Both) << true << true;
        // An item whose mark is unknown is refused as a direction and still shown in both trees, so
        // that the user sees it and can put it right.
        QTest::newRow("none") << "" << std::optional<ItemDirection>() << true << true;
        QTest::newRow("other") << "x" << std::optional<ItemDirection>() << true << true;
    }
    void itemDirection()
    {
        QFETCH(QString, stored);
        QFETCH(std::optional<ItemDirection>, direction);
        QFETCH(bool, inExpense);
        QFETCH(bool, inIncome);
        QCOMPARE(itemDirectionFromStored(stored), direction);
        QCOMPARE(storedShownIn(stored, ItemDirection::Expense), inExpense);
        QCOMPARE(storedShownIn(stored, ItemDirection::Income), inIncome);
    }

    void itemDirectionRoundTrip()
    {
        for (ItemDirection d : {ItemDirection::Expense, ItemDirection::Income, ItemDirection::Both})
            QCOMPARE(itemDirectionFromStored(toStored(d)), std::optional(d));
    }
};

QTEST_GUILESS_MAIN(TestMeanings)
#include "tst_meanings.moc"
