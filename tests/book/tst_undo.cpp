#include "book/Journal.h"
#include "book/Ledger.h"
#include "data/ChangeRecorder.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/Transaction.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace dorv;

// The journal on a database of its own, without windows: every change is one step, an undo puts
// the seven tables back exactly, a redo makes them as the change left them, and the step is named.
class TestUndo : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    std::shared_ptr<Database> db;
    std::unique_ptr<Journal> journal;

    void exec(const QString& sql) { db->exec(sql); }
    // One user command: the writes, then the end of its handler.
    void command(const QStringList& statements)
    {
        journal->commandStarted();
        for (const QString& s : statements)
            exec(s);
        journal->commandEnded();
    }
    // Every row of the seven tables, each value with its storage type, in key order.
    QStringList dump()
    {
        QStringList out;
        for (const char* table : {"TB_ACCOUNT", "TB_HIST", "TB_ITEMS", "TB_PERSON", "TB_FAMILY", "TB_FIRM", "TB_LOG"}) {
            Statement st = db->prepareOnce(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(table)));
            QStringList rows;
            while (st.step()) {
                QStringList values;
                for (int i = 0; i < st.columnCount(); ++i) {
                    const QVariant v = st.column(i);
                    values << (v.isValid() ? QString::fromLatin1(v.typeName()) + QLatin1Char(':') + v.toString()
                                           : QStringLiteral("null"));
                }
                rows << QLatin1String(table) + QLatin1Char(' ') + values.join(QLatin1Char('|'));
            }
            rows.sort();
            out += rows;
        }
        return out;
    }
    QString one(const QString& sql)
    {
        Statement st = db->prepareOnce(sql);
        return st.step() ? st.column(0).toString() : QStringLiteral("none");
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        TDm::CreateDatabase(dir->path());
        db = Database::acquire(dir->path());
        // Two roubles accounts and a dollar one; food with potatoes and coffee under it, a salary.
        exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Кошелёк', 'руб', 1000),"
             " (2, 'Карта', 'руб', 500), (3, 'Доллары', 'USD', 0)");
        exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'),"
             " (2, 'Картофель', 1, 1, '-'), (3, 'Кофе', 1, 1, '-'), (4, 'Зарплата', NULL, 0, '+'),"
             " (5, 'Дом', NULL, 0, '-')");
        exec("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, Level1, Level2) VALUES"
             " (1, 36500, 100, '1', 350, 1, 2), (1, 36501, 101, '2', 20, 1, 3), (1, 36502, 102, '1', 10, 1, 2)");
        exec("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, Level1, Ref_Account) VALUES"
             " (1, 36500, 103, '1', 100, -1, 2)");
        exec("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Level1, Ref_Account) VALUES"
             " (2, 36500, 103, '1', 100, -1, 1)");
        exec("INSERT INTO TB_PERSON (Id_Person, Name, Phone) VALUES (1, 'Иванов И.И.', '123')");
        exec("INSERT INTO TB_FAMILY (Id_Family, Id_Person, Name) VALUES (1, 1, 'Мария')");
        exec("INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (1, 'Ромашка')");
        exec("INSERT INTO TB_LOG (Date_Create, Date_Remind, Note, C, Dy) VALUES (500, 36500, 'Позвонить', '0', 1)");
        journal = std::make_unique<Journal>();
        journal->attach(db);
    }
    void cleanup()
    {
        journal.reset();
        db.reset();
        dir.reset();
    }

    void everyChangeIsUndoneAndRedoneExactly_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("name");
        QTest::addRow("an expense")
            << QStringList{"INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, Price, Level1, Level2) "
                           "VALUES (1, 36510, 200, '1', 350, 35, 1, 2)",
                           "UPDATE TB_ACCOUNT SET Rest = 650 WHERE Id_Account = 1"}
            << "расход 350.00 «Картофель»";
        QTest::addRow("an income")
            << QStringList{"INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Level1) "
                           "VALUES (1, 36510, 200, '1', 45000, 4)",
                           "UPDATE TB_ACCOUNT SET Rest = 46000 WHERE Id_Account = 1"}
            << "приход 45000.00 «Зарплата»";
        QTest::addRow("a transfer: both rows and both balances")
            << QStringList{"INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, Level1, Ref_Account) "
                           "VALUES (1, 36510, 200, '1', 100, -1, 2)",
                           "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Level1, Ref_Account) "
                           "VALUES (2, 36510, 200, '1', 100, -1, 1)",
                           "UPDATE TB_ACCOUNT SET Rest = 900 WHERE Id_Account = 1",
                           "UPDATE TB_ACCOUNT SET Rest = 600 WHERE Id_Account = 2"}
            << "перевод 100.00 «Карта»";
        QTest::addRow("an amount changed") << QStringList{"UPDATE TB_HIST SET Ct = 400 WHERE Date_Create = 100",
                                                          "UPDATE TB_ACCOUNT SET Rest = 950 WHERE Id_Account = 1"}
                                           << "изменение операции 400.00 «Картофель»";
        QTest::addRow("realised (its kind is part of its key)")
            << QStringList{"UPDATE TB_HIST SET Kind = '1' WHERE Date_Create = 101",
                           "UPDATE TB_ACCOUNT SET Rest = 980 WHERE Id_Account = 1"}
            << "реализация операции 20.00 «Кофе»";
        QTest::addRow("moved to another day")
            << QStringList{"UPDATE TB_HIST SET Date_Real = 36400 WHERE Date_Create = 102"}
            << "изменение операции 10.00 «Картофель»";
        QTest::addRow("an operation deleted") << QStringList{"DELETE FROM TB_HIST WHERE Date_Create = 100",
                                                             "UPDATE TB_ACCOUNT SET Rest = 1350 WHERE Id_Account = 1"}
                                              << "удаление операции 350.00 «Картофель»";
        QTest::addRow("a transfer deleted") << QStringList{"DELETE FROM TB_HIST WHERE Date_Create = 103",
                                                           "UPDATE TB_ACCOUNT SET Rest = 1100 WHERE Id_Account = 1",
                                                           "UPDATE TB_ACCOUNT SET Rest = 400 WHERE Id_Account = 2"}
                                            << "удаление перевода 100.00 «Карта»";
        QTest::addRow("an account closed, its balance zeroed")
            << QStringList{"DELETE FROM TB_HIST WHERE Id_Account = 1",
                           "UPDATE TB_ACCOUNT SET Rest = 0 WHERE Id_Account = 1"}
            << "закрытие счёта «Кошелёк»";
        QTest::addRow("a category added") << QStringList{"INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) "
                                                         "VALUES (6, 'Чай', 1, 1, '-')"}
                                          << "статья «Чай»";
        QTest::addRow("a category renamed") << QStringList{"UPDATE TB_ITEMS SET ITM = 'Кофе в зёрнах' WHERE ID_ITM = 3"}
                                            << "переименование статьи «Кофе в зёрнах»";
        QTest::addRow("a category moved with the history's paths")
            << QStringList{"UPDATE TB_ITEMS SET ID_REF = 5 WHERE ID_ITM = 2",
                           "UPDATE TB_HIST SET Level1 = 5 WHERE Level1 = 1 AND Level2 = 2"}
            << "перемещение статьи «Картофель»";
        QTest::addRow("a category deleted")
            << QStringList{"DELETE FROM TB_ITEMS WHERE ID_ITM = 5"} << "удаление статьи «Дом»";
        QTest::addRow("an account added") << QStringList{"INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) "
                                                         "VALUES (4, 'Сбережения', 'руб', 0)"}
                                          << "счёт «Сбережения»";
        QTest::addRow("two accounts renamed")
            << QStringList{"UPDATE TB_ACCOUNT SET Account = 'Наличные' WHERE Id_Account = 1",
                           "UPDATE TB_ACCOUNT SET Account = 'Банк' WHERE Id_Account = 2"}
            << "счёт «Наличные» и ещё 1";
        QTest::addRow("a person's phone")
            << QStringList{"UPDATE TB_PERSON SET Phone = '456' WHERE Id_Person = 1"} << "человек «Иванов И.И.»";
        QTest::addRow("a person deleted")
            << QStringList{"DELETE FROM TB_FAMILY WHERE Id_Person = 1", "DELETE FROM TB_PERSON WHERE Id_Person = 1"}
            << "удаление человека «Иванов И.И.»";
        QTest::addRow("a family member") << QStringList{"INSERT INTO TB_FAMILY (Id_Family, Id_Person, Name) "
                                                        "VALUES (2, 1, 'Олег')"}
                                         << "член семьи «Олег»";
        QTest::addRow("a firm") << QStringList{"INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (2, 'Лютик')"}
                                << "фирма «Лютик»";
        QTest::addRow("a diary entry") << QStringList{"UPDATE TB_LOG SET Note = 'Написать' WHERE Date_Create = 500"}
                                       << "запись дневника";
    }
    void everyChangeIsUndoneAndRedoneExactly()
    {
        QFETCH(QStringList, statements);
        QFETCH(QString, name);
        const QStringList before = dump();
        command(statements);
        const QStringList after = dump();
        QVERIFY(after != before);
        QCOMPARE(journal->undoCount(), 1);
        QCOMPARE(journal->undoName(), name);
        const JournalOutcome undone = journal->undo();
        QVERIFY(undone.done);
        QCOMPARE(undone.what, name);
        QCOMPARE(dump(), before);
        QVERIFY(!journal->canUndo());
        QCOMPARE(journal->redoName(), name);
        QVERIFY(journal->redo().done);
        QCOMPARE(dump(), after);
        QCOMPARE(journal->undoName(), name);
        QVERIFY(!journal->canRedo());
        // Undone again after the redo: still exact.
        QVERIFY(journal->undo().done);
        QCOMPARE(dump(), before);
    }

    void categoryChangesOfTheLedgerAreOneStepEach_data()
    {
        QTest::addColumn<int>("change"); // 0 add, 1 add a branch, 2 rename, 3 rename and turn both ways
        QTest::addColumn<QString>("name");
        QTest::addRow("an item added") << 0 << "статья «Чай»";
        QTest::addRow("a branch added") << 1 << "статья «Молотый»";
        QTest::addRow("an item renamed") << 2 << "переименование статьи «Кофе в зёрнах»";
        QTest::addRow("renamed and turned both ways") << 3 << "переименование статьи «Кофе и чай»";
    }
    void categoryChangesOfTheLedgerAreOneStepEach()
    {
        QFETCH(int, change);
        QFETCH(QString, name);
        const QStringList before = dump();
        journal->commandStarted();
        Ledger ledger(*db);
        CategoryDraft draft;
        draft.parent = change == 1 ? 3 : 1;
        draft.name = change == 1 ? QStringLiteral("Молотый") : QStringLiteral("Чай");
        if (change < 2)
            ledger.addCategory(draft);
        else if (change == 2)
            ledger.renameCategory(3, QStringLiteral("Кофе в зёрнах"));
        else
            ledger.renameCategory(3, QStringLiteral("Кофе и чай"), QStringLiteral("0"));
        journal->commandEnded();
        const QStringList after = dump();
        QVERIFY(after != before);
        QCOMPARE(journal->undoCount(), 1);
        QCOMPARE(journal->undoName(), name);
        QVERIFY(journal->undo().done);
        QCOMPARE(dump(), before);
        QCOMPARE(journal->redoName(), name);
        QVERIFY(journal->redo().done);
        QCOMPARE(dump(), after);
    }

    void theTouchedRowIsTheOneToShow()
    {
        command({"UPDATE TB_HIST SET Kind = '1' WHERE Date_Create = 101"});
        JournalOutcome out = journal->undo();
        QCOMPARE(out.touched.table, QString("TB_HIST"));
        QVERIFY(out.touched.present);
        QCOMPARE(out.touched.values.value("KIND").toString(), QString("2"));
        QCOMPARE(out.touched.values.value("DATE_CREATE").toLongLong(), 101);
        out = journal->redo();
        QCOMPARE(out.touched.values.value("KIND").toString(), QString("1"));
        // An insertion undone: the row is gone, its account is still known.
        command(
            {"INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Level1) VALUES (2, 1, 7, '1', 5, 4)"});
        out = journal->undo();
        QVERIFY(!out.touched.present);
        QCOMPARE(out.touched.values.value("ID_ACCOUNT").toLongLong(), 2);
        // An account's closing shows the account.
        command({"DELETE FROM TB_HIST WHERE Id_Account = 1"});
        out = journal->undo();
        QCOMPARE(out.touched.table, QString("TB_ACCOUNT"));
        QCOMPARE(out.touched.values.value("ID_ACCOUNT").toLongLong(), 1);
    }

    void aStepIsOneCommandAndWritesOutsideOneAStepEach()
    {
        // Handlers within handlers (a modal card's OK inside the command that opened it) are one step.
        journal->commandStarted();
        exec("UPDATE TB_PERSON SET Phone = '1' WHERE Id_Person = 1");
        journal->commandStarted();
        exec("UPDATE TB_FIRM SET Phone = '2' WHERE Id_Firm = 1");
        journal->commandEnded();
        QCOMPARE(journal->undoCount(), 0);
        journal->commandEnded();
        QCOMPARE(journal->undoCount(), 1);
        // Outside any command: a step at the next return to the event loop.
        exec("UPDATE TB_PERSON SET Phone = '3' WHERE Id_Person = 1");
        QCOMPARE(journal->undoCount(), 1);
        QTRY_COMPARE(journal->undoCount(), 2);
        exec("UPDATE TB_PERSON SET Phone = '4' WHERE Id_Person = 1");
        // An undo takes what is still open as a step first, and undoes that.
        QVERIFY(journal->undo().done);
        QCOMPARE(one("SELECT Phone FROM TB_PERSON"), QString("3"));
        QCOMPARE(journal->undoCount(), 2);
        // A command that changed nothing is no step and keeps what can be redone.
        command({"UPDATE TB_PERSON SET Phone = Phone"});
        QCOMPARE(journal->undoCount(), 2);
        QCOMPARE(journal->redoCount(), 1);
    }

    void aNewChangeAfterAnUndoDropsTheRedo()
    {
        command({"UPDATE TB_PERSON SET Phone = '1' WHERE Id_Person = 1"});
        command({"UPDATE TB_PERSON SET Phone = '2' WHERE Id_Person = 1"});
        QVERIFY(journal->undo().done);
        QVERIFY(journal->canRedo());
        command({"UPDATE TB_FIRM SET Phone = '9' WHERE Id_Firm = 1"});
        QVERIFY(!journal->canRedo());
        QCOMPARE(journal->undoCount(), 2);
        QCOMPARE(journal->undoName(), QString("фирма «Ромашка»"));
    }

    void whatATransactionRolledBackWroteIsNoStep()
    {
        journal->commandStarted();
        try {
            Transaction change(*db);
            exec("UPDATE TB_ACCOUNT SET Rest = 1 WHERE Id_Account = 1");
            throw DbError("refused");
        } catch (const DbError&) {
        }
        journal->commandEnded();
        QCOMPARE(journal->undoCount(), 0);
        // A step waits for a transaction still open outside a command.
        Transaction open(*db);
        exec("UPDATE TB_ACCOUNT SET Rest = 2 WHERE Id_Account = 1");
        journal->closeStep();
        QCOMPARE(journal->undoCount(), 0);
        open.commit();
        QTRY_COMPARE(journal->undoCount(), 1);
    }

    void theAccountMarkIsNoStepAndNoConflict()
    {
        command({"INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (4, 'Сбережения', 'руб', 0)"});
        const QStringList before = dump();
        {
            ChangeRecorder::Quiet quiet(db.get());
            exec("UPDATE TB_ACCOUNT SET C = NULL");
            exec("UPDATE TB_ACCOUNT SET C = 'L' WHERE Id_Account = 4");
        }
        QTest::qWait(1);
        QCOMPARE(journal->undoCount(), 1);
        // The new account carries the mark now; taking the account back goes over it.
        QVERIFY(journal->undo().done);
        QCOMPARE(one("SELECT count(*) FROM TB_ACCOUNT WHERE Id_Account = 4"), QString("0"));
        // Redone, the row is as the step wrote it: the mark is the program's to set again.
        QVERIFY(journal->redo().done);
        QCOMPARE(dump(), before);
    }

    void aConflictChangesNothingAndSaysWhy_data()
    {
        QTest::addColumn<QStringList>("step");
        QTest::addColumn<QString>("meanwhile"); // written behind the journal's back
        QTest::addColumn<QString>("why");
        QTest::addRow("a row changed since")
            << QStringList{"UPDATE TB_FIRM SET Phone = '1' WHERE Id_Firm = 1",
                           "UPDATE TB_PERSON SET Phone = '7' WHERE Id_Person = 1"}
            << "UPDATE TB_PERSON SET Phone = '8' WHERE Id_Person = 1"
            << "Нельзя отменить: человек «Иванов И.И.» — с тех пор изменилась запись: человек «Иванов И.И.». Данные "
               "не изменены.";
        QTest::addRow("a row deleted since")
            << QStringList{"UPDATE TB_HIST SET Ct = 351 WHERE Date_Create = 100"}
            << "DELETE FROM TB_HIST WHERE Date_Create = 100"
            << "Нельзя отменить: изменение операции 351.00 «Картофель» — с тех пор удалена запись: операция 351.00. "
               "Данные не изменены.";
        QTest::addRow("a key taken since")
            << QStringList{"DELETE FROM TB_FIRM WHERE Id_Firm = 1"}
            << "INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (1, 'Лютик')"
            << "Нельзя отменить: удаление фирмы «Ромашка» — уже есть запись: фирма «Лютик». Данные не изменены.";
    }
    void aConflictChangesNothingAndSaysWhy()
    {
        QFETCH(QStringList, step);
        QFETCH(QString, meanwhile);
        QFETCH(QString, why);
        command(step);
        {
            ChangeRecorder::Quiet quiet(db.get());
            exec(meanwhile);
        }
        const QStringList before = dump();
        const JournalOutcome out = journal->undo();
        QVERIFY(!out.done);
        QCOMPARE(out.why, why);
        QCOMPARE(dump(), before);
        QCOMPARE(journal->undoCount(), 1);
        QVERIFY(!journal->canRedo());
    }

    void throughTheDataModuleToo()
    {
        // The record rules' own writes (the identifier, the day and month of a birthday) are part
        // of the step they belong to.
        TDm dm;
        dm.BindDatabaseName(dir->path());
        for (Table* t : dm.tables())
            t->open();
        const QStringList before = dump();
        journal->commandStarted();
        dm.Tb_Person->insert();
        dm.Tb_Person->fieldByName("Name").setValue(QStringLiteral("Петров П.П."));
        dm.Tb_Person->fieldByName("Birthday").setValue(30000);
        dm.Tb_Person->post();
        journal->commandEnded();
        QCOMPARE(journal->undoName(), QString("человек «Петров П.П.»"));
        QVERIFY(journal->undo().done);
        QCOMPARE(dump(), before);
        QVERIFY(journal->redo().done);
        QCOMPARE(one("SELECT Id_Person || ' ' || Dy || ' ' || Mn FROM TB_PERSON WHERE Name = 'Петров П.П.'"),
                 QString("2 18 2"));
    }

    void detachingForgetsTheStepsAndLetsTheConnectionGo()
    {
        command({"UPDATE TB_PERSON SET Phone = '1' WHERE Id_Person = 1"});
        QSignalSpy changed(journal.get(), &Journal::stepsChanged);
        journal->detach();
        QVERIFY(!journal->attached());
        QVERIFY(!journal->canUndo());
        QCOMPARE(changed.count(), 1);
        const QString folder = dir->path();
        db.reset();
        QVERIFY(!Database::isOpen(folder));
        // Nothing is recorded without data: a command is then no step.
        command({});
        QCOMPARE(journal->undoCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestUndo)
#include "tst_undo.moc"
