#pragma once
#include <QObject>

class QAction;

namespace dorv {

class Prompts;
class TDm;
class TMoneyView;

// "Проверка данных...": checks the open book and lists what is not sound; a balance that its rows
// do not explain is repaired only as the user answers, one account at a time.
class TBookCheckCommand final : public QObject {
    Q_OBJECT
public:
    TBookCheckCommand(TMoneyView& view, TDm& dm, Prompts& prompts);

    QAction* mCheck = nullptr;
    void mCheckClick();

private:
    QString accountNameOf(qint64 account) const;

    TMoneyView& m_view;
    TDm& m_dm;
    Prompts& m_prompts;
};

} // namespace dorv
