#include "BankTextHints.h"

#include "data/Database.h"
#include "data/Dataset.h"
#include "data/Fields.h"
#include "data/OwnTables.h"
#include "data/TableModel.h"
#include "util/Swallowed.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace dorv {

TBankTextHints::TBankTextHints(QAbstractItemView* grid) : QObject(grid), m_grid(grid)
{
    grid->viewport()->installEventFilter(this);
}

QString TBankTextHints::hintOf(Database& db, qint64 account, qint64 created)
{
    if (!db.hasTable(QLatin1String(OwnTables::BankText)))
        return {};
    Statement st = db.prepare(
        QStringLiteral("SELECT Bank_Text, Bank_Id FROM TB_IMPORT_TEXT WHERE Id_Account=? AND Date_Create=?"));
    st.bindAll({account, created});
    if (!st.step())
        return {};
    QString hint = st.column(0).toString();
    if (!st.column(1).toString().isEmpty())
        hint += QStringLiteral("\nНомер операции банка: ") + st.column(1).toString();
    return hint;
}

bool TBankTextHints::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ToolTip || watched != m_grid->viewport())
        return QObject::eventFilter(watched, event);
    auto* help = static_cast<QHelpEvent*>(event);
    const auto* model = qobject_cast<const TableModel*>(m_grid->model());
    const QModelIndex at = m_grid->indexAt(help->pos());
    QString hint;
    if (model && at.isValid() && model->dataset()) {
        try {
            Dataset& hist = *model->dataset();
            const Record row = model->rowRecord(at.row());
            const int account = hist.fieldByName(HistField::IdAccount).index();
            const int created = hist.fieldByName(HistField::DateCreate).index();
            if (hist.database() && account < row.size() && created < row.size())
                hint = hintOf(*hist.database(), row[account].toLongLong(), row[created].toLongLong());
        } catch (...) {
            // A hint is a courtesy: a row that cannot be read shows none, and the grid says so itself.
            noteSwallowed("reading the bank's text of a history row");
        }
    }
    if (hint.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), hint, m_grid->viewport());
    return true;
}

} // namespace dorv
