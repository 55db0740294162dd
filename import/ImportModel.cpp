#include "ImportModel.h"

#include "util/DateScale.h"
#include "util/Money.h"

#include <QBrush>
#include <QColor>
#include <QDate>

namespace dorv {

ImportModel::ImportModel(const ImportChoices& choices, QObject* parent)
    : QAbstractTableModel(parent), m_choices(choices)
{
}

void ImportModel::setRows(QList<ImportRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
    emit summaryChanged();
}

void ImportModel::rowsChanged(int first, int last)
{
    if (first > last)
        return;
    emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
    emit summaryChanged();
}

int ImportModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int ImportModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ImportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[ColumnCount] = {"Импорт",    "Дата", "Приход", "Расход",   "Описание",
                                                    "Категория", "Кто?", "Где?",   "Состояние"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}

Qt::ItemFlags ImportModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!index.isValid())
        return f;
    const ImportRow& r = m_rows[index.row()];
    if (index.column() == Tick && r.entry.amount > 0)
        f |= Qt::ItemIsUserCheckable;
    const bool transfer = r.state == ImportRow::State::Transfer;
    if ((index.column() == Category && !transfer) || index.column() == Person || index.column() == Place)
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant ImportModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ImportRow& r = m_rows[index.row()];
    const StatementEntry& e = r.entry;
    if (role == Qt::CheckStateRole && index.column() == Tick)
        return r.ticked ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::ForegroundRole && (r.state != ImportRow::State::New && r.state != ImportRow::State::Transfer))
        return QBrush(QColor(Qt::darkGray));
    if (role == Qt::TextAlignmentRole && (index.column() == Income || index.column() == Expense))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() == Text) {
        QString tip = e.text();
        if (!e.counterAccount.isEmpty())
            tip += QStringLiteral("\nСчёт: ") + e.counterAccount;
        if (!e.bankId.isEmpty())
            tip += QStringLiteral("\nНомер операции банка: ") + e.bankId;
        return tip;
    }
    if (role == Qt::EditRole) {
        switch (index.column()) {
        case Category:
            return m_choices.categoryOf(r.level1, r.level2, r.level3);
        case Person:
            for (qsizetype i = 0; i < m_choices.people.size(); ++i)
                if (!r.person.isNull() && m_choices.people[i].id.toLongLong() == r.person.toLongLong())
                    return int(i);
            return -1;
        case Place:
            for (qsizetype i = 0; i < m_choices.firms.size(); ++i)
                if (!r.place.isNull() && m_choices.firms[i].id.toLongLong() == r.place.toLongLong())
                    return int(i);
            return -1;
        default:
            break;
        }
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Date:
        return e.date ? dateOfDay(e.date).toString(QStringLiteral("dd.MM.yyyy")) : QString();
    case Income:
        return e.income ? formatMoney(fromTenThousandths(e.amount)) : QString();
    case Expense:
        return e.income ? QString() : formatMoney(fromTenThousandths(e.amount));
    case Text:
        return e.text();
    case Category:
        if (r.state == ImportRow::State::Transfer)
            return QString();
        return m_choices.categoryText(r.level1, r.level2, r.level3);
    case Person:
        return m_choices.personText(r.person);
    case Place:
        return m_choices.firmText(r.place);
    case State:
        return r.stateText(m_choices.accountText(r.transferAccount));
    default:
        return {};
    }
}

bool ImportModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid())
        return false;
    if (index.column() == Tick && role == Qt::CheckStateRole) {
        setTicked({index.row()}, value.toInt() == Qt::Checked);
        return true;
    }
    if (role == Qt::EditRole && (index.column() == Category || index.column() == Person || index.column() == Place)) {
        setChoice({index.row()}, Column(index.column()), value.toInt());
        return true;
    }
    return false;
}

void ImportModel::setChoice(const QList<int>& rows, Column column, int choice)
{
    int first = INT_MAX, last = -1;
    for (const int i : rows) {
        if (i < 0 || i >= m_rows.size())
            continue;
        ImportRow& r = m_rows[i];
        if (column == Category) {
            if (r.state == ImportRow::State::Transfer)
                continue;
            const bool valid = choice >= 0 && choice < m_choices.categories.size();
            r.level1 = valid ? m_choices.categories[choice].level1 : QVariant();
            r.level2 = valid ? m_choices.categories[choice].level2 : QVariant();
            r.level3 = valid ? m_choices.categories[choice].level3 : QVariant();
        } else if (column == Person) {
            r.person = choice >= 0 && choice < m_choices.people.size() ? m_choices.people[choice].id : QVariant();
        } else if (column == Place) {
            r.place = choice >= 0 && choice < m_choices.firms.size() ? m_choices.firms[choice].id : QVariant();
        } else {
            continue;
        }
        first = qMin(first, i);
        last = qMax(last, i);
    }
    rowsChanged(first, last);
}

void ImportModel::setTicked(const QList<int>& rows, bool ticked)
{
    int first = INT_MAX, last = -1;
    for (const int i : rows) {
        if (i < 0 || i >= m_rows.size() || m_rows[i].entry.amount <= 0)
            continue;
        m_rows[i].ticked = ticked;
        first = qMin(first, i);
        last = qMax(last, i);
    }
    rowsChanged(first, last);
}

ImportModel::Summary ImportModel::summary() const
{
    Summary s;
    s.rows = int(m_rows.size());
    for (const ImportRow& r : m_rows) {
        if (r.ticked)
            ++s.ticked;
        if (r.state == ImportRow::State::Duplicate)
            ++s.duplicates;
        if (r.state == ImportRow::State::Transfer)
            ++s.transfers;
    }
    return s;
}

} // namespace dorv
