#include "app/DorvMain.h"
#include "book/BookCheck.h"
#include "categories/CategoryTree.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "ledger/MoneyView.h"
#include "ledger/OperationEditor.h"
#include "ledger/OperationPages.h"
#include "support/Child.h"
#include "support/ScratchEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "widgets/DbControls.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

using namespace dorv;

// Booking through the real windows: a node of a tree, the card filled in, OK; the history, the
// balances and the totals after it.
class TestBooking : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;
    std::unique_ptr<TFormMain> w;
    MainEnvironment e;
    bool unsound = false; // the test writes past the booking rules on purpose

    TMoneyView& money() { return *child<dorv::TMoneyView>(&*w, "MoneyView"); }
    TDm& dm() { return *w->Dm(); }
    Table& hist() { return *dm().Tb_Hist; }
    void exec(const QString& sql) { Database::acquire(w->workingFolder())->exec(sql); }
    static int day(int y, int m, int d) { return dayNumber(QDate(y, m, d)); }
    static constexpr int Today = 0; // offsets from 6 Feb 2000

    // Two accounts in roubles, one in dollars, and a small category tree; the first account current.
    void household()
    {
        exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Кошелёк', 'руб', 1000),"
             " (2, 'Карта', 'руб', 500), (3, 'Доллары', 'USD', 0)");
        exec("INSERT INTO TB_OPENING (Id_Account, Rest) VALUES (1, 1000), (2, 500)");
        exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'),"
             " (2, 'Хлеб', 1, 1, '-'), (3, 'Батон', 2, 2, '-'), (4, 'Зарплата', NULL, 0, '+'),"
             " (5, 'Транспорт', NULL, 0, '-')");
        dm().Tb_Items->refresh();
        dm().Tb_Account->refresh();
        dm().Tb_Account->locate("Id_Account", 1);
        money().ResetTrees();
        money().ApplyPeriod();
    }
    void select(QTreeWidget* tree, int id)
    {
        QTreeWidgetItem* node = child<TCategoryPane>(&money(), "Pgd")->FindCategoryNode(tree, id, {});
        QVERIFY(node);
        tree->setCurrentItem(node);
    }
    double rest(int account)
    {
        Statement st = Database::acquire(w->workingFolder())->prepare("SELECT Rest FROM TB_ACCOUNT WHERE Id_Account=?");
        st.bind(1, account);
        return st.step() ? st.column(0).toDouble() : -1;
    }
    // The rows of the whole database as "account kind dt ct level1 ref price".
    QStringList rows()
    {
        Statement st = Database::acquire(w->workingFolder())
                           ->prepare("SELECT Id_Account, Kind, Dt, Ct, Level1, Ref_Account, Price FROM TB_HIST "
                                     "ORDER BY Date_Create, Id_Account");
        QStringList out;
        while (st.step()) {
            QStringList parts;
            for (int i = 0; i < 7; ++i)
                parts << (st.column(i).isValid() ? st.column(i).toString() : QStringLiteral("-"));
            out << parts.join(' ');
        }
        return out;
    }
    template <class T>
    static T* part(QDialog* card, const char* name)
    {
        T* found = card->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no %s", name);
        return found;
    }
    // The next card: type the fields given (name → text), pick lists by their item's text, then OK.
    void nextCard(const QList<std::pair<const char*, QString>>& typed, bool ok = true)
    {
        prompts.modals.enqueue([typed, ok](QDialog* d) {
            for (const auto& [name, text] : typed) {
                if (auto* edit = d->findChild<TDbEdit*>(QString::fromLatin1(name))) {
                    edit->setText(text);
                    edit->setModified(true);
                } else if (auto* list = d->findChild<TDbLookupCombo*>(QString::fromLatin1(name))) {
                    const int at = list->findText(text, Qt::MatchStartsWith);
                    list->setCurrentIndex(at);
                    emit list->activated(at);
                } else if (auto* check = d->findChild<QCheckBox*>(QString::fromLatin1(name))) {
                    check->setChecked(text == "1");
                }
            }
            if (ok)
                part<QPushButton>(d, "ButOk")->click();
            return d->isVisible() ? int(QDialog::Rejected) : d->result();
        });
    }
    // Typed as a keyboard would type letters QTest has no keys for.
    static void type(QWidget* edit, const QString& text)
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(edit, &press);
    }
    void enterInTree(QTreeWidget* tree) { QTest::keyClick(tree, Qt::Key_Return); }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        prompts = ScriptedPrompts();
        e = scratchEnvironment(*root, prompts);
        Clock::pin(QDateTime(QDate(2000, 2, 6), QTime(12, 0)));
        w = std::make_unique<TFormMain>(e);
        QVERIFY(w->started());
        household();
    }
    void cleanup()
    {
        // Whatever a test booked through the windows leaves a sound book.
        if (w && w->Dm()->Tb_Hist->active() && !unsound) {
            const QList<BookBreach> breaches = CheckBook(*dm().Tb_Hist->database());
            QStringList texts;
            for (const BookBreach& b : breaches)
                texts << b.text;
            QVERIFY2(breaches.isEmpty(), qPrintable(texts.join('\n')));
        }
        unsound = false;
        w.reset();
        Clock::unpin();
        root.reset();
    }

    void expenseFromTheTreeThenSavedAndReopened()
    {
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 3);
        nextCard({{"DBESum", "12,5"}, {"DBEPrice", "2.5"}});
        enterInTree(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"));
        QVERIFY(prompts.asked.contains("modal: TFormCard"));
        QCOMPARE(w->Card()->windowTitle(), QString("Расход...Батон"));
        QCOMPARE(rows(), QStringList{"1 1 - 12.5 1 - 2.5"});
        QCOMPARE(hist().recordCount(), 1);
        QCOMPARE(hist().fieldByName("Level3").asInteger(), qint64(3));
        QCOMPARE(rest(1), 987.5);
        QCOMPARE(child<QLabel>(&money(), "DBTRest")->text(), QString("987.50"));
        QCOMPARE(money().panelText(5), QString("12.50"));
        QVERIFY(!dm().DataSaved);
        QCOMPARE(w->property("CardPage").toInt(), 0);
        QCOMPARE(w->property("CardMode").toInt(), 0);
        // Saved and started again: all there.
        const QString file = root->filePath("home.den");
        prompts.saveFiles.enqueue(file);
        QVERIFY(w->SaveDataFile(false));
        prompts.confirms.enqueue(true);
        QVERIFY(w->FormCloseQuery());
        w.reset();
        w = std::make_unique<TFormMain>(e);
        QVERIFY(w->started());
        QCOMPARE(w->windowTitle(), file);
        QCOMPARE(rows(), QStringList{"1 1 - 12.5 1 - 2.5"});
        QCOMPARE(child<QLabel>(&money(), "DBTRest")->text(), QString("987.50"));
    }

    void plannedTomorrowThenRealisedOnItsDay()
    {
        w->setWorkDate(day(2000, 2, 7));
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        nextCard({{"DBESum", "10"}});
        w->action("mMoneyNew")->trigger();
        QCOMPARE(rows(), QStringList{"1 2 - 10 1 - -"});
        QCOMPARE(rest(1), 1000.0);
        QCOMPARE(money().panelText(5), QString("0.00"));
        QVERIFY(!w->action("mUpdate")->isEnabled());
        // The next day it may be realised.
        Clock::pin(QDateTime(QDate(2000, 2, 7), QTime(9, 0)));
        w->UpdateCommandStates();
        QVERIFY(w->action("mUpdate")->isEnabled());
        nextCard({});
        w->action("mUpdate")->trigger();
        QCOMPARE(rows(), QStringList{"1 1 - 10 1 - -"});
        QCOMPARE(rest(1), 990.0);
        QCOMPARE(money().panelText(5), QString("10.00"));
        QVERIFY(!w->property("Realizing").toBool());
    }

    void editingChangesTheBalanceByTheDifference_data()
    {
        QTest::addColumn<bool>("income");
        QTest::addColumn<double>("after");
        QTest::addRow("expense 10 to 15") << false << 985.0;
        QTest::addRow("income 10 to 15") << true << 1015.0;
    }
    void editingChangesTheBalanceByTheDifference()
    {
        QFETCH(bool, income);
        QFETCH(double, after);
        if (income) {
            child<QToolButton>(&money(), "ButDt")->click();
            select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvDt"), 4);
        } else {
            select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        }
        nextCard({{"DBESum", "10"}});
        w->action("mMoneyNew")->trigger();
        QCOMPARE(rest(1), income ? 1010.0 : 990.0);
        nextCard({{"DBESum", "15"}});
        w->action("mMoneyEdit")->trigger();
        QCOMPARE(rest(1), after);
        QCOMPARE(hist().recordCount(), 1);
        QCOMPARE(money().panelText(income ? 3 : 5), QString("15.00"));
    }

    void deletingRealAndPlanned_data()
    {
        QTest::addColumn<int>("workDay");
        QTest::addColumn<double>("after");
        QTest::addRow("real") << 6 << 1000.0;
        QTest::addRow("planned") << 8 << 1000.0;
    }
    void deletingRealAndPlanned()
    {
        QFETCH(int, workDay);
        QFETCH(double, after);
        w->setWorkDate(day(2000, 2, workDay));
        money().ApplyPeriod();
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        nextCard({{"DBESum", "10"}});
        w->action("mMoneyNew")->trigger();
        QCOMPARE(rows().size(), 1);
        prompts.confirms.enqueue(false);
        w->action("mMoneyDelete")->trigger();
        QCOMPARE(rows().size(), 1);
        prompts.confirms.enqueue(true);
        w->action("mMoneyDelete")->trigger();
        QVERIFY(prompts.asked.contains("confirm: Удалить строку?"));
        QVERIFY(rows().isEmpty());
        QCOMPARE(rest(1), after);
    }

    void transferInOneCurrency()
    {
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), -1);
        nextCard({{"DBETrans", "100"}, {"DBLTrans", "Карта"}});
        enterInTree(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"));
        QCOMPARE(w->Card()->windowTitle(), QString("Перевод на другой счёт"));
        QCOMPARE(rows(), (QStringList{"1 1 - 100 -1 2 -", "2 1 100 - -1 1 -"}));
        QCOMPARE(rest(1), 900.0);
        QCOMPARE(rest(2), 600.0);
        Statement st =
            Database::acquire(w->workingFolder())->prepare("SELECT count(DISTINCT Date_Create) FROM TB_HIST");
        QVERIFY(st.step());
        QCOMPARE(st.columnInt(0), 1);
        // Changed through the sending row: both rows and both balances follow.
        nextCard({{"DBETrans", "150"}});
        w->action("mMoneyEdit")->trigger();
        QCOMPARE(rows(), (QStringList{"1 1 - 150 -1 2 -", "2 1 150 - -1 1 -"}));
        QCOMPARE(rest(1), 850.0);
        QCOMPARE(rest(2), 650.0);
        // The receiving row is changed only through its sender.
        dm().Tb_Account->locate("Id_Account", 2);
        money().ApplyPeriod();
        QVERIFY(!w->action("mMoneyEdit")->isEnabled());
        QVERIFY(!w->action("mMoneyDelete")->isEnabled());
        QVERIFY(w->action("mMoneyNew")->isEnabled());
        prompts.asked.clear();
        money().editor().OpenOperationCard(CardMode::Edit);
        money().editor().mMoneyDeleteClick();
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(rows().size(), 2);
    }

    void transferToAnotherCurrencyAndItsDeletion()
    {
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), -1);
        prompts.modals.enqueue([](QDialog* d) {
            auto* list = d->findChild<TDbLookupCombo*>("DBLTrans");
            part<TDbEdit>(d, "DBETrans")->setText("100");
            const int at = list->findText("Доллары", Qt::MatchStartsWith);
            list->setCurrentIndex(at);
            emit list->activated(at);
            auto* rate = part<QGroupBox>(d, "GrRate");
            if (!rate->isVisible())
                return int(QDialog::Rejected);
            part<TDbEdit>(d, "DBETrans_Ref")->setText("250");
            part<TDbEdit>(d, "DBERate")->setText("2.5");
            part<QPushButton>(d, "ButOk")->click();
            return d->result();
        });
        w->action("mMoneyNew")->trigger();
        QCOMPARE(rows(), (QStringList{"1 1 - 100 -1 3 2.5", "3 1 250 - -1 1 2.5"}));
        QCOMPARE(rest(1), 900.0);
        QCOMPARE(rest(3), 250.0);
        QCOMPARE(w->Card()->property("ReceivedAmount").toLongLong(), qint64(2500000));
        prompts.confirms.enqueue(true);
        w->action("mMoneyDelete")->trigger();
        QVERIFY(rows().isEmpty());
        QCOMPARE(rest(1), 1000.0);
        QCOMPARE(rest(3), 0.0);
    }

    void firstListedTargetInAnotherCurrencyAsksForTheAmountReceived()
    {
        // From the dollars the first account of the list is the roubles' wallet.
        dm().Tb_Account->locate("Id_Account", 3);
        exec("UPDATE TB_ACCOUNT SET Rest = 200 WHERE Id_Account = 3");
        exec("INSERT INTO TB_OPENING (Id_Account, Rest) VALUES (3, 200)");
        dm().Tb_Account->refresh();
        money().ApplyPeriod();
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), -1);
        nextCard({{"DBETrans", "100"}, {"DBLTrans", "Кошелёк"}, {"DBETrans_Ref", "7500"}, {"DBERate", "75"}});
        w->action("mMoneyNew")->trigger();
        QCOMPARE(prompts.messages(), QStringList());
        QCOMPARE(rows(), (QStringList{"1 1 7500 - -1 3 75", "3 1 - 100 -1 1 75"}));
        QCOMPARE(rest(3), 100.0);
        QCOMPARE(rest(1), 8500.0);
        QCOMPARE(dm().Tb_Account->fieldByName("Id_Account").asInteger(), qint64(3));
    }

    void plannedTransferThenRealised()
    {
        w->setWorkDate(day(2000, 2, 7));
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), -1);
        nextCard({{"DBETrans", "100"}, {"DBLTrans", "Карта"}});
        w->action("mMoneyNew")->trigger();
        QCOMPARE(rows(), QStringList{"1 2 - 100 -1 2 -"}); // only the sending row, nothing moved
        QCOMPARE(rest(1), 1000.0);
        QCOMPARE(rest(2), 500.0);
        Clock::pin(QDateTime(QDate(2000, 2, 7), QTime(9, 0)));
        w->UpdateCommandStates();
        nextCard({});
        w->action("mUpdate")->trigger();
        QCOMPARE(rows(), (QStringList{"1 1 - 100 -1 2 -", "2 1 100 - -1 1 -"}));
        QCOMPARE(rest(1), 900.0);
        QCOMPARE(rest(2), 600.0);
    }

    void cancelledCardLeavesEverything()
    {
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        nextCard({{"DBESum", "10"}});
        w->action("mMoneyNew")->trigger();
        const QStringList before = rows();
        nextCard({{"DBESum", "99"}, {"DBEPrice", "5"}}, false); // typed, then Esc
        w->action("mMoneyEdit")->trigger();
        QCOMPARE(hist().state(), DatasetState::Browse);
        money().ApplyPeriod(); // moving about posts nothing stray
        QCOMPARE(rows(), before);
        QCOMPARE(rest(1), 990.0);
    }

    void transferWhoseSecondWriteFailsChangesNothing()
    {
        exec("CREATE TRIGGER refuse BEFORE INSERT ON TB_HIST WHEN NEW.Dt IS NOT NULL AND NEW.Level1 = -1 "
             "BEGIN SELECT RAISE(ABORT, 'no room for the receiving row'); END");
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), -1);
        nextCard({{"DBETrans", "100"}, {"DBLTrans", "Карта"}});
        w->action("mMoneyNew")->trigger();
        QVERIFY(prompts.asked.last().startsWith("error: "));
        QVERIFY(rows().isEmpty());
        QCOMPARE(rest(1), 1000.0);
        QCOMPARE(rest(2), 500.0);
        QCOMPARE(child<QLabel>(&money(), "DBTRest")->text(), QString("1000.00"));
        QCOMPARE(hist().recordCount(), 0);
        QCOMPARE(hist().state(), DatasetState::Browse);
        QCOMPARE(w->property("CardPage").toInt(), 0);
        // Nothing half-done is left to be saved either.
        QVERIFY(dm().DataSaved);
    }

    void categoryAndDateOfAnEdit()
    {
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        nextCard({{"DBESum", "10"}});
        w->action("mMoneyNew")->trigger();
        // Another node and another working date: "За что?" and "Дата" are offered.
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 5);
        w->setWorkDate(day(2000, 2, 4));
        prompts.modals.enqueue([](QDialog* d) {
            const bool offered =
                part<QCheckBox>(d, "ChCategory")->isVisible() && part<QCheckBox>(d, "ChDate")->isVisible();
            part<QCheckBox>(d, "ChCategory")->setChecked(true);
            part<QCheckBox>(d, "ChDate")->setChecked(true);
            part<QPushButton>(d, "ButOk")->click();
            return offered ? d->result() : int(QDialog::Rejected);
        });
        w->action("mMoneyEdit")->trigger();
        Statement st = Database::acquire(w->workingFolder())->prepareOnce("SELECT Level1, Date_Real FROM TB_HIST");
        QVERIFY(st.step());
        QCOMPARE(st.columnInt(0), 5);
        QCOMPARE(st.columnInt(1), day(2000, 2, 4));
        // Unchecked, they keep what was there.
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        w->setWorkDate(day(2000, 2, 6));
        money().ApplyPeriod();
        nextCard({});
        w->action("mMoneyEdit")->trigger();
        Statement again = Database::acquire(w->workingFolder())->prepareOnce("SELECT Level1, Date_Real FROM TB_HIST");
        QVERIFY(again.step());
        QCOMPARE(again.columnInt(0), 5);
        QCOMPARE(again.columnInt(1), day(2000, 2, 4));
    }

    void checksOfTheCard_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<QString>("sum");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        const QString positive = "Надо указать положительное число !";
        QTest::addRow("no amount") << 1 << ""
                                   << "" << positive;
        QTest::addRow("letters") << 1 << "десять"
                                 << "" << positive;
        QTest::addRow("zero") << 1 << "0"
                              << "" << positive;
        QTest::addRow("negative") << 1 << "-5"
                                  << "" << positive;
        QTest::addRow("too large") << 1 << "1e13"
                                   << ""
                                   << "Слишком большое число: сумма и цена не могут быть больше 900000000000.00 !";
        QTest::addRow("transfer without a target") << -1 << "5"
                                                   << ""
                                                   << "Не выбран целевой счёт ( куда перевести деньги ? ) !";
        QTest::addRow("amount first") << -1 << ""
                                      << "" << positive;
        QTest::addRow("a sum divided by zero") << 1 << "5/0"
                                               << "" << positive;
        QTest::addRow("a sum beyond the largest amount") << 1 << "900000000000*2"
                                                         << "" << positive;
        QTest::addRow("a sum with letters") << 1 << "120+хлеб"
                                            << "" << positive;
        QTest::addRow("a sum coming to less than nothing") << 1 << "5-10"
                                                           << "" << positive;
    }
    void checksOfTheCard()
    {
        QFETCH(int, node);
        QFETCH(QString, sum);
        QFETCH(QString, target);
        QFETCH(QString, message);
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), node);
        const char* field = node == -1 ? "DBETrans" : "DBESum";
        nextCard({{field, sum}});
        w->action("mMoneyNew")->trigger();
        QCOMPARE(prompts.messages(), QStringList{message});
        QVERIFY(rows().isEmpty());
        QCOMPARE(hist().state(), DatasetState::Browse);
        QCOMPARE(rest(1), 1000.0);
    }

    void ratesBetweenCurrencies_data()
    {
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addRow("a rate of 0") << "250"
                                     << "0"
                                     << "Неверно указан курс !";
        QTest::addRow("no rate") << "250"
                                 << ""
                                 << "";
        QTest::addRow("nothing received") << ""
                                          << "2.5"
                                          << "Надо указать положительное число !";
    }
    void ratesBetweenCurrencies()
    {
        QFETCH(QString, received);
        QFETCH(QString, rate);
        QFETCH(QString, message);
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), -1);
        nextCard({{"DBETrans", "100"}, {"DBLTrans", "Доллары"}, {"DBETrans_Ref", received}, {"DBERate", rate}});
        w->action("mMoneyNew")->trigger();
        QCOMPARE(prompts.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(rest(3), message.isEmpty() ? 250.0 : 0.0);
    }

    void transferNeedsTwoAccounts()
    {
        exec("DELETE FROM TB_ACCOUNT WHERE Id_Account > 1");
        dm().Tb_Account->refresh();
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), -1);
        w->action("mMoneyNew")->trigger();
        QCOMPARE(prompts.messages(), QStringList{"Должно быть хотя бы 2 счёта!"});
        QVERIFY(!prompts.asked.contains("modal: TFormCard"));
    }

    void typedSumsInTheCard_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QStringList>("booked");
        QTest::addColumn<double>("balance");
        QTest::addRow("lines of a receipt") << 3 << "120+35,5"
                                            << "3*45" << QStringList{"1 1 - 155.5 1 - 135"} << 844.5;
        QTest::addRow("less a discount") << 3 << "1000-15%"
                                         << "" << QStringList{"1 1 - 850 1 - -"} << 150.0;
        QTest::addRow("a transfer") << -1 << "(100+50)/2"
                                    << "" << QStringList{"1 1 - 75 -1 2 -", "2 1 75 - -1 1 -"} << 925.0;
    }
    void typedSumsInTheCard()
    {
        QFETCH(int, node);
        QFETCH(QString, amount);
        QFETCH(QString, price);
        QFETCH(QStringList, booked);
        QFETCH(double, balance);
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), node);
        if (node == -1)
            nextCard({{"DBETrans", amount}, {"DBLTrans", "Карта"}});
        else
            nextCard({{"DBESum", amount}, {"DBEPrice", price}});
        w->action("mMoneyNew")->trigger();
        QCOMPARE(prompts.messages(), QStringList());
        QCOMPARE(rows(), booked);
        QCOMPARE(rest(1), balance);
    }

    // A receipt of five lines: five amounts, each closed with Ctrl+Enter, each opening the next card
    // of the same kind on the same date; Esc ends it.
    void ctrlEnterOpensTheNextCard()
    {
        w->setWorkDate(day(2000, 2, 5));
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 3);
        const QStringList amounts{"10", "20,5", "2*15", "40", "50"};
        for (const QString& a : amounts)
            prompts.modals.enqueue([a](QDialog* d) {
                auto* sum = part<TDbEdit>(d, "DBESum");
                // Every card starts empty, on the expense page.
                if (!sum->text().isEmpty() || d->windowTitle() != "Расход...Батон")
                    return int(QDialog::Rejected);
                sum->setText(a);
                sum->setModified(true);
                QTest::keyClick(sum, Qt::Key_Return, Qt::ControlModifier);
                return d->isVisible() ? int(QDialog::Rejected) : d->result();
            });
        w->action("mMoneyNew")->trigger();
        QCOMPARE(prompts.asked.count("modal: TFormCard"), 6);
        QVERIFY(prompts.modals.isEmpty());
        QCOMPARE(rows(), (QStringList{"1 1 - 10 1 - -", "1 1 - 20.5 1 - -", "1 1 - 30 1 - -", "1 1 - 40 1 - -",
                                      "1 1 - 50 1 - -"}));
        Statement st = Database::acquire(w->workingFolder())->prepare("SELECT DISTINCT Date_Real FROM TB_HIST");
        QVERIFY(st.step());
        QCOMPARE(st.column(0).toInt(), day(2000, 2, 5));
        QVERIFY(!st.step());
        QCOMPARE(rest(1), 849.5);
        QCOMPARE(hist().state(), DatasetState::Browse);
        // A card the checks keep open books nothing and asks for no next card; an edit is only OK.
        prompts.asked.clear();
        prompts.modals.enqueue([](QDialog* d) {
            auto* sum = part<TDbEdit>(d, "DBESum");
            sum->setText("0");
            sum->setModified(true);
            QTest::keyClick(sum, Qt::Key_Return, Qt::ControlModifier);
            return d->isVisible() ? int(QDialog::Rejected) : d->result();
        });
        w->action("mMoneyNew")->trigger();
        QCOMPARE(prompts.asked, (QStringList{"modal: TFormCard", "inform: Надо указать положительное число !"}));
        prompts.asked.clear();
        prompts.modals.enqueue([](QDialog* d) {
            auto* sum = part<TDbEdit>(d, "DBESum");
            sum->setText("55");
            sum->setModified(true);
            QTest::keyClick(sum, Qt::Key_Return, Qt::ControlModifier);
            return d->isVisible() ? int(QDialog::Rejected) : d->result();
        });
        w->action("mMoneyEdit")->trigger();
        QCOMPARE(prompts.asked, QStringList{"modal: TFormCard"});
        QCOMPARE(rows().size(), 5);
        QCOMPARE(rows().last(), QString("1 1 - 55 1 - -"));
        QCOMPARE(rest(1), 844.5);
    }

    // "Кто?" and "Где?" take a typed name: completed from the start of any word of the names there,
    // and a new one added to the address book when the user agrees.
    void typedPersonAndPlace()
    {
        exec("INSERT INTO TB_PERSON (Id_Person, Name) VALUES (1, 'Иванов Иван'), (2, 'Пётр Сидоров'),"
             " (3, 'Сидоренко А.')");
        exec("INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (1, 'Магазин у дома')");
        dm().Tb_Person->refresh();
        dm().Tb_Firm->refresh();
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        QStringList offered, offeredUpper;
        prompts.modals.enqueue([&](QDialog* d) {
            auto* who = part<TDbLookupCombo>(d, "DBLWho");
            auto* where = part<TDbLookupCombo>(d, "DBLWhere");
            if (!who->isEditable() || !where->isEditable())
                return int(QDialog::Rejected);
            type(who->lineEdit(), "сид");
            offered = who->completionsOf(who->lineEdit()->text());
            for (int r = 0; r < who->completer()->completionModel()->rowCount(); ++r)
                offeredUpper << who->completer()->completionModel()->index(r, 0).data().toString();
            who->lineEdit()->clear();
            type(who->lineEdit(), "Новиков Н.");
            where->lineEdit()->clear();
            type(where->lineEdit(), "ДОМА");
            auto* sum = part<TDbEdit>(d, "DBESum");
            sum->setText("10");
            sum->setModified(true);
            part<QPushButton>(d, "ButOk")->click();
            return d->isVisible() ? int(QDialog::Rejected) : d->result();
        });
        prompts.confirms.enqueue(true);
        prompts.confirms.enqueue(true);
        w->action("mMoneyNew")->trigger();
        QCOMPARE(offered, (QStringList{"Пётр Сидоров", "Сидоренко А."}));
        QCOMPARE(offeredUpper, offered);
        QCOMPARE(prompts.asked, (QStringList{"modal: TFormCard", "confirm: Добавить «Новиков Н.» в справочник?",
                                             "confirm: Добавить «ДОМА» в справочник?"}));
        QCOMPARE(rows(), QStringList{"1 1 - 10 1 - -"});
        // Both new names are rows of the address book with their own identifiers, and are picked.
        Statement st = Database::acquire(w->workingFolder())
                           ->prepare("SELECT h.Id_Person, p.Name, h.Id_Firm, f.Firm FROM TB_HIST h"
                                     " JOIN TB_PERSON p ON p.Id_Person = h.Id_Person"
                                     " JOIN TB_FIRM f ON f.Id_Firm = h.Id_Firm");
        QVERIFY(st.step());
        QCOMPARE(st.column(0).toInt(), 4);
        QCOMPARE(st.column(1).toString(), QString("Новиков Н."));
        QCOMPARE(st.column(2).toInt(), 2);
        QCOMPARE(st.column(3).toString(), QString("ДОМА"));
        QCOMPARE(hist().fieldByName("Person").asString(), QString("Новиков Н."));

        // A name there already, in other letters' case, is picked without a question; one the user
        // would not add keeps the card open and adds nothing.
        prompts.asked.clear();
        prompts.modals.enqueue([](QDialog* d) {
            auto* who = part<TDbLookupCombo>(d, "DBLWho");
            who->lineEdit()->clear();
            type(who->lineEdit(), "пётр сидоров");
            QTest::keyClick(who->lineEdit(), Qt::Key_Return);
            if (!d->isVisible())
                return int(QDialog::Rejected); // Enter in the list takes the name, not the card
            auto* where = part<TDbLookupCombo>(d, "DBLWhere");
            where->lineEdit()->clear();
            type(where->lineEdit(), "Рынок");
            part<QPushButton>(d, "ButOk")->click();
            if (!d->isVisible() || where->currentText() != "ДОМА")
                return int(QDialog::Rejected);
            part<QPushButton>(d, "ButOk")->click();
            return d->isVisible() ? int(QDialog::Rejected) : d->result();
        });
        prompts.confirms.enqueue(false);
        w->action("mMoneyEdit")->trigger();
        QCOMPARE(prompts.asked, (QStringList{"modal: TFormCard", "confirm: Добавить «Рынок» в справочник?"}));
        QCOMPARE(hist().fieldByName("ID_Person").asInteger(), qint64(2));
        QCOMPARE(hist().fieldByName("ID_Firm").asInteger(), qint64(2));
        Statement firms = Database::acquire(w->workingFolder())->prepare("SELECT count(*) FROM TB_FIRM");
        QVERIFY(firms.step());
        QCOMPARE(firms.column(0).toInt(), 2);
    }

    void deleteKeyEmptiesThePerson()
    {
        exec("INSERT INTO TB_PERSON (Id_Person, Name) VALUES (1, 'Иванов И.И.')");
        dm().Tb_Person->refresh();
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        nextCard({{"DBESum", "10"}, {"DBLWho", "Иванов"}});
        w->action("mMoneyNew")->trigger();
        QCOMPARE(hist().fieldByName("ID_Person").asInteger(), qint64(1));
        prompts.modals.enqueue([](QDialog* d) {
            QTest::keyClick(part<TDbLookupCombo>(d, "DBLWho"), Qt::Key_Delete);
            part<QPushButton>(d, "ButOk")->click();
            return d->result();
        });
        w->action("mMoneyEdit")->trigger();
        QVERIFY(hist().fieldByName("ID_Person").isNull());
    }

    void historyPopup()
    {
        QMenu* popup = w->findChild<QMenu*>("PmHist");
        QVERIFY(popup);
        QStringList items;
        for (QAction* a : popup->actions())
            items << a->objectName() + " " + a->shortcut().toString();
        QCOMPARE(items, (QStringList{"mpMoneyNew Ins", "mpMoneyEdit F11", "mpMoneyDelete Ctrl+Del", "mpUpdate ", " ",
                                     "mpExport "}));
        QCOMPARE(w->action("mpMoneyNew")->text(), QString("&Добавить операцию..."));
        // The popup's items follow their menu's.
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        nextCard({{"DBESum", "10"}});
        w->action("mpMoneyNew")->trigger();
        QCOMPARE(rows().size(), 1);
        for (const char* n : {"MoneyNew", "MoneyEdit", "MoneyDelete", "Update"})
            QCOMPARE(w->action(QString("mp") + n)->isEnabled(), w->action(QString("m") + n)->isEnabled());
    }

    void closingAnAccount_data()
    {
        QTest::addColumn<int>("answer"); // Prompts::Answer
        QTest::addColumn<bool>("sure");
        QTest::addColumn<int>("rowsLeft");
        QTest::addColumn<double>("restLeft");
        QTest::addRow("yes: keep the balance") << int(Prompts::Answer::Yes) << true << 1 << 900.0;
        QTest::addRow("no: zero it") << int(Prompts::Answer::No) << true << 1 << 0.0;
        QTest::addRow("cancel") << int(Prompts::Answer::Cancel) << true << 3 << 900.0;
        QTest::addRow("yes, then not sure") << int(Prompts::Answer::Yes) << false << 3 << 900.0;
    }
    void closingAnAccount()
    {
        QFETCH(int, answer);
        QFETCH(bool, sure);
        QFETCH(int, rowsLeft);
        QFETCH(double, restLeft);
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), -1);
        nextCard({{"DBETrans", "50"}, {"DBLTrans", "Карта"}});
        w->action("mMoneyNew")->trigger();
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        nextCard({{"DBESum", "50"}});
        w->action("mMoneyNew")->trigger();
        QCOMPARE(rows().size(), 3);
        dm().DataSaved = true;
        prompts.threeWay.enqueue(Prompts::Answer(answer));
        prompts.warnings.enqueue(sure);
        w->action("mEmptyHist")->trigger();
        const QString question = QString("Закрыть счёт \"Кошелёк\" ( очистить его историю )\r"
                                         "и сохранить остаток на нём       -  (YES)\r"
                                         "не сохранять остаток (обнулить)  -  (NO)\r"
                                         "или передумали                  -  (CANCEL)?");
        QCOMPARE(prompts.asked.value(prompts.asked.indexOf("confirmOrCancel: " + question)),
                 "confirmOrCancel: " + question);
        QCOMPARE(rows().size(), rowsLeft);
        QCOMPARE(rest(1), restLeft);
        QCOMPARE(rest(2), 550.0); // the other account keeps its receiving row and balance
        const bool closed = rowsLeft == 1;
        QCOMPARE(w->property("PackOnClose").toBool(), closed);
        QCOMPARE(dm().DataSaved, !closed);
        QCOMPARE(hist().recordCount(), closed ? 0 : 2);
        if (closed) {
            money().ApplyPeriod();
            QCOMPARE(money().panelText(7), QString("0.00"));
            // Leaving the data saves it first, packed; opened again it is as it was left.
            const QString file = root->filePath("closed.den");
            prompts.saveFiles.enqueue(file);
            w->mNewClick();
            QVERIFY(QFileInfo::exists(file));
            QVERIFY(w->OpenDataFile(file));
            QCOMPARE(rows().size(), 1);
            QCOMPARE(rest(1), restLeft);
            QCOMPARE(rest(2), 550.0);
        }
    }

    void checkCommandListsAndRepairs_data()
    {
        QTest::addColumn<int>("answer"); // Prompts::Answer
        QTest::addColumn<double>("restAfter");
        QTest::addColumn<bool>("soundAfter");
        QTest::addRow("take the balance from the rows") << int(Prompts::Answer::Yes) << 990.0 << true;
        QTest::addRow("keep it as the opening balance") << int(Prompts::Answer::No) << 777.0 << true;
        QTest::addRow("change nothing") << int(Prompts::Answer::Cancel) << 777.0 << false;
    }
    void checkCommandListsAndRepairs()
    {
        QFETCH(int, answer);
        QFETCH(double, restAfter);
        QFETCH(bool, soundAfter);
        unsound = !soundAfter;
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        nextCard({{"DBESum", "10"}});
        w->action("mMoneyNew")->trigger();
        w->action("mCheck")->trigger();
        QCOMPARE(prompts.messages(), QStringList{"Нарушений не найдено."});
        exec("UPDATE TB_ACCOUNT SET Rest = 777 WHERE Id_Account = 1");
        dm().Tb_Account->refresh();
        prompts.threeWay.enqueue(Prompts::Answer(answer));
        w->action("mCheck")->trigger();
        QCOMPARE(prompts.messages().size(), 2);
        QVERIFY2(prompts.messages().last().contains("Остаток счёта «Кошелёк» равен 777.00, а операции с начальным "
                                                    "остатком 1000.00 дают 990.00."),
                 qPrintable(prompts.messages().last()));
        QCOMPARE(rest(1), restAfter);
        QCOMPARE(child<QLabel>(&money(), "DBTRest")->text(), QString::number(restAfter, 'f', 2));
        QCOMPARE(CheckBook(*dm().Tb_Hist->database()).isEmpty(), soundAfter);
        QCOMPARE(dm().DataSaved, false);
    }

    void eachRepairIsAStepOfItsOwn()
    {
        unsound = true;
        exec("UPDATE TB_ACCOUNT SET Rest = 7 WHERE Id_Account IN (1, 2)");
        dm().Tb_Account->refresh();
        prompts.threeWay.enqueue(Prompts::Answer::Yes);
        prompts.threeWay.enqueue(Prompts::Answer::Yes);
        w->action("mCheck")->trigger();
        QCOMPARE(rest(1), 1000.0);
        QCOMPARE(rest(2), 500.0);
        // Accounts are checked in the order of their names: Карта, then Кошелёк.
        QCOMPARE(w->action("mUndo")->text(), QString("&Отменить: исправление остатка счёта «Кошелёк»"));
        w->action("mUndo")->trigger();
        QCOMPARE(rest(1), 7.0);
        QCOMPARE(rest(2), 500.0);
        QCOMPARE(w->action("mUndo")->text(), QString("&Отменить: исправление остатка счёта «Карта»"));
        w->action("mUndo")->trigger();
        QCOMPARE(rest(2), 7.0);
    }

    void failedClosingChangesNothing_data()
    {
        QTest::addColumn<int>("answer"); // Prompts::Answer
        QTest::addColumn<QString>("refusal");
        QTest::addRow("the history cannot be deleted") << int(Prompts::Answer::Yes)
                                                       << "CREATE TRIGGER refuse BEFORE DELETE ON TB_HIST BEGIN "
                                                          "SELECT RAISE(ABORT, 'удаление запрещено'); END";
        QTest::addRow("the balance cannot be zeroed") << int(Prompts::Answer::No)
                                                      << "CREATE TRIGGER refuse BEFORE UPDATE ON TB_ACCOUNT BEGIN "
                                                         "SELECT RAISE(ABORT, 'изменение запрещено'); END";
    }
    void failedClosingChangesNothing()
    {
        QFETCH(int, answer);
        QFETCH(QString, refusal);
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        nextCard({{"DBESum", "50"}});
        w->action("mMoneyNew")->trigger();
        const QStringList before = rows();
        dm().DataSaved = true;
        exec(refusal);
        prompts.threeWay.enqueue(Prompts::Answer(answer));
        prompts.warnings.enqueue(true);
        w->action("mEmptyHist")->trigger();
        QVERIFY2(prompts.asked.last().startsWith("error: "), qPrintable(prompts.asked.last()));
        QCOMPARE(rows(), before);
        QCOMPARE(rest(1), 950.0);
        QCOMPARE(child<QLabel>(&money(), "DBTRest")->text(), QString("950.00"));
        QCOMPARE(hist().recordCount(), 1);
        QVERIFY(dm().DataSaved);
        QVERIFY(!w->property("PackOnClose").toBool());
    }

    void cancelledInsertKeepsTheCurrentRow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addRow("Esc in the card") << "esc";
        QTest::addRow("the card's cross") << "cross";
    }
    void cancelledInsertKeepsTheCurrentRow()
    {
        QFETCH(QString, how);
        select(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"), 1);
        for (const char* sum : {"10", "20", "30"}) {
            nextCard({{"DBESum", sum}});
            w->action("mMoneyNew")->trigger();
        }
        QCOMPARE(hist().recordCount(), 3);
        hist().setCurrentRow(1);
        const QVariant current = hist().fieldByName("Date_Create").value();
        QTableView* grid = child<TDbGrid>(&money(), "DBG");
        prompts.modals.enqueue([how](QDialog* d) {
            if (how == "esc")
                QTest::keyClick(d, Qt::Key_Escape);
            else
                d->close();
            return int(QDialog::Rejected);
        });
        grid->setFocus();
        w->action("mpMoneyNew")->trigger();
        QCOMPARE(hist().state(), DatasetState::Browse);
        QCOMPARE(hist().fieldByName("Date_Create").value(), current);
        QCOMPARE(grid->currentIndex().row(), 1);
        // The next command acts on that row, not on its neighbour.
        prompts.confirms.enqueue(true);
        w->action("mpMoneyDelete")->trigger();
        QCOMPARE(rows(), (QStringList{"1 1 - 10 1 - -", "1 1 - 30 1 - -"}));
    }

    void historyRowWithoutOneAmountIsRefused_data()
    {
        QTest::addColumn<QVariant>("dt");
        QTest::addColumn<QVariant>("ct");
        QTest::addColumn<bool>("stored");
        QTest::addRow("neither") << QVariant() << QVariant() << false;
        QTest::addRow("both") << QVariant(5.0) << QVariant(5.0) << false;
        QTest::addRow("zero expense") << QVariant() << QVariant(0.0) << false;
        QTest::addRow("negative income") << QVariant(-3.0) << QVariant() << false;
        QTest::addRow("below a ten-thousandth") << QVariant(0.00001) << QVariant() << false;
        QTest::addRow("income") << QVariant(3.0) << QVariant() << true;
        QTest::addRow("expense, income zero") << QVariant(0.0) << QVariant(3.0) << true;
    }
    void historyRowWithoutOneAmountIsRefused()
    {
        QFETCH(QVariant, dt);
        QFETCH(QVariant, ct);
        QFETCH(bool, stored);
        unsound = true;
        hist().insert();
        hist().fieldByName("Level1").setValue(1);
        hist().fieldByName("Kind").setValue("1");
        hist().fieldByName("Dt").setValue(dt);
        hist().fieldByName("Ct").setValue(ct);
        bool aborted = false;
        try {
            hist().post();
        } catch (const DbAbort&) {
            aborted = true;
            hist().cancel();
        }
        QCOMPARE(aborted, !stored);
        QCOMPARE(rows().size(), stored ? 1 : 0);
        QCOMPARE(prompts.messages().contains(
                     "Операция не записана: у неё должна быть сумма больше нуля, приход или расход."),
                 !stored);
    }

    void totalsBeyondExactNumbersAreRefused()
    {
        unsound = true;
        // Each amount is in range, their sum is not: 1100 × 9e11 is beyond 64-bit ten-thousandths.
        exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<1100) "
             "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Level1, Dt) "
             "SELECT 1, 36000, i, '1', 4, 900000000000 FROM n");
        hist().refresh();
        bool refused = false;
        try {
            money().UpdateTotals(true, 0);
        } catch (const DbError& error) {
            refused = error.message().contains("пределы");
        }
        QVERIFY(refused);
    }
};

QTEST_MAIN(TestBooking)
#include "tst_booking.moc"
