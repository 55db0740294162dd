// Speed of the table engine on a household history of a million rows: the operations the history
// view and the sums of the accounts window repeat while a user works.

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Query.h"
#include "data/Table.h"
#include "util/DateScale.h"

#include <QDate>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

namespace {

constexpr int Accounts = 10;
constexpr int RowsPerAccount = 100000;
constexpr int Years = 20;
constexpr int Months = Years * 12;
const QDate FirstDate(2005, 1, 1);

QString g_folder;
// The program keeps its connection for the whole session, so the figures leave out opening the file.
std::shared_ptr<dorv::Database> g_db;

int firstDay() { return dorv::dayNumber(FirstDate); }
int spanDays() { return dorv::dayNumber(FirstDate.addYears(Years)) - firstDay(); }

void declareHist(dorv::Table& t)
{
    t.addField(QStringLiteral("Id_Account"), dorv::FieldType::SmallInt).setRequired(true);
    t.addField(QStringLiteral("Date_Real"), dorv::FieldType::Date);
    t.addField(QStringLiteral("Date_Create"), dorv::FieldType::DateTime).setRequired(true);
    t.addField(QStringLiteral("Kind"), dorv::FieldType::Text, 1);
    t.addField(QStringLiteral("Dt"), dorv::FieldType::Float);
    t.addField(QStringLiteral("Ct"), dorv::FieldType::Float);
    t.addField(QStringLiteral("Level1"), dorv::FieldType::SmallInt);
    t.addField(QStringLiteral("Level2"), dorv::FieldType::SmallInt);
    t.addField(QStringLiteral("Level3"), dorv::FieldType::SmallInt);
    t.addField(QStringLiteral("Price"), dorv::FieldType::Float);
    t.addField(QStringLiteral("ID_Person"), dorv::FieldType::SmallInt);
    t.addField(QStringLiteral("ID_Firm"), dorv::FieldType::SmallInt);
    t.addField(QStringLiteral("Ref_Account"), dorv::FieldType::SmallInt);
    t.setPrimaryKey({QStringLiteral("Id_Account"), QStringLiteral("Date_Real"), QStringLiteral("Date_Create"),
                     QStringLiteral("Kind")});
    t.addIndex(QStringLiteral("acc_date"),
               {QStringLiteral("Id_Account"), QStringLiteral("Date_Create"), QStringLiteral("Kind")});
}

std::unique_ptr<dorv::Table> histTable()
{
    auto t = std::make_unique<dorv::Table>(QStringLiteral("Tb_Hist"), QStringLiteral("TB_HIST"));
    declareHist(*t);
    t->setDatabaseName(g_folder);
    t->setIndexFieldNames(QStringLiteral("ID_ACCOUNT;DATE_REAL;DATE_CREATE;KIND"));
    return t;
}

struct Month {
    int first, last;
};

Month month(int index)
{
    const QDate start = FirstDate.addMonths(index);
    return {dorv::dayNumber(start), dorv::dayNumber(start.addMonths(1)) - 1};
}

// The end key (acc, last + 1) stops just before that day's first row, so the range is the whole month.
void rangeOnMonth(dorv::Table& t, int account, int monthIndex)
{
    const Month m = month(monthIndex);
    t.setRange({qint64(account), qint64(m.first)}, {qint64(account), qint64(m.last + 1)});
}

void rangeOnAccount(dorv::Table& t, int account)
{
    t.setRange({qint64(account)}, {qint64(account + 1)});
}

double money(std::mt19937& rng, int maxRoubles)
{
    return double(std::uniform_int_distribution<int>(100, maxRoubles * 100)(rng)) / 100.0;
}

// Rows are written in time order across all accounts, as a real history grows, so one account's rows
// are spread over the whole file rather than lying together.
void generate()
{
    QElapsedTimer clock;
    clock.start();
    dorv::Table declared(QStringLiteral("Tb_Hist"), QStringLiteral("TB_HIST"));
    declareHist(declared);
    for (const QString& s : declared.createStatements())
        g_db->exec(s);
    const QString sql = QStringLiteral(
        "INSERT INTO TB_HIST (Id_Account,Date_Real,Date_Create,Kind,Dt,Ct,Level1,Level2,Level3,Price,"
        "ID_Person,ID_Firm,Ref_Account) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)");
    std::mt19937 rng(20050101);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int day0 = firstDay();
    const qint64 span = spanDays();
    g_db->exec(QStringLiteral("BEGIN"));
    try {
        for (int i = 0; i < RowsPerAccount; ++i) {
            const int day = day0 + int(qint64(i) * span / RowsPerAccount);
            // About fourteen rows a day per account; the minute keeps each creation moment apart.
            const qint64 stamp = qint64(day) * dorv::MsPerDay + 9 * 3600000LL + qint64(i % 1000) * 60000;
            for (int acc = 1; acc <= Accounts; ++acc) {
                const bool transfer = pick(0, 7) == 0;
                const bool debit = transfer ? pick(0, 1) == 0 : pick(0, 9) < 3;
                const double amount = money(rng, debit ? 20000 : 3000);
                dorv::Statement st = g_db->prepare(sql);
                st.bind(1, qint64(acc));
                st.bind(2, qint64(day));
                st.bind(3, stamp);
                st.bind(4, transfer ? QStringLiteral("2") : QStringLiteral("1"));
                st.bind(5, debit ? QVariant(amount) : QVariant());
                st.bind(6, debit ? QVariant() : QVariant(amount));
                st.bind(7, qint64(pick(1, 20)));
                st.bind(8, qint64(pick(1, 10)));
                st.bind(9, qint64(pick(1, 5)));
                st.bind(10, pick(0, 3) == 0 ? QVariant(money(rng, 500)) : QVariant());
                st.bind(11, qint64(pick(1, 4)));
                st.bind(12, qint64(pick(1, 60)));
                st.bind(13, transfer ? QVariant(qint64(acc % Accounts + 1)) : QVariant());
                st.step();
            }
        }
        g_db->exec(QStringLiteral("COMMIT"));
    } catch (...) {
        g_db->exec(QStringLiteral("ROLLBACK"));
        throw;
    }
    std::fprintf(stderr, "TB_HIST: %d rows written in %.1f s\n", Accounts * RowsPerAccount,
                 double(clock.elapsed()) / 1000.0);
}

// A failed engine call ends the benchmark with the engine's message instead of a crash.
template <typename Body>
void guarded(benchmark::State& state, Body body)
{
    try {
        body();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

// ---- opening ----

void BM_OpenMonth(benchmark::State& state)
{
    guarded(state, [&] {
        auto t = histTable();
        std::mt19937 rng(1);
        qint64 rows = 0;
        for (auto _ : state) {
            state.PauseTiming();
            t->close();
            rangeOnMonth(*t, int(rng() % Accounts) + 1, int(rng() % Months));
            state.ResumeTiming();
            t->open();
            rows += t->recordCount();
        }
        state.counters["rows"] = benchmark::Counter(double(rows), benchmark::Counter::kAvgIterations);
    });
}
BENCHMARK(BM_OpenMonth)->Unit(benchmark::kMillisecond)->Iterations(2000);

void BM_OpenAccount(benchmark::State& state)
{
    guarded(state, [&] {
        auto t = histTable();
        int account = 0;
        qint64 rows = 0;
        for (auto _ : state) {
            state.PauseTiming();
            t->close();
            account = account % Accounts + 1;
            rangeOnAccount(*t, account);
            state.ResumeTiming();
            t->open();
            rows += t->recordCount();
        }
        state.counters["rows"] = benchmark::Counter(double(rows), benchmark::Counter::kAvgIterations);
    });
}
BENCHMARK(BM_OpenAccount)->Unit(benchmark::kMillisecond)->Iterations(100);

// ---- reading ----

double readHundred(dorv::Table& t)
{
    const dorv::Field& day = t.fieldByName(QStringLiteral("Date_Real"));
    const dorv::Field& kind = t.fieldByName(QStringLiteral("Kind"));
    const dorv::Field& dt = t.fieldByName(QStringLiteral("Dt"));
    const dorv::Field& ct = t.fieldByName(QStringLiteral("Ct"));
    const dorv::Field& level = t.fieldByName(QStringLiteral("Level1"));
    double sum = 0;
    int n = 0;
    for (t.first(); !t.eof() && n < 100; t.next(), ++n)
        sum += day.asDate() + kind.asString().size() + dt.asFloat() - ct.asFloat() + double(level.asInteger());
    return sum;
}

// Every pass re-ranges first (untimed), so the hundred rows come from the file, not from the cursor's cache.
void BM_Step100(benchmark::State& state)
{
    guarded(state, [&] {
        auto t = histTable();
        rangeOnAccount(*t, 1);
        t->open();
        int account = 1;
        for (auto _ : state) {
            state.PauseTiming();
            account = account % Accounts + 1;
            rangeOnAccount(*t, account);
            state.ResumeTiming();
            benchmark::DoNotOptimize(readHundred(*t));
        }
    });
}
BENCHMARK(BM_Step100)->Unit(benchmark::kMillisecond)->Iterations(200);

// The same rows again, as a grid repainting its visible part does.
void BM_Step100Cached(benchmark::State& state)
{
    guarded(state, [&] {
        auto t = histTable();
        rangeOnAccount(*t, 1);
        t->open();
        readHundred(*t);
        for (auto _ : state)
            benchmark::DoNotOptimize(readHundred(*t));
    });
}
BENCHMARK(BM_Step100Cached)->Unit(benchmark::kMillisecond)->Iterations(10000);

// ---- writing ----

struct RowValues {
    QVariant values[13];
};

const char* const HistColumns[13] = {"Id_Account", "Date_Real", "Date_Create", "Kind",      "Dt",
                                     "Ct",         "Level1",    "Level2",      "Level3",    "Price",
                                     "ID_Person",  "ID_Firm",   "Ref_Account"};

RowValues currentValues(dorv::Table& t)
{
    RowValues r;
    for (int i = 0; i < 13; ++i)
        r.values[i] = t.fieldByName(QLatin1String(HistColumns[i])).value();
    return r;
}

void writeValues(dorv::Table& t, const RowValues& r)
{
    for (int i = 0; i < 13; ++i)
        t.fieldByName(QLatin1String(HistColumns[i])).setValue(r.values[i]);
}

// A new row lands somewhere inside the open range; each pass removes its row again (untimed), so the
// range keeps its size however many passes run.
void BM_PostRow(benchmark::State& state)
{
    guarded(state, [&] {
        const int account = 3;
        auto t = histTable();
        rangeOnAccount(*t, account);
        t->open();
        const int before = t->recordCount();
        std::mt19937 rng(3);
        // Creation moments after every generated one, so the new keys never collide.
        qint64 stamp = qint64(dorv::dayNumber(FirstDate.addYears(Years + 1))) * dorv::MsPerDay;
        for (auto _ : state) {
            RowValues r;
            r.values[0] = qint64(account);
            r.values[1] = qint64(firstDay() + int(rng() % unsigned(spanDays())));
            r.values[2] = ++stamp;
            r.values[3] = QStringLiteral("1");
            r.values[4] = QVariant();
            r.values[5] = 123.45;
            r.values[6] = qint64(rng() % 20 + 1);
            r.values[7] = qint64(rng() % 10 + 1);
            r.values[8] = qint64(rng() % 5 + 1);
            r.values[9] = QVariant();
            r.values[10] = qint64(1);
            r.values[11] = qint64(rng() % 60 + 1);
            r.values[12] = QVariant();
            t->insert();
            writeValues(*t, r);
            t->post();
            state.PauseTiming();
            if (t->fieldByName(QStringLiteral("Date_Create")).asStamp() != stamp) {
                state.SkipWithError("the posted row is not the current one");
                break;
            }
            t->deleteRecord();
            state.ResumeTiming();
        }
        if (t->recordCount() != before)
            state.SkipWithError("the range changed size");
    });
}
BENCHMARK(BM_PostRow)->Unit(benchmark::kMillisecond)->Iterations(3000);

// Deletes a row from anywhere in the range; each pass writes it back (untimed), so the range and the
// file keep their size.
void BM_DeleteRow(benchmark::State& state)
{
    guarded(state, [&] {
        auto t = histTable();
        rangeOnAccount(*t, 4);
        t->open();
        const int before = t->recordCount();
        std::mt19937 rng(4);
        for (auto _ : state) {
            state.PauseTiming();
            t->setCurrentRow(int(rng() % unsigned(t->recordCount())));
            const RowValues r = currentValues(*t);
            state.ResumeTiming();
            t->deleteRecord();
            state.PauseTiming();
            t->insert();
            writeValues(*t, r);
            t->post();
            state.ResumeTiming();
        }
        if (t->recordCount() != before)
            state.SkipWithError("the range changed size");
    });
}
BENCHMARK(BM_DeleteRow)->Unit(benchmark::kMillisecond)->Iterations(3000);

// ---- sums ----

// Open, read both sums, close: what the accounts window does for each account and year.
void BM_QsumYear(benchmark::State& state)
{
    guarded(state, [&] {
        dorv::Query q(QStringLiteral("Qsum"));
        q.setDatabaseName(g_folder);
        q.setSql({QStringLiteral("Select Sum(dt),Sum(ct) from tb_hist"), QStringLiteral("where id_account=:id_account"),
                  QStringLiteral("and date_real between :d1 and :d2"), QStringLiteral("and kind='1'")});
        std::mt19937 rng(6);
        double total = 0;
        for (auto _ : state) {
            const QDate from = FirstDate.addYears(int(rng() % Years));
            q.paramByName(QStringLiteral("id_account")).setAsInteger(qint64(rng() % Accounts + 1));
            q.paramByName(QStringLiteral("d1")).setAsDate(dorv::dayNumber(from));
            q.paramByName(QStringLiteral("d2")).setAsDate(dorv::dayNumber(from.addYears(1)) - 1);
            q.open();
            total += q.field(0)->asFloat() + q.field(1)->asFloat();
            q.close();
        }
        benchmark::DoNotOptimize(total);
    });
}
BENCHMARK(BM_QsumYear)->Unit(benchmark::kMillisecond)->Iterations(1000);

// ---- re-ranging an open table, as the history view does when the user picks another account or month ----

void BM_SwitchAccount(benchmark::State& state)
{
    guarded(state, [&] {
        auto t = histTable();
        rangeOnAccount(*t, 1);
        t->open();
        int account = 1;
        for (auto _ : state) {
            account = account % Accounts + 1;
            rangeOnAccount(*t, account);
            benchmark::DoNotOptimize(t->recordCount());
        }
    });
}
BENCHMARK(BM_SwitchAccount)->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_SwitchMonth(benchmark::State& state)
{
    guarded(state, [&] {
        auto t = histTable();
        rangeOnMonth(*t, 5, 0);
        t->open();
        std::mt19937 rng(7);
        for (auto _ : state) {
            rangeOnMonth(*t, 5, int(rng() % Months));
            benchmark::DoNotOptimize(t->recordCount());
        }
    });
}
BENCHMARK(BM_SwitchMonth)->Unit(benchmark::kMillisecond)->Iterations(2000);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    g_folder = dir.path();
    try {
        g_db = dorv::Database::acquire(g_folder);
        generate();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_db.reset();
    return 0;
}
