#include "ImportRules.h"

#include "data/Database.h"
#include "data/OwnTables.h"
#include "data/Transaction.h"
#include "util/Money.h"

#include <QRegularExpression>

namespace dorv {

bool ImportRule::valid() const
{
    if (pattern.trimmed().isEmpty())
        return false;
    return match != Match::Pattern || QRegularExpression(pattern).isValid();
}

bool ImportRule::matches(const QString& text, qint64 amount, qint64 onAccount) const
{
    if (account != 0 && account != onAccount)
        return false;
    if ((amountFrom >= 0 && amount < amountFrom) || (amountTo >= 0 && amount > amountTo))
        return false;
    switch (match) {
    case Match::Contains:
        return !pattern.isEmpty() && text.contains(pattern, Qt::CaseInsensitive);
    case Match::StartsWith:
        return !pattern.isEmpty() && text.trimmed().startsWith(pattern.trimmed(), Qt::CaseInsensitive);
    case Match::Pattern: {
        const QRegularExpression re(pattern, QRegularExpression::CaseInsensitiveOption);
        return re.isValid() && re.match(text).hasMatch();
    }
    }
    return false;
}

namespace {
QVariant orNull(const QVariant& v) { return v.isNull() ? QVariant() : v; }
QVariant bound(qint64 units) { return units < 0 ? QVariant() : QVariant(fromTenThousandths(units)); }
} // namespace

QList<ImportRule> ImportRules::read(Database& db)
{
    QList<ImportRule> out;
    if (!db.hasTable(QLatin1String(OwnTables::Rules)))
        return out;
    Statement st = db.prepareOnce(
        QStringLiteral("SELECT Id_Rule, Ord, Match_Kind, Pattern, Amount_From, Amount_To, Id_Account, Level1, Level2, "
                       "Level3, ID_Person, ID_Firm FROM TB_IMPORT_RULE ORDER BY Ord, Id_Rule"));
    while (st.step()) {
        ImportRule r;
        r.id = st.columnInt(0);
        r.order = int(st.columnInt(1));
        const qint64 kind = st.columnInt(2);
        r.match = kind == 1 ? ImportRule::Match::StartsWith
                            : (kind == 2 ? ImportRule::Match::Pattern : ImportRule::Match::Contains);
        r.pattern = st.column(3).toString();
        r.amountFrom = st.column(4).isNull() ? -1 : toTenThousandths(st.column(4).toDouble());
        r.amountTo = st.column(5).isNull() ? -1 : toTenThousandths(st.column(5).toDouble());
        r.account = st.column(6).isNull() ? 0 : st.columnInt(6);
        r.level1 = orNull(st.column(7));
        r.level2 = orNull(st.column(8));
        r.level3 = orNull(st.column(9));
        r.person = orNull(st.column(10));
        r.place = orNull(st.column(11));
        out << r;
    }
    return out;
}

qint64 ImportRules::save(Database& db, ImportRule rule)
{
    Transaction change(db);
    OwnTables::ensure(db, QLatin1String(OwnTables::Rules));
    if (rule.id == 0) {
        Statement next =
            db.prepare(QStringLiteral("SELECT coalesce(max(Id_Rule),0)+1, coalesce(max(Ord),0)+1 FROM TB_IMPORT_RULE"));
        next.step();
        rule.id = next.columnInt(0);
        rule.order = int(next.columnInt(1));
    }
    Statement st = db.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO TB_IMPORT_RULE (Id_Rule, Ord, Match_Kind, Pattern, Amount_From, Amount_To, Id_Account, "
        "Level1, Level2, Level3, ID_Person, ID_Firm) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)"));
    st.bindAll({rule.id, rule.order, int(rule.match), rule.pattern, bound(rule.amountFrom), bound(rule.amountTo),
                rule.account == 0 ? QVariant() : QVariant(rule.account), rule.level1, rule.level2, rule.level3,
                rule.person, rule.place});
    st.step();
    change.commit();
    return rule.id;
}

void ImportRules::remove(Database& db, qint64 id)
{
    if (!db.hasTable(QLatin1String(OwnTables::Rules)))
        return;
    Statement st = db.prepare(QStringLiteral("DELETE FROM TB_IMPORT_RULE WHERE Id_Rule=?"));
    st.bind(1, id);
    st.step();
}

void ImportRules::reorder(Database& db, const QList<qint64>& ids)
{
    Transaction change(db);
    OwnTables::ensure(db, QLatin1String(OwnTables::Rules));
    Statement st = db.prepare(QStringLiteral("UPDATE TB_IMPORT_RULE SET Ord=? WHERE Id_Rule=?"));
    for (qsizetype i = 0; i < ids.size(); ++i) {
        st.bindAll({int(i + 1), ids[i]});
        st.step();
        st.reset();
    }
    change.commit();
}

int ImportRules::countInBook(Database& db, const ImportRule& rule)
{
    if (!rule.valid() || !db.hasTable(QLatin1String(OwnTables::BankText)))
        return 0;
    Statement st = db.prepareOnce(
        QStringLiteral("SELECT t.Bank_Text, h.Id_Account, coalesce(h.Dt, h.Ct) FROM TB_IMPORT_TEXT t JOIN TB_HIST h ON "
                       "h.Id_Account=t.Id_Account AND h.Date_Create=t.Date_Create"));
    int count = 0;
    while (st.step())
        if (rule.matches(st.column(0).toString(), toTenThousandths(st.column(2).toDouble()), st.columnInt(1)))
            ++count;
    return count;
}

} // namespace dorv
