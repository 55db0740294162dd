#pragma once
#include <QObject>

class QAction;

namespace dorv {

class TFormMain;

// "Импорт выписки..." in the menu "Файл" and "Правила импорта..." in the menu "Сервис": a bank
// statement read, reviewed in its window and booked as one change of the open data; the rules that
// choose categories for its rows.
class TImportCommands final : public QObject {
    Q_OBJECT
public:
    explicit TImportCommands(TFormMain& main);

    QAction* mImport = nullptr;
    QAction* mRules = nullptr;

    void mImportClick();
    void mRulesClick();

private:
    TFormMain& m_main;
};

} // namespace dorv
