#pragma once
#include <QObject>

class QAction;

namespace dorv {

class TFormMain;
struct FoundOperation;

// "Найти операции..." in the menu "Деньги": the operations of every account found in their window;
// the one chosen is shown in the history, its account current and its date the working date.
class TFindCommands final : public QObject {
    Q_OBJECT
public:
    explicit TFindCommands(TFormMain& main);

    QAction* mFind = nullptr;

    void mFindClick();
    void showOperation(const FoundOperation& operation);

private:
    TFormMain& m_main;
};

} // namespace dorv
