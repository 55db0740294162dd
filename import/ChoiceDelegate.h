#pragma once
#include <QStyledItemDelegate>

class QTableView;

namespace dorv {

struct ImportChoices;

// The pick lists of the import grid's "Категория", "Кто?" and "Где?": a choice made on one of
// several selected rows is given to all of them.
class ChoiceDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    ChoiceDelegate(const ImportChoices& choices, QTableView* view);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    const ImportChoices& m_choices;
    QTableView* m_view;
};

} // namespace dorv
