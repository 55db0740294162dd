#include "StatementFormat.h"

#include <QRegularExpression>

namespace dorv {

namespace {

// The first bytes, without a byte-order mark and leading blank lines, for looking at the header.
QByteArray head(const QByteArray& bytes)
{
    QByteArray h = bytes.left(4096);
    if (h.startsWith("\xEF\xBB\xBF"))
        h.remove(0, 3);
    qsizetype i = 0;
    while (i < h.size() && (h[i] == '\r' || h[i] == '\n' || h[i] == ' ' || h[i] == '\t'))
        ++i;
    return h.mid(i);
}

// Text has no NUL bytes and few control characters other than line ends and tabs.
bool looksLikeText(const QByteArray& bytes)
{
    const QByteArray sample = bytes.left(65536);
    qsizetype control = 0;
    for (const char c : sample) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0)
            return false;
        if (b < 32 && b != '\r' && b != '\n' && b != '\t' && b != '\f')
            ++control;
    }
    return control * 100 <= sample.size();
}

} // namespace

StatementFormat detectStatementFormat(const QByteArray& bytes)
{
    if (bytes.trimmed().isEmpty() || !looksLikeText(bytes))
        return StatementFormat::Unknown;
    const QByteArray h = head(bytes);
    // The 1C header is the same in both of its code pages: ASCII letters of the first line.
    if (h.startsWith("1CClientBankExchange"))
        return StatementFormat::OneC;
    if (h.startsWith("OFXHEADER") || h.contains("<OFX>") || h.contains("<OFX ") || h.contains("?OFX "))
        return StatementFormat::Ofx;
    if (h.contains("urn:iso:std:iso:20022:tech:xsd:camt.05"))
        return StatementFormat::Camt;
    static const QRegularExpression qifType(QStringLiteral("^!(Type|Account|Option)"),
                                            QRegularExpression::MultilineOption
                                                | QRegularExpression::CaseInsensitiveOption);
    if (qifType.match(QString::fromLatin1(h)).hasMatch())
        return StatementFormat::Qif;
    if (h.startsWith("<?xml") || h.startsWith("<"))
        return StatementFormat::Unknown;
    return StatementFormat::Csv;
}

QString statementFormatName(StatementFormat format)
{
    switch (format) {
    case StatementFormat::Csv:
        return QStringLiteral("CSV");
    case StatementFormat::OneC:
        return QStringLiteral("1С: обмен с клиентом банка");
    case StatementFormat::Ofx:
        return QStringLiteral("OFX");
    case StatementFormat::Qif:
        return QStringLiteral("QIF");
    case StatementFormat::Camt:
        return QStringLiteral("CAMT.053");
    case StatementFormat::Unknown:
        break;
    }
    return QStringLiteral("неизвестный");
}

} // namespace dorv
