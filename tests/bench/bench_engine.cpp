// Speed of the table engine on a household history of a million rows: the operations the history
// view and the sums of the accounts window repeat while a user works.

#include "data/Database.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/Query.h"
#include "data/Table.h"
#include "data/TableModel.h"
#include "util/DateScale.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>

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

void rangeOnAccount(dorv::Table& t, int account) { t.setRange({qint64(account)}, {qint64(account + 1)}); }

double money(std::mt19937& rng, int maxRoubles)
{
    return double(std::uniform_int_distribution<int>(100, maxRoubles * 100)(rng)) / 100.0;
}

// The reference tables the history's lookup fields read from.
constexpr int Categories = 5;        // items 1..5; item 1 is income, the others expenses
constexpr int GroupsPerCategory = 3; // items 6..20
constexpr int ArticlesPerGroup = 2;  // items 21..50
constexpr int FirstGroup = Categories + 1;
constexpr int FirstArticle = FirstGroup + Categories * GroupsPerCategory;
constexpr int Items = FirstArticle - 1 + Categories * GroupsPerCategory * ArticlesPerGroup;
constexpr int Persons = 100;
constexpr int Firms = 50;
constexpr int TransferItem = -1;

void insertRow(const QString& sql, const QVariantList& values)
{
    dorv::Statement st = g_db->prepare(sql);
    st.bindAll(values);
    st.step();
}

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

void fillReferences()
{
    const char* const accounts[Accounts] = {
        "Наличные", "Зарплатная карта", "Кредитная карта", "Вклад", "Копилка", "Карта супруги", "Пенсионный счёт",
        "Дача",     "Отпуск",           "Резерв"};
    const QString accountSql =
        QStringLiteral("INSERT INTO TB_ACCOUNT (Id_Account,Account,Currency,Rest,C) VALUES (?,?,?,?,NULL)");
    for (int i = 0; i < Accounts; ++i)
        insertRow(accountSql, {qint64(i + 1), text(accounts[i]), text("руб"), 0.0});

    const char* const categories[Categories] = {"Доходы", "Питание", "Жильё", "Транспорт", "Здоровье"};
    // Three groups per category, in category order.
    const char* const groups[Categories * GroupsPerCategory] = {
        "Зарплата", "Премии", "Проценты", "Продукты",      "Столовая",  "Кафе",  "Коммунальные", "Ремонт",
        "Мебель",   "Бензин", "Проезд",   "Ремонт машины", "Лекарства", "Врачи", "Спорт"};
    const QString itemSql = QStringLiteral("INSERT INTO TB_ITEMS (ID_ITM,ITM,ID_REF,LEV,C,S) VALUES (?,?,?,?,?,NULL)");
    auto mode = [](int category) { return category == 1 ? text("+") : text("-"); };
    for (int c = 1; c <= Categories; ++c)
        insertRow(itemSql, {qint64(c), text(categories[c - 1]), QVariant(), qint64(0), mode(c)});
    for (int g = FirstGroup; g < FirstArticle; ++g) {
        const int parent = 1 + (g - FirstGroup) / GroupsPerCategory;
        insertRow(itemSql, {qint64(g), text(groups[g - FirstGroup]), qint64(parent), qint64(1), mode(parent)});
    }
    for (int a = FirstArticle; a <= Items; ++a) {
        const int parent = FirstGroup + (a - FirstArticle) / ArticlesPerGroup;
        const int category = 1 + (parent - FirstGroup) / GroupsPerCategory;
        const QString name = text(groups[parent - FirstGroup])
                             + ((a - FirstArticle) % ArticlesPerGroup == 0 ? text(", основное") : text(", прочее"));
        insertRow(itemSql, {qint64(a), name, qint64(parent), qint64(2), mode(category)});
    }

    const char* const firmKinds[5] = {"Магазин", "Аптека", "Кафе", "Салон", "Рынок"};
    const QString firmSql =
        QStringLiteral("INSERT INTO TB_FIRM (Id_Firm,Firm,Phone,Address,Comment,C) VALUES (?,?,?,?,NULL,NULL)");
    for (int f = 1; f <= Firms; ++f)
        insertRow(firmSql, {qint64(f), text(firmKinds[f % 5]) + text(" №") + QString::number(f),
                            QStringLiteral("8-800-%1").arg(f, 3, 10, QLatin1Char('0')),
                            text("ул. Ленина, ") + QString::number(f)});

    const char* const surnames[20] = {"Иванов",  "Петров",   "Сидоров", "Смирнов", "Кузнецов", "Попов",   "Васильев",
                                      "Соколов", "Михайлов", "Новиков", "Фёдоров", "Морозов",  "Волков",  "Алексеев",
                                      "Лебедев", "Семёнов",  "Егоров",  "Павлов",  "Козлов",   "Степанов"};
    const char* const initials[5] = {"А.А.", "Б.В.", "В.Г.", "Г.Д.", "Д.Е."};
    const QString personSql =
        QStringLiteral("INSERT INTO TB_PERSON (Id_Person,Name,Birthday,Phone,Address,Id_Firm,Comment,C,Dy,Mn) "
                       "VALUES (?,?,?,?,NULL,?,NULL,NULL,?,?)");
    for (int p = 1; p <= Persons; ++p) {
        const QDate birthday = QDate(1950, 1, 1).addDays(p * 173);
        insertRow(personSql,
                  {qint64(p), text(surnames[(p - 1) % 20]) + QLatin1Char(' ') + text(initials[(p - 1) / 20]),
                   qint64(dorv::dayNumber(birthday)), QStringLiteral("555-%1").arg(p, 4, 10, QLatin1Char('0')),
                   qint64((p - 1) % Firms + 1), qint64(birthday.day()), qint64(birthday.month())});
    }
}

// Rows are written in time order across all accounts, as a real history grows, so one account's rows
// are spread over the whole file rather than lying together. Neighbouring accounts sometimes move
// money to each other: both rows share the creation moment, which is how a transfer finds its pair.
void fillHistory()
{
    const QString sql =
        QStringLiteral("INSERT INTO TB_HIST (Id_Account,Date_Real,Date_Create,Kind,Dt,Ct,Level1,Level2,Level3,Price,"
                       "ID_Person,ID_Firm,Ref_Account) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)");
    std::mt19937 rng(20050101);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto maybe = [&pick](int percent, const QVariant& v) { return pick(1, 100) <= percent ? v : QVariant(); };
    const int day0 = firstDay();
    const qint64 span = spanDays();
    const QString one = QStringLiteral("1");
    for (int i = 0; i < RowsPerAccount; ++i) {
        const int day = day0 + int(qint64(i) * span / RowsPerAccount);
        // About fourteen rows a day per account; the minute keeps each creation moment apart.
        const qint64 stamp = qint64(day) * dorv::MsPerDay + 9 * 3600000LL + qint64(i % 1000) * 60000;
        for (int from = 1; from < Accounts; from += 2) {
            const int to = from + 1;
            if (pick(0, 7) == 0) {
                const double amount = money(rng, 20000);
                for (const auto& [acc, ref] : {std::pair{from, to}, std::pair{to, from}}) {
                    const bool receiving = acc == to;
                    insertRow(sql, {qint64(acc), qint64(day), stamp, one, receiving ? QVariant(amount) : QVariant(),
                                    receiving ? QVariant() : QVariant(amount), qint64(TransferItem), QVariant(),
                                    QVariant(), QVariant(), QVariant(), QVariant(), qint64(ref)});
                }
                continue;
            }
            for (const int acc : {from, to}) {
                const bool income = pick(0, 9) < 3;
                const int category = income ? 1 : pick(2, Categories);
                const int group = FirstGroup + (category - 1) * GroupsPerCategory + pick(0, GroupsPerCategory - 1);
                const int article =
                    FirstArticle + (group - FirstGroup) * ArticlesPerGroup + pick(0, ArticlesPerGroup - 1);
                const double amount = money(rng, income ? 20000 : 3000);
                // One row in fifty is planned rather than done.
                const QString kind = pick(0, 49) == 0 ? QStringLiteral("2") : one;
                insertRow(sql, {qint64(acc), qint64(day), stamp, kind, income ? QVariant(amount) : QVariant(),
                                income ? QVariant() : QVariant(amount), qint64(category), qint64(group),
                                maybe(80, qint64(article)), maybe(25, money(rng, 500)),
                                maybe(50, qint64(pick(1, Persons))), maybe(75, qint64(pick(1, Firms))), QVariant()});
            }
        }
    }
}

// The whole schema comes from the data module, so the history view below finds every table its
// lookups read; the engine's own benchmarks use the same TB_HIST through tables of their own.
void generate()
{
    QElapsedTimer clock;
    clock.start();
    dorv::TDm::CreateDatabase(g_folder);
    g_db = dorv::Database::acquire(g_folder);
    g_db->exec(QStringLiteral("BEGIN"));
    try {
        fillReferences();
        fillHistory();
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

const char* const HistColumns[13] = {"Id_Account", "Date_Real", "Date_Create", "Kind",   "Dt",
                                     "Ct",         "Level1",    "Level2",      "Level3", "Price",
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

// ---- the history view of the money page, through the data module and the grid's model ----

// Rows the history grid shows at once on a usual screen.
constexpr int PageRows = 40;

// The bounds the program gives the whole period when the history names none.
int wholeStart() { return dorv::dayNumber(QDate(1900, 1, 1)); }
int wholeEnd() { return dorv::dayNumber(QDate(2173, 10, 14)); }

enum class Span { Whole, Month, Day };

// The data module and the grid model as the money page holds them for a session, and what its
// period change does: re-range the history with the grid held still, let the grid reset, work out
// the opening balance and the period's turnover, and show the first rows.
class HistoryView {
public:
    HistoryView()
    {
        m_dm.BindDatabaseName(g_folder);
        for (dorv::Table* t : {m_dm.Tb_Account, m_dm.Tb_Items, m_dm.Tb_Person, m_dm.Tb_Firm})
            t->open();
        dorv::Table& hist = *m_dm.Tb_Hist;
        // Start-up ranges before opening, so opening never reads the handles of the whole file.
        hist.setRange({qint64(1)}, {qint64(2)});
        hist.open();
        m_model = std::make_unique<dorv::TableModel>(&hist);
        // The data module holds the grid still until a database has been opened.
        hist.enableControls();
        dorv::Table& acc = *m_dm.Tb_Account;
        for (int row = 0; row < acc.recordCount(); ++row) {
            acc.setCurrentRow(row);
            m_accountRow[int(acc.fieldByName(QStringLiteral("Id_Account")).asInteger())] = row;
        }
        chooseAccount(1);
        // A category the grid cannot name means the lookups read nothing and the figures would flatter.
        const int category = m_model->columnOf(QStringLiteral("Category"));
        if (category < 0 || m_model->data(m_model->index(0, category)).toString().isEmpty())
            throw std::runtime_error("the history grid shows no category names");
    }

    int rows() const { return m_model->rowCount(); }

    // What picking an account in the accounts card does before the period is applied again.
    void chooseAccount(int account) { m_dm.Tb_Account->setCurrentRow(m_accountRow.at(account)); }

    double applyPeriod(Span span, int workDate)
    {
        const qint64 account = m_dm.Tb_Account->fieldByName(QStringLiteral("Id_Account")).asInteger();
        int start = wholeStart(), end = wholeEnd();
        if (span == Span::Month) {
            const QDate d = dorv::dateOfDay(workDate);
            const QDate first(d.year(), d.month(), 1);
            start = dorv::dayNumber(first);
            end = dorv::dayNumber(first.addMonths(1)) - 1;
        } else if (span == Span::Day) {
            start = end = workDate;
        }
        dorv::Table& hist = *m_dm.Tb_Hist;
        hist.disableControls();
        try {
            if (span == Span::Whole)
                hist.setRange({account}, {account + 1});
            else
                hist.setRange({account, start}, {account, end + 1});
        } catch (...) {
            hist.enableControls();
            throw;
        }
        hist.enableControls();

        dorv::Query& q = *m_dm.Qsum;
        q.close();
        q.paramByName(QStringLiteral("id_account")).setAsInteger(account);
        double total = 0;
        auto sums = [&q, &total](int d1, int d2) {
            q.paramByName(QStringLiteral("d1")).setAsDate(d1);
            q.paramByName(QStringLiteral("d2")).setAsDate(d2);
            q.open();
            total += q.field(0)->asFloat() - q.field(1)->asFloat();
            q.close();
        };
        sums(0, start - 1);
        sums(start, end);
        return total + readPage(0);
    }

    // Every visible cell of a page as the grid asks for it; the text lengths keep the work observable.
    double readPage(int firstRow)
    {
        const int last = qMin(firstRow + PageRows, m_model->rowCount());
        const int columns = m_model->columnCount();
        double size = 0;
        for (int r = firstRow; r < last; ++r)
            for (int c = 0; c < columns; ++c)
                size += double(m_model->data(m_model->index(r, c), Qt::DisplayRole).toString().size());
        return size;
    }

private:
    dorv::TDm m_dm;
    std::unique_ptr<dorv::TableModel> m_model; // after the module, so it goes first
    std::map<int, int> m_accountRow;
};

// A working date somewhere in the generated years.
int randomDay(std::mt19937& rng) { return firstDay() + int(rng() % unsigned(spanDays())); }

// Scrolling the whole history of an account: pages at random places, so nearly every row comes from
// the file with its lookups rather than from the cursor's cache.
void BM_ViewScrollPage(benchmark::State& state)
{
    guarded(state, [&] {
        HistoryView view;
        view.applyPeriod(Span::Whole, 0);
        const int rows = view.rows();
        std::mt19937 rng(11);
        for (auto _ : state)
            benchmark::DoNotOptimize(view.readPage(int(rng() % unsigned(rows - PageRows + 1))));
        state.counters["rows"] = rows;
    });
}
BENCHMARK(BM_ViewScrollPage)->Unit(benchmark::kMillisecond)->Iterations(500);

// The same account each time: what choosing "whole period" costs.
void BM_ViewApplyPeriodWhole(benchmark::State& state)
{
    guarded(state, [&] {
        HistoryView view;
        view.chooseAccount(5);
        for (auto _ : state)
            benchmark::DoNotOptimize(view.applyPeriod(Span::Whole, 0));
        state.counters["rows"] = view.rows();
    });
}
BENCHMARK(BM_ViewApplyPeriodWhole)->Unit(benchmark::kMillisecond)->Iterations(30);

// A month or a day at random working dates.
void BM_ViewApplyPeriodAt(benchmark::State& state, Span span, unsigned seed)
{
    guarded(state, [&] {
        HistoryView view;
        view.chooseAccount(5);
        std::mt19937 rng(seed);
        qint64 rows = 0;
        for (auto _ : state) {
            benchmark::DoNotOptimize(view.applyPeriod(span, randomDay(rng)));
            rows += view.rows();
        }
        state.counters["rows"] = benchmark::Counter(double(rows), benchmark::Counter::kAvgIterations);
    });
}
BENCHMARK_CAPTURE(BM_ViewApplyPeriodAt, month, Span::Month, 12u)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK_CAPTURE(BM_ViewApplyPeriodAt, day, Span::Day, 13u)->Unit(benchmark::kMillisecond)->Iterations(200);

// The next-day button, from the middle of the history onwards: in day mode every step is a new
// period; in month mode the month rarely changes, yet the whole period work is redone.
void BM_ViewStep(benchmark::State& state, Span span)
{
    guarded(state, [&] {
        HistoryView view;
        view.chooseAccount(5);
        int day = firstDay() + spanDays() / 2;
        for (auto _ : state)
            benchmark::DoNotOptimize(view.applyPeriod(span, ++day));
    });
}
BENCHMARK_CAPTURE(BM_ViewStep, day_mode, Span::Day)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK_CAPTURE(BM_ViewStep, month_mode, Span::Month)->Unit(benchmark::kMillisecond)->Iterations(200);

// Another account in the accounts card with the whole period shown.
void BM_ViewChooseAccount(benchmark::State& state)
{
    guarded(state, [&] {
        HistoryView view;
        int account = 1;
        for (auto _ : state) {
            account = account % Accounts + 1;
            view.chooseAccount(account);
            benchmark::DoNotOptimize(view.applyPeriod(Span::Whole, 0));
        }
    });
}
BENCHMARK(BM_ViewChooseAccount)->Unit(benchmark::kMillisecond)->Iterations(30);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // The grid model is a Qt item model and wants an application object; no widgets are made.
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    g_folder = dir.path();
    try {
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
