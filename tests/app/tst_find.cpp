#include "app/DorvMain.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "data/Fields.h"
#include "data/OwnTables.h"
#include "data/Table.h"
#include "ledger/MoneyState.h"
#include "support/Child.h"
#include "support/ScratchEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"
#include "util/DateScale.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace dorv;

// "Поиск операций" through the real main window: the rows of every account found while typing,
// counted and summed, and the chosen one shown in the history of its account.
class TestFind : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;
    std::unique_ptr<TFormMain> w;

    Database& db() { return *w->Dm()->Tb_Hist->database(); }
    QAction* action(const char* name) { return w->findChild<QAction*>(QString::fromLatin1(name)); }
    static int day(int d, int m) { return dayNumber(QDate(2024, m, d)); }
    static QStringList column(QTableView* grid, int c)
    {
        QStringList out;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            out << grid->model()->index(r, c).data().toString();
        return out;
    }
    // Typed a letter at a time, as the timer sees it (key events carry Latin letters only).
    static void type(QLineEdit* edit, const QString& text)
    {
        for (const QChar ch : text)
            edit->insert(QString(ch));
    }
    // Runs the window; the script works in it and says how it ends.
    void find(const std::function<int(QDialog*)>& script)
    {
        prompts.modals.enqueue(script);
        action("mFind")->trigger();
    }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        prompts = ScriptedPrompts();
        Clock::pin(QDateTime(QDate(2024, 6, 20), QTime(12, 0)));
        w = std::make_unique<TFormMain>(scratchEnvironment(*root, prompts));
        QVERIFY(w->started());
        db().exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Карта', 'руб', -820.5), "
                  "(2, 'Наличные', 'руб', -15)");
        db().exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), "
                  "(2, 'Транспорт', NULL, 0, '-')");
        db().exec("INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (1, 'Магнит')");
        db().exec(QStringLiteral("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1, "
                                 "ID_Firm) VALUES (1, %1, 3000000000001, '1', NULL, 120.5, 1, 1), "
                                 "(1, %2, 3000000000002, '1', NULL, 700, 2, NULL), "
                                 "(2, %3, 3000000000003, '1', NULL, 15, 1, NULL)")
                      .arg(day(3, 1))
                      .arg(day(10, 2))
                      .arg(day(5, 5)));
        OwnTables::ensure(db(), QLatin1String(OwnTables::BankText));
        db().exec("INSERT INTO TB_IMPORT_TEXT (Id_Account, Date_Create, Bank_Text) VALUES "
                  "(1, 3000000000002, 'YANDEX.TAXI Москва')");
        const QString file = root->filePath("home.den");
        QVERIFY(saveAndReopen(*w, prompts, file));
        prompts.asked.clear();
    }
    void cleanup()
    {
        w.reset();
        Clock::unpin();
        root.reset();
    }

    void theCommandIsInTheMoneyMenu()
    {
        QAction* item = action("mFind");
        QVERIFY(item);
        QCOMPARE(item->text(), QString("&Найти операции..."));
        QCOMPARE(item->shortcut(), QKeySequence("Ctrl+F"));
        QVERIFY(w->findChild<QMenu*>("mMoney")->actions().contains(item));
        QVERIFY(item->isEnabled());
        find([](QDialog* d) {
            [&] {
                QCOMPARE(d->windowTitle(), QString("Поиск операций"));
                auto* grid = child<QTableView>(d, "DBGFind");
                QStringList titles;
                for (int c = 0; c < grid->model()->columnCount(); ++c)
                    titles << grid->model()->headerData(c, Qt::Horizontal).toString();
                QCOMPARE(titles.join(','), QString("Счёт,Дата,Категория,Группа,Предмет,Приход,Расход,Кто?,Где?"));
                // Everything, the latest first, with the count and sums.
                QCOMPARE(column(grid, 0).join(','), QString("Наличные,Карта,Карта"));
                QCOMPARE(column(grid, 1).join(','), QString("05.05.2024,10.02.2024,03.01.2024"));
                QCOMPARE(child<QLabel>(d, "SbFindCount")->text(), QString("Найдено: 3"));
                QCOMPARE(child<QLabel>(d, "SbFindExpense")->text(), QString("Расход: 835.50"));
            }();
            return int(QDialog::Rejected);
        });
        QCOMPARE(prompts.asked, QStringList{"modal: FormFind"});
    }

    // Typing searches after a pause; each control narrows what is listed.
    void narrowsWhileTyping()
    {
        find([this](QDialog* d) {
            [&] {
                auto* grid = child<QTableView>(d, "DBGFind");
                auto* text = child<QLineEdit>(d, "EdFindText");
                type(text, QStringLiteral("еда"));
                // Not on every key: after the pause.
                QCOMPARE(grid->model()->rowCount(), 3);
                QTRY_COMPARE(grid->model()->rowCount(), 2);
                QCOMPARE(column(grid, 2).join(','), QString("Еда,Еда"));
                QCOMPARE(child<QLabel>(d, "SbFindExpense")->text(), QString("Расход: 135.50"));
                child<QCheckBox>(d, "ChFindCurrent")->setChecked(true);
                QCOMPARE(column(grid, 6).join(','), QString("120.50"));
                QCOMPARE(column(grid, 8).join(','), QString("Магнит"));
                child<QCheckBox>(d, "ChFindCurrent")->setChecked(false);
                text->clear();
                type(text, QStringLiteral("taxi"));
                QTRY_COMPARE(column(grid, 2).join(','), QString("Транспорт"));
                text->clear();
                type(child<QLineEdit>(d, "EdFindFrom"), QStringLiteral("100"));
                type(child<QLineEdit>(d, "EdFindTo"), QStringLiteral("200,5"));
                QTRY_COMPARE(column(grid, 6).join(','), QString("120.50"));
                child<QLineEdit>(d, "EdFindTo")->clear();
                // The date bound comes from the program's date picker.
                prompts.modals.enqueue([](QDialog* card) {
                    card->findChild<QCalendarWidget*>()->setSelectedDate(QDate(2024, 2, 1));
                    return int(QDialog::Accepted);
                });
                child<QToolButton>(d, "ButFindDateTo")->click();
                QCOMPARE(child<QToolButton>(d, "ButFindDateTo")->text(), QString("01.02.2024"));
                QCOMPARE(column(grid, 1).join(','), QString("03.01.2024"));
                child<QCheckBox>(d, "ChFindReal")->setChecked(false);
                QCOMPARE(grid->model()->rowCount(), 0);
                QCOMPARE(child<QLabel>(d, "SbFindCount")->text(), QString("Найдено: 0"));
            }();
            return int(QDialog::Rejected);
        });
    }

    // Enter on a found row shows it: its account current, the working date its date, the period
    // round it, and its row the history's current row.
    void entersTheOperation()
    {
        w->moneyState().setPeriodKind(PeriodKind::Month);
        // Another row earlier in that month: the found row is not simply the period's first.
        db().exec(
            QStringLiteral("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1) VALUES "
                           "(1, %1, 3000000000004, '1', NULL, 5, 1)")
                .arg(day(5, 2)));
        find([](QDialog* d) {
            [&] {
                auto* grid = child<QTableView>(d, "DBGFind");
                type(child<QLineEdit>(d, "EdFindText"), QStringLiteral("транс"));
                QTRY_COMPARE(grid->model()->rowCount(), 1);
                grid->setFocus();
                QTest::keyClick(grid, Qt::Key_Return);
            }();
            return d->result();
        });
        Table& acc = *w->Dm()->Tb_Account;
        Table& hist = *w->Dm()->Tb_Hist;
        QCOMPARE(acc.fieldByName(AccountField::IdAccount).asInteger(), 1);
        QCOMPARE(w->moneyState().workDate(), day(10, 2));
        QCOMPARE(w->moneyState().periodStart(), day(1, 2));
        QCOMPARE(hist.fieldByName(HistField::DateCreate).value().toLongLong(), 3000000000002LL);
        QCOMPARE(hist.fieldByName(HistField::Ct).asFloat(), 700.0);
    }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
