#pragma once
#include "ImportChoices.h"
#include "statements/Statement.h"

#include <QDialog>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTableView;

namespace dorv {

class ImportModel;
class Prompts;
class TDm;
struct StatementSource;

// "Импорт выписки": the entries of a bank statement beside what the book already has of them, each
// to be ticked and given a category, person and place before the ticked ones are booked as one
// change.
class TFormImport final : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int ImportedCount READ importedCount)
public:
    // account: the account the rows go to when the statement names none this book knows.
    TFormImport(TDm& dm, Prompts& prompts, const StatementSource& source, BankStatement statement, qint64 account,
                QWidget* parent = nullptr);
    ~TFormImport() override;

    // How many operations the import booked (0 until it did).
    int importedCount() const { return m_imported; }

    void ButImpOkClick();
    void ButProfileClick();
    void mpImpNewFirmClick();
    void mpImpRuleClick();

private:
    void build();
    void fillAccounts();
    void fillProfiles();
    void profileChosen();
    void statementChosen();
    void matchRows();
    void updateSummary();
    void updateNotes();
    void preparePopup();
    QList<int> selectedRows() const;
    qint64 account() const;
    const StatementAccount& shownStatement() const;
    bool currencyAgreed();

    TDm& m_dm;
    Prompts& m_prompts;
    std::unique_ptr<StatementSource> m_source;
    BankStatement m_statement;
    qint64 m_defaultAccount;
    ImportChoices m_choices;
    ImportModel* m_model = nullptr;
    int m_imported = 0;

    QLabel* m_format = nullptr;
    QLabel* m_notes = nullptr;
    QLabel* m_summary = nullptr;
    QComboBox* m_statements = nullptr;
    QComboBox* m_accounts = nullptr;
    QComboBox* m_profiles = nullptr;
    QPushButton* m_profileButton = nullptr;
    QTableView* m_grid = nullptr;
    QMenu* m_popup = nullptr;
    QAction* m_newFirm = nullptr;
    QAction* m_rule = nullptr;
};

} // namespace dorv
