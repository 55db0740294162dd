#include "Query.h"

#include "DataSource.h"
#include "Database.h"
#include "DbError.h"
#include "util/Swallowed.h"

#include <QRegularExpression>

namespace dorv {

namespace {

bool isCanonicalNumber(QStringView s)
{
    static const QRegularExpression re(QStringLiteral("^-?(0|[1-9][0-9]{0,17})(\\.[0-9]*[1-9])?$"));
    return re.match(s).hasMatch();
}

} // namespace

QString adaptSql(const QString& text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"')) {
            const qsizetype end = text.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += QStringView(text).mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c != QLatin1Char('\'')) {
            out += c;
            ++i;
            continue;
        }
        // A string literal; '' inside stands for one quote.
        qsizetype j = i + 1;
        QString body;
        bool closed = false;
        while (j < n) {
            if (text.at(j) == QLatin1Char('\'')) {
                if (j + 1 < n && text.at(j + 1) == QLatin1Char('\'')) {
                    body += QLatin1Char('\'');
                    j += 2;
                    continue;
                }
                closed = true;
                break;
            }
            body += text.at(j++);
        }
        if (closed && isCanonicalNumber(body)) {
            // A space keeps "x>'-5'" from becoming an operator run like ">-".
            out += QLatin1Char(' ') + body + QLatin1Char(' ');
        } else {
            out += QStringView(text).mid(i, (closed ? j + 1 : n) - i);
        }
        i = closed ? j + 1 : n;
    }
    return out;
}

Query::Query(const QString& name, QObject* parent) : Dataset(name, parent) {}

int Query::columnOfField(int fieldIndex) const
{
    return fieldIndex >= 0 && size_t(fieldIndex) < m_fieldColumn.size() ? m_fieldColumn[size_t(fieldIndex)] : -1;
}

void Query::setSql(const QStringList& lines)
{
    if (active())
        close();
    m_lines = lines;
    parseParams();
}

void Query::setLine(int i, const QString& line)
{
    QStringList lines = m_lines;
    while (lines.size() <= i)
        lines << QString();
    lines[i] = line;
    setSql(lines);
}

void Query::addLine(const QString& line) { setSql(m_lines + QStringList{line}); }

void Query::parseParams()
{
    static const QRegularExpression re(QStringLiteral("(?<![:\\w]):([A-Za-z_][A-Za-z0-9_]*)"));
    m_paramOrder.clear();
    // Parameters inside string literals are text, not parameters.
    QString text = sqlText();
    static const QRegularExpression literal(QStringLiteral("'(?:[^']|'')*'"));
    text.replace(literal, QStringLiteral("''"));
    auto it = re.globalMatch(text);
    while (it.hasNext()) {
        const QString name = it.next().captured(1);
        const QString key = name.toUpper();
        if (!m_params.contains(key))
            m_params.insert(key, QueryParam{name, FieldType::SmallInt, {}});
        if (!m_paramOrder.contains(name, Qt::CaseInsensitive))
            m_paramOrder << name;
    }
}

QueryParam& Query::paramByName(const QString& name)
{
    const auto it = m_params.find(name.toUpper());
    if (it == m_params.end() || !m_paramOrder.contains(name, Qt::CaseInsensitive))
        throw DbError(QStringLiteral("%1: параметр «%2» не найден").arg(this->name(), name));
    return *it;
}

void Query::bindParams(Statement& st)
{
    for (int i = 1; i <= st.parameterCount(); ++i) {
        const QString n = st.parameterName(i);
        st.bind(i, m_params.value(n.toUpper()).value);
    }
}

void Query::setMasterSource(DataSource* master)
{
    if (m_master)
        disconnect(m_master, nullptr, this, nullptr);
    m_master = master;
    if (!m_master)
        return;
    connect(m_master, &DataSource::dataChanged, this, [this](Field* field) {
        if (field != nullptr || !active() || editing())
            return;
        // This runs inside the master's change notice, where an error has nowhere to go: the
        // query closes and says why.
        try {
            takeMasterValues();
            reloadHandles(FirstRow);
        } catch (const DbError& e) {
            closeQuietly();
            emit masterFailed(e.message());
        } catch (...) {
            closeQuietly();
            emit masterFailed(QStringLiteral("Не удалось прочитать запрос %1").arg(name()));
        }
    });
}

void Query::closeQuietly()
{
    try {
        close();
    } catch (...) {
        // A query that cannot close is opened afresh next time.
        noteSwallowed("closing a query");
    }
}

void Query::takeMasterValues()
{
    if (!m_master || !m_master->dataset() || !m_master->dataset()->active())
        return;
    for (const QString& n : std::as_const(m_paramOrder)) {
        if (Field* f = m_master->dataset()->findField(n)) {
            QueryParam& p = m_params[n.toUpper()];
            p.type = f->type();
            p.value = f->value();
        }
    }
}

QString Query::liveTableOf(const QString& text) const
{
    static const QRegularExpression re(
        QStringLiteral(
            "^\\s*select\\s+(.+?)\\s+from\\s+([A-Za-z_][A-Za-z0-9_]*)(\\s+where\\s+.*|\\s+order\\s+by\\s+.*|\\s*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(text);
    if (!m.hasMatch())
        return {};
    static const QRegularExpression forbidden(
        QStringLiteral("\\b(join|group|union|distinct|having)\\b|\\(|,\\s*\\w+\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    if (m.captured(1).contains(forbidden)
        || m.captured(3).contains(QRegularExpression(QStringLiteral("\\b(join|group|union|having)\\b"),
                                                     QRegularExpression::CaseInsensitiveOption)))
        return {};
    return m.captured(2);
}

namespace {

// Local SQL of the old engine takes a column that two joined tables share (id_person of the history
// and of the persons) as the first table's; SQLite calls it ambiguous. The joins on those columns
// make both equal, so the column is qualified with the first table of the FROM clause, outside
// string literals, and the statement is prepared again.
QString qualifyColumn(const QString& text, const QString& column)
{
    static const QRegularExpression from(
        QStringLiteral("\\bfrom\\s+([A-Za-z_][A-Za-z0-9_]*)(\\s+([A-Za-z_][A-Za-z0-9_]*))?"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = from.match(text);
    if (!m.hasMatch())
        return text;
    static const QStringList keywords{QStringLiteral("where"), QStringLiteral("inner"), QStringLiteral("left"),
                                      QStringLiteral("join"),  QStringLiteral("group"), QStringLiteral("order"),
                                      QStringLiteral("on"),    QStringLiteral("having")};
    QString alias = m.captured(3);
    if (alias.compare(QLatin1String("as"), Qt::CaseInsensitive) == 0) {
        static const QRegularExpression aliased(
            QStringLiteral("\\bfrom\\s+[A-Za-z_][A-Za-z0-9_]*\\s+as\\s+([A-Za-z_][A-Za-z0-9_]*)"),
            QRegularExpression::CaseInsensitiveOption);
        alias = aliased.match(text).captured(1);
    }
    if (alias.isEmpty() || keywords.contains(alias.toLower()))
        alias = m.captured(1);
    QString out;
    QChar quote; // inside '...' or "...", which stay as they are
    bool afterAs = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            out += c;
            ++i;
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            out += c;
            ++i;
            continue;
        }
        // A word that is a parameter (:name), a qualified name (x.name) or a part of one is left alone.
        const QChar prev = i > 0 ? text.at(i - 1) : QChar();
        const bool wordStart = (c.isLetter() || c == QLatin1Char('_'))
                               && !(prev.isLetterOrNumber() || prev == QLatin1Char('_') || prev == QLatin1Char('.')
                                    || prev == QLatin1Char(':') || prev == QLatin1Char('@') || prev == QLatin1Char('$')
                                    || prev == QLatin1Char('?'));
        if (wordStart) {
            qsizetype j = i;
            while (j < n && (text.at(j).isLetterOrNumber() || text.at(j) == QLatin1Char('_')))
                ++j;
            const QStringView word = QStringView(text).mid(i, j - i);
            // The name an AS gives is a new name, not the column.
            if (!afterAs && word.compare(column, Qt::CaseInsensitive) == 0
                && (j >= n || text.at(j) != QLatin1Char('.')))
                out += alias + QLatin1Char('.');
            afterAs = word.compare(QLatin1String("as"), Qt::CaseInsensitive) == 0;
            out += word;
            i = j;
            continue;
        }
        if (!c.isSpace())
            afterAs = false;
        out += c;
        ++i;
    }
    return out;
}

// Prepares the text, qualifying the columns the database finds ambiguous; text becomes what ran.
Statement prepareResolving(Database& db, QString& text)
{
    static const QRegularExpression ambiguous(QStringLiteral("ambiguous column name: ([A-Za-z_][A-Za-z0-9_.]*)"));
    for (int attempt = 0;; ++attempt) {
        try {
            return db.prepareOnce(text);
        } catch (const DbError& e) {
            const auto m = ambiguous.match(e.message());
            if (attempt >= 8 || !m.hasMatch())
                throw;
            const QString resolved = qualifyColumn(text, m.captured(1).section(QLatin1Char('.'), -1));
            if (resolved == text)
                throw;
            text = resolved;
        }
    }
}

} // namespace

void Query::openStorage()
{
    QString text = adaptSql(sqlText()).trimmed();
    if (text.isEmpty())
        throw DbError(QStringLiteral("%1: пустой текст запроса").arg(name()));
    m_liveTable = m_requestLive ? liveTableOf(text) : QString();
    if (!m_liveTable.isEmpty()) {
        static const QRegularExpression sel(QStringLiteral("^\\s*select\\s+"),
                                            QRegularExpression::CaseInsensitiveOption);
        text.replace(sel, QStringLiteral("SELECT rowid AS dorv_rowid_, "));
    }
    takeMasterValues();
    Statement st = prepareResolving(*m_db, text);
    m_runText = text;
    if (st.columnCount() == 0)
        throw DbError(
            QStringLiteral("%1: запрос не возвращает строк; его нужно выполнять, а не открывать").arg(name()));
    bindParams(st);

    const int first = m_liveTable.isEmpty() ? 0 : 1;
    m_rowidColumn = m_liveTable.isEmpty() ? -1 : 0;
    bool anyDeclared = false;
    for (const auto& f : allFields())
        anyDeclared = anyDeclared || f->isData();
    m_madeFields = !anyDeclared;
    m_columnOrigins.clear();
    QStringList columnNames;
    for (int i = 0; i < st.columnCount(); ++i) {
        columnNames << st.columnName(i);
        const QString origin = st.columnOrigin(i);
        m_columnOrigins << (origin.isEmpty() ? st.columnName(i) : origin);
    }
    if (m_madeFields) {
        for (int i = first; i < st.columnCount(); ++i) {
            FieldType ft = FieldType::Float;
            int size = 0;
            if (!fieldTypeFromSql(st.columnDeclaredType(i), &ft, &size))
                ft = FieldType::Float; // sums, counts and other expressions: numbers
            addField(columnNames[i], ft, size);
        }
    }
    rebuildFieldList();
    m_fieldColumn.assign(size_t(fieldCount()), -1);
    for (Field* f : fields()) {
        if (!f->isData())
            continue;
        for (int i = first; i < columnNames.size(); ++i)
            if (columnNames[i].compare(f->name(), Qt::CaseInsensitive) == 0) {
                m_fieldColumn[size_t(f->index())] = i;
                break;
            }
    }
    readRows(st);
}

void Query::readRows(Statement& st)
{
    m_rows.clear();
    while (st.step()) {
        std::vector<QVariant> row(size_t(st.columnCount()));
        for (int i = 0; i < st.columnCount(); ++i)
            row[size_t(i)] = st.column(i);
        m_rows.push_back(std::move(row));
    }
}

void Query::closeStorage()
{
    m_rows.clear();
    m_liveTable.clear();
    if (m_madeFields) {
        // Result fields belong to one text; the next text brings its own.
        removeAllFields();
        m_madeFields = false;
    }
}

std::vector<qint64> Query::loadHandles()
{
    // Opening has just read the rows; a master's row change or a refresh runs the text again.
    if (active()) {
        Statement st = m_db->prepareOnce(m_runText);
        bindParams(st);
        readRows(st);
    }
    std::vector<qint64> h(m_rows.size());
    for (size_t i = 0; i < h.size(); ++i)
        h[i] = qint64(i);
    return h;
}

bool Query::fetchRecord(qint64 handle, Record& record)
{
    if (handle < 0 || size_t(handle) >= m_rows.size())
        return false;
    const auto& row = m_rows[size_t(handle)];
    for (Field* f : fields()) {
        const int col = columnOfField(f->index());
        if (col < 0)
            continue;
        QVariant v = row[size_t(col)];
        if (v.isValid()) {
            try {
                v = normalizeValue(f->type(), v, f->label());
            } catch (const DbError&) {
            }
        }
        record[f->index()] = v;
    }
    return true;
}

int Query::execSQL()
{
    if (active())
        close();
    auto db = Database::acquire(databaseName());
    QString text = adaptSql(sqlText());
    Statement st = prepareResolving(*db, text);
    takeMasterValues();
    bindParams(st);
    while (st.step()) {
    }
    return db->changes();
}

qint64 Query::insertRecord(const Record& record)
{
    if (m_liveTable.isEmpty())
        throw DbError(QStringLiteral("%1: результат запроса только для чтения").arg(name()));
    QStringList cols, marks;
    QVariantList values;
    std::vector<QVariant> row(m_columnOrigins.size());
    for (Field* f : fields()) {
        const int col = columnOfField(f->index());
        if (col < 0 || !f->isData())
            continue;
        cols << QLatin1Char('"') + m_columnOrigins[col] + QLatin1Char('"');
        marks << QStringLiteral("?");
        values << record.value(f->index());
        row[size_t(col)] = record.value(f->index());
    }
    Statement st = m_db->prepare(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                     .arg(m_liveTable, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    st.bindAll(values);
    st.step();
    row[size_t(m_rowidColumn)] = m_db->lastInsertRowId();
    m_rows.push_back(std::move(row));
    return qint64(m_rows.size() - 1);
}

void Query::updateRecord(qint64 handle, const Record& before, const Record& after)
{
    if (m_liveTable.isEmpty())
        throw DbError(QStringLiteral("%1: результат запроса только для чтения").arg(name()));
    QStringList sets;
    QVariantList values;
    auto& row = m_rows[size_t(handle)];
    for (Field* f : fields()) {
        const int col = columnOfField(f->index());
        if (col < 0 || !f->isData())
            continue;
        const QVariant& a = after.value(f->index());
        const QVariant& b = before.value(f->index());
        if (a.isValid() == b.isValid() && (!a.isValid() || compareValues(a, b) == 0))
            continue;
        sets << QStringLiteral("\"%1\"=?").arg(m_columnOrigins[col]);
        values << a;
        row[size_t(col)] = a;
    }
    if (sets.isEmpty())
        return;
    Statement st = m_db->prepare(
        QStringLiteral("UPDATE \"%1\" SET %2 WHERE rowid=?").arg(m_liveTable, sets.join(QLatin1Char(','))));
    st.bindAll(values);
    st.bind(int(values.size()) + 1, row[size_t(m_rowidColumn)]);
    st.step();
}

void Query::deleteStoredRecord(qint64 handle)
{
    if (m_liveTable.isEmpty())
        throw DbError(QStringLiteral("%1: результат запроса только для чтения").arg(name()));
    Statement st = m_db->prepare(QStringLiteral("DELETE FROM \"%1\" WHERE rowid=?").arg(m_liveTable));
    st.bind(1, m_rows[size_t(handle)][size_t(m_rowidColumn)]);
    st.step();
}

} // namespace dorv
