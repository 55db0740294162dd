#include "app/DorvMain.h"
#include "categories/CategoryEditor.h"
#include "categories/CategoryTree.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "ledger/MoneyView.h"
#include "support/Child.h"
#include "support/QueryRows.h"
#include "support/ScratchEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"
#include "widgets/DbControls.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

using namespace dorv;

// Editing and moving categories through the real windows.
class TestCategoryEdit : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;
    std::unique_ptr<TFormMain> w;

    TMoneyView& money() { return *child<dorv::TMoneyView>(&*w, "MoneyView"); }
    TCategoryPane& pane() { return *child<TCategoryPane>(&money(), "Pgd"); }
    TCategoryEditor& editor() { return money().categoryEditor(); }
    void exec(const QString& sql) { Database::acquire(w->workingFolder())->exec(sql); }
    QStringList query(const QString& sql) { return queryRows(*Database::acquire(w->workingFolder()), sql); }
    // The tree in display order: a dot per level, the name and the identifier.
    static QStringList lines(QTreeWidget* tree)
    {
        QStringList out;
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            out << QString(TCategoryPane::nodeLevel(*it), QLatin1Char('.')) + (*it)->text(0) + QLatin1Char('#')
                       + QString::number(TCategoryPane::nodeId(*it));
        return out;
    }
    void select(QTreeWidget* tree, int id)
    {
        QTreeWidgetItem* node = pane().FindCategoryNode(tree, id, {});
        QVERIFY(node);
        tree->setCurrentItem(node);
    }
    // X1 (1) with Y (2) and Y3 (3, with Z 5 below), X2 (10) with Y2 (11); a "0" item Gift (20).
    void tree()
    {
        exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Счёт', 'руб', 0)");
        exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), (2, 'Хлеб', 1, 1, "
             "'-'), (3, 'Мясо', 1, 1, '-'), (5, 'Фарш', 3, 2, '-'), (10, 'Дом', NULL, 0, '-'), (11, 'Ремонт', 10, "
             "1, '-'), (20, 'Подарки', NULL, 0, '0'), (30, 'Зарплата', NULL, 0, '+')");
        dm().Tb_Items->refresh();
        dm().Tb_Account->refresh();
        money().ResetTrees();
        money().ApplyPeriod();
    }
    TDm& dm() { return *w->Dm(); }
    void booked(int l1, QVariant l2, QVariant l3, int times = 1)
    {
        static int stamp = 1;
        for (int i = 0; i < times; ++i) {
            Statement st = Database::acquire(w->workingFolder())
                               ->prepare("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, Level1, "
                                         "Level2, Level3) VALUES (1, 36500, ?, '1', 1, ?, ?, ?)");
            st.bindAll({stamp++, l1, l2, l3});
            st.step();
        }
        dm().Tb_Hist->refresh();
    }
    // The next card: the name typed, the direction chosen ("" leaves it), OK.
    void nextCard(const QString& name, const QString& direction = {}, QStringList* seen = nullptr)
    {
        prompts.modals.enqueue([name, direction, seen](QDialog* d) {
            if (seen) {
                *seen << d->windowTitle() << d->findChild<QLabel*>("LabCat")->text()
                      << d->findChild<QRadioButton*>("DBRgFirst")->text()
                      << (d->findChild<QGroupBox*>("DBRg")->isVisible() ? "shown" : "hidden");
            }
            auto* edit = d->findChild<TDbEdit*>("DBECat");
            edit->setText(name);
            edit->setModified(true);
            if (direction == "both")
                d->findChild<QRadioButton*>("DBRgBoth")->click();
            auto* ok = d->findChild<QPushButton*>("ButOk");
            if (!ok->isEnabled())
                return int(QDialog::Rejected);
            ok->click();
            return d->isVisible() ? int(QDialog::Rejected) : d->result();
        });
    }
    bool focus(QWidget* widget)
    {
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get()))
            return false;
        widget->setFocus();
        return widget->hasFocus();
    }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        prompts = ScriptedPrompts();
        const MainEnvironment e = scratchEnvironment(*root, prompts);
        w = std::make_unique<TFormMain>(e);
        QVERIFY(w->started());
        tree();
    }
    void cleanup()
    {
        w.reset();
        root.reset();
    }

    void addingAndBranching_data()
    {
        QTest::addColumn<int>("selected"); // 0: none
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("stored"); // LEV ID_REF C of the new item
        QTest::addColumn<QString>("caption");
        QTest::addRow("no selection") << 0 << 1 << "0 - -"
                                      << "Добавление статьи расхода";
        QTest::addRow("beside a level-2 item") << 5 << 1 << "2 3 -"
                                               << "Добавление статьи расхода";
        QTest::addRow("a branch of a level-1 item") << 2 << 2 << "2 2 -"
                                                    << "Ответвление статьи расхода";
    }
    void addingAndBranching()
    {
        QFETCH(int, selected);
        QFETCH(int, tag);
        QFETCH(QString, stored);
        QFETCH(QString, caption);
        if (selected)
            select(child<QTreeWidget>(&pane(), "TvCt"), selected);
        else
            child<QTreeWidget>(&pane(), "TvCt")->setCurrentItem(nullptr);
        QStringList seen;
        nextCard("Новая", {}, &seen);
        editor().OpenCategoryCard(CardMode(tag));
        QCOMPARE(seen.value(0), caption);
        QCOMPARE(query("SELECT LEV, ID_REF, C FROM TB_ITEMS WHERE ITM = 'Новая'"), QStringList{stored});
        QTreeWidgetItem* node = child<QTreeWidget>(&pane(), "TvCt")->currentItem();
        QCOMPARE(node->text(0), QString("Новая"));
        QCOMPARE(TCategoryPane::nodeLevel(node), stored.left(1).toInt());
        QVERIFY(child<QTreeWidget>(&pane(), "TvDt")->topLevelItemCount()
                == 0); // the other tree is filled anew when shown
        QVERIFY(!dm().DataSaved);
    }

    void afterTheCardEverythingStillWorks()
    {
        // The other tree had a node chosen; emptying it must not take the commands away.
        pane().FillCategoryTree(child<QTreeWidget>(&pane(), "TvDt"));
        child<QTreeWidget>(&pane(), "TvDt")->setCurrentItem(child<QTreeWidget>(&pane(), "TvDt")->topLevelItem(0));
        select(child<QTreeWidget>(&pane(), "TvCt"), 2);
        nextCard("Булка");
        w->action("mCategoryNew")->trigger();
        QCOMPARE(child<QTreeWidget>(&pane(), "TvDt")->topLevelItemCount(), 0);
        QVERIFY(w->action("mCategoryEdit")->isEnabled());
        // Another database later: the card's OK works for whatever it shows next.
        w->mNewClick();
        QVERIFY(child<QPushButton>(w->Card(), "ButOk")->isEnabled());
    }

    void hiddenBranchesCountAsBranches()
    {
        // A "0" item whose only child is an income item looks like a leaf in the expense tree.
        exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (21, 'Цветы', 20, 1, '+')");
        dm().Tb_Items->refresh();
        money().ResetTrees();
        if (!focus(child<QTreeWidget>(&pane(), "TvCt")))
            QSKIP("the platform does not activate windows");
        select(child<QTreeWidget>(&pane(), "TvCt"), 20);
        QCOMPARE(child<QTreeWidget>(&pane(), "TvCt")->currentItem()->childCount(), 0);
        prompts.confirms.enqueue(true);
        w->action("mCategoryDelete")->trigger();
        QCOMPARE(query("SELECT count(*) FROM TB_ITEMS WHERE ID_ITM IN (20, 21)"), QStringList{"2"});
        w->hide();
    }

    void branchIsRefusedBelowLevelTwoAndTheTransfer()
    {
        for (int id : {5, -1}) {
            select(child<QTreeWidget>(&pane(), "TvCt"), id);
            QVERIFY(!w->action("mCategoryNewChild")->isEnabled());
        }
    }

    void incomeItemForBothDirections()
    {
        child<QToolButton>(&money(), "ButDt")->click();
        select(child<QTreeWidget>(&pane(), "TvDt"), 30);
        QStringList seen;
        nextCard("Премия", "both", &seen);
        w->action("mCategoryNew")->trigger();
        QCOMPARE(seen.value(0), QString("Добавление статьи приходa").replace("a", "а"));
        QCOMPARE(seen.value(2), QString("приход"));
        QCOMPARE(query("SELECT C FROM TB_ITEMS WHERE ITM = 'Премия'"), QStringList{"0"});
        child<QToolButton>(&money(), "ButCt")->click();
        QVERIFY(lines(child<QTreeWidget>(&pane(), "TvCt")).join(' ').contains("Премия#"));
    }

    void takenNamesAreRefused()
    {
        select(child<QTreeWidget>(&pane(), "TvCt"), 2);
        nextCard("ХЛЕБ"); // Cyrillic case counts: a new name
        prompts.modals.clear();
        prompts.modals.enqueue([](QDialog* d) {
            auto* edit = d->findChild<TDbEdit*>("DBECat");
            edit->setText("Зарплата"); // an income item's name, while the income tree is empty
            d->findChild<QPushButton*>("ButOk")->click();
            const bool open = d->isVisible();
            return open ? int(QDialog::Rejected) : int(QDialog::Accepted);
        });
        child<QTreeWidget>(&pane(), "TvDt")->clear();
        editor().OpenCategoryCard(CardMode::New);
        QCOMPARE(prompts.messages(), QStringList{"Такая статья уже есть!"});
        QCOMPARE(query("SELECT count(*) FROM TB_ITEMS WHERE ITM = 'Зарплата'"), QStringList{"1"});
        QCOMPARE(dm().Tb_Items->state(), DatasetState::Browse);
    }

    void unstorableNameIsSaidAndKeptInTheCard()
    {
        select(child<QTreeWidget>(&pane(), "TvCt"), 2);
        bool keptOpen = false;
        QString kept;
        prompts.modals.enqueue([&](QDialog* d) {
            auto* edit = d->findChild<TDbEdit*>("DBECat");
            auto* ok = d->findChild<QPushButton*>("ButOk");
            edit->setText("Кофе ☕");
            edit->setModified(true);
            ok->click();
            keptOpen = d->isVisible();
            kept = edit->text();
            edit->setText("Кофе");
            edit->setModified(true);
            ok->click();
            return d->isVisible() ? int(QDialog::Rejected) : d->result();
        });
        editor().OpenCategoryCard(CardMode::New);
        QVERIFY(keptOpen);
        QCOMPARE(kept, QString("Кофе ☕"));
        QCOMPARE(prompts.messages().size(), 1);
        QVERIFY2(prompts.messages().first().contains("символ «☕» не может быть сохранён"),
                 qPrintable(prompts.messages().first()));
        QCOMPARE(query("SELECT LEV, ID_REF FROM TB_ITEMS WHERE ITM = 'Кофе'"), QStringList{"1 1"});
        QCOMPARE(dm().Tb_Items->state(), DatasetState::Browse);
    }

    void aDirectionTheBookedRowsGoAgainstIsRefused()
    {
        // Подарки goes both ways and has an income booked on it: it cannot become an expense item.
        exec("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Level1) VALUES (1, 36500, 1, '1', 5, "
             "20)");
        select(child<QTreeWidget>(&pane(), "TvCt"), 20);
        bool keptOpen = false;
        prompts.modals.enqueue([&](QDialog* d) {
            d->findChild<QRadioButton*>("DBRgFirst")->click();
            d->findChild<QPushButton*>("ButOk")->click();
            keptOpen = d->isVisible();
            return int(QDialog::Rejected);
        });
        w->action("mCategoryEdit")->trigger();
        QVERIFY(keptOpen);
        QCOMPARE(prompts.messages(),
                 QStringList{"Статья «Подарки» не может стать статьёй расхода: по ней записаны операции прихода (1)."});
        QCOMPARE(query("SELECT C FROM TB_ITEMS WHERE ID_ITM = 20"), QStringList{"0"});
        QCOMPARE(dm().Tb_Items->state(), DatasetState::Browse);
    }

    void enterThatEndsARenameOpensNoCard()
    {
        QTreeWidget* tree = child<QTreeWidget>(&pane(), "TvCt");
        QVERIFY(focus(tree));
        select(tree, 2);
        tree->editItem(tree->currentItem(), 0);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY2(editor && tree->isAncestorOf(editor), "an in-place editor has the focus");
        editor->setText("Булка");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(query("SELECT ITM FROM TB_ITEMS WHERE ID_ITM = 2"), QStringList{"Булка"});
        QVERIFY2(!prompts.asked.contains("modal: TFormCard"), qPrintable(prompts.asked.join('\n')));
        QCOMPARE(query("SELECT count(*) FROM TB_HIST"), QStringList{"0"});
        QCOMPARE(dm().Tb_Hist->state(), DatasetState::Browse);
        // Enter on the tree itself still books.
        prompts.modals.enqueue([](QDialog*) { return int(QDialog::Rejected); });
        QTest::keyClick(tree, Qt::Key_Return);
        QVERIFY(prompts.asked.contains("modal: TFormCard"));
    }

    void renamingShowsEverywhere()
    {
        booked(20, {}, {});
        // The "0" item in place: both trees and the history.
        QTreeWidgetItem* gift = pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 20, {});
        pane().FillCategoryTree(child<QTreeWidget>(&pane(), "TvDt"));
        gift->setText(0, "Сувениры");
        QCOMPARE(query("SELECT ITM FROM TB_ITEMS WHERE ID_ITM = 20"), QStringList{"Сувениры"});
        QCOMPARE(dm().Tb_Hist->fieldByName("Category").asString(), QString("Сувениры"));
        pane().FillCategoryTree(child<QTreeWidget>(&pane(), "TvDt"));
        QVERIFY(lines(child<QTreeWidget>(&pane(), "TvDt")).contains("Сувениры#20"));
        // A taken name keeps the old label.
        gift = pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 20, {});
        gift->setText(0, "Дом");
        QCOMPARE(gift->text(0), QString("Сувениры"));
        QCOMPARE(prompts.messages(), QStringList{"Такая статья уже есть!"});
    }

    void transferItemRenamedWithoutDirection()
    {
        select(child<QTreeWidget>(&pane(), "TvCt"), -1);
        QStringList seen;
        nextCard("ПЕРЕВОДЫ", {}, &seen);
        w->action("mCategoryEdit")->trigger();
        QCOMPARE(seen.value(3), QString("hidden"));
        QCOMPARE(query("SELECT ITM, C FROM TB_ITEMS WHERE ID_ITM = -1"), QStringList{"ПЕРЕВОДЫ -"});
    }

    void deletingCountsTheExactPath()
    {
        booked(1, 2, {}, 3);
        booked(1, {}, {}); // on the parent: not a use of the child
        booked(1, 3, 5);   // another branch
        if (!focus(child<QTreeWidget>(&pane(), "TvCt")))
            QSKIP("the platform does not activate windows");
        select(child<QTreeWidget>(&pane(), "TvCt"), 2);
        prompts.confirms.enqueue(true);
        w->action("mCategoryDelete")->trigger();
        QCOMPARE(prompts.messages(), QStringList{"Удаление невозможно! - 3 связей в истории"});
        QCOMPARE(query("SELECT count(*) FROM TB_ITEMS WHERE ID_ITM = 2"), QStringList{"1"});
        // From the main menu while the history has the focus: nothing.
        QVERIFY(focus(child<TDbGrid>(&money(), "DBG")));
        prompts.asked.clear();
        select(child<QTreeWidget>(&pane(), "TvCt"), 11);
        w->action("mCategoryDelete")->trigger();
        QVERIFY(prompts.asked.isEmpty());
        // An unused item goes.
        QVERIFY(focus(child<QTreeWidget>(&pane(), "TvCt")));
        select(child<QTreeWidget>(&pane(), "TvCt"), 11);
        prompts.confirms.enqueue(true);
        w->action("mCategoryDelete")->trigger();
        QCOMPARE(query("SELECT count(*) FROM TB_ITEMS WHERE ID_ITM = 11"), QStringList{"0"});
        QVERIFY(!pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 11, {}));
        w->hide();
    }

    void findSelectsTheNode()
    {
        prompts.inputs.enqueue("фарш");
        w->action("mCategoryFind")->trigger();
        QVERIFY(prompts.asked.contains("input: Поиск / Введите искомую статью: []"));
        QVERIFY(!child<QTreeWidget>(&pane(), "TvCt")->currentItem()
                || TCategoryPane::nodeId(child<QTreeWidget>(&pane(), "TvCt")->currentItem()) != 5);
        prompts.inputs.enqueue("Фарш");
        w->action("mCategoryFind")->trigger();
        QCOMPARE(TCategoryPane::nodeId(child<QTreeWidget>(&pane(), "TvCt")->currentItem()), 5);
    }

    void movingRewritesOnlyTheItemsRows()
    {
        booked(1, 2, {}, 2); // (X1, Y)
        booked(1, {}, {});   // (X1)
        booked(1, 3, 5);     // (X1, Y3, Z)
        prompts.confirms.enqueue(true);
        editor().MoveCategory(pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 2, {}),
                              pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 10, {}),
                              TCategoryEditor::Attach::Child);
        QCOMPARE(query("SELECT Level1, Level2, Level3 FROM TB_HIST ORDER BY Date_Create"),
                 (QStringList{"10 2 -", "10 2 -", "1 - -", "1 3 5"}));
        QCOMPARE(query("SELECT LEV, ID_REF FROM TB_ITEMS WHERE ID_ITM = 2"), QStringList{"1 10"});
        QCOMPARE(TCategoryPane::nodeId(child<QTreeWidget>(&pane(), "TvCt")->currentItem()), 2);
        QCOMPARE(TCategoryPane::nodeId(child<QTreeWidget>(&pane(), "TvCt")->currentItem()->parent()), 10);
        QCOMPARE(dm().Tb_Hist->fieldByName("Category").asString(), QString("Дом"));
        // Into a level-1 item: a level-2 item.
        prompts.confirms.enqueue(true);
        editor().MoveCategory(pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 2, {}),
                              pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 11, {}),
                              TCategoryEditor::Attach::Child);
        QCOMPARE(query("SELECT Level1, Level2, Level3 FROM TB_HIST WHERE Level3 = 2"),
                 (QStringList{"10 11 2", "10 11 2"}));
    }

    void levelTwoToTheFirstLevelByName()
    {
        booked(1, 3, 5);
        if (!focus(child<QTreeWidget>(&pane(), "TvCt")))
            QSKIP("the platform does not activate windows");
        select(child<QTreeWidget>(&pane(), "TvCt"), 5);
        prompts.inputs.enqueue("");
        prompts.confirms.enqueue(true);
        w->action("mCategoryMove")->trigger();
        QCOMPARE(query("SELECT Level1, Level2, Level3 FROM TB_HIST"), QStringList{"5 - -"});
        QCOMPARE(query("SELECT LEV, ID_REF FROM TB_ITEMS WHERE ID_ITM = 5"), QStringList{"0 -"});
        // A name nobody has.
        select(child<QTreeWidget>(&pane(), "TvCt"), 2);
        prompts.inputs.enqueue("Нет такой");
        w->action("mCategoryMove")->trigger();
        QCOMPARE(prompts.messages(), QStringList{"Цель не найдена!"});
        w->hide();
    }

    void refusedMoves_data()
    {
        QTest::addColumn<int>("moved");
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("child");
        QTest::addColumn<QString>("message");
        QTest::addRow("with branches") << 3 << 10 << true << "Перемещаемая статья не должна иметь ответвлений!";
        QTest::addRow("the transfer item")
            << 2 << -1 << true << "Перемещения, связанные с зелёной статьёй, не поддерживаются!";
        QTest::addRow("right of level 2") << 2 << 5 << true << "Невозможно переместить статью на более правый уровень!";
        QTest::addRow("root beside root") << 20 << 1 << false << "Нет смысла в перемещении!";
        QTest::addRow("both directions") << 20 << 10 << true << "Перемещаемая статья не должна быть приходно-расходной";
        QTest::addRow("onto itself") << 2 << 2 << true << "";
    }
    void refusedMoves()
    {
        QFETCH(int, moved);
        QFETCH(int, target);
        QFETCH(bool, child);
        QFETCH(QString, message);
        const QStringList before = query("SELECT ID_ITM, LEV, ID_REF FROM TB_ITEMS ORDER BY ID_ITM");
        editor().MoveCategory(pane().FindCategoryNode(::child<QTreeWidget>(&pane(), "TvCt"), moved, {}),
                              pane().FindCategoryNode(::child<QTreeWidget>(&pane(), "TvCt"), target, {}),
                              child ? TCategoryEditor::Attach::Child : TCategoryEditor::Attach::Sibling);
        QCOMPARE(prompts.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(query("SELECT ID_ITM, LEV, ID_REF FROM TB_ITEMS ORDER BY ID_ITM"), before);
    }

    void movingUnderItsOwnParentChangesNoPath()
    {
        booked(1, 2, {});
        prompts.confirms.enqueue(true);
        editor().MoveCategory(pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 2, {}),
                              pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 1, {}),
                              TCategoryEditor::Attach::Child);
        QVERIFY(prompts.asked.contains("confirm: Изменить место расположения статьи ?"));
        QCOMPARE(query("SELECT Level1, Level2, Level3 FROM TB_HIST"), QStringList{"1 2 -"});
    }

    void failedMoveLeavesBoth()
    {
        booked(1, 2, {});
        exec("CREATE TRIGGER refuse BEFORE UPDATE ON TB_HIST BEGIN SELECT RAISE(ABORT, 'refused'); END");
        prompts.confirms.enqueue(true);
        QVERIFY_THROWS_EXCEPTION(
            std::exception, editor().MoveCategory(pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 2, {}),
                                                  pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 10, {}),
                                                  TCategoryEditor::Attach::Child));
        QCOMPARE(query("SELECT LEV, ID_REF FROM TB_ITEMS WHERE ID_ITM = 2"), QStringList{"1 1"});
        QCOMPARE(query("SELECT Level1, Level2, Level3 FROM TB_HIST"), QStringList{"1 2 -"});
        QCOMPARE(TCategoryPane::nodeId(pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 2, {})->parent()),
                 1);
    }

    void droppingDecidesByThePoint()
    {
        if (!focus(child<QTreeWidget>(&pane(), "TvCt")))
            QSKIP("the platform does not activate windows");
        QTreeWidget* tv = child<QTreeWidget>(&pane(), "TvCt");
        tv->expandAll();
        // A level-2 item dropped right of another level-2 item's text is refused; on its text it
        // becomes a sibling there.
        exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (12, 'Обои', 11, 2, '-')");
        dm().Tb_Items->refresh();
        money().ResetTrees();
        tv->expandAll();
        select(tv, 12);
        QTreeWidgetItem* z = pane().FindCategoryNode(tv, 5, {});
        const QRect row = tv->visualItemRect(z);
        editor().TvCtDragDrop(
            tv, QPoint(row.left() + tv->fontMetrics().horizontalAdvance(z->text(0)) + 30, row.center().y()));
        QCOMPARE(prompts.messages(), QStringList{"Невозможно переместить статью на более правый уровень!"});
        prompts.confirms.enqueue(true);
        editor().TvCtDragDrop(tv, QPoint(row.left() + 4, row.center().y()));
        QCOMPARE(query("SELECT LEV, ID_REF FROM TB_ITEMS WHERE ID_ITM = 12"), QStringList{"2 3"});
        // A root on a root's text: nothing to do.
        select(tv, 20);
        QTreeWidgetItem* food = pane().FindCategoryNode(tv, 1, {});
        const QRect foodRow = tv->visualItemRect(food);
        editor().TvCtDragDrop(tv, QPoint(foodRow.left() + 4, foodRow.center().y()));
        QCOMPARE(prompts.messages().last(), QString("Нет смысла в перемещении!"));
        w->hide();
    }
};

QTEST_MAIN(TestCategoryEdit)
#include "tst_category_edit.moc"
