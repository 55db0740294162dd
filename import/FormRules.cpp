#include "FormRules.h"

#include "FormRule.h"
#include "util/Money.h"
#include "util/Prompts.h"
#include "widgets/ErrorGuard.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace dorv {

TFormRules::TFormRules(Database& db, Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_db(db), m_prompts(prompts), m_choices(ImportChoices::read(db))
{
    setObjectName(QStringLiteral("FormRules"));
    setWindowTitle(QStringLiteral("Правила импорта"));
    auto* outer = new QHBoxLayout(this);
    m_grid = new QTableWidget(0, 6, this);
    m_grid->setObjectName(QStringLiteral("DBGRules"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Описание"), QStringLiteral("Сумма"), QStringLiteral("Счёт"),
                                       QStringLiteral("Категория"), QStringLiteral("Кто?"), QStringLiteral("Где?")});
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    outer->addWidget(m_grid, 1);

    auto* side = new QVBoxLayout;
    auto button = [&](const char* name, const QString& text, std::function<void()> handler) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        connectGuarded(b, &QPushButton::clicked, this, m_prompts, std::move(handler));
        side->addWidget(b);
        return b;
    };
    button("ButRuleNew", QStringLiteral("Добавить..."), [this] { ButRuleNewClick(); });
    button("ButRuleEdit", QStringLiteral("Изменить..."), [this] { ButRuleEditClick(); });
    button("ButRuleDelete", QStringLiteral("Удалить"), [this] { ButRuleDeleteClick(); });
    button("ButRuleUp", QStringLiteral("Выше"), [this] { moveRule(-1); });
    button("ButRuleDown", QStringLiteral("Ниже"), [this] { moveRule(1); });
    side->addStretch(1);
    button("ButRulesClose", QStringLiteral("Закрыть"), [this] { accept(); });
    outer->addLayout(side);
    connectGuarded(m_grid, &QTableWidget::cellDoubleClicked, this, m_prompts, [this] { ButRuleEditClick(); });
    reload();
    resize(760, 380);
}

void TFormRules::reload(qint64 current)
{
    m_rules = ImportRules::read(m_db);
    m_grid->setRowCount(int(m_rules.size()));
    static const char* const kinds[] = {"содержит", "начинается с", "выражение"};
    for (int i = 0; i < m_rules.size(); ++i) {
        const ImportRule& r = m_rules[i];
        QString amount;
        if (r.amountFrom >= 0)
            amount += QStringLiteral("от ") + formatMoney(fromTenThousandths(r.amountFrom));
        if (r.amountTo >= 0)
            amount += (amount.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("до ")
                      + formatMoney(fromTenThousandths(r.amountTo));
        const QStringList cells{QString::fromUtf8(kinds[int(r.match)]) + QStringLiteral(" «") + r.pattern
                                    + QStringLiteral("»"),
                                amount,
                                r.account == 0 ? QStringLiteral("любой") : m_choices.accountText(r.account),
                                m_choices.categoryText(r.level1, r.level2, r.level3),
                                m_choices.personText(r.person),
                                m_choices.firmText(r.place)};
        for (int c = 0; c < cells.size(); ++c)
            m_grid->setItem(i, c, new QTableWidgetItem(cells[c]));
        if (r.id == current)
            m_grid->setCurrentCell(i, 0);
    }
    m_grid->resizeColumnsToContents();
    m_grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    if (current == 0 && !m_rules.isEmpty() && m_grid->currentRow() < 0)
        m_grid->setCurrentCell(0, 0);
}

int TFormRules::currentRule() const
{
    const int row = m_grid->currentRow();
    return row >= 0 && row < m_rules.size() ? row : -1;
}

void TFormRules::ButRuleNewClick()
{
    TFormRule form(m_db, m_prompts, m_choices, ImportRule{}, {}, this);
    if (m_prompts.runModal(&form) == QDialog::Accepted)
        reload(form.rule().id);
}

void TFormRules::ButRuleEditClick()
{
    const int i = currentRule();
    if (i < 0)
        return;
    TFormRule form(m_db, m_prompts, m_choices, m_rules[i], {}, this);
    if (m_prompts.runModal(&form) == QDialog::Accepted)
        reload(form.rule().id);
}

void TFormRules::ButRuleDeleteClick()
{
    const int i = currentRule();
    if (i < 0)
        return;
    if (!m_prompts.confirm(QStringLiteral("Удалить правило «%1»?").arg(m_rules[i].pattern)))
        return;
    ImportRules::remove(m_db, m_rules[i].id);
    reload();
}

void TFormRules::moveRule(int step)
{
    const int i = currentRule();
    const int j = i + step;
    if (i < 0 || j < 0 || j >= m_rules.size())
        return;
    QList<qint64> ids;
    for (const ImportRule& r : m_rules)
        ids << r.id;
    ids.swapItemsAt(i, j);
    ImportRules::reorder(m_db, ids);
    reload(ids[j]);
}

} // namespace dorv
