#pragma once
#include <QObject>

class QAction;

namespace dorv {

class TFormMain;

// "Экспорт..." in the menu "Файл": what the view shown lists, to a workbook or a CSV file. The
// money view gives the history of the current account and period; the people view the
// acquaintances or the family shown; the firms and the diary their grids.
class TExportCommands final : public QObject {
    Q_OBJECT
public:
    explicit TExportCommands(TFormMain& main);

    QAction* mExport = nullptr;

    void mExportClick();

private:
    TFormMain& m_main;
};

} // namespace dorv
