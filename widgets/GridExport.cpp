#include "GridExport.h"

#include "data/Field.h"
#include "data/TableModel.h"
#include "util/Prompts.h"

#include <QHeaderView>
#include <QTableView>

namespace dorv {

PlainTable tableOfGrid(const QTableView& grid)
{
    PlainTable t;
    const QAbstractItemModel* model = grid.model();
    if (!model)
        return t;
    const auto* fields = qobject_cast<const TableModel*>(model);
    const QHeaderView* header = grid.horizontalHeader();
    QList<int> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int c = header->logicalIndex(visual);
        if (c < 0 || grid.isColumnHidden(c))
            continue;
        columns << c;
        t.titles << model->headerData(c, Qt::Horizontal).toString();
        PlainTable::Kind kind = PlainTable::Kind::Text;
        if (const Field* f = fields ? fields->fieldAt(c) : nullptr) {
            if (f->type() == FieldType::Float)
                kind = PlainTable::Kind::Amount;
            else if (f->type() == FieldType::Date)
                kind = PlainTable::Kind::Date;
        }
        t.kinds << kind;
    }
    for (int r = 0; r < model->rowCount(); ++r) {
        QVariantList row;
        const Record record = fields ? fields->rowRecord(r) : Record();
        for (int i = 0; i < columns.size(); ++i) {
            const int c = columns[i];
            const Field* f = fields ? fields->fieldAt(c) : nullptr;
            if (f && t.kinds[i] != PlainTable::Kind::Text)
                row << record.value(f->index());
            else
                row << model->index(r, c).data(Qt::DisplayRole).toString();
        }
        t.rows << row;
    }
    return t;
}

bool exportTable(Prompts& prompts, QWidget* parent, const PlainTable& table)
{
    const QString path =
        prompts.saveFile(parent, QStringLiteral("Экспорт в файл"),
                         QStringLiteral("Книга Excel (*.xlsx);;Текст CSV (*.csv)"), QStringLiteral("xlsx"));
    if (path.isEmpty())
        return false;
    const QString error = writeTable(table, path);
    if (!error.isEmpty()) {
        prompts.error(error);
        return false;
    }
    return true;
}

} // namespace dorv
