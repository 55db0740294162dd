#pragma once
#include "statements/ImportRules.h"
#include "statements/Statement.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace dorv {

class Database;
class Prompts;
struct ImportChoices;

// One import rule: what a row's text must contain, start with or match, an optional amount range
// and account, and the category, person and place it chooses. While it is typed, the window says
// how many operations of the book and rows of the statement shown it would match.
class TFormRule final : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int BookMatches READ bookMatches)
    Q_PROPERTY(int StatementMatches READ statementMatches)
public:
    TFormRule(Database& db, Prompts& prompts, const ImportChoices& choices, const ImportRule& rule,
              const QList<StatementEntry>& entries, QWidget* parent = nullptr);

    // The rule as the controls say, with its id once stored.
    ImportRule rule() const { return m_rule; }
    int bookMatches() const { return m_bookMatches; }
    int statementMatches() const { return m_statementMatches; }

    void ButRuleOkClick();

private:
    ImportRule fromControls(QString* fault) const;
    void recount();

    Database& m_db;
    Prompts& m_prompts;
    const ImportChoices& m_choices;
    ImportRule m_rule;
    QList<StatementEntry> m_entries;
    int m_bookMatches = 0, m_statementMatches = 0;

    QComboBox* m_kind = nullptr;
    QLineEdit* m_pattern = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QComboBox* m_account = nullptr;
    QComboBox* m_category = nullptr;
    QComboBox* m_person = nullptr;
    QComboBox* m_place = nullptr;
    QLabel* m_matches = nullptr;
};

} // namespace dorv
