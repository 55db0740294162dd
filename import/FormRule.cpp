#include "FormRule.h"

#include "ImportChoices.h"
#include "util/Money.h"
#include "util/Prompts.h"
#include "widgets/ErrorGuard.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dorv {

namespace {
void fill(QComboBox* box, const QList<ImportChoices::Named>& list, const QVariant& current)
{
    box->addItem(QString(), QVariant());
    for (const ImportChoices::Named& n : list)
        box->addItem(n.text, n.id);
    for (int i = 1; i < box->count(); ++i)
        if (!current.isNull() && box->itemData(i).toLongLong() == current.toLongLong())
            box->setCurrentIndex(i);
}
QString amountText(qint64 units) { return units < 0 ? QString() : formatMoney(fromTenThousandths(units)); }
} // namespace

TFormRule::TFormRule(Database& db, Prompts& prompts, const ImportChoices& choices, const ImportRule& rule,
                     const QList<StatementEntry>& entries, QWidget* parent)
    : QDialog(parent), m_db(db), m_prompts(prompts), m_choices(choices), m_rule(rule), m_entries(entries)
{
    setObjectName(QStringLiteral("FormRule"));
    setWindowTitle(QStringLiteral("Правило импорта"));
    auto* outer = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    outer->addLayout(form);

    auto* textRow = new QHBoxLayout;
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("CbRuleKind"));
    m_kind->addItems({QStringLiteral("содержит"), QStringLiteral("начинается с"), QStringLiteral("выражение")});
    m_kind->setCurrentIndex(int(rule.match));
    m_pattern = new QLineEdit(rule.pattern, this);
    m_pattern->setObjectName(QStringLiteral("EdRuleText"));
    textRow->addWidget(m_kind);
    textRow->addWidget(m_pattern, 1);
    form->addRow(QStringLiteral("Описание:"), textRow);

    auto* amountRow = new QHBoxLayout;
    m_from = new QLineEdit(amountText(rule.amountFrom), this);
    m_from->setObjectName(QStringLiteral("EdRuleFrom"));
    m_to = new QLineEdit(amountText(rule.amountTo), this);
    m_to->setObjectName(QStringLiteral("EdRuleTo"));
    amountRow->addWidget(new QLabel(QStringLiteral("от"), this));
    amountRow->addWidget(m_from);
    amountRow->addWidget(new QLabel(QStringLiteral("до"), this));
    amountRow->addWidget(m_to);
    form->addRow(QStringLiteral("Сумма:"), amountRow);

    m_account = new QComboBox(this);
    m_account->setObjectName(QStringLiteral("CbRuleAccount"));
    fill(m_account, choices.accounts, rule.account == 0 ? QVariant() : QVariant(rule.account));
    m_account->setItemText(0, QStringLiteral("любой"));
    form->addRow(QStringLiteral("Счёт:"), m_account);

    m_category = new QComboBox(this);
    m_category->setObjectName(QStringLiteral("CbRuleCategory"));
    m_category->addItem(QString(), -1);
    for (qsizetype i = 0; i < choices.categories.size(); ++i)
        m_category->addItem(choices.categories[i].text, int(i));
    m_category->setCurrentIndex(
        qMax(0, m_category->findData(choices.categoryOf(rule.level1, rule.level2, rule.level3))));
    form->addRow(QStringLiteral("Категория:"), m_category);
    m_person = new QComboBox(this);
    m_person->setObjectName(QStringLiteral("CbRulePerson"));
    fill(m_person, choices.people, rule.person);
    form->addRow(QStringLiteral("Кто?"), m_person);
    m_place = new QComboBox(this);
    m_place->setObjectName(QStringLiteral("CbRulePlace"));
    fill(m_place, choices.firms, rule.place);
    form->addRow(QStringLiteral("Где?"), m_place);

    m_matches = new QLabel(this);
    m_matches->setObjectName(QStringLiteral("LabRuleMatches"));
    outer->addWidget(m_matches);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("Сохранить"), this);
    ok->setObjectName(QStringLiteral("ButRuleOk"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("ButRuleCancel"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    outer->addLayout(buttons);
    connectGuarded(ok, &QPushButton::clicked, this, m_prompts, [this] { ButRuleOkClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    for (QLineEdit* e : {m_pattern, m_from, m_to})
        connect(e, &QLineEdit::textChanged, this, &TFormRule::recount);
    for (QComboBox* c : {m_kind, m_account})
        connect(c, &QComboBox::currentIndexChanged, this, &TFormRule::recount);
    recount();
    resize(460, sizeHint().height());
}

ImportRule TFormRule::fromControls(QString* fault) const
{
    ImportRule r = m_rule;
    r.match = ImportRule::Match(m_kind->currentIndex());
    r.pattern = m_pattern->text().trimmed();
    auto amount = [&](QLineEdit* edit, qint64* units) {
        *units = -1;
        const QString text = edit->text().trimmed();
        if (text.isEmpty())
            return;
        double value = 0;
        if (!parseMoney(text, &value) || !checkedTenThousandths(value, units) || *units < 0) {
            *units = -1;
            if (fault && fault->isEmpty())
                *fault = QStringLiteral("Сумма «%1» не число.").arg(text);
        }
    };
    amount(m_from, &r.amountFrom);
    amount(m_to, &r.amountTo);
    r.account = m_account->currentData().isNull() ? 0 : m_account->currentData().toLongLong();
    const int c = m_category->currentData().toInt();
    const bool hasCategory = c >= 0 && c < m_choices.categories.size();
    r.level1 = hasCategory ? m_choices.categories[c].level1 : QVariant();
    r.level2 = hasCategory ? m_choices.categories[c].level2 : QVariant();
    r.level3 = hasCategory ? m_choices.categories[c].level3 : QVariant();
    r.person = m_person->currentData();
    r.place = m_place->currentData();
    if (fault && fault->isEmpty() && r.pattern.isEmpty())
        *fault = QStringLiteral("Правило без текста описания не нужно.");
    if (fault && fault->isEmpty() && !r.valid())
        *fault = QStringLiteral("Выражение «%1» записано с ошибкой.").arg(r.pattern);
    return r;
}

void TFormRule::recount()
{
    const ImportRule r = fromControls(nullptr);
    m_bookMatches = ImportRules::countInBook(m_db, r);
    m_statementMatches = 0;
    if (r.valid())
        for (const StatementEntry& e : m_entries)
            if (r.matches(e.text(), e.amount, r.account))
                ++m_statementMatches;
    m_matches->setText(
        QStringLiteral("Совпадёт операций в книге: %1, строк выписки: %2.").arg(m_bookMatches).arg(m_statementMatches));
}

void TFormRule::ButRuleOkClick()
{
    QString fault;
    ImportRule r = fromControls(&fault);
    if (!fault.isEmpty()) {
        m_prompts.inform(fault);
        return;
    }
    r.id = ImportRules::save(m_db, r);
    m_rule = r;
    accept();
}

} // namespace dorv
