#include "CellDelegate.h"

#include "data/Field.h"
#include "data/TableModel.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace dorv {

namespace {
const char* const CommittedText = "dorvCommittedText";
} // namespace

int TCellDelegate::fieldSize(const QModelIndex& index)
{
    const auto* model = qobject_cast<const TableModel*>(index.model());
    const Field* field = model ? model->fieldAt(index.column()) : nullptr;
    return field && field->type() == FieldType::Text ? field->size() : 0;
}

void TCellDelegate::follow(QLineEdit* line, const QModelIndex& index) const
{
    if (const int size = fieldSize(index); size > 0)
        line->setMaxLength(size);
    // A date is no date until it is typed whole: it is handed over when the editor closes, and an
    // impossible one is refused with a message then, not at every keystroke.
    const auto* model = qobject_cast<const TableModel*>(index.model());
    const Field* field = model ? model->fieldAt(index.column()) : nullptr;
    if (field && field->type() == FieldType::Date) {
        line->setMaxLength(10);
        line->setPlaceholderText(QStringLiteral("дд.мм.гггг"));
        // Enter goes on to the grid, which posts the row: the date must be in it by then, not only
        // when the editor's own (later) commit comes.
        const QPersistentModelIndex at(index);
        connect(line, &QLineEdit::returnPressed, line, [at, line] {
            line->setProperty(CommittedText, line->text());
            if (at.isValid())
                const_cast<QAbstractItemModel*>(at.model())->setData(at, line->text(), Qt::EditRole);
        });
        return;
    }
    const QPersistentModelIndex at(index);
    connect(line, &QLineEdit::textEdited, line, [at](const QString& text) {
        if (at.isValid())
            const_cast<QAbstractItemModel*>(at.model())->setData(at, text, Qt::EditRole);
    });
}

QWidget* TCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        follow(line, index);
    return editor;
}

void TCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    // The model echoes every keystroke back; the editor must not lose its cursor to that echo.
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        const QString text = index.data(Qt::EditRole).toString();
        if (line->text() != text)
            line->setText(text);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void TCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    // A date handed over by Enter is not handed over (nor refused) a second time.
    if (line && line->property(CommittedText).isValid() && line->property(CommittedText).toString() == line->text())
        return;
    if (line)
        model->setData(index, line->text(), Qt::EditRole);
    else
        QStyledItemDelegate::setModelData(editor, model, index);
}

TPickListDelegate::TPickListDelegate(std::function<QStringList()> items, QObject* parent)
    : TCellDelegate(parent), m_items(std::move(items))
{
}

QWidget* TPickListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* box = new QComboBox(parent);
    box->setObjectName(m_editorName);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(m_items ? m_items() : QStringList());
    follow(box->lineEdit(), index);
    const QPersistentModelIndex at(index);
    connect(box, &QComboBox::activated, box, [box, at] {
        if (at.isValid())
            const_cast<QAbstractItemModel*>(at.model())->setData(at, box->currentText(), Qt::EditRole);
    });
    return box;
}

void TPickListDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* box = static_cast<QComboBox*>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    if (box->currentText() != text)
        box->setEditText(text);
}

void TPickListDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    model->setData(index, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
}

int TPickListDelegate::widthFor(const QFont& font) const
{
    const QFontMetrics fm(font);
    int text = fm.horizontalAdvance(QStringLiteral("MMM"));
    for (const QString& item : m_items ? m_items() : QStringList())
        text = qMax(text, fm.horizontalAdvance(item));
    QStyleOptionComboBox option;
    option.editable = true;
    const QSize size =
        QApplication::style()->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(text, fm.height()), nullptr);
    return size.width();
}

} // namespace dorv
