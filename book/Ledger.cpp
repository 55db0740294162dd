#include "Ledger.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/OpeningBalances.h"
#include "data/OwnTables.h"
#include "data/Transaction.h"
#include "util/Money.h"
#include "util/Win1251.h"

#include <algorithm>

namespace dorv {

namespace {

constexpr qint64 MaxUnits = qint64(MaxAmount) * 10000;
// A balance may gather many amounts, but it must still be a whole number of ten-thousandths.
constexpr qint64 MaxBalanceUnits = 9'000'000'000'000'000'000;

qint64 unitsOf(const QVariant& v) { return v.isNull() ? 0 : toTenThousandths(v.toDouble()); }

QVariant amountOf(qint64 units) { return units == 0 ? QVariant() : QVariant(fromTenThousandths(units)); }

constexpr qint64 TransferItem = -1;

} // namespace

struct Ledger::Stored {
    OperationKey key;
    qint64 dt = 0, ct = 0, price = 0;
    QVariant level1, level2, level3, person, place, ref;
    bool real() const { return storedReal(key.kind); }
    bool sending() const { return level1.toLongLong() == TransferItem && !level1.isNull() && ct > 0; }
    bool receiving() const { return level1.toLongLong() == TransferItem && !level1.isNull() && dt > 0; }
};

qint64 BookingResult::changeOf(qint64 account) const
{
    qint64 sum = 0;
    for (const auto& [a, change] : balanceChanges)
        if (a == account)
            sum += change;
    return sum;
}

bool Ledger::read(const OperationKey& key, Stored* row)
{
    Statement st = m_db.prepare(
        QStringLiteral("SELECT Dt, Ct, Price, Level1, Level2, Level3, ID_Person, ID_Firm, Ref_Account FROM TB_HIST "
                       "WHERE Id_Account=? AND Date_Real=? AND Date_Create=? AND Kind=?"));
    st.bindAll({key.account, key.date, key.created, key.kind});
    if (!st.step())
        return false;
    row->key = key;
    row->dt = unitsOf(st.column(0));
    row->ct = unitsOf(st.column(1));
    row->price = unitsOf(st.column(2));
    row->level1 = st.column(3);
    row->level2 = st.column(4);
    row->level3 = st.column(5);
    row->person = st.column(6);
    row->place = st.column(7);
    row->ref = st.column(8);
    return true;
}

QString Ledger::accountName(qint64 account)
{
    Statement st = m_db.prepare(QStringLiteral("SELECT Account FROM TB_ACCOUNT WHERE Id_Account=?"));
    st.bind(1, account);
    return st.step() ? st.column(0).toString() : QString();
}

void Ledger::check(const OperationDraft& d)
{
    const QString tooLarge =
        QStringLiteral("Слишком большое число: сумма и цена не могут быть больше %1 !").arg(formatMoney(MaxAmount));
    if (d.amount <= 0)
        throw DbError(QStringLiteral("Нужно ввести положительное число !"));
    if (d.amount > MaxUnits || d.price < 0 || d.price > MaxUnits || d.received < 0 || d.received > MaxUnits)
        throw DbError(tooLarge);
    Statement acc = m_db.prepare(QStringLiteral("SELECT 1 FROM TB_ACCOUNT WHERE Id_Account=?"));
    acc.bind(1, d.account);
    if (!acc.step())
        throw DbError(QStringLiteral("Должен быть открыт счёт!"));
    if (d.direction == OperationDraft::Direction::Transfer) {
        acc.reset();
        acc.bind(1, d.target);
        if (d.target == d.account || !acc.step())
            throw DbError(QStringLiteral("Не выбран целевой счёт ( куда перевести деньги ? ) !"));
    } else if (d.level1.isNull() || d.level1.toLongLong() < 0) {
        throw DbError(QStringLiteral("Операция не записана: не выбрана статья."));
    }
}

void Ledger::changeBalance(qint64 account, qint64 change, BookingResult* result)
{
    if (change == 0)
        return;
    Statement st = m_db.prepare(QStringLiteral("SELECT Rest FROM TB_ACCOUNT WHERE Id_Account=?"));
    st.bind(1, account);
    if (!st.step())
        return;
    qint64 now = 0;
    if (!checkedAdd(unitsOf(st.column(0)), change, &now) || now > MaxBalanceUnits || now < -MaxBalanceUnits)
        throw DbError(QStringLiteral("Остаток счёта «%1» вышел бы за пределы чисел, которые программа считает точно")
                          .arg(accountName(account)));
    Statement up = m_db.prepare(QStringLiteral("UPDATE TB_ACCOUNT SET Rest=? WHERE Id_Account=?"));
    up.bindAll({fromTenThousandths(now), account});
    up.step();
    result->balanceChanges.append({account, change});
}

void Ledger::write(const OperationDraft& d, bool withoutReceiving, BookingResult* result)
{
    check(d);
    const bool transfer = d.direction == OperationDraft::Direction::Transfer;
    const bool income = d.direction == OperationDraft::Direction::Income;
    const QString kind = toStored(d.kind);
    Statement ins = m_db.prepare(QStringLiteral(
        "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1, Level2, Level3, Price, "
        "ID_Person, ID_Firm, Ref_Account) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    ins.bindAll({d.account, d.date, d.created, kind, income ? amountOf(d.amount) : QVariant(),
                 income ? QVariant() : amountOf(d.amount), transfer ? QVariant(TransferItem) : d.level1,
                 transfer ? QVariant() : d.level2, transfer ? QVariant() : d.level3, amountOf(d.price), d.person,
                 d.place, transfer ? QVariant(d.target) : QVariant()});
    ins.step();
    result->row = {d.account, d.date, d.created, kind};
    if (d.kind != OperationKind::Real)
        return;
    changeBalance(d.account, income ? d.amount : -d.amount, result);
    if (!transfer || withoutReceiving)
        return;
    // The receiving row: made at the same moment, on the same day, for what the target gets.
    const qint64 received = d.received != 0 ? d.received : d.amount;
    Statement mirror = m_db.prepare(QStringLiteral(
        "INSERT INTO TB_HIST (Id_Account, Date_Real, Date_Create, Kind, Dt, Ct, Level1, Level2, Level3, Price, "
        "ID_Person, ID_Firm, Ref_Account) VALUES (?,?,?,'1',?,NULL,-1,NULL,NULL,?,?,?,?)"));
    mirror.bindAll({d.target, d.date, d.created, amountOf(received), amountOf(d.price), d.person, d.place, d.account});
    mirror.step();
    changeBalance(d.target, received, result);
}

bool Ledger::receivingRowOf(const QVariant& target, qint64 created, int* date, qint64* received)
{
    Statement find = m_db.prepare(QStringLiteral("SELECT Date_Real, Dt FROM TB_HIST WHERE Id_Account=? AND "
                                                 "Date_Create=? AND Kind='1' AND Level1=-1 AND Dt IS NOT NULL"));
    find.bindAll({target, created});
    if (!find.step())
        return false;
    if (date)
        *date = int(find.columnInt(0));
    if (received)
        *received = unitsOf(find.column(1));
    return true;
}

void Ledger::unwrite(const OperationKey& key, BookingResult* result)
{
    Stored row;
    if (!read(key, &row))
        throw DbError(QStringLiteral("Операция не найдена: возможно, она уже удалена."));
    if (row.receiving())
        throw DbError(QStringLiteral("Поступление перевода меняется только через его отправку."));
    if (row.real()) {
        changeBalance(key.account, row.ct - row.dt, result);
        if (row.sending()) {
            int date = 0;
            qint64 received = 0;
            if (receivingRowOf(row.ref, key.created, &date, &received)) {
                Statement del = m_db.prepare(QStringLiteral(
                    "DELETE FROM TB_HIST WHERE Id_Account=? AND Date_Real=? AND Date_Create=? AND Kind='1'"));
                del.bindAll({row.ref, date, key.created});
                del.step();
                changeBalance(row.ref.toLongLong(), -received, result);
            }
        }
    }
    Statement del = m_db.prepare(
        QStringLiteral("DELETE FROM TB_HIST WHERE Id_Account=? AND Date_Real=? AND Date_Create=? AND Kind=?"));
    del.bindAll({key.account, key.date, key.created, key.kind});
    del.step();
}

BookingResult Ledger::book(const OperationDraft& draft)
{
    BookingResult result;
    Transaction change(m_db);
    write(draft, false, &result);
    change.commit();
    return result;
}

BookingResult Ledger::change(const OperationKey& old, const OperationDraft& draft)
{
    BookingResult result;
    Transaction change(m_db);
    // A transfer whose receiving row went with the closing of its target stays without one while
    // it goes to that target: its money is in the target's opening balance already.
    bool closedAway = false;
    {
        Stored row;
        if (read(old, &row) && row.real() && row.sending() && draft.direction == OperationDraft::Direction::Transfer
            && draft.kind == OperationKind::Real && row.ref.toLongLong() == draft.target) {
            closedAway = !receivingRowOf(row.ref, old.created, nullptr, nullptr)
                         && old.created <= OpeningBalances::horizons(m_db).value(draft.target);
        }
    }
    unwrite(old, &result);
    write(draft, closedAway, &result);
    if (old.account != draft.account && m_db.hasTable(QLatin1String(OwnTables::BankText))) {
        // The bank's text goes with the operation to its new account.
        Statement move =
            m_db.prepare(QStringLiteral("UPDATE TB_IMPORT_TEXT SET Id_Account=? WHERE Id_Account=? AND Date_Create=?"));
        move.bindAll({draft.account, old.account, old.created});
        move.step();
    }
    change.commit();
    return result;
}

BookingResult Ledger::remove(const OperationKey& key)
{
    BookingResult result;
    Transaction change(m_db);
    {
        Stored row;
        if (read(key, &row))
            dropBankText(key.created, {key.account, row.ref.isNull() ? key.account : row.ref.toLongLong()});
    }
    unwrite(key, &result);
    change.commit();
    return result;
}

BookingResult Ledger::closeAccount(qint64 account, bool keepBalance)
{
    BookingResult result;
    Transaction change(m_db);
    // Transfers sent here up to now lose their receiving rows with the history: the closing keeps
    // how far it reached, so that the book still reads sound.
    qint64 horizon = 0;
    {
        Statement last = m_db.prepare(QStringLiteral("SELECT max(Date_Create) FROM TB_HIST WHERE Id_Account=?"));
        last.bind(1, account);
        if (last.step() && !last.column(0).isNull())
            horizon = last.columnInt(0);
        const QHash<qint64, qint64> before = OpeningBalances::horizons(m_db);
        horizon = qMax(horizon, before.value(account));
    }
    Statement del = m_db.prepare(QStringLiteral("DELETE FROM TB_HIST WHERE Id_Account=?"));
    del.bind(1, account);
    del.step();
    if (m_db.hasTable(QLatin1String(OwnTables::BankText))) {
        Statement texts = m_db.prepare(QStringLiteral("DELETE FROM TB_IMPORT_TEXT WHERE Id_Account=?"));
        texts.bind(1, account);
        texts.step();
    }
    qint64 balance = 0;
    {
        // Done with before the balance changes: the statement is the one that change reads with.
        Statement rest = m_db.prepare(QStringLiteral("SELECT Rest FROM TB_ACCOUNT WHERE Id_Account=?"));
        rest.bind(1, account);
        balance = rest.step() ? unitsOf(rest.column(0)) : 0;
    }
    if (!keepBalance)
        changeBalance(account, -balance, &result);
    // With no rows left, what the account holds is its opening balance.
    OpeningBalances::set(m_db, account, keepBalance ? balance : 0, horizon);
    change.commit();
    return result;
}

namespace {
// "Level1=? and Level2 is null and …" with the values to bind, for a path exactly.
QString pathCondition(const CategoryPath& p, QVariantList* values)
{
    QStringList parts;
    for (int i = 0; i < 3; ++i) {
        const QString column = QStringLiteral("Level%1").arg(i + 1);
        if (p.level[i].isValid() && !p.level[i].isNull()) {
            parts << column + QStringLiteral("=?");
            *values << p.level[i].toLongLong();
        } else {
            parts << column + QStringLiteral(" IS NULL");
        }
    }
    return parts.join(QStringLiteral(" AND "));
}
} // namespace

qint64 Ledger::rowsOn(const CategoryPath& path)
{
    QVariantList values;
    Statement st =
        m_db.prepareOnce(QStringLiteral("SELECT count(*) FROM TB_HIST WHERE ") + pathCondition(path, &values));
    st.bindAll(values);
    return st.step() ? st.columnInt(0) : 0;
}

void Ledger::deleteCategory(qint64 item, const CategoryPath& path)
{
    Transaction change(m_db);
    const qint64 count = rowsOn(path);
    if (count != 0)
        throw DbError(QStringLiteral("Удаление невозможно! - %1 связей в истории").arg(count));
    Statement branches = m_db.prepare(QStringLiteral("SELECT count(*) FROM TB_ITEMS WHERE ID_REF=?"));
    branches.bind(1, item);
    if (branches.step() && branches.columnInt(0) > 0)
        throw DbError(QStringLiteral("Удаление невозможно: у статьи есть ответвления."));
    Statement del = m_db.prepare(QStringLiteral("DELETE FROM TB_ITEMS WHERE ID_ITM=?"));
    del.bind(1, item);
    del.step();
    change.commit();
}

qint64 Ledger::moveCategory(qint64 item, const QVariant& parent, int level, const CategoryPath& before,
                            const CategoryPath& after)
{
    // The item's place and the history's paths are one change: both or neither.
    Transaction change(m_db);
    Statement place = m_db.prepare(QStringLiteral("UPDATE TB_ITEMS SET LEV=?, ID_REF=? WHERE ID_ITM=?"));
    place.bindAll({level, parent, item});
    place.step();
    QVariantList values;
    QStringList sets;
    for (int i = 0; i < 3; ++i) {
        sets << QStringLiteral("Level%1=?").arg(i + 1);
        values << (after.level[i].isValid() && !after.level[i].isNull() ? QVariant(after.level[i].toLongLong())
                                                                        : QVariant());
    }
    Statement paths = m_db.prepareOnce(QStringLiteral("UPDATE TB_HIST SET ") + sets.join(QLatin1Char(','))
                                       + QStringLiteral(" WHERE ") + pathCondition(before, &values));
    paths.bindAll(values);
    paths.step();
    const qint64 moved = m_db.changes();
    change.commit();
    return moved;
}

// ---- accounts ----

QString Ledger::accountRemovalRefusal(qint64 account)
{
    Statement st = m_db.prepare(QStringLiteral("SELECT 1 FROM TB_HIST WHERE Id_Account=? LIMIT 1"));
    st.bind(1, account);
    return st.step() ? QStringLiteral("Есть связи в истории!") : QString();
}

void Ledger::removeAccount(qint64 account)
{
    Transaction change(m_db);
    const QString refusal = accountRemovalRefusal(account);
    if (!refusal.isEmpty())
        throw DbError(refusal);
    Statement del = m_db.prepare(QStringLiteral("DELETE FROM TB_ACCOUNT WHERE Id_Account=?"));
    del.bind(1, account);
    del.step();
    // An opening balance left behind would be the next account's of that identifier.
    if (m_db.hasTable(QLatin1String(OpeningBalances::TableName)))
        OpeningBalances::set(m_db, account, 0, 0);
    // Nor does it inherit the bank account numbers that statements were imported under.
    if (m_db.hasTable(QLatin1String(OwnTables::BankAccounts))) {
        Statement numbers = m_db.prepare(QStringLiteral("DELETE FROM TB_IMPORT_ACCOUNT WHERE Id_Account=?"));
        numbers.bind(1, account);
        numbers.step();
    }
    change.commit();
}

// ---- adding and renaming categories ----

namespace {

// The name column holds one line of up to 30 characters of the file's code page; the messages are
// those the column's own check gives.
constexpr int ItemNameSize = 30;
constexpr qint64 MaxItemId = 32767;

void checkStorable(const QString& name)
{
    if (name.size() > ItemNameSize)
        throw DbError(QStringLiteral("Поле «ITM»: текст длиннее %1 символов").arg(ItemNameSize));
    if (std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }))
        throw DbError(QStringLiteral("Поле «ITM»: недопустимый управляющий символ"));
    const qsizetype bad = firstNonWin1251(name);
    if (bad >= 0)
        throw DbError(QStringLiteral("Поле «ITM»: символ «%1» не может быть сохранён")
                          .arg(name.mid(bad, name.at(bad).isHighSurrogate() ? 2 : 1)));
}

// The other direction: what may not lie on or below an item of this one ("0" goes both ways).
QString opposite(const QString& direction)
{
    if (direction == QLatin1String("-"))
        return QStringLiteral("+");
    if (direction == QLatin1String("+"))
        return QStringLiteral("-");
    return {};
}

QString sideName(const QString& direction)
{
    return direction == QLatin1String("+") ? QStringLiteral("прихода") : QStringLiteral("расхода");
}

const QString ItemNotFound = QStringLiteral("Статья не найдена: возможно, она уже удалена.");

} // namespace

QString Ledger::categoryNameKey(const QString& name)
{
    QString key = name;
    for (QChar& c : key)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return key;
}

QString Ledger::checkedCategoryName(const QString& name, const QVariant& item)
{
    const QString stored = name.trimmed();
    if (stored.isEmpty())
        throw DbError(QStringLiteral("Нужно ввести название статьи!"));
    checkStorable(stored);
    // Names are unique across both directions; the categories are few enough to compare them all.
    const QString key = categoryNameKey(stored);
    Statement st = m_db.prepare(QStringLiteral("SELECT ID_ITM, ITM FROM TB_ITEMS"));
    while (st.step()) {
        const bool itself = !item.isNull() && st.columnInt(0) == item.toLongLong();
        if (!itself && categoryNameKey(st.column(1).toString().trimmed()) == key)
            throw DbError(QStringLiteral("Такая статья уже есть!"));
    }
    return stored;
}

bool Ledger::readCategory(qint64 item, CategoryResult* out)
{
    Statement st = m_db.prepare(QStringLiteral("SELECT ITM, LEV, ID_REF, C FROM TB_ITEMS WHERE ID_ITM=?"));
    st.bind(1, item);
    if (!st.step())
        return false;
    out->item = item;
    out->name = st.column(0).toString();
    out->level = int(st.columnInt(1));
    out->parent = st.column(2).isNull() ? QVariant() : QVariant(st.columnInt(2));
    out->direction = st.column(3).toString();
    return true;
}

CategoryResult Ledger::addCategory(const CategoryDraft& draft)
{
    Transaction change(m_db);
    CategoryResult made;
    made.name = checkedCategoryName(draft.name, QVariant());
    made.direction = draft.direction;
    if (draft.direction != QLatin1String("-") && draft.direction != QLatin1String("+")
        && draft.direction != QLatin1String("0"))
        throw DbError(QStringLiteral("Неизвестное направление статьи: «%1»").arg(draft.direction));
    if (!draft.parent.isNull()) {
        CategoryResult parent;
        if (!readCategory(draft.parent.toLongLong(), &parent))
            throw DbError(ItemNotFound);
        if (parent.item < 0)
            throw DbError(QStringLiteral("Ответвления зелёной статьи не поддерживаются!"));
        if (parent.level >= 2)
            throw DbError(QStringLiteral("Невозможно добавить статью на более правый уровень!"));
        const QString against = opposite(draft.direction);
        if (!against.isEmpty() && parent.direction == against)
            throw DbError(QStringLiteral("Ответвление статьи %1 не может быть статьёй %2!")
                              .arg(sideName(parent.direction), sideName(draft.direction)));
        made.parent = parent.item;
        made.level = parent.level + 1;
    }
    // The next identifier after the highest one given, as the record rules give them.
    {
        Statement last = m_db.prepare(QStringLiteral("SELECT max(ID_ITM) FROM TB_ITEMS"));
        const qint64 highest = last.step() && !last.column(0).isNull() ? last.columnInt(0) : 0;
        if (highest >= MaxItemId)
            throw DbError(QStringLiteral("Переполнение: в таблице Tb_Items исчерпаны номера записей (не более %1)")
                              .arg(MaxItemId));
        made.item = highest + 1;
    }
    Statement ins =
        m_db.prepare(QStringLiteral("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (?,?,?,?,?)"));
    ins.bindAll({made.item, made.name, made.parent, made.level, made.direction});
    ins.step();
    change.commit();
    return made;
}

CategoryResult Ledger::renameCategory(qint64 item, const QString& name, const QString& direction)
{
    Transaction change(m_db);
    CategoryResult now;
    if (!readCategory(item, &now))
        throw DbError(ItemNotFound);
    now.name = checkedCategoryName(name, item);
    if (!direction.isEmpty() && direction != now.direction) {
        if (direction != QLatin1String("-") && direction != QLatin1String("+") && direction != QLatin1String("0"))
            throw DbError(QStringLiteral("Неизвестное направление статьи: «%1»").arg(direction));
        if (item < 0)
            throw DbError(QStringLiteral("Направление зелёной статьи не меняется!"));
        // Whatever lies on the item must still be shown in the tree of its direction: its parent,
        // its branches and the rows booked through it.
        const QString against = opposite(direction);
        const QString becomes =
            QStringLiteral("Статья «%1» не может стать статьёй %2: ").arg(now.name, sideName(direction));
        if (!against.isEmpty()) {
            CategoryResult parent;
            if (!now.parent.isNull() && readCategory(now.parent.toLongLong(), &parent) && parent.direction == against)
                throw DbError(QStringLiteral("Ответвление статьи %1 не может быть статьёй %2!")
                                  .arg(sideName(against), sideName(direction)));
            Statement branches = m_db.prepare(
                QStringLiteral("SELECT count(*) FROM TB_ITEMS WHERE C=?2 AND (ID_REF=?1 OR ID_REF IN (SELECT ID_ITM "
                               "FROM TB_ITEMS WHERE ID_REF=?1))"));
            branches.bindAll({item, against});
            if (branches.step() && branches.columnInt(0) > 0)
                throw DbError(becomes + QStringLiteral("у неё есть ответвления %1.").arg(sideName(against)));
            // A row goes through the item at the item's own level of its path.
            Statement rows = m_db.prepare(
                QStringLiteral("SELECT count(*) FROM TB_HIST WHERE Level%1=?1 AND round(coalesce(%2,0)*10000) > 0")
                    .arg(qBound(0, now.level, 2) + 1)
                    .arg(against == QLatin1String("+") ? QLatin1String("Dt") : QLatin1String("Ct")));
            rows.bind(1, item);
            if (rows.step() && rows.columnInt(0) > 0)
                throw DbError(becomes
                              + QStringLiteral("по ней записаны операции %1 (%2).")
                                    .arg(sideName(against))
                                    .arg(rows.columnInt(0)));
        }
        now.direction = direction;
        Statement turn = m_db.prepare(QStringLiteral("UPDATE TB_ITEMS SET C=? WHERE ID_ITM=?"));
        turn.bindAll({direction, item});
        turn.step();
    }
    Statement up = m_db.prepare(QStringLiteral("UPDATE TB_ITEMS SET ITM=? WHERE ID_ITM=?"));
    up.bindAll({now.name, item});
    up.step();
    change.commit();
    return now;
}

OperationDraft Ledger::draftOf(const OperationKey& key)
{
    Stored row;
    if (!read(key, &row))
        throw DbError(QStringLiteral("Операция не найдена: возможно, она уже удалена."));
    OperationDraft d;
    d.account = key.account;
    d.date = key.date;
    d.created = key.created;
    // A row whose mark names no kind has never counted as real: changed, it stays out of the balance.
    d.kind = row.real() ? OperationKind::Real : OperationKind::Planned;
    d.direction = row.sending() ? OperationDraft::Direction::Transfer
                  : row.dt > 0  ? OperationDraft::Direction::Income
                                : OperationDraft::Direction::Expense;
    d.amount = row.dt > 0 ? row.dt : row.ct;
    d.price = row.price;
    d.level1 = row.level1;
    d.level2 = row.level2;
    d.level3 = row.level3;
    d.person = row.person;
    d.place = row.place;
    d.target = row.ref.isNull() ? 0 : row.ref.toLongLong();
    if (row.sending() && row.real())
        receivingRowOf(row.ref, key.created, nullptr, &d.received);
    return d;
}

void Ledger::dropBankText(qint64 created, const QList<qint64>& accounts)
{
    // An imported operation that goes takes the bank's identifier with it, so that the same entry
    // of a later statement is new again and not a duplicate of nothing.
    if (!m_db.hasTable(QLatin1String(OwnTables::BankText)))
        return;
    Statement del = m_db.prepare(QStringLiteral("DELETE FROM TB_IMPORT_TEXT WHERE Id_Account=? AND Date_Create=?"));
    for (const qint64 account : accounts) {
        del.bindAll({account, created});
        del.step();
        del.reset();
    }
}

} // namespace dorv
