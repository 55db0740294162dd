#include "StepNames.h"

#include "data/ChangeRecorder.h"
#include "data/Meanings.h"
#include "util/Money.h"

#include <QHash>

#include <algorithm>

namespace dorv {

namespace {

struct Noun {
    const char* table;
    const char* nominative;
    const char* genitive;
    const char* nameColumn; // null: the row has no name worth showing
};

constexpr Noun Nouns[] = {
    {"TB_ITEMS", "статья", "статьи", "ITM"},      {"TB_ACCOUNT", "счёт", "счёта", "ACCOUNT"},
    {"TB_PERSON", "человек", "человека", "NAME"}, {"TB_FAMILY", "член семьи", "члена семьи", "NAME"},
    {"TB_FIRM", "фирма", "фирмы", "FIRM"},        {"TB_LOG", "запись дневника", "записи дневника", nullptr},
};

const QString Hist = QStringLiteral("TB_HIST");

// The table whose row names a step that changed several: a category's move also rewrites the
// paths of the history, a booking also the balances of the accounts.
const char* const Priority[] = {"TB_ITEMS", "TB_HIST", "TB_ACCOUNT", "TB_PERSON", "TB_FAMILY", "TB_FIRM", "TB_LOG"};

// The rows of a table kept for naming a step: an operation is one row, a transfer two, and a change
// of a row's date or kind (parts of its key) arrives as its deletion and its insertion.
constexpr int KeptRows = 16;

const Noun* nounOf(const QString& table)
{
    for (const Noun& n : Nouns)
        if (table == QLatin1String(n.table))
            return &n;
    return nullptr;
}

QString quoted(const QString& text) { return QStringLiteral("«%1»").arg(text.trimmed()); }

bool present(const QVariant& v) { return v.isValid() && !v.isNull(); }

// Names of the categories and accounts the rows refer to: those the step itself wrote (a deleted
// category is no longer in the data), else as the data has them.
class Names {
public:
    explicit Names(const RowLookup& lookup) : m_lookup(lookup) {}

    void learn(const ChangedRow& row)
    {
        if (row.table == QLatin1String("TB_ITEMS"))
            remember(m_items, row.value(QStringLiteral("ID_ITM")), row.value(QStringLiteral("ITM")));
        else if (row.table == QLatin1String("TB_ACCOUNT"))
            remember(m_accounts, row.value(QStringLiteral("ID_ACCOUNT")), row.value(QStringLiteral("ACCOUNT")));
    }
    QString item(const QVariant& id)
    {
        return find(m_items, QStringLiteral("TB_ITEMS"), QStringLiteral("ID_ITM"), QStringLiteral("ITM"), id);
    }
    QString account(const QVariant& id)
    {
        return find(m_accounts, QStringLiteral("TB_ACCOUNT"), QStringLiteral("ID_ACCOUNT"), QStringLiteral("ACCOUNT"),
                    id);
    }
    QVariantMap row(const QString& table, const QVariantMap& key) const
    {
        return m_lookup ? m_lookup(table, key) : QVariantMap();
    }

private:
    static void remember(QHash<qint64, QString>& names, const QVariant& id, const QVariant& name)
    {
        if (present(id) && present(name))
            names.insert(id.toLongLong(), name.toString());
    }
    QString find(QHash<qint64, QString>& names, const QString& table, const QString& keyColumn,
                 const QString& nameColumn, const QVariant& id)
    {
        if (!present(id))
            return {};
        const qint64 key = id.toLongLong();
        auto it = names.constFind(key);
        if (it != names.constEnd())
            return *it;
        const QString name = row(table, {{keyColumn, key}}).value(nameColumn).toString();
        names.insert(key, name);
        return name;
    }

    const RowLookup& m_lookup;
    QHash<qint64, QString> m_items, m_accounts;
};

// A row with its values before and after the step, whole: an update carries only what it changed,
// the rest is read from the data as the step left it.
struct WholeRow {
    ChangedRow::Op op = ChangedRow::Op::Insert;
    QVariantMap before, after;
    const QVariantMap& values() const { return op == ChangedRow::Op::Delete ? before : after; }
};

WholeRow wholeRow(const ChangedRow& row, const Names& names)
{
    WholeRow w;
    w.op = row.op;
    switch (row.op) {
    case ChangedRow::Op::Insert:
        w.after = row.lastValues();
        break;
    case ChangedRow::Op::Delete:
        w.before = row.firstValues();
        break;
    case ChangedRow::Op::Update: {
        QVariantMap now = names.row(row.table, row.keyValues());
        const QVariantMap changed = row.lastValues();
        for (auto it = changed.constBegin(); it != changed.constEnd(); ++it)
            now.insert(it.key(), it.value());
        w.after = now;
        w.before = now;
        const QVariantMap old = row.firstValues();
        for (auto it = old.constBegin(); it != old.constEnd(); ++it)
            w.before.insert(it.key(), it.value());
        break;
    }
    }
    return w;
}

// ---- the history ----

bool isTransfer(const QVariantMap& v) { return present(v.value("LEVEL1")) && v.value("LEVEL1").toLongLong() == -1; }

bool positive(const QVariant& v) { return present(v) && toTenThousandths(v.toDouble()) > 0; }

// The receiving row of a transfer: it follows its sending row and never names the step.
bool isReceiving(const QVariantMap& v) { return isTransfer(v) && positive(v.value("DT")) && !positive(v.value("CT")); }

// "350.00 «Картофель»": the amount and the category (for a transfer the account it goes to).
QString amountAndSubject(const QVariantMap& v, Names& names)
{
    const bool expense = positive(v.value("CT"));
    QString text = formatMoney(v.value(expense ? "CT" : "DT").toDouble());
    QString subject;
    if (isTransfer(v)) {
        subject = names.account(v.value("REF_ACCOUNT"));
    } else {
        for (const char* level : {"LEVEL3", "LEVEL2", "LEVEL1"}) {
            if (present(v.value(level))) {
                subject = names.item(v.value(level));
                break;
            }
        }
    }
    if (!subject.trimmed().isEmpty())
        text += QLatin1Char(' ') + quoted(subject);
    return text;
}

QString operationName(const WholeRow& op, Names& names)
{
    const QVariantMap& v = op.values();
    const bool transfer = isTransfer(v);
    const QString tail = amountAndSubject(v, names);
    switch (op.op) {
    case ChangedRow::Op::Insert:
        return (transfer                  ? QStringLiteral("перевод ")
                : positive(v.value("CT")) ? QStringLiteral("расход ")
                                          : QStringLiteral("приход "))
               + tail;
    case ChangedRow::Op::Update: {
        const bool realised =
            storedPlanned(op.before.value("KIND").toString()) && storedReal(op.after.value("KIND").toString());
        return (realised ? QStringLiteral("реализация ") : QStringLiteral("изменение "))
               + (transfer ? QStringLiteral("перевода ") : QStringLiteral("операции ")) + tail;
    }
    case ChangedRow::Op::Delete:
        break;
    }
    return QStringLiteral("удаление ") + (transfer ? QStringLiteral("перевода ") : QStringLiteral("операции ")) + tail;
}

// The operations of the history rows: a deletion and an insertion of the same operation (its
// account and creation moment) are one change of it.
QList<WholeRow> operationsOf(const QList<ChangedRow>& rows, const Names& names)
{
    QList<WholeRow> ops;
    QHash<QString, int> byMoment;
    for (const ChangedRow& r : rows) {
        const QString moment = r.value(QStringLiteral("ID_ACCOUNT")).toString() + QLatin1Char('/')
                               + r.value(QStringLiteral("DATE_CREATE")).toString();
        const auto it = byMoment.constFind(moment);
        if (it != byMoment.constEnd() && r.op != ChangedRow::Op::Update && ops[*it].op != ChangedRow::Op::Update
            && ops[*it].op != r.op) {
            WholeRow& pair = ops[*it];
            if (r.op == ChangedRow::Op::Insert)
                pair.after = r.lastValues();
            else
                pair.before = r.firstValues();
            pair.op = ChangedRow::Op::Update;
            continue;
        }
        byMoment.insert(moment, int(ops.size()));
        ops << wholeRow(r, names);
    }
    return ops;
}

// ---- every other table ----

// A changeset keeps no order within a table: of several rows the one that names the step is an
// insertion before a deletion before an update, then the lowest key.
const ChangedRow& firstOf(const QList<ChangedRow>& rows)
{
    const auto rank = [](ChangedRow::Op op) {
        return op == ChangedRow::Op::Insert ? 0 : op == ChangedRow::Op::Delete ? 1 : 2;
    };
    const auto lower = [](const QVariant& a, const QVariant& b) {
        bool na = false, nb = false;
        const double da = a.toDouble(&na), db = b.toDouble(&nb);
        return na && nb ? da < db : a.toString() < b.toString();
    };
    const auto before = [&](const ChangedRow& a, const ChangedRow& b) {
        if (rank(a.op) != rank(b.op))
            return rank(a.op) < rank(b.op);
        const QVariantList ka = a.keyValues().values(), kb = b.keyValues().values();
        for (int i = 0; i < qMin(ka.size(), kb.size()); ++i) {
            if (lower(ka.at(i), kb.at(i)))
                return true;
            if (lower(kb.at(i), ka.at(i)))
                return false;
        }
        return false;
    };
    return *std::min_element(rows.cbegin(), rows.cend(), before);
}

QString rowName(const QString& table, const WholeRow& row, int others)
{
    const Noun* noun = nounOf(table);
    if (!noun)
        return QStringLiteral("изменение данных");
    QString name;
    if (noun->nameColumn)
        name = row.values().value(QString::fromLatin1(noun->nameColumn)).toString().trimmed();
    QString text;
    if (row.op == ChangedRow::Op::Delete)
        text = QStringLiteral("удаление ") + QString::fromUtf8(noun->genitive);
    else if (table == QLatin1String("TB_ITEMS") && row.op == ChangedRow::Op::Update) {
        const auto moved = [&](const char* column) { return row.before.value(column) != row.after.value(column); };
        text = moved("ID_REF") || moved("LEV") ? QStringLiteral("перемещение статьи")
               : moved("ITM")                  ? QStringLiteral("переименование статьи")
                                               : QStringLiteral("изменение статьи");
    } else
        text = QString::fromUtf8(noun->nominative);
    if (!name.isEmpty())
        text += QLatin1Char(' ') + quoted(name);
    if (others > 0)
        text += QStringLiteral(" и ещё %1").arg(others);
    return text;
}

} // namespace

StepSummary summarizeStep(ChangesetReader& reader, const RowLookup& lookup, const QString& hint)
{
    Names names(lookup);
    QHash<QString, QList<ChangedRow>> kept;
    QHash<QString, int> counts;
    bool historyDeletesOnly = true;
    while (reader.next()) {
        const QString table = reader.table();
        ++counts[table];
        if (table == Hist) {
            historyDeletesOnly = historyDeletesOnly && reader.op() == ChangedRow::Op::Delete;
            if (kept[table].size() < KeptRows)
                kept[table] << reader.row();
            continue;
        }
        // Categories and accounts are few: all their rows give names.
        const bool named = table == QLatin1String("TB_ITEMS") || table == QLatin1String("TB_ACCOUNT");
        if (named || kept[table].size() < KeptRows) {
            const ChangedRow row = reader.row();
            names.learn(row);
            if (kept[table].size() < KeptRows)
                kept[table] << row;
        }
    }

    StepSummary s;
    const QList<ChangedRow>& history = kept.value(Hist);
    // An account's history emptied at once: its closing (with one row only the hint tells it from
    // the deletion of that row).
    if (!history.isEmpty() && historyDeletesOnly && counts.value(Hist) >= (hint.isEmpty() ? 2 : 1)
        && !kept.contains(QStringLiteral("TB_ITEMS"))) {
        const QVariant account = history.first().value(QStringLiteral("ID_ACCOUNT"));
        const bool one = std::all_of(history.cbegin(), history.cend(), [&](const ChangedRow& r) {
            return r.value(QStringLiteral("ID_ACCOUNT")) == account;
        });
        if (one) {
            s.table = QStringLiteral("TB_ACCOUNT");
            s.before = s.after = QVariantMap{{QStringLiteral("ID_ACCOUNT"), account}};
            s.what = hint.isEmpty() ? QStringLiteral("закрытие счёта ") + quoted(names.account(account)) : hint;
            return s;
        }
    }
    for (const char* t : Priority) {
        const QString table = QString::fromLatin1(t);
        if (!kept.contains(table))
            continue;
        WholeRow primary;
        if (table == Hist) {
            const QList<WholeRow> ops = operationsOf(history, names);
            primary = ops.first();
            for (const WholeRow& op : ops) {
                if (!isReceiving(op.values())) {
                    primary = op;
                    break;
                }
            }
            s.what = operationName(primary, names);
        } else {
            primary = wholeRow(firstOf(kept.value(table)), names);
            s.what = rowName(table, primary, counts.value(table) - 1);
        }
        s.table = table;
        s.before = primary.before;
        s.after = primary.after;
        break;
    }
    if (s.what.isEmpty())
        s.what = QStringLiteral("изменение данных");
    if (!hint.isEmpty())
        s.what = hint;
    return s;
}

QString describeRow(const ChangedRow& row, const RowLookup& lookup)
{
    Names names(lookup);
    names.learn(row);
    // The row as it now is where it is there; else as the change expected to find it.
    WholeRow whole;
    whole.after = names.row(row.table, row.keyValues());
    if (whole.after.isEmpty())
        whole.after = row.firstValues().isEmpty() ? row.lastValues() : row.firstValues();
    if (row.table == Hist)
        return (isTransfer(whole.after) ? QStringLiteral("перевод ") : QStringLiteral("операция "))
               + amountAndSubject(whole.after, names);
    return rowName(row.table, whole, 0);
}

} // namespace dorv
