#include "ContactGrid.h"

#include "data/DbError.h"
#include "data/Query.h"
#include "data/Table.h"
#include "data/TableModel.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"
#include "widgets/DbGrid.h"
#include "widgets/ErrorGuard.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QToolButton>

namespace dorv {

void EditDateField(Table& table, const QString& fieldName, const std::function<int(int)>& pickDate)
{
    if (!table.active() || (table.isEmpty() && table.state() != DatasetState::Insert))
        return;
    Field& field = table.fieldByName(fieldName);
    const int start = field.isNull() ? dayNumber(Clock::today()) : field.asDate();
    const int picked = pickDate ? pickDate(start) : 0;
    if (picked == 0)
        return;
    if (table.state() != DatasetState::Insert && table.state() != DatasetState::Edit)
        table.edit();
    field.setValue(picked);
    if (table.state() == DatasetState::Edit)
        table.post();
}

namespace {

bool requiredMissing(const Dataset& table)
{
    for (const Field* f : table.fields()) {
        if (!f->isData() || !f->required())
            continue;
        const QVariant v = f->value();
        if (!v.isValid() || (f->type() == FieldType::Text && v.toString().trimmed().isEmpty()))
            return true;
    }
    return false;
}

void cancelQuietly(Dataset& table)
{
    try {
        table.cancel();
    } catch (...) {
        // A row that cannot be cancelled stays in the grid to be corrected or posted.
        noteSwallowed("cancelling a grid row");
    }
}

} // namespace

void PostOrDrop(Dataset& table, Prompts& prompts)
{
    if (!table.editing())
        return;
    // A required field left empty is not worth a message: the row is simply not taken.
    if (requiredMissing(table)) {
        cancelQuietly(table);
        return;
    }
    try {
        table.post();
    } catch (const DbAbort&) {
        cancelQuietly(table);
    } catch (const DbError& e) {
        if (table.editing())
            prompts.error(e.message());
    }
}

TDbGrid* makeContactGrid(const QString& name, int tag, Table& table, const QStringList& columns, Prompts& prompts,
                         QWidget* parent)
{
    auto* grid = new TDbGrid(name, tag, parent);
    auto* model = new TableModel(&table, grid);
    model->setObjectName(name + QStringLiteral("Model"));
    model->setColumns(columns);
    grid->setGridModel(model);
    grid->usePlainTitles();
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid->setEditable(true);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(model, &TableModel::editFailed, grid, [&prompts](const QString& m) { prompts.error(m); });
    QObject::connect(grid, &TDbGrid::readFailed, grid, [&prompts](const QString& m) { prompts.error(m); });
    Table* t = &table;
    connectGuarded(grid, &TDbGrid::enterPressed, grid, prompts, [t, &prompts] { PostOrDrop(*t, prompts); });
    connectGuarded(grid, &TDbGrid::cancelPressed, grid, prompts, [t] {
        if (t->editing())
            t->cancel();
    });
    connectGuarded(grid, &TDbGrid::insertPressed, grid, prompts, [t] {
        if (t->active())
            t->insert();
    });
    connectGuarded(grid, &TDbGrid::deletePressed, grid, prompts, [t, &prompts] {
        if (!t->active() || t->isEmpty() || t->state() == DatasetState::Insert)
            return;
        if (prompts.confirm(QStringLiteral("Удалить запись ?")))
            t->deleteRecord();
    });
    return grid;
}

} // namespace dorv

namespace dorv {

void fitContactColumns(TDbGrid& grid, const QList<QPair<QString, int>>& fixedWidths)
{
    TableModel* model = grid.gridModel();
    if (!model)
        return;
    const int charWidth = grid.fontMetrics().averageCharWidth();
    QFont bold = grid.font();
    bold.setBold(true);
    const QFontMetrics titles(bold), cells(bold);
    for (int c = 0; c < model->columnCount(); ++c) {
        const Field* f = model->fieldAt(c);
        if (!f)
            continue;
        int width = f->displayWidth() > 0 ? f->displayWidth() * charWidth + 8 : 100;
        for (const auto& [name, pixels] : fixedWidths)
            if (f->name().compare(name, Qt::CaseInsensitive) == 0)
                width = pixels;
        // Neither a date (with room for its ellipsis button) nor a title is ever cut, whatever the
        // system font.
        if (f->type() == FieldType::Date)
            width =
                qMax(width, cells.horizontalAdvance(QStringLiteral("00.00.0000")) + 12 + grid.fontMetrics().height());
        else if (f->type() == FieldType::DateTime)
            width = qMax(width, cells.horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")) + 12);
        width = qMax(width, titles.horizontalAdvance(f->label()) + 16);
        grid.horizontalHeader()->resizeSection(c, width);
    }
}

} // namespace dorv

namespace dorv {

QList<QPair<QVariant, QString>> pickListOf(Table& table, const QString& keyField, const QString& textField)
{
    QList<QPair<QVariant, QString>> list;
    if (!table.active())
        return list;
    // Read as one query: the table's own cursor would look up every row's other fields as well.
    Query q(QStringLiteral("QPickList"));
    q.setDatabaseName(table.databaseName());
    q.setSql({QStringLiteral("Select %1, %2 from %3").arg(keyField, textField, table.tableName())});
    q.open();
    list.reserve(q.recordCount());
    for (q.first(); !q.eof(); q.next())
        list.append({q.field(0)->value(), q.field(1)->asString()});
    q.close();
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return QString::localeAwareCompare(a.second, b.second) < 0; });
    return list;
}

} // namespace dorv

namespace dorv {

QFrame* makePagePanel(const QString& name, QWidget* parent, QHBoxLayout** strip)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFixedHeight(27);
    panel->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(2, 0, 6, 0);
    row->setSpacing(4);
    *strip = row;
    return panel;
}

QToolButton* makeFilterButton(const QString& name, const QString& text, const QString& hint, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setFixedHeight(23);
    return b;
}

QLabel* makePanelCaption(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont f = label->font();
    f.setPointSize(10);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 128));
    label->setPalette(p);
    return label;
}

} // namespace dorv
