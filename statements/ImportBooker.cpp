#include "ImportBooker.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/OwnTables.h"
#include "data/Transaction.h"
#include "util/Money.h"

namespace dorv {

qint64 ImportBooker::uncategorisedItem(Database& db)
{
    Statement find = db.prepare(QStringLiteral("SELECT ID_ITM FROM TB_ITEMS WHERE ITM=? AND LEV=0"));
    find.bind(1, uncategorisedName());
    if (find.step())
        return find.columnInt(0);
    Statement next = db.prepare(QStringLiteral("SELECT coalesce(max(ID_ITM),0)+1 FROM TB_ITEMS"));
    next.step();
    const qint64 id = next.columnInt(0);
    Statement ins =
        db.prepare(QStringLiteral("INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C) VALUES (?,?,0,0,'0')"));
    ins.bindAll({id, uncategorisedName()});
    ins.step();
    return id;
}

QString ImportBooker::currencyOf(qint64 account)
{
    Statement st = m_db.prepare(QStringLiteral("SELECT Currency FROM TB_ACCOUNT WHERE Id_Account=?"));
    st.bind(1, account);
    return st.step() ? st.column(0).toString() : QString();
}

bool ImportBooker::needsReceived(const ImportRow& row, qint64 account)
{
    if (row.state != ImportRow::State::Transfer || row.otherSide.created != 0)
        return false;
    const QString a = currencyOf(account), b = currencyOf(row.transferAccount);
    const QString ca = currencyCode(a), cb = currencyCode(b);
    return !(ca.isEmpty() || cb.isEmpty() ? a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0 : ca == cb);
}

void ImportBooker::keepText(qint64 account, qint64 created, const StatementEntry& entry)
{
    Statement st = m_db.prepare(QStringLiteral("INSERT OR REPLACE INTO TB_IMPORT_TEXT (Id_Account, Date_Create, "
                                               "Bank_Id, Bank_Text, Counterparty) VALUES (?,?,?,?,?)"));
    st.bindAll({account, created, entry.bankId.isEmpty() ? QVariant() : QVariant(entry.bankId), entry.text(),
                ImportMatcher::counterpartyKey(entry)});
    st.step();
}

namespace {
// The rate of a transfer between currencies as the card keeps it: what one unit sent brings.
qint64 rateOf(qint64 sent, qint64 received)
{
    if (sent <= 0 || received <= 0 || sent == received)
        return 0;
    return qint64((static_cast<long double>(received) * 10000.0L) / static_cast<long double>(sent) + 0.5L);
}
} // namespace

int ImportBooker::book(const QList<ImportRow>& rows, qint64 account, const QString& bankAccount,
                       const QHash<int, qint64>& received)
{
    Transaction change(m_db);
    OwnTables::ensure(m_db, QLatin1String(OwnTables::BankText));
    Ledger ledger(m_db);
    int booked = 0;
    qint64 uncategorised = -1;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ImportRow& r = rows[i];
        if (!r.ticked || r.entry.amount <= 0)
            continue;
        const StatementEntry& e = r.entry;
        if (r.state == ImportRow::State::Transfer && r.transferAccount != 0) {
            const qint64 other = r.transferAccount;
            if (r.otherSide.created != 0 && e.income) {
                // The other account's expense becomes the transfer that brought this money.
                OperationDraft d = ledger.draftOf(r.otherSide);
                d.direction = OperationDraft::Direction::Transfer;
                d.target = account;
                d.received = e.amount == d.amount ? 0 : e.amount;
                d.price = rateOf(d.amount, e.amount);
                d.level1 = d.level2 = d.level3 = QVariant();
                ledger.change(r.otherSide, d);
                keepText(account, d.created, e);
            } else {
                OperationDraft d;
                d.direction = OperationDraft::Direction::Transfer;
                d.date = e.date;
                d.created = m_nextMoment();
                qint64 otherAmount = received.value(int(i), e.amount);
                if (r.otherSide.created != 0) {
                    // The other account's income becomes the receiving side of this transfer.
                    const OperationDraft there = ledger.draftOf(r.otherSide);
                    otherAmount = there.amount;
                    d.person = there.person;
                    d.place = there.place;
                    ledger.remove(r.otherSide);
                }
                if (e.income) {
                    d.account = other;
                    d.target = account;
                    d.amount = otherAmount;
                    d.received = otherAmount == e.amount ? 0 : e.amount;
                    d.price = rateOf(otherAmount, e.amount);
                } else {
                    d.account = account;
                    d.target = other;
                    d.amount = e.amount;
                    d.received = otherAmount == e.amount ? 0 : otherAmount;
                    d.price = rateOf(e.amount, otherAmount);
                }
                ledger.book(d);
                keepText(account, d.created, e);
            }
            ++booked;
            continue;
        }
        OperationDraft d;
        d.direction = e.income ? OperationDraft::Direction::Income : OperationDraft::Direction::Expense;
        d.account = account;
        d.amount = e.amount;
        d.date = e.date;
        d.created = m_nextMoment();
        if (r.level1.isNull()) {
            if (uncategorised < 0)
                uncategorised = uncategorisedItem(m_db);
            d.level1 = uncategorised;
        } else {
            d.level1 = r.level1;
            d.level2 = r.level2;
            d.level3 = r.level3;
        }
        d.person = r.person;
        d.place = r.place;
        ledger.book(d);
        keepText(account, d.created, e);
        ++booked;
    }
    const QString number = QString(bankAccount).remove(QLatin1Char(' '));
    if (!number.isEmpty()) {
        OwnTables::ensure(m_db, QLatin1String(OwnTables::BankAccounts));
        Statement st = m_db.prepare(
            QStringLiteral("INSERT OR REPLACE INTO TB_IMPORT_ACCOUNT (Bank_Account, Id_Account) VALUES (?,?)"));
        st.bindAll({number, account});
        st.step();
    }
    change.commit();
    return booked;
}

} // namespace dorv
