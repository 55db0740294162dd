#include "card/DorvCard.h"
#include "data/DorvDm.h"
#include "ledger/AccountsPage.h"
#include "support/Parts.h"
#include "support/ScriptedPrompts.h"
#include "util/ZipArchive.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "support/TemplateDb.h"

#include <memory>

using namespace dorv;

class TestAccounts : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TDm> dm;
    ScriptedPrompts prompts;
    CardRequest request;
    std::unique_ptr<TFormCard> card;
    QStringList informed;

    template <class T>
    T* part(const QString& name) const
    {
        return namedPart<T>(card.get(), name);
    }
    QToolButton* editButton() const { return part<QToolButton>("ButAcc"); }
    QWidget* navigator() const { return part<QWidget>("DBNAcc"); }
    QToolButton* navButton(const char* which) const { return part<QToolButton>(QString("DBNAcc") + which); }
    QTableView* grid() const { return part<QTableView>("DBGAcTab"); }
    QAbstractItemModel* model() const { return grid()->model(); }
    Table& accounts() const { return *dm->Tb_Account; }

    // A modal step that runs `act` on the shown card and answers with the card's own result.
    void whenShown(std::function<void()> act)
    {
        prompts.modals.enqueue([act](QDialog* d) {
            act();
            return d->result();
        });
    }
    void addAccount(const QString& name, const QString& currency)
    {
        accounts().insert();
        accounts().fieldByName("Account").setValue(name);
        accounts().fieldByName("Currency").setValue(currency);
        accounts().post();
    }
    // The current account gets one operation, so that the rules see it as used.
    void addHistory()
    {
        Table& h = *dm->Tb_Hist;
        h.insert();
        h.fieldByName("Dt").setValue(100.0);
        h.fieldByName("Kind").setValue("1");
        h.post();
    }
    QStringList names() const
    {
        QStringList out;
        for (int row = 0; row < model()->rowCount(); ++row)
            out << model()->index(row, 0).data().toString();
        return out;
    }
    // Types into a cell as the user does: the cell becomes current, its editor opens, the text replaces
    // what was there. The editor hands the text over when the cell is left.
    void typeInto(int row, int column, const QString& text) const
    {
        grid()->setCurrentIndex(model()->index(row, column));
        if (!grid()->indexWidget(grid()->currentIndex()))
            grid()->edit(grid()->currentIndex());
        QWidget* editor = grid()->indexWidget(grid()->currentIndex());
        QVERIFY(editor);
        auto* box = qobject_cast<QComboBox*>(editor);
        QLineEdit* line = box ? box->lineEdit() : qobject_cast<QLineEdit*>(editor);
        QVERIFY(line);
        line->selectAll();
        // QTest::keyClicks knows Latin-1 only; the names are Russian.
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(line, &press);
            QApplication::sendEvent(line, &release);
        }
        QCOMPARE(line->text(), text);
    }
    QString current() const { return accounts().fieldByName("Account").asString(); }
    bool gridEditable() const { return grid()->editTriggers() != QAbstractItemView::NoEditTriggers; }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(unpackTemplate(dir->path()));
        dm = std::make_unique<TDm>();
        informed.clear();
        dm->inform = [this](const QString& m) { informed << m; };
        dm->workDate = [] { return 40000; };
        dm->expenseMode = [] { return true; };
        dm->ResetCounters();
        dm->BindDatabaseName(dir->path());
        for (Table* t : dm->tables())
            t->open();
        dm->DataSaved = true;

        prompts = ScriptedPrompts();
        request = CardRequest();
        request.CardPage = CardPage::Accounts;
        card = std::make_unique<TFormCard>(request, prompts, dm.get());
        new TAccountsPage(*card, *dm, prompts);
    }
    void cleanup()
    {
        card.reset();
        dm.reset();
        dir.reset();
    }

    void opensForPickingAndTogglesEditing()
    {
        QVERIFY(accounts().isEmpty());
        QCOMPARE(part<QWidget>("PanAcc")->parentWidget(), part<QWidget>("ShAcTab"));
        whenShown([&] {
            QCOMPARE(part<QStackedWidget>("PgCard")->currentWidget(), part<QWidget>("ShAcTab"));
            QCOMPARE(card->windowTitle(), QString("Выбор или редактирование счёта"));
            QCOMPARE(card->width(), 310);
            QCOMPARE(card->focusWidget(), grid());
            QCOMPARE(model()->headerData(0, Qt::Horizontal).toString(), QString("Наименование"));
            QCOMPARE(grid()->horizontalHeader()->defaultAlignment(), Qt::Alignment(Qt::AlignCenter));
            // The widths are the least; a title is never cut, whatever the system font.
            QFont titleFont = grid()->horizontalHeader()->font();
            titleFont.setBold(true);
            for (auto [column, width] : {std::pair{0, 145}, {1, 39}, {2, 73}}) {
                QVERIFY(grid()->columnWidth(column) >= width);
                const QString title = model()->headerData(column, Qt::Horizontal).toString();
                QVERIFY2(grid()->columnWidth(column) > QFontMetrics(titleFont).horizontalAdvance(title),
                         qPrintable(title));
            }

            for (bool down : {false, true, false}) {
                if (down != editButton()->isChecked())
                    editButton()->click();
                QCOMPARE(editButton()->isChecked(), down);
                QCOMPARE(navigator()->isVisible(), down);
                QCOMPARE(gridEditable(), down);
                QCOMPARE(grid()->selectionBehavior(),
                         down ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
                QCOMPARE(editButton()->toolTip(), down ? QString("Отредактировали ? - отожмите кнопку")
                                                       : QString("Для редактирования нажмите кнопку"));
            }
            part<QPushButton>("BitBtn2")->click();
        });
        QCOMPARE(prompts.runModal(card.get()), int(QDialog::Rejected));
        QCOMPARE(card->size(), QSize(240, 265));
    }

    void insertThroughTheNavigator()
    {
        addAccount("Банк", "руб");
        whenShown([&] {
            editButton()->click();
            QVERIFY(!navButton("Post")->isEnabled());
            navButton("Insert")->click();
            QCOMPARE(accounts().state(), DatasetState::Insert);
            QVERIFY(navButton("Post")->isEnabled());
            typeInto(0, 0, "Наличные");
            typeInto(0, 1, "руб");
            navButton("Post")->click();
            QCOMPARE(accounts().state(), DatasetState::Browse);
            QCOMPARE(grid()->currentIndex().row(), 1); // the grid stands on the new account
            part<QPushButton>("ButOk")->click();
        });
        QCOMPARE(prompts.runModal(card.get()), int(QDialog::Accepted));
        QCOMPARE(prompts.messages(), QStringList());
        QCOMPARE(names(), QStringList({"Банк", "Наличные"}));
        QCOMPARE(current(), QString("Наличные"));
        QCOMPARE(accounts().fieldByName("Currency").asString(), QString("руб"));
        QCOMPARE(accounts().fieldByName("Rest").asFloat(), 0.0);
        QCOMPARE(accounts().fieldByName("Id_Account").asInteger(), 2);
        QVERIFY(!dm->DataSaved);
    }

    void balanceIsNeverTypedIn()
    {
        addAccount("Банк", "руб");
        whenShown([&] {
            for (bool down : {false, true}) {
                if (down)
                    editButton()->click();
                QVERIFY(model()->flags(model()->index(0, 0)) & Qt::ItemIsEditable);
                QVERIFY(!(model()->flags(model()->index(0, 2)) & Qt::ItemIsEditable));
                QVERIFY(!model()->setData(model()->index(0, 2), "500"));
            }
        });
        prompts.runModal(card.get());
        QCOMPARE(accounts().fieldByName("Rest").asFloat(), 0.0);
    }

    void fillCur_data()
    {
        QTest::addColumn<QStringList>("rows"); // name, currency, name, currency, ...
        QTest::addColumn<QString>("standOn");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("the spelling met first in name order")
            << QStringList{"Б", "руб", "А", "РУБ", "В", "usd"} << "В" << QStringList{"РУБ", "usd"};
        QTest::newRow("case differs in Cyrillic and Latin")
            << QStringList{"Касса", "Евро", "Банк", "ЕВРО", "Сейф", "eur", "Вклад", "EUR"} << "Касса"
            << QStringList{"ЕВРО", "EUR"};
        QTest::newRow("no accounts") << QStringList() << QString() << QStringList();
    }
    void fillCur()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, standOn);
        QFETCH(QStringList, expected);
        for (int i = 0; i + 1 < rows.size(); i += 2)
            addAccount(rows[i], rows[i + 1]);
        if (!standOn.isEmpty())
            QVERIFY(accounts().locate("Account", standOn));
        QStringList list{"left from before"};
        TAccountsPage::FillCur(accounts(), list);
        QCOMPARE(list, expected);
        QCOMPARE(current(), standOn);
        QVERIFY(!accounts().controlsDisabled());
    }

    void currencyIsPickedFromThoseInUse()
    {
        addAccount("Б", "руб");
        addAccount("А", "РУБ");
        addAccount("В", "usd");
        whenShown([&] {
            editButton()->click();
            grid()->setCurrentIndex(model()->index(0, 1));
            grid()->edit(grid()->currentIndex());
            auto* box = part<QComboBox>("DBGAcTabCurrency");
            QCOMPARE(grid()->indexWidget(grid()->currentIndex()), box);
            QVERIFY(box->isEditable());
            QStringList offered;
            for (int i = 0; i < box->count(); ++i)
                offered << box->itemText(i);
            QCOMPARE(offered, QStringList({"РУБ", "usd"}));
            QCOMPARE(box->currentText(), QString("РУБ"));
            QVERIFY(!navButton("Post")->isEnabled());
            typeInto(0, 1, "eur");
            QCOMPARE(accounts().state(), DatasetState::Edit); // typing starts the edit, as Post expects
            QVERIFY(navButton("Post")->isEnabled());
            navButton("Post")->click();
            QCOMPARE(accounts().state(), DatasetState::Browse);
            QVERIFY(!grid()->indexWidget(model()->index(0, 1)));
        });
        prompts.runModal(card.get());
        QVERIFY(accounts().locate("Account", "А"));
        QCOMPARE(accounts().fieldByName("Currency").asString(), QString("eur"));
        QCOMPARE(prompts.messages(), QStringList());
    }

    void closeSettlesAPendingEdit_data()
    {
        QTest::addColumn<QString>("newName"); // null: a new account is started and left without a name
        QTest::addColumn<bool>("byOk");
        QTest::addColumn<QStringList>("expected");
        const QStringList unchanged{"Банк", "Касса"};
        QTest::newRow("rename kept on Cancel") << "Кошелёк" << false << QStringList{"Касса", "Кошелёк"};
        QTest::newRow("rename kept on OK") << "Кошелёк" << true << QStringList{"Касса", "Кошелёк"};
        QTest::newRow("nameless new account dropped") << QString() << false << unchanged;
        QTest::newRow("name too long to store dropped") << QString(31, QChar(u'Я')) << false << unchanged;
    }
    void closeSettlesAPendingEdit()
    {
        QFETCH(QString, newName);
        QFETCH(bool, byOk);
        QFETCH(QStringList, expected);
        addAccount("Банк", "руб");
        addAccount("Касса", "руб");
        QVERIFY(accounts().locate("Account", "Банк"));
        whenShown([&] {
            editButton()->click();
            if (newName.isNull())
                navButton("Insert")->click();
            else
                QVERIFY(model()->setData(model()->index(0, 0), newName));
            QVERIFY(accounts().editing());
            part<QPushButton>(byOk ? "ButOk" : "BitBtn2")->click();
            QVERIFY(!card->isVisible());
        });
        QCOMPARE(prompts.runModal(card.get()), byOk ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(accounts().state(), DatasetState::Browse);
        QCOMPARE(names(), expected);
        QCOMPARE(prompts.messages(), QStringList());
        QVERIFY(!editButton()->isChecked());
        QVERIFY(navigator()->isHidden());
        QVERIFY(!gridEditable());
    }

    void doubleClickPicksOnlyWhileNotEditing_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::newRow("picking: closes with OK") << false;
        QTest::newRow("editing: stays open") << true;
    }
    void doubleClickPicksOnlyWhileNotEditing()
    {
        QFETCH(bool, editing);
        addAccount("Банк", "руб");
        addAccount("Касса", "руб");
        whenShown([&] {
            if (editing)
                editButton()->click();
            const QRect cell = grid()->visualRect(model()->index(1, 0));
            // As the system delivers it: the first click, then the double click.
            QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cell.center());
            QCOMPARE(card->isVisible(), editing);
            QCOMPARE(current(), QString("Касса"));
            if (editing) {
                QVERIFY(grid()->indexWidget(model()->index(1, 0))); // the cell is being edited instead
                part<QPushButton>("BitBtn2")->click();
            }
        });
        QCOMPARE(prompts.runModal(card.get()), editing ? int(QDialog::Rejected) : int(QDialog::Accepted));
        QCOMPARE(names(), QStringList({"Банк", "Касса"}));
    }

    void deleteAsksAndHonoursTheRules_data()
    {
        QTest::addColumn<bool>("history");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("used account refused")
            << true << true << QStringList{"Банк", "Касса"} << QStringList{"Есть связи в истории!"};
        QTest::newRow("unused account deleted") << false << true << QStringList{"Банк"} << QStringList();
        QTest::newRow("declined") << false << false << QStringList{"Банк", "Касса"} << QStringList();
    }
    void deleteAsksAndHonoursTheRules()
    {
        QFETCH(bool, history);
        QFETCH(bool, yes);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, messages);
        addAccount("Банк", "руб");
        addAccount("Касса", "руб");
        QVERIFY(accounts().locate("Account", "Касса"));
        if (history)
            addHistory();
        prompts.confirms.enqueue(yes);
        whenShown([&] {
            editButton()->click();
            QCOMPARE(current(), QString("Касса"));
            navButton("Delete")->click();
            part<QPushButton>("BitBtn2")->click();
        });
        prompts.runModal(card.get());
        QCOMPARE(prompts.asked, QStringList({"modal: TFormCard", "confirm: Удалить запись?"}));
        QCOMPARE(informed, messages);
        QCOMPARE(names(), expected);
    }
};

QTEST_MAIN(TestAccounts)
#include "tst_accounts.moc"
