#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

struct sqlite3_changeset_iter;
struct sqlite3_session;

namespace dorv {

class Database;

// One row of a recorded change: the table, what happened to the row, and its values before and
// after. A value the change does not carry (the columns an update left alone, the "before" of an
// insert) is std::nullopt; a stored null is an invalid QVariant.
struct ChangedRow {
    enum class Op { Insert, Update, Delete };

    QString table; // upper case
    Op op = Op::Insert;
    QStringList columns; // upper case, in the table's order
    QList<bool> key;     // the primary key's columns
    QList<std::optional<QVariant>> before, after;

    // The column's position, -1 when the table has none of that name (any case).
    int column(const QString& name) const;
    std::optional<QVariant> valueBefore(const QString& name) const;
    std::optional<QVariant> valueAfter(const QString& name) const;
    // The value after the change where the change carries one, else the one before it.
    QVariant value(const QString& name) const;
    // The row's values as the change leaves it (Delete: as it was), by column name.
    QVariantMap lastValues() const;
    // The row's values before the change (Insert: none), by column name.
    QVariantMap firstValues() const;
    // The primary key's values, by column name.
    QVariantMap keyValues() const;
};

// Walks the rows of a changeset one by one; the row itself is built only when asked for.
class ChangesetReader final {
public:
    // columnNames gives a table's column names in order; without it columns are named by number.
    explicit ChangesetReader(const QByteArray& changeset,
                             std::function<QStringList(const QString& table)> columnNames = {});
    ~ChangesetReader();
    ChangesetReader(const ChangesetReader&) = delete;
    ChangesetReader& operator=(const ChangesetReader&) = delete;

    // Moves to the next row; false at the end. A changeset that cannot be read raises DbError.
    bool next();
    QString table() const { return m_table; }
    ChangedRow::Op op() const { return m_op; }
    ChangedRow row() const;

private:
    QByteArray m_data;
    std::function<QStringList(const QString&)> m_columnNames;
    sqlite3_changeset_iter* m_iter = nullptr;
    QString m_table;
    ChangedRow::Op m_op = ChangedRow::Op::Insert;
};

// Why a changeset could not be applied: the change that met a row other than it expected.
struct ApplyConflict {
    enum class Kind {
        Changed,   // the row is there but holds other values than the change expects
        Missing,   // the row the change is for is gone
        Exists,    // a row with the key the change inserts is already there
        Constraint // the change would break a constraint of the database
    };
    Kind kind = Kind::Changed;
    ChangedRow row;
};

// Records what every write to a database changes, through SQLite's session extension, so that a
// change can be taken as a changeset, turned backwards and applied again. One recorder per
// connection; it keeps the connection open while it lives.
class ChangeRecorder final {
public:
    explicit ChangeRecorder(std::shared_ptr<Database> db);
    ~ChangeRecorder();
    ChangeRecorder(const ChangeRecorder&) = delete;
    ChangeRecorder& operator=(const ChangeRecorder&) = delete;

    Database& database() const { return *m_db; }

    // Nothing was written since the start or the last take (a write its own transaction rolled
    // back still counts here, and drops out of the changeset).
    bool isEmpty() const;
    // What was written since the start or the last take, as a changeset (empty: no net change);
    // recording starts afresh. A failure raises DbError and keeps recording.
    QByteArray take();
    // A transaction of the connection is open: what it wrote may still be rolled back.
    bool inTransaction() const;

    // Writes made while paused are not recorded; pauses nest.
    void pause();
    void resume();
    // Pauses the recorder of a connection, if it has one, for the life of the object: for writes
    // that keep the program's own state rather than the user's data.
    class Quiet final {
    public:
        explicit Quiet(const Database* db);
        ~Quiet();
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        ChangeRecorder* m_recorder;
    };

    // Run after a row of any table was written, except by apply(); it must not touch the database.
    std::function<void()> rowWritten;

    // Applies a changeset in one transaction, with recording paused. A row that is not as the
    // changeset expects ends it all and leaves the database as it was: the conflict is returned.
    // Columns named in `ignored` ("TABLE.COLUMN", upper case) may differ without a conflict; the
    // change is then applied over them. Other failures raise DbError, the database as it was.
    std::optional<ApplyConflict> apply(const QByteArray& changeset, const QSet<QString>& ignored = {});
    // The same change backwards: inserts become deletes, deletes inserts, updates swap values.
    static QByteArray invert(const QByteArray& changeset);
    // A reader of a changeset whose rows carry this database's column names.
    std::unique_ptr<ChangesetReader> read(const QByteArray& changeset) const;
    // A table's column names in order, upper case (cached).
    QStringList columnsOf(const QString& table) const;

private:
    void startSession();
    void stopSession();
    static int conflict(void* context, int kind, sqlite3_changeset_iter* iter);

    std::shared_ptr<Database> m_db;
    sqlite3_session* m_session = nullptr;
    int m_paused = 0;
    mutable QHash<QString, QStringList> m_columns;
};

} // namespace dorv
