#include "card/DorvCard.h"
#include "data/DorvDm.h"
#include "ledger/OperationPages.h"
#include "support/Parts.h"
#include "support/ScriptedPrompts.h"
#include "support/TemplateDb.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "widgets/DbControls.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCalendarWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace dorv;

namespace {
// A control that takes every key for itself, as a grid or an editor of a page may: only key
// preview lets the card see F9 before it.
class KeyEater final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void keyPressEvent(QKeyEvent* event) override { event->accept(); }
};

// A page another window owns, as far as the card sees it: what it does when shown, what its OK
// check answers (-1: the page has none of its own) and how often it heard of a close.
struct FakePage final : TCardPage {
    std::function<void()> shown;
    int check = -1;
    int closes = 0;
    void showPage() override
    {
        if (shown)
            shown();
    }
    bool pageOk() override { return check != 0; }
    void cardClosed() override { ++closes; }
};
} // namespace

class TestCard : public QObject {
    Q_OBJECT
    ScriptedPrompts prompts;
    CardRequest request;
    std::unique_ptr<TFormCard> card;

    template <class T>
    T* part(const QString& name) const
    {
        return namedPart<T>(card.get(), name);
    }
    QCalendarWidget* calendar() const { return part<QCalendarWidget>("Dt"); }
    QWidget* currentPage() const { return part<QStackedWidget>("PgCard")->currentWidget(); }
    void clickOk() const { part<QPushButton>("ButOk")->click(); }
    void clickCancel() const { part<QPushButton>("BitBtn2")->click(); }
    // A modal step that runs `act` on the shown card and answers with the card's own result.
    void whenShown(std::function<void()> act)
    {
        prompts.modals.enqueue([act](QDialog* d) {
            act();
            return d->result();
        });
    }
    void setCalendar(const QDate& date) const
    {
        calendar()->setSelectedDate(date);
        QCOMPARE(calendar()->selectedDate(), date);
    }

private slots:
    void init()
    {
        prompts = ScriptedPrompts();
        request = CardRequest();
        card = std::make_unique<TFormCard>(request, prompts, nullptr);
    }
    void cleanup()
    {
        card.reset();
        Clock::unpin();
    }

    void pickDate_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("escape");
        QTest::newRow("OK returns the chosen date") << true << false;
        QTest::newRow("Cancel returns 0") << false << false;
        QTest::newRow("Escape returns 0") << false << true;
    }
    void pickDate()
    {
        QFETCH(bool, accept);
        QFETCH(bool, escape);
        request.CardPage = CardPage::Transfer;
        whenShown([&] {
            QCOMPARE(currentPage(), part<QWidget>("ShCal"));
            QCOMPARE(card->windowTitle(), QString("Календарь...чик"));
            QCOMPARE(card->size(), QSize(215, 245));
            QVERIFY(card->sizeableBorder());
            QVERIFY(calendar()->isAncestorOf(card->focusWidget()) || card->focusWidget() == calendar());
            QCOMPARE(calendar()->selectedDate(), QDate(2001, 3, 5));
            setCalendar(QDate(2001, 3, 10));
            if (accept)
                clickOk();
            else if (escape)
                QTest::keyClick(card->focusWidget(), Qt::Key_Escape);
            else
                clickCancel();
            QVERIFY(!card->isVisible());
        });
        const int picked = card->PickDate(dayNumber(QDate(2001, 3, 5)));
        QCOMPARE(picked, accept ? dayNumber(QDate(2001, 3, 10)) : 0);
        QCOMPARE(request.CardPage, CardPage::CalendarOrPassword);
        QVERIFY(!card->sizeableBorder());
        QVERIFY(prompts.modals.isEmpty());
    }

    void enterOrDoubleClickChoosesTheDay_data()
    {
        QTest::addColumn<bool>("doubleClick");
        QTest::addRow("Enter") << false;
        QTest::addRow("double click") << true;
    }
    void enterOrDoubleClickChoosesTheDay()
    {
        QFETCH(bool, doubleClick);
        whenShown([&] {
            auto* days = calendar()->findChild<QAbstractItemView*>();
            QVERIFY(days);
            setCalendar(QDate(2001, 3, 14));
            if (doubleClick) {
                const QRect cell = days->visualRect(days->currentIndex());
                QTest::mouseDClick(days->viewport(), Qt::LeftButton, {}, cell.center());
            } else {
                QTest::keyClick(days, Qt::Key_Return);
            }
        });
        QCOMPARE(card->PickDate(dayNumber(QDate(2001, 3, 10))), dayNumber(QDate(2001, 3, 14)));
        QVERIFY(!card->isVisible());
    }

    void pickStartsFromTheLastDate()
    {
        whenShown([&] { clickOk(); });
        QCOMPARE(card->PickDate(dayNumber(QDate(2010, 7, 14))), dayNumber(QDate(2010, 7, 14)));
        for (int initial : {0, -3}) {
            whenShown([&] {
                QCOMPARE(calendar()->selectedDate(), QDate(2010, 7, 14));
                clickOk();
            });
            QCOMPARE(card->PickDate(initial), dayNumber(QDate(2010, 7, 14)));
        }
    }

    void pickRefusesADateTheCalendarCannotShow()
    {
        QCOMPARE(card->PickDate(dayNumber(QDate(9999, 12, 31)) + 1), 0);
        QVERIFY(prompts.asked.isEmpty());
        QVERIFY(!card->sizeableBorder());
    }

    void changeYear_data()
    {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QString>("answer"); // null: the input box is cancelled
        QTest::addColumn<QDate>("expected");
        const QDate march(2001, 3, 5), leapDay(2000, 2, 29);
        QTest::newRow("to an earlier year") << march << "1999" << QDate(1999, 3, 5);
        QTest::newRow("29 February to a common year") << leapDay << "2001" << leapDay;
        QTest::newRow("29 February to a leap year") << leapDay << "2004" << QDate(2004, 2, 29);
        QTest::newRow("letters") << march << "двадцать" << march;
        QTest::newRow("the same year") << march << "2001" << march;
        QTest::newRow("the same year written otherwise") << march << "02001" << march;
        QTest::newRow("empty") << march << "" << march;
        QTest::newRow("cancelled") << march << QString() << march;
        QTest::newRow("year 0") << march << "0" << march;
        QTest::newRow("year 10000") << march << "10000" << march;
    }
    void changeYear()
    {
        QFETCH(QDate, start);
        QFETCH(QString, answer);
        QFETCH(QDate, expected);
        setCalendar(start);
        prompts.inputs.enqueue(answer);
        part<QAction>("mpYear")->trigger();
        QCOMPARE(prompts.asked,
                 QStringList("input: Быстрая смена года / Введите год: [" + QString::number(start.year()) + "]"));
        QCOMPARE(calendar()->selectedDate(), expected);
    }

    void todayMovesTheCalendarWithoutClosing()
    {
        Clock::pin(QDateTime(QDate(2024, 2, 29), QTime(12, 0)));
        QVERIFY(part<QMenu>("Pmdate")->actions().contains(part<QAction>("mpToday")));
        whenShown([&] {
            part<QAction>("mpToday")->trigger();
            QVERIFY(card->isVisible());
            QCOMPARE(calendar()->selectedDate(), QDate(2024, 2, 29));
            clickOk();
        });
        QCOMPARE(card->PickDate(dayNumber(QDate(2001, 3, 5))), dayNumber(QDate(2024, 2, 29)));
    }

    void passwordPageAfterThePicker()
    {
        whenShown([&] { clickCancel(); });
        card->PickDate(dayNumber(QDate(2001, 3, 5)));
        whenShown([&] {
            QCOMPARE(currentPage(), part<QWidget>("ShPas"));
            QCOMPARE(card->windowTitle(), QString("Введите пароль:"));
            QCOMPARE(card->size(), QSize(215, 245));
            QCOMPARE(card->focusWidget(), part<QLineEdit>("EdPas"));
        });
        prompts.runModal(card.get());
    }

    void showRoutesByPage_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("sizeable");
        QTest::addColumn<QString>("expected"); // the hook run, or the page shown
        QTest::newRow("1 operation") << 1 << false << "operation";
        QTest::newRow("3 operation") << 3 << false << "operation";
        QTest::newRow("4 accounts") << 4 << false << "accounts";
        QTest::newRow("5 category") << 5 << false << "category";
        QTest::newRow("0 password") << 0 << false << "ShPas";
        QTest::newRow("6 password") << 6 << false << "ShPas";
        QTest::newRow("0 sizeable: calendar") << 0 << true << "ShCal";
    }
    void showRoutesByPage()
    {
        QFETCH(int, page);
        QFETCH(bool, sizeable);
        QFETCH(QString, expected);
        QStringList ran;
        FakePage operation, accounts, category;
        operation.shown = [&] { ran << "operation"; };
        accounts.shown = [&] { ran << "accounts"; };
        category.shown = [&] { ran << "category"; };
        for (int p : {1, 2, 3})
            card->setPage(p, &operation);
        card->setPage(4, &accounts);
        card->setPage(5, &category);
        card->setSizeableBorder(sizeable);
        request.CardPage = CardPage(page);
        card->show();
        if (ran.isEmpty())
            ran << currentPage()->objectName();
        QCOMPARE(ran, QStringList(expected));
        card->reject();
    }

    void okClosesByPage_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("sizeable");
        QTest::addColumn<int>("check"); // what the page's OK check answers; -1: no check set
        QTest::addColumn<bool>("closes");
        QTest::newRow("password") << 0 << false << -1 << true;
        QTest::newRow("calendar") << 0 << true << -1 << true;
        QTest::newRow("accounts") << 4 << false << 0 << true;
        QTest::newRow("operation refused") << 1 << false << 0 << false;
        QTest::newRow("operation accepted") << 2 << false << 1 << true;
        QTest::newRow("operation without a check") << 3 << false << -1 << true;
        QTest::newRow("category refused") << 5 << false << 0 << false;
        QTest::newRow("category accepted") << 5 << false << 1 << true;
    }
    void okClosesByPage()
    {
        QFETCH(int, page);
        QFETCH(bool, sizeable);
        QFETCH(int, check);
        QFETCH(bool, closes);
        // Page 4 has no check of its own: a refusing one on the others must not stop it.
        FakePage checked, accounts;
        checked.check = check;
        for (int p : {1, 2, 3, 5})
            card->setPage(p, &checked);
        card->setPage(4, &accounts);
        card->setSizeableBorder(sizeable);
        request.CardPage = CardPage(page);
        whenShown([&] {
            part<QLineEdit>("EdPas")->setFocus();
            clickOk();
            QCOMPARE(card->isVisible(), !closes);
            if (!closes)
                QCOMPARE(card->focusWidget(), part<QPushButton>("ButOk"));
        });
        const int result = prompts.runModal(card.get());
        QCOMPARE(result, closes ? int(QDialog::Accepted) : int(QDialog::Rejected));
    }

    void cancelCloses_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel on the password page") << 0 << false;
        QTest::newRow("Escape in the password edit") << 0 << true;
        QTest::newRow("Cancel on the accounts page") << 4 << false;
    }
    void cancelCloses()
    {
        QFETCH(int, page);
        QFETCH(bool, escape);
        FakePage operation;
        operation.check = 1;
        card->setPage(1, &operation);
        request.CardPage = CardPage(page);
        whenShown([&] {
            if (escape)
                QTest::keyClick(part<QLineEdit>("EdPas"), Qt::Key_Escape);
            else
                clickCancel();
            QVERIFY(!card->isVisible());
        });
        QCOMPARE(prompts.runModal(card.get()), int(QDialog::Rejected));
    }

    void closeRestoresTheCard()
    {
        TDm dm;
        card = std::make_unique<TFormCard>(request, prompts, &dm);
        QVERIFY(!dm.Qtrans->active());
        FakePage accounts;
        accounts.shown = [&] {
            card->resize(310, card->height());
            part<QPushButton>("ButOk")->setEnabled(false);
        };
        card->setPage(4, &accounts);
        request.CardPage = CardPage::Accounts;
        whenShown([&] {
            QCOMPARE(card->width(), 310);
            clickCancel();
        });
        prompts.runModal(card.get());
        QCOMPARE(accounts.closes, 1);
        QVERIFY(part<QPushButton>("ButOk")->isEnabled());
        QCOMPARE(card->size(), QSize(240, 265));
        QCOMPARE(card->pos(), QPoint(255, 40));
        QVERIFY(!dm.Qtrans->active());
    }

    // A transfer from roubles to dollars asks for the amount received and the rate: the card grows
    // to show them whole, each with its label, whether the target is picked on the card or was
    // the row's already (a transfer being edited).
    void transferToAnotherCurrencyShowsTheRateWhole_data()
    {
        QTest::addColumn<bool>("pickedOnTheCard");
        QTest::addRow("target picked on the card") << true;
        QTest::addRow("target set before") << false;
    }
    void transferToAnotherCurrencyShowsTheRateWhole()
    {
        QFETCH(bool, pickedOnTheCard);
        QTemporaryDir dir;
        QVERIFY(unpackTemplate(dir.path()));
        auto dm = std::make_unique<TDm>();
        dm->workDate = [] { return 40000; };
        dm->expenseMode = [] { return true; };
        dm->ResetCounters();
        dm->BindDatabaseName(dir.path());
        for (Table* t : dm->tables())
            t->open();
        Table& accounts = *dm->Tb_Account;
        for (auto [name, currency] : {std::pair{"Кошелёк", "руб"}, {"Доллары", "USD"}}) {
            accounts.insert();
            accounts.fieldByName("Account").setValue(QString::fromUtf8(name));
            accounts.fieldByName("Currency").setValue(QString::fromUtf8(currency));
            accounts.post();
        }
        QVERIFY(accounts.locate("Account", QStringLiteral("Доллары")));
        const QVariant dollars = accounts.fieldByName("Id_Account").value();
        QVERIFY(accounts.locate("Account", QStringLiteral("Кошелёк")));
        card = std::make_unique<TFormCard>(request, prompts, dm.get());
        new TOperationPages(*card, *dm, prompts);
        Table& hist = *dm->Tb_Hist;
        hist.insert();
        hist.fieldByName("Kind").setValue(QStringLiteral("1"));
        hist.fieldByName("Level1").setValue(-1);
        if (!pickedOnTheCard)
            hist.fieldByName("REF_ACCOUNT").setValue(dollars);
        request.CardPage = CardPage::Transfer;
        request.CardMode = CardMode::New;
        const int restHeight = card->height();
        whenShown([&] {
            auto* group = part<QGroupBox>("GrRate");
            if (pickedOnTheCard) {
                QVERIFY(!group->isVisible());
                auto* target = part<TDbLookupCombo>("DBLTrans");
                const int at = target->findText(QStringLiteral("Доллары"), Qt::MatchStartsWith);
                QVERIFY(at >= 0);
                target->setCurrentIndex(at);
                emit target->activated(at);
            }
            QVERIFY(group->isVisible());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QVERIFY2(card->height() > restHeight, qPrintable(QString::number(card->height())));
            auto* received = part<QLabel>("LabTrans_Ref");
            auto* rate = part<QLabel>("LabRate");
            QCOMPARE(received->text(), QStringLiteral("Сумма:"));
            QCOMPARE(rate->text(), QStringLiteral("Курс:"));
            QCOMPARE(received->buddy(), part<QWidget>("DBETrans_Ref"));
            QCOMPARE(rate->buddy(), part<QWidget>("DBERate"));
            for (QWidget* w : {static_cast<QWidget*>(group), part<QWidget>("DBETrans_Ref"), part<QWidget>("DBERate"),
                               part<QWidget>("DBLTrans"), part<QWidget>("DBLWho"), part<QWidget>("DBLWhere"),
                               static_cast<QWidget*>(received), static_cast<QWidget*>(rate)}) {
                QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
                QVERIFY2(w->height() >= w->sizeHint().height() && w->width() >= w->minimumSizeHint().width(),
                         qPrintable(QStringLiteral("%1 is %2x%3, asks %4x%5")
                                        .arg(w->objectName())
                                        .arg(w->width())
                                        .arg(w->height())
                                        .arg(w->minimumSizeHint().width())
                                        .arg(w->sizeHint().height())));
                // Whole inside the page, above the OK strip.
                const QRect onPage(w->mapTo(namedPart<QWidget>(card.get(), "ShTrans"), QPoint(0, 0)), w->size());
                QVERIFY2(namedPart<QWidget>(card.get(), "ShTrans")->rect().contains(onPage),
                         qPrintable(w->objectName()));
            }
            clickCancel();
        });
        prompts.runModal(card.get());
        hist.cancel();
        card.reset();
    }

    void f9RunsTheCalculator_data()
    {
        QTest::addColumn<bool>("sizeable");
        QTest::addColumn<bool>("lateControl"); // a control a page owner adds after the card is built
        QTest::newRow("password edit") << false << false;
        QTest::newRow("calendar") << true << false;
        QTest::newRow("control added later") << false << true;
    }
    void f9RunsTheCalculator()
    {
        QFETCH(bool, sizeable);
        QFETCH(bool, lateControl);
        QSignalSpy calls(card.get(), &TFormCard::calculatorRequested);
        card->setSizeableBorder(sizeable);
        QWidget* target = nullptr;
        if (lateControl) {
            auto* holder = new QWidget(part<QWidget>("ShAcTab"));
            target = new KeyEater(holder);
        }
        card->show();
        if (!target)
            target = card->focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, Qt::Key_F9);
        QCOMPARE(calls.size(), 1);
        QVERIFY(card->isVisible());
        card->reject();
    }

    void passwordEditHidesAndLimits()
    {
        card->show();
        auto* edit = part<QLineEdit>("EdPas");
        QTest::keyClicks(edit, "abcdefghijklmnopqrstuvwxyz");
        QCOMPARE(edit->text(), QString("abcdefghijklmnopqrst"));
        QCOMPARE(edit->displayText(), QString(20, QLatin1Char('$')));
        card->reject();
    }
};

QTEST_MAIN(TestCard)
#include "tst_card.moc"
