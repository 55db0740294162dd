#pragma once
#include <QObject>

class QAbstractItemView;

namespace dorv {

class Database;

// The bank's own text and identifier of an imported operation, shown as the hint of its row in the
// history grid: what the statement said stays at hand after the row got a category.
class TBankTextHints final : public QObject {
    Q_OBJECT
public:
    // grid shows the history through a TableModel.
    explicit TBankTextHints(QAbstractItemView* grid);

    // The hint of a history row: the bank's text and identifier, or empty text.
    static QString hintOf(Database& db, qint64 account, qint64 created);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* m_grid;
};

} // namespace dorv
