#pragma once
#include "Dataset.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QStringList>

class QItemSelectionModel;

namespace dorv {

// Shows a dataset in an item view: one column per shown field (or per field the grid names), rows
// fetched only as the view asks for them. Bound to a view's selection model, the view's current row
// and the dataset's current row follow each other. Nothing a view calls throws: a row that cannot be
// read shows empty and is reported through readFailed.
class TableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TableModel(Dataset* dataset, QObject* parent = nullptr);

    Dataset* dataset() const { return m_dataset; }
    // The grid's own columns by field name; empty: every shown field in display order.
    void setColumns(const QStringList& fieldNames);
    Field* fieldAt(int column) const;
    int columnOf(const QString& fieldName) const;
    // A column the grid shows but never edits in place (its field may still be set by commands).
    void setColumnReadOnly(int column, bool readOnly = true);
    // A lookup column whose key is chosen from a list: KeyRole reads and writes its key field.
    void setColumnPicksKey(int column, bool picks = true);
    static constexpr int KeyRole = Qt::UserRole + 1;
    // Row titles mark the current row: "▶" browsing, "I" being edited, "*" being added.
    void setIndicator(bool on);

    void bindSelection(QItemSelectionModel* selection);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // The one way a grid edits in place: a cell of the record being edited or inserted goes into its
    // buffer as it stands; a cell of another row moves there (posting a pending edit) and starts an
    // edit. A text equal to the one the cell's editor was given changes nothing.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // A look of a column title beyond its text (a colour of the title, say), by role.
    void setHeaderRole(int section, int role, const QVariant& value);
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A row of the view as a record of the dataset (the record being inserted included), for painting
    // beyond the cells' texts; a row that cannot be read is an empty record, reported as data() does.
    Record rowRecord(int viewRow) const;

    // The last error an in-place edit raised (the view cannot throw through Qt).
    const QString& lastError() const { return m_lastError; }

signals:
    void editFailed(const QString& message);
    // A row could not be read for the view. Sent once until the model is reset or the dataset
    // re-reads its rows, however often the view paints the row meanwhile, and from the event loop,
    // never from inside a paint.
    void readFailed(const QString& message);

private:
    void rebuildColumns();
    void reset();
    void followDataset(int row);
    void followState();
    void removeVirtualRow();
    // The dataset's row behind a row of the view (-1 for the record being inserted).
    int datasetRow(int viewRow) const;
    int viewRow(int datasetRow) const;
    // The row into out; false, leaving out alone, when there is no such row or it cannot be read.
    bool readRow(int viewRow, Record& out) const;
    void reportReadFailure(const QString& message) const;

    QPointer<Dataset> m_dataset;
    QStringList m_columnNames;
    QList<Field*> m_columns;
    int m_rows = 0;
    QPointer<QItemSelectionModel> m_selection;
    bool m_syncing = false;
    bool m_pending = false;
    // While a record is being inserted the view shows it as a row of its own here.
    int m_virtualRow = -1;
    QString m_lastError;
    QHash<QPair<int, int>, QVariant> m_headerRoles;
    QSet<int> m_readOnlyColumns, m_keyColumns;
    bool m_indicator = false;
    int m_indicatorRow = -1;
    void updateIndicator();
    // A read failure has been reported since the last reset.
    mutable bool m_readFailureReported = false;
};

} // namespace dorv
