#include "book/BookCheck.h"
#include "data/Database.h"
#include "support/TemplateDb.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace dorv;

// What a sound book is, checked on small databases made from the template.
class TestBookCheck : public QObject {
    Q_OBJECT

    // Two accounts in roubles and one in dollars; an expense tree Еда ▸ Хлеб ▸ Батон, an income item
    // Зарплата and a both-ways item Подарки.
    static QStringList household()
    {
        return {"INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest) VALUES (1, 'Кошелёк', 'руб', 0), "
                "(2, 'Карта', 'руб', 0), (3, 'Доллары', 'USD', 0)",
                "INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (1, 'Еда', NULL, 0, '-'), (2, 'Хлеб', 1, 1, "
                "'-'), (3, 'Батон', 2, 2, '-'), (4, 'Зарплата', NULL, 0, '+'), (5, 'Подарки', NULL, 0, '0')"};
    }
    // A row: account, moment, kind, income, expense, the path and the target account.
    static QString row(int account, int moment, const char* kind, const char* dt, const char* ct, const char* l1,
                       const char* l2 = "NULL", const char* l3 = "NULL", const char* ref = "NULL")
    {
        return QString("INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1, Level2, Level3, "
                       "Ref_Account) VALUES (%1, 36600, %2, '%3', %4, %5, %6, %7, %8, %9)")
            .arg(account)
            .arg(moment)
            .arg(kind, dt, ct, l1, l2, l3, ref);
    }
    static QString rest(int account, const char* value)
    {
        return QString("UPDATE TB_ACCOUNT SET Rest = %2 WHERE Id_Account = %1").arg(account).arg(value);
    }

private slots:
    void breaches_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QStringList>("found"); // a part of each breach's text, in order
        QTest::addRow("an empty book") << QStringList() << QStringList();
        QTest::addRow("an expense, an income, a planned row and a both-ways item")
            << QStringList{row(1, 1, "1", "NULL", "12.5", "1", "2", "3"), row(1, 2, "1", "100", "NULL", "4"),
                           row(1, 3, "2", "NULL", "7", "1"), row(1, 4, "1", "NULL", "0.5", "5"), rest(1, "87")}
            << QStringList();
        QTest::addRow("a balance the rows do not explain")
            << QStringList{row(1, 1, "1", "NULL", "10", "1"), rest(1, "5")}
            << QStringList{"Остаток счёта «Кошелёк» равен 5.00, а операции дают -10.00."};
        QTest::addRow("an opening balance explains it")
            << QStringList{row(1, 1, "1", "NULL", "10", "1"), rest(1, "5"),
                           "INSERT INTO TB_OPENING (Id_Account, Rest) VALUES (1, 15)"}
            << QStringList();
        QTest::addRow("neither amount") << QStringList{row(1, 1, "2", "NULL", "NULL", "1")}
                                        << QStringList{"нет одной суммы больше нуля"};
        QTest::addRow("both amounts") << QStringList{row(1, 1, "2", "1", "1", "1")}
                                      << QStringList{"нет одной суммы больше нуля"};
        QTest::addRow("no category") << QStringList{row(1, 1, "2", "NULL", "1", "-10")}
                                     << QStringList{"нет статьи первого уровня"};
        QTest::addRow("a group of another category")
            << QStringList{row(1, 1, "2", "NULL", "1", "4", "2")} << QStringList{"группа не из этой статьи"};
        QTest::addRow("an item without its group")
            << QStringList{row(1, 1, "2", "NULL", "1", "1", "NULL", "3")} << QStringList{"предмет не из этой группы"};
        QTest::addRow("income on an expense item")
            << QStringList{row(1, 1, "2", "1", "NULL", "1")} << QStringList{"приход на статье расхода"};
        QTest::addRow("expense on an income item")
            << QStringList{row(1, 1, "2", "NULL", "1", "4")} << QStringList{"расход на статье прихода"};
        QTest::addRow("a transfer between roubles")
            << QStringList{row(1, 1, "1", "NULL", "50", "-1", "NULL", "NULL", "2"),
                           row(2, 1, "1", "50", "NULL", "-1", "NULL", "NULL", "1"), rest(1, "-50"), rest(2, "50")}
            << QStringList();
        QTest::addRow("a transfer into dollars at a rate")
            << QStringList{row(1, 1, "1", "NULL", "90", "-1", "NULL", "NULL", "3"),
                           row(3, 1, "1", "1", "NULL", "-1", "NULL", "NULL", "1"), rest(1, "-90"), rest(3, "1")}
            << QStringList();
        QTest::addRow("a transfer that never arrived")
            << QStringList{row(1, 1, "1", "NULL", "50", "-1", "NULL", "NULL", "2"), rest(1, "-50")}
            << QStringList{"не дошёл до счёта «Карта»"};
        QTest::addRow("a transfer that arrived short")
            << QStringList{row(1, 1, "1", "NULL", "50", "-1", "NULL", "NULL", "2"),
                           row(2, 1, "1", "40", "NULL", "-1", "NULL", "NULL", "1"), rest(1, "-50"), rest(2, "40")}
            << QStringList{"на 50.00, а на счёт «Карта» пришло 40.00"};
        QTest::addRow("a planned transfer that already arrived")
            << QStringList{row(1, 1, "2", "NULL", "50", "-1", "NULL", "NULL", "2"),
                           row(2, 1, "1", "50", "NULL", "-1", "NULL", "NULL", "1"), rest(2, "50")}
            << QStringList{"ещё запланирован"};
        // Closing the sending account empties its history alone.
        QTest::addRow("a receiving row whose account was closed")
            << QStringList{row(2, 1, "1", "50", "NULL", "-1", "NULL", "NULL", "1"), rest(2, "50")} << QStringList();
        QTest::addRow("a transfer to no account")
            << QStringList{row(1, 1, "2", "NULL", "50", "-1", "NULL", "NULL", "9")}
            << QStringList{"не указывает другой существующий счёт"};
        QTest::addRow("one moment for two operations")
            << QStringList{row(1, 7, "2", "NULL", "1", "1"), row(2, 7, "2", "NULL", "1", "1")}
            << QStringList{"Момент создания 7 есть у 2 операций"};
    }
    void breaches()
    {
        QFETCH(QStringList, statements);
        QFETCH(QStringList, found);
        QTemporaryDir work;
        QVERIFY(unpackTemplate(work.path()));
        auto db = Database::openFile(work.filePath("DORVANA.DB"), false);
        for (const QString& sql : household() + statements)
            db->exec(sql);
        const QList<BookBreach> breaches = CheckBook(*db);
        QStringList texts;
        for (const BookBreach& b : breaches)
            texts << b.text;
        QCOMPARE(texts.size(), found.size());
        for (qsizetype i = 0; i < found.size(); ++i)
            QVERIFY2(texts[i].contains(found[i]), qPrintable(texts[i]));
    }

    void balanceBreachCarriesItsFigures()
    {
        QTemporaryDir work;
        QVERIFY(unpackTemplate(work.path()));
        auto db = Database::openFile(work.filePath("DORVANA.DB"), false);
        for (const QString& sql : household() + QStringList{row(2, 1, "1", "20.25", "NULL", "4"), rest(2, "30")})
            db->exec(sql);
        const QList<BookBreach> breaches = CheckBook(*db);
        QCOMPARE(breaches.size(), 1);
        QCOMPARE(breaches[0].kind, BookBreach::Kind::Balance);
        QCOMPARE(breaches[0].account, qint64(2));
        QCOMPARE(breaches[0].stored, qint64(300000));
        QCOMPARE(breaches[0].fromRows, qint64(202500));
    }

    void bookWithoutOpeningTableIsRead()
    {
        // Books saved before the opening balances existed have no such table.
        QTemporaryDir work;
        QVERIFY(unpackTemplate(work.path()));
        auto db = Database::openFile(work.filePath("DORVANA.DB"), false);
        db->exec("DROP TABLE TB_OPENING");
        for (const QString& sql : household() + QStringList{rest(1, "3")})
            db->exec(sql);
        QCOMPARE(CheckBook(*db).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestBookCheck)
#include "tst_bookcheck.moc"
