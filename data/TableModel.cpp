#include "TableModel.h"

#include "Dataset.h"
#include "DbError.h"

#include <QItemSelectionModel>

namespace dorv {

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
    rebuildColumns();
    m_rows = dataset->recordCount();
}

void TableModel::setColumns(const QStringList& fieldNames)
{
    beginResetModel();
    m_columnNames = fieldNames;
    rebuildColumns();
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
    endResetModel();
    followState();
    followDataset(m_dataset ? m_dataset->currentRow() : -1);
}

int TableModel::datasetRow(int row) const
{
    if (m_virtualRow < 0 || row < m_virtualRow)
        return row;
    return row == m_virtualRow ? -1 : row - 1;
}

int TableModel::viewRow(int row) const
{
    return m_virtualRow >= 0 && row >= m_virtualRow ? row + 1 : row;
}

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
        removeVirtualRow();
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
    const int row = datasetRow(index.row());
    if (role == Qt::TextAlignmentRole) {
        const bool number = f->type() == FieldType::Float || f->type() == FieldType::SmallInt;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    // The record being inserted is the dataset's edit buffer, which its fields read.
    const QVariant v = row < 0 ? f->value() : m_dataset->valueAt(row, *f);
    if (role == Qt::EditRole)
        return f->type() == FieldType::Float || f->type() == FieldType::Date ? QVariant(f->formatValue(v)) : v;
    return f->formatValue(v);
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!m_dataset || role != Qt::EditRole || !index.isValid())
        return false;
    Field* f = m_columns.value(index.column());
    if (!f || f->readOnly())
        return false;
    try {
        const int row = datasetRow(index.row());
        if (row >= 0 && row != m_dataset->currentRow())
            m_dataset->setCurrentRow(row);
        m_dataset->edit();
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

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const Field* f = m_columns.value(section);
    return f ? f->label() : QVariant();
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags fl = QAbstractTableModel::flags(index);
    const Field* f = m_columns.value(index.column());
    if (f && !f->readOnly())
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
