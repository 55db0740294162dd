#pragma once
#include "util/TableExport.h"

class QTableView;
class QWidget;

namespace dorv {

class Prompts;

// What a grid shows, as a plain table: its shown columns in their order with their titles; amounts
// and dates of the data module's fields as such, everything else as the grid shows it.
PlainTable tableOfGrid(const QTableView& grid);

// "Экспорт в файл": asks for the file (a workbook or CSV, by its extension) and writes the table
// there; a failure is told. True when the file was written.
bool exportTable(Prompts& prompts, QWidget* parent, const PlainTable& table);

} // namespace dorv
