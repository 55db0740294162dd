#include "app/DorvMain.h"
#include "categories/CategoryTree.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "data/TableModel.h"
#include "ledger/MoneyView.h"
#include "ledger/Period.h"
#include "support/Child.h"
#include "support/ScratchEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "widgets/GridColours.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

using namespace dorv;

// The money page of a running main window: accounts, period, totals, the grid and the direction.
class TestMoney : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;
    std::unique_ptr<TFormMain> w;

    TMoneyView& money() { return *child<dorv::TMoneyView>(&*w, "MoneyView"); }
    TDm& dm() { return *w->Dm(); }
    void exec(const QString& sql) { Database::acquire(w->workingFolder())->exec(sql); }
    static int day(int y, int m, int d) { return dayNumber(QDate(y, m, d)); }
    void addAccount(int id, const QString& name, double rest = 0)
    {
        exec(QString("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (%1, '%2', 'руб', %3)")
                 .arg(id)
                 .arg(name)
                 .arg(rest));
    }
    void addOperation(int account, int date, qint64 stamp, const QString& kind, QVariant dt, QVariant ct)
    {
        Statement st = Database::acquire(w->workingFolder())
                           ->prepare("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1) "
                                     "VALUES (?,?,?,?,?,?,0)");
        st.bindAll({account, date, stamp, kind, dt, ct});
        st.step();
    }
    void reopenAccounts()
    {
        dm().Tb_Account->refresh();
        dm().Tb_Account->first();
    }
    void choosePeriod(const char* item) { w->action(item)->trigger(); }
    QStringList totals() const
    {
        QStringList out;
        for (int i : {1, 3, 5, 7})
            out << child<dorv::TMoneyView>(&*w, "MoneyView")->panelText(i);
        return out;
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
    }
    void cleanup()
    {
        w.reset();
        Clock::unpin();
        root.reset();
    }

    void periodBounds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QDate>("work");
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        QTest::addRow("week of Sunday 6 Feb 2000") << 3 << QDate(2000, 2, 6) << QDate(2000, 1, 31) << QDate(2000, 2, 6);
        QTest::addRow("week of Monday 31 Jan 2000")
            << 3 << QDate(2000, 1, 31) << QDate(2000, 1, 31) << QDate(2000, 2, 6);
        QTest::addRow("December 1999") << 2 << QDate(1999, 12, 15) << QDate(1999, 12, 1) << QDate(1999, 12, 31);
        QTest::addRow("February 2000") << 2 << QDate(2000, 2, 10) << QDate(2000, 2, 1) << QDate(2000, 2, 29);
        QTest::addRow("year") << 1 << QDate(2000, 2, 10) << QDate(2000, 1, 1) << QDate(2000, 12, 31);
        QTest::addRow("day") << 4 << QDate(2000, 2, 10) << QDate(2000, 2, 10) << QDate(2000, 2, 10);
        QTest::addRow("whole") << 0 << QDate(2000, 2, 10) << QDate(1900, 2, 6) << QDate(2100, 2, 6);
    }
    void periodBounds()
    {
        QFETCH(int, kind);
        QFETCH(QDate, work);
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        const PeriodBounds b = dorv::periodBounds(PeriodKind(kind), dayNumber(work), dayNumber(QDate(1900, 2, 6)),
                                                  dayNumber(QDate(2100, 2, 6)));
        QCOMPARE(dateOfDay(b.start), start);
        QCOMPARE(dateOfDay(b.end), end);
    }

    void openingBalanceAndPlannedRows()
    {
        addAccount(1, "Кошелёк");
        addOperation(1, day(2000, 1, 20), 1, "1", 100.0, {}); // before the period
        addOperation(1, day(2000, 2, 3), 2, "2", {}, 30.0);   // planned, in the period
        addOperation(2, day(2000, 2, 3), 3, "1", {}, 7.0);    // another account
        reopenAccounts();
        choosePeriod("mMonth");
        QCOMPARE(totals(), (QStringList{"100.00", "0.00", "0.00", "100.00"}));
        QCOMPARE(child<QComboBox>(&money(), "CbPer")->currentIndex(), 2);
        QCOMPARE(dm().Tb_Hist->recordCount(), 1); // the planned row shows, another account's does not
        choosePeriod("mTotal");
        QCOMPARE(totals(), (QStringList{"0.00", "100.00", "0.00", "100.00"}));
        QCOMPARE(dm().Tb_Hist->recordCount(), 2);
    }

    void menuAndComboInStep()
    {
        addAccount(1, "Счёт");
        reopenAccounts();
        choosePeriod("mYear");
        QCOMPARE(child<QComboBox>(&money(), "CbPer")->currentIndex(), 1);
        child<QComboBox>(&money(), "CbPer")->setCurrentIndex(3);
        money().CbPerClick();
        QVERIFY(w->action("mWeek")->isChecked());
        QCOMPARE(money().PeriodStart, day(2000, 1, 31));
        QCOMPARE(child<QComboBox>(&money(), "CbPer")->toolTip(), QString("31.01.2000...06.02.2000"));
        choosePeriod("mTotal");
        QVERIFY(child<QComboBox>(&money(), "CbPer")->toolTip().isEmpty());
    }

    void dayModeHidesTheDateColumn()
    {
        addAccount(1, "Счёт");
        reopenAccounts();
        const int col = money().historyModel()->columnOf("DATE_REAL");
        QVERIFY(col >= 0);
        choosePeriod("mDay");
        QVERIFY(child<TDbGrid>(&money(), "DBG")->isColumnHidden(col));
        choosePeriod("mMonth");
        QVERIFY(!child<TDbGrid>(&money(), "DBG")->isColumnHidden(col));
    }

    void columnLayoutSurvivesRanging()
    {
        addAccount(1, "Счёт");
        reopenAccounts();
        QHeaderView* h = child<TDbGrid>(&money(), "DBG")->horizontalHeader();
        h->resizeSection(1, 211);
        h->moveSection(1, 4);
        choosePeriod("mYear");
        child<QToolButton>(&money(), "ButNext")->click();
        QCOMPARE(h->sectionSize(1), 211);
        QCOMPARE(h->visualIndex(1), 4);
        QVERIFY(h->sectionSize(money().historyModel()->columnOf("DATE_REAL")) >= 77);
    }

    void steppingTheWorkingDateAcrossAMonthEnd()
    {
        addAccount(1, "Счёт");
        addOperation(1, day(2000, 3, 1), 1, "1", {}, 5.0);
        reopenAccounts();
        w->setWorkDate(day(2000, 2, 29));
        choosePeriod("mMonth");
        QCOMPARE(dm().Tb_Hist->recordCount(), 0);
        child<QToolButton>(&money(), "ButNext")->click();
        QCOMPARE(child<QToolButton>(&money(), "ButDate")->text(), QString("01.03.00"));
        QCOMPARE(money().PeriodStart, day(2000, 3, 1));
        QCOMPARE(dm().Tb_Hist->recordCount(), 1);
        QCOMPARE(money().panelText(5), QString("5.00"));
        child<QToolButton>(&money(), "ButPrev")->click();
        QCOMPARE(money().PeriodEnd, day(2000, 2, 29));
        // A cancelled picker leaves the date.
        prompts.modals.enqueue([](QDialog*) { return int(QDialog::Rejected); });
        money().ButDateClick();
        QCOMPARE(w->workDate(), day(2000, 2, 29));
    }

    void balanceColour_data()
    {
        QTest::addColumn<double>("rest");
        QTest::addColumn<bool>("red");
        QTest::addRow("-0.40 navy") << -0.40 << false;
        QTest::addRow("-0.50 navy (half to even)") << -0.50 << false;
        QTest::addRow("-0.60 red") << -0.60 << true;
        QTest::addRow("-1.50 red") << -1.50 << true;
    }
    void balanceColour()
    {
        QFETCH(double, rest);
        QFETCH(bool, red);
        addAccount(1, "Счёт", rest);
        reopenAccounts();
        const QColor c = child<QLabel>(&money(), "DBTRest")->palette().color(QPalette::WindowText);
        QCOMPARE(c, red ? QColor(Qt::red) : QColor(0, 0, 128));
        // As drawn, not only as set: the text's ink is the colour, and only the balance is bold.
        const QImage drawn = child<QLabel>(&money(), "DBTRest")->grab().toImage();
        int coloured = 0, black = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                const QColor px = drawn.pixelColor(x, y);
                const int strong = red ? px.red() - px.blue() : px.blue() - px.red();
                if (strong > 60)
                    ++coloured;
                if (qMax(px.red(), qMax(px.green(), px.blue())) < 50)
                    ++black;
            }
        }
        QVERIFY2(coloured > 0 && black == 0, qPrintable(QString("%1 coloured, %2 black").arg(coloured).arg(black)));
        QVERIFY(child<QLabel>(&money(), "DBTRest")->font().bold());
        QVERIFY(!child<QLabel>(&money(), "DBTAccount")->font().bold());
        QVERIFY(!child<QLabel>(&money(), "DBTCurrency")->font().bold());
        QCOMPARE(child<QLabel>(&money(), "DBTRest")->text(), QString::number(rest, 'f', 2));
        QCOMPARE(child<QLabel>(&money(), "DBTAccount")->text(), QString("Счёт"));
    }

    void cancelInTheAccountsCardKeepsTheAccount()
    {
        addAccount(1, "Альфа");
        addAccount(2, "Бета");
        addOperation(1, day(2000, 2, 1), 1, "1", 1.0, {});
        reopenAccounts();
        money().ApplyPeriod();
        QCOMPARE(dm().Tb_Hist->recordCount(), 1);
        prompts.modals.enqueue([this](QDialog*) {
            dm().Tb_Account->last(); // moved in the grid
            return int(QDialog::Rejected);
        });
        money().ButAccClick();
        QCOMPARE(dm().Tb_Account->fieldByName("Account").asString(), QString("Альфа"));
        QCOMPARE(dm().Tb_Hist->recordCount(), 1);
        prompts.modals.enqueue([this](QDialog*) {
            dm().Tb_Account->last();
            return int(QDialog::Accepted);
        });
        money().ButAccClick();
        QCOMPARE(child<QLabel>(&money(), "DBTAccount")->text(), QString("Бета"));
        QCOMPARE(dm().Tb_Hist->recordCount(), 0); // the period applied to the new account
    }

    void rememberedAccountSurvivesSaving()
    {
        addAccount(1, "Альфа");
        addAccount(2, "Бета");
        reopenAccounts();
        dm().Tb_Account->last();
        dm().DataSaved = true;
        w->FlushPendingEdits();
        QVERIFY(!dm().DataSaved);
        dm().Qtemp->setSql({"select count(*) from tb_account where c='L'"});
        dm().Qtemp->open();
        QCOMPARE(dm().Qtemp->field(0)->asInteger(), 1);
        dm().Qtemp->close();
        QCOMPARE(dm().Tb_Account->fieldByName("Account").asString(), QString("Бета"));
        const QString file = root->filePath("f.den");
        QVERIFY(saveAndReopen(*w, prompts, file));
        QCOMPARE(dm().Tb_Account->fieldByName("Account").asString(), QString("Бета"));
    }

    void directionSwitching()
    {
        addAccount(1, "Счёт");
        addOperation(1, day(2000, 2, 1), 1, "1", 1.0, {});
        reopenAccounts();
        money().ApplyPeriod();
        QVERIFY(money().modeOn());
        QVERIFY(w->action("mMoneyNew")->isEnabled());
        // Clicking the checked expense item leaves neither direction.
        w->action("mCt")->trigger();
        QVERIFY(!w->action("mCt")->isChecked() && !w->action("mDt")->isChecked());
        QVERIFY(!child<QToolButton>(&money(), "ButCt")->isChecked()
                && !child<QToolButton>(&money(), "ButDt")->isChecked());
        QVERIFY(!money().modeOn());
        QVERIFY(!child<QMenu>(&*w, "mCategory")->menuAction()->isVisible());
        QVERIFY(!w->action("mMoneyNew")->isEnabled());
        QVERIFY(!w->action("mMoneyEdit")->isEnabled());
        QVERIFY(!w->action("mUpdate")->isEnabled());
        QVERIFY(w->action("mMoneyDelete")->isEnabled());
        // The income button: income mode with its tree.
        child<QToolButton>(&money(), "ButDt")->click();
        QVERIFY(w->action("mDt")->isChecked());
        QVERIFY(money().modeOn());
        QCOMPARE(child<TCategoryPane>(&money(), "Pgd")->shownTree(),
                 child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvDt"));
        // The expense button while income is down brings income up.
        child<QToolButton>(&money(), "ButCt")->click();
        QVERIFY(child<QToolButton>(&money(), "ButCt")->isChecked()
                && !child<QToolButton>(&money(), "ButDt")->isChecked());
        QVERIFY(w->action("mCt")->isChecked() && !w->action("mDt")->isChecked());
        QCOMPARE(child<TCategoryPane>(&money(), "Pgd")->shownTree(),
                 child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt"));
        QCOMPARE(child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt")->topLevelItem(0)->text(0),
                 QString("ПЕРЕВОД"));
    }

    void enterEditsOnlyWhenEditIsAvailable()
    {
        addAccount(1, "Счёт");
        reopenAccounts();
        money().ApplyPeriod();
        QSignalSpy opened(&money(), &TMoneyView::operationCardRequested);
        QTest::keyClick(child<TDbGrid>(&money(), "DBG"), Qt::Key_Return);
        QVERIFY(opened.isEmpty()); // no rows: nothing to edit
        addOperation(1, day(2000, 2, 1), 1, "1", 1.0, {});
        money().ApplyPeriod();
        QTest::keyClick(child<TDbGrid>(&money(), "DBG"), Qt::Key_Return);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first().value<CardMode>(), CardMode::Edit);
    }

    void plannedRowsColoured_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("text"); // invalid: the palette's
        QTest::addRow("planned") << 1 << "2"
                                 << "" << false << QColor(205, 231, 231) << QColor(0, 0, 255);
        QTest::addRow("planned selected") << 1 << "2"
                                          << "" << true << QColor(0, 255, 255) << QColor(0, 0, 255);
        QTest::addRow("real") << 1 << "1"
                              << "" << false << QColor() << QColor();
        QTest::addRow("statement planned") << 2 << "2"
                                           << "" << false << QColor(205, 231, 231) << QColor(0, 0, 255);
        QTest::addRow("diary mode 1") << 5 << ""
                                      << "1" << false << QColor(210, 255, 210) << QColor();
        QTest::addRow("diary mode 2 selected") << 5 << ""
                                               << "2" << true << QColor(128, 0, 0) << QColor();
        QTest::addRow("untagged grid") << 0 << "2"
                                       << "2" << false << QColor() << QColor();
    }
    void plannedRowsColoured()
    {
        QFETCH(int, tag);
        QFETCH(QString, kind);
        QFETCH(QString, mode);
        QFETCH(bool, selected);
        QFETCH(QColor, background);
        QFETCH(QColor, text);
        QPalette p;
        RowFacts facts;
        facts.kind = kind;
        facts.mode = mode;
        const CellColours c = DrawGridCell(tag, facts, selected, p, 6, 2, 7, 2);
        QCOMPARE(c.background, background.isValid()
                                   ? background
                                   : (selected ? p.color(QPalette::Highlight) : p.color(QPalette::Base)));
        QCOMPARE(c.text, text.isValid() ? text
                                        : (selected && !background.isValid() ? p.color(QPalette::HighlightedText)
                                                                             : p.color(QPalette::Text)));
    }

    void birthdaysColoured()
    {
        QPalette p;
        RowFacts today;
        today.day = 6;
        today.month = 2;
        QCOMPARE(DrawGridCell(3, today, false, p, 6, 2, 7, 2).background, QColor(210, 255, 210));
        RowFacts tomorrow;
        tomorrow.day = 7;
        tomorrow.month = 2;
        QCOMPARE(DrawGridCell(4, tomorrow, true, p, 6, 2, 7, 2).background, QColor(0, 128, 0));
        RowFacts other;
        other.day = 8;
        other.month = 2;
        QCOMPARE(DrawGridCell(3, other, false, p, 6, 2, 7, 2).background, p.color(QPalette::Base));
        QCOMPARE(DrawGridCell(3, RowFacts{}, false, p, 6, 2, 7, 2).background, p.color(QPalette::Base));
    }

    void noTextIsCut()
    {
        addAccount(1, "Счёт");
        addOperation(1, day(2000, 2, 1), 1, "1", 1194505353.41, {});
        reopenAccounts();
        money().ApplyPeriod();
        QCOMPARE(money().panelText(3), QString("1194505353.41"));
        for (int i = 0; i < 8; ++i) {
            auto* panel = child<QStatusBar>(&money(), "Sb")->findChild<QLabel*>(QString("SbPanel%1").arg(i));
            QVERIFY(panel->contentsRect().width() >= panel->fontMetrics().horizontalAdvance(panel->text()));
            QVERIFY(panel->width() >= (i % 2 ? 100 : 60));
        }
        QFont titleFont = child<TDbGrid>(&money(), "DBG")->horizontalHeader()->font();
        titleFont.setBold(true);
        for (int c = 0; c < money().historyModel()->columnCount(); ++c) {
            const QString title = money().historyModel()->headerData(c, Qt::Horizontal).toString();
            QVERIFY2(child<TDbGrid>(&money(), "DBG")->horizontalHeader()->sectionSize(c)
                         > QFontMetrics(titleFont).horizontalAdvance(title),
                     qPrintable(title));
        }
    }

    void enterInATreeWithoutANodeGoesNowhere()
    {
        struct KeyCounter : QObject {
            int keys = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                keys += e->type() == QEvent::KeyPress;
                return false;
            }
        } counter;
        QTreeWidget* tree = child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt");
        tree->clear();
        tree->parentWidget()->installEventFilter(&counter);
        QSignalSpy opened(&money(), &TMoneyView::operationCardRequested);
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(counter.keys, 0);
        QVERIFY(opened.isEmpty());
        tree->parentWidget()->removeEventFilter(&counter);
    }

    void splitterShowsWhichSideHasTheFocus()
    {
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get()))
            QSKIP("the platform does not activate windows");
        child<QTreeWidget>(child<TCategoryPane>(&money(), "Pgd"), "TvCt")->setFocus();
        QCOMPARE(money().splitterColour(), QColor(0, 0, 128));
        child<TDbGrid>(&money(), "DBG")->setFocus(); // straight from the tree to the history
        QCOMPARE(money().splitterColour(), QColor(128, 0, 0));
        child<QComboBox>(&money(), "CbPer")->setFocus();
        QCOMPARE(money().splitterColour(), money().palette().color(QPalette::Button));
        w->hide();
    }

    void periodKindIsOneState()
    {
        // The menu, the box and the state never disagree, whichever the user touched.
        w->action("mMonth")->trigger();
        QCOMPARE(child<QComboBox>(&money(), "CbPer")->currentIndex(), 2);
        QCOMPARE(w->moneyState().periodKind(), PeriodKind::Month);
        child<QComboBox>(&money(), "CbPer")->setCurrentIndex(3);
        money().CbPerClick();
        QVERIFY(w->action("mWeek")->isChecked());
        QCOMPARE(w->moneyState().periodKind(), PeriodKind::Week);
        QCOMPARE(w->property("WorkDate").toInt(), day(2000, 2, 6));
        QSignalSpy moved(&w->moneyState(), &TMoneyState::workDateChanged);
        child<QToolButton>(&money(), "ButNext")->click();
        QCOMPARE(moved.size(), 1);
        QCOMPARE(w->property("WorkDate").toInt(), day(2000, 2, 7));
    }

    void panDateOnlyInBrowseState()
    {
        addAccount(1, "Счёт");
        reopenAccounts();
        money().ApplyPeriod();
        QVERIFY(child<QFrame>(&money(), "PanDate")->isEnabled());
        dm().Tb_Hist->insert();
        QVERIFY(!child<QFrame>(&money(), "PanDate")->isEnabled());
        dm().Tb_Hist->cancel();
        QVERIFY(child<QFrame>(&money(), "PanDate")->isEnabled());
    }
};

QTEST_MAIN(TestMoney)
#include "tst_money.moc"
