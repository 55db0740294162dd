#include "BookCheck.h"

#include "data/Database.h"
#include "data/Meanings.h"
#include "data/OpeningBalances.h"
#include "util/DateScale.h"
#include "util/Money.h"

#include <QDate>
#include <QHash>

#include <cmath>

namespace dorv {

namespace {

QString money(qint64 units) { return formatMoney(fromTenThousandths(units)); }

QString dayText(const QVariant& day)
{
    const QDate d = day.isNull() ? QDate() : dateOfDay(int(day.toLongLong()));
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : QStringLiteral("без даты");
}

qint64 units(const QVariant& v) { return v.isNull() ? 0 : toTenThousandths(v.toDouble()); }

struct Account {
    QString name;
    QString currency;
};

} // namespace

QList<BookBreach> CheckBook(Database& db)
{
    QList<BookBreach> out;
    auto add = [&](BookBreach::Kind kind, const QString& text) { out.append({kind, text, 0, 0, 0}); };

    QHash<qint64, Account> accounts;
    QList<qint64> order;
    {
        Statement st = db.prepareOnce(QStringLiteral("SELECT Id_Account, Account, Currency FROM TB_ACCOUNT "
                                                     "ORDER BY Account, Id_Account"));
        while (st.step()) {
            accounts.insert(st.columnInt(0), {st.column(1).toString(), st.column(2).toString()});
            order << st.columnInt(0);
        }
    }
    auto accountName = [&](qint64 id) {
        return accounts.contains(id) ? QStringLiteral("«%1»").arg(accounts.value(id).name)
                                     : QStringLiteral("№%1 (такого счёта нет)").arg(id);
    };
    auto rowText = [&](const QVariant& account, const QVariant& day) {
        return QStringLiteral("операция счёта %1 от %2").arg(accountName(account.toLongLong()), dayText(day));
    };

    // Balances: the opening balance and the real rows explain the balance kept.
    {
        const QHash<qint64, qint64> opening = OpeningBalances::read(db);
        QHash<qint64, qint64> rows;
        Statement sums = db.prepareOnce(
            QStringLiteral("SELECT Id_Account, total(round(coalesce(Dt,0)*10000)) - total(round(coalesce(Ct,0)*10000)) "
                           "FROM TB_HIST WHERE Kind='1' GROUP BY Id_Account"));
        while (sums.step())
            rows.insert(sums.columnInt(0), qint64(std::llround(sums.column(1).toDouble())));
        Statement rest = db.prepareOnce(QStringLiteral("SELECT Id_Account, Rest FROM TB_ACCOUNT"));
        QHash<qint64, qint64> stored;
        while (rest.step())
            stored.insert(rest.columnInt(0), units(rest.column(1)));
        for (qint64 id : order) {
            qint64 expected = 0;
            if (!checkedAdd(opening.value(id), rows.value(id), &expected)) {
                add(BookBreach::Kind::Amount,
                    QStringLiteral("Остаток счёта %1 вне пределов, которые программа считает точно.")
                        .arg(accountName(id)));
                continue;
            }
            if (stored.value(id) == expected)
                continue;
            BookBreach b;
            b.kind = BookBreach::Kind::Balance;
            b.account = id;
            b.stored = stored.value(id);
            b.fromRows = expected;
            b.text = QStringLiteral("Остаток счёта %1 равен %2, а операции%3 дают %4.")
                         .arg(accountName(id), money(b.stored),
                              opening.value(id) != 0
                                  ? QStringLiteral(" с начальным остатком %1").arg(money(opening.value(id)))
                                  : QString(),
                              money(expected));
            out.append(b);
        }
        for (auto it = rows.cbegin(); it != rows.cend(); ++it)
            if (!accounts.contains(it.key()))
                add(BookBreach::Kind::Identifier,
                    QStringLiteral("Есть операции счёта №%1, которого нет.").arg(it.key()));
    }

    // Amounts: exactly one of income and expense, above zero.
    {
        Statement st = db.prepareOnce(
            QStringLiteral("SELECT Id_Account, Date_Real FROM TB_HIST WHERE NOT ((round(coalesce(Dt,0)*10000) > 0 AND "
                           "round(coalesce(Ct,0)*10000) = 0) OR (round(coalesce(Ct,0)*10000) > 0 AND "
                           "round(coalesce(Dt,0)*10000) = 0)) "
                           "ORDER BY Id_Account, Date_Real, Date_Create"));
        while (st.step())
            add(BookBreach::Kind::Amount, QStringLiteral("У %1 нет одной суммы больше нуля (приход или расход).")
                                              .arg(rowText(st.column(0), st.column(1))));
    }

    // Paths: existing items, each a child of the one above, each shown in the tree of the row's
    // direction. A transfer is the transfer item alone.
    {
        Statement st = db.prepareOnce(QStringLiteral(
            "SELECT h.Id_Account, h.Date_Real, h.Level1, h.Level2, h.Level3, coalesce(h.Ct,0) > 0, "
            " i1.LEV, i1.C, i2.LEV, i2.ID_REF, i2.C, i3.LEV, i3.ID_REF, i3.C, "
            " i1.ID_ITM IS NOT NULL, i2.ID_ITM IS NOT NULL, i3.ID_ITM IS NOT NULL, coalesce(h.Dt,0) > 0 "
            "FROM TB_HIST h LEFT JOIN TB_ITEMS i1 ON i1.ID_ITM = h.Level1 LEFT JOIN TB_ITEMS i2 ON i2.ID_ITM = "
            "h.Level2 LEFT JOIN TB_ITEMS i3 ON i3.ID_ITM = h.Level3 ORDER BY h.Id_Account, h.Date_Real, "
            "h.Date_Create"));
        while (st.step()) {
            const bool expense = st.columnInt(5) != 0, income = st.columnInt(17) != 0;
            const QVariant l1 = st.column(2), l2 = st.column(3), l3 = st.column(4);
            auto wrongWay = [&](int column) {
                return !storedShownIn(st.column(column).toString(),
                                      expense ? ItemDirection::Expense : ItemDirection::Income);
            };
            QString fault;
            if (l1.isNull() || !st.columnInt(14) || st.columnInt(6) != 0)
                fault = QStringLiteral("нет статьи первого уровня");
            else if (l1.toLongLong() == -1 && (!l2.isNull() || !l3.isNull()))
                fault = QStringLiteral("у перевода есть группа или предмет");
            else if (!l2.isNull() && (!st.columnInt(15) || st.columnInt(8) != 1 || st.columnInt(9) != l1.toLongLong()))
                fault = QStringLiteral("группа не из этой статьи");
            else if (!l3.isNull()
                     && (l2.isNull() || !st.columnInt(16) || st.columnInt(11) != 2
                         || st.columnInt(12) != l2.toLongLong()))
                fault = QStringLiteral("предмет не из этой группы");
            else if (l1.toLongLong() != -1 && expense != income
                     && (wrongWay(7) || (!l2.isNull() && wrongWay(10)) || (!l3.isNull() && wrongWay(13))))
                fault =
                    expense ? QStringLiteral("расход на статье прихода") : QStringLiteral("приход на статье расхода");
            if (!fault.isEmpty())
                add(BookBreach::Kind::Path,
                    QStringLiteral("У %1 неверная статья: %2.").arg(rowText(st.column(0), st.column(1)), fault));
        }
    }

    // Transfers: each real sending row with exactly one receiving row.
    {
        const QHash<qint64, qint64> horizons = OpeningBalances::horizons(db);
        Statement st = db.prepareOnce(QStringLiteral(
            "SELECT s.Id_Account, s.Date_Real, s.Ref_Account, s.Ct, s.Kind, "
            " (SELECT count(*) FROM TB_HIST r WHERE r.Id_Account = s.Ref_Account AND r.Date_Create = s.Date_Create "
            "  AND r.Level1 = -1 AND coalesce(r.Dt,0) > 0 AND r.Kind = '1' AND r.Ref_Account = s.Id_Account), "
            " (SELECT min(r.Dt) FROM TB_HIST r WHERE r.Id_Account = s.Ref_Account AND r.Date_Create = s.Date_Create "
            "  AND r.Level1 = -1 AND coalesce(r.Dt,0) > 0 AND r.Kind = '1') "
            ", s.Date_Create FROM TB_HIST s WHERE s.Level1 = -1 AND coalesce(s.Ct,0) > 0 ORDER BY s.Id_Account, "
            "s.Date_Real, "
            "s.Date_Create"));
        while (st.step()) {
            const QString row = QStringLiteral("Перевод (%1)").arg(rowText(st.column(0), st.column(1)));
            const qint64 target = st.column(2).isNull() ? 0 : st.columnInt(2);
            const bool real = st.column(4).toString() == QLatin1String("1");
            const qint64 receiving = st.columnInt(5);
            if (st.column(2).isNull() || !accounts.contains(target) || target == st.columnInt(0)) {
                add(BookBreach::Kind::Transfer, row + QStringLiteral(" не указывает другой существующий счёт."));
            } else if (real && receiving == 0 && st.column(7).toLongLong() <= horizons.value(target)) {
                // Its receiving row went with the closing of the target account.
            } else if (real && receiving != 1) {
                add(BookBreach::Kind::Transfer,
                    row
                        + (receiving == 0 ? QStringLiteral(" не дошёл до счёта %1.").arg(accountName(target))
                                          : QStringLiteral(" записан на счёт %1 %2 раз(а).")
                                                .arg(accountName(target))
                                                .arg(receiving)));
            } else if (!real && receiving != 0) {
                add(BookBreach::Kind::Transfer,
                    row + QStringLiteral(" ещё запланирован, но уже записан на счёт %1.").arg(accountName(target)));
            } else if (real && accounts.value(target).currency == accounts.value(st.columnInt(0)).currency
                       && units(st.column(6)) != units(st.column(3))) {
                add(BookBreach::Kind::Transfer,
                    row
                        + QStringLiteral(" на %1, а на счёт %2 пришло %3.")
                              .arg(money(units(st.column(3))), accountName(target), money(units(st.column(6)))));
            }
        }
    }

    // Creation moments tell rows apart: only a transfer's two rows share one.
    {
        Statement st = db.prepareOnce(QStringLiteral(
            "SELECT Date_Create, count(*), sum(Level1 = -1) FROM TB_HIST GROUP BY Date_Create HAVING count(*) > 1 AND "
            "NOT (count(*) = 2 AND sum(Level1 = -1) = 2) ORDER BY Date_Create"));
        while (st.step())
            add(BookBreach::Kind::Identifier, QStringLiteral("Момент создания %1 есть у %2 операций.")
                                                  .arg(st.column(0).toString())
                                                  .arg(st.columnInt(1)));
    }
    return out;
}

} // namespace dorv
