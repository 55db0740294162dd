#include "app/DorvMain.h"
#include "book/BookCheck.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "data/Table.h"
#include "import/BankTextHints.h"
#include "support/QueryRows.h"
#include "support/ScratchEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace dorv;

// A bank statement imported through the real main window: the file asked for, its rows reviewed in
// "Импорт выписки" and booked as one change that one undo takes back; a second, overlapping
// statement finds its duplicates; a transfer seen from both accounts is booked once; a rule chooses
// the category; a broken file is refused with its line and books nothing.
class TestImport : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;
    std::unique_ptr<TFormMain> w;

    Database& db() { return *w->Dm()->Tb_Hist->database(); }
    QAction* action(const char* name) { return w->findChild<QAction*>(QString::fromLatin1(name)); }
    QStringList query(const QString& sql) { return queryRows(db(), sql); }
    void sound()
    {
        QStringList texts;
        for (const BookBreach& b : CheckBook(db()))
            texts << b.text;
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join('\n')));
    }
    // A statement as a Russian bank writes it: Windows-1251, ";", income and expense columns.
    QString statement(const QString& name, const QStringList& lines)
    {
        const QString path = root->filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        QStringEncoder cp1251("windows-1251");
        f.write(cp1251(QStringLiteral("Дата;Приход;Расход;Описание\r\n") + lines.join("\r\n") + "\r\n"));
        return path;
    }
    template <class T>
    static T* part(QDialog* d, const char* name)
    {
        T* found = d->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no %s", name);
        return found;
    }
    // Imports a file into an account; review runs in the window before the rows are booked.
    void importFile(const QString& path, qint64 account, const std::function<void(QDialog*)>& review = {},
                    bool book = true)
    {
        prompts.openFiles.enqueue(path);
        prompts.modals.enqueue([=](QDialog* d) {
            auto* accounts = part<QComboBox>(d, "CbImpAccount");
            accounts->setCurrentIndex(accounts->findData(account));
            if (review)
                review(d);
            if (!book)
                return int(QDialog::Rejected);
            part<QPushButton>(d, "ButImpOk")->click();
            return d->result();
        });
        action("mImport")->trigger();
    }
    static QString summaryOf(QDialog* d) { return part<QLabel>(d, "LabImpSummary")->text(); }

private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        prompts = ScriptedPrompts();
        Clock::pin(QDateTime(QDate(2024, 3, 20), QTime(12, 0)));
        w = std::make_unique<TFormMain>(scratchEnvironment(*root, prompts));
        QVERIFY(w->started());
        db().exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Карта', 'руб', 0), "
                  "(2, 'Вклад', 'RUB', 0)");
        db().exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), "
                  "(4, 'Зарплата', NULL, 0, '+')");
        const QString file = root->filePath("home.den");
        QVERIFY(saveAndReopen(*w, prompts, file));
        prompts.asked.clear();
    }
    void cleanup()
    {
        w.reset();
        Clock::unpin();
        root.reset();
    }

    void theCommandsAreInTheirMenus()
    {
        QAction* importItem = action("mImport");
        QVERIFY(importItem && action("mRules"));
        QCOMPARE(importItem->text(), QString("&Импорт выписки..."));
        QCOMPARE(importItem->shortcut(), QKeySequence("Ctrl+I"));
        QVERIFY(w->findChild<QMenu*>("mFile")->actions().contains(importItem));
        QVERIFY(w->findChild<QMenu*>("mService")->actions().contains(action("mRules")));
        QVERIFY(importItem->isEnabled());
    }

    void importedRowsAreBookedAsOneStepThatUndoTakesBack()
    {
        const QStringList before = query("SELECT * FROM TB_ACCOUNT ORDER BY 1");
        const QString path = statement("march.csv", {"01.03.2024;1000,00;;Зарплата ООО Ромашка",
                                                     "02.03.2024;;350,50;Пятёрочка", "03.03.2024;;120;Метро"});
        QString format, summary;
        importFile(path, 1, [&](QDialog* d) {
            format = part<QLabel>(d, "LabFormat")->text();
            summary = summaryOf(d);
            auto* grid = part<QTableView>(d, "DBGImport");
            QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QString("Импорт"));
            QCOMPARE(grid->model()->headerData(8, Qt::Horizontal).toString(), QString("Состояние"));
            // "Еда" for the second row, chosen from its pick list.
            const QModelIndex category = grid->model()->index(1, 5);
            grid->model()->setData(category, 0, Qt::EditRole);
            QCOMPARE(grid->model()->data(category).toString(), QString("Еда"));
        });
        QVERIFY2(format.startsWith("CSV, Windows-1251"), qPrintable(format));
        QCOMPARE(summary, QString("Строк: 3, к импорту: 3, дубликатов: 0, переводов: 0"));
        QCOMPARE(prompts.messages(), QStringList{"Импортировано операций: 3."});
        QCOMPARE(query("SELECT Rest FROM TB_ACCOUNT WHERE Id_Account=1"), QStringList{"529.5"});
        QCOMPARE(query("SELECT i.ITM, h.Dt, h.Ct FROM TB_HIST h JOIN TB_ITEMS i ON i.ID_ITM=h.Level1 ORDER BY "
                       "h.Date_Real"),
                 (QStringList{"Без категории 1000 -", "Еда - 350.5", "Без категории - 120"}));
        QCOMPARE(query("SELECT count(*) FROM TB_IMPORT_TEXT"), QStringList{"3"});
        // The bank's text is the hint of its row in the history.
        const QStringList metro = query("SELECT Id_Account, Date_Create FROM TB_HIST WHERE Ct=120").value(0).split(' ');
        QCOMPARE(TBankTextHints::hintOf(db(), metro.value(0).toLongLong(), metro.value(1).toLongLong()),
                 QString("Метро"));
        sound();

        QAction* undo = action("mUndo");
        QVERIFY2(undo->text().contains("импорт выписки"), qPrintable(undo->text()));
        undo->trigger();
        QCOMPARE(query("SELECT count(*) FROM TB_HIST"), QStringList{"0"});
        QCOMPARE(query("SELECT * FROM TB_ACCOUNT ORDER BY 1"), before);
        QCOMPARE(query("SELECT count(*) FROM TB_IMPORT_TEXT"), QStringList{"0"});
    }

    void aSecondOverlappingStatementFindsItsDuplicates()
    {
        importFile(statement("a.csv", {"01.03.2024;;100;Кафе", "02.03.2024;;100;Кафе"}), 1);
        QString summary, state;
        importFile(
            statement("b.csv", {"02.03.2024;;100;Кафе", "02.03.2024;;100;Кафе", "02.03.2024;;100;Кафе"}), 1,
            [&](QDialog* d) {
                summary = summaryOf(d);
                state = part<QTableView>(d, "DBGImport")->model()->index(0, 8).data().toString();
            },
            false);
        // Two of the three identical purchases are in the book already; the third is new.
        QCOMPARE(summary, QString("Строк: 3, к импорту: 1, дубликатов: 2, переводов: 0"));
        QCOMPARE(state, QString("дубликат: та же сумма 02.03.2024"));
        QCOMPARE(query("SELECT count(*) FROM TB_HIST"), QStringList{"2"});
    }

    void aTransferSeenFromBothAccountsIsBookedOnce()
    {
        importFile(statement("deposit.csv", {"05.03.2024;;500;Перевод на карту"}), 2);
        QString summary;
        importFile(statement("card.csv", {"06.03.2024;500;;Перевод со вклада"}), 1,
                   [&](QDialog* d) { summary = summaryOf(d); });
        QCOMPARE(summary, QString("Строк: 1, к импорту: 1, дубликатов: 0, переводов: 1"));
        QCOMPARE(query("SELECT Id_Account, Rest FROM TB_ACCOUNT ORDER BY 1"), (QStringList{"1 500", "2 -500"}));
        QCOMPARE(query("SELECT count(*) FROM TB_HIST WHERE Ref_Account IS NOT NULL"), QStringList{"2"});
        sound();
    }

    void aRuleChoosesTheCategory()
    {
        prompts.modals.enqueue([this](QDialog* rules) {
            prompts.modals.enqueue([](QDialog* rule) {
                part<QLineEdit>(rule, "EdRuleText")->setText("метро");
                auto* category = part<QComboBox>(rule, "CbRuleCategory");
                category->setCurrentIndex(category->findText("Еда"));
                part<QPushButton>(rule, "ButRuleOk")->click();
                return rule->result();
            });
            part<QPushButton>(rules, "ButRuleNew")->click();
            return int(rules->property("RuleCount").toInt() == 1 ? QDialog::Accepted : QDialog::Rejected);
        });
        action("mRules")->trigger();
        QCOMPARE(query("SELECT Pattern, Level1 FROM TB_IMPORT_RULE"), QStringList{"метро 1"});
        QString category;
        importFile(statement("m.csv", {"03.03.2024;;60;МЕТРО Москва"}), 1, [&](QDialog* d) {
            category = part<QTableView>(d, "DBGImport")->model()->index(0, 5).data().toString();
        });
        QCOMPARE(category, QString("Еда"));
        QCOMPARE(query("SELECT Level1 FROM TB_HIST"), QStringList{"1"});
    }

    void aPlaceIsMadeFromARowsCounterparty()
    {
        QString place;
        importFile(statement("p.csv", {"02.03.2024;;350,50;Пятёрочка"}), 1, [&](QDialog* d) {
            auto* grid = part<QTableView>(d, "DBGImport");
            grid->setCurrentIndex(grid->model()->index(0, 4));
            auto* make = d->findChild<QAction*>("mpImpNewFirm");
            QVERIFY(make);
            prompts.inputs.enqueue("Пятёрочка у дома");
            make->trigger();
            place = grid->model()->index(0, 7).data().toString();
        });
        QCOMPARE(place, QString("Пятёрочка у дома"));
        QCOMPARE(query("SELECT f.Firm FROM TB_HIST h JOIN TB_FIRM f ON f.Id_Firm=h.ID_Firm"),
                 QStringList{"Пятёрочка у дома"});
    }

    void theMappingAskedOnceIsKeptForTheBanksNextStatement()
    {
        auto write = [&](const QString& name, const QByteArray& rows) {
            const QString path = root->filePath(name);
            QFile f(path);
            if (f.open(QIODevice::WriteOnly))
                f.write("A;B;C;D\n" + rows);
            return path;
        };
        std::function<int(QDialog*)> mapped = [](QDialog* d) {
            auto* date = part<QComboBox>(d, "CbImpDate");
            date->setCurrentIndex(date->findData(0));
            auto* amount = part<QComboBox>(d, "CbImpAmount");
            amount->setCurrentIndex(amount->findData(2));
            auto* text = part<QComboBox>(d, "CbImpText");
            text->setCurrentIndex(text->findData(3));
            part<QPushButton>(d, "ButImpProfileOk")->click();
            return d->result();
        };
        // The mapping changed in the import window ("Настроить...") reads the file again at once.
        importFile(write("one.csv", "01.03.2024;7;-100,00;Кафе\n"), 1, [&](QDialog* d) {
            prompts.modals.enqueue(mapped);
            part<QPushButton>(d, "ButProfile")->click();
        });
        QCOMPARE(prompts.asked.filter("modal: ").join(','), QString("modal: FormImport,modal: FormImpProfile"));
        QCOMPARE(query("SELECT Ct FROM TB_HIST"), QStringList{"100"});

        prompts.asked.clear();
        importFile(write("two.csv", "05.03.2024;8;-40,00;Кино\n"), 1);
        QCOMPARE(prompts.asked.filter("modal: ").join(','), QString("modal: FormImport"));
        QCOMPARE(query("SELECT Ct FROM TB_HIST ORDER BY Date_Real"), (QStringList{"100", "40"}));
    }

    void aBrokenFileIsRefusedAndBooksNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("an amount that is no number")
            << QByteArray("Date;Amount;Text\n01.03.2024;-12.00;Shop\n02.03.2024;$120;Shop\n") << "Строка 3";
        QTest::newRow("binary") << QByteArray("PK\x03\x04\x00\x01\x02", 7) << "не похож на выписку банка";
    }
    void aBrokenFileIsRefusedAndBooksNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = root->filePath("broken.csv");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        prompts.openFiles.enqueue(path);
        // A column the file leaves unsure is asked in the mapping, which tries the file at once.
        prompts.modals.enqueue([](QDialog* d) {
            auto* amount = part<QComboBox>(d, "CbImpAmount");
            amount->setCurrentIndex(amount->findData(1));
            part<QPushButton>(d, "ButImpProfileOk")->click();
            return int(QDialog::Rejected);
        });
        action("mImport")->trigger();
        const QStringList said = prompts.messages();
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(path) && said[0].contains(message), qPrintable(said[0]));
        QCOMPARE(query("SELECT count(*) FROM TB_HIST"), QStringList{"0"});
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
