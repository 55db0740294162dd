#include "ChangeRecorder.h"

#include "Database.h"
#include "DbError.h"

#include <QScopeGuard>

// The system's SQLite is built with the session extension; its declarations are asked for here.
#define SQLITE_ENABLE_SESSION
#define SQLITE_ENABLE_PREUPDATE_HOOK
#include <sqlite3.h>

#include <cstring>

namespace dorv {

namespace {

QHash<const Database*, ChangeRecorder*>& recorders()
{
    static QHash<const Database*, ChangeRecorder*> r;
    return r;
}

[[noreturn]] void raiseCode(int code, const QString& context)
{
    throw DbError(describeSqliteError(code, context + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errstr(code))));
}

QVariant toVariant(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return qint64(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
    default:
        return {};
    }
}

// The same stored value: the same type and the same bytes (a float exactly, text byte for byte).
bool sameValue(sqlite3_value* a, sqlite3_value* b)
{
    if (!a || !b)
        return a == b;
    const int type = sqlite3_value_type(a);
    if (type != sqlite3_value_type(b))
        return false;
    switch (type) {
    case SQLITE_NULL:
        return true;
    case SQLITE_INTEGER:
        return sqlite3_value_int64(a) == sqlite3_value_int64(b);
    case SQLITE_FLOAT:
        return sqlite3_value_double(a) == sqlite3_value_double(b);
    default: {
        const void* pa = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(a)) : sqlite3_value_blob(a);
        const void* pb = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(b)) : sqlite3_value_blob(b);
        const int n = sqlite3_value_bytes(a);
        return n == sqlite3_value_bytes(b) && (n == 0 || std::memcmp(pa, pb, size_t(n)) == 0);
    }
    }
}

ChangedRow::Op opOf(int code)
{
    switch (code) {
    case SQLITE_INSERT:
        return ChangedRow::Op::Insert;
    case SQLITE_DELETE:
        return ChangedRow::Op::Delete;
    default:
        return ChangedRow::Op::Update;
    }
}

// The row the iterator stands on, with the column names given (or numbers when there are none).
ChangedRow rowAt(sqlite3_changeset_iter* iter, const QStringList& names)
{
    const char* table = nullptr;
    int columns = 0, op = 0, indirect = 0;
    sqlite3changeset_op(iter, &table, &columns, &op, &indirect);
    unsigned char* pk = nullptr;
    sqlite3changeset_pk(iter, &pk, &columns);
    ChangedRow row;
    row.table = QString::fromUtf8(table).toUpper();
    row.op = opOf(op);
    for (int i = 0; i < columns; ++i) {
        row.columns << (i < names.size() ? names.at(i) : QString::number(i));
        row.key << (pk && pk[i] != 0);
        sqlite3_value* value = nullptr;
        std::optional<QVariant> before, after;
        if (op != SQLITE_INSERT && sqlite3changeset_old(iter, i, &value) == SQLITE_OK && value)
            before = toVariant(value);
        value = nullptr;
        if (op != SQLITE_DELETE && sqlite3changeset_new(iter, i, &value) == SQLITE_OK && value)
            after = toVariant(value);
        row.before << before;
        row.after << after;
    }
    return row;
}

void updateHook(void* recorder, int, const char*, const char*, sqlite3_int64)
{
    auto* r = static_cast<ChangeRecorder*>(recorder);
    if (r->rowWritten)
        r->rowWritten();
}

struct ApplyContext {
    ChangeRecorder* recorder;
    const QSet<QString>* ignored;
    std::optional<ApplyConflict> conflict;
};

} // namespace

// ---- ChangedRow ----

int ChangedRow::column(const QString& name) const { return int(columns.indexOf(name.toUpper())); }

std::optional<QVariant> ChangedRow::valueBefore(const QString& name) const
{
    const int i = column(name);
    return i < 0 ? std::nullopt : before.at(i);
}

std::optional<QVariant> ChangedRow::valueAfter(const QString& name) const
{
    const int i = column(name);
    return i < 0 ? std::nullopt : after.at(i);
}

QVariant ChangedRow::value(const QString& name) const
{
    if (const auto a = valueAfter(name))
        return *a;
    return valueBefore(name).value_or(QVariant());
}

QVariantMap ChangedRow::lastValues() const
{
    QVariantMap out;
    for (int i = 0; i < columns.size(); ++i) {
        if (after.at(i))
            out.insert(columns.at(i), *after.at(i));
        else if (before.at(i))
            out.insert(columns.at(i), *before.at(i));
    }
    return out;
}

QVariantMap ChangedRow::firstValues() const
{
    QVariantMap out;
    for (int i = 0; i < columns.size(); ++i)
        if (before.at(i))
            out.insert(columns.at(i), *before.at(i));
    return out;
}

QVariantMap ChangedRow::keyValues() const
{
    QVariantMap out;
    for (int i = 0; i < columns.size(); ++i)
        if (key.at(i))
            out.insert(columns.at(i), before.at(i) ? *before.at(i) : after.at(i).value_or(QVariant()));
    return out;
}

// ---- ChangesetReader ----

ChangesetReader::ChangesetReader(const QByteArray& changeset, std::function<QStringList(const QString&)> columnNames)
    : m_data(changeset), m_columnNames(std::move(columnNames))
{
    const int rc = sqlite3changeset_start(&m_iter, int(m_data.size()), m_data.data());
    if (rc != SQLITE_OK) {
        m_iter = nullptr;
        raiseCode(rc, QStringLiteral("Запись изменений не читается"));
    }
}

ChangesetReader::~ChangesetReader()
{
    if (m_iter)
        sqlite3changeset_finalize(m_iter);
}

bool ChangesetReader::next()
{
    if (!m_iter)
        return false;
    const int rc = sqlite3changeset_next(m_iter);
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        raiseCode(rc, QStringLiteral("Запись изменений не читается"));
    const char* table = nullptr;
    int columns = 0, op = 0, indirect = 0;
    sqlite3changeset_op(m_iter, &table, &columns, &op, &indirect);
    m_table = QString::fromUtf8(table).toUpper();
    m_op = opOf(op);
    return true;
}

ChangedRow ChangesetReader::row() const
{
    return rowAt(m_iter, m_columnNames ? m_columnNames(m_table) : QStringList());
}

// ---- ChangeRecorder ----

ChangeRecorder::ChangeRecorder(std::shared_ptr<Database> db) : m_db(std::move(db))
{
    startSession();
    recorders().insert(m_db.get(), this);
    sqlite3_update_hook(m_db->handle(), updateHook, this);
}

ChangeRecorder::~ChangeRecorder()
{
    sqlite3_update_hook(m_db->handle(), nullptr, nullptr);
    recorders().remove(m_db.get());
    // The session goes before the connection it watches may close.
    stopSession();
}

void ChangeRecorder::startSession()
{
    sqlite3_session* session = nullptr;
    int rc = sqlite3session_create(m_db->handle(), "main", &session);
    if (rc == SQLITE_OK)
        rc = sqlite3session_attach(session, nullptr);
    if (rc != SQLITE_OK) {
        if (session)
            sqlite3session_delete(session);
        raiseCode(rc, QStringLiteral("Запись изменений не удалось начать"));
    }
    if (m_paused > 0)
        sqlite3session_enable(session, 0);
    m_session = session;
}

void ChangeRecorder::stopSession()
{
    if (m_session)
        sqlite3session_delete(m_session);
    m_session = nullptr;
}

bool ChangeRecorder::isEmpty() const { return !m_session || sqlite3session_isempty(m_session); }

QByteArray ChangeRecorder::take()
{
    if (!m_session) {
        startSession();
        return {};
    }
    if (sqlite3session_isempty(m_session))
        return {};
    int size = 0;
    void* data = nullptr;
    const int rc = sqlite3session_changeset(m_session, &size, &data);
    if (rc != SQLITE_OK)
        raiseCode(rc, QStringLiteral("Изменения не удалось записать для отмены"));
    QByteArray out(static_cast<const char*>(data), size);
    sqlite3_free(data);
    // The next session stands before this one goes: a failure keeps recording on the old one,
    // whose changes are then taken with the next step rather than lost.
    sqlite3_session* taken = m_session;
    m_session = nullptr;
    try {
        startSession();
    } catch (...) {
        m_session = taken;
        throw;
    }
    sqlite3session_delete(taken);
    return out;
}

bool ChangeRecorder::inTransaction() const { return !sqlite3_get_autocommit(m_db->handle()); }

void ChangeRecorder::pause()
{
    if (m_paused++ == 0 && m_session)
        sqlite3session_enable(m_session, 0);
}

void ChangeRecorder::resume()
{
    if (m_paused > 0 && --m_paused == 0 && m_session)
        sqlite3session_enable(m_session, 1);
}

ChangeRecorder::Quiet::Quiet(const Database* db) : m_recorder(db ? recorders().value(db) : nullptr)
{
    if (m_recorder)
        m_recorder->pause();
}

ChangeRecorder::Quiet::~Quiet()
{
    if (m_recorder && recorders().key(m_recorder))
        m_recorder->resume();
}

QStringList ChangeRecorder::columnsOf(const QString& table) const
{
    const QString key = table.toUpper();
    auto it = m_columns.constFind(key);
    if (it != m_columns.constEnd())
        return *it;
    QStringList names;
    Statement st =
        m_db->prepareOnce(QStringLiteral("PRAGMA table_info(\"%1\")").arg(QString(table).remove(QLatin1Char('"'))));
    while (st.step())
        names << st.column(1).toString().toUpper();
    m_columns.insert(key, names);
    return names;
}

std::unique_ptr<ChangesetReader> ChangeRecorder::read(const QByteArray& changeset) const
{
    return std::make_unique<ChangesetReader>(changeset, [this](const QString& table) { return columnsOf(table); });
}

QByteArray ChangeRecorder::invert(const QByteArray& changeset)
{
    if (changeset.isEmpty())
        return {};
    int size = 0;
    void* data = nullptr;
    const int rc = sqlite3changeset_invert(int(changeset.size()), changeset.constData(), &size, &data);
    if (rc != SQLITE_OK)
        raiseCode(rc, QStringLiteral("Изменения не удалось обратить"));
    QByteArray out(static_cast<const char*>(data), size);
    sqlite3_free(data);
    return out;
}

int ChangeRecorder::conflict(void* context, int kind, sqlite3_changeset_iter* iter)
{
    auto& ctx = *static_cast<ApplyContext*>(context);
    if (kind == SQLITE_CHANGESET_FOREIGN_KEY) {
        ctx.conflict = ApplyConflict{ApplyConflict::Kind::Constraint, {}};
        return SQLITE_CHANGESET_ABORT;
    }
    const char* tableName = nullptr;
    int columns = 0, op = 0, indirect = 0;
    sqlite3changeset_op(iter, &tableName, &columns, &op, &indirect);
    const QString table = QString::fromUtf8(tableName).toUpper();
    // The names are cached before apply() starts: no statement runs on the connection from here.
    const QStringList names = ctx.recorder->m_columns.value(table);
    if (kind == SQLITE_CHANGESET_DATA && !ctx.ignored->isEmpty()) {
        bool onlyIgnored = true;
        for (int i = 0; i < columns && onlyIgnored; ++i) {
            sqlite3_value* expected = nullptr;
            sqlite3_value* present = nullptr;
            if (sqlite3changeset_old(iter, i, &expected) != SQLITE_OK || !expected)
                continue;
            if (sqlite3changeset_conflict(iter, i, &present) != SQLITE_OK)
                onlyIgnored = false;
            else if (!sameValue(expected, present))
                onlyIgnored = i < names.size() && ctx.ignored->contains(table + QLatin1Char('.') + names.at(i));
        }
        if (onlyIgnored)
            return SQLITE_CHANGESET_REPLACE;
    }
    ApplyConflict c;
    switch (kind) {
    case SQLITE_CHANGESET_DATA:
        c.kind = ApplyConflict::Kind::Changed;
        break;
    case SQLITE_CHANGESET_NOTFOUND:
        c.kind = ApplyConflict::Kind::Missing;
        break;
    case SQLITE_CHANGESET_CONFLICT:
        c.kind = ApplyConflict::Kind::Exists;
        break;
    default:
        c.kind = ApplyConflict::Kind::Constraint;
        break;
    }
    c.row = rowAt(iter, names);
    ctx.conflict = c;
    return SQLITE_CHANGESET_ABORT;
}

std::optional<ApplyConflict> ChangeRecorder::apply(const QByteArray& changeset, const QSet<QString>& ignored)
{
    if (changeset.isEmpty())
        return std::nullopt;
    {
        ChangesetReader tables(changeset);
        while (tables.next())
            columnsOf(tables.table());
    }
    ApplyContext ctx{this, &ignored, std::nullopt};
    QByteArray data = changeset;
    // What is applied is no new change of the user's: neither recorded nor reported.
    pause();
    sqlite3_update_hook(m_db->handle(), nullptr, nullptr);
    const auto done = qScopeGuard([this] {
        sqlite3_update_hook(m_db->handle(), updateHook, this);
        resume();
    });
    const int rc =
        sqlite3changeset_apply(m_db->handle(), int(data.size()), data.data(), nullptr, &ChangeRecorder::conflict, &ctx);
    if (ctx.conflict)
        return ctx.conflict;
    if (rc != SQLITE_OK) {
        const int code = sqlite3_extended_errcode(m_db->handle());
        throw DbError(describeSqliteError((code & 0xFF) == (rc & 0xFF) ? code : rc,
                                          QString::fromUtf8(sqlite3_errmsg(m_db->handle()))));
    }
    return std::nullopt;
}

} // namespace dorv
