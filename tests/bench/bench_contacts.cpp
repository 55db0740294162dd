// Speed of the address book and the diary at a large household's size: 20,000 acquaintances,
// 40,000 family members, 5,000 firms and 50,000 diary entries. Each page is shown and painted, the
// filters switched, and the reminders of an opening computed.

#include "app/DorvMain.h"
#include "contacts/DiaryView.h"
#include "contacts/PeopleView.h"
#include "contacts/StartupReminders.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "support/Parts.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"
#include "util/DateScale.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

dorv::TFormMain* g_window = nullptr;

void exec(const QString& sql) { dorv::Database::acquire(g_window->workingFolder())->exec(sql); }

// Birthdays and reminder dates spread over the years, so that some of each are due today.
void generate()
{
    QElapsedTimer clock;
    clock.start();
    const int today = dorv::dayNumber(dorv::Clock::today());
    exec(QStringLiteral("BEGIN"));
    exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
                        "INSERT INTO TB_FIRM (Id_Firm, Firm, Phone, Address, Comment) "
                        "SELECT i, 'Фирма ' || i, '22-' || i, 'ул. Заводская, ' || i, 'заметка' FROM n"));
    // Days of birth from 1930 on; the day and month follow from them as the record rules would
    // have them.
    exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                        "INSERT INTO TB_PERSON (Id_Person, Name, Birthday, Phone, Address, Id_Firm, Comment) "
                        "SELECT i, 'Фамилия' || i || ' И.О.', CASE WHEN i % 10 = 0 THEN NULL ELSE 11000 + i * 7 % "
                        "25000 END, '8-900-' || i, 'ул. Садовая, ' || i, CASE WHEN i % 3 = 0 THEN NULL ELSE i % 5000 "
                        "+ 1 END, 'комментарий' FROM n"));
    exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 39999) "
                        "INSERT INTO TB_FAMILY (Id_Family, Id_Person, Name, Birthday, Comment) "
                        "SELECT i - 20000, i % 20000 + 1, 'Имя' || i, 20000 + i * 13 % 20000, 'родня' FROM n"));
    exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 49999) "
                        "INSERT INTO TB_LOG (Date_Create, Date_Remind, Note, Id_Person, Id_firm, C) "
                        "SELECT 3600000000000 + i * 1000, %1 - 3000 + i % 3365, 'Дело номер ' || i, "
                        "CASE WHEN i % 4 = 0 THEN i % 20000 + 1 END, CASE WHEN i % 5 = 0 THEN i % 5000 + 1 END, "
                        "CASE i % 20 WHEN 0 THEN '1' WHEN 1 THEN '2' ELSE '0' END FROM n")
             .arg(today));
    // Day and month as the record rules derive them, by the scale's calendar.
    dorv::Database& db = *dorv::Database::acquire(g_window->workingFolder());
    for (const char* table : {"TB_PERSON", "TB_FAMILY"}) {
        dorv::Statement read = db.prepare(QStringLiteral("SELECT rowid, Birthday FROM %1").arg(QLatin1String(table)));
        dorv::Statement write =
            db.prepare(QStringLiteral("UPDATE %1 SET Dy = ?, Mn = ? WHERE rowid = ?").arg(QLatin1String(table)));
        while (read.step()) {
            if (!read.column(1).isValid())
                continue;
            const QDate d = dorv::dateOfDay(int(read.columnInt(1)));
            write.bindAll({d.day(), d.month(), read.columnInt(0)});
            write.step();
            write.reset();
        }
    }
    dorv::Statement read = db.prepare(QStringLiteral("SELECT rowid, Date_Remind FROM TB_LOG"));
    dorv::Statement write = db.prepare(QStringLiteral("UPDATE TB_LOG SET Dy = ? WHERE rowid = ?"));
    while (read.step()) {
        write.bindAll({dorv::dateOfDay(int(read.columnInt(1))).day(), read.columnInt(0)});
        write.step();
        write.reset();
    }
    exec(QStringLiteral("COMMIT"));
    std::fprintf(stderr, "address book and diary written in %.1f s\n", double(clock.elapsed()) / 1000.0);
}

template <class Body>
void guarded(benchmark::State& state, Body body)
{
    try {
        body();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

// A page shown from the money page and painted; the way back is not timed.
void showView(benchmark::State& state, int view)
{
    guarded(state, [&] {
        for (auto _ : state) {
            g_window->ShowView(view);
            g_window->repaint();
            state.PauseTiming();
            g_window->ShowView(0);
            QApplication::processEvents();
            state.ResumeTiming();
        }
    });
}
void BM_ShowPeople(benchmark::State& state) { showView(state, 1); }
BENCHMARK(BM_ShowPeople)->Unit(benchmark::kMillisecond)->Iterations(10);
void BM_ShowFirms(benchmark::State& state) { showView(state, 2); }
BENCHMARK(BM_ShowFirms)->Unit(benchmark::kMillisecond)->Iterations(10);
void BM_ShowDiary(benchmark::State& state) { showView(state, 3); }
BENCHMARK(BM_ShowDiary)->Unit(benchmark::kMillisecond)->Iterations(10);

// A filter button pressed and the list painted; pressing it up again is not timed.
void toggle(benchmark::State& state, int view, QToolButton* button)
{
    guarded(state, [&] {
        g_window->ShowView(view);
        for (auto _ : state) {
            button->click();
            g_window->repaint();
            state.PauseTiming();
            button->click();
            QApplication::processEvents();
            state.ResumeTiming();
        }
        g_window->ShowView(0);
    });
}
void BM_PersonBirthdays(benchmark::State& state)
{
    toggle(state, 1, namedPart<QToolButton>(namedPart<dorv::TPeopleView>(&*g_window, "PeopleView"), "ButPerson"));
}
BENCHMARK(BM_PersonBirthdays)->Unit(benchmark::kMillisecond)->Iterations(10);
void BM_FamilyBirthdays(benchmark::State& state)
{
    toggle(state, 1, namedPart<QToolButton>(namedPart<dorv::TPeopleView>(&*g_window, "PeopleView"), "ButFamily"));
}
BENCHMARK(BM_FamilyBirthdays)->Unit(benchmark::kMillisecond)->Iterations(10);
void BM_DiaryToday(benchmark::State& state)
{
    toggle(state, 3, namedPart<QToolButton>(namedPart<dorv::TDiaryView>(&*g_window, "DiaryView"), "ButLogFilt"));
}
BENCHMARK(BM_DiaryToday)->Unit(benchmark::kMillisecond)->Iterations(10);

// The next acquaintance on the people page: the family under it follows.
void BM_NextPersonsFamily(benchmark::State& state)
{
    guarded(state, [&] {
        g_window->ShowView(1);
        dorv::Table& persons = *g_window->Dm()->Tb_Person;
        persons.first();
        for (auto _ : state) {
            persons.next();
            g_window->repaint();
        }
        g_window->ShowView(0);
    });
}
BENCHMARK(BM_NextPersonsFamily)->Unit(benchmark::kMillisecond)->Iterations(20);

// The reminder step of an opening: the diary's, the persons' and the families' filters.
void BM_Reminders(benchmark::State& state)
{
    guarded(state, [&] {
        for (auto _ : state)
            namedPart<dorv::TStartupReminders>(&*g_window, "StartupReminders")->Run();
        state.counters["diary"] = g_window->diaryFlag();
        state.counters["persons"] = g_window->personFlag();
        state.counters["family"] = g_window->familyFlag();
    });
}
BENCHMARK(BM_Reminders)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir root;
    ScriptedPrompts prompts;
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
    for (dorv::Table* t : {window.Dm()->Tb_Person, window.Dm()->Tb_Family, window.Dm()->Tb_Firm, window.Dm()->Tb_Log})
        t->refresh();
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    window.setStartStop(true);
    window.CloseDataFile();
    for (const QString& asked : std::as_const(prompts.asked))
        if (asked.startsWith(QLatin1String("error: "))) {
            std::fprintf(stderr, "%s\n", qPrintable(asked));
            return 1;
        }
    return 0;
}
