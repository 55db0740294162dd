#include "ChoiceDelegate.h"

#include "ImportChoices.h"
#include "ImportModel.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QTableView>

namespace dorv {

ChoiceDelegate::ChoiceDelegate(const ImportChoices& choices, QTableView* view)
    : QStyledItemDelegate(view), m_choices(choices), m_view(view)
{
}

QWidget* ChoiceDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("CbImpChoice"));
    box->addItem(QString(), -1);
    const auto* model = qobject_cast<const ImportModel*>(index.model());
    const bool income = model && model->rows().value(index.row()).entry.income;
    if (index.column() == ImportModel::Category) {
        for (qsizetype i = 0; i < m_choices.categories.size(); ++i) {
            const ImportChoices::Category& c = m_choices.categories[i];
            if (income ? c.income : c.expense)
                box->addItem(c.text, int(i));
        }
    } else {
        const auto& list = index.column() == ImportModel::Person ? m_choices.people : m_choices.firms;
        for (qsizetype i = 0; i < list.size(); ++i)
            box->addItem(list[i].text, int(i));
    }
    box->setMaxVisibleItems(20);
    return box;
}

void ChoiceDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* box = static_cast<QComboBox*>(editor);
    const int at = box->findData(index.data(Qt::EditRole).toInt());
    box->setCurrentIndex(qMax(0, at));
}

void ChoiceDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* importModel = qobject_cast<ImportModel*>(model);
    if (!importModel)
        return;
    const int choice = static_cast<QComboBox*>(editor)->currentData().toInt();
    // The choice goes to every selected row, the edited one among them.
    QList<int> rows{index.row()};
    for (const QModelIndex& selected : m_view->selectionModel()->selectedRows())
        if (!rows.contains(selected.row()))
            rows << selected.row();
    importModel->setChoice(rows, ImportModel::Column(index.column()), choice);
}

} // namespace dorv
