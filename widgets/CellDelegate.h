#pragma once
#include <QStringList>
#include <QStyledItemDelegate>

#include <functional>

namespace dorv {

// The in-place editor of a text cell. Every change goes to the grid's model (setData), so the row
// enters editing with the user's first keystroke, as a navigator's Post and Cancel expect, and no
// grid writes its fields behind the model's back. The editor takes at most the field's size.
class TCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

protected:
    // Hands each change of the editor's text to the model at once.
    void follow(class QLineEdit* line, const QModelIndex& index) const;
    static int fieldSize(const QModelIndex& index);
};

// A cell whose value is usually one of a list (a currency already in use) but may be typed anew.
// Typing never adds to the list: the list is what the data holds.
class TPickListDelegate final : public TCellDelegate {
    Q_OBJECT
public:
    TPickListDelegate(std::function<QStringList()> items, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    // The object name of the editors it makes, for finding them.
    void setEditorName(const QString& name) { m_editorName = name; }
    // The width a cell needs to show its longest item with the drop-down button.
    int widthFor(const QFont& font) const;

private:
    std::function<QStringList()> m_items;
    QString m_editorName = QStringLiteral("PickList");
};

} // namespace dorv
