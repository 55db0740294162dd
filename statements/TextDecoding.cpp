#include "TextDecoding.h"

#include <QStringDecoder>

namespace dorv {

namespace {

struct CodePage {
    const char* qtName;
    const char* shownName;
};

const CodePage Win1251{"windows-1251", "Windows-1251"};
const CodePage Cp866{"IBM866", "CP866"};
const CodePage Win1252{"windows-1252", "Windows-1252"};
const CodePage Latin1{"ISO-8859-1", "ISO-8859-1"};

bool isAscii(const QByteArray& bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

QString decode(const QByteArray& bytes, const CodePage& page)
{
    QStringDecoder decoder(page.qtName);
    return decoder(bytes);
}

bool isCyrillic(QChar c) { return c.unicode() >= 0x0400 && c.unicode() <= 0x04FF; }
bool isAsciiLetter(QChar c) { return c.unicode() < 0x80 && c.isLetter(); }
bool isAccentedLatin(QChar c) { return c.unicode() >= 0xC0 && c.unicode() <= 0x024F && c.isLetter(); }

// How much the text looks like words: a Cyrillic letter beside another Cyrillic letter, an accented Latin
// letter beside a plain Latin one count for it; a Cyrillic letter glued to a Latin one, accented letters
// only among accented letters and box-drawing or other symbols count against it. A wrong code page turns
// Russian into runs of accented letters (1252) or frames (866), and French or German into Cyrillic
// letters inside Latin words (1251).
int plausibility(const QString& text)
{
    int score = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80)
            continue;
        const QChar prev = i > 0 ? text[i - 1] : QChar(u' ');
        const QChar next = i + 1 < n ? text[i + 1] : QChar(u' ');
        if (isCyrillic(c) && c.isLetter()) {
            if (isAsciiLetter(prev) || isAsciiLetter(next))
                score -= 2;
            else if (isCyrillic(prev) || isCyrillic(next))
                score += 1;
        } else if (isAccentedLatin(c)) {
            if (isAsciiLetter(prev) || isAsciiLetter(next))
                score += 1;
            else if (isAccentedLatin(prev) || isAccentedLatin(next) || isCyrillic(prev) || isCyrillic(next))
                score -= 1;
        } else if (c.isLetter()) {
            score -= 1; // Greek, box-drawing neighbours and the like in a bank's text are a wrong guess
        } else {
            switch (c.unicode()) {
            case 0x00A0: // no-break space
            case 0x00AB: // «
            case 0x00BB: // »
            case 0x00B0: // °
            case 0x2013: // –
            case 0x2014: // —
            case 0x2018:
            case 0x2019:
            case 0x201C:
            case 0x201D:
            case 0x201E:
            case 0x2116: // №
            case 0x20AC: // €
                break;
            default:
                score -= 2;
            }
        }
    }
    return score;
}

const CodePage* declaredCodePage(const QString& declared)
{
    const QString d = declared.trimmed().toLower();
    if (d.isEmpty())
        return nullptr;
    if (d == u"windows" || d.contains(u"1251"))
        return &Win1251;
    if (d == u"dos" || d.contains(u"866"))
        return &Cp866;
    if (d.contains(u"1252"))
        return &Win1252;
    if (d == u"latin1" || d == u"latin-1" || d.contains(u"8859-1") || d == u"iso8859-1")
        return &Latin1;
    return nullptr;
}

} // namespace

QString decodeStatementText(const QByteArray& bytes, const QString& declared, QString* used)
{
    auto tell = [used](const QString& name) {
        if (used)
            *used = name;
    };
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        tell(QStringLiteral("UTF-8"));
        return QString::fromUtf8(bytes.mid(3));
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        tell(QStringLiteral("UTF-16"));
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return decoder(bytes.mid(2));
    }
    const CodePage* page = declaredCodePage(declared);
    if (isAscii(bytes)) {
        // Every code page reads ASCII alike; name the declared one so the window shows what the file says.
        tell(page ? QString::fromLatin1(page->shownName) : QStringLiteral("UTF-8"));
        return QString::fromLatin1(bytes);
    }
    if (isValidUtf8(bytes)) {
        tell(QStringLiteral("UTF-8"));
        return QString::fromUtf8(bytes);
    }
    if (page) {
        tell(QString::fromLatin1(page->shownName));
        return decode(bytes, *page);
    }
    const CodePage* best = nullptr;
    QString bestText;
    int bestScore = 0;
    for (const CodePage* candidate : {&Win1251, &Cp866, &Win1252}) {
        QString text = decode(bytes, *candidate);
        const int score = plausibility(text);
        if (!best || score > bestScore) {
            best = candidate;
            bestScore = score;
            bestText = std::move(text);
        }
    }
    tell(QString::fromLatin1(best->shownName));
    return bestText;
}

} // namespace dorv
