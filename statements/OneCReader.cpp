#include "OneCReader.h"

#include "StatementFormat.h"
#include "StatementValues.h"
#include "TextDecoding.h"

#include <QHash>
#include <QStringDecoder>

namespace dorv {

namespace {

QString lineError(int line, const QString& what) { return QStringLiteral("Строка %1: %2").arg(line).arg(what); }

// The code page "Кодировка=" names, looked for in the raw bytes: the key is Cyrillic and so differs
// between the code pages, the value is ASCII.
QString declaredEncoding(const QByteArray& bytes)
{
    const QList<QByteArray> lines = bytes.left(4096).split('\n');
    for (const QByteArray& raw : lines) {
        const qsizetype eq = raw.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = raw.left(eq).trimmed();
        const QString value = QString::fromLatin1(raw.mid(eq + 1).trimmed());
        for (const char* page : {"windows-1251", "IBM866", "UTF-8"}) {
            QStringDecoder decoder(page);
            if (QString(decoder(key)) == u"Кодировка")
                return value;
        }
    }
    return {};
}

struct Document {
    int line = 0;
    QString kind;
    QHash<QString, QString> fields;
    QString value(const char16_t* key) const { return fields.value(QString::fromUtf16(key)).trimmed(); }
    QString firstOf(const char16_t* a, const char16_t* b) const
    {
        const QString v = value(a);
        return v.isEmpty() ? value(b) : v;
    }
};

struct AccountSection {
    int line = 0;
    QHash<QString, QString> fields;
};

int dateOf(const QString& text, int line, const char* what, bool required)
{
    DateShape shape; // dd.MM.yyyy
    int day = 0;
    switch (readStatementDate(text, shape, &day)) {
    case DateRead::Ok:
        return day;
    case DateRead::Nonexistent:
        throw StatementError(lineError(line, QStringLiteral("дата «%1» не существует.").arg(text)), line);
    case DateRead::NotADate:
        break;
    }
    if (!required)
        return 0;
    throw StatementError(text.isEmpty()
                             ? lineError(line, QStringLiteral("у документа нет поля %1.").arg(QString::fromUtf8(what)))
                             : lineError(line, QStringLiteral("дата «%1» не распознана.").arg(text)),
                         line);
}

qint64 amountOf(const QString& text, int line)
{
    qint64 units = 0;
    if (!parseStatementAmount(text, u'.', &units))
        throw StatementError(lineError(line, QStringLiteral("сумма «%1» не распознана.").arg(text)), line);
    return units;
}

} // namespace

BankStatement readOneC(const QByteArray& bytes, const StatementOptions& options)
{
    Q_UNUSED(options); // dates of the exchange format are always dd.MM.yyyy
    QString used;
    const QString text = decodeStatementText(bytes, declaredEncoding(bytes), &used);
    const QStringList lines = text.split(u'\n');

    QStringList accountOrder; // the file's own accounts, in the order it names them
    QList<AccountSection> sections;
    QList<Document> documents;
    enum class In { Header, Account, Document } in = In::Header;
    int openedAt = 0;
    bool started = false, ended = false;
    int lastLine = 0;
    for (qsizetype i = 0; i < lines.size() && !ended; ++i) {
        const int lineNo = int(i + 1);
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        lastLine = lineNo;
        if (!started) {
            if (line.trimmed() != u"1CClientBankExchange")
                throw StatementError(lineError(lineNo, QStringLiteral("это не файл обмена 1С с банком.")), lineNo);
            started = true;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        const QString key = (eq < 0 ? line : line.left(eq)).trimmed();
        const QString value = eq < 0 ? QString() : line.mid(eq + 1);
        if (key == u"КонецФайла") {
            if (in != In::Header)
                throw StatementError(lineError(openedAt, QStringLiteral("раздел не закончен до конца файла.")),
                                     openedAt);
            ended = true;
        } else if (key == u"СекцияРасчСчет") {
            if (in != In::Header)
                throw StatementError(lineError(lineNo, QStringLiteral("раздел начат внутри другого раздела.")), lineNo);
            in = In::Account;
            openedAt = lineNo;
            sections.append(AccountSection{lineNo, {}});
        } else if (key == u"КонецРасчСчет") {
            if (in != In::Account)
                throw StatementError(lineError(lineNo, QStringLiteral("«КонецРасчСчет» без начала раздела.")), lineNo);
            in = In::Header;
        } else if (key == u"СекцияДокумент") {
            if (in != In::Header)
                throw StatementError(lineError(lineNo, QStringLiteral("документ начат внутри другого раздела.")),
                                     lineNo);
            in = In::Document;
            openedAt = lineNo;
            documents.append(Document{lineNo, value.trimmed(), {}});
        } else if (key == u"КонецДокумента") {
            if (in != In::Document)
                throw StatementError(lineError(lineNo, QStringLiteral("«КонецДокумента» без начала документа.")),
                                     lineNo);
            in = In::Header;
        } else if (in == In::Document) {
            documents.last().fields.insert(key, value);
        } else if (in == In::Account) {
            sections.last().fields.insert(key, value);
            if (key == u"РасчСчет" && !value.trimmed().isEmpty() && !accountOrder.contains(value.trimmed()))
                accountOrder << value.trimmed();
        } else if (key == u"РасчСчет" && !value.trimmed().isEmpty() && !accountOrder.contains(value.trimmed())) {
            accountOrder << value.trimmed();
        }
    }
    if (!started)
        throw StatementError(QStringLiteral("Файл пуст."));
    if (!ended)
        throw StatementError(lineError(lastLine, QStringLiteral("файл обрывается: нет строки «КонецФайла».")),
                             lastLine);

    BankStatement statement;
    statement.format = statementFormatName(StatementFormat::OneC) + QStringLiteral(", ") + used;
    for (const QString& number : accountOrder) {
        statement.accounts.append(StatementAccount{});
        statement.accounts.last().number = number;
    }
    if (statement.accounts.isEmpty())
        statement.accounts.append(StatementAccount{});
    auto accountIndex = [&](const QString& number) -> qsizetype {
        return number.isEmpty() ? -1 : accountOrder.indexOf(number);
    };

    // A statement of several days has a section per day: the opening balance is the first day's, the
    // closing balance the last day's.
    QHash<qsizetype, int> openingDay, closingDay;
    for (const AccountSection& s : sections) {
        const qsizetype a = accountIndex(s.fields.value(QStringLiteral("РасчСчет")).trimmed());
        if (a < 0)
            continue;
        StatementAccount& account = statement.accounts[a];
        const int from = dateOf(s.fields.value(QStringLiteral("ДатаНачала")).trimmed(), s.line, "ДатаНачала", false);
        const int to = dateOf(s.fields.value(QStringLiteral("ДатаКонца")).trimmed(), s.line, "ДатаКонца", false);
        const QString opening = s.fields.value(QStringLiteral("НачальныйОстаток")).trimmed();
        const QString closing = s.fields.value(QStringLiteral("КонечныйОстаток")).trimmed();
        if (!opening.isEmpty() && (!account.hasOpening || from < openingDay.value(a))) {
            account.opening = amountOf(opening, s.line);
            account.hasOpening = true;
            openingDay[a] = from;
        }
        if (!closing.isEmpty() && (!account.hasClosing || to >= closingDay.value(a))) {
            account.closing = amountOf(closing, s.line);
            account.hasClosing = true;
            closingDay[a] = to;
        }
    }

    for (const Document& d : documents) {
        const QString dateText = d.value(u"Дата");
        const int date = dateOf(dateText, d.line, "Дата", true);
        const qint64 amount = qAbs(amountOf(d.value(u"Сумма"), d.line));
        const QString payerAccount = d.firstOf(u"ПлательщикСчет", u"ПлательщикРасчСчет");
        const QString receiverAccount = d.firstOf(u"ПолучательСчет", u"ПолучательРасчСчет");
        const QString payer = d.firstOf(u"Плательщик1", u"Плательщик");
        const QString receiver = d.firstOf(u"Получатель1", u"Получатель");
        const int debited = dateOf(d.value(u"ДатаСписано"), d.line, "ДатаСписано", false);
        const int credited = dateOf(d.value(u"ДатаПоступило"), d.line, "ДатаПоступило", false);
        QStringList purpose;
        for (const QString& key : {QStringLiteral("НазначениеПлатежа"), QStringLiteral("НазначениеПлатежа1"),
                                   QStringLiteral("НазначениеПлатежа2"), QStringLiteral("НазначениеПлатежа3"),
                                   QStringLiteral("НазначениеПлатежа4"), QStringLiteral("НазначениеПлатежа5"),
                                   QStringLiteral("НазначениеПлатежа6")}) {
            const QString p = d.fields.value(key).simplified();
            if (!p.isEmpty())
                purpose << p;
        }

        auto add = [&](qsizetype account, bool income) {
            StatementEntry e;
            e.line = d.line;
            e.income = income;
            e.amount = amount;
            e.date = income ? (credited ? credited : date) : (debited ? debited : date);
            e.description = purpose.join(u' ');
            e.counterparty = (income ? payer : receiver).simplified();
            e.counterAccount = QString(income ? payerAccount : receiverAccount).remove(u' ');
            const QString number = d.value(u"Номер");
            // The number alone repeats (each payment order series starts again at 1); with its date it
            // names one document.
            e.bankId = number.isEmpty() ? QString() : number + QStringLiteral(" от ") + dateText;
            if (amount == 0)
                e.note = QStringLiteral("нулевая сумма");
            statement.accounts[qMax<qsizetype>(account, 0)].entries << e;
        };
        const qsizetype receiving = accountIndex(receiverAccount);
        const qsizetype paying = accountIndex(payerAccount);
        if (receiving >= 0)
            add(receiving, true);
        if (paying >= 0)
            add(paying, false);
        if (receiving >= 0 || paying >= 0)
            continue;
        // Neither side names one of the file's accounts (some banks leave their client's number out of
        // the document): the date the bank debited or credited says which way it went.
        if (accountOrder.size() <= 1 && (debited != 0) != (credited != 0)) {
            add(0, credited != 0);
            continue;
        }
        throw StatementError(lineError(d.line, QStringLiteral("ни плательщик, ни получатель документа не "
                                                              "являются счетом этой выписки.")),
                             d.line);
    }
    return statement;
}

} // namespace dorv
