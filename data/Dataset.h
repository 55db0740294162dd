#pragma once
#include "Field.h"

#include <QHash>
#include <QObject>
#include <QVector>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace dorv {

class Database;
class DataSource;

enum class DatasetState { Inactive, Browse, Edit, Insert };

// One value per field of the dataset, in field order; lookup and calculated values included.
using Record = QVector<QVariant>;

// A cursor over rows: the common part of tables and queries. Rows are kept as handles in view order
// and fetched on demand, so a range of a hundred thousand rows costs a list of numbers, not their data.
class Dataset : public QObject {
    Q_OBJECT
public:
    using Event = std::function<void(Dataset&)>;

    explicit Dataset(const QString& name, QObject* parent = nullptr);
    ~Dataset() override;

    const QString& name() const { return m_name; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    // The folder whose database this dataset works on.
    const QString& databaseName() const { return m_folder; }
    void setDatabaseName(const QString& folder);
    Database* database() const { return m_db.get(); }

    // Field objects, declared before opening (or made from the columns when none are declared).
    Field& addField(const QString& name, FieldType type, int size = 0);
    Field& addLookupField(const QString& name, int size, const QString& keyField, const QString& lookupTable,
                          const QString& lookupKey, const QString& resultField);
    Field& addCalculatedField(const QString& name, FieldType type, int size = 0);
    // Fields of the open dataset in display order (declared fields the file lacks are left out).
    const std::vector<Field*>& fields() const { return m_fields; }
    int fieldCount() const { return int(m_fields.size()); }
    Field* field(int i) const { return m_fields.at(size_t(i)); }
    // Without regard to case; nothing when there is no such field.
    Field* findField(const QString& name) const;
    // As findField, but a missing field is an error.
    Field& fieldByName(const QString& name) const;

    void open();
    void close();
    void setActive(bool active) { active ? open() : close(); }
    bool active() const { return m_state != DatasetState::Inactive; }
    DatasetState state() const { return m_state; }
    bool editing() const { return m_state == DatasetState::Edit || m_state == DatasetState::Insert; }

    // Navigation; moving posts a pending edit first.
    int recordCount() const { return int(m_handles.size()); }
    bool isEmpty() const { return m_handles.empty(); }
    int currentRow() const { return m_cur; }
    void setCurrentRow(int row);
    void first();
    void last();
    void next();
    void prior();
    int moveBy(int distance);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }

    // A bookmark stays valid while its row exists; -1 is none.
    qint64 bookmark() const;
    // The bookmark of a row of the view, without moving to it; -1 when there is no such row.
    qint64 bookmarkAt(int row) const;
    bool bookmarkValid(qint64 bookmark) const;
    bool gotoBookmark(qint64 bookmark);
    // Moves to the first row whose field equals the value (exact match); false leaves the cursor.
    virtual bool locate(const QString& fieldName, const QVariant& value);

    void insert();
    void append() { insert(); }
    void edit();
    void post();
    void cancel();
    void deleteRecord();
    // Re-reads the rows, staying on the current one when it still exists.
    void refresh();
    // Posts a pending edit.
    void checkBrowseMode();

    // Display updates of the bound grids and data sources, suspended by count.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    // A row as a grid shows it, without moving the cursor. A row that cannot be read raises
    // DbError and leaves the cursor, the current record and any edit as they were.
    Record recordAt(int row);
    QVariant valueAt(int row, const Field& field) { return recordAt(row).value(field.index()); }

    // Record events; a DbAbort thrown by a before-event cancels the operation silently.
    Event onNewRecord, beforeInsert, afterInsert, beforeEdit, afterEdit, beforePost, afterPost, beforeCancel,
        afterCancel, beforeDelete, afterDelete, afterScroll, afterOpen, beforeClose, afterClose, onCalcFields;

    // For Field.
    QVariant fieldValue(const Field& field) const;
    void setFieldValue(const Field& field, const QVariant& value);

    // For DataSource.
    void attach(DataSource* source);
    void detach(DataSource* source);

signals:
    void stateChanged();
    void dataChanged(dorv::Field* field); // nullptr: another row, or the whole record
    void rowsReset();
    // The field objects changed (a query's result fields went with its text): views let go of
    // them at once, even while their updates are suspended.
    void fieldsChanged();
    // Pairs around a change of the row list, so that views can ask for old rows before it.
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowUpdated(int row);
    void currentRowChanged(int row);

protected:
    // Storage of the concrete kind of dataset.
    virtual void openStorage() = 0;
    virtual void closeStorage() {}
    virtual std::vector<qint64> loadHandles() = 0;
    virtual bool fetchRecord(qint64 handle, Record& record) = 0;
    virtual qint64 insertRecord(const Record& record) = 0;
    virtual void updateRecord(qint64 handle, const Record& before, const Record& after) = 0;
    virtual void deleteStoredRecord(qint64 handle) = 0;
    // Where a written row belongs among the handles (which no longer hold it), or -1 when it has left
    // the view. The default keeps an edited row in place and puts a new one last.
    virtual int placeOf(qint64 handle, const Record& record, int oldPosition);

    Field& addFieldOfKind(const QString& name, FieldType type, int size, FieldKind kind);
    void connectDatabase();
    void releaseDatabase();
    void rebuildFieldList();
    void removeAllFields();
    void invalidateCache() { m_cache.clear(); }
    void dropCached(qint64 handle) { m_cache.remove(handle); }
    int positionOf(qint64 handle) const;
    // Data fields from storage, then lookups and calculated fields.
    Record completeRecord(qint64 handle);
    void fillDerived(Record& record);
    const std::vector<std::unique_ptr<Field>>& allFields() const { return m_all; }
    // Re-reads the handles and stands on keepHandle, on the first row (FirstRow) or near the old row.
    static constexpr qint64 FirstRow = -2;
    void reloadHandles(qint64 keepHandle);

    std::shared_ptr<Database> m_db;
    std::vector<qint64> m_handles;

    void checkActive() const;

private:
    void loadCurrent();
    std::exception_ptr tryLoadCurrent();
    void scrolled();
    void recoverAfterWrite(qint64 written, qint64 removed, int nearRow);
    void insertHandle(int row, qint64 handle);
    void removeHandle(int row);
    void notifyState();
    void notifyData(Field* field);
    void checkTexts(const Record& record) const;
    void setState(DatasetState state);

    QString m_name;
    int m_tag = 0;
    QString m_folder;
    std::vector<std::unique_ptr<Field>> m_all;
    std::vector<Field*> m_fields;
    DatasetState m_state = DatasetState::Inactive;
    int m_cur = -1;
    bool m_eof = true, m_bof = true;
    Record m_current, m_edit;
    bool m_currentLoaded = false; // m_current holds the current row as stored
    Record* m_calcRecord = nullptr;
    QHash<qint64, Record> m_cache;
    int m_disableCount = 0;
    bool m_busy = false; // a post or delete is rearranging the rows
    std::vector<DataSource*> m_sources;
};

} // namespace dorv
