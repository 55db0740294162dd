// Takes screenshots of the main windows for a look by eye: run under a display (Xvfb will do)
// with an output folder. Not a test: it asserts nothing.
#include "app/Application.h"
#include "app/DorvAbt.h"
#include "app/DorvMain.h"
#include "categories/CategoryEditor.h"
#include "categories/CategoryTree.h"
#include "contacts/StartupReminders.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "ledger/MoneyView.h"
#include "results/ResultCharts.h"
#include "support/Parts.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "widgets/DbControls.h"
#include "widgets/DbGrid.h"
#include <QTableView>

#include <QPushButton>
#include <QTest>

#include <QToolButton>
#include <QTreeWidget>
#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

namespace {
// A household of a few accounts and a few hundred operations over half a year.
void fillSample(dorv::TFormMain& w)
{
    auto db = dorv::Database::acquire(w.workingFolder());
    db->exec(QStringLiteral("BEGIN"));
    db->exec(QStringLiteral("INSERT INTO TB_ACCOUNT VALUES (1,'Кошелёк','руб',12345.5,'L'),(2,'Карта','руб',-0.6,NULL),"
                            "(3,'Валютный','USD',800,NULL)"));
    db->exec(QStringLiteral("INSERT INTO TB_ITEMS VALUES (0,'Еда',NULL,0,'-',NULL),(1,'Овощи',0,1,'-',NULL),"
                            "(2,'Картофель',1,2,'-',NULL),(3,'Транспорт',NULL,0,'-',NULL),(4,'Бензин',3,1,'-',NULL),"
                            "(5,'Зарплата',NULL,0,'+',NULL),(6,'Подарки',NULL,0,'0',NULL),(7,'Хлеб',0,1,'-',NULL),"
                            "(8,'Коммунальные',NULL,0,'-',NULL)"));
    db->exec(QStringLiteral("INSERT INTO TB_PERSON (Id_Person,Name) VALUES (1,'Иванов И.И.'),(2,'Петрова А.С.')"));
    db->exec(QStringLiteral("INSERT INTO TB_FIRM (Id_Firm,Firm) VALUES (1,'Пятёрочка'),(2,'Лукойл'),(3,'Рынок')"));
    dorv::Statement st = db->prepare(QStringLiteral(
        "INSERT INTO TB_HIST "
        "(Id_Account,Date_Real,Date_Create,Kind,Dt,Ct,Level1,Level2,Level3,Price,ID_Person,ID_Firm,Ref_Account) "
        "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    const int first = dorv::dayNumber(QDate(2026, 7, 1));
    qint64 stamp = qint64(first) * dorv::MsPerDay;
    for (int i = 0; i < 360; ++i) {
        const int day = first + i / 2;
        const int pattern = i % 9;
        QVariantList v{1, day, ++stamp, (day > dorv::dayNumber(QDate(2026, 12, 9)) || pattern == 4) ? "2" : "1"};
        if (pattern == 0)
            v << 45000.0 << QVariant() << 5 << QVariant() << QVariant() << QVariant() << 1 << QVariant() << QVariant();
        else if (pattern == 3)
            v << QVariant() << 2500.0 << -1 << QVariant() << QVariant() << QVariant() << QVariant() << QVariant() << 2;
        else if (pattern % 2)
            v << QVariant() << 120.0 + i << 0 << 1 << 2 << 35.5 << QVariant() << 3 << QVariant();
        else
            v << QVariant() << 1500.0 + i << 3 << 4 << QVariant() << 52.3 << 2 << 2 << QVariant();
        st.bindAll(v);
        st.step();
        st.reset();
    }
    db->exec(QStringLiteral("COMMIT"));
}

void shoot(QWidget* w, const QString& file)
{
    w->raise();
    w->activateWindow();
    QApplication::processEvents();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect frame = w->frameGeometry();
    screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(file);
}
// The next card is filled in as a user would, shown for a picture when asked, then OK pressed.
void fillCard(ScriptedPrompts& prompts, const QList<std::pair<const char*, QString>>& typed, const QString& shot = {})
{
    prompts.modals.enqueue([typed, shot](QDialog* d) {
        for (const auto& [name, text] : typed) {
            if (auto* edit = d->findChild<dorv::TDbEdit*>(QString::fromLatin1(name))) {
                edit->setText(text);
            } else if (auto* list = d->findChild<dorv::TDbLookupCombo*>(QString::fromLatin1(name))) {
                const int at = list->findText(text, Qt::MatchStartsWith);
                list->setCurrentIndex(at);
                emit list->activated(at);
            }
        }
        QApplication::processEvents();
        if (!shot.isEmpty())
            shoot(d, shot);
        d->findChild<QPushButton*>(QStringLiteral("ButOk"))->click();
        return d->result();
    });
}

// A day of a household's books, kept through the windows: a few expenses, an income, a transfer
// and a payment planned for tomorrow.
void bookkeepingDay(dorv::TFormMain& w, ScriptedPrompts& prompts, const QString& out)
{
    w.mNewClick();
    auto db = dorv::Database::acquire(w.workingFolder());
    db->exec(QStringLiteral("INSERT INTO TB_ACCOUNT VALUES (1,'Кошелёк','руб',3000,'L'),(2,'Карта','руб',42000,NULL),"
                            "(3,'Валютный','USD',0,NULL)"));
    db->exec(QStringLiteral("INSERT INTO TB_ITEMS VALUES (0,'Еда',NULL,0,'-',NULL),(1,'Хлеб',0,1,'-',NULL),"
                            "(2,'Транспорт',NULL,0,'-',NULL),(3,'Бензин',2,1,'-',NULL),(4,'Зарплата',NULL,0,'+',NULL),"
                            "(5,'Коммунальные',NULL,0,'-',NULL)"));
    db->exec(QStringLiteral("INSERT INTO TB_PERSON (Id_Person,Name) VALUES (1,'Иванов И.И.')"));
    db->exec(QStringLiteral("INSERT INTO TB_FIRM (Id_Firm,Firm) VALUES (1,'Пятёрочка'),(2,'Лукойл')"));
    dorv::TDm& dm = *w.Dm();
    for (dorv::Table* t : {dm.Tb_Account, dm.Tb_Items, dm.Tb_Person, dm.Tb_Firm})
        t->refresh();
    dm.Tb_Account->locate(QStringLiteral("Id_Account"), 1);
    dorv::TMoneyView& money = *namedPart<dorv::TMoneyView>(&w, "MoneyView");
    money.ResetTrees();
    money.ApplyPeriod();
    QTreeWidget* expenses = namedPart<QTreeWidget>(namedPart<dorv::TCategoryPane>(&money, "Pgd"), "TvCt");
    auto book = [&](QTreeWidget* tree, int item) {
        tree->setCurrentItem(namedPart<dorv::TCategoryPane>(&money, "Pgd")->FindCategoryNode(tree, item, {}));
        QTest::keyClick(tree, Qt::Key_Return);
    };
    fillCard(prompts,
             {{"DBESum", QStringLiteral("85,50")},
              {"DBEPrice", QStringLiteral("42,75")},
              {"DBLWhere", QStringLiteral("Пятёрочка")}},
             out + QStringLiteral("/day-expense-card.png"));
    book(expenses, 1);
    fillCard(prompts, {{"DBESum", QStringLiteral("2400")}, {"DBLWhere", QStringLiteral("Лукойл")}});
    book(expenses, 3);
    namedPart<QToolButton>(&money, "ButDt")->click();
    fillCard(prompts, {{"DBESum", QStringLiteral("45000")}, {"DBLWho", QStringLiteral("Иванов")}});
    book(namedPart<QTreeWidget>(namedPart<dorv::TCategoryPane>(&money, "Pgd"), "TvDt"), 4);
    namedPart<QToolButton>(&money, "ButCt")->click();
    fillCard(prompts, {{"DBETrans", QStringLiteral("10000")}, {"DBLTrans", QStringLiteral("Карта")}},
             out + QStringLiteral("/day-transfer-card.png"));
    book(expenses, -1);
    // Dollars bought: the card asks for the amount received and the rate as well.
    fillCard(prompts,
             {{"DBETrans", QStringLiteral("9000")},
              {"DBLTrans", QStringLiteral("Валютный")},
              {"DBETrans_Ref", QStringLiteral("100")},
              {"DBERate", QStringLiteral("90")}},
             out + QStringLiteral("/day-transfer-currency-card.png"));
    book(expenses, -1);
    namedPart<QToolButton>(&money, "ButNext")->click(); // tomorrow: a planned payment
    fillCard(prompts, {{"DBESum", QStringLiteral("5300")}});
    book(expenses, 5);
    namedPart<QToolButton>(&money, "ButPrev")->click();
    w.action(QStringLiteral("mWeek"))->trigger();
    namedPart<QTableView>(&w, "DBG")->setFocus();
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/day-money.png"));

    // A category dropped onto another: "Бензин" (under "Транспорт") dropped right of the text of
    // "Еда" becomes a branch of it.
    expenses->expandAll();
    expenses->setFocus();
    expenses->setCurrentItem(namedPart<dorv::TCategoryPane>(&money, "Pgd")->FindCategoryNode(expenses, 3, {}));
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/drag-before.png"));
    QTreeWidgetItem* food = namedPart<dorv::TCategoryPane>(&money, "Pgd")->FindCategoryNode(expenses, 0, {});
    const QRect row = expenses->visualItemRect(food);
    const QPoint at(row.left() + expenses->fontMetrics().horizontalAdvance(food->text(0)) + 40, row.center().y());
    prompts.confirms.enqueue(true);
    money.categoryEditor().TvCtDragDrop(expenses, at);
    expenses->expandAll();
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/drag-after.png"));

    // The results of the week: the window as it opens, and its bars.
    prompts.modals.enqueue([&](QDialog* d) {
        d->resize(900, 560);
        QApplication::processEvents();
        shoot(d, out + QStringLiteral("/results-pie.png"));
        d->findChild<QToolButton*>(QStringLiteral("ButBar"))->click();
        QApplication::processEvents();
        shoot(d, out + QStringLiteral("/results-bars.png"));
        // The statement of the current group below the grid.
        d->findChild<QToolButton*>(QStringLiteral("ButDetail"))->click();
        QApplication::processEvents();
        shoot(d, out + QStringLiteral("/results-detail.png"));
        // The print preview of the report.
        prompts.modals.enqueue([&](QDialog* preview) {
            preview->resize(700, 800);
            QApplication::processEvents();
            shoot(preview, out + QStringLiteral("/results-preview.png"));
            return int(QDialog::Rejected);
        });
        d->findChild<QAction*>(QStringLiteral("mpPrint"))->trigger();
        return int(QDialog::Rejected);
    });
    w.action(QStringLiteral("mResult"))->trigger();
    dm.DataSaved = true;
}

// The address book and the diary of a household, opened from its file so that the reminders run.
void contactsPages(dorv::TFormMain& w, ScriptedPrompts& prompts, const QString& root, const QString& out)
{
    w.mNewClick();
    auto db = dorv::Database::acquire(w.workingFolder());
    const QDate today = dorv::Clock::today();
    auto day = [&](int offset) { return QString::number(dorv::dayNumber(today.addDays(offset))); };
    auto dm = [&](int offset, int years) {
        const QDate d = today.addDays(offset).addYears(-years);
        return QStringLiteral("%1,%2,%3").arg(dorv::dayNumber(d)).arg(d.day()).arg(d.month());
    };
    db->exec(QStringLiteral("INSERT INTO TB_ACCOUNT VALUES (1,'Кошелёк','руб',3000,'L')"));
    db->exec(QStringLiteral("INSERT INTO TB_FIRM (Id_Firm,Firm,Phone,Address,Comment) VALUES "
                            "(1,'Пятёрочка','8-800-555-55-05','ул. Ленина, 12','продукты у дома'),"
                            "(2,'Лукойл','','Московское ш., 3','заправка'),"
                            "(3,'Поликлиника № 4','223-14-15','пр. Мира, 40','запись с 8:00'),"
                            "(4,'НИИ Стали','211-00-00','ул. Заводская, 1','')"));
    db->exec(
        QStringLiteral("INSERT INTO TB_PERSON (Id_Person,Name,Birthday,Dy,Mn,Phone,Address,Id_Firm,Comment) VALUES "
                       "(1,'Иванов И.И.',%1,'222-33-44','ул. Садовая, 5-17',4,'сосед по даче'),"
                       "(2,'Петрова А.С.',%2,'8-912-345-67-89','пр. Мира, 40',3,'участковый врач'),"
                       "(3,'Сидоров П.П.',%3,'','',4,'коллега'),"
                       "(4,'Кузнецова Е.В.',NULL,NULL,NULL,'233-45-67','ул. Лесная, 2',NULL,'')")
            .arg(dm(0, 52), dm(1, 38), dm(40, 45)));
    db->exec(QStringLiteral("INSERT INTO TB_FAMILY (Id_Family,Id_Person,Name,Birthday,Dy,Mn,Comment) VALUES "
                            "(1,1,'Мария',%1,'жена'),(2,1,'Олег',%2,'сын, студент'),"
                            "(3,2,'Аня',%3,'дочь'),(4,3,'Павел',%4,'')")
                 .arg(dm(20, 50), dm(1, 21), dm(-3, 9), dm(100, 14)));
    db->exec(QStringLiteral("INSERT INTO TB_LOG (Date_Create,Date_Remind,Note,Id_Person,Id_firm,C,Dy) VALUES "
                            "(%1,%2,'Записаться к врачу',2,3,'1',%3),"
                            "(%4,%5,'Заплатить за квартиру',NULL,NULL,'2',%6),"
                            "(%7,%8,'Вернуть Иванову дрель',1,NULL,'0',%9),"
                            "(%10,%11,'Поменять масло',NULL,2,'1',%12)")
                 .arg(qint64(dorv::dayNumber(today.addDays(-30))) * dorv::MsPerDay)
                 .arg(day(-2))
                 .arg(today.addDays(-2).day())
                 .arg(qint64(dorv::dayNumber(today.addDays(-29))) * dorv::MsPerDay)
                 .arg(dorv::dayNumber(QDate(2026, 1, today.day())))
                 .arg(today.day())
                 .arg(qint64(dorv::dayNumber(today.addDays(-28))) * dorv::MsPerDay)
                 .arg(day(3))
                 .arg(today.addDays(3).day())
                 .arg(qint64(dorv::dayNumber(today.addDays(-27))) * dorv::MsPerDay)
                 .arg(day(14))
                 .arg(today.addDays(14).day()));
    const QString file = QDir(root).filePath(QStringLiteral("contacts.den"));
    prompts.saveFiles.enqueue(file);
    w.SaveDataFile(false);
    w.CloseDataFile();
    w.OpenDataFile(file);
    w.resize(1000, 620);
    // The first tick of the flashing: both reminders are due.
    namedPart<dorv::TStartupReminders>(&w, "StartupReminders")->TmTimer();
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/reminders-marked.png"));
    w.ShowView(1);
    w.findChild<dorv::TDbGrid*>(QStringLiteral("DBGPerson"))->setFocus();
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/people.png"));
    w.findChild<QToolButton*>(QStringLiteral("ButFamily"))->click();
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/people-birthdays.png"));
    w.findChild<QToolButton*>(QStringLiteral("ButFamily"))->click();
    w.ShowView(2);
    w.findChild<QToolButton*>(QStringLiteral("ButPers_Firm"))->click();
    w.Dm()->Tb_Firm->locate(QStringLiteral("Id_Firm"), 4);
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/firms.png"));
    w.ShowView(3);
    w.findChild<dorv::TDbGrid*>(QStringLiteral("DBGLog"))->setFocus();
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/diary.png"));
    w.findChild<QToolButton*>(QStringLiteral("ButLogFilt"))->click();
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/diary-today.png"));
    w.ShowView(0);
}

// Real statements in the import window: a bank's CSV and a 1C exchange file, the second booked.
void importStatements(dorv::TFormMain& w, ScriptedPrompts& prompts, const QString& out)
{
    const QString samples = QStringLiteral(DORV_SAMPLES_DIR);
    const struct {
        const char* file;
        const char* shot;
        bool book;
    } statements[] = {{"/csv/ru-sberbank-utf8bom.csv", "/import-csv.png", false},
                      {"/1c/kilylabs-one_day-cp1251.txt", "/import-1c.png", true}};
    for (const auto& s : statements) {
        prompts.openFiles.enqueue(samples + QString::fromLatin1(s.file));
        prompts.modals.enqueue([&](QDialog* d) {
            // The window manager places and paints the window before it is taken.
            QTest::qWait(600);
            shoot(d, out + QString::fromLatin1(s.shot));
            if (!s.book)
                return int(QDialog::Rejected);
            namedPart<QPushButton>(d, "ButImpOk")->click();
            return d->result();
        });
        w.findChild<QAction*>(QStringLiteral("mImport"))->trigger();
    }
    QTest::qWait(600);
    shoot(&w, out + QStringLiteral("/import-booked.png"));
}

// The day's last changes taken back one by one and made again, each named in the menu.
void undoAndRedo(dorv::TFormMain& w, const QString& out)
{
    QAction* undo = w.findChild<QAction*>(QStringLiteral("mUndo"));
    QAction* redo = w.findChild<QAction*>(QStringLiteral("mRedo"));
    for (int i = 1; i <= 4; ++i) {
        std::fprintf(stderr, "%s\n", qPrintable(undo->text()));
        undo->trigger();
        QTest::qWait(200);
        shoot(&w, out + QStringLiteral("/undo-%1.png").arg(i));
    }
    for (int i = 1; i <= 4; ++i) {
        std::fprintf(stderr, "%s\n", qPrintable(redo->text()));
        redo->trigger();
    }
    QTest::qWait(200);
    shoot(&w, out + QStringLiteral("/redo-all.png"));
}

// A shop receipt of three lines: sums typed as the receipt prints them, a new shop typed in "Где?"
// and added, each next line opened by Ctrl+Enter on the same date.
void receipt(dorv::TFormMain& w, ScriptedPrompts& prompts, const QString& out)
{
    auto& money = *namedPart<dorv::TMoneyView>(&w, "MoneyView");
    auto* pane = namedPart<dorv::TCategoryPane>(&money, "Pgd");
    QTreeWidget* expenses = namedPart<QTreeWidget>(pane, "TvCt");
    expenses->setCurrentItem(pane->FindCategoryNode(expenses, 1, {}));
    const QStringList lines{"120+35,5", "3*45", "1000-15%"};
    for (int i = 0; i < lines.size(); ++i)
        prompts.modals.enqueue([&, i](QDialog* d) {
            auto* sum = namedPart<dorv::TDbEdit>(d, "DBESum");
            sum->setText(lines[i]);
            sum->setModified(true);
            if (i == 0) {
                auto* where = namedPart<dorv::TDbLookupCombo>(d, "DBLWhere");
                // Typed as a user types it, so the list offers to add what it lacks.
                QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("Магнит у дома"));
                QApplication::sendEvent(where->lineEdit(), &typed);
            }
            QTest::qWait(300);
            shoot(d, out + QStringLiteral("/receipt-line-%1.png").arg(i + 1));
            QTest::keyClick(sum, Qt::Key_Return, Qt::ControlModifier);
            return d->isVisible() ? int(QDialog::Rejected) : d->result();
        });
    // The card after the last line is closed unused.
    prompts.modals.enqueue([](QDialog*) { return int(QDialog::Rejected); });
    prompts.confirms.enqueue(true); // "Добавить «Магнит у дома» в справочник?"
    w.findChild<QAction*>(QStringLiteral("mMoneyNew"))->trigger();
    QTest::qWait(300);
    shoot(&w, out + QStringLiteral("/receipt-booked.png"));
    for (const QString& asked : std::as_const(prompts.asked))
        if (asked.startsWith(QLatin1String("confirm: Добавить")))
            std::fprintf(stderr, "%s\n", qPrintable(asked));
    dorv::Statement places = dorv::Database::acquire(w.workingFolder())
                                 ->prepareOnce(QStringLiteral("SELECT f.Firm, h.Ct FROM TB_HIST h JOIN TB_FIRM f ON "
                                                              "f.Id_Firm = h.ID_Firm ORDER BY h.Date_Create"));
    while (places.step())
        std::fprintf(stderr, "%s %s\n", qPrintable(places.column(0).toString()),
                     qPrintable(places.column(1).toString()));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    dorv::setUpApplication(app);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir root;
    ScriptedPrompts prompts;
    dorv::MainEnvironment env;
    env.programFolder = root.path();
    env.tempFolder = root.path();
    env.settingsFile = root.filePath(QStringLiteral("settings.ini"));
    env.prompts = &prompts;
    dorv::TFormMain w(env);
    if (!w.started())
        return 1;
    w.show();
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/main.png"));
    {
        // The money view with a household's data, as after opening a file of it.
        fillSample(w);
        const QString file = root.filePath(QStringLiteral("sample.den"));
        prompts.saveFiles.enqueue(file);
        w.SaveDataFile(false);
        w.CloseDataFile();
        w.OpenDataFile(file);
        w.action(QStringLiteral("mMonth"))->trigger();
        w.resize(1000, 620);
        namedPart<QTableView>(&w, "DBG")->setFocus();
        namedPart<QTableView>(&w, "DBG")->selectRow(3);
        QApplication::processEvents();
        shoot(&w, out + QStringLiteral("/money.png"));
        prompts.modals.enqueue([&](QDialog* d) {
            QApplication::processEvents();
            shoot(d, out + QStringLiteral("/card-accounts.png"));
            return int(QDialog::Rejected);
        });
        namedPart<dorv::TMoneyView>(&w, "MoneyView")->ButAccClick();
        // The month's results at the window's own size: five categories, some of them empty, with
        // the detail pane open on its table.
        prompts.modals.enqueue([&](QDialog* d) {
            if (!QTest::qWaitForWindowExposed(d))
                qWarning("the results window was not shown");
            QTest::qWait(300);
            shoot(d, out + QStringLiteral("/month-results-pie.png"));
            d->findChild<QToolButton*>(QStringLiteral("ButBar"))->click();
            QApplication::processEvents();
            shoot(d, out + QStringLiteral("/month-results-bars.png"));
            // The marks of the bars: percentages under the names, then the values on the bars.
            auto* charts = d->findChild<dorv::TResultCharts*>();
            charts->cycleBarMarks();
            QTest::qWait(100);
            shoot(d, out + QStringLiteral("/month-results-bars-percent.png"));
            charts->cycleBarMarks();
            QTest::qWait(100);
            shoot(d, out + QStringLiteral("/month-results-bars-values.png"));
            charts->cycleBarMarks();
            d->findChild<QToolButton*>(QStringLiteral("ButDetail"))->click();
            QApplication::processEvents();
            shoot(d, out + QStringLiteral("/month-results-detail.png"));
            return int(QDialog::Rejected);
        });
        w.action(QStringLiteral("mResult"))->trigger();
    }

    // The card's password page, as "Изменить пароль..." shows it.
    prompts.modals.enqueue([&](QDialog* d) {
        namedPart<QLineEdit>(static_cast<dorv::TFormCard*>(d), "EdPas")->setText(QStringLiteral("секрет"));
        QApplication::processEvents();
        shoot(d, out + QStringLiteral("/card-password.png"));
        return int(QDialog::Rejected);
    });
    w.mPasswordClick();

    // The calendar page of the date picker.
    prompts.modals.enqueue([&](QDialog* d) {
        QApplication::processEvents();
        shoot(d, out + QStringLiteral("/card-calendar.png"));
        return int(QDialog::Rejected);
    });
    w.PickDate(dorv::dayNumber(QDate(2026, 12, 9)));

    prompts.modals.enqueue([&](QDialog* d) {
        QApplication::processEvents();
        shoot(d, out + QStringLiteral("/about.png"));
        return int(QDialog::Rejected);
    });
    w.mAboutClick();

    bookkeepingDay(w, prompts, out);
    importStatements(w, prompts, out);
    undoAndRedo(w, out);
    receipt(w, prompts, out);
    w.Dm()->DataSaved = true; // the day's book is dropped for the address book's, unasked
    contactsPages(w, prompts, root.path(), out);
    w.setStartStop(true);
    w.CloseDataFile();
    return 0;
}
