#include "data/FilterExpr.h"

#include "data/DbError.h"
#include "util/DateScale.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTime>

#include <cmath>

namespace dorv {

namespace {

// Deep enough for any filter a person writes, shallow enough that a pathological text cannot
// exhaust the stack of the recursive descent.
constexpr int MaxNesting = 100;

enum class Tok { End, Word, Name, String, Number, Op, LParen, RParen };

struct Token {
    Tok kind = Tok::End;
    QString text;      // the name, the literal's value, the number or the operator
    qsizetype pos = 0; // where the token starts in the filter text
    qsizetype len = 0;
};

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool allDigits(QStringView s)
{
    for (QChar c : s)
        if (!isAsciiDigit(c))
            return false;
    return !s.isEmpty();
}

QString quoteColumn(const QString& column)
{
    QString quoted = column;
    quoted.replace(u'"', QLatin1String("\"\""));
    return u'"' + quoted + u'"';
}

class Parser {
public:
    Parser(const QString& text, const FilterResolver& resolve) : m_text(text), m_resolve(resolve) {}

    SqlCondition run()
    {
        advance();
        QString sql = parseOr(0);
        if (m_tok.kind == Tok::RParen)
            fail(QStringLiteral("лишняя закрывающая скобка «)»"), m_tok.pos);
        if (m_tok.kind != Tok::End)
            fail(QStringLiteral("непонятный текст %1 — здесь ожидается and, or или конец фильтра").arg(shown(m_tok)),
                 m_tok.pos);
        return {std::move(sql), std::move(m_params)};
    }

private:
    [[noreturn]] void fail(const QString& what, qsizetype pos) const
    {
        const QString where =
            pos >= m_text.size() ? QStringLiteral("в конце текста") : QStringLiteral("позиция %1").arg(pos + 1);
        throw DbError(QStringLiteral("Ошибка в фильтре «%1»: %2 (%3).").arg(m_text, what, where));
    }

    QString shown(const Token& t) const { return u'«' + m_text.mid(t.pos, t.len) + u'»'; }

    // The end of text is already named by the position part of the message.
    QString found(const Token& t) const
    {
        return t.kind == Tok::End ? QString() : QStringLiteral(", а встретилось ") + shown(t);
    }

    static bool isKeyword(const Token& t, QLatin1String word)
    {
        return t.kind == Tok::Word && t.text.compare(word, Qt::CaseInsensitive) == 0;
    }

    static bool isAnyKeyword(const Token& t)
    {
        return isKeyword(t, QLatin1String("and")) || isKeyword(t, QLatin1String("or"))
               || isKeyword(t, QLatin1String("not")) || isKeyword(t, QLatin1String("null"));
    }

    void advance() { m_tok = lex(); }

    Token lex()
    {
        const qsizetype n = m_text.size();
        while (m_at < n && m_text[m_at].isSpace())
            ++m_at;
        Token t;
        t.pos = m_at;
        if (m_at >= n)
            return t;
        const QChar c = m_text[m_at];
        if (c == u'(' || c == u')') {
            t.kind = c == u'(' ? Tok::LParen : Tok::RParen;
            t.text = c;
            ++m_at;
        } else if (c == u'[') {
            const qsizetype close = m_text.indexOf(u']', m_at + 1);
            if (close < 0)
                fail(QStringLiteral("не закрыта квадратная скобка «[»"), m_at);
            t.kind = Tok::Name;
            t.text = m_text.mid(m_at + 1, close - m_at - 1).trimmed();
            if (t.text.isEmpty())
                fail(QStringLiteral("пустое имя поля в квадратных скобках"), m_at);
            m_at = close + 1;
        } else if (c == u'\'') {
            t.kind = Tok::String;
            qsizetype i = m_at + 1;
            for (;;) {
                if (i >= n)
                    fail(QStringLiteral("не закрыта кавычка"), m_at);
                if (m_text[i] == u'\'') {
                    if (i + 1 < n && m_text[i + 1] == u'\'') {
                        t.text += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += m_text[i++];
            }
            m_at = i;
        } else if (c == u'<' || c == u'>' || c == u'=') {
            t.kind = Tok::Op;
            const QChar d = m_at + 1 < n ? m_text[m_at + 1] : QChar();
            if ((c == u'<' && (d == u'=' || d == u'>')) || (c == u'>' && d == u'='))
                t.text = QString(c) + d;
            else
                t.text = c;
            m_at += t.text.size();
        } else if (((c == u'-' || c == u'+') && m_at + 1 < n && isAsciiDigit(m_text[m_at + 1])) || isWordChar(c)) {
            qsizetype i = m_at;
            if (!isWordChar(c))
                ++i;
            const qsizetype wordStart = i;
            while (i < n && isWordChar(m_text[i]))
                ++i;
            const bool numeric = allDigits(QStringView(m_text).sliced(wordStart, i - wordStart));
            if (numeric && i + 1 < n && (m_text[i] == u'.' || m_text[i] == u',') && isAsciiDigit(m_text[i + 1])) {
                ++i;
                while (i < n && isAsciiDigit(m_text[i]))
                    ++i;
            }
            if (numeric && i < n && isWordChar(m_text[i]))
                fail(QStringLiteral("неверно записано число"), m_at);
            if (!numeric && !isWordChar(c))
                fail(QStringLiteral("неверно записано число"), m_at);
            t.kind = numeric ? Tok::Number : Tok::Word;
            t.text = m_text.mid(m_at, i - m_at);
            m_at = i;
        } else {
            fail(QStringLiteral("недопустимый символ «%1»").arg(c), m_at);
        }
        t.len = m_at - t.pos;
        return t;
    }

    QString parseOr(int depth)
    {
        QStringList parts{parseAnd(depth)};
        while (isKeyword(m_tok, QLatin1String("or"))) {
            advance();
            parts << parseAnd(depth);
        }
        return parts.size() == 1 ? parts.front() : u'(' + parts.join(QLatin1String(" OR ")) + u')';
    }

    QString parseAnd(int depth)
    {
        QStringList parts{parseNot(depth)};
        while (isKeyword(m_tok, QLatin1String("and"))) {
            advance();
            parts << parseNot(depth);
        }
        return parts.size() == 1 ? parts.front() : u'(' + parts.join(QLatin1String(" AND ")) + u')';
    }

    QString parseNot(int depth)
    {
        if (!isKeyword(m_tok, QLatin1String("not")))
            return parsePrimary(depth);
        checkDepth(depth);
        advance();
        // A comparison against null is unknown in SQL, and NOT would keep it unknown; the filter
        // counts it as false, so the negation must turn it into a match.
        return u'(' + parseNot(depth + 1) + QLatin1String(" IS NOT TRUE)");
    }

    QString parsePrimary(int depth)
    {
        if (m_tok.kind != Tok::LParen)
            return parseComparison();
        checkDepth(depth);
        const qsizetype open = m_tok.pos;
        advance();
        QString inner = parseOr(depth + 1);
        if (m_tok.kind == Tok::End)
            fail(QStringLiteral("не хватает закрывающей скобки «)» к открывающей на позиции %1").arg(open + 1),
                 m_tok.pos);
        if (m_tok.kind != Tok::RParen)
            fail(QStringLiteral("ожидается «)»%1").arg(found(m_tok)), m_tok.pos);
        advance();
        return inner;
    }

    void checkDepth(int depth) const
    {
        if (depth >= MaxNesting)
            fail(QStringLiteral("слишком глубокая вложенность скобок или not"), m_tok.pos);
    }

    QString parseComparison()
    {
        if (!(m_tok.kind == Tok::Name || (m_tok.kind == Tok::Word && !isAnyKeyword(m_tok))))
            fail(QStringLiteral("ожидается имя поля%1").arg(found(m_tok)), m_tok.pos);
        const Token field = m_tok;
        const std::optional<FilterColumn> column = m_resolve(field.text);
        if (!column)
            fail(QStringLiteral("нет поля «%1»").arg(field.text), field.pos);
        advance();

        if (m_tok.kind != Tok::Op)
            fail(QStringLiteral("после поля «%1» ожидается знак сравнения (=, <>, <, <=, >, >=)%2")
                     .arg(field.text, found(m_tok)),
                 m_tok.pos);
        const Token op = m_tok;
        advance();

        const QString col = quoteColumn(column->column);
        if (isKeyword(m_tok, QLatin1String("null"))) {
            if (op.text != QLatin1String("=") && op.text != QLatin1String("<>"))
                fail(QStringLiteral("с null можно сравнивать только знаками «=» и «<>», а не «%1»").arg(op.text),
                     op.pos);
            advance();
            return u'(' + col
                   + (op.text == QLatin1String("=") ? QLatin1String(" IS NULL)") : QLatin1String(" IS NOT NULL)"));
        }
        if (m_tok.kind != Tok::String && m_tok.kind != Tok::Number)
            fail(QStringLiteral("после «%1» ожидается значение — текст в кавычках, число или null%2")
                     .arg(op.text, found(m_tok)),
                 m_tok.pos);
        m_params << convert(*column, field.text, m_tok);
        advance();

        // Null differs from every value, yet SQL leaves "<>" against null unknown.
        if (op.text == QLatin1String("<>"))
            return u'(' + col + QLatin1String(" <> ? OR ") + col + QLatin1String(" IS NULL)");
        return u'(' + col + u' ' + op.text + QLatin1String(" ?)");
    }

    QVariant convert(const FilterColumn& column, const QString& fieldName, const Token& value) const
    {
        const QString& v = value.text;
        auto refuse = [&](const QString& need) {
            fail(QStringLiteral("значение «%1» поля «%2» %3").arg(v, fieldName, need), value.pos);
        };
        switch (column.type) {
        case FieldType::Text:
            return v;
        case FieldType::SmallInt: {
            static const QRegularExpression integer(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));
            if (!integer.match(v).hasMatch())
                refuse(QStringLiteral("должно быть целым числом"));
            bool ok = false;
            const qint64 n = v.trimmed().toLongLong(&ok);
            if (!ok || n < -32768 || n > 32767)
                refuse(QStringLiteral("вне пределов от -32768 до 32767"));
            return n;
        }
        case FieldType::Float: {
            static const QRegularExpression number(
                QStringLiteral("^\\s*[+-]?(\\d+([.,]\\d*)?|[.,]\\d+)([eE][+-]?\\d+)?\\s*$"));
            if (!number.match(v).hasMatch())
                refuse(QStringLiteral("должно быть числом"));
            QString s = v.trimmed();
            s.replace(u',', u'.');
            bool ok = false;
            const double d = s.toDouble(&ok);
            if (!ok || !std::isfinite(d))
                refuse(QStringLiteral("должно быть числом"));
            return d;
        }
        case FieldType::Date: {
            int day = 0;
            if (!parseShortDate(v, &day))
                refuse(QStringLiteral("должно быть датой вида дд.мм.гггг"));
            return qint64(day);
        }
        case FieldType::DateTime: {
            static const QRegularExpression moment(
                QStringLiteral("^\\s*(\\S+)(?:\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?\\s*$"));
            const auto m = moment.match(v);
            int day = 0;
            QTime time(0, 0);
            if (m.hasMatch() && m.hasCaptured(2))
                time =
                    QTime(m.captured(2).toInt(), m.captured(3).toInt(), m.hasCaptured(4) ? m.captured(4).toInt() : 0);
            if (!m.hasMatch() || !parseShortDate(m.captured(1), &day) || !time.isValid())
                refuse(QStringLiteral("должно быть датой вида дд.мм.гггг, возможно со временем чч:мм или чч:мм:сс"));
            return qint64(day) * MsPerDay + time.msecsSinceStartOfDay();
        }
        }
        return {};
    }

    const QString& m_text;
    const FilterResolver& m_resolve;
    qsizetype m_at = 0;
    Token m_tok;
    QVariantList m_params;
};

} // namespace

SqlCondition translateFilter(const QString& text, const FilterResolver& resolve)
{
    if (text.trimmed().isEmpty())
        return {};
    return Parser(text, resolve).run();
}

} // namespace dorv
