#include "DbGrid.h"

#include "CellDelegate.h"
#include "GridColours.h"
#include "data/Dataset.h"
#include "data/TableModel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>

namespace dorv {

namespace {

class RowColourDelegate final : public TCellDelegate {
public:
    explicit RowColourDelegate(TDbGrid* grid) : TCellDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (!m_grid->picksKey(index.column()))
            return TCellDelegate::createEditor(parent, option, index);
        auto* box = new QComboBox(parent);
        box->setObjectName(m_grid->objectName() + QStringLiteral("Pick"));
        for (const auto& [key, text] : m_grid->pickList(index.column()))
            box->addItem(text, key);
        const QPersistentModelIndex at(index);
        connect(box, &QComboBox::activated, box, [box, at](int i) {
            if (at.isValid())
                const_cast<QAbstractItemModel*>(at.model())->setData(at, box->itemData(i), TableModel::KeyRole);
        });
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* box = qobject_cast<QComboBox*>(editor); box && m_grid->picksKey(index.column())) {
            const QVariant key = index.data(TableModel::KeyRole);
            const int i = key.isValid() ? box->findData(key) : 0;
            if (i >= 0 && i != box->currentIndex())
                box->setCurrentIndex(i);
            return;
        }
        TCellDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        // A picked key is written the moment it is picked; closing the list writes nothing more.
        if (qobject_cast<QComboBox*>(editor) && m_grid->picksKey(index.column()))
            return;
        TCellDelegate::setModelData(editor, model, index);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        TDbGrid::Colours c = m_grid->rowColours(index.row(), selected);
        const auto own = m_grid->columnBackground.constFind(index.column());
        if (!selected && own != m_grid->columnBackground.constEnd()
            && c.background == m_grid->palette().color(QPalette::Base))
            c.background = *own;
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        painter->fillRect(opt.rect, c.background);
        opt.font.setBold(true);
        painter->save();
        painter->setPen(c.text);
        painter->setFont(opt.font);
        const QRect r = opt.rect.adjusted(3, 0, -3, 0);
        painter->drawText(r, int(opt.displayAlignment) | Qt::TextSingleLine,
                          opt.fontMetrics.elidedText(opt.text, Qt::ElideRight, r.width()));
        painter->restore();
    }

private:
    TDbGrid* m_grid;
};

} // namespace

TDbGrid::TDbGrid(const QString& name, int tag, QWidget* parent) : QTableView(parent), m_tag(tag)
{
    setObjectName(name);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new RowColourDelegate(this));
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { color: rgb(128,0,0); font-weight: bold; }"));
    // The selection keeps its colours when the grid loses the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
}

void TDbGrid::usePlainTitles()
{
    horizontalHeader()->setStyleSheet(QString());
    QFont bold = horizontalHeader()->font();
    bold.setBold(true);
    horizontalHeader()->setFont(bold);
}

void TDbGrid::setGridModel(TableModel* model)
{
    m_model = model;
    setModel(model);
    if (m_editable)
        model->setIndicator(true);
    for (auto it = m_pickLists.cbegin(); it != m_pickLists.cend(); ++it)
        model->setColumnPicksKey(it.key());
    connect(model, &TableModel::readFailed, this, &TDbGrid::readFailed);
    model->bindSelection(selectionModel());
}

TDbGrid::Colours TDbGrid::rowColours(int row, bool selected) const
{
    RowFacts facts;
    if (m_model && m_model->dataset()) {
        const Dataset* d = m_model->dataset();
        // The model maps the view's rows (a record being inserted is one of them) and never throws:
        // a row that cannot be read is painted plain and reported once.
        const Record r = m_model->rowRecord(row);
        auto value = [&](const char* name) -> QVariant {
            const Field* f = d->findField(QString::fromLatin1(name));
            return f ? r.value(f->index()) : QVariant();
        };
        facts.kind = value("Kind").toString();
        facts.day = value("Dy");
        facts.month = value("Mn");
        facts.mode = value("C").toString();
    }
    const CellColours c =
        DrawGridCell(m_tag, facts, selected, palette(), todayDay, todayMonth, tomorrowDay, tomorrowMonth);
    return {c.background, c.text};
}

void TDbGrid::setEditable(bool on)
{
    m_editable = on;
    setEditTriggers(on ? QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                       : QAbstractItemView::NoEditTriggers);
    verticalHeader()->setVisible(on);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("▶")) + 8);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    if (m_model)
        m_model->setIndicator(on);
    placeEllipsis();
}

void TDbGrid::addKeyAction(QAction* action)
{
    action->setShortcutContext(Qt::WidgetShortcut);
    m_keyActions << action;
}

QAction* TDbGrid::keyAction(const QKeyEvent* event) const
{
    const QKeySequence pressed(event->keyCombination());
    for (QAction* a : m_keyActions)
        if (!a->shortcut().isEmpty() && a->shortcut() == pressed)
            return a;
    return nullptr;
}

void TDbGrid::setEllipsisColumn(int column)
{
    m_ellipsisColumn = column;
    if (!m_ellipsis) {
        m_ellipsis = new QToolButton(viewport());
        m_ellipsis->setObjectName(objectName() + QStringLiteral("Ellipsis"));
        m_ellipsis->setText(QStringLiteral("…"));
        m_ellipsis->setToolTip(QStringLiteral("Выбрать дату"));
        m_ellipsis->setFocusPolicy(Qt::NoFocus);
        m_ellipsis->hide();
        connect(m_ellipsis, &QToolButton::clicked, this, &TDbGrid::editButtonClicked);
    }
    placeEllipsis();
}

void TDbGrid::placeEllipsis()
{
    if (!m_ellipsis)
        return;
    const QModelIndex at = currentIndex();
    const bool show = m_editable && at.isValid() && at.column() == m_ellipsisColumn;
    if (!show) {
        m_ellipsis->hide();
        return;
    }
    const QRect cell = visualRect(at);
    const int side = cell.height();
    m_ellipsis->setGeometry(cell.right() - side + 1, cell.top(), side, side);
    m_ellipsis->setVisible(cell.isValid());
}

void TDbGrid::setPickColumn(int column, std::function<PickList()> items)
{
    m_pickLists.insert(column, std::move(items));
    if (m_model)
        m_model->setColumnPicksKey(column);
}

TDbGrid::PickList TDbGrid::pickList(int column) const
{
    PickList out{{QVariant(), QString()}};
    if (const auto it = m_pickLists.constFind(column); it != m_pickLists.constEnd() && *it)
        out += (*it)();
    return out;
}

bool TDbGrid::event(QEvent* event)
{
    // The grid's own keys come before the window's shortcuts, as a focused control's popup keys do.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool own = keyAction(key)
                         || (m_editable && key->modifiers() == Qt::NoModifier
                             && (key->key() == Qt::Key_Insert || key->key() == Qt::Key_Escape))
                         || (m_editable && key->modifiers() == Qt::ControlModifier && key->key() == Qt::Key_Delete);
        if (own) {
            event->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

void TDbGrid::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && listened(&TDbGrid::enterPressed)) {
        event->accept();
        emit enterPressed();
        return;
    }
    if (QAction* a = keyAction(event)) {
        event->accept();
        emit aboutToTryKeyAction();
        if (a->isEnabled())
            a->trigger();
        return;
    }
    if (m_editable) {
        const auto signal =
            event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Insert        ? &TDbGrid::insertPressed
            : event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Escape      ? &TDbGrid::cancelPressed
            : event->modifiers() == Qt::ControlModifier && event->key() == Qt::Key_Delete ? &TDbGrid::deletePressed
                                                                                          : nullptr;
        if (signal && listened(signal)) {
            event->accept();
            emit(this->*signal)();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void TDbGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
    // Esc in a cell gives the row's change up. (Enter reaches keyPressEvent by itself: a line
    // editor passes it on; the view also submits when the current row moves, which is no Enter.)
    if (hint == QAbstractItemDelegate::RevertModelCache)
        emit cancelPressed();
}

void TDbGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    placeEllipsis();
}

void TDbGrid::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    // The view drops the editor of a row that goes without closing it. When another row becomes
    // current first (the usual case) the editor is closed on the way and the grid takes the focus
    // back; when the row was the only one (the first row of an empty list, posted in place of the
    // row being added) nothing does, and the keyboard would be left on a deleted editor.
    QWidget* focused = QApplication::focusWidget();
    const bool editorHadFocus = focused && focused != this && isAncestorOf(focused);
    QTableView::rowsAboutToBeRemoved(parent, start, end);
    focused = QApplication::focusWidget();
    if (editorHadFocus && (!focused || !focused->isVisible()))
        setFocus(Qt::OtherFocusReason);
}

void TDbGrid::updateGeometries()
{
    QTableView::updateGeometries();
    placeEllipsis();
}

void TDbGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    placeEllipsis();
}

void TDbGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (indexAt(event->position().toPoint()).isValid())
        emit rowDoubleClicked();
}

void TDbGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    emit focusEntered();
}

void TDbGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    emit focusLeft();
}

// A node dropped here is copied, never moved: its tree keeps it.
void TDbGrid::dragEnterEvent(QDragEnterEvent* event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TDbGrid::dragMoveEvent(QDragMoveEvent* event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TDbGrid::dropEvent(QDropEvent* event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit dropped();
}

} // namespace dorv
