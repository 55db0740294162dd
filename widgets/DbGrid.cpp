#include "DbGrid.h"

#include "GridColours.h"
#include "data/Dataset.h"
#include "data/TableModel.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>

namespace dorv {

namespace {

class RowColourDelegate final : public QStyledItemDelegate {
public:
    explicit RowColourDelegate(TDbGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

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
    connect(model, &TableModel::readFailed, this, [this](const QString& message) {
        if (reportError)
            reportError(message);
    });
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

void TDbGrid::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && onEnterKey) {
        event->accept();
        onEnterKey();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TDbGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (onDblClick && indexAt(event->position().toPoint()).isValid())
        onDblClick();
}

void TDbGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    if (onEnter)
        onEnter();
}

void TDbGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    if (onExit)
        onExit();
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
    if (onDrop)
        onDrop();
}

} // namespace dorv
