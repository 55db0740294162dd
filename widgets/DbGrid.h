#pragma once
#include <QHash>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

namespace dorv {

class TableModel;

// A grid on a table: bold cells, maroon bold titles, whole-row selection that stays visible, and
// the shared row-colouring rule chosen by the grid's tag.
class TDbGrid : public QTableView {
    Q_OBJECT
public:
    TDbGrid(const QString& name, int tag, QWidget* parent = nullptr);

    int tag() const { return m_tag; }
    void setGridModel(TableModel* model);
    TableModel* gridModel() const { return m_model; }

    // Today's and tomorrow's day and month, for the birthday grids.
    int todayDay = 0, todayMonth = 0, tomorrowDay = 0, tomorrowMonth = 0;

    std::function<void()> onDblClick; // a double click on a row
    std::function<void()> onEnterKey; // Enter, already swallowed
    std::function<void()> onEnter;    // the grid got the focus
    std::function<void()> onExit;     // the grid lost the focus
    std::function<void()> onDrop;     // something was dropped on the grid
    // A row that could not be read for showing; told once, not on every paint.
    std::function<void(const QString&)> reportError;

    // The colours the rule gives a row, as the delegate paints them.
    struct Colours {
        QColor background, text;
    };
    Colours rowColours(int row, bool selected) const;
    // Columns painted on a colour of their own (unless the row is highlighted or selected).
    QHash<int, QColor> columnBackground;
    // Titles in the grid's own bold, without the maroon of the history's titles.
    void usePlainTitles();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int m_tag;
    TableModel* m_model = nullptr;
};

} // namespace dorv
