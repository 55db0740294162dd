#include "categories/CategoryTree.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "support/Child.h"
#include "util/ZipArchive.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

#include "support/TemplateDb.h"

#include <memory>

using namespace dorv;

class TestCategories : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TDm> dm;
    std::unique_ptr<TCategoryPane> pane;
    std::vector<std::unique_ptr<QAction>> menu;

    void exec(const QString& sql) { Database::acquire(dir->path())->exec(sql); }

    // Items as "id|name|ref|lev|c" joined by ';'; an empty ref and the direction "null" are NULL.
    void addItems(const QString& rows)
    {
        for (const QString& row : rows.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList f = row.split(QLatin1Char('|'));
            QVERIFY2(f.size() == 5, qPrintable(row));
            const QString ref = f[2].isEmpty() ? QStringLiteral("NULL") : f[2];
            const QString direction =
                f[4] == QLatin1String("null") ? QStringLiteral("NULL") : QLatin1Char('\'') + f[4] + QLatin1Char('\'');
            exec(QStringLiteral("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (%1, '%2', %3, %4, %5)")
                     .arg(f[0], f[1], ref, f[3], direction));
        }
        dm->Tb_Items->refresh();
    }
    void fillBoth()
    {
        pane->FillCategoryTree(child<QTreeWidget>(pane.get(), "TvCt"));
        pane->FillCategoryTree(child<QTreeWidget>(pane.get(), "TvDt"));
    }
    // The tree in display order, one "name#id" per node, indented by a dot per level.
    static QStringList lines(QTreeWidget* tree)
    {
        QStringList out;
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            out << QString(TCategoryPane::nodeLevel(*it), QLatin1Char('.')) + (*it)->text(0) + QLatin1Char('#')
                       + QString::number(TCategoryPane::nodeId(*it));
        return out;
    }
    QAction* command(const QString& name) const
    {
        for (const auto& a : menu)
            if (a->objectName() == name)
                return a.get();
        return pane->popupActions().value(name);
    }
    // Through the window, as the platform delivers it, so that the press also raises the context menu.
    void rightPress(QTreeWidget* tree, const QPoint& onViewport)
    {
        QTest::mousePress(pane->windowHandle(), Qt::RightButton, {}, tree->viewport()->mapTo(pane.get(), onViewport));
        QTest::mouseRelease(pane->windowHandle(), Qt::RightButton, {}, tree->viewport()->mapTo(pane.get(), onViewport));
    }
    static void closePopup()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(unpackTemplate(dir->path()));
        dm = std::make_unique<TDm>();
        dm->BindDatabaseName(dir->path());
        dm->Tb_Items->open();
        pane = std::make_unique<TCategoryPane>(*dm);
        QHash<QString, QAction*> byName;
        for (const char* name :
             {"mCategoryNewChild", "mCategoryDelete", "mCategoryEdit", "mCategoryMove", "mCategoryView"}) {
            menu.push_back(std::make_unique<QAction>(QString::fromLatin1(name)));
            menu.back()->setObjectName(QString::fromLatin1(name));
            byName.insert(menu.back()->objectName(), menu.back().get());
        }
        pane->setMenuActions(byName);
    }
    void cleanup()
    {
        closePopup();
        pane.reset();
        menu.clear();
        dm.reset();
        dir.reset();
    }

    void paneIsNamedAndBuilt()
    {
        QCOMPARE(pane->objectName(), QStringLiteral("Pgd"));
        QCOMPARE(pane->findChild<QWidget*>("ShCt")->findChild<QTreeWidget*>("TvCt"),
                 child<QTreeWidget>(pane.get(), "TvCt"));
        QCOMPARE(pane->findChild<QWidget*>("ShDt")->findChild<QTreeWidget*>("TvDt"),
                 child<QTreeWidget>(pane.get(), "TvDt"));
        const QStringList names{"mpCategoryNew",  "mpCategoryNewChild", "mpCategoryEdit", "mpCategoryDelete",
                                "mpCategoryFind", "mpCategoryView",     "mpCategoryMove"};
        QStringList inMenu;
        for (QAction* a : pane->findChild<QMenu*>("PmCat")->actions())
            inMenu << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
        QCOMPARE(inMenu, (QStringList{names[0], names[1], names[2], names[3], "-", names[4], names[5], "-", names[6]}));
        QCOMPARE(pane->popupActions().value("mpCategoryNewChild")->property("tag").toInt(), 2);
        QCOMPARE(pane->popupActions().value("mpCategoryDelete")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
        pane->showPage(false);
        QCOMPARE(pane->shownTree(), child<QTreeWidget>(pane.get(), "TvDt"));
        pane->showPage(true);
        QCOMPARE(pane->shownTree(), child<QTreeWidget>(pane.get(), "TvCt"));
    }

    void newDatabaseHoldsOnlyTheTransfer()
    {
        fillBoth();
        QCOMPARE(lines(child<QTreeWidget>(pane.get(), "TvCt")), QStringList{"ПЕРЕВОД#-1"});
        QCOMPARE(lines(child<QTreeWidget>(pane.get(), "TvDt")), QStringList{});
        child<QTreeWidget>(pane.get(), "TvCt")->setCurrentItem(child<QTreeWidget>(pane.get(), "TvCt")->topLevelItem(0));
        QVERIFY(!command("mCategoryNewChild")->isEnabled());
        QVERIFY(!command("mCategoryDelete")->isEnabled());
        QVERIFY(command("mCategoryEdit")->isEnabled());
        QVERIFY(command("mCategoryMove")->isEnabled());
    }

    void commandStates_data()
    {
        QTest::addColumn<int>("id"); // 0: no node
        QTest::addColumn<bool>("account");
        QTest::addColumn<QString>("expected"); // enabled commands among NewChild, Delete, Edit, Move, View
        QTest::newRow("no node") << 0 << true << "";
        QTest::newRow("transfer") << -1 << false << "Edit Move";
        QTest::newRow("level 0 leaf") << 10 << false << "NewChild Delete Edit Move";
        QTest::newRow("level 0 parent") << 20 << false << "NewChild Edit Move";
        QTest::newRow("level 1 parent") << 21 << false << "NewChild Edit Move";
        QTest::newRow("level 2 leaf") << 22 << false << "Delete Edit Move";
        QTest::newRow("with account") << 22 << true << "Delete Edit Move View";
    }
    void commandStates()
    {
        QFETCH(int, id);
        QFETCH(bool, account);
        QFETCH(QString, expected);
        addItems("10|Еда||0|-;20|Машина||0|-;21|Бензин|20|1|-;22|Аи-95|21|2|-");
        pane->FillCategoryTree(child<QTreeWidget>(pane.get(), "TvCt"));
        if (account) {
            exec("INSERT INTO TB_ACCOUNT (ID_ACCOUNT, ACCOUNT, CURRENCY, REST) VALUES (1, 'Счёт', 'руб', 0)");
            dm->Tb_Account->open();
        }
        pane->TvCtChange(id ? pane->FindCategoryNode(child<QTreeWidget>(pane.get(), "TvCt"), id, {}) : nullptr);
        QStringList enabled;
        for (const char* c : {"NewChild", "Delete", "Edit", "Move", "View"}) {
            const QString name = QString::fromLatin1(c);
            QAction* main = command("mCategory" + name);
            QCOMPARE(pane->popupActions().value("mpCategory" + name)->isEnabled(), main->isEnabled());
            if (main->isEnabled())
                enabled << name;
        }
        QCOMPARE(enabled.join(' '), expected);
        QVERIFY(child<QAction>(pane.get(), "mpCategoryNew")->isEnabled());
        QVERIFY(child<QAction>(pane.get(), "mpCategoryFind")->isEnabled());
        if (id)
            QCOMPARE(TCategoryPane::nodeId(child<QTreeWidget>(pane.get(), "TvCt")->currentItem()), id);
    }

    void transferPaintsGreen()
    {
        fillBoth();
        addItems("10|Еда||0|-");
        pane->EmptyTrees();
        pane->FillCategoryTree(child<QTreeWidget>(pane.get(), "TvCt"));
        auto* delegate = qobject_cast<TCategoryDelegate*>(child<QTreeWidget>(pane.get(), "TvCt")->itemDelegate());
        QVERIFY(delegate);
        const QPalette palette = child<QTreeWidget>(pane.get(), "TvCt")->palette();
        QCOMPARE(TCategoryDelegate::nodeTextColour(-1, palette), QColor(0, 128, 0));
        QCOMPARE(TCategoryDelegate::nodeTextColour(10, palette), palette.color(QPalette::WindowText));
        QCOMPARE(palette.color(QPalette::Base), palette.color(QPalette::Button));

        // A selected node keeps its colour and is painted on the window colour, not the highlight.
        for (int id : {-1, 10}) {
            QTreeWidgetItem* node = pane->FindCategoryNode(child<QTreeWidget>(pane.get(), "TvCt"), id, {});
            QStyleOptionViewItem option;
            option.palette = palette;
            option.state = QStyle::State_Selected | QStyle::State_HasFocus;
            delegate->initStyleOption(&option, child<QTreeWidget>(pane.get(), "TvCt")->indexFromItem(node));
            QCOMPARE(option.palette.color(QPalette::Text), TCategoryDelegate::nodeTextColour(id, palette));
            QCOMPARE(option.palette.color(QPalette::HighlightedText), TCategoryDelegate::nodeTextColour(id, palette));
            QVERIFY(!(option.state & QStyle::State_Selected));
            QCOMPARE(option.backgroundBrush.color(),
                     QApplication::palette(child<QTreeWidget>(pane.get(), "TvCt")).color(QPalette::Base));
        }
    }

    void membership_data()
    {
        QTest::addColumn<QString>("items");
        QTest::addColumn<QStringList>("expense");
        QTest::addColumn<QStringList>("income");
        const QString transfer = "ПЕРЕВОД#-1";
        QTest::newRow("both directions") << "10|Еда||0|0" << QStringList{"Еда#10", transfer} << QStringList{"Еда#10"};
        QTest::newRow("no direction") << "10|Еда||0|null" << QStringList{"Еда#10", transfer} << QStringList{"Еда#10"};
        QTest::newRow("expense") << "10|Еда||0|-" << QStringList{"Еда#10", transfer} << QStringList{};
        QTest::newRow("income") << "10|Зарплата||0|+" << QStringList{transfer} << QStringList{"Зарплата#10"};
        QTest::newRow("income under both") << "10|Доход||0|0;11|Премия|10|1|+" << QStringList{"Доход#10", transfer}
                                           << QStringList{"Доход#10", ".Премия#11"};
        QTest::newRow("both under expense")
            << "10|Еда||0|-;11|Хлеб|10|1|0;12|Батон|11|2|0" << QStringList{"Еда#10", ".Хлеб#11", "..Батон#12", transfer}
            << QStringList{};
        QTest::newRow("level 3 nowhere") << "10|Еда||0|0;11|Хлеб|10|1|0;12|Батон|11|2|0;13|Крошки|12|3|0;14|Разное||3|0"
                                         << QStringList{"Еда#10", ".Хлеб#11", "..Батон#12", transfer}
                                         << QStringList{"Еда#10", ".Хлеб#11", "..Батон#12"};
        QTest::newRow("missing parent") << "11|Хлеб|99|1|-;12|Батон|11|2|-" << QStringList{transfer} << QStringList{};
        QTest::newRow("child listed before parent")
            << "30|Хлеб|40|1|-;40|Еда||0|-" << QStringList{"Еда#40", ".Хлеб#30", transfer} << QStringList{};
        QTest::newRow("siblings alphabetical")
            << "5|Яблоки||0|-;3|Авто||0|-;4|Бензин||0|-" << QStringList{"Авто#3", "Бензин#4", transfer, "Яблоки#5"}
            << QStringList{};
        QTest::newRow("children alphabetical")
            << "20|Машина||0|+;22|Шины|20|1|+;21|Бензин|20|1|+;25|Масло|21|2|+;24|Аи-95|21|2|+" << QStringList{transfer}
            << QStringList{"Машина#20", ".Бензин#21", "..Аи-95#24", "..Масло#25", ".Шины#22"};
    }
    void membership()
    {
        QFETCH(QString, items);
        QFETCH(QStringList, expense);
        QFETCH(QStringList, income);
        addItems(items);
        fillBoth();
        QCOMPARE(lines(child<QTreeWidget>(pane.get(), "TvCt")), expense);
        QCOMPARE(lines(child<QTreeWidget>(pane.get(), "TvDt")), income);
    }

    void findCategoryNode_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("found"); // the found node's id; 0: none
        QTest::newRow("id at depth 2") << 5 << "" << 5;
        QTest::newRow("transfer") << -1 << "" << -1;
        QTest::newRow("unknown id") << 99 << "Auto" << 0;
        QTest::newRow("latin in capitals") << -10 << "AUTO" << 2;
        QTest::newRow("latin as stored") << -10 << "Auto" << 2;
        QTest::newRow("cyrillic in capitals") << -10 << "ЕДА" << 0;
        QTest::newRow("cyrillic as stored") << -10 << "Еда" << 10;
        QTest::newRow("empty name") << -10 << "" << 0;
        QTest::newRow("first in display order") << -10 << "Мясо" << 30;
        QTest::newRow("selecting") << -11 << "BATON" << 5;
        QTest::newRow("selecting nothing") << -11 << "" << 0;
    }
    void findCategoryNode()
    {
        QFETCH(int, id);
        QFETCH(QString, name);
        QFETCH(int, found);
        addItems("10|Еда||0|-;2|Auto||0|-;7|Хлеб|10|1|-;5|Baton|7|2|-;3|Мясо||0|-;30|Мясо|10|1|-");
        pane->FillCategoryTree(child<QTreeWidget>(pane.get(), "TvCt"));
        QTreeWidgetItem* node = pane->FindCategoryNode(child<QTreeWidget>(pane.get(), "TvCt"), id, name);
        QCOMPARE(node ? TCategoryPane::nodeId(node) : 0, found);
        QCOMPARE(child<QTreeWidget>(pane.get(), "TvCt")->currentItem(), id == -11 ? node : nullptr);
        if (id == -11 && node)
            QVERIFY(node->isSelected());
    }

    void fillOnlyOnceAndRestoresTheTable()
    {
        Table& items = *dm->Tb_Items;
        pane->FillCategoryTree(child<QTreeWidget>(pane.get(), "TvCt"));
        QVERIFY(!items.filtered());
        QVERIFY(items.filter().isEmpty());
        QVERIFY(!items.controlsDisabled());
        QCOMPARE(items.recordCount(), 1);

        addItems("10|Еда||0|-");
        pane->FillCategoryTree(child<QTreeWidget>(pane.get(), "TvCt"));
        QCOMPARE(lines(child<QTreeWidget>(pane.get(), "TvCt")), QStringList{"ПЕРЕВОД#-1"});
        pane->EmptyTrees();
        QCOMPARE(child<QTreeWidget>(pane.get(), "TvCt")->topLevelItemCount(), 0);
        pane->FillCategoryTree(child<QTreeWidget>(pane.get(), "TvCt"));
        QCOMPARE(lines(child<QTreeWidget>(pane.get(), "TvCt")), (QStringList{"Еда#10", "ПЕРЕВОД#-1"}));
        QVERIFY(!items.filtered());
        QVERIFY(items.filter().isEmpty());
        QCOMPARE(items.recordCount(), 2);
    }

    void enterOpensTheCard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("node");
        QTest::newRow("return on a node") << int(Qt::Key_Return) << true;
        QTest::newRow("keypad enter on a node") << int(Qt::Key_Enter) << true;
        QTest::newRow("return without a node") << int(Qt::Key_Return) << false;
    }
    void enterOpensTheCard()
    {
        QFETCH(int, key);
        QFETCH(bool, node);
        pane->FillCategoryTree(child<QTreeWidget>(pane.get(), "TvCt"));
        pane->show();
        QVERIFY(QTest::qWaitForWindowExposed(pane.get()));
        child<QTreeWidget>(pane.get(), "TvCt")
            ->setCurrentItem(node ? child<QTreeWidget>(pane.get(), "TvCt")->topLevelItem(0) : nullptr);
        QSignalSpy opened(pane.get(), &TCategoryPane::operationCardRequested);
        QTest::keyClick(child<QTreeWidget>(pane.get(), "TvCt"), Qt::Key(key));
        QCOMPARE(opened.size(), node ? 1 : 0);
    }

    void rightPressSelectsTheNode()
    {
        addItems("10|Еда||0|-");
        pane->FillCategoryTree(child<QTreeWidget>(pane.get(), "TvCt"));
        pane->resize(200, 300);
        pane->show();
        QVERIFY(QTest::qWaitForWindowExposed(pane.get()));
        QTreeWidget* tree = child<QTreeWidget>(pane.get(), "TvCt");
        QTreeWidgetItem* food = tree->topLevelItem(0);
        QTreeWidgetItem* transfer = tree->topLevelItem(1);
        tree->setCurrentItem(food);

        rightPress(tree, tree->visualItemRect(transfer).center());
        QCOMPARE(tree->currentItem(), transfer);
        QVERIFY(transfer->isSelected());
        QCOMPARE(QApplication::activePopupWidget(), child<QMenu>(pane.get(), "PmCat"));
        closePopup();

        rightPress(tree, QPoint(5, tree->viewport()->height() - 5));
        QCOMPARE(tree->currentItem(), transfer);
        QVERIFY(transfer->isSelected());
        closePopup();

        // Without the category table there is nothing for the popup to act on.
        dm->Tb_Items->close();
        rightPress(tree, tree->visualItemRect(food).center());
        QCOMPARE(tree->currentItem(), food);
        QVERIFY(!QApplication::activePopupWidget());
    }

    void focusColoursTheSplitter()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        pane->setParent(&window);
        // The pane belongs to the fixture; it must leave the window before the window goes.
        const auto release = qScopeGuard([this] { pane->setParent(nullptr); });
        layout->addWidget(pane.get());
        auto* other = new QLineEdit(&window);
        layout->addWidget(other);
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            QSKIP("the platform does not activate windows");
        other->setFocus();
        QSignalSpy spy(pane.get(), &TCategoryPane::splitterColour);
        child<QTreeWidget>(pane.get(), "TvCt")->setFocus();
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).value<QColor>(), QColor(0, 0, 128));
        other->setFocus();
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(1).at(0).value<QColor>(), pane->palette().color(QPalette::Button));
    }
};

QTEST_MAIN(TestCategories)
#include "tst_categories.moc"
