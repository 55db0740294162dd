#pragma once
#include "card/DorvCard.h"

#include <QObject>
#include <QStringList>

class QModelIndex;
class QTableView;
class QToolButton;
class QWidget;

namespace dorv {

class Prompts;
class TDm;
class TFormCard;
class Table;
class TableModel;

// The card's accounts page: the list of accounts to pick one from, and, with the edit button down,
// the place to add, rename and delete them. It lives as long as the card, which owns it.
class TAccountsPage final : public QObject, private TCardPage {
    Q_OBJECT
public:
    TAccountsPage(TFormCard& card, TDm& dm, Prompts& prompts);
    ~TAccountsPage() override;

    QWidget* PanAcc;
    QToolButton* ButAcc;
    QWidget* DBNAcc;
    QToolButton* DBNAccInsert;
    QToolButton* DBNAccDelete;
    QToolButton* DBNAccPost;
    QToolButton* DBNAccCancel;
    QTableView* DBGAcTab;
    TableModel* model() const { return m_model; }

    // Every currency of the accounts once, in the spelling met first in name order; the current
    // account stays where it was.
    static void FillCur(Table& accounts, QStringList& list);

    void ShowAccountsPage();
    // Switches between picking an account (button up) and editing the list (button down).
    void ButAccClick();
    void DBGAcTabDblClick();

private:
    void buildNavigator();
    void updateNavigator();
    // Runs a navigator action: errors are shown, a cancelled rule is not.
    template <class Action>
    void navigate(Action action);
    void fitColumns();
    // Hands the text of an open cell editor to the row before the row is posted.
    void finishGridEdit();
    void resetOnClose();
    void showPage() override { ShowAccountsPage(); }
    void cardClosed() override { resetOnClose(); }

    TFormCard& m_card;
    TDm& m_dm;
    Prompts& m_prompts;
    TableModel* m_model;
    // The currencies already in use, for the pick list of the currency column.
    QStringList m_currencies;
};

} // namespace dorv
