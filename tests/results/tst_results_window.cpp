#include "app/DorvMain.h"
#include "card/DorvCard.h"
#include "categories/CategoryTree.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "data/Query.h"
#include "data/Table.h"
#include "ledger/MoneyView.h"
#include "results/ChartPrinter.h"
#include "results/DorvRes.h"
#include "results/DorvRpt.h"
#include "results/ResultCharts.h"
#include "support/Child.h"
#include "support/ScratchEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "widgets/DbGrid.h"

#include <QAction>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCalendarWidget>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QLabel>
#include <QPdfWriter>
#include <QPieSeries>
#include <QPieSlice>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStackedBarSeries>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

using namespace dorv;

// The results window opened from the money page, driven as a user would.
class TestResultsWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;
    std::unique_ptr<TFormMain> w;

    void exec(const QString& sql) { Database::acquire(w->workingFolder())->exec(sql); }
    static int day(int y, int m, int d) { return dayNumber(QDate(y, m, d)); }
    // The rows of the result grid as "name D C Amount".
    static QStringList rows(TFormRest& r)
    {
        QStringList out;
        Query& q = *child<Query>(&r, "QRes");
        for (int row = 0; row < q.recordCount(); ++row) {
            const Record rec = q.recordAt(row);
            QStringList parts;
            for (const char* f : {"nm", "D", "C", "Amount"}) {
                const Field& field = q.fieldByName(QString::fromLatin1(f));
                const QVariant v = rec.value(field.index());
                parts << (v.isValid() ? field.formatValue(v) : QStringLiteral("-"));
            }
            out << parts.join(' ');
        }
        return out;
    }
    // Opens the window and runs the checks on it while it is shown.
    void inWindow(std::function<void(TFormRest&)> checks)
    {
        prompts.modals.enqueue([checks](QDialog* d) {
            checks(*static_cast<TFormRest*>(d));
            return int(QDialog::Rejected);
        });
        w->action("mResult")->trigger();
        QVERIFY(prompts.asked.contains("modal: TFormRest"));
    }

    // What a chart shows as text: its names, marks and axis labels, as drawn.
    static QStringList chartTexts(QChartView* chart)
    {
        QStringList out;
        for (QGraphicsItem* item : chart->scene()->items())
            if (auto* text = dynamic_cast<QGraphicsTextItem*>(item); text && text->isVisible())
                out << text->toPlainText();
        return out;
    }
    static QString runTool(const QString& tool, const QStringList& args)
    {
        QProcess p;
        p.start(tool, args);
        if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return QStringLiteral("%1 failed").arg(tool);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    // A fourth expense category with an operation, for charts whose names need room.
    void addFourthCategory(const QString& name = "Транспорт")
    {
        exec(QString("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (4, '%1', NULL, 0, '-')").arg(name));
        exec(QString("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1) VALUES "
                     "(1, %1, 6, '1', NULL, 70, 4)")
                 .arg(day(2000, 2, 1)));
        w->Dm()->Tb_Items->refresh();
    }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        prompts = ScriptedPrompts();
        const MainEnvironment e = scratchEnvironment(*root, prompts);
        Clock::pin(QDateTime(QDate(2000, 2, 6), QTime(12, 0)));
        w = std::make_unique<TFormMain>(e);
        QVERIFY(w->started());
        exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Кошелёк', 'руб', 500), "
             "(2, 'Карта', 'руб', 0)");
        exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), (2, 'Хлеб', 1, 1, "
             "'-'), (3, 'Зарплата', NULL, 0, '+')");
        exec("INSERT INTO TB_PERSON (Id_Person, Name) VALUES (1, 'Иванов')");
        const int d = day(2000, 2, 1);
        exec(
            QString("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1, Level2, ID_Person, "
                    "Ref_Account) VALUES (1, %1, 1, '1', NULL, 30, 1, 2, 1, NULL), (1, %1, 2, '1', NULL, 20, 1, NULL, "
                    "NULL, NULL), (1, %1, 3, '1', 1000, NULL, 3, NULL, NULL, NULL), (1, %1, 4, '1', NULL, 100, -1, "
                    "NULL, NULL, 2), (2, %2, 4, '1', 100, NULL, -1, NULL, NULL, 1), (1, %1, 5, '2', NULL, 7, 1, 2, "
                    "NULL, NULL)")
                .arg(d)
                .arg(day(1999, 5, 3)));
        w->Dm()->Tb_Account->refresh();
        w->Dm()->Tb_Items->refresh();
        w->Dm()->Tb_Account->locate("Id_Account", 1);
        child<dorv::TMoneyView>(&*w, "MoneyView")->ResetTrees();
        child<dorv::TMoneyView>(&*w, "MoneyView")->ApplyPeriod();
    }
    void cleanup()
    {
        w.reset();
        Clock::unpin();
        root.reset();
    }

    void opensOnTheFirstLevelWithTotals()
    {
        inWindow([this](TFormRest& r) {
            QCOMPARE(child<QLabel>(&r, "Lab")->text(), QString("Кошелёк ...  500.00 руб"));
            // The whole period: from the first operation of any account to the last.
            QCOMPARE(child<QToolButton>(&r, "ButDate1")->text(), QString("03.05.1999"));
            QCOMPARE(child<QToolButton>(&r, "ButDate2")->text(), QString("01.02.2000"));
            QCOMPARE(r.windowTitle(), QString("Распределение по статьям"));
            QCOMPARE(rows(r),
                     (QStringList{"Еда - 50.00 -50.00", "Зарплата 1000.00 - 1000.00", "ПЕРЕВОД - 100.00 -100.00"}));
            QCOMPARE(r.panelText(1), QString("1000.00"));
            QCOMPARE(r.panelText(2), QString("150.00"));
            QCOMPARE(r.panelText(3), QString("850.00"));
            QCOMPARE(r.property("DrillStep").toInt(), 1);
            QCOMPARE(r.property("Level1Name").toString(), QString("Еда"));
            QVERIFY(child<QToolButton>(&r, "ButDn")->isEnabled());
            QVERIFY(!child<QToolButton>(&r, "ButUp")->isEnabled());
            QVERIFY(child<QToolButton>(&r, "ButWhat")->isChecked());
        });
    }

    void drillingDownAndUp()
    {
        inWindow([](TFormRest& r) {
            child<QToolButton>(&r, "ButDn")->click();
            QCOMPARE(r.property("DrillStep").toInt(), 2);
            QCOMPARE(r.windowTitle(), QString("Еда"));
            QCOMPARE(rows(r), (QStringList{"- - 20.00 -20.00", "Хлеб - 30.00 -30.00"}));
            // Regrouped by people inside the category.
            child<QToolButton>(&r, "ButWho")->click();
            QCOMPARE(r.property("GroupBy").toInt(), 1);
            QCOMPARE(rows(r), QStringList{"Иванов - 30.00 -30.00"});
            QCOMPARE(child<Query>(&r, "QRes")->fieldByName("nm").label(), QString("Кто"));
            child<QToolButton>(&r, "ButUp")->click();
            QCOMPARE(r.property("DrillStep").toInt(), 1);
            QCOMPARE(r.property("Dimension2").toInt(), 0);
            // All kinds count the planned row too.
            child<QComboBox>(&r, "CbReal")->setCurrentIndex(2);
            emit child<QComboBox>(&r, "CbReal")->activated(2);
            QCOMPARE(rows(r).first(), QString("Еда - 57.00 -57.00"));
        });
    }

    void reversedDatesAndTheDeepestStep()
    {
        inWindow([this](TFormRest& r) {
            // Step 3 with every dimension "what": no deeper; regrouping by people opens the way again.
            child<Query>(&r, "QRes")->locate("nm", "Еда");
            child<QToolButton>(&r, "ButDn")->click();
            child<Query>(&r, "QRes")->locate("nm", "Хлеб");
            child<QToolButton>(&r, "ButDn")->click();
            QCOMPARE(r.property("DrillStep").toInt(), 3);
            QCOMPARE(r.windowTitle(), QString("Еда \\ Хлеб"));
            QVERIFY(!child<QToolButton>(&r, "ButDn")->isEnabled());
            child<QToolButton>(&r, "ButWho")->click();
            QCOMPARE(r.property("Dimension3").toInt(), 1);
            QVERIFY(child<QToolButton>(&r, "ButDn")->isEnabled());
            // Dates the wrong way round: nothing to show and nothing to drill into.
            prompts.modals.enqueue([](QDialog* d) {
                auto* card = static_cast<TFormCard*>(d);
                child<QCalendarWidget>(card, "Dt")->setSelectedDate(QDate(1999, 1, 1));
                return int(QDialog::Accepted);
            });
            child<QToolButton>(&r, "ButDate2")->click();
            QCOMPARE(child<QToolButton>(&r, "ButDate2")->text(), QString("01.01.1999"));
            QCOMPARE(child<Query>(&r, "QRes")->recordCount(), 0);
            QVERIFY(!child<QToolButton>(&r, "ButDn")->isEnabled());
            QVERIFY(!r.property("RowHasData").toBool());
        });
    }

    void insideTheTransferTheAccounts()
    {
        inWindow([](TFormRest& r) {
            child<Query>(&r, "QRes")->locate("nm", "ПЕРЕВОД");
            QCOMPARE(r.property("Level1Id").toLongLong(), qint64(-1));
            child<QToolButton>(&r, "ButDn")->click();
            QCOMPARE(rows(r), QStringList{"Карта - 100.00 -100.00"});
            QCOMPARE(child<Query>(&r, "QRes")->fieldByName("nm").label(), QString("Что"));
            QVERIFY(!child<QToolButton>(&r, "ButDn")->isEnabled());
        });
    }

    void analysisSortAndLimit()
    {
        inWindow([this](TFormRest& r) {
            QCOMPARE(r.property("AnalysisMode").toInt(), 2);
            child<TDbGrid>(&r, "DBGRes")->horizontalHeader()->sectionClicked(3); // "Баланс"
            QCOMPARE(r.property("AnalysisMode").toInt(), 3);
            QVERIFY(child<QAction>(&r, "mpAnalysBalance")->isChecked());
            QCOMPARE(child<TDbGrid>(&r, "DBGRes")->columnBackground.value(3), r.palette().color(QPalette::Base));
            QCOMPARE(child<TDbGrid>(&r, "DBGRes")->columnBackground.value(2), r.palette().color(QPalette::Button));
            child<TDbGrid>(&r, "DBGRes")
                ->horizontalHeader()
                ->sectionClicked(0); // the first column's title changes nothing
            QCOMPARE(r.property("AnalysisMode").toInt(), 3);
            child<QAction>(&r, "mpSortCredit")->trigger();
            QCOMPARE(rows(r).first(), QString("ПЕРЕВОД - 100.00 -100.00"));
            QCOMPARE(child<TDbGrid>(&r, "DBGRes")
                         ->model()
                         ->headerData(2, Qt::Horizontal, Qt::ForegroundRole)
                         .value<QColor>(),
                     QColor(128, 0, 0));
            // A limit that is no integer changes nothing; one that is, limits the expense groups.
            prompts.inputs.enqueue("12a");
            child<QAction>(&r, "mpLimitValue")->trigger();
            QCOMPARE(child<QAction>(&r, "mpLimitValue")->text(), QString("&Значение границы = 0"));
            prompts.inputs.enqueue("60");
            child<QAction>(&r, "mpLimitValue")->trigger();
            QCOMPARE(r.property("LimitValue").toLongLong(), qint64(60));
            child<QAction>(&r, "mpLimitCredit")->trigger();
            QCOMPARE(rows(r), QStringList{"ПЕРЕВОД - 100.00 -100.00"});
        });
    }

    void detailPaneFollowsTheRow()
    {
        inWindow([this](TFormRest& r) {
            QVERIFY(child<QStackedWidget>(&r, "PgDetail")->isHidden());
            child<Query>(&r, "QRes")->locate("nm", "ПЕРЕВОД");
            child<QToolButton>(&r, "ButDetail")->click();
            QVERIFY(!child<QStackedWidget>(&r, "PgDetail")->isHidden());
            QCOMPARE(child<QToolButton>(&r, "ButDetail")->width(), 40);
            QVERIFY(child<QToolButton>(&r, "ButTable")->isVisible() && child<QToolButton>(&r, "ButPrice")->isVisible());
            QCOMPARE(r.property("DetailFilter").toString(), QString("level1='-1' and kind='1'"));
            QCOMPARE(child<Table>(&r, "Tb_Detail")->recordCount(), 1);
            child<Query>(&r, "QRes")->locate("nm", "Еда");
            QCOMPARE(child<Table>(&r, "Tb_Detail")->recordCount(), 2); // the planned row is not real
            // Prices: only the priced rows.
            exec("UPDATE TB_HIST SET Price = 3 WHERE Date_Create = 1");
            child<Table>(&r, "Tb_Detail")->refresh();
            child<QToolButton>(&r, "ButPrice")->click();
            QCOMPARE(child<Table>(&r, "Tb_Detail")->recordCount(), 1);
            QCOMPARE(r.pricePoints().size(), 1);
            QCOMPARE(r.pricePoints().first().second, 3.0);
            // Going to the operation makes it current in the main window.
            child<Table>(&r, "Tb_Detail")->first();
            QTest::keyClick(child<TDbGrid>(&r, "DBGDet"), Qt::Key_Return);
            QCOMPARE(w->Dm()->Tb_Hist->fieldByName("Date_Create").asInteger(), qint64(1));
            // Closed and opened again: the statement of the current row.
            child<QToolButton>(&r, "ButTable")->click();
            child<QToolButton>(&r, "ButDetail")->click();
            QVERIFY(child<QStackedWidget>(&r, "PgDetail")->isHidden());
            QVERIFY(!child<Table>(&r, "Tb_Detail")->active());
            child<QToolButton>(&r, "ButDetail")->click();
            QCOMPARE(child<Table>(&r, "Tb_Detail")->recordCount(), 2);
        });
    }

    void categoryStatement()
    {
        child<QTreeWidget>(child<TCategoryPane>(child<dorv::TMoneyView>(&*w, "MoneyView"), "Pgd"), "TvCt")
            ->setCurrentItem(
                child<TCategoryPane>(child<dorv::TMoneyView>(&*w, "MoneyView"), "Pgd")
                    ->FindCategoryNode(
                        child<QTreeWidget>(child<TCategoryPane>(child<dorv::TMoneyView>(&*w, "MoneyView"), "Pgd"),
                                           "TvCt"),
                        1, {}));
        QString seen;
        prompts.modals.enqueue([&seen](QDialog* d) {
            auto& r = *static_cast<TFormRest*>(d);
            const bool only = child<QWidget>(&r, "PanRest")->isHidden()
                              && !child<QStackedWidget>(&r, "PgDetail")->isHidden()
                              && child<QStatusBar>(&r, "SbDet")->isVisible();
            seen = QStringList{r.windowTitle(), only ? "statement only" : "results",
                               child<QLabel>(&r, "SbDetPanel1")->text(), child<QLabel>(&r, "SbDetPanel3")->text(),
                               child<Table>(&r, "Tb_Detail")->filter()}
                       .join(" | ");
            return int(QDialog::Rejected);
        });
        w->action("mCategoryView")->trigger();
        // Real and planned rows of the first-level item and all below it, of the current account.
        QCOMPARE(seen, QString("Статья \"Еда\", счёт \"Кошелёк\", период 06.02.1900...06.02.2100 | statement only | 3 "
                               "| 57.00 | level1=1"));
    }

    void printedReportAsPdf()
    {
        inWindow([this](TFormRest& r) {
            child<QAction>(&r, "mpAnalysBalance")->trigger();
            child<QComboBox>(&r, "CbReal")->setCurrentIndex(2);
            emit child<QComboBox>(&r, "CbReal")->activated(2);
            TQr report;
            QVERIFY(r.buildReport(&report));
            QCOMPARE(report.QRL, QString("Весь баланс за 03.05.1999 - 01.02.2000"));
            const QString pdf = root->filePath("report.pdf");
            {
                QPdfWriter writer(pdf);
                QCOMPARE(report.render(writer), 1);
            }
            // The same as text, one line per row.
            QCOMPARE(report.plainText().count('\n'), 2 + 1 + 3 + 4);
            // Many rows with long names run onto further pages, the page number on each.
            report.rows.clear();
            for (int i = 0; i < 60; ++i)
                report.rows << qMakePair(
                    QString("Очень длинное название статьи, которое не помещается в одну строку %1").arg(i),
                    QString("1.00"));
            QPdfWriter many(root->filePath("many.pdf"));
            QVERIFY(report.render(many) >= 3);
            QProcess text;
            text.start("pdftotext", {"-layout", pdf, "-"});
            if (!text.waitForFinished(20000) || text.exitCode() != 0)
                QSKIP("pdftotext is not installed");
            // Text extraction runs blanks together; the report's own text keeps them.
            QCOMPARE(report.printed, QString("на  06.02.2000"));
            const QString printed = QString::fromUtf8(text.readAllStandardOutput()).simplified();
            for (const QString& expected :
                 {QString("Распределение по статьям"), QString("Весь баланс за 03.05.1999 - 01.02.2000"),
                  QString("Еда"), QString("-57.00"), QString("Зарплата"), QString("1000.00"), QString("ПЕРЕВОД"),
                  QString("-100.00"), QString("843.00"), QString("на  06.02.2000"), QString("Кошелёк ...  500.00 руб")})
                QVERIFY2(printed.contains(expected.simplified()), qPrintable(expected + "\n" + printed));
        });
    }

    void chartPrinting_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("printer"); // none, or the file a printer of the test's writes
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("file"); // the PDF file chosen, or what the printer writes
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QString>("message"); // %1: the test's folder
        QTest::addColumn<QStringList>("printed");
        const QString question = "confirm: Принтер не установлен. Сохранить диаграмму в файл PDF?";
        const QString save = "save: Сохранение диаграммы";
        QTest::addRow("no printer: the pie saved as PDF")
            << 1 << "none" << true << "chart.pdf" << QStringList{question, save} << "" << QStringList{"Еда", "ПЕРЕВОД"};
        QTest::addRow("no printer: the bars saved as PDF")
            << 2 << "none" << true << "chart.pdf" << QStringList{question, save} << ""
            << QStringList{"Еда", "Зарплата", "ПЕРЕВОД"};
        QTest::addRow("no printer: no PDF wanted")
            << 1 << "none" << false << "chart.pdf" << QStringList{question} << "" << QStringList{};
        QTest::addRow("no printer: no file chosen")
            << 2 << "none" << true << "" << QStringList{question, save} << "" << QStringList{};
        QTest::addRow("no printer: the folder cannot be written")
            << 1 << "none" << true << "plain/chart.pdf" << QStringList{question, save}
            << "Невозможно записать файл %1/plain/chart.pdf: Часть пути не является папкой" << QStringList{};
        QTest::addRow("a printer: printed at once") << 2 << "printer" << true << "chart.pdf" << QStringList{} << ""
                                                    << QStringList{"Еда", "Зарплата", "ПЕРЕВОД"};
        QTest::addRow("a printer that fails") << 1 << "printer" << true << "plain/chart.pdf" << QStringList{}
                                              << "Не удалось напечатать диаграмму: принтер «%1/plain/chart.pdf» "
                                                 "недоступен"
                                              << QStringList{};
    }
    void chartPrinting()
    {
        QFETCH(int, tag);
        QFETCH(QString, printer);
        QFETCH(bool, yes);
        QFETCH(QString, file);
        QFETCH(QStringList, asked);
        QFETCH(QString, message);
        QFETCH(QStringList, printed);
        // A file where a folder should be: no one, not even the superuser, writes below it.
        QFile plain(root->filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString path = file.isEmpty() ? QString() : root->filePath(file);
        inWindow([&](TFormRest& r) {
            r.chartPrinter().useDefaultPrinter = [&](QPrinter& device) {
                if (printer == "none")
                    return false;
                device.setOutputFormat(QPrinter::PdfFormat);
                device.setOutputFileName(path);
                return true;
            };
            prompts.confirms.enqueue(yes);
            prompts.saveFiles.enqueue(path);
            if (tag == 2)
                child<QToolButton>(&r, "ButBar")->click();
            QApplication::processEvents();
            const qsizetype before = prompts.asked.size();
            QChart* chart = (tag == 1 ? child<QChartView>(&r, "DBChPie") : child<QChartView>(&r, "DBChBar"))->chart();
            const QRectF shown = chart->geometry();
            (tag == 1 ? child<QToolButton>(&r, "ButPrnPie") : child<QToolButton>(&r, "ButPrnBar"))->click();
            // Laid out for the page, the chart is back as the window showed it.
            QCOMPARE(chart->geometry(), shown);
            QStringList questions;
            for (const QString& a : prompts.asked.mid(before))
                if (!a.startsWith("error: "))
                    questions << a;
            QCOMPARE(questions, asked);
            QCOMPARE(prompts.messages(), message.isEmpty() ? QStringList{} : QStringList{message.arg(root->path())});
        });
        QCOMPARE(QFile::exists(root->filePath("chart.pdf")), !printed.isEmpty());
        if (printed.isEmpty())
            return;
        QFile pdf(root->filePath("chart.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        // Across the page, and the chart's names on it as text.
        const QString info = runTool("pdfinfo", {pdf.fileName()});
        const QRegularExpressionMatch size = QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+)").match(info);
        QVERIFY2(size.hasMatch(), qPrintable(info));
        QVERIFY2(size.captured(1).toDouble() > size.captured(2).toDouble(), qPrintable(info));
        const QString text = runTool("pdftotext", {pdf.fileName(), "-"});
        for (const QString& name : printed)
            QVERIFY2(text.contains(name), qPrintable(name + " not in:\n" + text));
    }

    void pieLabels_data()
    {
        QTest::addColumn<int>("analysis");
        QTest::addColumn<int>("clicks"); // on a slice, cycling the marks
        QTest::addColumn<QString>("fourth");
        QTest::addColumn<QStringList>("labelled"); // as drawn, whole
        QTest::addColumn<int>("width");            // of the window; 0 as it opens
        QTest::addRow("expense: the income row has none")
            << 2 << 0 << "Транспорт" << QStringList{"Еда", "ПЕРЕВОД", "Транспорт"} << 0;
        QTest::addRow("income: only the income row") << 1 << 0 << "Транспорт" << QStringList{"Зарплата"} << 0;
        QTest::addRow("balance: every row, below zero too")
            << 3 << 0 << "Транспорт" << QStringList{"Еда", "Зарплата", "ПЕРЕВОД", "Транспорт"} << 0;
        QTest::addRow("percentages: not on the empty row")
            << 2 << 1 << "Транспорт" << QStringList{"Еда 23%", "ПЕРЕВОД 45%", "Транспорт 32%"} << 0;
        QTest::addRow("marks off: none") << 2 << 2 << "Транспорт" << QStringList{} << 0;
        QTest::addRow("a name as typed, markup signs too")
            << 2 << 0 << "<b>Дом</b> & сад" << QStringList{"Еда", "ПЕРЕВОД", "<b>Дом</b> & сад"} << 1000;
    }
    void pieLabels()
    {
        QFETCH(int, analysis);
        QFETCH(int, clicks);
        QFETCH(QString, fourth);
        QFETCH(QStringList, labelled);
        QFETCH(int, width);
        addFourthCategory(fourth);
        inWindow([&](TFormRest& r) {
            if (width)
                r.resize(width, r.height());
            r.SetAnalysisMode(analysis);
            for (int i = 0; i < clicks; ++i)
                child<TResultCharts>(&r, "ResultCharts")->cyclePieMarks();
            QTest::qWait(50); // the chart lays itself out
            for (QPieSlice* slice : child<TResultCharts>(&r, "ResultCharts")->pieSeries()->slices())
                if (slice->value() == 0)
                    QVERIFY(!slice->isLabelVisible());
            // As the window opens, the pie leaves its names room to stand whole.
            QStringList drawn = chartTexts(child<QChartView>(&r, "DBChPie"));
            drawn.removeAll(QString());
            drawn.sort();
            labelled.sort();
            QCOMPARE(drawn, labelled);
        });
    }

    void barNames_data()
    {
        QTest::addColumn<int>("width"); // of the window
        QTest::addColumn<int>("marks");
        QTest::addColumn<int>("whole"); // names expected whole at least
        QTest::addColumn<QString>("fourth");
        QTest::addRow("as the window opens") << 0 << 0 << 4 << "Транспорт";
        QTest::addRow("a wide window") << 1400 << 0 << 4 << "Транспорт";
        QTest::addRow("percentages under the names") << 0 << 1 << 4 << "Транспорт";
        QTest::addRow("a narrow window: names cut at their slots") << 420 << 0 << 1 << "Транспорт";
        QTest::addRow("a name as typed, markup signs too") << 1000 << 0 << 4 << "<b>Дом</b> & сад";
    }
    void barNames()
    {
        QFETCH(int, width);
        QFETCH(int, marks);
        QFETCH(int, whole);
        QFETCH(QString, fourth);
        addFourthCategory(fourth);
        inWindow([&](TFormRest& r) {
            if (width)
                r.resize(width, r.height());
            child<QToolButton>(&r, "ButBar")->click();
            for (int i = 0; i < marks; ++i)
                child<TResultCharts>(&r, "ResultCharts")->cycleBarMarks();
            QTest::qWait(50); // the chart lays itself out
            const QStringList names{"Еда", "Зарплата", "ПЕРЕВОД", fourth};
            QChart* chart = child<QChartView>(&r, "DBChBar")->chart();
            const auto* axis = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).first());
            const QFontMetricsF metrics(axis->labelsFont());
            const double slot = chart->plotArea().width() / names.size();
            const QStringList texts = chartTexts(child<QChartView>(&r, "DBChBar"));
            int standing = 0;
            for (const QString& name : names) {
                // The name line as drawn: whole where it fits its slot, else cut with an ellipsis.
                QString drawn;
                for (const QString& t : texts)
                    for (const QString& line : t.split(QRegularExpression("[\\n\\x{2028}]")))
                        if (line == name || (line.endsWith(QChar(0x2026)) && name.startsWith(line.chopped(1))))
                            drawn = line;
                QVERIFY2(!drawn.isEmpty(), qPrintable(name + " not in " + texts.join(" | ")));
                QVERIFY2(metrics.horizontalAdvance(drawn) <= slot, qPrintable(drawn));
                if (metrics.horizontalAdvance(name) < slot - 4)
                    QCOMPARE(drawn, name);
                standing += drawn == name;
            }
            QVERIFY2(standing >= whole, qPrintable(texts.join(" | ")));
            QVERIFY(!axis->labelsTruncated());
        });
    }

    void detailPageButtons()
    {
        inWindow([](TFormRest& r) {
            auto pressed = [&r] {
                QStringList out;
                for (QToolButton* b : {child<QToolButton>(&r, "ButWhat"), child<QToolButton>(&r, "ButWho"),
                                       child<QToolButton>(&r, "ButWhere"), child<QToolButton>(&r, "ButTable"),
                                       child<QToolButton>(&r, "ButPrice")})
                    if (b->isChecked())
                        out << b->objectName();
                return out.join(' ') + " / " + child<QStackedWidget>(&r, "PgDetail")->currentWidget()->objectName();
            };
            child<QToolButton>(&r, "ButDetail")->click();
            QCOMPARE(pressed(), QString("ButWhat ButTable / ShDet"));
            child<QToolButton>(&r, "ButPrice")->click();
            QCOMPARE(pressed(), QString("ButWhat ButPrice / ShPrice"));
            child<QToolButton>(&r, "ButWho")->click();
            QCOMPARE(pressed(), QString("ButWho ButPrice / ShPrice"));
            // Closed and opened again on the page it showed.
            child<QToolButton>(&r, "ButDetail")->click();
            child<QToolButton>(&r, "ButDetail")->click();
            QCOMPARE(pressed(), QString("ButWho ButPrice / ShPrice"));
            child<QToolButton>(&r, "ButTable")->click();
            QCOMPARE(pressed(), QString("ButWho ButTable / ShDet"));
        });
    }

    void chartsFollowTheRows()
    {
        inWindow([](TFormRest& r) {
            QPieSeries* pie = child<TResultCharts>(&r, "ResultCharts")->pieSeries();
            QVERIFY(pie);
            QCOMPARE(pie->count(), 3);
            QCOMPARE(pie->slices().at(0)->value(), 50.0); // the expense, analysed at start
            child<QAction>(&r, "mpAnalysDebit")->trigger();
            QCOMPARE(pie->slices().at(1)->value(), 1000.0);
            for (int click = 0; click < 3; ++click)
                child<TResultCharts>(&r, "ResultCharts")->cyclePieMarks();
            QCOMPARE(child<TResultCharts>(&r, "ResultCharts")->pieMarks(), 0);
            for (int click = 0; click < 3; ++click)
                child<TResultCharts>(&r, "ResultCharts")->cycleBarMarks();
            QCOMPARE(child<TResultCharts>(&r, "ResultCharts")->barMarks(), 0);
            child<QSpinBox>(&r, "UdRot")->stepUp();
            child<QSpinBox>(&r, "UdRot")->stepUp();
            QCOMPARE(child<TResultCharts>(&r, "ResultCharts")->pieRotation(), 10.0);
            QCOMPARE(child<QSpinBox>(&r, "UdZoom")->minimum(), 1);
            QCOMPARE(child<QSpinBox>(&r, "UdZoom")->maximum(), 200);
            // The bars: one set per row, each on its own name, their values readable beside them too.
            QCOMPARE(child<TResultCharts>(&r, "ResultCharts")->barSeries()->count(), 3);
            for (QBarSet* set : child<TResultCharts>(&r, "ResultCharts")->barSeries()->barSets())
                QCOMPARE(set->labelColor(), child<QChartView>(&r, "DBChBar")->palette().color(QPalette::WindowText));
        });
    }
};

QTEST_MAIN(TestResultsWindow)
#include "tst_results_window.moc"
