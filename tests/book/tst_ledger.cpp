#include "book/BookCheck.h"
#include "book/Ledger.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "support/TemplateDb.h"

#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace dorv;

// The booking core on a small database without windows: each case books, changes or removes and
// reads the rows and balances back; the book stays sound after every step.
class TestLedger : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> work;
    std::shared_ptr<Database> db;

    static constexpr qint64 U = 10000; // one unit in ten-thousandths

    OperationDraft expense(qint64 amount, qint64 created, bool planned = false)
    {
        OperationDraft d;
        d.account = 1;
        d.amount = amount * U;
        d.level1 = 1;
        d.level2 = 2;
        d.date = 36600;
        d.created = created;
        d.kind = planned ? OperationKind::Planned : OperationKind::Real;
        return d;
    }
    OperationDraft income(qint64 amount, qint64 created)
    {
        OperationDraft d = expense(amount, created);
        d.direction = OperationDraft::Direction::Income;
        d.level1 = 4;
        d.level2 = QVariant();
        return d;
    }
    OperationDraft transfer(qint64 amount, qint64 target, qint64 created, qint64 received = 0, bool planned = false)
    {
        OperationDraft d = expense(amount, created, planned);
        d.direction = OperationDraft::Direction::Transfer;
        d.level1 = QVariant();
        d.level2 = QVariant();
        d.target = target;
        d.received = received * U;
        return d;
    }
    double rest(int account)
    {
        Statement st = db->prepareOnce("SELECT Rest FROM TB_ACCOUNT WHERE Id_Account=?");
        st.bind(1, account);
        return st.step() ? st.column(0).toDouble() : -1;
    }
    // The history as "account kind dt ct level1 ref", in creation order.
    QStringList rows()
    {
        Statement st = db->prepareOnce(
            "SELECT Id_Account, Kind, Dt, Ct, Level1, Ref_Account FROM TB_HIST ORDER BY Date_Create, Id_Account");
        QStringList out;
        while (st.step()) {
            QStringList parts;
            for (int i = 0; i < 6; ++i)
                parts << (st.column(i).isValid() ? st.column(i).toString() : QStringLiteral("-"));
            out << parts.join(' ');
        }
        return out;
    }
    void sound()
    {
        QStringList texts;
        for (const BookBreach& b : CheckBook(*db))
            texts << b.text;
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join('\n')));
    }

    // The items as "id name level parent direction", by identifier.
    QStringList items()
    {
        Statement st = db->prepareOnce("SELECT ID_ITM, ITM, LEV, ID_REF, C FROM TB_ITEMS ORDER BY ID_ITM");
        QStringList out;
        while (st.step()) {
            QStringList parts;
            for (int i = 0; i < 5; ++i)
                parts << (st.column(i).isNull() ? QStringLiteral("-") : st.column(i).toString());
            out << parts.join(' ');
        }
        return out;
    }
    // Besides the fixture's: a Latin name, a third-level item, items of both directions (Подарки
    // with an income booked on it, Праздники with an income branch) and a salary received.
    void moreItems()
    {
        db->exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (3, 'Pizza', 1, 1, '-'), (5, 'Батон', 2, "
                 "2, '-'), (6, 'Подарки', NULL, 0, '0'), (7, 'Праздники', NULL, 0, '0'), (8, 'Торт', 7, 1, '+')");
        Ledger ledger(*db);
        OperationDraft gift = income(10, 1);
        gift.level1 = 6;
        ledger.book(gift);
        ledger.book(expense(3, 2)); // Еда ▸ Хлеб
    }
    QString refusalOf(const std::function<void()>& change)
    {
        try {
            change();
        } catch (const DbError& e) {
            return e.message();
        }
        return {};
    }

private slots:
    void init()
    {
        work = std::make_unique<QTemporaryDir>();
        QVERIFY(unpackTemplate(work->path()));
        db = Database::openFile(work->filePath("DORVANA.DB"), false);
        db->exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Кошелёк', 'руб', 0), "
                 "(2, 'Карта', 'руб', 0), (3, 'Доллары', 'USD', 0)");
        db->exec("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), (2, 'Хлеб', 1, "
                 "1, '-'), (4, 'Зарплата', NULL, 0, '+')");
    }
    void cleanup()
    {
        db.reset();
        work.reset();
    }

    void bookingCases_data()
    {
        QTest::addColumn<int>("kind"); // 0 expense, 1 income, 2 transfer, 3 transfer at a rate, 4 planned
        QTest::addColumn<QStringList>("expectedRows");
        QTest::addColumn<QList<double>>("rests");
        QTest::addRow("expense") << 0 << QStringList{"1 1 - 10 1 -"} << QList<double>{-10, 0, 0};
        QTest::addRow("income") << 1 << QStringList{"1 1 10 - 4 -"} << QList<double>{10, 0, 0};
        QTest::addRow("transfer") << 2 << QStringList{"1 1 - 10 -1 2", "2 1 10 - -1 1"} << QList<double>{-10, 10, 0};
        QTest::addRow("transfer at a rate")
            << 3 << QStringList{"1 1 - 10 -1 3", "3 1 0.5 - -1 1"} << QList<double>{-10, 0, 0.5};
        QTest::addRow("planned") << 4 << QStringList{"1 2 - 10 1 -"} << QList<double>{0, 0, 0};
    }
    void bookingCases()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, expectedRows);
        QFETCH(QList<double>, rests);
        Ledger ledger(*db);
        OperationDraft d = kind == 0   ? expense(10, 1)
                           : kind == 1 ? income(10, 1)
                           : kind == 2 ? transfer(10, 2, 1)
                           : kind == 3 ? transfer(10, 3, 1)
                                       : expense(10, 1, true);
        if (kind == 3)
            d.received = 5000;
        const BookingResult r = ledger.book(d);
        QCOMPARE(rows(), expectedRows);
        for (int a = 1; a <= 3; ++a)
            QCOMPARE(rest(a), rests[a - 1]);
        QCOMPARE(r.changeOf(1), qint64(rests[0] * U));
        QCOMPARE(r.row, (OperationKey{1, 36600, 1, kind == 4 ? "2" : "1"}));
        sound();
        // Removed again, nothing is left of it.
        ledger.remove(r.row);
        QCOMPARE(rows(), QStringList());
        for (int a = 1; a <= 3; ++a)
            QCOMPARE(rest(a), 0.0);
        sound();
    }

    void changesAndRealising()
    {
        Ledger ledger(*db);
        BookingResult r = ledger.book(expense(10, 1));
        r = ledger.change(r.row, expense(15, 1));
        QCOMPARE(rest(1), -15.0);
        QCOMPARE(r.changeOf(1), -5 * U);
        sound();
        // A planned transfer, realised: its receiving row and both balances come with it.
        BookingResult t = ledger.book(transfer(20, 2, 2, 0, true));
        QCOMPARE(rest(2), 0.0);
        t = ledger.change(t.row, transfer(20, 2, 2));
        QCOMPARE(rest(1), -35.0);
        QCOMPARE(rest(2), 20.0);
        sound();
        // Its amount and target changed: the old receiving row goes from the old target.
        t = ledger.change(t.row, transfer(30, 3, 2, 1));
        QCOMPARE(rest(1), -45.0);
        QCOMPARE(rest(2), 0.0);
        QCOMPARE(rest(3), 1.0);
        QCOMPARE(rows(), (QStringList{"1 1 - 15 1 -", "1 1 - 30 -1 3", "3 1 1 - -1 1"}));
        sound();
        const OperationDraft back = ledger.draftOf(t.row);
        QCOMPARE(back.direction, OperationDraft::Direction::Transfer);
        QCOMPARE(back.amount, 30 * U);
        QCOMPARE(back.received, 1 * U);
        QCOMPARE(back.target, qint64(3));
    }

    // A row whose kind mark names no kind (an older or damaged file) has never counted in a balance:
    // the ledger reads it as not real, removes it by its stored key without touching the balance,
    // and a change of it stays out of the balance too.
    void unknownKindMarkIsNotReal_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::newRow("none") << "";
        QTest::newRow("zero") << "0";
    }
    void unknownKindMarkIsNotReal()
    {
        QFETCH(QString, mark);
        db->exec(QStringLiteral("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Ct, Level1) "
                                "VALUES (1, 36600, 7, '%1', 5, 1), (1, 36600, 8, '%1', 6, 1)")
                     .arg(mark));
        Ledger ledger(*db);
        const OperationKey first{1, 36600, 7, mark};
        QCOMPARE(ledger.draftOf(first).kind, OperationKind::Planned);
        QCOMPARE(ledger.remove(first).changeOf(1), qint64(0));
        QCOMPARE(rest(1), 0.0);
        const OperationKey second{1, 36600, 8, mark};
        OperationDraft d = ledger.draftOf(second);
        d.amount = 9 * U;
        const BookingResult r = ledger.change(second, d);
        QCOMPARE(r.changeOf(1), qint64(0));
        QCOMPARE(rest(1), 0.0);
        QCOMPARE(rows(), QStringList{"1 2 - 9 1 -"});
    }

    void refusalsChangeNothing_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("said");
        QTest::addRow("no amount") << 0 << "положительное число";
        QTest::addRow("too large") << 1 << "Слишком большое число";
        QTest::addRow("transfer to itself") << 2 << "целевой счёт";
        QTest::addRow("no such account") << 3 << "счёт";
        QTest::addRow("no category") << 4 << "статья";
        QTest::addRow("a balance beyond exact numbers") << 5 << "пределы";
        QTest::addRow("the receiving row alone") << 6 << "через его отправку";
    }
    void refusalsChangeNothing()
    {
        QFETCH(int, which);
        QFETCH(QString, said);
        Ledger ledger(*db);
        const BookingResult before = ledger.book(transfer(5, 2, 1));
        const QStringList rowsBefore = rows();
        QString message;
        try {
            OperationDraft d = expense(10, 2);
            switch (which) {
            case 0:
                d.amount = 0;
                break;
            case 1:
                d.amount = qint64(MaxAmountForTest) * U + 1;
                break;
            case 2:
                d = transfer(10, 1, 2);
                break;
            case 3:
                d.account = 9;
                break;
            case 4:
                d.level1 = QVariant();
                break;
            case 5:
                db->exec("UPDATE TB_ACCOUNT SET Rest = -899999999999999 WHERE Id_Account = 1");
                break;
            case 6:
                ledger.remove({2, 36600, 1, "1"});
                break;
            }
            ledger.book(d);
        } catch (const DbError& e) {
            message = e.message();
        }
        QVERIFY2(message.contains(said), qPrintable(message));
        QCOMPARE(rows(), rowsBefore);
        if (which != 5)
            QCOMPARE(rest(1), -5.0);
        QCOMPARE(rest(2), 5.0);
        Q_UNUSED(before);
    }

    void changingATransferIntoAClosedAccountCountsItOnce()
    {
        Ledger ledger(*db);
        const BookingResult sent = ledger.book(transfer(100, 2, 1));
        ledger.closeAccount(2, true); // Карта keeps its 100 as its opening balance
        QCOMPARE(rest(2), 100.0);
        // Another day for the old transfer: its money is in Карта's opening balance already.
        OperationDraft moved = transfer(100, 2, 1);
        moved.date = 36610;
        const BookingResult r = ledger.change(sent.row, moved);
        QCOMPARE(rest(1), -100.0);
        QCOMPARE(rest(2), 100.0);
        sound();
        // Sent elsewhere, it arrives there, and Карта keeps what it had.
        ledger.change(r.row, transfer(100, 3, 1, 2));
        QCOMPARE(rest(2), 100.0);
        QCOMPARE(rest(3), 2.0);
        sound();
    }

    void closingKeepsOrZeroesTheBalance_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::addRow("keep") << true;
        QTest::addRow("zero") << false;
    }
    void closingKeepsOrZeroesTheBalance()
    {
        QFETCH(bool, keep);
        Ledger ledger(*db);
        ledger.book(income(100, 1));
        ledger.book(transfer(30, 2, 2));
        ledger.closeAccount(1, keep);
        QCOMPARE(rows(), QStringList{"2 1 30 - -1 1"});
        QCOMPARE(rest(1), keep ? 70.0 : 0.0);
        QCOMPARE(rest(2), 30.0);
        sound();
    }

    void categoryMovesCarryTheirRows()
    {
        Ledger ledger(*db);
        ledger.book(expense(10, 1)); // Еда ▸ Хлеб
        OperationDraft top = expense(5, 2);
        top.level2 = QVariant(); // Еда alone
        ledger.book(top);
        // Хлеб becomes a first-level item: its rows follow, the rows of Еда alone stay.
        CategoryPath before, after;
        before.level[0] = 1;
        before.level[1] = 2;
        after.level[0] = 2;
        QCOMPARE(ledger.moveCategory(2, QVariant(), 0, before, after), qint64(1));
        QCOMPARE(rows(), (QStringList{"1 1 - 10 2 -", "1 1 - 5 1 -"}));
        Statement st = db->prepareOnce("SELECT LEV, ID_REF FROM TB_ITEMS WHERE ID_ITM = 2");
        QVERIFY(st.step());
        QCOMPARE(st.columnInt(0), qint64(0));
        QVERIFY(st.column(1).isNull());
        sound();
    }

    void deletingABookedCategoryIsRefused()
    {
        Ledger ledger(*db);
        ledger.book(expense(10, 1));
        CategoryPath bread;
        bread.level[0] = 1;
        bread.level[1] = 2;
        QString message;
        try {
            ledger.deleteCategory(2, bread);
        } catch (const DbError& e) {
            message = e.message();
        }
        QCOMPARE(message, QString("Удаление невозможно! - 1 связей в истории"));
        QCOMPARE(ledger.rowsOn(bread), qint64(1));
        db->exec("DELETE FROM TB_HIST");
        ledger.deleteCategory(2, bread);
        Statement st = db->prepareOnce("SELECT count(*) FROM TB_ITEMS WHERE ID_ITM = 2");
        QVERIFY(st.step());
        QCOMPARE(st.columnInt(0), qint64(0));
    }

    void addingCategories_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("parent"); // 0: none
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QString>("stored"); // the new row, or the refusal
        const QString taken = "Такая статья уже есть!";
        QTest::addRow("first level") << "Дом" << 0 << "-"
                                     << "9 Дом 0 - -";
        QTest::addRow("second level") << "Молоко" << 1 << "-"
                                      << "9 Молоко 1 1 -";
        QTest::addRow("third level, both ways") << "Сушки" << 2 << "0"
                                                << "9 Сушки 2 2 0";
        QTest::addRow("both ways under an income item") << "Премия" << 4 << "0"
                                                        << "9 Премия 1 4 0";
        QTest::addRow("one way under a both-ways item") << "Цветы" << 6 << "+"
                                                        << "9 Цветы 1 6 +";
        QTest::addRow("spaces around the name go") << "  Чай  " << 1 << "-"
                                                   << "9 Чай 1 1 -";
        QTest::addRow("Cyrillic case makes another name") << "ХЛЕБ" << 1 << "-"
                                                          << "9 ХЛЕБ 1 1 -";
        QTest::addRow("taken in the same direction") << "Хлеб" << 0 << "-" << taken;
        QTest::addRow("taken in the other direction") << "Зарплата" << 1 << "-" << taken;
        QTest::addRow("taken, Latin case aside") << "PIZZA" << 0 << "-" << taken;
        QTest::addRow("taken, spaces aside") << " Еда " << 0 << "-" << taken;
        QTest::addRow("empty") << "   " << 0 << "-"
                               << "Нужно ввести название статьи!";
        QTest::addRow("not in the code page") << "Кофе ☕" << 1 << "-"
                                              << "Поле «ITM»: символ «☕» не может быть сохранён";
        QTest::addRow("longer than the column") << QString(31, QChar(u'Я')) << 0 << "-"
                                                << "Поле «ITM»: текст длиннее 30 символов";
        QTest::addRow("a control character") << "Чай\tзелёный" << 0 << "-"
                                             << "Поле «ITM»: недопустимый управляющий символ";
        QTest::addRow("no such parent") << "Чай" << 99 << "-"
                                        << "Статья не найдена: возможно, она уже удалена.";
        QTest::addRow("below the third level") << "Крошки" << 5 << "-"
                                               << "Невозможно добавить статью на более правый уровень!";
        QTest::addRow("under the transfer item") << "Чай" << -1 << "-"
                                                 << "Ответвления зелёной статьи не поддерживаются!";
        QTest::addRow("against its parent") << "Премия" << 4 << "-"
                                            << "Ответвление статьи прихода не может быть статьёй расхода!";
        QTest::addRow("no such direction") << "Чай" << 0 << "x"
                                           << "Неизвестное направление статьи: «x»";
    }
    void addingCategories()
    {
        QFETCH(QString, name);
        QFETCH(int, parent);
        QFETCH(QString, direction);
        QFETCH(QString, stored);
        moreItems();
        const QStringList before = items();
        Ledger ledger(*db);
        CategoryDraft draft;
        draft.name = name;
        draft.direction = direction;
        if (parent != 0)
            draft.parent = parent;
        CategoryResult made;
        const QString refusal = refusalOf([&] { made = ledger.addCategory(draft); });
        if (stored.front().isDigit()) {
            QCOMPARE(refusal, QString());
            QCOMPARE(items(), before + QStringList{stored});
            const QStringList parts = stored.split(' ');
            QCOMPARE(made.item, parts[0].toLongLong());
            QCOMPARE(made.name, parts[1]);
            QCOMPARE(made.level, parts[2].toInt());
            QCOMPARE(made.parent.isNull() ? QString("-") : made.parent.toString(), parts[3]);
            QCOMPARE(made.direction, parts[4]);
        } else {
            QCOMPARE(refusal, stored);
            QCOMPARE(items(), before);
        }
        sound();
    }

    void renamingCategories_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("direction"); // empty: as it stands
        QTest::addColumn<QString>("stored");    // the item's row after, or the refusal
        QTest::addRow("a new name") << 2 << "Булка"
                                    << ""
                                    << "2 Булка 1 1 -";
        QTest::addRow("its own name, Latin case changed") << 3 << "PIZZA"
                                                          << ""
                                                          << "3 PIZZA 1 1 -";
        QTest::addRow("spaces around the name go") << 2 << " Булка "
                                                   << "-"
                                                   << "2 Булка 1 1 -";
        QTest::addRow("the transfer item") << -1 << "ПЕРЕВОДЫ"
                                           << "-"
                                           << "-1 ПЕРЕВОДЫ 0 - -";
        QTest::addRow("one way to both ways") << 1 << "Еда"
                                              << "0"
                                              << "1 Еда 0 - 0";
        QTest::addRow("both ways to the one booked") << 6 << "Подарки"
                                                     << "+"
                                                     << "6 Подарки 0 - +";
        QTest::addRow("both ways to the one of its branches") << 7 << "Праздники"
                                                              << "+"
                                                              << "7 Праздники 0 - +";
        QTest::addRow("taken in the other direction") << 2 << "Зарплата"
                                                      << ""
                                                      << "Такая статья уже есть!";
        QTest::addRow("empty") << 2 << ""
                               << ""
                               << "Нужно ввести название статьи!";
        QTest::addRow("not in the code page") << 2 << "Хлеб ☕"
                                              << ""
                                              << "Поле «ITM»: символ «☕» не может быть сохранён";
        QTest::addRow("no such item") << 99 << "Чай"
                                      << ""
                                      << "Статья не найдена: возможно, она уже удалена.";
        QTest::addRow("the transfer item's direction") << -1 << "ПЕРЕВОД"
                                                       << "+"
                                                       << "Направление зелёной статьи не меняется!";
        QTest::addRow("against the rows booked on it")
            << 6 << "Подарки"
            << "-"
            << "Статья «Подарки» не может стать статьёй расхода: по ней записаны операции прихода (1).";
        QTest::addRow("against a branch")
            << 7 << "Праздники"
            << "-"
            << "Статья «Праздники» не может стать статьёй расхода: у неё есть ответвления прихода.";
        QTest::addRow("against its parent") << 2 << "Хлеб"
                                            << "+"
                                            << "Ответвление статьи расхода не может быть статьёй прихода!";
        QTest::addRow("no such direction") << 1 << "Еда"
                                           << "x"
                                           << "Неизвестное направление статьи: «x»";
    }
    void renamingCategories()
    {
        QFETCH(int, item);
        QFETCH(QString, name);
        QFETCH(QString, direction);
        QFETCH(QString, stored);
        moreItems();
        const QStringList before = items();
        Ledger ledger(*db);
        CategoryResult now;
        const QString refusal = refusalOf([&] { now = ledger.renameCategory(item, name, direction); });
        if (stored.front().isDigit() || stored.startsWith('-')) {
            QCOMPARE(refusal, QString());
            const QStringList after = items();
            QVERIFY(after.contains(stored));
            QCOMPARE(after.size(), before.size());
            QCOMPARE(now.item, qint64(item));
            QCOMPARE(now.name, stored.section(' ', 1, 1));
            QCOMPARE(now.direction, stored.section(' ', 4, 4));
        } else {
            QCOMPARE(refusal, stored);
            QCOMPARE(items(), before);
        }
        sound();
    }

    void removingAccounts()
    {
        Ledger ledger(*db);
        OperationDraft salary = income(10, 1);
        salary.account = 2;
        ledger.book(salary);
        ledger.closeAccount(2, true); // Карта keeps its 10 as its opening balance
        ledger.book(expense(3, 2));
        // Кошелёк has rows of its own: refused, nothing changed.
        QCOMPARE(ledger.accountRemovalRefusal(1), QString("Есть связи в истории!"));
        QCOMPARE(refusalOf([&] { ledger.removeAccount(1); }), QString("Есть связи в истории!"));
        QCOMPARE(rest(1), -3.0);
        // Карта goes with its opening balance: an account given its identifier later starts at 0.
        QCOMPARE(ledger.accountRemovalRefusal(2), QString());
        ledger.removeAccount(2);
        QCOMPARE(rest(2), -1.0);
        Statement opening = db->prepareOnce("SELECT count(*) FROM TB_OPENING WHERE Id_Account = 2");
        QVERIFY(opening.step());
        QCOMPARE(opening.columnInt(0), qint64(0));
        db->exec("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (2, 'Вклад', 'руб', 0)");
        sound();
    }

private:
    static constexpr double MaxAmountForTest = 900000000000.0;
};

QTEST_GUILESS_MAIN(TestLedger)
#include "tst_ledger.moc"
