#pragma once
#include <QHash>
#include <QMetaMethod>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

class QAction;
class QToolButton;

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

    // The colours the rule gives a row, as the delegate paints them.
    struct Colours {
        QColor background, text;
    };
    Colours rowColours(int row, bool selected) const;
    // Columns painted on a colour of their own (unless the row is highlighted or selected).
    QHash<int, QColor> columnBackground;
    // Titles in the grid's own bold, without the maroon of the history's titles.
    void usePlainTitles();

    // Editable in place: typing edits the current cell, the row titles show the row indicator, and
    // Ins, Ctrl+Del and Esc are told by the signals below (Enter by enterPressed, also from a cell
    // editor).
    void setEditable(bool on);
    bool editable() const { return m_editable; }
    // A command of the grid's popup whose key works while the grid has the focus, ahead of any
    // shortcut of the window that uses the same key.
    void addKeyAction(QAction* action);
    // A column set only through a dialog: while it is the current cell an ellipsis button stands at
    // its right edge, and pressing it emits editButtonClicked.
    void setEllipsisColumn(int column);
    QToolButton* ellipsisButton() const { return m_ellipsis; }
    // A lookup column whose key is chosen from a list of keys and the texts shown for them; the
    // list starts with an empty choice that clears the key.
    using PickList = QList<QPair<QVariant, QString>>;
    void setPickColumn(int column, std::function<PickList()> items);
    PickList pickList(int column) const;
    bool picksKey(int column) const { return m_pickLists.contains(column); }

signals:
    void rowDoubleClicked(); // a double click on a row
    // Enter, Ins, Esc and Ctrl+Del; each key is taken from the grid only while someone listens.
    void enterPressed();
    void insertPressed();
    void cancelPressed();
    void deletePressed();
    void focusEntered();
    void focusLeft();
    void dropped(); // something was dropped on the grid
    // A row that could not be read for showing; told once, not on every paint.
    void readFailed(const QString& message);
    // Emitted before a key command is tried, so that its enabled state is that of this moment.
    void aboutToTryKeyAction();
    void editButtonClicked();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* keyAction(const QKeyEvent* event) const;
    template <class Signal>
    bool listened(Signal signal) const
    {
        return isSignalConnected(QMetaMethod::fromSignal(signal));
    }
    void placeEllipsis();

    int m_tag;
    TableModel* m_model = nullptr;
    bool m_editable = false;
    QList<QAction*> m_keyActions;
    int m_ellipsisColumn = -1;
    QToolButton* m_ellipsis = nullptr;
    QHash<int, std::function<PickList()>> m_pickLists;
};

} // namespace dorv
