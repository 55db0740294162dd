#include "app/DorvMain.h"
#include "app/EditCommands.h"
#include "book/Journal.h"
#include "categories/CategoryTree.h"
#include "contacts/DiaryView.h"
#include "contacts/FirmsView.h"
#include "contacts/PeopleView.h"
#include "data/ChangeRecorder.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "data/TableModel.h"
#include "ledger/MoneyView.h"
#include "support/Child.h"
#include "support/QueryRows.h"
#include "support/ScratchEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/Money.h"
#include "widgets/DbControls.h"
#include "widgets/DbGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include <functional>

using namespace dorv;

// Undo and redo through the real main window: each command driven as the user drives it, then
// "Отменить" puts all seven tables back as they were and every view shows them, "Повторить" makes
// them as the command left them, and the menu names the step.
class TestUndoWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;
    std::unique_ptr<TFormMain> w;
    QString file;

    TMoneyView& money() { return *child<dorv::TMoneyView>(&*w, "MoneyView"); }
    TCategoryPane& pane() { return *child<TCategoryPane>(&money(), "Pgd"); }
    TDm& dm() { return *w->Dm(); }
    Table& hist() { return *dm().Tb_Hist; }
    QAction* undo() { return w->action("mUndo"); }
    QAction* redo() { return w->action("mRedo"); }
    void exec(const QString& sql) { Database::acquire(w->workingFolder())->exec(sql); }
    QStringList query(const QString& sql) { return queryRows(*Database::acquire(w->workingFolder()), sql); }
    // Every row of the seven tables, each value with its storage type. The remembered account's
    // mark is left out: the program rewrites it as its own note at every save and view switch.
    QStringList dump()
    {
        QStringList out;
        for (const char* table : {"TB_ACCOUNT", "TB_HIST", "TB_ITEMS", "TB_PERSON", "TB_FAMILY", "TB_FIRM", "TB_LOG"}) {
            Statement st =
                Database::acquire(w->workingFolder())->prepareOnce(QStringLiteral("SELECT * FROM %1").arg(table));
            QStringList rows;
            while (st.step()) {
                QStringList values;
                for (int i = 0; i < st.columnCount(); ++i) {
                    if (QLatin1String(table) == QLatin1String("TB_ACCOUNT") && st.columnName(i).toUpper() == "C")
                        continue;
                    const QVariant v = st.column(i);
                    values << (v.isValid() ? QString::fromLatin1(v.typeName()) + ':' + v.toString() : "null");
                }
                rows << QLatin1String(table) + ' ' + values.join('|');
            }
            rows.sort();
            out += rows;
        }
        return out;
    }
    void select(QTreeWidget* tree, int id)
    {
        QTreeWidgetItem* node = pane().FindCategoryNode(tree, id, {});
        QVERIFY2(node, qPrintable(QString::number(id)));
        tree->setCurrentItem(node);
    }
    template <class T>
    static T* part(QDialog* card, const char* name)
    {
        T* found = card->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no %s", name);
        return found;
    }
    // The next card: the fields typed (name → text), pick lists by their item's text, then OK.
    void nextCard(const QList<std::pair<const char*, QString>>& typed)
    {
        prompts.modals.enqueue([typed](QDialog* d) {
            for (const auto& [name, text] : typed) {
                if (auto* edit = d->findChild<TDbEdit*>(QString::fromLatin1(name))) {
                    edit->setText(text);
                    edit->setModified(true);
                } else if (auto* list = d->findChild<TDbLookupCombo*>(QString::fromLatin1(name))) {
                    const int at = list->findText(text, Qt::MatchStartsWith);
                    list->setCurrentIndex(at);
                    emit list->activated(at);
                }
            }
            part<QPushButton>(d, "ButOk")->click();
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
    QString step(const QString& command, const QString& name) { return command + ": " + name; }

    // The money page shows what the data holds: the current account's balance, its rows and the
    // whole period's totals; the category trees hold the categories; the address book's grids
    // their rows.
    void checkViews()
    {
        const QString account = dm().Tb_Account->fieldByName("Id_Account").asString();
        QCOMPARE(child<QLabel>(&money(), "DBTRest")->text(),
                 formatMoney(query("SELECT Rest FROM TB_ACCOUNT WHERE Id_Account = " + account).value(0).toDouble()));
        const QStringList sums =
            query("SELECT total(Dt), total(Ct) FROM TB_HIST WHERE Kind = '1' AND Id_Account = " + account)
                .value(0)
                .split(' ');
        QCOMPARE(money().panelText(3), formatMoney(sums.value(0).toDouble()));
        QCOMPARE(money().panelText(5), formatMoney(sums.value(1).toDouble()));
        QCOMPARE(money().panelText(7), formatMoney(sums.value(0).toDouble() - sums.value(1).toDouble()));
        QCOMPARE(QString::number(hist().recordCount()),
                 query("SELECT count(*) FROM TB_HIST WHERE Id_Account = " + account).value(0));
        for (Table* t : {dm().Tb_Account, dm().Tb_Person, dm().Tb_Firm, dm().Tb_Items})
            QCOMPARE(QString::number(t->recordCount()), query("SELECT count(*) FROM " + t->tableName()).value(0));
        for (QTreeWidget* tree : {child<QTreeWidget>(&pane(), "TvCt"), child<QTreeWidget>(&pane(), "TvDt")}) {
            QStringList shown;
            for (QTreeWidgetItemIterator it(tree); *it; ++it)
                shown << QString::number(TCategoryPane::nodeId(*it)) + ' ' + (*it)->text(0);
            shown.sort();
            QStringList stored = query(QStringLiteral("SELECT ID_ITM, ITM FROM TB_ITEMS WHERE C <> '%1'")
                                           .arg(tree == child<QTreeWidget>(&pane(), "TvCt") ? '+' : '-'));
            stored.sort();
            QCOMPARE(shown, stored);
        }
    }

    // A household saved in its data file and opened again, as the user's data would be: three
    // accounts, a small tree, an expense, a planned expense due yesterday, a transfer, two people,
    // a family member, a firm and a diary entry.
    void household()
    {
        exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Кошелёк', 'руб', 1000),"
             " (2, 'Карта', 'руб', 500), (3, 'Доллары', 'USD', 0)");
        exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'),"
             " (2, 'Картофель', 1, 1, '-'), (3, 'Батон', 1, 1, '-'), (4, 'Зарплата', NULL, 0, '+'),"
             " (5, 'Транспорт', NULL, 0, '-'), (6, 'Дом', NULL, 0, '-')");
        const int feb1 = dayNumber(QDate(2000, 2, 1)), feb5 = dayNumber(QDate(2000, 2, 5));
        exec(QString("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, Level1, Level2) VALUES"
                     " (1, %1, 1000, '1', 50, 1, 2), (1, %2, 1001, '2', 10, 1, 3)")
                 .arg(feb1)
                 .arg(feb5));
        exec(QString("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, Dt, Level1, Ref_Account) "
                     "VALUES (1, %1, 1002, '1', 100, NULL, -1, 2), (2, %1, 1002, '1', NULL, 100, -1, 1)")
                 .arg(feb1));
        exec("INSERT INTO TB_PERSON (Id_Person, Name) VALUES (1, 'Иванов И.И.'), (2, 'Петров П.П.')");
        exec("INSERT INTO TB_FAMILY (Id_Family, Id_Person, Name) VALUES (1, 1, 'Мария')");
        exec("INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (1, 'Ромашка')");
        exec("INSERT INTO TB_LOG (Date_Create, Date_Remind, Note, C, Dy) VALUES (1, 36000, 'Позвонить', '0', 1)");
        file = root->filePath("home.den");
        QVERIFY(saveAndReopen(*w, prompts, file));
        dm().Tb_Account->locate("Id_Account", 1);
        money().ApplyPeriod();
        prompts.asked.clear();
    }

    // The commands, each as the user gives it.
    QHash<QString, std::function<void()>> commands()
    {
        QHash<QString, std::function<void()>> c;
        c["expense"] = [this] {
            select(child<QTreeWidget>(&pane(), "TvCt"), 2);
            nextCard({{"DBESum", "350"}});
            w->action("mMoneyNew")->trigger();
        };
        c["income"] = [this] {
            child<QToolButton>(&money(), "ButDt")->click();
            select(child<QTreeWidget>(&pane(), "TvDt"), 4);
            nextCard({{"DBESum", "45000"}});
            w->action("mMoneyNew")->trigger();
        };
        c["transfer"] = [this] {
            select(child<QTreeWidget>(&pane(), "TvCt"), -1);
            nextCard({{"DBETrans", "100"}, {"DBLTrans", "Карта"}});
            QTest::keyClick(child<QTreeWidget>(&pane(), "TvCt"), Qt::Key_Return);
        };
        c["transfer between currencies"] = [this] {
            select(child<QTreeWidget>(&pane(), "TvCt"), -1);
            nextCard({{"DBETrans", "100"}, {"DBLTrans", "Доллары"}, {"DBETrans_Ref", "250"}, {"DBERate", "2.5"}});
            w->action("mMoneyNew")->trigger();
        };
        c["amount changed"] = [this] {
            QVERIFY(hist().locate("Date_Create", 1000));
            nextCard({{"DBESum", "60"}});
            w->action("mMoneyEdit")->trigger();
        };
        c["realised"] = [this] {
            QVERIFY(hist().locate("Date_Create", 1001));
            w->UpdateCommandStates();
            nextCard({});
            w->action("mUpdate")->trigger();
        };
        c["deleted"] = [this] {
            QVERIFY(hist().locate("Date_Create", 1000));
            prompts.confirms.enqueue(true);
            w->action("mMoneyDelete")->trigger();
        };
        c["transfer deleted"] = [this] {
            QVERIFY(hist().locate("Date_Create", 1002));
            prompts.confirms.enqueue(true);
            w->action("mMoneyDelete")->trigger();
        };
        c["account closed, balance kept"] = [this] {
            prompts.threeWay.enqueue(Prompts::Answer::Yes);
            prompts.warnings.enqueue(true);
            w->action("mEmptyHist")->trigger();
        };
        c["account closed, balance zeroed"] = [this] {
            prompts.threeWay.enqueue(Prompts::Answer::No);
            prompts.warnings.enqueue(true);
            w->action("mEmptyHist")->trigger();
        };
        c["category added"] = [this] {
            select(child<QTreeWidget>(&pane(), "TvCt"), 1);
            nextCategory("Кофе");
            w->action("mCategoryNewChild")->trigger();
        };
        c["category renamed by card"] = [this] {
            select(child<QTreeWidget>(&pane(), "TvCt"), 5);
            nextCategory("Проезд");
            w->action("mCategoryEdit")->trigger();
        };
        c["category renamed in place"] = [this] {
            pane().FindCategoryNode(child<QTreeWidget>(&pane(), "TvCt"), 5, {})->setText(0, "Проезд");
        };
        c["category moved"] = [this] {
            select(child<QTreeWidget>(&pane(), "TvCt"), 3);
            prompts.inputs.enqueue("Транспорт");
            prompts.confirms.enqueue(true);
            w->action("mCategoryMove")->trigger();
        };
        c["category deleted"] = [this] {
            select(child<QTreeWidget>(&pane(), "TvCt"), 6);
            prompts.confirms.enqueue(true);
            w->action("mCategoryDelete")->trigger();
        };
        c["one-row account closed"] = [this] {
            QVERIFY(dm().Tb_Account->locate("Id_Account", 2));
            money().ApplyPeriod();
            prompts.threeWay.enqueue(Prompts::Answer::Yes);
            prompts.warnings.enqueue(true);
            w->action("mEmptyHist")->trigger();
        };
        c["account added"] = [this] {
            prompts.modals.enqueue([this](QDialog* d) {
                part<QToolButton>(d, "ButAcc")->click();
                part<QToolButton>(d, "DBNAccInsert")->click();
                dm().Tb_Account->fieldByName("Account").setValue(QStringLiteral("Сбережения"));
                dm().Tb_Account->fieldByName("Currency").setValue(QStringLiteral("руб"));
                part<QToolButton>(d, "DBNAccPost")->click();
                part<QPushButton>(d, "ButOk")->click();
                return d->result();
            });
            w->action("mAccounts")->trigger();
        };
        c["person added"] = [this] {
            w->ShowView(1);
            QTest::keyClick(child<TDbGrid>(child<dorv::TPeopleView>(&*w, "PeopleView"), "DBGPerson"), Qt::Key_Insert);
            dm().Tb_Person->fieldByName("Name").setAsString(QStringLiteral("Сидоров С.С."));
            QTest::keyClick(child<TDbGrid>(child<dorv::TPeopleView>(&*w, "PeopleView"), "DBGPerson"), Qt::Key_Return);
        };
        c["person deleted"] = [this] {
            w->ShowView(1);
            QVERIFY(dm().Tb_Person->locate("Id_Person", 2));
            child<dorv::TPeopleView>(&*w, "PeopleView")
                ->setMenuGrid(child<TDbGrid>(child<dorv::TPeopleView>(&*w, "PeopleView"), "DBGPerson"));
            prompts.confirms.enqueue(true);
            child<QAction>(child<dorv::TPeopleView>(&*w, "PeopleView"), "mpPersonDel")->trigger();
        };
        c["person's phone typed in the grid"] = [this] {
            w->ShowView(1);
            QVERIFY(dm().Tb_Person->locate("Id_Person", 1));
            TableModel& model = *child<TDbGrid>(child<dorv::TPeopleView>(&*w, "PeopleView"), "DBGPerson")->gridModel();
            const int phone = model.columnOf("Phone");
            QVERIFY(model.setData(model.index(dm().Tb_Person->currentRow(), phone), "555"));
            // Moving on posts it, outside any command.
            dm().Tb_Person->next();
        };
        c["family member added"] = [this] {
            w->ShowView(1);
            QVERIFY(dm().Tb_Person->locate("Id_Person", 1));
            child<dorv::TPeopleView>(&*w, "PeopleView")
                ->setMenuGrid(child<TDbGrid>(child<dorv::TPeopleView>(&*w, "PeopleView"), "DBGFamily"));
            child<QAction>(child<dorv::TPeopleView>(&*w, "PeopleView"), "mpPersonNew")->trigger();
            dm().Tb_Family->fieldByName("Name").setAsString(QStringLiteral("Олег"));
            QTest::keyClick(child<TDbGrid>(child<dorv::TPeopleView>(&*w, "PeopleView"), "DBGFamily"), Qt::Key_Return);
        };
        c["firm added"] = [this] {
            w->ShowView(2);
            child<QAction>(child<dorv::TFirmsView>(&*w, "FirmsView"), "mpFirmNew")->trigger();
            dm().Tb_Firm->fieldByName("Firm").setAsString(QStringLiteral("Лютик"));
            QTest::keyClick(child<TDbGrid>(child<dorv::TFirmsView>(&*w, "FirmsView"), "DBGFirm"), Qt::Key_Return);
        };
        c["diary entry added"] = [this] {
            w->ShowView(3);
            child<QAction>(child<dorv::TDiaryView>(&*w, "DiaryView"), "mpLogNew")->trigger();
            dm().Tb_Log->fieldByName("Note").setAsString(QStringLiteral("Купить хлеб"));
            QTest::keyClick(child<TDbGrid>(child<dorv::TDiaryView>(&*w, "DiaryView"), "DBGLog"), Qt::Key_Return);
        };
        return c;
    }
    void nextCategory(const QString& name)
    {
        prompts.modals.enqueue([name](QDialog* d) {
            auto* edit = part<TDbEdit>(d, "DBECat");
            edit->setText(name);
            edit->setModified(true);
            part<QPushButton>(d, "ButOk")->click();
            return d->isVisible() ? int(QDialog::Rejected) : d->result();
        });
    }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        prompts = ScriptedPrompts();
        Clock::pin(QDateTime(QDate(2000, 2, 6), QTime(12, 0)));
        w = std::make_unique<TFormMain>(scratchEnvironment(*root, prompts));
        QVERIFY(w->started());
        QVERIFY(undo() && redo());
        household();
    }
    void cleanup()
    {
        w.reset();
        Clock::unpin();
        root.reset();
    }

    void theEditMenu()
    {
        const QList<QAction*> menus = w->menuBar()->actions();
        QCOMPARE(menus.value(0)->menu()->objectName(), QString("mFile"));
        QCOMPARE(menus.value(1)->menu()->objectName(), QString("mEdit"));
        QCOMPARE(menus.value(1)->text(), QString("&Правка"));
        QCOMPARE(menus.value(2)->menu()->objectName(), QString("mView"));
        QCOMPARE(child<QMenu>(&*w, "mEdit")->actions(), (QList<QAction*>{undo(), redo()}));
        QCOMPARE(undo()->shortcuts(), QList<QKeySequence>{QKeySequence("Ctrl+Z")});
        QCOMPARE(redo()->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
        // Data just opened: nothing to undo or redo.
        QCOMPARE(undo()->text(), QString("&Отменить"));
        QCOMPARE(redo()->text(), QString("&Повторить"));
        QVERIFY(!undo()->isEnabled());
        QVERIFY(!redo()->isEnabled());
        // The keys reach the commands from the window.
        commands()["expense"]();
        if (!focus(child<TDbGrid>(&money(), "DBG")))
            QSKIP("the platform does not activate windows");
        QTest::keyClick(child<TDbGrid>(&money(), "DBG"), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!undo()->isEnabled());
        QTest::keyClick(child<TDbGrid>(&money(), "DBG"), Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(!redo()->isEnabled());
        QTest::keyClick(child<TDbGrid>(&money(), "DBG"), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(child<TDbGrid>(&money(), "DBG"), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(undo()->text(), step("&Отменить", "расход 350.00 «Картофель»"));
        w->hide();
    }

    void everyCommandIsUndoneAndRedone_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("name");
        // Where an undo leaves the row the command changed, it is the current one: "table field value".
        QTest::addColumn<QString>("current");
        QTest::addRow("expense") << "expense"
                                 << "расход 350.00 «Картофель»"
                                 << "";
        QTest::addRow("income") << "income"
                                << "приход 45000.00 «Зарплата»"
                                << "";
        QTest::addRow("transfer") << "transfer"
                                  << "перевод 100.00 «Карта»"
                                  << "";
        QTest::addRow("transfer between currencies") << "transfer between currencies"
                                                     << "перевод 100.00 «Доллары»"
                                                     << "";
        QTest::addRow("amount changed") << "amount changed"
                                        << "изменение операции 60.00 «Картофель»"
                                        << "Tb_Hist Date_Create 1000";
        QTest::addRow("realised") << "realised"
                                  << "реализация операции 10.00 «Батон»"
                                  << "Tb_Hist Date_Create 1001";
        QTest::addRow("deleted") << "deleted"
                                 << "удаление операции 50.00 «Картофель»"
                                 << "Tb_Hist Date_Create 1000";
        QTest::addRow("transfer deleted") << "transfer deleted"
                                          << "удаление перевода 100.00 «Карта»"
                                          << "Tb_Hist Date_Create 1002";
        QTest::addRow("account closed, balance kept") << "account closed, balance kept"
                                                      << "закрытие счёта «Кошелёк»"
                                                      << "Tb_Account Id_Account 1";
        QTest::addRow("account closed, balance zeroed") << "account closed, balance zeroed"
                                                        << "закрытие счёта «Кошелёк»"
                                                        << "Tb_Account Id_Account 1";
        QTest::addRow("one-row account closed") << "one-row account closed"
                                                << "закрытие счёта «Карта»"
                                                << "Tb_Account Id_Account 2";
        QTest::addRow("category added") << "category added"
                                        << "статья «Кофе»"
                                        << "";
        QTest::addRow("category renamed by card") << "category renamed by card"
                                                  << "переименование статьи «Проезд»"
                                                  << "TvCt 5";
        QTest::addRow("category renamed in place") << "category renamed in place"
                                                   << "переименование статьи «Проезд»"
                                                   << "TvCt 5";
        QTest::addRow("category moved") << "category moved"
                                        << "перемещение статьи «Батон»"
                                        << "TvCt 3";
        QTest::addRow("category deleted") << "category deleted"
                                          << "удаление статьи «Дом»"
                                          << "TvCt 6";
        QTest::addRow("account added") << "account added"
                                       << "счёт «Сбережения»"
                                       << "";
        QTest::addRow("person added") << "person added"
                                      << "человек «Сидоров С.С.»"
                                      << "";
        QTest::addRow("person deleted") << "person deleted"
                                        << "удаление человека «Петров П.П.»"
                                        << "Tb_Person Id_Person 2";
        QTest::addRow("person's phone typed in the grid") << "person's phone typed in the grid"
                                                          << "человек «Иванов И.И.»"
                                                          << "Tb_Person Id_Person 1";
        QTest::addRow("family member added") << "family member added"
                                             << "член семьи «Олег»"
                                             << "";
        QTest::addRow("firm added") << "firm added"
                                    << "фирма «Лютик»"
                                    << "";
        QTest::addRow("diary entry added") << "diary entry added"
                                           << "запись дневника"
                                           << "";
    }
    void everyCommandIsUndoneAndRedone()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        QFETCH(QString, current);
        // These act on the tree that has the focus.
        if ((command == "category moved" || command == "category deleted")
            && !focus(child<QTreeWidget>(&pane(), "TvCt")))
            QSKIP("the platform does not activate windows");
        const QStringList before = dump();
        commands()[command]();
        QCOMPARE(prompts.messages(), QStringList());
        QTRY_VERIFY(undo()->isEnabled());
        const QStringList after = dump();
        QVERIFY(after != before);
        QCOMPARE(undo()->text(), step("&Отменить", name));
        QVERIFY(!redo()->isEnabled());
        QCOMPARE(w->editCommands().journal().undoCount(), 1);

        dm().DataSaved = true;
        undo()->trigger();
        QCOMPARE(prompts.messages(), QStringList());
        QCOMPARE(dump(), before);
        QVERIFY(!dm().DataSaved);
        checkViews();
        QVERIFY(!undo()->isEnabled());
        QCOMPARE(undo()->text(), QString("&Отменить"));
        QVERIFY(redo()->isEnabled());
        QCOMPARE(redo()->text(), step("&Повторить", name));
        const QStringList where = current.split(' ');
        if (where.value(0) == "TvCt") {
            QCOMPARE(w->currentView(), View::Money);
            QVERIFY(child<QTreeWidget>(&pane(), "TvCt")->currentItem());
            QCOMPARE(TCategoryPane::nodeId(child<QTreeWidget>(&pane(), "TvCt")->currentItem()), where.value(1).toInt());
        } else if (!current.isEmpty()) {
            Table* t = nullptr;
            for (Table* each : dm().tables())
                if (each->name() == where.value(0))
                    t = each;
            QVERIFY(t);
            QCOMPARE(t->fieldByName(where.value(1)).value().toString(), where.value(2));
        }

        dm().DataSaved = true;
        redo()->trigger();
        QCOMPARE(prompts.messages(), QStringList());
        QCOMPARE(dump(), after);
        QVERIFY(!dm().DataSaved);
        checkViews();
        QCOMPARE(undo()->text(), step("&Отменить", name));
        QVERIFY(!redo()->isEnabled());
        w->hide();
    }

    void aVisitToTheAccountsCardIsOneStep()
    {
        prompts.modals.enqueue([this](QDialog* d) {
            Table& accounts = *dm().Tb_Account;
            part<QToolButton>(d, "ButAcc")->click();
            part<QToolButton>(d, "DBNAccInsert")->click();
            accounts.fieldByName("Account").setValue(QStringLiteral("Сбережения"));
            accounts.fieldByName("Currency").setValue(QStringLiteral("руб"));
            part<QToolButton>(d, "DBNAccPost")->click();
            // The card's own event loop runs between the user's edits.
            QTest::qWait(5);
            accounts.locate("Id_Account", 3);
            accounts.edit();
            accounts.fieldByName("Account").setValue(QStringLiteral("Доллары США"));
            part<QToolButton>(d, "DBNAccPost")->click();
            QTest::qWait(5);
            part<QPushButton>(d, "ButOk")->click();
            return d->result();
        });
        const QStringList before = dump();
        w->action("mAccounts")->trigger();
        QCOMPARE(w->editCommands().journal().undoCount(), 1);
        QCOMPARE(undo()->text(), step("&Отменить", "счёт «Сбережения» и ещё 1"));
        undo()->trigger();
        QCOMPARE(dump(), before);
        checkViews();
    }

    void savingKeepsTheStepsNewAndOpenForgetThem()
    {
        commands()["expense"]();
        w->action("mSave")->trigger();
        QVERIFY(dm().DataSaved);
        QCOMPARE(undo()->text(), step("&Отменить", "расход 350.00 «Картофель»"));
        undo()->trigger();
        QVERIFY(!dm().DataSaved);
        QCOMPARE(query("SELECT count(*) FROM TB_HIST"), QStringList{"4"});
        // The file opened again: nothing to undo there.
        commands()["income"]();
        QVERIFY(undo()->isEnabled());
        prompts.openFiles.enqueue(file);
        w->action("mOpen")->trigger();
        QCOMPARE(w->windowTitle(), file);
        QVERIFY(!undo()->isEnabled());
        QVERIFY(!redo()->isEnabled());
        QCOMPARE(undo()->text(), QString("&Отменить"));
        // New data: nothing either.
        commands()["expense"]();
        QVERIFY(undo()->isEnabled());
        w->action("mNew")->trigger();
        QVERIFY(w->windowTitle().isEmpty());
        QVERIFY(!undo()->isEnabled());
        QCOMPARE(w->editCommands().journal().undoCount(), 0);
    }

    void aFailedUndoChangesNothingAndSaysWhy()
    {
        commands()["amount changed"]();
        // The row changed behind the step's back (as a program outside could have written it).
        {
            ChangeRecorder::Quiet quiet(Database::acquire(w->workingFolder()).get());
            exec("UPDATE TB_HIST SET Ct = 70 WHERE Date_Create = 1000");
        }
        const QStringList before = dump();
        undo()->trigger();
        QCOMPARE(prompts.messages(),
                 QStringList{"Нельзя отменить: изменение операции 60.00 «Картофель» — с тех пор изменилась запись: "
                             "операция 70.00 «Картофель». Данные не изменены."});
        QCOMPARE(dump(), before);
        QVERIFY(undo()->isEnabled());
        QVERIFY(!redo()->isEnabled());
    }

    void theAccountMarkOfASaveOrAViewSwitchIsNoStep()
    {
        QVERIFY(dm().Tb_Account->locate("Id_Account", 2));
        money().ApplyPeriod();
        w->ShowView(1);
        w->ShowView(0);
        w->action("mSave")->trigger();
        QCOMPARE(query("SELECT Id_Account FROM TB_ACCOUNT WHERE C = 'L'"), QStringList{"2"});
        QTest::qWait(1);
        QVERIFY(!undo()->isEnabled());
        QCOMPARE(w->editCommands().journal().undoCount(), 0);
        // And an undo after it is undisturbed by the mark it wrote.
        commands()["account added"]();
        w->ShowView(1);
        w->ShowView(0);
        QCOMPARE(undo()->text(), step("&Отменить", "счёт «Сбережения»"));
        undo()->trigger();
        QCOMPARE(prompts.messages(), QStringList());
        QCOMPARE(query("SELECT count(*) FROM TB_ACCOUNT"), QStringList{"3"});
    }

    void aNewChangeAfterAnUndoDropsTheRedo()
    {
        commands()["expense"]();
        undo()->trigger();
        QVERIFY(redo()->isEnabled());
        commands()["income"]();
        QVERIFY(!redo()->isEnabled());
        QCOMPARE(redo()->text(), QString("&Повторить"));
        QCOMPARE(undo()->text(), step("&Отменить", "приход 45000.00 «Зарплата»"));
        undo()->trigger();
        QVERIFY(!undo()->isEnabled());
        QCOMPARE(query("SELECT count(*) FROM TB_HIST"), QStringList{"4"});
    }
};

QTEST_MAIN(TestUndoWindow)
#include "tst_undo_window.moc"
