// The program as a household uses it, on books of 10 k, 100 k and 1 M history rows: the data file
// opened to a ready window, a day's actions on the money page, the results window, saving and
// exit. Each figure is the median of several runs; the peak memory is the process's over all.
//
//   bench_scale --make ROWS FILE   writes a book (in a process of its own, so that its memory
//                                  is not counted)
//   bench_scale ROWS FILE          measures on it and prints one line per action

#include "app/DorvMain.h"
#include "categories/CategoryTree.h"
#include "data/DorvDm.h"
#include "ledger/MoneyView.h"
#include "results/DorvRes.h"
#include "support/BookGenerator.h"
#include "support/Parts.h"
#include "support/ScriptedPrompts.h"
#include "widgets/DbControls.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

std::map<QString, std::vector<double>> g_times;
QStringList g_order;

void record(const QString& action, double ms)
{
    if (!g_times.count(action))
        g_order << action;
    g_times[action].push_back(ms);
}

double timed(const std::function<void()>& body)
{
    QElapsedTimer t;
    t.start();
    body();
    return double(t.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

long peakKilobytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

struct Run {
    QTemporaryDir root;
    ScriptedPrompts prompts;
    dorv::MainEnvironment env;
    QString book;

    explicit Run(const QString& source)
    {
        env.programFolder = root.filePath("prog");
        env.tempFolder = root.filePath("tmp");
        env.settingsFile = root.filePath("s.ini");
        env.prompts = &prompts;
        env.splash = false;
        QDir().mkpath(env.programFolder);
        QDir().mkpath(env.tempFolder);
        book = root.filePath("book.den");
        QFile::copy(source, book);
        QSettings(env.settingsFile, QSettings::IniFormat).setValue("Dorvana/Recent_Catalog", book);
    }
    // Opened to a ready window: tables open, trees filled, period applied, totals and the first
    // page painted.
    std::unique_ptr<dorv::TFormMain> open(double* ms)
    {
        std::unique_ptr<dorv::TFormMain> w;
        *ms = timed([&] {
            w = std::make_unique<dorv::TFormMain>(env);
            w->resize(1000, 650);
            w->show();
            w->repaint();
        });
        return w;
    }
};

void nextCard(ScriptedPrompts& prompts, const QString& sum)
{
    prompts.modals.enqueue([sum](QDialog* d) {
        d->findChild<dorv::TDbEdit*>(QStringLiteral("DBESum"))->setText(sum);
        d->findChild<QPushButton*>(QStringLiteral("ButOk"))->click();
        return d->result();
    });
}

int measure(qint64 rows, const QString& source)
{
    // Info-ZIP's own inflating of the same file, for comparison.
    for (int i = 0; i < 3; ++i)
        record("unzip -p of the data file", timed([&] {
                   QProcess p;
                   p.setStandardOutputFile(QProcess::nullDevice());
                   p.start("unzip", {"-p", source});
                   p.waitForFinished(-1);
               }));
    Run run(source);
    double ms = 0;
    for (int i = 0; i < 3; ++i) {
        auto w = run.open(&ms);
        if (!w->started())
            return 1;
        record("open the data file to a ready window", ms);
        w->setStartStop(true);
        w->CloseDataFile();
    }
    auto w = run.open(&ms);
    record("open the data file to a ready window", ms);
    dorv::TFormMain& win = *w;
    dorv::TMoneyView& money = *namedPart<dorv::TMoneyView>(&win, "MoneyView");
    auto act = [&](const QString& name, const std::function<void()>& body) {
        record(name, timed([&] {
                   body();
                   win.repaint();
               }));
    };
    for (int i = 0; i < 5; ++i) {
        act("switch the period kind (year, month)", [&] { win.action(i % 2 ? "mMonth" : "mYear")->trigger(); });
    }
    win.action("mMonth")->trigger();
    for (int i = 0; i < 5; ++i)
        act("step the working date", [&] { namedPart<QToolButton>(&money, "ButNext")->click(); });
    for (int i = 0; i < 5; ++i) {
        run.prompts.modals.enqueue([&win, i](QDialog*) {
            dorv::Table& a = *win.Dm()->Tb_Account;
            a.locate("Id_Account", i % 2 ? 1 : 2);
            return int(QDialog::Accepted);
        });
        act("choose another account", [&] { money.ButAccClick(); });
    }
    QTreeWidget* tree = namedPart<QTreeWidget>(namedPart<dorv::TCategoryPane>(&money, "Pgd"), "TvCt");
    tree->setCurrentItem(namedPart<dorv::TCategoryPane>(&money, "Pgd")->FindCategoryNode(tree, 2, {}));
    for (int i = 0; i < 5; ++i) {
        nextCard(run.prompts, QStringLiteral("12.5"));
        act("book an expense", [&] { money.mMoneyNewClick(); });
        run.prompts.confirms.enqueue(true);
        const int before = win.Dm()->Tb_Hist->recordCount();
        act("delete it", [&] { money.mMoneyDeleteClick(); });
        if (win.Dm()->Tb_Hist->recordCount() != before - 1)
            std::fprintf(stderr, "the expense was not deleted (%d rows, %d before)\n", win.Dm()->Tb_Hist->recordCount(),
                         before);
    }
    // The results window of the whole period of the busiest account.
    win.Dm()->Tb_Account->locate("Id_Account", 1);
    win.action("mTotal")->trigger();
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        run.prompts.modals.enqueue([&](QDialog* d) {
            // Shown: its rows, totals and charts stand ready.
            d->repaint();
            record("open the results window", double(t.nsecsElapsed()) / 1e6);
            auto& r = *static_cast<dorv::TFormRest*>(d);
            auto step = [&](const QString& name, const std::function<void()>& body) {
                record(name, timed([&] {
                           body();
                           d->repaint();
                       }));
            };
            step("results: drill down", [&] { r.drillDown(); });
            step("results: drill down again", [&] { r.drillDown(); });
            step("results: drill up", [&] { r.drillUp(); });
            step("results: open the detail pane", [&] { r.ButDetailClick(); });
            return int(QDialog::Rejected);
        });
        t.start();
        money.ButResultClick();
    }
    win.action("mMonth")->trigger();
    for (int i = 0; i < 3; ++i) {
        nextCard(run.prompts, QStringLiteral("7"));
        money.mMoneyNewClick();
        act("save", [&] { win.SaveDataFile(false); });
    }
    nextCard(run.prompts, QStringLiteral("8"));
    money.mMoneyNewClick();
    run.prompts.confirms.enqueue(true);
    act("exit with saving", [&] { win.close(); });
    w.reset();
    const QFileInfo saved(run.book);
    std::printf("| rows | %lld |\n| data file | %.1f MB |\n", static_cast<long long>(rows), double(saved.size()) / 1e6);
    for (const QString& action : std::as_const(g_order))
        std::printf("| %s | %.1f ms |\n", qPrintable(action), median(g_times[action]));
    std::printf("| peak memory | %.0f MB |\n", double(peakKilobytes()) / 1024.0);
    if (qEnvironmentVariableIsSet("BENCH_SCALE_ASKED"))
        for (const QString& asked : std::as_const(run.prompts.asked))
            std::fprintf(stderr, "asked: %s\n", qPrintable(asked));
    for (const QString& asked : std::as_const(run.prompts.asked))
        if (asked.startsWith("error: ")) {
            std::fprintf(stderr, "%s\n", qPrintable(asked));
            return 1;
        }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--make") {
        BookShape shape;
        shape.rows = QByteArray(argv[2]).toLongLong();
        QString error;
        if (!makeBook(shape, QString::fromLocal8Bit(argv[3]), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_scale --make ROWS FILE | bench_scale ROWS FILE\n");
        return 2;
    }
    return measure(QByteArray(argv[1]).toLongLong(), QString::fromLocal8Bit(argv[2]));
}
