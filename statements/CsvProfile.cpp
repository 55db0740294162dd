#include "CsvProfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace dorv {

CsvProfile::AmountShape CsvProfile::amountShape() const
{
    if (creditColumn >= 0 && debitColumn >= 0)
        return AmountShape::DebitCredit;
    if (amountColumn >= 0 && directionColumn >= 0)
        return AmountShape::Direction;
    if (amountColumn >= 0)
        return AmountShape::Signed;
    return AmountShape::None;
}

QString normaliseCsvHeader(const QString& text)
{
    QString t = text.toLower();
    t.replace(u'ё', u'е');
    t.remove(u'"');
    return t.simplified();
}

QString CsvProfile::key() const
{
    if (!hasHeader)
        return {};
    QStringList h = header;
    while (!h.isEmpty() && h.last().isEmpty())
        h.removeLast();
    return h.join(u'|');
}

namespace {

QJsonArray toJson(const QStringList& list) { return QJsonArray::fromStringList(list); }

QStringList stringsOf(const QJsonValue& value)
{
    QStringList out;
    for (const QJsonValue& v : value.toArray())
        out << v.toString();
    return out;
}

} // namespace

QString CsvProfile::toText() const
{
    QJsonObject o;
    o[u"encoding"] = encoding;
    o[u"separator"] = QString(separator);
    o[u"skipLines"] = skipLines;
    o[u"hasHeader"] = hasHeader;
    o[u"header"] = toJson(header);
    o[u"dateColumn"] = dateColumn;
    o[u"dateFormat"] = dateFormat;
    o[u"decimal"] = QString(decimal);
    o[u"amountColumn"] = amountColumn;
    o[u"creditColumn"] = creditColumn;
    o[u"debitColumn"] = debitColumn;
    o[u"directionColumn"] = directionColumn;
    o[u"incomeMarks"] = toJson(incomeMarks);
    o[u"expenseMarks"] = toJson(expenseMarks);
    QJsonArray description;
    for (const int c : descriptionColumns)
        description.append(c);
    o[u"descriptionColumns"] = description;
    o[u"counterpartyColumn"] = counterpartyColumn;
    o[u"counterAccountColumn"] = counterAccountColumn;
    o[u"bankIdColumn"] = bankIdColumn;
    o[u"currencyColumn"] = currencyColumn;
    o[u"accountColumn"] = accountColumn;
    o[u"statusColumn"] = statusColumn;
    o[u"pendingMarks"] = toJson(pendingMarks);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

CsvProfile CsvProfile::fromText(const QString& text, bool* ok)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    const bool valid = error.error == QJsonParseError::NoError && doc.isObject()
                       && doc.object().value(u"separator").toString().size() == 1;
    if (ok)
        *ok = valid;
    CsvProfile p;
    if (!valid)
        return p;
    const QJsonObject o = doc.object();
    auto column = [&o](const char16_t* name) { return o.value(QStringView(name)).toInt(-1); };
    p.encoding = o.value(u"encoding").toString();
    p.separator = o.value(u"separator").toString().at(0);
    p.skipLines = o.value(u"skipLines").toInt(0);
    p.hasHeader = o.value(u"hasHeader").toBool(true);
    p.header = stringsOf(o.value(u"header"));
    p.dateColumn = column(u"dateColumn");
    p.dateFormat = o.value(u"dateFormat").toString(p.dateFormat);
    const QString decimal = o.value(u"decimal").toString();
    p.decimal = decimal.size() == 1 ? decimal.at(0) : p.decimal;
    p.amountColumn = column(u"amountColumn");
    p.creditColumn = column(u"creditColumn");
    p.debitColumn = column(u"debitColumn");
    p.directionColumn = column(u"directionColumn");
    p.incomeMarks = stringsOf(o.value(u"incomeMarks"));
    p.expenseMarks = stringsOf(o.value(u"expenseMarks"));
    for (const QJsonValue& v : o.value(u"descriptionColumns").toArray())
        p.descriptionColumns << v.toInt();
    p.counterpartyColumn = column(u"counterpartyColumn");
    p.counterAccountColumn = column(u"counterAccountColumn");
    p.bankIdColumn = column(u"bankIdColumn");
    p.currencyColumn = column(u"currencyColumn");
    p.accountColumn = column(u"accountColumn");
    p.statusColumn = column(u"statusColumn");
    p.pendingMarks = stringsOf(o.value(u"pendingMarks"));
    return p;
}

QStringList CsvProfile::defaultIncomeMarks()
{
    return {QStringLiteral("+"),          QStringLiteral("c"),           QStringLiteral("cr"),
            QStringLiteral("credit"),     QStringLiteral("crédit"),      QStringLiteral("зачисление"),
            QStringLiteral("приход"),     QStringLiteral("поступление"), QStringLiteral("пополнение"),
            QStringLiteral("bij"),        QStringLiteral("haben"),       QStringLiteral("h"),
            QStringLiteral("gutschrift"), QStringLiteral("income"),      QStringLiteral("in")};
}

QStringList CsvProfile::defaultExpenseMarks()
{
    return {QStringLiteral("-"),        QStringLiteral("d"),      QStringLiteral("dr"),
            QStringLiteral("debit"),    QStringLiteral("débit"),  QStringLiteral("debet"),
            QStringLiteral("списание"), QStringLiteral("расход"), QStringLiteral("af"),
            QStringLiteral("soll"),     QStringLiteral("s"),      QStringLiteral("lastschrift"),
            QStringLiteral("expense"),  QStringLiteral("out")};
}

QStringList CsvProfile::defaultPendingMarks()
{
    return {QStringLiteral("в обработке"),   QStringLiteral("обрабатывается"), QStringLiteral("холд"),
            QStringLiteral("заблокировано"), QStringLiteral("pending"),        QStringLiteral("hold"),
            QStringLiteral("vorgemerkt"),    QStringLiteral("in behandeling"), QStringLiteral("en cours"),
            QStringLiteral("en attente"),    QStringLiteral("authorized"),     QStringLiteral("authorised")};
}

} // namespace dorv
