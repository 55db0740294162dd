#pragma once
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

#include <functional>

class QFrame;
class QHBoxLayout;
class QLabel;
class QToolButton;
class QWidget;

namespace dorv {

class Dataset;
class Prompts;
class TableModel;
class TDbGrid;
class Table;

// One date of the current row through the date picker: stored at once for a row that exists,
// kept pending for a row being added. Nothing happens on an empty table or a cancelled picker.
void EditDateField(Table& table, const QString& fieldName, const std::function<int(int)>& pickDate);

// Enter in a contacts grid: a pending row is posted, or dropped without a word when it cannot be
// (a required field left empty, a rule refusing it). A text the data file cannot hold is said, and
// the row stays being edited so that it can be put right.
void PostOrDrop(Dataset& table, Prompts& prompts);

// An address-book grid on a table: editable in place with the row indicator, centred titles, Ins
// adding a row, Ctrl+Del deleting the current one after a yes/no question, Esc giving a change up
// and Enter posting it.
TDbGrid* makeContactGrid(const QString& name, int tag, Table& table, const QStringList& columns, Prompts& prompts,
                         QWidget* parent);

} // namespace dorv

namespace dorv {

// Column widths from the fields' display widths (in characters), never narrower than the title;
// the named columns get their own widths in pixels.
// The rows of a table as a grid's pick list, in alphabetical order of their texts.
QList<QPair<QVariant, QString>> pickListOf(Table& table, const QString& keyField, const QString& textField);

void fitContactColumns(TDbGrid& grid, const QList<QPair<QString, int>>& fixedWidths = {});

} // namespace dorv

namespace dorv {

// The top panel of a contacts page, 27 pixels high; its strip of buttons is given back.
QFrame* makePagePanel(const QString& name, QWidget* parent, QHBoxLayout** strip);
// A flat toggle button of a page's panel.
QToolButton* makeFilterButton(const QString& name, const QString& text, const QString& hint, QWidget* parent);
// The page's caption at the right of its panel: navy, 10 point, giving way when the window is narrow.
QLabel* makePanelCaption(const QString& name, const QString& text, QWidget* parent);

} // namespace dorv
