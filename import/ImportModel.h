#pragma once
#include "ImportChoices.h"
#include "statements/ImportMatcher.h"

#include <QAbstractTableModel>

namespace dorv {

// The statement rows of the import window: a tick, the bank's date, amounts and text, the category,
// person and place chosen for each, and what the book already has of it.
class ImportModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Tick, Date, Income, Expense, Text, Category, Person, Place, State, ColumnCount };

    explicit ImportModel(const ImportChoices& choices, QObject* parent = nullptr);

    void setRows(QList<ImportRow> rows);
    const QList<ImportRow>& rows() const { return m_rows; }
    ImportRow& row(int i) { return m_rows[i]; }
    // A change made to rows directly is shown.
    void rowsChanged(int first, int last);

    // Gives the rows one category (an index into the choices' categories, -1: none), person or
    // place (an index into the people or firms, -1: none).
    void setChoice(const QList<int>& rows, Column column, int choice);
    void setTicked(const QList<int>& rows, bool ticked);

    struct Summary {
        int rows = 0, ticked = 0, duplicates = 0, transfers = 0;
    };
    Summary summary() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void summaryChanged();

private:
    const ImportChoices& m_choices;
    QList<ImportRow> m_rows;
};

} // namespace dorv
