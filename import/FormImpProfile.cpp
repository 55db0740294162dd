#include "FormImpProfile.h"

#include "data/Database.h"
#include "data/OwnTables.h"
#include "statements/CsvReader.h"
#include "statements/StatementReader.h"
#include "util/Prompts.h"
#include "widgets/ErrorGuard.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace dorv {

TFormImpProfile::TFormImpProfile(Prompts& prompts, const StatementSource& source, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_source(source), m_profile(source.profile)
{
    setObjectName(QStringLiteral("FormImpProfile"));
    setWindowTitle(QStringLiteral("Настройка импорта CSV"));
    const CsvSniff sniff = sniffCsv(source.bytes);
    m_header = sniff.header;
    m_samples = sniff.samples;

    auto* outer = new QVBoxLayout(this);
    m_preview = new QTableWidget(this);
    m_preview->setObjectName(QStringLiteral("DBGImpPreview"));
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->verticalHeader()->setVisible(false);
    outer->addWidget(m_preview, 1);

    auto* form = new QFormLayout;
    outer->addLayout(form);
    m_skip = new QSpinBox(this);
    m_skip->setObjectName(QStringLiteral("SpImpSkip"));
    m_skip->setRange(0, 1000);
    form->addRow(QStringLiteral("Строк до заголовка:"), m_skip);
    auto column = [&](const char* name, const QString& label) {
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->addItem(QStringLiteral("—"), -1);
        int columns = int(m_header.size());
        for (const QStringList& row : std::as_const(m_samples))
            columns = qMax(columns, int(row.size()));
        for (int i = 0; i < columns; ++i)
            box->addItem(QStringLiteral("%1: %2").arg(i + 1).arg(m_header.value(i)), i);
        form->addRow(label, box);
        return box;
    };
    m_date = column("CbImpDate", QStringLiteral("Дата:"));
    m_amount = column("CbImpAmount", QStringLiteral("Сумма со знаком:"));
    m_credit = column("CbImpCredit", QStringLiteral("Приход:"));
    m_debit = column("CbImpDebit", QStringLiteral("Расход:"));
    m_direction = column("CbImpDirection", QStringLiteral("Направление (приход/расход):"));
    m_text = column("CbImpText", QStringLiteral("Описание:"));
    m_party = column("CbImpParty", QStringLiteral("Контрагент:"));
    m_number = column("CbImpNumber", QStringLiteral("Номер операции банка:"));
    m_dateFormat = new QComboBox(this);
    m_dateFormat->setObjectName(QStringLiteral("CbImpDateFormat"));
    m_dateFormat->addItems({QStringLiteral("dd.MM.yyyy"), QStringLiteral("dd.MM.yy"), QStringLiteral("yyyy-MM-dd"),
                            QStringLiteral("dd/MM/yyyy"), QStringLiteral("MM/dd/yyyy"), QStringLiteral("dd-MM-yyyy")});
    m_dateFormat->setEditable(true);
    form->addRow(QStringLiteral("Вид даты:"), m_dateFormat);
    m_decimal = new QComboBox(this);
    m_decimal->setObjectName(QStringLiteral("CbImpDecimal"));
    m_decimal->addItem(QStringLiteral("запятая"), QStringLiteral(","));
    m_decimal->addItem(QStringLiteral("точка"), QStringLiteral("."));
    form->addRow(QStringLiteral("Дробная часть после:"), m_decimal);

    if (!sniff.unsettled.isEmpty()) {
        auto* unsure = new QLabel(QStringLiteral("Не удалось определить: ") + sniff.unsettled.join(QStringLiteral(", "))
                                      + QLatin1Char('.'),
                                  this);
        unsure->setObjectName(QStringLiteral("LabImpUnsettled"));
        unsure->setWordWrap(true);
        outer->addWidget(unsure);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ButImpProfileOk"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("ButImpProfileCancel"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    outer->addLayout(buttons);
    connectGuarded(ok, &QPushButton::clicked, this, m_prompts, [this] { ButImpProfileOkClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    fillFromProfile();
    showPreview();
    resize(720, 620);
}

void TFormImpProfile::fillFromProfile()
{
    auto choose = [](QComboBox* box, int column) { box->setCurrentIndex(qMax(0, box->findData(column))); };
    m_skip->setValue(m_profile.skipLines);
    choose(m_date, m_profile.dateColumn);
    choose(m_amount, m_profile.amountColumn);
    choose(m_credit, m_profile.creditColumn);
    choose(m_debit, m_profile.debitColumn);
    choose(m_direction, m_profile.directionColumn);
    choose(m_text, m_profile.descriptionColumns.value(0, -1));
    choose(m_party, m_profile.counterpartyColumn);
    choose(m_number, m_profile.bankIdColumn);
    const int format = m_dateFormat->findText(m_profile.dateFormat);
    if (format >= 0)
        m_dateFormat->setCurrentIndex(format);
    else
        m_dateFormat->setEditText(m_profile.dateFormat);
    m_decimal->setCurrentIndex(m_profile.decimal == u'.' ? 1 : 0);
}

CsvProfile TFormImpProfile::fromControls() const
{
    CsvProfile p = m_profile;
    p.skipLines = m_skip->value();
    p.dateColumn = m_date->currentData().toInt();
    p.amountColumn = m_amount->currentData().toInt();
    p.creditColumn = m_credit->currentData().toInt();
    p.debitColumn = m_debit->currentData().toInt();
    p.directionColumn = m_direction->currentData().toInt();
    if (p.directionColumn >= 0 && p.incomeMarks.isEmpty())
        p.incomeMarks = CsvProfile::defaultIncomeMarks();
    if (p.directionColumn >= 0 && p.expenseMarks.isEmpty())
        p.expenseMarks = CsvProfile::defaultExpenseMarks();
    const int text = m_text->currentData().toInt();
    if (text < 0) {
        p.descriptionColumns.clear();
    } else if (!p.descriptionColumns.contains(text)) {
        p.descriptionColumns = {text};
    }
    p.counterpartyColumn = m_party->currentData().toInt();
    p.bankIdColumn = m_number->currentData().toInt();
    p.dateFormat = m_dateFormat->currentText().trimmed();
    p.decimal = m_decimal->currentData().toString().at(0);
    return p;
}

void TFormImpProfile::showPreview()
{
    int columns = int(m_header.size());
    for (const QStringList& row : std::as_const(m_samples))
        columns = qMax(columns, int(row.size()));
    m_preview->setColumnCount(columns);
    QStringList titles;
    for (int i = 0; i < columns; ++i)
        titles << QStringLiteral("%1: %2").arg(i + 1).arg(m_header.value(i));
    m_preview->setHorizontalHeaderLabels(titles);
    m_preview->setRowCount(int(m_samples.size()));
    for (int r = 0; r < m_samples.size(); ++r)
        for (int c = 0; c < m_samples[r].size(); ++c)
            m_preview->setItem(r, c, new QTableWidgetItem(m_samples[r][c]));
    m_preview->resizeColumnsToContents();
}

void TFormImpProfile::ButImpProfileOkClick()
{
    const CsvProfile p = fromControls();
    if (p.dateColumn < 0) {
        m_prompts.inform(QStringLiteral("Укажите столбец даты."));
        return;
    }
    if (p.amountShape() == CsvProfile::AmountShape::None) {
        m_prompts.inform(QStringLiteral("Укажите столбец суммы или столбцы прихода и расхода."));
        return;
    }
    // The mapping is tried on the file itself: what it cannot read is said now, not at the import.
    StatementSource tried = m_source;
    tried.profile = p;
    try {
        readStatementSource(tried, {});
    } catch (const StatementError& e) {
        m_prompts.inform(describeStatementFault(m_source.path, e));
        return;
    }
    m_profile = p;
    accept();
}

std::optional<CsvProfile> TFormImpProfile::recall(Database& db, const QString& key)
{
    if (key.isEmpty() || !db.hasTable(QLatin1String(OwnTables::Profiles)))
        return std::nullopt;
    Statement st = db.prepare(QStringLiteral("SELECT Settings FROM TB_IMPORT_PROFILE WHERE Profile_Key=?"));
    st.bind(1, key);
    if (!st.step())
        return std::nullopt;
    bool ok = false;
    CsvProfile p = CsvProfile::fromText(st.column(0).toString(), &ok);
    if (!ok)
        return std::nullopt;
    return p;
}

void TFormImpProfile::remember(Database& db, const CsvProfile& profile)
{
    if (profile.key().isEmpty())
        return;
    OwnTables::ensure(db, QLatin1String(OwnTables::Profiles));
    Statement st = db.prepare(
        QStringLiteral("INSERT OR REPLACE INTO TB_IMPORT_PROFILE (Profile_Key, Name, Settings) VALUES (?,?,?)"));
    st.bindAll({profile.key(), QString(), profile.toText()});
    st.step();
}

QList<std::pair<QString, QString>> TFormImpProfile::stored(Database& db)
{
    QList<std::pair<QString, QString>> out;
    if (!db.hasTable(QLatin1String(OwnTables::Profiles)))
        return out;
    Statement st =
        db.prepare(QStringLiteral("SELECT Profile_Key, Settings FROM TB_IMPORT_PROFILE ORDER BY Profile_Key"));
    while (st.step())
        out.append({st.column(0).toString(), st.column(1).toString()});
    return out;
}

} // namespace dorv
