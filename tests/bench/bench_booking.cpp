// Speed of booking through the money page on a history of a million rows: the card filled in and
// OK pressed, to the row shown with the balance and the totals updated.

#include "app/DorvMain.h"
#include "app/EditCommands.h"
#include "categories/CategoryEditor.h"
#include "categories/CategoryTree.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "data/Query.h"
#include "ledger/MoneyView.h"
#include "ledger/OperationEditor.h"
#include "results/DorvRes.h"
#include "support/Parts.h"
#include "support/ScriptedPrompts.h"
#include "widgets/DbControls.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int Accounts = 10;
constexpr int Rows = 1000000;

QTemporaryDir* g_root = nullptr;
ScriptedPrompts* g_prompts = nullptr;
dorv::TFormMain* g_window = nullptr;

dorv::TMoneyView& money() { return *namedPart<dorv::TMoneyView>(&*g_window, "MoneyView"); }

void exec(const QString& sql) { dorv::Database::acquire(g_window->workingFolder())->exec(sql); }

// Ten accounts (the last in dollars) of a hundred thousand rows each over about twenty years.
void generate()
{
    QElapsedTimer clock;
    clock.start();
    exec(QStringLiteral("BEGIN"));
    for (int a = 1; a <= Accounts; ++a)
        exec(QStringLiteral("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (%1, 'Счёт %1', '%2', "
                            "100000)")
                 .arg(a)
                 .arg(a == Accounts ? QStringLiteral("USD") : QStringLiteral("руб")));
    exec(QStringLiteral("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), "
                        "(2, 'Зарплата', NULL, 0, '+'), (3, 'Хлеб', 1, 1, '-'), (4, 'Дом', NULL, 0, '-')"));
    exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                        "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1) "
                        "SELECT i % %2 + 1, 38000 + i / 140, 3283200000000 + i * 1000, CASE WHEN i % 50 = 0 THEN '2' "
                        "ELSE '1' END, CASE WHEN i % 7 = 0 THEN 1000.0 END, CASE WHEN i % 7 <> 0 THEN 10.0 + i % 90 "
                        "END, CASE WHEN i % 7 = 0 THEN 2 ELSE 1 END FROM n")
             .arg(Rows - 1)
             .arg(Accounts));
    // Fifty thousand rows booked on one level-1 item.
    exec(QStringLiteral("UPDATE TB_HIST SET Level2 = 3 WHERE Level1 = 1 AND rowid % 17 = 0"));
    exec(QStringLiteral("COMMIT"));
    std::fprintf(stderr, "TB_HIST: %d rows written in %.1f s\n", Rows, double(clock.elapsed()) / 1000.0);
}

// The next card is filled in with the given fields and closed with OK.
void nextCard(const QList<std::pair<const char*, QString>>& typed)
{
    g_prompts->modals.enqueue([typed](QDialog* d) {
        for (const auto& [name, text] : typed) {
            if (auto* edit = d->findChild<dorv::TDbEdit*>(QString::fromLatin1(name))) {
                edit->setText(text);
            } else if (auto* list = d->findChild<dorv::TDbLookupCombo*>(QString::fromLatin1(name))) {
                const int at = list->findText(text, Qt::MatchStartsWith);
                list->setCurrentIndex(at);
                emit list->activated(at);
            }
        }
        d->findChild<QPushButton*>(QStringLiteral("ButOk"))->click();
        return d->result();
    });
}

void select(int id)
{
    QTreeWidget* tree = namedPart<QTreeWidget>(namedPart<dorv::TCategoryPane>(&money(), "Pgd"), "TvCt");
    tree->setCurrentItem(namedPart<dorv::TCategoryPane>(&money(), "Pgd")->FindCategoryNode(tree, id, {}));
}

template <typename Body>
void guarded(benchmark::State& state, Body body)
{
    try {
        body();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

void BM_BookExpense(benchmark::State& state)
{
    guarded(state, [&] {
        select(1);
        for (auto _ : state) {
            nextCard({{"DBESum", QStringLiteral("12.5")}});
            money().mMoneyNewClick();
        }
    });
}
BENCHMARK(BM_BookExpense)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_EditExpense(benchmark::State& state)
{
    guarded(state, [&] {
        int amount = 13;
        for (auto _ : state) {
            nextCard({{"DBESum", QString::number(amount++)}});
            money().mMoneyEditClick();
        }
    });
}
BENCHMARK(BM_EditExpense)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_RealisePlanned(benchmark::State& state)
{
    guarded(state, [&] {
        qint64 next = 0;
        for (auto _ : state) {
            state.PauseTiming();
            // A planned row of today to realise.
            exec(QStringLiteral("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, Level1) "
                                "VALUES (1, %1, %2, '2', 5, 1)")
                     .arg(g_window->workDate())
                     .arg(qint64(g_window->workDate()) * 86400000 + 80000000 + ++next));
            money().ApplyPeriod();
            g_window->Dm()->Tb_Hist->last();
            state.ResumeTiming();
            nextCard({});
            money().mUpdateClick();
        }
    });
}
BENCHMARK(BM_RealisePlanned)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_BookAndDeleteTransfer(benchmark::State& state)
{
    guarded(state, [&] {
        select(-1);
        for (auto _ : state) {
            nextCard({{"DBETrans", QStringLiteral("100")}, {"DBLTrans", QStringLiteral("Счёт 2")}});
            money().mMoneyNewClick();
            g_prompts->confirms.enqueue(true);
            money().mMoneyDeleteClick();
        }
    });
}
BENCHMARK(BM_BookAndDeleteTransfer)->Unit(benchmark::kMillisecond)->Iterations(50);

// An expense booked through its menu command, then taken back through "Правка": from the command
// to the history, the balance, the totals and the trees shown anew.
void BM_UndoBooking(benchmark::State& state)
{
    guarded(state, [&] {
        select(1);
        for (auto _ : state) {
            state.PauseTiming();
            nextCard({{"DBESum", QStringLiteral("12.5")}});
            g_window->action(QStringLiteral("mMoneyNew"))->trigger();
            state.ResumeTiming();
            g_window->action(QStringLiteral("mUndo"))->trigger();
        }
    });
}
BENCHMARK(BM_UndoBooking)->Unit(benchmark::kMillisecond)->Iterations(20);

// The same booking made again.
void BM_RedoBooking(benchmark::State& state)
{
    guarded(state, [&] {
        for (auto _ : state) {
            g_window->action(QStringLiteral("mRedo"))->trigger();
            state.PauseTiming();
            g_window->action(QStringLiteral("mUndo"))->trigger();
            state.ResumeTiming();
        }
    });
}
BENCHMARK(BM_RedoBooking)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_CloseAccount(benchmark::State& state)
{
    guarded(state, [&] {
        for (auto _ : state) {
            state.PauseTiming();
            g_window->Dm()->Tb_Account->locate(QStringLiteral("Id_Account"), 5);
            money().ApplyPeriod();
            state.ResumeTiming();
            g_prompts->threeWay.enqueue(dorv::Prompts::Answer::Yes);
            g_prompts->warnings.enqueue(true);
            money().mEmptyHistClick();
        }
    });
}
BENCHMARK(BM_CloseAccount)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_CategoryDeleteCount(benchmark::State& state)
{
    guarded(state, [&] {
        QTreeWidget* tree = namedPart<QTreeWidget>(namedPart<dorv::TCategoryPane>(&money(), "Pgd"), "TvCt");
        tree->setFocus();
        for (auto _ : state) {
            tree->setCurrentItem(namedPart<dorv::TCategoryPane>(&money(), "Pgd")->FindCategoryNode(tree, 3, {}));
            g_prompts->confirms.enqueue(true);
            money().categoryEditor().mCategoryDeleteClick(); // refused: the rows are counted
        }
    });
}
BENCHMARK(BM_CategoryDeleteCount)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_CategoryMove(benchmark::State& state)
{
    guarded(state, [&] {
        QTreeWidget* tree = namedPart<QTreeWidget>(namedPart<dorv::TCategoryPane>(&money(), "Pgd"), "TvCt");
        int to = 4;
        for (auto _ : state) {
            g_prompts->confirms.enqueue(true);
            money().categoryEditor().MoveCategory(
                namedPart<dorv::TCategoryPane>(&money(), "Pgd")->FindCategoryNode(tree, 3, {}),
                namedPart<dorv::TCategoryPane>(&money(), "Pgd")->FindCategoryNode(tree, to, {}),
                dorv::TCategoryEditor::Attach::Child);
            to = to == 4 ? 1 : 4;
        }
    });
}
BENCHMARK(BM_CategoryMove)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_CategoryRename(benchmark::State& state)
{
    guarded(state, [&] {
        QTreeWidget* tree = namedPart<QTreeWidget>(namedPart<dorv::TCategoryPane>(&money(), "Pgd"), "TvCt");
        int n = 0;
        g_window->Dm()->Tb_Account->locate(QStringLiteral("Id_Account"), 1);
        g_window->action(QStringLiteral("mTotal"))->trigger(); // the whole history shown, to be refreshed
        for (auto _ : state) {
            QString name = QStringLiteral("Хлеб %1").arg(++n);
            money().categoryEditor().TvCtEdited(
                namedPart<dorv::TCategoryPane>(&money(), "Pgd")->FindCategoryNode(tree, 3, {}), name);
        }
        state.counters["rows_shown"] = g_window->Dm()->Tb_Hist->recordCount();
        g_window->action(QStringLiteral("mMonth"))->trigger();
    });
}
BENCHMARK(BM_CategoryRename)->Unit(benchmark::kMillisecond)->Iterations(10);

// The results window on account 1 (100,000 rows) over the whole period.
void BM_ResultsOpen(benchmark::State& state)
{
    guarded(state, [&] {
        g_window->Dm()->Tb_Account->locate(QStringLiteral("Id_Account"), 1);
        g_window->action(QStringLiteral("mTotal"))->trigger();
        for (auto _ : state) {
            g_prompts->modals.enqueue([](QDialog* d) { return int(QDialog::Rejected) + 0 * d->isVisible(); });
            money().ButResultClick();
        }
    });
}
BENCHMARK(BM_ResultsOpen)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ResultsSteps(benchmark::State& state)
{
    guarded(state, [&] {
        for (auto _ : state) {
            state.PauseTiming();
            g_prompts->modals.enqueue([&state](QDialog* d) {
                auto& r = *static_cast<dorv::TFormRest*>(d);
                state.ResumeTiming();
                r.drillDown(); // into "Еда"
                r.dimensionClicked(dorv::Dimension::Who);
                r.sortClicked(namedPart<QAction>(&r, "mpSortCredit"));
                r.drillUp();
                r.ButDetailClick();                         // the pane with the statement of the current row
                namedPart<dorv::Query>(&r, "QRes")->next(); // a row change with the pane open
                state.PauseTiming();
                return int(QDialog::Rejected);
            });
            money().ButResultClick();
            state.ResumeTiming();
        }
    });
}
BENCHMARK(BM_ResultsSteps)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CategoryStatement(benchmark::State& state)
{
    guarded(state, [&] {
        QTreeWidget* tree = namedPart<QTreeWidget>(namedPart<dorv::TCategoryPane>(&money(), "Pgd"), "TvCt");
        tree->setCurrentItem(namedPart<dorv::TCategoryPane>(&money(), "Pgd")->FindCategoryNode(tree, 1, {}));
        for (auto _ : state) {
            g_prompts->modals.enqueue([](QDialog*) { return int(QDialog::Rejected); });
            money().mCategoryViewClick();
        }
        g_window->action(QStringLiteral("mMonth"))->trigger();
    });
}
BENCHMARK(BM_CategoryStatement)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir root;
    ScriptedPrompts prompts;
    g_root = &root;
    g_prompts = &prompts;
    dorv::MainEnvironment env;
    env.programFolder = root.path();
    env.tempFolder = root.path();
    env.settingsFile = root.filePath(QStringLiteral("s.ini"));
    env.prompts = &prompts;
    env.splash = false;
    dorv::TFormMain window(env);
    if (!window.started())
        return 1;
    g_window = &window;
    generate();
    // The generated book stands as data just opened: nothing of it is there to undo.
    window.editCommands().dataOpened();
    window.Dm()->Tb_Account->refresh();
    window.Dm()->Tb_Items->refresh();
    window.Dm()->Tb_Account->locate(QStringLiteral("Id_Account"), 1);
    money().ResetTrees();
    window.action(QStringLiteral("mMonth"))->trigger();
    // Commands that act on the focused tree need a window that can have the focus.
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    {
        // The figures count only if the bookings really happened.
        dorv::Statement st = dorv::Database::acquire(window.workingFolder())
                                 ->prepareOnce(QStringLiteral("SELECT count(*) FROM TB_HIST WHERE Id_Account = 1 AND "
                                                              "Date_Real = %1")
                                                   .arg(window.workDate()));
        st.step();
        std::fprintf(stderr, "rows booked on the working date: %lld; prompts: %lld\n", st.columnInt(0),
                     static_cast<long long>(prompts.asked.size()));
        dorv::Statement item = dorv::Database::acquire(window.workingFolder())
                                   ->prepareOnce(QStringLiteral("SELECT ITM, ID_REF FROM TB_ITEMS WHERE ID_ITM = 3"));
        item.step();
        std::fprintf(
            stderr, "item 3: %s under %lld; refusals: %lld\n", qPrintable(item.column(0).toString()), item.columnInt(1),
            static_cast<long long>(std::count_if(prompts.asked.cbegin(), prompts.asked.cend(), [](const QString& a) {
                return a.startsWith(QStringLiteral("inform: Удаление невозможно!"));
            })));
    }
    window.setStartStop(true);
    window.CloseDataFile();
    // A figure of a booking that failed would measure nothing.
    for (const QString& asked : std::as_const(prompts.asked))
        if (asked.startsWith(QLatin1String("error: "))) {
            std::fprintf(stderr, "%s\n", qPrintable(asked));
            return 1;
        }
    return 0;
}
