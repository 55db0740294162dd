#pragma once
#include "ImportChoices.h"
#include "statements/ImportRules.h"

#include <QDialog>

class QTableWidget;

namespace dorv {

class Database;
class Prompts;

// "Правила импорта": the ordered list of import rules, each added, changed, deleted and moved up or
// down; the first rule that matches a statement row chooses for it.
class TFormRules final : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int RuleCount READ ruleCount)
public:
    TFormRules(Database& db, Prompts& prompts, QWidget* parent = nullptr);

    int ruleCount() const { return int(m_rules.size()); }

    void ButRuleNewClick();
    void ButRuleEditClick();
    void ButRuleDeleteClick();
    void moveRule(int step);

private:
    void reload(qint64 current = 0);
    int currentRule() const;

    Database& m_db;
    Prompts& m_prompts;
    ImportChoices m_choices;
    QList<ImportRule> m_rules;
    QTableWidget* m_grid = nullptr;
};

} // namespace dorv
