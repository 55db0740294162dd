#include "OfxReader.h"

#include "ReaderSupport.h"
#include "TextDecoding.h"
#include "util/DateScale.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <libofx/libofx.h>

namespace dorv {

namespace {

// One element of the file as written: a leaf with its text, or an aggregate with its children.
struct Node {
    QString name;
    QString value;
    bool hasText = false;
    int line = 0;
    int parent = -1;
    QList<int> children;
};

QString unescape(QString text)
{
    if (!text.contains(u'&'))
        return text;
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&apos;"), QLatin1String("'"));
    text.replace(QLatin1String("&nbsp;"), QString(QChar(0x00A0)));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

QString shown(QStringView text)
{
    const QString t = text.trimmed().toString();
    return t.size() > 40 ? t.left(40) + QStringLiteral("…") : t;
}

// The file's elements from the root <OFX> on. SGML leaves need no end tag: a leaf ends where the next
// tag begins. Whatever cannot be an OFX document (a broken tag, an end tag nothing opened, a file
// that stops inside an element) is refused here, before libofx sees it: libofx reads such files
// without a word, and leaks or worse on them.
class OfxTree {
public:
    QList<Node> nodes;

    void parse(const QString& text, qsizetype start, int line)
    {
        QList<int> stack;
        const qsizetype n = text.size();
        qsizetype i = start;
        auto newlines = [&](qsizetype from, qsizetype to) {
            int count = 0;
            for (qsizetype k = from; k < to; ++k)
                if (text[k] == u'\n')
                    ++count;
            return count;
        };
        while (i < n) {
            qsizetype j = text.indexOf(u'<', i);
            if (j < 0)
                j = n;
            const QStringView chunk = QStringView(text).mid(i, j - i);
            const QStringView data = chunk.trimmed();
            if (!data.isEmpty()) {
                const int at = line + newlines(i, i + chunk.indexOf(data.front()));
                if (stack.isEmpty() || nodes[stack.back()].hasText || !nodes[stack.back()].children.isEmpty())
                    throw StatementError(QStringLiteral("Лишний текст «%1» в строке %2.").arg(shown(data)).arg(at), at);
                Node& top = nodes[stack.back()];
                // A value split over lines is one value; its line breaks are no part of it.
                top.value = unescape(data.toString())
                                .replace(QRegularExpression(QStringLiteral("\\s*[\\r\\n]+\\s*")), QStringLiteral(" "));
                top.hasText = true;
            }
            line += newlines(i, j);
            if (j == n)
                break;
            const int tagLine = line;
            if (QStringView(text).mid(j, 4) == QLatin1String("<!--")) {
                qsizetype end = text.indexOf(QLatin1String("-->"), j);
                end = end < 0 ? n : end + 3;
                line += newlines(j, end);
                i = end;
                continue;
            }
            qsizetype k = j + 1;
            const bool closing = k < n && text[k] == u'/';
            if (closing)
                ++k;
            if (k < n && (text[k] == u'?' || text[k] == u'!') && !closing) {
                qsizetype end = text.indexOf(u'>', k);
                end = end < 0 ? n : end + 1;
                line += newlines(j, end);
                i = end;
                continue;
            }
            if (k >= n || !(text[k].isLetter() && text[k].unicode() < 128))
                throw StatementError(QStringLiteral("Неверный тег в строке %1: «%2».")
                                         .arg(tagLine)
                                         .arg(shown(QStringView(text).mid(j, text.indexOf(u'\n', j) - j))),
                                     tagLine);
            const qsizetype nameStart = k;
            while (k < n
                   && ((text[k].isLetterOrNumber() && text[k].unicode() < 128) || text[k] == u'.' || text[k] == u'_'
                       || text[k] == u'-' || text[k] == u':'))
                ++k;
            const QString name = text.mid(nameStart, k - nameStart).toUpper();
            while (k < n && text[k] != u'>' && text[k] != u'<')
                ++k;
            if (k >= n || text[k] != u'>')
                throw StatementError(
                    QStringLiteral("Тег <%1> в строке %2 не закрыт знаком «>».").arg(name).arg(tagLine), tagLine);
            const bool empty = !closing && text[k - 1] == u'/';
            line += newlines(j, k);
            i = k + 1;
            if (!closing) {
                if (!stack.isEmpty() && nodes[stack.back()].hasText)
                    stack.removeLast();
                if (stack.isEmpty() && !nodes.isEmpty())
                    throw StatementError(
                        QStringLiteral("Лишний тег <%1> в строке %2 после конца документа.").arg(name).arg(tagLine),
                        tagLine);
                Node node;
                node.name = name;
                node.line = tagLine;
                node.parent = stack.isEmpty() ? -1 : stack.back();
                nodes.append(node);
                const int index = int(nodes.size() - 1);
                if (node.parent >= 0)
                    nodes[node.parent].children.append(index);
                if (!empty)
                    stack.append(index);
                continue;
            }
            if (!stack.isEmpty() && nodes[stack.back()].hasText && nodes[stack.back()].name != name)
                stack.removeLast();
            qsizetype open = stack.size() - 1;
            while (open >= 0 && nodes[stack[open]].name != name)
                --open;
            if (open < 0)
                throw StatementError(
                    QStringLiteral("Закрывающий тег </%1> в строке %2 без открывающего.").arg(name).arg(tagLine),
                    tagLine);
            // Elements left open inside the one that ends were empty SGML leaves: what followed them
            // belongs to their parent.
            while (stack.size() - 1 > open) {
                const int gone = stack.takeLast();
                const int parent = nodes[gone].parent;
                QList<int>& siblings = nodes[parent].children;
                const qsizetype at = siblings.indexOf(gone);
                for (const int c : nodes[gone].children)
                    nodes[c].parent = parent;
                for (qsizetype c = 0; c < nodes[gone].children.size(); ++c)
                    siblings.insert(at + 1 + c, nodes[gone].children[c]);
                nodes[gone].children.clear();
            }
            stack.removeLast();
        }
        while (!stack.isEmpty() && nodes[stack.back()].hasText)
            stack.removeLast();
        if (!stack.isEmpty()) {
            const Node& open = nodes[stack.back()];
            throw StatementError(
                QStringLiteral("Файл обрывается: тег <%1> из строки %2 не закрыт.").arg(open.name).arg(open.line),
                open.line);
        }
    }

    int child(int node, QLatin1StringView name) const
    {
        if (node < 0)
            return -1;
        for (const int c : nodes[node].children)
            if (nodes[c].name == name)
                return c;
        return -1;
    }
    QString text(int node, QLatin1StringView name) const
    {
        const int c = child(node, name);
        return c < 0 ? QString() : nodes[c].value;
    }
    // The elements of these names under node, in the file's order, not looking inside a match.
    void collect(int node, const QStringList& names, QList<int>* found) const
    {
        for (const int c : nodes[node].children) {
            if (names.contains(nodes[c].name))
                found->append(c);
            else
                collect(c, names, found);
        }
    }
};

// What libofx made of the file: its statements in order and how many entries each account has.
struct LibofxRead {
    struct Stmt {
        QString accountId, number, currency;
        bool investment = false;
    };
    QList<Stmt> statements;
    QHash<QString, int> transactions;
};

int onStatement(const OfxStatementData data, void* context)
{
    auto* read = static_cast<LibofxRead*>(context);
    LibofxRead::Stmt s;
    s.accountId = QString::fromUtf8(data.account_id);
    if (data.currency_valid)
        s.currency = QString::fromUtf8(data.currency);
    if (const OfxAccountData* account = data.account_ptr) {
        if (account->account_number_valid)
            s.number = QString::fromUtf8(account->account_number).trimmed();
        s.investment = account->account_type_valid
                       && (account->account_type == OfxAccountData::OFX_INVESTMENT
                           || account->account_type == OfxAccountData::OFX_401K);
    }
    read->statements.append(s);
    return 0;
}

int onTransaction(const OfxTransactionData data, void* context)
{
    auto* read = static_cast<LibofxRead*>(context);
    ++read->transactions[QString::fromUtf8(data.account_id)];
    return 0;
}

LibofxRead readWithLibofx(const QByteArray& bytes)
{
    // libofx writes its parser's complaints to the standard error; the reader reports faults itself.
    ofx_PARSER_msg = ofx_DEBUG_msg = ofx_DEBUG1_msg = ofx_DEBUG2_msg = ofx_DEBUG3_msg = ofx_DEBUG4_msg =
        ofx_DEBUG5_msg = ofx_STATUS_msg = ofx_INFO_msg = ofx_WARNING_msg = ofx_ERROR_msg = 0;
    // libofx reads only files (its buffer entry point is not public).
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/dorvana-ofx-XXXXXX.ofx"));
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        throw StatementError(
            QStringLiteral("Не удалось записать временный файл для чтения OFX: %1.").arg(file.errorString()));
    LibofxRead read;
    LibofxContextPtr context = libofx_get_new_context();
    ofx_set_statement_cb(context, onStatement, &read);
    ofx_set_transaction_cb(context, onTransaction, &read);
    // Its result is not a verdict: it reports failure for files with tags its DTD lacks, which banks
    // write (VALUEDATE, CATEGORY). What it found is compared with the file's text instead.
    libofx_proc_file(context, QFile::encodeName(file.fileName()).constData(), OFX);
    libofx_free_context(context);
    return read;
}

QString declaredEncoding(const QByteArray& head, bool* xml)
{
    static const QRegularExpression xmlDecl(QStringLiteral("<\\?xml[^>]*encoding\\s*=\\s*[\"']([^\"']+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression ofx2(QStringLiteral("<\\?OFX\\s"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression encoding(QStringLiteral("^\\s*ENCODING:\\s*(\\S+)"),
                                             QRegularExpression::MultilineOption);
    static const QRegularExpression charset(QStringLiteral("^\\s*CHARSET:\\s*(\\S+)"),
                                            QRegularExpression::MultilineOption);
    const QString h = QString::fromLatin1(head);
    *xml = ofx2.match(h).hasMatch() || h.trimmed().startsWith(QLatin1String("<?xml"));
    QString name;
    if (const auto m = xmlDecl.match(h); m.hasMatch())
        name = m.captured(1);
    else if (const auto e = encoding.match(h); e.hasMatch() && e.captured(1).startsWith(QLatin1String("UTF")))
        name = e.captured(1);
    else if (const auto c = charset.match(h); c.hasMatch()) {
        name = c.captured(1);
        bool number = false;
        name.toInt(&number);
        if (number)
            name = QStringLiteral("windows-") + name;
    }
    const QString upper = name.toUpper();
    if (upper == QLatin1String("NONE") || upper.contains(QLatin1String("ASCII")))
        return {};
    return name;
}

int postedDay(const QString& value, int line)
{
    if (value.isEmpty())
        throw StatementError(QStringLiteral("Операция в строке %1: нет даты проведения (DTPOSTED).").arg(line), line);
    // The day as the bank wrote it; the time and zone after it do not move the day.
    static const QRegularExpression re(
        QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})(?:\\d{0,6}(?:\\.\\d+)?)?\\s*(?:\\[.*\\])?$"));
    const auto m = re.match(value);
    const QDate date =
        m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()) : QDate();
    if (!date.isValid())
        throw StatementError(QStringLiteral("Операция в строке %1: неверная дата проведения (DTPOSTED) «%2».")
                                 .arg(line)
                                 .arg(shown(value)),
                             line);
    return dayNumber(date);
}

} // namespace

// OFX dates are always year, month, day: no order to be told.
BankStatement readOfx(const QByteArray& bytes, [[maybe_unused]] const StatementOptions& options)
{
    if (bytes.trimmed().isEmpty())
        throw StatementError(QStringLiteral("Файл пуст."));
    if (bytes.contains('\0'))
        throw StatementError(QStringLiteral("Это не текстовый файл: в нём есть нулевые байты."));

    bool xml = false;
    const QString declared = declaredEncoding(bytes.left(2048), &xml);
    QString used;
    const QString text = decodeStatementText(bytes, declared, &used);
    static const QRegularExpression root(QStringLiteral("<OFX[\\s>]"), QRegularExpression::CaseInsensitiveOption);
    const auto rootMatch = root.match(text);
    if (!rootMatch.hasMatch())
        throw StatementError(QStringLiteral("В файле нет тега <OFX>: это не выписка OFX."));
    const qsizetype start = rootMatch.capturedStart();
    OfxTree tree;
    tree.parse(text, start, 1 + int(QStringView(text).left(start).count(u'\n')));

    QList<int> blocks;
    tree.collect(0, {QStringLiteral("STMTRS"), QStringLiteral("CCSTMTRS"), QStringLiteral("INVSTMTRS")}, &blocks);
    if (blocks.isEmpty())
        throw StatementError(QStringLiteral("В файле OFX нет выписки по счёту."));

    const LibofxRead lib = readWithLibofx(bytes);
    const QString misread = QStringLiteral("Библиотека OFX прочла файл не так, как он записан (%1); файл повреждён.");
    if (lib.statements.size() != blocks.size())
        throw StatementError(
            misread.arg(QStringLiteral("выписок %1, а в тексте %2")).arg(lib.statements.size()).arg(blocks.size()));

    BankStatement statement;
    statement.format = QStringLiteral("OFX (%1), %2").arg(xml ? QStringLiteral("XML") : QStringLiteral("SGML"), used);
    QHash<QString, int> written; // entries per libofx account, as the text has them
    for (qsizetype b = 0; b < blocks.size(); ++b) {
        const int block = blocks[b];
        const LibofxRead::Stmt& stmt = lib.statements[b];
        const Node& blockNode = tree.nodes[block];
        int from = tree.child(block, QLatin1StringView("BANKACCTFROM"));
        if (from < 0)
            from = tree.child(block, QLatin1StringView("CCACCTFROM"));
        if (from < 0)
            from = tree.child(block, QLatin1StringView("INVACCTFROM"));
        const QString number = tree.text(from, QLatin1StringView("ACCTID")).trimmed();
        if (!number.startsWith(stmt.number))
            throw StatementError(misread.arg(QStringLiteral("счёт «%1» в строке %2").arg(number).arg(blockNode.line)),
                                 blockNode.line);
        if (blockNode.name == QLatin1String("INVSTMTRS") || stmt.investment) {
            statement.notes.append(
                QStringLiteral("Инвестиционный счёт %1 (строка %2) пропущен: операции с ценными бумагами не "
                               "импортируются как деньги.")
                    .arg(number)
                    .arg(blockNode.line));
            continue;
        }
        StatementAccount account;
        account.number = number;
        account.currency = tree.text(block, QLatin1StringView("CURDEF")).trimmed();
        if (account.currency.isEmpty())
            account.currency = stmt.currency;
        const int ledger = tree.child(block, QLatin1StringView("LEDGERBAL"));
        if (const int balance = tree.child(ledger, QLatin1StringView("BALAMT")); balance >= 0) {
            const Node& node = tree.nodes[balance];
            if (!node.value.trimmed().isEmpty()) {
                if (!parseStatementAmount(node.value, AmountStyle::PointOrComma, &account.closing))
                    throw StatementError(QStringLiteral("Остаток в строке %1: неверная сумма «%2».")
                                             .arg(node.line)
                                             .arg(shown(node.value)),
                                         node.line);
                account.hasClosing = true;
            }
        }
        QList<int> transactions;
        tree.collect(block, {QStringLiteral("STMTTRN")}, &transactions);
        written[stmt.accountId] += int(transactions.size());
        for (const int t : transactions) {
            StatementEntry entry;
            entry.line = tree.nodes[t].line;
            entry.date = postedDay(tree.text(t, QLatin1StringView("DTPOSTED")).trimmed(), entry.line);
            const int amountNode = tree.child(t, QLatin1StringView("TRNAMT"));
            const QString amountText = amountNode < 0 ? QString() : tree.nodes[amountNode].value;
            qint64 amount = 0;
            if (!parseStatementAmount(amountText, AmountStyle::PointOrComma, &amount)) {
                const int line = amountNode < 0 ? entry.line : tree.nodes[amountNode].line;
                throw StatementError(amountText.trimmed().isEmpty()
                                         ? QStringLiteral("Операция в строке %1: нет суммы (TRNAMT).").arg(entry.line)
                                         : QStringLiteral("Операция в строке %1: неверная сумма (TRNAMT) «%2».")
                                               .arg(line)
                                               .arg(shown(amountText)),
                                     line);
            }
            // The sign of the amount says the direction; TRNTYPE is often DEBIT for both, or OTHER.
            entry.income = amount > 0;
            entry.amount = amount < 0 ? -amount : amount;
            if (entry.amount == 0)
                entry.note = QStringLiteral("нулевая сумма");
            // A FITID the bank broke over two lines is still one identifier.
            QString fitid = tree.text(t, QLatin1StringView("FITID"));
            fitid.remove(QRegularExpression(QStringLiteral("\\s")));
            entry.bankId = isPlaceholderId(fitid) ? QString() : fitid;
            entry.counterparty = tree.text(t, QLatin1StringView("NAME")).trimmed();
            if (entry.counterparty.isEmpty())
                entry.counterparty =
                    tree.text(tree.child(t, QLatin1StringView("PAYEE")), QLatin1StringView("NAME")).trimmed();
            entry.description = tree.text(t, QLatin1StringView("MEMO")).trimmed();
            int currency = tree.child(t, QLatin1StringView("CURRENCY"));
            if (currency < 0)
                currency = tree.child(t, QLatin1StringView("ORIGCURRENCY"));
            entry.currency = tree.text(currency, QLatin1StringView("CURSYM")).trimmed();
            account.entries.append(entry);
        }
        statement.accounts.append(account);
    }
    for (auto it = written.cbegin(); it != written.cend(); ++it)
        if (lib.transactions.value(it.key()) != it.value())
            throw StatementError(misread.arg(QStringLiteral("операций %1, а в тексте %2"))
                                     .arg(lib.transactions.value(it.key()))
                                     .arg(it.value()));
    return statement;
}

} // namespace dorv
