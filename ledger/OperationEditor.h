#pragma once
#include <QObject>
#include <QVariant>

#include <functional>

class QTreeWidgetItem;

namespace dorv {

class Prompts;
class Table;
class TDm;
class TFormCard;
class TMoneyState;
class TMoneyView;
class TOperationPages;

// Booking: adds, changes, realises and deletes the current account's operations through the card,
// keeps the balances and the totals in step and the second row of a transfer with its sender.
// Every change, with all its writes, is one transaction of the database: it happens whole or not
// at all.
class TOperationEditor final : public QObject {
    Q_OBJECT
public:
    TOperationEditor(TMoneyView& view, TDm& dm, Prompts& prompts, TMoneyState& state, std::function<TFormCard*()> card);
    ~TOperationEditor() override;

    // mode 1 new, 3 edit.
    void OpenOperationCard(int mode);
    void SetOperationCategory();
    bool MatchSelectedCategory();
    void PostTransferMirror();
    void mMoneyDeleteClick();
    void mUpdateClick();

private:
    QTreeWidgetItem* selectedNode() const;
    // The receiving row of a transfer, in a cursor of its own: (account, creation moment, "1").
    Table& mirror(const QVariant& account, const QVariant& created);
    void closeMirror();
    // Moves the balance of another account by a change in ten-thousandths.
    void changeBalanceOf(const QVariant& account, qint64 change);
    // Runs the writes of one change as a transaction; on failure every table shows the data as it
    // was again and the error goes on to the user.
    void inTransaction(const std::function<void()>& writes);
    // The sending row's values as it is posted, for its receiving row.
    void captureSendingRow();
    struct SendingRow {
        QString kind;
        QVariant created, dateReal, person, firm, target;
        qint64 price = 0, amount = 0;
    } m_sending;

    TMoneyView& m_view;
    TDm& m_dm;
    Prompts& m_prompts;
    TMoneyState& m_state;
    std::function<TFormCard*()> m_card;
    Table* m_mirror;
};

} // namespace dorv
