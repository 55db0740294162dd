#include "FormImport.h"

#include "ChoiceDelegate.h"
#include "FormImpProfile.h"
#include "FormRule.h"
#include "ImportModel.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "data/OwnTables.h"
#include "data/Table.h"
#include "statements/ImportBooker.h"
#include "statements/ImportMatcher.h"
#include "statements/StatementReader.h"
#include "util/Money.h"
#include "util/Prompts.h"
#include "util/Win1251.h"
#include "widgets/ErrorGuard.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace dorv {

namespace {
Database& databaseOf(TDm& dm) { return *dm.Tb_Hist->database(); }
} // namespace

TFormImport::TFormImport(TDm& dm, Prompts& prompts, const StatementSource& source, BankStatement statement,
                         qint64 account, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_prompts(prompts), m_source(std::make_unique<StatementSource>(source)),
      m_statement(std::move(statement)), m_defaultAccount(account)
{
    setObjectName(QStringLiteral("FormImport"));
    setWindowTitle(QStringLiteral("Импорт выписки"));
    m_choices = ImportChoices::read(databaseOf(m_dm));
    build();
    fillAccounts();
    statementChosen();
}

TFormImport::~TFormImport() = default;

void TFormImport::build()
{
    auto* outer = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    outer->addLayout(top);

    top->addWidget(new QLabel(QStringLiteral("Формат:"), this), 0, 0);
    m_format = new QLabel(this);
    m_format->setObjectName(QStringLiteral("LabFormat"));
    top->addWidget(m_format, 0, 1, 1, 3);

    auto* statementLabel = new QLabel(QStringLiteral("Выписка:"), this);
    top->addWidget(statementLabel, 1, 0);
    m_statements = new QComboBox(this);
    m_statements->setObjectName(QStringLiteral("CbImpStatement"));
    top->addWidget(m_statements, 1, 1, 1, 3);
    for (const StatementAccount& a : m_statement.accounts)
        m_statements->addItem(QStringLiteral("%1 — операций: %2")
                                  .arg(a.number.isEmpty() ? QStringLiteral("счёт без номера") : a.number)
                                  .arg(a.entries.size()));
    const bool several = m_statement.accounts.size() > 1;
    statementLabel->setVisible(several);
    m_statements->setVisible(several);

    top->addWidget(new QLabel(QStringLiteral("Счёт:"), this), 2, 0);
    m_accounts = new QComboBox(this);
    m_accounts->setObjectName(QStringLiteral("CbImpAccount"));
    top->addWidget(m_accounts, 2, 1);

    const bool csv = m_source->format == StatementFormat::Csv;
    auto* profileLabel = new QLabel(QStringLiteral("Профиль:"), this);
    top->addWidget(profileLabel, 2, 2);
    auto* profileRow = new QHBoxLayout;
    m_profiles = new QComboBox(this);
    m_profiles->setObjectName(QStringLiteral("CbProfile"));
    fillProfiles();
    profileRow->addWidget(m_profiles, 1);
    m_profileButton = new QPushButton(QStringLiteral("Настроить..."), this);
    m_profileButton->setObjectName(QStringLiteral("ButProfile"));
    profileRow->addWidget(m_profileButton);
    top->addLayout(profileRow, 2, 3);
    for (QWidget* w : {static_cast<QWidget*>(profileLabel), static_cast<QWidget*>(m_profiles),
                       static_cast<QWidget*>(m_profileButton)})
        w->setVisible(csv);
    top->setColumnStretch(1, 1);
    top->setColumnStretch(3, 1);

    m_notes = new QLabel(this);
    m_notes->setObjectName(QStringLiteral("LabImpNotes"));
    m_notes->setWordWrap(true);
    m_notes->setStyleSheet(QStringLiteral("color: #a00000;"));
    outer->addWidget(m_notes);

    m_model = new ImportModel(m_choices, this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGImport"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                            | QAbstractItemView::EditKeyPressed);
    m_grid->setItemDelegateForColumn(ImportModel::Category, new ChoiceDelegate(m_choices, m_grid));
    m_grid->setItemDelegateForColumn(ImportModel::Person, new ChoiceDelegate(m_choices, m_grid));
    m_grid->setItemDelegateForColumn(ImportModel::Place, new ChoiceDelegate(m_choices, m_grid));
    m_grid->verticalHeader()->setVisible(false);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->horizontalHeader()->setSectionResizeMode(ImportModel::Text, QHeaderView::Stretch);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    outer->addWidget(m_grid, 1);

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("PmImport"));
    m_newFirm = m_popup->addAction(QStringLiteral("Создать место"));
    m_newFirm->setObjectName(QStringLiteral("mpImpNewFirm"));
    m_rule = m_popup->addAction(QStringLiteral("Создать правило по этой строке..."));
    m_rule->setObjectName(QStringLiteral("mpImpRule"));
    addAction(m_newFirm);
    addAction(m_rule);
    connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        preparePopup();
        m_popup->popup(m_grid->viewport()->mapToGlobal(at));
    });
    connectGuarded(m_newFirm, &QAction::triggered, this, m_prompts, [this] { mpImpNewFirmClick(); });
    connectGuarded(m_rule, &QAction::triggered, this, m_prompts, [this] { mpImpRuleClick(); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { preparePopup(); });

    auto* bottom = new QHBoxLayout;
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("LabImpSummary"));
    bottom->addWidget(m_summary, 1);
    auto* ok = new QPushButton(QStringLiteral("Импортировать"), this);
    ok->setObjectName(QStringLiteral("ButImpOk"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("ButImpCancel"));
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    outer->addLayout(bottom);

    connectGuarded(ok, &QPushButton::clicked, this, m_prompts, [this] { ButImpOkClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connectGuarded(m_profileButton, &QPushButton::clicked, this, m_prompts, [this] { ButProfileClick(); });
    connect(m_model, &ImportModel::summaryChanged, this, &TFormImport::updateSummary);
    connectGuarded(m_statements, &QComboBox::currentIndexChanged, this, m_prompts, [this] { statementChosen(); });
    connectGuarded(m_profiles, &QComboBox::activated, this, m_prompts, [this] { profileChosen(); });
    connectGuarded(m_accounts, &QComboBox::currentIndexChanged, this, m_prompts, [this] {
        matchRows();
        updateNotes();
    });
    resize(980, 560);
}

void TFormImport::fillAccounts()
{
    const QSignalBlocker block(m_accounts);
    m_accounts->clear();
    for (const ImportChoices::Named& a : m_choices.accounts)
        m_accounts->addItem(a.text, a.id);
}

const StatementAccount& TFormImport::shownStatement() const
{
    static const StatementAccount none;
    const int i = m_statements->currentIndex();
    return i >= 0 && i < m_statement.accounts.size() ? m_statement.accounts[i] : none;
}

qint64 TFormImport::account() const { return m_accounts->currentData().toLongLong(); }

void TFormImport::statementChosen()
{
    m_format->setText(m_statement.format);
    // The account the statement's number went to before, else the one the user was looking at.
    ImportMatcher matcher(databaseOf(m_dm));
    qint64 chosen = shownStatement().number.isEmpty() ? 0 : matcher.accountOfNumber(shownStatement().number);
    if (chosen == 0)
        chosen = m_defaultAccount;
    {
        const QSignalBlocker block(m_accounts);
        const int at = m_accounts->findData(chosen);
        m_accounts->setCurrentIndex(at >= 0 ? at : 0);
    }
    matchRows();
    updateNotes();
}

void TFormImport::matchRows()
{
    Database& db = databaseOf(m_dm);
    ImportMatcher matcher(db);
    QList<ImportRow> rows = matcher.match(shownStatement(), account());
    // A category the file names ("Еда:Овощи") is the book's item of that path where there is one.
    for (ImportRow& r : rows) {
        if (r.entry.category.isEmpty() || r.state == ImportRow::State::Transfer)
            continue;
        const int c = m_choices.categoryByNames(r.entry.category, r.entry.income);
        if (c >= 0) {
            r.level1 = m_choices.categories[c].level1;
            r.level2 = m_choices.categories[c].level2;
            r.level3 = m_choices.categories[c].level3;
        }
    }
    matcher.suggest(rows, account());
    m_model->setRows(std::move(rows));
    m_grid->resizeColumnsToContents();
    // The pick lists are wide enough to read a choice before any is made.
    const int em = m_grid->fontMetrics().horizontalAdvance(QLatin1Char('M'));
    for (const auto& [column, width] : {std::pair{ImportModel::Category, 14 * em},
                                        std::pair{ImportModel::Person, 9 * em}, std::pair{ImportModel::Place, 9 * em}})
        m_grid->setColumnWidth(column, qMax(m_grid->columnWidth(column), width));
    m_grid->horizontalHeader()->setSectionResizeMode(ImportModel::Text, QHeaderView::Stretch);
    if (m_model->rowCount() > 0)
        m_grid->setCurrentIndex(m_model->index(0, ImportModel::Text));
}

void TFormImport::updateSummary()
{
    const ImportModel::Summary s = m_model->summary();
    m_summary->setText(QStringLiteral("Строк: %1, к импорту: %2, дубликатов: %3, переводов: %4")
                           .arg(s.rows)
                           .arg(s.ticked)
                           .arg(s.duplicates)
                           .arg(s.transfers));
}

namespace {
QString currencyOfAccount(Database& db, qint64 account)
{
    Statement st = db.prepare(QStringLiteral("SELECT Currency FROM TB_ACCOUNT WHERE Id_Account=?"));
    st.bind(1, account);
    return st.step() ? st.column(0).toString().trimmed() : QString();
}
} // namespace

void TFormImport::updateNotes()
{
    QStringList notes = m_statement.notes;
    const QString balance = balanceMismatchOf(shownStatement());
    if (!balance.isEmpty())
        notes << balance;
    const QString mine = currencyOfAccount(databaseOf(m_dm), account());
    const QString theirs = shownStatement().currency;
    if (!theirs.isEmpty() && !currencyCode(mine).isEmpty() && currencyCode(theirs) != currencyCode(mine))
        notes << QStringLiteral("Валюта выписки (%1) не та, что у счёта (%2).").arg(theirs, mine);
    m_notes->setText(notes.join(QLatin1Char('\n')));
    m_notes->setVisible(!notes.isEmpty());
}

bool TFormImport::currencyAgreed()
{
    const QString mine = currencyOfAccount(databaseOf(m_dm), account());
    const QString theirs = shownStatement().currency;
    if (theirs.isEmpty() || currencyCode(mine).isEmpty() || currencyCode(theirs) == currencyCode(mine))
        return true;
    return m_prompts.confirm(QStringLiteral("Валюта выписки (%1) не та, что у счёта «%2» (%3). Всё равно "
                                            "импортировать операции в этот счёт?")
                                 .arg(theirs, m_accounts->currentText(), mine));
}

QList<int> TFormImport::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& i : m_grid->selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty() && m_grid->currentIndex().isValid())
        rows << m_grid->currentIndex().row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFormImport::ButImpOkClick()
{
    if (account() == 0) {
        m_prompts.inform(QStringLiteral("Должен быть открыт счёт!"));
        return;
    }
    if (!currencyAgreed())
        return;
    Database& db = databaseOf(m_dm);
    ImportBooker booker(db, [this] { return m_dm.nextCreationMoment(); });
    // A transfer between currencies whose other side the book lacks needs what the other account got.
    QHash<int, qint64> received;
    const QList<ImportRow>& rows = m_model->rows();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!rows[i].ticked || !booker.needsReceived(rows[i], account()))
            continue;
        QString value;
        const QString prompt =
            QStringLiteral("Перевод %1 от %2: сколько в валюте счёта «%3»?")
                .arg(formatMoney(fromTenThousandths(rows[i].entry.amount)),
                     m_model->data(m_model->index(int(i), ImportModel::Date), Qt::DisplayRole).toString(),
                     m_choices.accountText(rows[i].transferAccount));
        if (!m_prompts.inputText(QStringLiteral("Импорт выписки"), prompt, &value))
            return;
        double amount = 0;
        qint64 units = 0;
        if (!parseMoney(value, &amount) || !checkedTenThousandths(amount, &units) || units <= 0) {
            m_prompts.inform(QStringLiteral("Нужно ввести положительное число !"));
            return;
        }
        received.insert(int(i), units);
    }
    const int booked = booker.book(rows, account(), shownStatement().number, received);
    m_imported = booked;
    m_dm.nameChange(QStringLiteral("импорт выписки (%1 опер.)").arg(booked));
    m_prompts.inform(QStringLiteral("Импортировано операций: %1.").arg(booked));
    accept();
}

void TFormImport::preparePopup()
{
    const QModelIndex at = m_grid->currentIndex();
    QString name;
    if (at.isValid()) {
        const StatementEntry& e = m_model->rows()[at.row()].entry;
        name = (e.counterparty.isEmpty() ? e.description : e.counterparty).simplified().left(30).trimmed();
    }
    m_newFirm->setText(QStringLiteral("Создать место «%1»").arg(name));
    m_newFirm->setData(name);
    m_newFirm->setEnabled(!name.isEmpty());
    m_rule->setEnabled(at.isValid());
}

void TFormImport::mpImpNewFirmClick()
{
    preparePopup();
    QString name = m_newFirm->data().toString();
    if (name.isEmpty())
        return;
    // The name as the firm's field can hold it: what the code page lacks is asked to be changed.
    if (!m_prompts.inputText(QStringLiteral("Новое место"), QStringLiteral("Наименование:"), &name))
        return;
    name = name.simplified();
    if (name.isEmpty())
        return;
    Table& firms = *m_dm.Tb_Firm;
    firms.append();
    try {
        firms.fieldByName(QStringLiteral("Firm")).setValue(name);
        firms.post();
    } catch (...) {
        // The record's own rules said what is wrong; the half-made record goes before the error shows.
        firms.cancel();
        throw;
    }
    const QVariant id = firms.fieldByName(QStringLiteral("Id_Firm")).value();
    m_choices.readFirms(*firms.database());
    int choice = -1;
    for (qsizetype i = 0; i < m_choices.firms.size(); ++i)
        if (m_choices.firms[i].id.toLongLong() == id.toLongLong())
            choice = int(i);
    m_model->setChoice(selectedRows(), ImportModel::Place, choice);
}

void TFormImport::mpImpRuleClick()
{
    const QModelIndex at = m_grid->currentIndex();
    if (!at.isValid())
        return;
    const ImportRow& row = m_model->rows()[at.row()];
    ImportRule rule;
    rule.pattern = (row.entry.counterparty.isEmpty() ? row.entry.description : row.entry.counterparty).simplified();
    rule.level1 = row.level1;
    rule.level2 = row.level2;
    rule.level3 = row.level3;
    rule.person = row.person;
    rule.place = row.place;
    QList<StatementEntry> entries;
    for (const ImportRow& r : m_model->rows())
        entries << r.entry;
    TFormRule form(databaseOf(m_dm), m_prompts, m_choices, rule, entries, this);
    if (m_prompts.runModal(&form) != QDialog::Accepted)
        return;
    // The new rule chooses for the rows it matches that nobody has chosen for yet.
    QList<ImportRow> rows = m_model->rows();
    const ImportRule saved = form.rule();
    for (ImportRow& r : rows) {
        if (r.state == ImportRow::State::Transfer || !saved.matches(r.entry.text(), r.entry.amount, account()))
            continue;
        r.level1 = saved.level1;
        r.level2 = saved.level2;
        r.level3 = saved.level3;
        r.person = saved.person;
        r.place = saved.place;
    }
    m_model->setRows(std::move(rows));
}

void TFormImport::fillProfiles()
{
    const QSignalBlocker block(m_profiles);
    m_profiles->clear();
    m_profiles->addItem(QStringLiteral("как прочитан файл"), m_source->profile.toText());
    // The mappings kept for other banks' headers, for a file whose header changed.
    for (const auto& [key, text] : TFormImpProfile::stored(databaseOf(m_dm)))
        if (key != m_source->profile.key())
            m_profiles->addItem(key.left(60), text);
    m_profiles->setCurrentIndex(0);
}

void TFormImport::profileChosen()
{
    StatementSource tried = *m_source;
    tried.profile = CsvProfile::fromText(m_profiles->currentData().toString());
    BankStatement statement;
    try {
        statement = readStatementSource(tried, {});
    } catch (const StatementError& e) {
        m_prompts.inform(describeStatementFault(m_source->path, e));
        fillProfiles();
        return;
    }
    *m_source = tried;
    m_statement = std::move(statement);
    fillProfiles();
    statementChosen();
}

void TFormImport::ButProfileClick()
{
    TFormImpProfile form(m_prompts, *m_source, this);
    if (m_prompts.runModal(&form) != QDialog::Accepted)
        return;
    m_source->profile = form.profile();
    TFormImpProfile::remember(databaseOf(m_dm), m_source->profile);
    m_statement = readStatementSource(*m_source, {});
    fillProfiles();
    statementChosen();
}

} // namespace dorv
