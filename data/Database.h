#pragma once
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace dorv {

class Database;

// A prepared statement borrowed from the connection's cache; reset when it goes out of scope.
class Statement {
public:
    Statement(Database* db, sqlite3_stmt* stmt) : m_db(db), m_stmt(stmt) {}
    Statement(Statement&& other) noexcept : m_db(other.m_db), m_stmt(other.m_stmt) { other.m_stmt = nullptr; }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    void bind(int index, const QVariant& value); // 1-based
    void bindAll(const QVariantList& values, int first = 1);
    int parameterCount() const;
    QString parameterName(int index) const; // without the leading ':'
    // Steps once; true while a row is available. Failures raise DbError.
    bool step();
    // Makes the statement ready to run again with new parameters.
    void reset();
    int columnCount() const;
    QString columnName(int i) const;
    QString columnDeclaredType(int i) const;
    QString columnTable(int i) const;
    QString columnOrigin(int i) const;
    QVariant column(int i) const;
    qint64 columnInt(int i) const;
    sqlite3_stmt* handle() const { return m_stmt; }

private:
    Database* m_db;
    sqlite3_stmt* m_stmt;
};

// One connection per working folder, shared by every table and query bound to that folder: the
// connection holds the file exclusively, so a second one would be shut out, and one connection keeps
// every cursor's view of the data consistent. It lives while any dataset on the folder is open.
class Database final {
public:
    static constexpr const char* FileName = "DORVANA.DB";

    // The connection of a folder, opened when nobody holds it yet.
    static std::shared_ptr<Database> acquire(const QString& folder);
    // True while some dataset keeps the folder's connection open.
    static bool isOpen(const QString& folder);
    // Opens a connection of its own on a database file (the template generator, tools, tests).
    static std::shared_ptr<Database> openFile(const QString& path, bool exclusive);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& folder() const { return m_folder; }
    sqlite3* handle() const { return m_db; }

    // Statements are prepared once per text and reused.
    Statement prepare(const QString& sql);
    // A statement of its own, for texts used once (queries whose text users rewrite).
    Statement prepareOnce(const QString& sql);
    void exec(const QString& sql);
    int changes() const;
    // Whether the database holds a table of that name (letter case aside).
    bool hasTable(const QString& name);
    qint64 lastInsertRowId() const;
    // Rebuilds the file without the space of deleted rows.
    void pack();
    // Runs just before any change to the folder's database is committed, on every connection the
    // folder gets from now on (empty: none). What it writes is on disk before the change is; when
    // it returns false the change is not committed and its statement fails.
    static void setChangeHook(const QString& folder, std::function<bool()> hook);

    [[noreturn]] void raise(const QString& context) const;
    void release(sqlite3_stmt* stmt);

private:
    Database(QString folder, sqlite3* db);
    QString m_folder;
    sqlite3* m_db;
    QHash<QString, sqlite3_stmt*> m_cache;
    QSet<sqlite3_stmt*> m_owned;
};

// A user-facing message for an error the database reported.
QString describeSqliteError(int code, const QString& message);

} // namespace dorv
