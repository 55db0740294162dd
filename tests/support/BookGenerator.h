#pragma once
#include "data/Database.h"
#include "data/DorvDm.h"
#include "util/DateScale.h"
#include "util/ZipArchive.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>

// A household's books of a chosen size, the same for the same seed: ten accounts (eight in
// roubles, one in dollars, one in euros), about three hundred categories in three levels, two
// thousand acquaintances, five hundred firms and the given number of history rows over ten years
// (5 % planned, 3 % transfers, some between currencies), balances that agree with the history.
// Written with the program's own schema into a real data file.
struct BookShape {
    qint64 rows = 10000;
    quint32 seed = 20261210;
    QDate last = QDate(2026, 12, 10);
};

inline bool makeBook(const BookShape& shape, const QString& path, QString* error)
{
    using namespace dorv;
    QTemporaryDir dir;
    TDm::CreateDatabase(dir.path());
    QRandomGenerator random(shape.seed);
    {
        auto db = Database::acquire(dir.path());
        db->exec(QStringLiteral("BEGIN"));
        const char* accounts[] = {"Кошелёк",       "Карта Сбербанка", "Карта ВТБ", "Вклад",   "Копилка",
                                  "Наличные дома", "Кредитная карта", "Счёт ИП",   "Доллары", "Евро"};
        Statement acc = db->prepare(
            QStringLiteral("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, Rest, C) VALUES (?, ?, ?, 0, ?)"));
        for (int a = 1; a <= 10; ++a) {
            acc.bindAll({a, QString::fromUtf8(accounts[a - 1]),
                         a == 9    ? QStringLiteral("USD")
                         : a == 10 ? QStringLiteral("EUR")
                                   : QStringLiteral("руб"),
                         a == 1 ? QVariant(QStringLiteral("L")) : QVariant()});
            acc.step();
            acc.reset();
        }
        // Twelve first-level categories (ten of expense, two of income), five groups in each and
        // four articles in each group: 312 items.
        const char* expense[] = {"Еда",   "Дом",   "Транспорт", "Одежда",  "Здоровье",
                                 "Связь", "Отдых", "Дети",      "Подарки", "Разное"};
        const char* income[] = {"Зарплата", "Подработка"};
        Statement item =
            db->prepare(QStringLiteral("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (?, ?, ?, ?, ?)"));
        struct Top {
            int id;
            bool income;
        };
        QList<Top> tops;
        int id = 0;
        for (int t = 0; t < 12; ++t) {
            const bool in = t >= 10;
            const QString sign = in ? QStringLiteral("+") : QStringLiteral("-");
            const int top = ++id;
            tops.append({top, in});
            item.bindAll({top, QString::fromUtf8(in ? income[t - 10] : expense[t]), QVariant(), 0, sign});
            item.step();
            item.reset();
            for (int g = 1; g <= 5; ++g) {
                const int group = ++id;
                item.bindAll(
                    {group,
                     QStringLiteral("%1 %2").arg(QString::fromUtf8(in ? income[t - 10] : expense[t]).left(4)).arg(g),
                     top, 1, sign});
                item.step();
                item.reset();
                for (int a = 1; a <= 4; ++a) {
                    item.bindAll({++id, QStringLiteral("Предмет %1.%2").arg(g).arg(a), group, 2, sign});
                    item.step();
                    item.reset();
                }
            }
        }
        const char* surnames[] = {"Иванов",  "Петров",   "Сидоров", "Кузнецов", "Смирнов", "Попов",   "Васильев",
                                  "Соколов", "Михайлов", "Новиков", "Фёдоров",  "Морозов", "Волков",  "Алексеев",
                                  "Лебедев", "Семёнов",  "Егоров",  "Павлов",   "Козлов",  "Степанов"};
        const QString initials = QStringLiteral("АБВГДЕЖЗИКЛМНОПРСТУФ");
        Statement person = db->prepare(QStringLiteral(
            "INSERT INTO TB_PERSON (Id_Person, Name, Birthday, Phone, Dy, Mn) VALUES (?, ?, ?, ?, ?, ?)"));
        for (int p = 1; p <= 2000; ++p) {
            const QDate born = QDate(1940, 1, 1).addDays(random.bounded(25000));
            person.bindAll({p,
                            QStringLiteral("%1 %2.%3.")
                                .arg(QString::fromUtf8(surnames[p % 20]))
                                .arg(initials.at(p / 20 % 20))
                                .arg(initials.at(p / 400 % 20)),
                            dayNumber(born),
                            QStringLiteral("8-9%1").arg(random.bounded(100000000), 8, 10, QLatin1Char('0')), born.day(),
                            born.month()});
            person.step();
            person.reset();
        }
        Statement firm = db->prepare(QStringLiteral("INSERT INTO TB_FIRM (Id_Firm, Firm, Address) VALUES (?, ?, ?)"));
        for (int f = 1; f <= 500; ++f) {
            firm.bindAll({f, QStringLiteral("Магазин № %1").arg(f), QStringLiteral("ул. Торговая, %1").arg(f)});
            firm.step();
            firm.reset();
        }

        Statement hist = db->prepare(QStringLiteral(
            "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Price, Level1, Level2, Level3, "
            "ID_Person, ID_Firm, Ref_Account) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const int lastDay = dayNumber(shape.last);
        const int firstDay = dayNumber(shape.last.addYears(-10));
        const int days = lastDay - firstDay + 1;
        auto money = [&](int from, int to) {
            return double(from + int(random.bounded(to - from))) + random.bounded(100) / 100.0;
        };
        auto account = [&] {
            // Most of the work is on the purse and the cards.
            const int r = int(random.bounded(100));
            return r < 40 ? 1 : r < 65 ? 2 : r < 80 ? 3 : 4 + int(random.bounded(7));
        };
        auto rate = [](int a) { return a == 9 ? 90.0 : a == 10 ? 100.0 : 1.0; };
        qint64 written = 0;
        for (qint64 i = 0; written < shape.rows; ++i) {
            const int date = firstDay + int(i * days / qMax<qint64>(1, shape.rows));
            const qint64 stamp = qint64(qMin(date, lastDay)) * MsPerDay + 8 * 3600000LL + (i % 50000) * 1000;
            const int a = account();
            const int kind = random.bounded(100);
            if (kind < 3 && shape.rows - written >= 2) {
                int b = account();
                while (b == a)
                    b = 1 + int(random.bounded(10));
                const double sent = money(100, 20000) / rate(a);
                const double got = qRound64(sent * rate(a) / rate(b) * 100) / 100.0;
                hist.bindAll({a, date, stamp, QStringLiteral("1"), QVariant(), sent, QVariant(), -1, QVariant(),
                              QVariant(), QVariant(), QVariant(), b});
                hist.step();
                hist.reset();
                hist.bindAll({b, date, stamp, QStringLiteral("1"), got, QVariant(), QVariant(), -1, QVariant(),
                              QVariant(), QVariant(), QVariant(), a});
                hist.step();
                hist.reset();
                written += 2;
                continue;
            }
            const bool in = kind < 13;
            const Top& top = in ? tops[10 + int(random.bounded(2))] : tops[int(random.bounded(10))];
            const int group = random.bounded(100) < 80 ? top.id + 1 + 5 * int(random.bounded(5)) : 0;
            const int article = group && random.bounded(100) < 60 ? group + 1 + int(random.bounded(4)) : 0;
            const double amount = (in ? money(20000, 120000) : money(30, 5000)) / rate(a);
            const bool priced = !in && random.bounded(100) < 30;
            hist.bindAll({a, date, stamp, random.bounded(100) < 5 ? QStringLiteral("2") : QStringLiteral("1"),
                          in ? QVariant(amount) : QVariant(), in ? QVariant() : QVariant(amount),
                          priced ? QVariant(qRound64(amount / 3 * 100) / 100.0) : QVariant(), top.id,
                          group ? QVariant(group) : QVariant(), article ? QVariant(article) : QVariant(),
                          random.bounded(100) < 20 ? QVariant(1 + int(random.bounded(2000))) : QVariant(),
                          random.bounded(100) < 50 ? QVariant(1 + int(random.bounded(500))) : QVariant(), QVariant()});
            hist.step();
            hist.reset();
            ++written;
        }
        // The balances are what the real operations add up to.
        db->exec(QStringLiteral("UPDATE TB_ACCOUNT SET Rest = round(coalesce((SELECT sum(coalesce(Dt, 0)) - "
                                "sum(coalesce(Ct, 0)) FROM TB_HIST h WHERE h.Id_Account = TB_ACCOUNT.Id_Account "
                                "AND h.Kind = '1'), 0), 4)"));
        db->exec(QStringLiteral("COMMIT"));
    }
    return ZipArchive::pack(dir.path(), path, QString(), error) > 0;
}
