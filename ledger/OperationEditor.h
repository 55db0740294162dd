#pragma once
#include "book/Ledger.h"
#include "widgets/Services.h"

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
    TOperationEditor(TMoneyView& view, Services& services);
    ~TOperationEditor() override;

    // New or Edit. A new card closed with Ctrl+Enter is followed by the next new one.
    void OpenOperationCard(CardMode mode);
    void SetOperationCategory();
    bool MatchSelectedCategory();
    void PostTransferMirror();
    void mMoneyDeleteClick();
    void mUpdateClick();

private:
    // One card; true when it booked a new operation and asked for the next card.
    bool openCard(CardMode mode);
    QTreeWidgetItem* selectedNode() const;
    // The card's row as the user left it, as a draft for the ledger.
    OperationDraft draftOfBuffer(CardPage page) const;
    // Runs one change of the ledger; afterwards (also after a failure, when the database is as it
    // was) every table shows the data as it now is, and the history stands on row.
    void apply(const std::function<BookingResult()>& change, qint64 created);
    static OperationKey keyOf(Table& hist);

    TMoneyView& m_view;
    TDm& m_dm;
    Prompts& m_prompts;
    TMoneyState& m_state;
    Services& m_services;
};

} // namespace dorv
