#include "Database.h"

#include "Collation.h"
#include "DbError.h"
#include "util/Swallowed.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

namespace dorv {

namespace {

QHash<QString, std::weak_ptr<Database>>& registry()
{
    static QHash<QString, std::weak_ptr<Database>> r;
    return r;
}

QHash<QString, std::function<bool()>>& changeHooks()
{
    static QHash<QString, std::function<bool()>> h;
    return h;
}

// SQLite's commit hook: a hook that throws must not unwind through SQLite; it counts as refusing,
// and the change is rolled back rather than kept where nothing says it is there.
int runChangeHook(void* folderKey)
{
    const auto it = changeHooks().constFind(*static_cast<const QString*>(folderKey));
    if (it == changeHooks().constEnd() || !*it)
        return 0;
    try {
        return (*it)() ? 0 : 1;
    } catch (...) {
        // Nothing may unwind through SQLite: the commit fails, and that failure is what is told.
        noteSwallowed("the commit hook");
        return 1;
    }
}

QString folderKey(const QString& folder) { return QDir::cleanPath(QDir(folder).absolutePath()); }

} // namespace

QString describeSqliteError(int code, const QString& message)
{
    if (code == SQLITE_CONSTRAINT_COMMITHOOK)
        return QStringLiteral("Изменение не записано: не удалось отметить его для восстановления после сбоя "
                              "(возможно, на диске нет места)");
    switch (code & 0xFF) {
    case SQLITE_CONSTRAINT:
        if (message.contains(QLatin1String("UNIQUE")) || message.contains(QLatin1String("PRIMARY KEY")))
            return QStringLiteral("Нарушение уникальности ключа: такая запись уже есть (%1)")
                .arg(message.section(QLatin1Char(':'), 1).trimmed());
        return QStringLiteral("Запись нарушает ограничение базы данных: %1").arg(message);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Таблица занята другой программой: %1").arg(message);
    case SQLITE_FULL:
        return QStringLiteral("Недостаточно места на диске для записи данных");
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return QStringLiteral("Файл базы данных повреждён или имеет чужой формат");
    case SQLITE_CANTOPEN:
        return QStringLiteral("Невозможно открыть файл базы данных: %1").arg(message);
    case SQLITE_READONLY:
        return QStringLiteral("Файл базы данных открыт только для чтения");
    default:
        return QStringLiteral("Ошибка базы данных: %1").arg(message);
    }
}

Database::Database(QString folder, sqlite3* db) : m_folder(std::move(folder)), m_db(db) {}

Database::~Database()
{
    for (sqlite3_stmt* s : std::as_const(m_cache))
        sqlite3_finalize(s);
    sqlite3_close_v2(m_db);
}

std::shared_ptr<Database> Database::openFile(const QString& path, bool exclusive)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        sqlite3_close_v2(db);
        throw DbError(describeSqliteError(rc, msg + QStringLiteral(" (") + path + QLatin1Char(')')));
    }
    sqlite3_extended_result_codes(db, 1);
    registerCollation(db);
    std::shared_ptr<Database> d(new Database(QFileInfo(path).absolutePath(), db));
    // The working folder holds the changes not yet saved into the data file, and they are offered
    // back after a crash: each commit waits for the disk (with the rollback journal, that keeps
    // every change whole, and kept, even through a power cut).
    if (exclusive)
        d->exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
    d->exec(QStringLiteral("PRAGMA synchronous=FULL"));
    d->exec(QStringLiteral("PRAGMA journal_mode=TRUNCATE"));
    // Touch the file so that a foreign or broken file is reported now, not at the first read.
    d->exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    return d;
}

std::shared_ptr<Database> Database::acquire(const QString& folder)
{
    const QString key = folderKey(folder);
    if (auto existing = registry().value(key).lock())
        return existing;
    if (!QFileInfo(key).isDir())
        throw DbError(QStringLiteral("Папка базы данных не найдена: %1").arg(folder));
    auto db = openFile(QDir(key).filePath(QString::fromLatin1(FileName)), true);
    db->m_folder = key;
    registry().insert(key, db);
    sqlite3_commit_hook(db->m_db, runChangeHook, &db->m_folder);
    return db;
}

void Database::setChangeHook(const QString& folder, std::function<bool()> hook)
{
    const QString key = folderKey(folder);
    if (hook)
        changeHooks().insert(key, std::move(hook));
    else
        changeHooks().remove(key);
}

bool Database::isOpen(const QString& folder) { return !registry().value(folderKey(folder)).expired(); }

void Database::raise(const QString& context) const
{
    const int code = sqlite3_extended_errcode(m_db);
    QString msg = QString::fromUtf8(sqlite3_errmsg(m_db));
    if (!context.isEmpty() && (code & 0xFF) == SQLITE_ERROR)
        msg += QStringLiteral("\n") + context;
    throw DbError(describeSqliteError(code, msg));
}

Statement Database::prepare(const QString& sql)
{
    if (sqlite3_stmt* s = m_cache.value(sql))
        return Statement(this, s);
    sqlite3_stmt* s = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v3(m_db, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT, &s, nullptr)
        != SQLITE_OK)
        raise(sql);
    m_cache.insert(sql, s);
    return Statement(this, s);
}

Statement Database::prepareOnce(const QString& sql)
{
    sqlite3_stmt* s = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &s, &tail) != SQLITE_OK)
        raise(sql);
    if (!s)
        throw DbError(QStringLiteral("Пустой текст запроса"));
    if (tail && QByteArray(tail).trimmed().size() > 0 && QByteArray(tail).trimmed() != ";") {
        sqlite3_finalize(s);
        throw DbError(QStringLiteral("В тексте запроса больше одной команды:\n%1").arg(sql));
    }
    // Finalised when returned, unlike the cached ones.
    m_owned.insert(s);
    return Statement(this, s);
}

void Database::release(sqlite3_stmt* stmt)
{
    if (m_owned.remove(stmt)) {
        sqlite3_finalize(stmt);
        return;
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
}

void Database::exec(const QString& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        sqlite3_free(err);
        raise(sql);
    }
}

int Database::changes() const { return sqlite3_changes(m_db); }

qint64 Database::lastInsertRowId() const { return sqlite3_last_insert_rowid(m_db); }

void Database::pack() { exec(QStringLiteral("VACUUM")); }

// ---- Statement ----

Statement::~Statement()
{
    if (m_stmt)
        m_db->release(m_stmt);
}

void Statement::bind(int index, const QVariant& v)
{
    int rc = SQLITE_OK;
    if (!v.isValid() || v.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(m_stmt, index, v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, v.toDouble());
            break;
        default: {
            const QByteArray t = v.toString().toUtf8();
            rc = sqlite3_bind_text(m_stmt, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK)
        m_db->raise(QString());
}

void Statement::bindAll(const QVariantList& values, int first)
{
    for (int i = 0; i < values.size(); ++i)
        bind(first + i, values.at(i));
}

int Statement::parameterCount() const { return sqlite3_bind_parameter_count(m_stmt); }

QString Statement::parameterName(int index) const
{
    const char* n = sqlite3_bind_parameter_name(m_stmt, index);
    return n ? QString::fromUtf8(n + 1) : QString();
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const int code = sqlite3_extended_errcode(m_db->handle());
    const QString msg = QString::fromUtf8(sqlite3_errmsg(m_db->handle()));
    sqlite3_reset(m_stmt);
    throw DbError(describeSqliteError(code, msg));
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const { return sqlite3_column_count(m_stmt); }

QString Statement::columnName(int i) const { return QString::fromUtf8(sqlite3_column_name(m_stmt, i)); }

QString Statement::columnDeclaredType(int i) const
{
    const char* t = sqlite3_column_decltype(m_stmt, i);
    return t ? QString::fromUtf8(t) : QString();
}

QString Statement::columnTable(int i) const
{
    const char* t = sqlite3_column_table_name(m_stmt, i);
    return t ? QString::fromUtf8(t) : QString();
}

QString Statement::columnOrigin(int i) const
{
    const char* t = sqlite3_column_origin_name(m_stmt, i);
    return t ? QString::fromUtf8(t) : QString();
}

QVariant Statement::column(int i) const
{
    switch (sqlite3_column_type(m_stmt, i)) {
    case SQLITE_INTEGER:
        return qint64(sqlite3_column_int64(m_stmt, i));
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_stmt, i);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i)),
                                 sqlite3_column_bytes(m_stmt, i));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_stmt, i)), sqlite3_column_bytes(m_stmt, i));
    default:
        return {};
    }
}

qint64 Statement::columnInt(int i) const { return sqlite3_column_int64(m_stmt, i); }

bool Database::hasTable(const QString& name)
{
    Statement st = prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"));
    st.bind(1, name);
    return st.step();
}

} // namespace dorv
