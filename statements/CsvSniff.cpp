#include "CsvReader.h"

#include "CsvRecords.h"
#include "StatementValues.h"
#include "TextDecoding.h"

#include <QHash>
#include <QSet>

namespace dorv {

namespace {

// How many records are looked at to find the separator, the header and the columns' roles.
constexpr qsizetype SniffRecords = 200;
constexpr qsizetype SampleRows = 5;

// A header word matches a whole header equal to it; a short word (up to three letters: "af", "bij",
// "id") only as a word of its own, a longer one anywhere in the header.
bool matches(const QString& header, const QStringList& words)
{
    static const auto tokensOf = [](const QString& h) {
        QStringList tokens;
        QString t;
        for (const QChar c : h) {
            if (c.isLetterOrNumber()) {
                t += c;
            } else if (!t.isEmpty()) {
                tokens << t;
                t.clear();
            }
        }
        if (!t.isEmpty())
            tokens << t;
        return tokens;
    };
    const QStringList tokens = tokensOf(header);
    for (const QString& w : words) {
        if (header == w)
            return true;
        if (w.size() <= 3 ? tokens.contains(w) : header.contains(w))
            return true;
    }
    return false;
}

const QStringList DirectionWords{
    QStringLiteral("creditdebet"),   QStringLiteral("creditdebit"),  QStringLiteral("credit/debit"),
    QStringLiteral("debit/credit"),  QStringLiteral("debet/credit"), QStringLiteral("af bij"),
    QStringLiteral("af/bij"),        QStringLiteral("bij/af"),       QStringLiteral("d/c"),
    QStringLiteral("c/d"),           QStringLiteral("dc"),           QStringLiteral("cd"),
    QStringLiteral("dr/cr"),         QStringLiteral("cr/dr"),        QStringLiteral("soll/haben"),
    QStringLiteral("s/h"),           QStringLiteral("cdtdbtind"),    QStringLiteral("направление"),
    QStringLiteral("приход/расход"), QStringLiteral("тип операции"), QStringLiteral("вид операции"),
    QStringLiteral("indicator"),     QStringLiteral("sens"),         QStringLiteral("type")};
const QStringList DateWords{QStringLiteral("дата"),  QStringLiteral("date"), QStringLiteral("datum"),
                            QStringLiteral("fecha"), QStringLiteral("data"), QStringLiteral("день")};
const QStringList CreditWords{QStringLiteral("приход"),   QStringLiteral("поступлени"), QStringLiteral("зачислени"),
                              QStringLiteral("credit"),   QStringLiteral("crédit"),     QStringLiteral("haben"),
                              QStringLiteral("bij"),      QStringLiteral("einnahme"),   QStringLiteral("gutschrift"),
                              QStringLiteral("income"),   QStringLiteral("deposit"),    QStringLiteral("paid in"),
                              QStringLiteral("money in"), QStringLiteral("recette"),    QStringLiteral("in")};
const QStringList DebitWords{QStringLiteral("расход"),     QStringLiteral("списани"),  QStringLiteral("debit"),
                             QStringLiteral("débit"),      QStringLiteral("debet"),    QStringLiteral("soll"),
                             QStringLiteral("af"),         QStringLiteral("ausgabe"),  QStringLiteral("lastschrift"),
                             QStringLiteral("withdrawal"), QStringLiteral("paid out"), QStringLiteral("money out"),
                             QStringLiteral("dépense"),    QStringLiteral("depense"),  QStringLiteral("out")};
const QStringList AmountWords{QStringLiteral("сумма"),  QStringLiteral("amount"),  QStringLiteral("betrag"),
                              QStringLiteral("bedrag"), QStringLiteral("montant"), QStringLiteral("importe"),
                              QStringLiteral("umsatz"), QStringLiteral("sum"),     QStringLiteral("value")};
const QStringList CurrencyWords{QStringLiteral("валюта"),  QStringLiteral("currency"),   QStringLiteral("währung"),
                                QStringLiteral("wahrung"), QStringLiteral("valutacode"), QStringLiteral("devise"),
                                QStringLiteral("ccy"),     QStringLiteral("cur"),        QStringLiteral("munt")};
const QStringList CounterWords{
    QStringLiteral("tegen"),        QStringLiteral("gegen"),        QStringLiteral("контрагент"),
    QStringLiteral("получател"),    QStringLiteral("плательщ"),     QStringLiteral("корреспондент"),
    QStringLiteral("counter"),      QStringLiteral("payee"),        QStringLiteral("payer"),
    QStringLiteral("beneficiary"),  QStringLiteral("empfänger"),    QStringLiteral("auftraggeber"),
    QStringLiteral("begünstigter"), QStringLiteral("bénéficiaire"), QStringLiteral("beneficiaire"),
    QStringLiteral("opposing"),     QStringLiteral("tiers")};
const QStringList AccountWords{QStringLiteral("счет"),    QStringLiteral("rekening"), QStringLiteral("konto"),
                               QStringLiteral("account"), QStringLiteral("iban"),     QStringLiteral("compte"),
                               QStringLiteral("карт"),    QStringLiteral("card")};
const QStringList NameWords{QStringLiteral("houder"),       QStringLiteral("naam"), QStringLiteral("name"),
                            QStringLiteral("наименование"), QStringLiteral("имя"),  QStringLiteral("nom"),
                            QStringLiteral("inhaber")};
const QStringList NotAccountWords{QStringLiteral("тип"), QStringLiteral("type"), QStringLiteral("валют"),
                                  QStringLiteral("bank"), QStringLiteral("банк")};
const QStringList StatusWords{QStringLiteral("статус"), QStringLiteral("status"), QStringLiteral("состояние"),
                              QStringLiteral("state")};
const QStringList BankIdWords{QStringLiteral("референс"),
                              QStringLiteral("reference"),
                              QStringLiteral("referentie"),
                              QStringLiteral("referenz"),
                              QStringLiteral("référence"),
                              QStringLiteral("номер операции"),
                              QStringLiteral("номер документа"),
                              QStringLiteral("номер транзакции"),
                              QStringLiteral("transaction id"),
                              QStringLiteral("id операции"),
                              QStringLiteral("fitid"),
                              QStringLiteral("номер"),
                              QStringLiteral("№")};
const QStringList DescriptionWords{QStringLiteral("описание"),     QStringLiteral("назначение"),
                                   QStringLiteral("description"),  QStringLiteral("verwendungszweck"),
                                   QStringLiteral("omschrijving"), QStringLiteral("libellé"),
                                   QStringLiteral("libelle"),      QStringLiteral("remarque"),
                                   QStringLiteral("text"),         QStringLiteral("memo"),
                                   QStringLiteral("details"),      QStringLiteral("mededeling"),
                                   QStringLiteral("комментари"),   QStringLiteral("детали"),
                                   QStringLiteral("purpose"),      QStringLiteral("примечание"),
                                   QStringLiteral("основание"),    QStringLiteral("narrative"),
                                   QStringLiteral("concepto"),     QStringLiteral("payment")};

// The pairs of direction marks a column may hold.
struct MarkPair {
    QStringList income, expense;
};
const QList<MarkPair>& markPairs()
{
    static const QList<MarkPair> pairs{
        {{QStringLiteral("+")}, {QStringLiteral("-")}},
        {{QStringLiteral("c"), QStringLiteral("cr"), QStringLiteral("credit"), QStringLiteral("crédit")},
         {QStringLiteral("d"), QStringLiteral("dr"), QStringLiteral("debit"), QStringLiteral("debet"),
          QStringLiteral("débit")}},
        {{QStringLiteral("зачисление"), QStringLiteral("приход"), QStringLiteral("поступление"),
          QStringLiteral("пополнение")},
         {QStringLiteral("списание"), QStringLiteral("расход")}},
        {{QStringLiteral("bij")}, {QStringLiteral("af")}},
        {{QStringLiteral("haben"), QStringLiteral("h"), QStringLiteral("gutschrift")},
         {QStringLiteral("soll"), QStringLiteral("s"), QStringLiteral("lastschrift")}},
    };
    return pairs;
}

// The marks of a column when all its values are direction marks of one pair; the marks as the file
// writes them.
bool directionMarks(const QStringList& values, QStringList* income, QStringList* expense)
{
    for (const MarkPair& pair : markPairs()) {
        QStringList in, out;
        bool all = true, any = false;
        for (const QString& v : values) {
            if (v.isEmpty())
                continue;
            any = true;
            const QString l = v.toLower();
            if (pair.income.contains(l)) {
                if (!in.contains(v))
                    in << v;
            } else if (pair.expense.contains(l)) {
                if (!out.contains(v))
                    out << v;
            } else {
                all = false;
                break;
            }
        }
        if (all && any) {
            *income = in.isEmpty() ? QStringList{pair.income.first()} : in;
            *expense = out.isEmpty() ? QStringList{pair.expense.first()} : out;
            return true;
        }
    }
    return false;
}

struct ColumnFacts {
    QStringList values; // trimmed, of the sample rows
    int nonEmpty = 0, dates = 0, amounts = 0, decimals = 0, signs = 0;
};

ColumnFacts factsOf(const QList<CsvRecord>& rows, int column)
{
    ColumnFacts f;
    for (const CsvRecord& r : rows) {
        const QString v = column < r.fields.size() ? r.fields[column].trimmed() : QString();
        f.values << v;
        if (v.isEmpty())
            continue;
        ++f.nonEmpty;
        DateShape shape;
        bool settled = false;
        if (guessDateShape(v, &shape, &settled)) {
            ++f.dates;
            continue;
        }
        qint64 units = 0;
        if (parseStatementAmount(v, u',', &units)) {
            ++f.amounts;
            if (v.contains(u',') || v.contains(u'.'))
                ++f.decimals;
            if (units < 0 || v.startsWith(u'+'))
                ++f.signs;
        }
    }
    return f;
}

// The separator under which most of the first records share one field count above one.
QChar findSeparator(const QString& text, int* fieldCount)
{
    QChar best;
    qsizetype bestScore = 0;
    for (const QChar sep : {QChar(u';'), QChar(u'\t'), QChar(u',')}) {
        const QList<CsvRecord> records = splitCsvRecords(text, sep, 60);
        QHash<int, qsizetype> counts;
        for (const CsvRecord& r : records)
            if (r.fields.size() > 1)
                ++counts[int(r.fields.size())];
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.value() > bestScore || (it.value() == bestScore && best == sep && it.key() > *fieldCount)) {
                best = sep;
                bestScore = it.value();
                *fieldCount = it.key();
            }
        }
    }
    return best;
}

int nonEmptyCount(const CsvRecord& r)
{
    int n = 0;
    for (const QString& f : r.fields)
        n += f.trimmed().isEmpty() ? 0 : 1;
    return n;
}

// The decimal separator the amounts of the given columns use: a value with both marks uses the later
// one; a value with one mark not followed by three digits uses it. *sure is false when no value says.
QChar findDecimal(const QList<CsvRecord>& rows, const QList<int>& columns, QChar fallback, bool* sure, bool* matters)
{
    int commas = 0, points = 0;
    *matters = false;
    for (const CsvRecord& r : rows) {
        for (const int c : columns) {
            if (c < 0 || c >= r.fields.size())
                continue;
            const QString v = r.fields[c].trimmed();
            const qsizetype dot = v.lastIndexOf(u'.'), comma = v.lastIndexOf(u',');
            if (dot >= 0 && comma >= 0) {
                (dot > comma ? points : commas) += 1;
            } else if (dot >= 0 || comma >= 0) {
                const qsizetype at = qMax(dot, comma);
                const bool once = v.count(v[at]) == 1;
                if (once && v.size() - at - 1 != 3)
                    (dot >= 0 ? points : commas) += 1;
                else if (once)
                    *matters = true; // "1,500": a thousand or one and a half
            }
        }
    }
    *sure = commas != points;
    if (!*sure)
        return fallback;
    return commas > points ? u',' : u'.';
}

} // namespace

CsvSniff sniffCsv(const QByteArray& bytes)
{
    CsvSniff sniff;
    CsvProfile& p = sniff.profile;
    const QString text = decodeStatementText(bytes, QString(), &p.encoding);
    int fieldCount = 0;
    const QChar sep = findSeparator(text, &fieldCount);
    if (sep.isNull()) {
        sniff.unsettled << QStringLiteral("разделитель") << QStringLiteral("столбец даты")
                        << QStringLiteral("столбец суммы");
        return sniff;
    }
    p.separator = sep;
    const QList<CsvRecord> records = splitCsvRecords(text, sep, SniffRecords);

    // The header (or the first entry) is the first record as wide as the table with most of its fields
    // filled; what comes before it ("KNAB EXPORT;;;;", the bank's title lines) is a preamble.
    QList<int> filled;
    for (const CsvRecord& r : records)
        if (r.fields.size() == fieldCount)
            filled << nonEmptyCount(r);
    std::sort(filled.begin(), filled.end());
    const int typical = filled.isEmpty() ? 2 : filled[filled.size() / 2];
    qsizetype start = 0;
    while (start < records.size()
           && !(records[start].fields.size() >= fieldCount - 1 && nonEmptyCount(records[start]) >= 2
                && nonEmptyCount(records[start]) * 2 >= typical))
        ++start;
    if (start >= records.size())
        start = 0;
    p.skipLines = int(start);
    const CsvRecord& first = records[start];
    // A header holds no dates; a first row that does is already an entry.
    bool firstHasDate = false;
    for (const QString& f : first.fields) {
        DateShape s;
        firstHasDate = firstHasDate || guessDateShape(f.trimmed(), &s, nullptr);
    }
    p.hasHeader = !firstHasDate;
    QStringList header;
    if (p.hasHeader) {
        for (const QString& f : first.fields) {
            header << f.trimmed();
            p.header << normaliseCsvHeader(f);
        }
        sniff.header = header;
    }
    const QList<CsvRecord> rows = records.mid(start + (p.hasHeader ? 1 : 0));
    for (qsizetype i = 0; i < rows.size() && sniff.samples.size() < SampleRows; ++i)
        sniff.samples << rows[i].fields;

    const int columns = qMax(fieldCount, int(p.header.size()));
    QList<ColumnFacts> facts;
    for (int c = 0; c < columns; ++c)
        facts << factsOf(rows, c);
    QSet<int> taken;
    auto take = [&taken](int* role, int column) {
        if (*role < 0) {
            *role = column;
            taken.insert(column);
            return true;
        }
        return false;
    };
    QList<int> amountCandidates;

    // Roles from the header's words, each checked against the column's values.
    for (int c = 0; c < int(p.header.size()); ++c) {
        const QString h = p.header[c];
        const ColumnFacts& f = facts[c];
        if (h.isEmpty())
            continue;
        QStringList in, out;
        if (matches(h, DirectionWords) && directionMarks(f.values, &in, &out)) {
            if (take(&p.directionColumn, c)) {
                p.incomeMarks = in;
                p.expenseMarks = out;
            }
        } else if (matches(h, DateWords) && (f.nonEmpty == 0 || (f.dates > 0 && f.dates * 2 >= f.nonEmpty))) {
            // A statement of no entries is mapped by its header alone.
            take(&p.dateColumn, c);
        } else if (matches(h, AmountWords) && !matches(h, CreditWords) && !matches(h, DebitWords)) {
            if (f.amounts + f.dates >= f.nonEmpty && f.dates == 0)
                amountCandidates << c;
        } else if (matches(h, CreditWords) && !matches(h, DebitWords) && f.dates == 0) {
            take(&p.creditColumn, c);
        } else if (matches(h, DebitWords) && !matches(h, CreditWords) && f.dates == 0) {
            take(&p.debitColumn, c);
        } else if (matches(h, CurrencyWords)) {
            take(&p.currencyColumn, c);
        } else if (matches(h, CounterWords) && matches(h, AccountWords) && !matches(h, NameWords)) {
            take(&p.counterAccountColumn, c);
        } else if (matches(h, AccountWords) && !matches(h, NotAccountWords) && !matches(h, NameWords)) {
            take(&p.accountColumn, c);
        } else if (matches(h, CounterWords) || matches(h, NameWords)) {
            take(&p.counterpartyColumn, c);
        } else if (matches(h, StatusWords)) {
            take(&p.statusColumn, c);
        } else if (matches(h, BankIdWords)) {
            take(&p.bankIdColumn, c);
        } else if (matches(h, DescriptionWords)) {
            p.descriptionColumns << c;
            taken.insert(c);
        }
    }
    // Of several amount columns ("Сумма в валюте операции", "Сумма в валюте счета") the one filled most,
    // the account's own when they tie.
    int bestAmount = -1;
    for (const int c : amountCandidates) {
        if (bestAmount < 0 || facts[c].amounts > facts[bestAmount].amounts
            || (facts[c].amounts == facts[bestAmount].amounts && matches(p.header[c], AccountWords)))
            bestAmount = c;
    }
    if (bestAmount >= 0)
        take(&p.amountColumn, bestAmount);

    // What the header did not name, from the values: the first column of dates, one column of amounts,
    // a column of direction marks beside an unsigned amount.
    if (p.dateColumn < 0)
        for (int c = 0; c < columns; ++c)
            if (!taken.contains(c) && facts[c].dates > 0 && facts[c].dates * 2 >= facts[c].nonEmpty) {
                take(&p.dateColumn, c);
                break;
            }
    if (p.amountColumn < 0 && p.creditColumn < 0 && p.debitColumn < 0) {
        QList<int> numeric;
        for (int c = 0; c < columns; ++c)
            if (!taken.contains(c) && facts[c].nonEmpty > 0 && facts[c].amounts == facts[c].nonEmpty
                && (facts[c].decimals > 0 || facts[c].signs > 0))
                numeric << c;
        if (numeric.size() == 1)
            take(&p.amountColumn, numeric.first());
    }
    if (p.amountColumn >= 0 && p.directionColumn < 0 && facts[p.amountColumn].signs == 0)
        for (int c = 0; c < columns; ++c) {
            QStringList in, out;
            if (!taken.contains(c) && directionMarks(facts[c].values, &in, &out) && take(&p.directionColumn, c)) {
                p.incomeMarks = in;
                p.expenseMarks = out;
                break;
            }
        }
    // A lone income or expense column is no amount of its own.
    if ((p.creditColumn >= 0) != (p.debitColumn >= 0) && p.amountColumn < 0) {
        sniff.unsettled << QStringLiteral("столбец суммы");
    } else if (p.amountShape() == CsvProfile::AmountShape::None) {
        sniff.unsettled << QStringLiteral("столбец суммы");
    }
    if (p.dateColumn < 0)
        sniff.unsettled.prepend(QStringLiteral("столбец даты"));
    if (p.amountShape() == CsvProfile::AmountShape::DebitCredit)
        p.amountColumn = -1; // only the shape in use keeps its columns

    if (p.dateColumn >= 0) {
        DateShape shape;
        bool found = false;
        for (const QString& v : facts[p.dateColumn].values) {
            DateShape s;
            bool settled = false;
            if (!guessDateShape(v, &s, &settled))
                continue;
            if (!found || (settled && shape.order != s.order && s.order != DateOrder::YearMonthDay)) {
                shape = s;
                found = true;
            }
            if (!s.time.isEmpty())
                shape.time = s.time;
        }
        p.dateFormat = shape.format();
    }
    bool sure = false, matters = false;
    const QList<int> amountColumns{p.amountColumn, p.creditColumn, p.debitColumn};
    p.decimal = findDecimal(rows, amountColumns, sep == u',' ? u'.' : u',', &sure, &matters);
    if (!sure && matters)
        sniff.unsettled << QStringLiteral("десятичный разделитель");
    p.pendingMarks = CsvProfile::defaultPendingMarks();
    return sniff;
}

} // namespace dorv
