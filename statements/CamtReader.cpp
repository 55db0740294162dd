#include "CamtReader.h"

#include "ReaderSupport.h"
#include "util/DateScale.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include <vector>

namespace dorv {

namespace {

// One element of a statement, read whole: statements are small next to what a document may hold.
struct XNode {
    QString name, text, currency;
    int line = 0;
    std::vector<XNode> children;

    const XNode* child(QLatin1StringView n) const
    {
        for (const XNode& c : children)
            if (c.name == n)
                return &c;
        return nullptr;
    }
    // The first element down a path of names, or null.
    const XNode* at(std::initializer_list<QLatin1StringView> path) const
    {
        const XNode* node = this;
        for (const QLatin1StringView& n : path) {
            node = node->child(n);
            if (!node)
                return nullptr;
        }
        return node;
    }
    QString textAt(std::initializer_list<QLatin1StringView> path) const
    {
        const XNode* node = at(path);
        return node ? node->text.trimmed() : QString();
    }
};

using L = QLatin1StringView;

XNode readElement(QXmlStreamReader& xml)
{
    XNode node;
    node.name = xml.name().toString();
    node.line = int(xml.lineNumber());
    node.currency = xml.attributes().value(QLatin1String("Ccy")).toString();
    while (xml.readNext() != QXmlStreamReader::Invalid) {
        if (xml.isStartElement())
            node.children.push_back(readElement(xml));
        else if (xml.isCharacters())
            node.text += xml.text();
        else if (xml.isEndElement())
            break;
    }
    return node;
}

QString shown(const QString& text)
{
    const QString t = text.trimmed();
    return t.size() > 40 ? t.left(40) + QStringLiteral("…") : t;
}

qint64 amountOf(const XNode* amount, const XNode& owner, const QString& what)
{
    qint64 units = 0;
    if (!amount || amount->text.trimmed().isEmpty())
        throw StatementError(QStringLiteral("%1 в строке %2: нет суммы (Amt).").arg(what).arg(owner.line), owner.line);
    // The schema's amounts are unsigned decimals: the direction is CdtDbtInd alone.
    if (!parseStatementAmount(amount->text, AmountStyle::Point, &units) || units < 0)
        throw StatementError(
            QStringLiteral("Строка %1: неверная сумма «%2».").arg(amount->line).arg(shown(amount->text)), amount->line);
    return units;
}

bool credit(const XNode& owner, const QString& what)
{
    const QString indicator = owner.textAt({L("CdtDbtInd")});
    if (indicator == QLatin1String("CRDT"))
        return true;
    if (indicator == QLatin1String("DBIT"))
        return false;
    throw StatementError(QStringLiteral("%1 в строке %2: не указано направление (CdtDbtInd) или оно неверно: «%3».")
                             .arg(what)
                             .arg(owner.line)
                             .arg(shown(indicator)),
                         owner.line);
}

int dayOf(const XNode* date, const XNode& entry)
{
    QString text = date ? date->textAt({L("Dt")}) : QString();
    if (text.isEmpty() && date)
        text = date->textAt({L("DtTm")}).left(10); // the day as the bank wrote it, whatever its zone
    const QDate day = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid())
        throw StatementError(
            text.isEmpty() ? QStringLiteral("Запись в строке %1: нет даты проведения (BookgDt).").arg(entry.line)
                           : QStringLiteral("Запись в строке %1: неверная дата «%2».").arg(entry.line).arg(shown(text)),
            entry.line);
    return dayNumber(day);
}

QString accountId(const XNode* account)
{
    if (!account)
        return {};
    QString id = account->textAt({L("Id"), L("IBAN")});
    if (id.isEmpty())
        id = account->textAt({L("Id"), L("Othr"), L("Id")});
    return id.remove(u' ');
}

// A party's name: Nm directly (up to version 7) or inside Pty (from version 8).
QString partyName(const XNode* party)
{
    if (!party)
        return {};
    const QString name = party->textAt({L("Nm")});
    return name.isEmpty() ? party->textAt({L("Pty"), L("Nm")}) : name;
}

void appendOnce(QStringList* list, const QString& text)
{
    if (!text.isEmpty() && !list->contains(text))
        list->append(text);
}

StatementEntry readEntry(const XNode& ntry)
{
    StatementEntry entry;
    entry.line = ntry.line;
    const XNode* amount = ntry.child(L("Amt"));
    entry.amount = amountOf(amount, ntry, QStringLiteral("Запись"));
    entry.currency = amount->currency;
    entry.income = credit(ntry, QStringLiteral("Запись"));
    QString status = ntry.textAt({L("Sts")});
    if (status.isEmpty())
        status = ntry.textAt({L("Sts"), L("Cd")});
    const XNode* booked = ntry.child(L("BookgDt"));
    if (status == QLatin1String("PDNG") || status == QLatin1String("INFO")) {
        entry.pending = true;
        entry.note = status == QLatin1String("PDNG") ? QStringLiteral("в обработке") : QStringLiteral("для сведения");
        if (!booked)
            booked = ntry.child(L("ValDt"));
    }
    entry.date = dayOf(booked, ntry);
    if (entry.amount == 0 && entry.note.isEmpty())
        entry.note = QStringLiteral("нулевая сумма");
    QString id = ntry.textAt({L("AcctSvcrRef")});
    if (isPlaceholderId(id))
        id = ntry.textAt({L("NtryRef")});
    entry.bankId = isPlaceholderId(id) ? QString() : id;

    // The other side is the payer of money that came in and the payee of money that went out.
    const L party = entry.income ? L("Dbtr") : L("Cdtr");
    const L partyAccount = entry.income ? L("DbtrAcct") : L("CdtrAcct");
    QStringList names, accounts, texts;
    if (const XNode* details = ntry.child(L("NtryDtls"))) {
        for (const XNode& tx : details->children) {
            if (tx.name != QLatin1String("TxDtls"))
                continue;
            const XNode* parties = tx.child(L("RltdPties"));
            if (parties) {
                appendOnce(&names, partyName(parties->child(party)));
                appendOnce(&accounts, accountId(parties->child(partyAccount)));
            }
            if (const XNode* remittance = tx.child(L("RmtInf")))
                for (const XNode& line : remittance->children)
                    if (line.name == QLatin1String("Ustrd"))
                        appendOnce(&texts, line.text.trimmed());
        }
    }
    entry.counterparty = names.join(QStringLiteral("; "));
    entry.counterAccount = accounts.size() == 1 ? accounts.front() : QString();
    entry.description = texts.join(u' ');
    if (entry.description.isEmpty())
        entry.description = ntry.textAt({L("AddtlNtryInf")});
    return entry;
}

StatementAccount readStatement(const XNode& stmt)
{
    StatementAccount account;
    const XNode* acct = stmt.child(L("Acct"));
    account.number = accountId(acct);
    if (acct)
        account.currency = acct->textAt({L("Ccy")});
    for (const XNode& node : stmt.children) {
        if (node.name == QLatin1String("Bal")) {
            QString code = node.textAt({L("Tp"), L("CdOrPrtry"), L("Cd")});
            const bool opening = code == QLatin1String("OPBD") || code == QLatin1String("PRCD");
            const bool closing = code == QLatin1String("CLBD");
            if (!opening && !closing)
                continue;
            const qint64 units = amountOf(node.child(L("Amt")), node, QStringLiteral("Остаток"));
            const qint64 value = credit(node, QStringLiteral("Остаток")) ? units : -units;
            if (opening && !account.hasOpening) {
                account.hasOpening = true;
                account.opening = value;
            } else if (closing) {
                account.hasClosing = true;
                account.closing = value;
            }
        } else if (node.name == QLatin1String("Ntry")) {
            account.entries.append(readEntry(node));
        }
    }
    return account;
}

} // namespace

BankStatement readCamt(const QByteArray& bytes, [[maybe_unused]] const StatementOptions& options)
{
    if (bytes.trimmed().isEmpty())
        throw StatementError(QStringLiteral("Файл пуст."));
    QXmlStreamReader xml(bytes);
    BankStatement statement;
    static const QRegularExpression known(
        QStringLiteral("^urn:iso:std:iso:20022:tech:xsd:camt\\.053\\.001\\.(\\d{2})$"));
    bool rootSeen = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (!rootSeen) {
            rootSeen = true;
            const QString ns = xml.namespaceUri().toString();
            const auto m = known.match(ns);
            const int version = m.hasMatch() ? m.captured(1).toInt() : 0;
            if (version < 2 || version > 13)
                throw StatementError(
                    ns.isEmpty()
                        ? QStringLiteral("Это не выписка CAMT.053: у документа нет пространства имён.")
                        : QStringLiteral("Это не выписка CAMT.053: неизвестное пространство имён «%1».").arg(ns),
                    int(xml.lineNumber()));
            statement.format = QStringLiteral("CAMT.053 (camt.053.001.%1)").arg(version, 2, 10, QLatin1Char('0'));
            continue;
        }
        if (xml.name() == QLatin1String("Stmt")) {
            const XNode stmt = readElement(xml);
            if (xml.hasError())
                break;
            statement.accounts.append(readStatement(stmt));
        }
    }
    if (xml.hasError())
        throw StatementError(
            QStringLiteral("Файл XML повреждён в строке %1: %2.").arg(xml.lineNumber()).arg(xml.errorString()),
            int(xml.lineNumber()));
    if (!rootSeen)
        throw StatementError(QStringLiteral("В файле нет документа XML."));
    return statement;
}

} // namespace dorv
