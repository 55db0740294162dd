#include "ImportMatcher.h"

#include "data/Database.h"
#include "data/OwnTables.h"
#include "util/DateScale.h"
#include "util/Money.h"

#include <QDate>
#include <QSet>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace dorv {

QString ImportRow::stateText(const QString& transferAccountName) const
{
    switch (state) {
    case State::New:
        return QStringLiteral("новая");
    case State::Duplicate:
        return QStringLiteral("дубликат: ") + why;
    case State::Transfer:
        return QStringLiteral("перевод: ") + transferAccountName;
    case State::Pending:
        return QStringLiteral("в обработке");
    case State::Notice:
        return entry.note.isEmpty() ? QStringLiteral("нулевая сумма") : entry.note;
    }
    return {};
}

QString currencyCode(const QString& text)
{
    QString t = text.trimmed().toUpper();
    t.remove(QLatin1Char('.'));
    if (t.isEmpty())
        return {};
    static const QHash<QString, QString> aliases{
        {QStringLiteral("RUB"), QStringLiteral("RUB")},    {QStringLiteral("RUR"), QStringLiteral("RUB")},
        {QStringLiteral("РУБ"), QStringLiteral("RUB")},    {QStringLiteral("Р"), QStringLiteral("RUB")},
        {QStringLiteral("РУБЛЬ"), QStringLiteral("RUB")},  {QStringLiteral("РУБЛИ"), QStringLiteral("RUB")},
        {QStringLiteral("₽"), QStringLiteral("RUB")},    {QStringLiteral("USD"), QStringLiteral("USD")},
        {QStringLiteral("$"), QStringLiteral("USD")},      {QStringLiteral("ДОЛЛ"), QStringLiteral("USD")},
        {QStringLiteral("ДОЛЛАР"), QStringLiteral("USD")}, {QStringLiteral("EUR"), QStringLiteral("EUR")},
        {QStringLiteral("€"), QStringLiteral("EUR")},      {QStringLiteral("ЕВРО"), QStringLiteral("EUR")},
    };
    const auto it = aliases.constFind(t);
    if (it != aliases.constEnd())
        return *it;
    // Three Latin letters read as an ISO code.
    if (t.size() == 3 && std::all_of(t.begin(), t.end(), [](QChar c) { return c >= 'A' && c <= 'Z'; }))
        return t;
    return {};
}

QString ImportMatcher::counterpartyKey(const StatementEntry& entry)
{
    const QString source = entry.counterparty.trimmed().isEmpty() ? entry.description : entry.counterparty;
    return source.simplified().toLower().left(200);
}

namespace {

// A history row as the matching needs it.
struct HistRow {
    qint64 id = 0; // the row's place in the table, which a claim is kept by
    int date = 0;
    qint64 amount = 0; // ten-thousandths
    bool income = false;
};

qint64 unitsOf(const QVariant& v) { return v.isNull() ? 0 : toTenThousandths(v.toDouble()); }

// An amount and its direction as one number, for looking rows up by both at once.
qint64 keyOf(bool income, qint64 amount) { return amount * 2 + (income ? 1 : 0); }

// The real rows of an account between two days whose amount and direction are among the wanted
// (empty: all). The amounts come out of the database as ten-thousandths: the stored numbers are
// whole ten-thousandths, so rounding there is exact. Only the columns of the sums' index are read,
// so the history's rows themselves are never visited; the few that match are looked up later.
QList<HistRow> rowsOf(Database& db, qint64 account, int from, int to, const QSet<qint64>& wanted)
{
    QList<HistRow> out;
    Statement st = db.prepare(QStringLiteral(
        "SELECT rowid, Date_Real, CAST(round(coalesce(Dt,0)*10000) AS INTEGER), "
        "CAST(round(coalesce(Ct,0)*10000) AS INTEGER) FROM TB_HIST WHERE Id_Account=? AND Date_Real BETWEEN ? AND ? "
        "AND Kind='1'"));
    st.bindAll({account, from, to});
    while (st.step()) {
        const qint64 dt = st.columnInt(2), ct = st.columnInt(3);
        const bool income = dt > 0;
        const qint64 amount = income ? dt : ct;
        if (amount <= 0 || (!wanted.isEmpty() && !wanted.contains(keyOf(income, amount))))
            continue;
        out.append({st.columnInt(0), int(st.columnInt(1)), amount, income});
    }
    return out;
}

// Rows by direction and amount, for finding the nearest unclaimed one.
class RowIndex {
public:
    explicit RowIndex(QList<HistRow> rows) : m_rows(std::move(rows))
    {
        for (qsizetype i = 0; i < m_rows.size(); ++i)
            m_byAmount[keyOf(m_rows[i].income, m_rows[i].amount)] << int(i);
    }
    // The unclaimed row of that direction and amount nearest to the day within the window, or -1.
    int nearest(bool income, qint64 amount, int day, const QSet<qint64>& claimed,
                const std::function<bool(const HistRow&)>& accept = {}) const
    {
        const auto it = m_byAmount.constFind(keyOf(income, amount));
        if (it == m_byAmount.constEnd())
            return -1;
        int best = -1, bestGap = std::numeric_limits<int>::max();
        for (const int i : *it) {
            const HistRow& r = m_rows[i];
            const int gap = qAbs(r.date - day);
            if (gap > ImportMatcher::DayWindow || claimed.contains(r.id) || gap >= bestGap)
                continue;
            if (accept && !accept(r))
                continue;
            best = i;
            bestGap = gap;
        }
        return best;
    }
    const HistRow& at(int i) const { return m_rows[i]; }

private:
    QList<HistRow> m_rows;
    QHash<qint64, QList<int>> m_byAmount;
};

QString dateText(int day) { return dateOfDay(day).toString(QStringLiteral("dd.MM.yyyy")); }

} // namespace

qint64 ImportMatcher::knownAccount(const QString& number)
{
    const QString n = QString(number).remove(QLatin1Char(' '));
    if (n.isEmpty() || !m_db.hasTable(QLatin1String(OwnTables::BankAccounts)))
        return 0;
    Statement st = m_db.prepare(QStringLiteral("SELECT a.Id_Account FROM TB_IMPORT_ACCOUNT i JOIN TB_ACCOUNT a ON "
                                               "a.Id_Account=i.Id_Account WHERE i.Bank_Account=?"));
    st.bind(1, n);
    return st.step() ? st.columnInt(0) : 0;
}

qint64 ImportMatcher::accountOfNumber(const QString& number)
{
    if (const qint64 known = knownAccount(number))
        return known;
    const QString n = QString(number).remove(QLatin1Char(' '));
    if (n.size() < 4)
        return 0;
    // An account named after its number ("Карта *1234", "Счёт 40817…") is that account.
    Statement st = m_db.prepare(QStringLiteral("SELECT Id_Account, Account FROM TB_ACCOUNT"));
    while (st.step()) {
        const QString name = st.column(1).toString().remove(QLatin1Char(' '));
        if (name.contains(n) || (n.size() >= 8 && name.contains(n.right(4)) && name.contains(QLatin1Char('*'))))
            return st.columnInt(0);
    }
    return 0;
}

QList<ImportRow> ImportMatcher::match(const StatementAccount& statement, qint64 account)
{
    QList<ImportRow> rows;
    rows.reserve(statement.entries.size());
    int first = std::numeric_limits<int>::max(), last = std::numeric_limits<int>::min();
    QHash<QString, int> idsInFile;
    for (const StatementEntry& e : statement.entries) {
        ImportRow r;
        r.entry = e;
        if (e.pending) {
            r.state = ImportRow::State::Pending;
            r.ticked = false;
        } else if (e.amount == 0) {
            r.state = ImportRow::State::Notice;
            r.ticked = false;
        }
        rows << r;
        if (e.date != 0) {
            first = qMin(first, e.date);
            last = qMax(last, e.date);
        }
        if (!e.bankId.isEmpty())
            ++idsInFile[e.bankId];
    }
    if (rows.isEmpty() || first > last)
        return rows;
    const int from = first - DayWindow, to = last + DayWindow;

    // Only the amounts the statement has can match; the rest of the history is passed over as read.
    QSet<qint64> same, opposite;
    for (const ImportRow& r : std::as_const(rows)) {
        same.insert(keyOf(r.entry.income, r.entry.amount));
        opposite.insert(keyOf(!r.entry.income, r.entry.amount));
    }
    const RowIndex own(rowsOf(m_db, account, from, to, same));
    // The bank identifiers kept from earlier imports into this account, with their rows.
    QHash<QString, QList<HistRow>> byId;
    QHash<qint64, QString> idOfRow;
    if (m_db.hasTable(QLatin1String(OwnTables::BankText))) {
        Statement st = m_db.prepareOnce(QStringLiteral(
            "SELECT t.Bank_Id, h.Date_Real, h.rowid, h.Kind, h.Dt, h.Ct FROM TB_IMPORT_TEXT t JOIN TB_HIST h ON "
            "h.Id_Account=t.Id_Account AND h.Date_Create=t.Date_Create WHERE t.Id_Account=? AND coalesce(t.Bank_Id,'') "
            "<> ''"));
        st.bind(1, account);
        while (st.step()) {
            HistRow r;
            r.date = int(st.columnInt(1));
            r.id = st.columnInt(2);
            const qint64 dt = unitsOf(st.column(4)), ct = unitsOf(st.column(5));
            r.income = dt > 0;
            r.amount = r.income ? dt : ct;
            byId[st.column(0).toString()] << r;
            idOfRow.insert(r.id, st.column(0).toString());
        }
    }

    // The other accounts of the household, for transfers.
    QList<qint64> others;
    {
        Statement st = m_db.prepare(QStringLiteral("SELECT Id_Account FROM TB_ACCOUNT WHERE Id_Account<>?"));
        st.bind(1, account);
        while (st.step())
            others << st.columnInt(0);
    }
    QHash<qint64, RowIndex*> otherRows;
    std::vector<std::unique_ptr<RowIndex>> keep;
    auto rowsOfOther = [&](qint64 other) -> const RowIndex& {
        auto it = otherRows.constFind(other);
        if (it != otherRows.constEnd())
            return **it;
        keep.push_back(std::make_unique<RowIndex>(rowsOf(m_db, other, from, to, opposite)));
        otherRows.insert(other, keep.back().get());
        return *keep.back();
    };

    // A row of another account found by amount: its creation moment, and whether it is a plain
    // income or expense (a side of a transfer is no other side of a new one).
    Statement detail = m_db.prepareOnce(QStringLiteral(
        "SELECT Date_Create, Ref_Account IS NULL AND coalesce(Level1,0) <> -1 FROM TB_HIST WHERE rowid=?"));
    auto detailsOf = [&detail](qint64 rowid, qint64* created) {
        detail.reset();
        detail.bind(1, rowid);
        if (!detail.step())
            return false;
        if (created)
            *created = detail.columnInt(0);
        return detail.columnInt(1) != 0;
    };

    QSet<qint64> claimed, claimedElsewhere;
    QHash<QString, qint64> targets;
    for (ImportRow& r : rows) {
        if (r.state != ImportRow::State::New)
            continue;
        const StatementEntry& e = r.entry;
        // The bank's identifier: alone enough when the file names it once; when the file repeats
        // it, only with the same day, amount and direction.
        if (!e.bankId.isEmpty()) {
            const bool unique = idsInFile.value(e.bankId) == 1;
            for (const HistRow& h : byId.value(e.bankId)) {
                if (claimed.contains(h.id))
                    continue;
                if (!unique && (h.date != e.date || h.amount != e.amount || h.income != e.income))
                    continue;
                claimed.insert(h.id);
                r.state = ImportRow::State::Duplicate;
                r.why = QStringLiteral("тот же номер операции банка");
                break;
            }
            if (r.state == ImportRow::State::Duplicate) {
                r.ticked = false;
                continue;
            }
        }
        // The same money within a few days, unless the row came from another bank entry.
        const int i = own.nearest(e.income, e.amount, e.date, claimed, [&](const HistRow& h) {
            const QString id = idOfRow.value(h.id);
            return e.bankId.isEmpty() || id.isEmpty() || id == e.bankId;
        });
        if (i >= 0) {
            claimed.insert(own.at(i).id);
            r.state = ImportRow::State::Duplicate;
            r.ticked = false;
            r.why = QStringLiteral("та же сумма ") + dateText(own.at(i).date);
            continue;
        }
        // A transfer: the other side's account number is the household's, or another account of
        // it has the same money going the other way.
        qint64 target = 0;
        if (!e.counterAccount.isEmpty()) {
            // A statement names the same few accounts over and over: each is looked up once.
            auto known = targets.constFind(e.counterAccount);
            if (known == targets.constEnd())
                known = targets.insert(e.counterAccount, accountOfNumber(e.counterAccount));
            target = *known;
        }
        if (target == account)
            target = 0;
        const QList<qint64> candidates = target != 0 ? QList<qint64>{target} : others;
        for (const qint64 other : candidates) {
            const RowIndex& index = rowsOfOther(other);
            const int j = index.nearest(!e.income, e.amount, e.date, claimedElsewhere,
                                        [&](const HistRow& h) { return detailsOf(h.id, nullptr); });
            qint64 created = 0;
            if (j >= 0 && detailsOf(index.at(j).id, &created)) {
                claimedElsewhere.insert(index.at(j).id);
                r.state = ImportRow::State::Transfer;
                r.transferAccount = other;
                r.otherSide = {other, index.at(j).date, created, QStringLiteral("1")};
                break;
            }
        }
        if (r.state == ImportRow::State::New && target != 0) {
            r.state = ImportRow::State::Transfer;
            r.transferAccount = target;
        }
    }
    return rows;
}

void ImportMatcher::suggest(QList<ImportRow>& rows, qint64 account)
{
    const QList<ImportRule> rules = ImportRules::read(m_db);
    const bool texts = m_db.hasTable(QLatin1String(OwnTables::BankText));
    QHash<QString, QVariantList> last;
    for (ImportRow& r : rows) {
        if (r.state == ImportRow::State::Transfer || !r.level1.isNull())
            continue;
        const QString text = r.entry.text();
        bool ruled = false;
        for (const ImportRule& rule : rules) {
            if (rule.matches(text, r.entry.amount, account)) {
                r.level1 = rule.level1;
                r.level2 = rule.level2;
                r.level3 = rule.level3;
                r.person = rule.person;
                r.place = rule.place;
                ruled = true;
                break;
            }
        }
        if (ruled || !texts)
            continue;
        const QString key = counterpartyKey(r.entry);
        if (key.isEmpty())
            continue;
        const QString cacheKey = key + (r.entry.income ? u'+' : u'-');
        auto it = last.find(cacheKey);
        if (it == last.end()) {
            // What was booked last time for the same counterparty, in the same direction.
            Statement st = m_db.prepare(QStringLiteral(
                "SELECT h.Level1, h.Level2, h.Level3, h.ID_Person, h.ID_Firm, h.Dt FROM TB_IMPORT_TEXT t JOIN TB_HIST "
                "h ON h.Id_Account=t.Id_Account AND h.Date_Create=t.Date_Create WHERE t.Counterparty=? AND "
                "h.Ref_Account IS NULL AND h.Level1 >= 0 ORDER BY t.Date_Create DESC"));
            st.bind(1, key);
            QVariantList found;
            while (st.step()) {
                const bool income = unitsOf(st.column(5)) > 0;
                if (income != r.entry.income)
                    continue;
                found = {st.column(0), st.column(1), st.column(2), st.column(3), st.column(4)};
                break;
            }
            it = last.insert(cacheKey, found);
        }
        if (it->size() == 5) {
            r.level1 = it->at(0);
            r.level2 = it->at(1);
            r.level3 = it->at(2);
            r.person = it->at(3);
            r.place = it->at(4);
        }
    }
}

} // namespace dorv
