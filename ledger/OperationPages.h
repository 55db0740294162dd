#pragma once
#include "card/DorvCard.h"

#include <QObject>

class QCheckBox;
class QGroupBox;
class QLabel;
class QWidget;

namespace dorv {

class DataSource;
class Prompts;
class Table;
class TDbEdit;
class TDbLookupCombo;
class TDm;
class TFormCard;

// The card's money pages: an income or an expense (ShHist) and a transfer to another account
// (ShTrans), prepared for the history row being booked, and the checks of OK, which also work out
// how the current account's balance changes. It lives as long as the card, which owns it.
class TOperationPages final : public QObject, private TCardPage {
    Q_OBJECT
public:
    TOperationPages(TFormCard& card, TDm& dm, Prompts& prompts);
    ~TOperationPages() override;

    // Operation page.
    QLabel* Label8;
    TDbEdit* DBESum;
    QLabel* LabPrice;
    TDbEdit* DBEPrice;
    // Transfer page.
    QLabel* Label10;
    TDbEdit* DBETrans;
    QLabel* LabAcc;
    TDbLookupCombo* DBLTrans;
    QGroupBox* GrRate;
    QLabel* LabTrans_Ref;
    TDbEdit* DBETrans_Ref;
    QLabel* LabRate;
    TDbEdit* DBERate;
    // Shared by both pages, moved onto the one shown.
    QLabel* LabWho;
    TDbLookupCombo* DBLWho;
    QLabel* LabWhere;
    TDbLookupCombo* DBLWhere;
    QCheckBox* ChDate;
    QCheckBox* ChCategory;

    // The other accounts: every account but the current one; its current row is the target.
    Table* Tb_Acc;
    DataSource* DataAcc;

    void ShowOperationPage();
    // The OK check on a copy of the card's RestDelta; true lets the card close.
    bool ValidateOperation(qint64& delta);
    // Delete in the person or place list empties that field of the operation.
    void DBLWhoKeyDown(TDbLookupCombo* list);
    // The rate group shows exactly for a real transfer between currencies.
    void DataAccDataChange();
    bool rateShown() const;
    // The end of an operation card flow: the other accounts list goes, the check boxes too.
    void endFlow();

private:
    void showPage() override { ShowOperationPage(); }
    // The OK check on a copy of RestDelta, kept only when the operation is accepted.
    bool pageOk() override;
    void buildOperationPage();
    void buildTransferPage();
    void buildShared();
    void moveSharedTo(QWidget* page);
    void openOtherAccounts();
    bool rateRule() const;
    void writeEdits();
    void focus(QWidget* control);
    // A name typed in "Кто?" or "Где?" that the address book lacks: added to it when the user agrees;
    // the new row's key, or nothing.
    QVariant addToBook(Table& table, const QString& nameField, const QString& keyField, const QString& name);

    TFormCard& m_card;
    TDm& m_dm;
    Prompts& m_prompts;
    QWidget* m_shared = nullptr;
    bool m_rate = false;
};

} // namespace dorv
