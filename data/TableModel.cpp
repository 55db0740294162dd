#include "TableModel.h"

#include "Dataset.h"
#include "DbError.h"

#include <QItemSelectionModel>

#include <utility>

namespace dorv {

namespace {

// The value a cell's editor starts from: numbers with decimals and dates as the text they are typed as.
QVariant editValue(const Field& f, const QVariant& v)
{
    return f.type() == FieldType::Float || f.type() == FieldType::Date ? QVariant(f.formatValue(v)) : v;
}

// Whether a value a grid's editor commits is what the cell holds already. A text compares with the
// text the editor was given, so that leaving an editor untouched neither starts an edit nor rounds a
// stored 1.005 to the 1.00 the cell shows.
bool unchanged(const Field& f, const QVariant& current, const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString() == editValue(f, current).toString();
    const QVariant wanted = normalizeValue(f.type(), value, f.label());
    return wanted.isValid() == current.isValid() && (!wanted.isValid() || compareValues(wanted, current) == 0);
}

} // namespace

TableModel::TableModel(Dataset* dataset, QObject* parent) : QAbstractTableModel(parent), m_dataset(dataset)
{
    connect(dataset, &Dataset::rowsReset, this, &TableModel::reset);
    connect(dataset, &Dataset::fieldsChanged, this, &TableModel::reset);
    connect(dataset, &Dataset::rowAboutToBeInserted, this, [this](int row) {
        removeVirtualRow(); // the posted record takes its place in the order
        const int r = viewRow(row);
        m_pending = r <= m_rows;
        if (m_pending)
            beginInsertRows({}, r, r);
    });
    connect(dataset, &Dataset::rowInserted, this, [this](int) {
        if (!m_pending)
            return;
        ++m_rows;
        m_pending = false;
        endInsertRows();
    });
    connect(dataset, &Dataset::rowAboutToBeRemoved, this, [this](int row) {
        const int r = viewRow(row);
        m_pending = r < m_rows;
        if (m_pending)
            beginRemoveRows({}, r, r);
    });
    connect(dataset, &Dataset::rowRemoved, this, [this](int) {
        if (!m_pending)
            return;
        --m_rows;
        m_pending = false;
        endRemoveRows();
    });
    connect(dataset, &Dataset::rowUpdated, this, [this](int row) {
        const int r = viewRow(row);
        if (r >= 0 && r < m_rows && !m_columns.isEmpty())
            emit dataChanged(index(r, 0), index(r, int(m_columns.size()) - 1));
    });
    connect(dataset, &Dataset::stateChanged, this, &TableModel::followState);
    connect(dataset, &Dataset::dataChanged, this, [this](Field* field) {
        if (field && m_virtualRow >= 0 && !m_columns.isEmpty())
            emit dataChanged(index(m_virtualRow, 0), index(m_virtualRow, int(m_columns.size()) - 1));
    });
    connect(dataset, &Dataset::currentRowChanged, this, &TableModel::followDataset);
    connect(dataset, &Dataset::currentRowChanged, this, &TableModel::updateIndicator);
    connect(dataset, &Dataset::stateChanged, this, &TableModel::updateIndicator);
    rebuildColumns();
    m_rows = dataset->recordCount();
}

void TableModel::setColumns(const QStringList& fieldNames)
{
    beginResetModel();
    m_columnNames = fieldNames;
    rebuildColumns();
    m_readFailureReported = false;
    endResetModel();
}

void TableModel::rebuildColumns()
{
    m_columns.clear();
    if (!m_dataset)
        return;
    if (m_columnNames.isEmpty()) {
        for (Field* f : m_dataset->fields())
            if (f->visible())
                m_columns << f;
    } else {
        for (const QString& n : std::as_const(m_columnNames))
            if (Field* f = m_dataset->findField(n))
                m_columns << f;
    }
}

void TableModel::reset()
{
    beginResetModel();
    rebuildColumns();
    m_virtualRow = -1;
    m_rows = m_dataset ? m_dataset->recordCount() : 0;
    // The rows were read again: a row that still fails is news worth telling once more.
    m_readFailureReported = false;
    endResetModel();
    followState();
    followDataset(m_dataset ? m_dataset->currentRow() : -1);
    updateIndicator();
}

int TableModel::datasetRow(int row) const
{
    if (m_virtualRow < 0 || row < m_virtualRow)
        return row;
    return row == m_virtualRow ? -1 : row - 1;
}

int TableModel::viewRow(int row) const { return m_virtualRow >= 0 && row >= m_virtualRow ? row + 1 : row; }

void TableModel::followState()
{
    if (!m_dataset)
        return;
    const bool inserting = m_dataset->state() == DatasetState::Insert;
    if (inserting && m_virtualRow < 0) {
        const int r = qBound(0, m_dataset->currentRow(), m_rows);
        beginInsertRows({}, r, r);
        m_virtualRow = r;
        ++m_rows;
        endInsertRows();
        followDataset(-1);
    } else if (!inserting && m_virtualRow >= 0) {
        // The view moves its current row off the row that goes; the dataset must not follow it
        // there, or a cancelled insert would leave the neighbour current.
        const bool syncing = std::exchange(m_syncing, true);
        removeVirtualRow();
        m_syncing = syncing;
        followDataset(m_dataset->currentRow());
    }
}

void TableModel::removeVirtualRow()
{
    if (m_virtualRow < 0)
        return;
    const int r = m_virtualRow;
    beginRemoveRows({}, r, r);
    m_virtualRow = -1;
    --m_rows;
    endRemoveRows();
}

Field* TableModel::fieldAt(int column) const { return m_columns.value(column); }

void TableModel::setColumnReadOnly(int column, bool readOnly)
{
    if (readOnly)
        m_readOnlyColumns.insert(column);
    else
        m_readOnlyColumns.remove(column);
}

void TableModel::setColumnPicksKey(int column, bool picks)
{
    if (picks)
        m_keyColumns.insert(column);
    else
        m_keyColumns.remove(column);
}

void TableModel::setIndicator(bool on)
{
    m_indicator = on;
    updateIndicator();
}

void TableModel::updateIndicator()
{
    if (!m_indicator)
        return;
    const int row = !m_dataset || !m_dataset->active() ? -1
                    : m_virtualRow >= 0                ? m_virtualRow
                                                       : viewRow(m_dataset->currentRow());
    const int old = m_indicatorRow;
    m_indicatorRow = row;
    const int last = m_rows - 1;
    if (old >= 0 && old <= last)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row <= last)
        emit headerDataChanged(Qt::Vertical, row, row);
}

int TableModel::columnOf(const QString& fieldName) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i]->name().compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int TableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant TableModel::data(const QModelIndex& index, int role) const
{
    if (!m_dataset || !index.isValid() || index.row() >= m_rows || index.column() >= m_columns.size())
        return {};
    const Field* f = m_columns[index.column()];
    if (role == Qt::TextAlignmentRole) {
        const bool number = f->type() == FieldType::Float || f->type() == FieldType::SmallInt;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != KeyRole)
        return {};
    Record r;
    if (!readRow(index.row(), r))
        return {};
    if (role == KeyRole) {
        const Field* key = f->kind() == FieldKind::Lookup ? m_dataset->findField(f->keyFieldName()) : f;
        return key ? r.value(key->index()) : QVariant();
    }
    const QVariant v = r.value(f->index());
    return role == Qt::EditRole ? editValue(*f, v) : QVariant(f->formatValue(v));
}

Record TableModel::rowRecord(int viewRow) const
{
    Record r;
    if (!readRow(viewRow, r))
        r = Record(m_dataset ? m_dataset->fieldCount() : 0);
    return r;
}

bool TableModel::readRow(int viewRow, Record& out) const
{
    if (!m_dataset || viewRow < 0 || viewRow >= m_rows)
        return false;
    const int row = datasetRow(viewRow);
    // Qt gives an exception from a paint nowhere to go, so none leaves here.
    try {
        if (row >= 0) {
            out = m_dataset->recordAt(row);
        } else {
            // The record being inserted is the dataset's edit buffer, which its fields read.
            Record r(m_dataset->fieldCount());
            for (Field* f : m_dataset->fields())
                r[f->index()] = f->value();
            out = r;
        }
        return true;
    } catch (const DbError& e) {
        reportReadFailure(e.message());
    } catch (const DbAbort&) {
        // A rule declined to calculate the row: it shows empty, with nothing to say.
    } catch (const std::exception& e) {
        reportReadFailure(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportReadFailure(QStringLiteral("Не удалось прочитать запись таблицы %1").arg(m_dataset->name()));
    }
    return false;
}

void TableModel::reportReadFailure(const QString& message) const
{
    if (m_readFailureReported)
        return;
    m_readFailureReported = true;
    // Queued: whoever shows the message may open a window, which must not happen inside a paint.
    // The model itself is not changed by reporting, only its listeners are told.
    auto* self = const_cast<TableModel*>(this);
    QMetaObject::invokeMethod(
        self, [self, message] { emit self->readFailed(message); }, Qt::QueuedConnection);
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!m_dataset || (role != Qt::EditRole && role != KeyRole) || !index.isValid() || index.row() >= m_rows)
        return false;
    Field* f = m_columns.value(index.column());
    if (f && role == KeyRole && m_keyColumns.contains(index.column()) && f->kind() == FieldKind::Lookup)
        f = m_dataset->findField(f->keyFieldName());
    else if (role == KeyRole)
        return false;
    if (!f || f->readOnly() || m_readOnlyColumns.contains(index.column()))
        return false;
    try {
        const int row = datasetRow(index.row());
        // The record being inserted has no row of the dataset; the one being edited is the current.
        const bool inBuffer = row < 0 || (m_dataset->state() == DatasetState::Edit && row == m_dataset->currentRow());
        const QVariant current = inBuffer ? f->value() : m_dataset->valueAt(row, *f);
        if (unchanged(*f, current, value)) {
            m_lastError.clear();
            return true;
        }
        if (!inBuffer) {
            // Leaving a pending edit posts it, which may move rows about; the cell's row is found
            // again by its bookmark rather than by a position the post may have changed.
            if (!m_dataset->gotoBookmark(m_dataset->bookmarkAt(row)))
                throw DbError(QStringLiteral("Запись больше не видна в таблице %1").arg(m_dataset->name()));
            m_dataset->edit();
        }
        if (value.typeId() == QMetaType::QString)
            f->setAsString(value.toString());
        else
            f->setValue(value);
        m_lastError.clear();
        return true;
    } catch (const DbError& e) {
        m_lastError = e.message();
        emit editFailed(e.message());
    } catch (const DbAbort&) {
    }
    return false;
}

void TableModel::setHeaderRole(int section, int role, const QVariant& value)
{
    m_headerRoles.insert({section, role}, value);
    emit headerDataChanged(Qt::Horizontal, section, section);
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role != Qt::DisplayRole) {
        const auto it = m_headerRoles.constFind({section, role});
        if (it != m_headerRoles.constEnd())
            return *it;
    }
    if (orientation == Qt::Vertical && m_indicator) {
        if (role != Qt::DisplayRole)
            return {};
        if (section != m_indicatorRow)
            return QString();
        if (m_dataset && m_dataset->state() == DatasetState::Insert)
            return QStringLiteral("*");
        return m_dataset && m_dataset->state() == DatasetState::Edit ? QStringLiteral("I") : QStringLiteral("▶");
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const Field* f = m_columns.value(section);
    return f ? f->label() : QVariant();
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags fl = QAbstractTableModel::flags(index);
    const Field* f = m_columns.value(index.column());
    const bool editable = f && (!f->readOnly() || m_keyColumns.contains(index.column()));
    if (editable && !m_readOnlyColumns.contains(index.column()))
        fl |= Qt::ItemIsEditable;
    return fl;
}

void TableModel::bindSelection(QItemSelectionModel* selection)
{
    if (m_selection)
        disconnect(m_selection, nullptr, this, nullptr);
    m_selection = selection;
    if (!selection)
        return;
    connect(selection, &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        // Rows come and go while a post rearranges them: the cursor is the dataset's to place then.
        if (m_syncing || m_pending || !m_dataset || !current.isValid() || !m_dataset->active())
            return;
        const int row = datasetRow(current.row());
        if (row < 0)
            return;
        m_syncing = true;
        try {
            m_dataset->setCurrentRow(row);
        } catch (const DbError& e) {
            m_lastError = e.message();
            emit editFailed(e.message());
        } catch (const DbAbort&) {
        } catch (const std::exception& e) {
            m_lastError = QString::fromLocal8Bit(e.what());
            emit editFailed(m_lastError);
        }
        m_syncing = false;
        // A refused move (a post that failed) leaves the dataset where it was; the view follows it.
        followDataset(m_dataset->currentRow());
    });
    followDataset(m_dataset ? m_dataset->currentRow() : -1);
}

void TableModel::followDataset(int datasetRowIndex)
{
    if (!m_selection || m_syncing)
        return;
    const QModelIndex cur = m_selection->currentIndex();
    const int row = m_virtualRow >= 0 ? m_virtualRow : viewRow(datasetRowIndex);
    if (row < 0 || row >= m_rows)
        return;
    if (cur.isValid() && cur.row() == row)
        return;
    m_syncing = true;
    m_selection->setCurrentIndex(index(row, cur.isValid() ? qMin(cur.column(), columnCount() - 1) : 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_syncing = false;
}

} // namespace dorv
