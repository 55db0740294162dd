#include "ImportCommands.h"

#include "DorvMain.h"
#include "EditCommands.h"
#include "data/DorvDm.h"
#include "data/Table.h"
#include "import/BankTextHints.h"
#include "import/FormImpProfile.h"
#include "import/FormImport.h"
#include "import/FormRules.h"
#include "statements/CsvReader.h"
#include "statements/StatementReader.h"
#include "util/Prompts.h"
#include "widgets/ErrorGuard.h"

#include <QAbstractItemView>
#include <QAction>
#include <QFile>
#include <QFileInfo>

namespace dorv {

TImportCommands::TImportCommands(TFormMain& main) : QObject(&main), m_main(main)
{
    mImport = new QAction(QStringLiteral("&Импорт выписки..."), this);
    mImport->setObjectName(QStringLiteral("mImport"));
    mImport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    mRules = new QAction(QStringLiteral("Правила импорта..."), this);
    mRules->setObjectName(QStringLiteral("mRules"));
    connectGuarded(mImport, &QAction::triggered, this, main.prompts(), [this] { mImportClick(); });
    connectGuarded(mRules, &QAction::triggered, this, main.prompts(), [this] { mRulesClick(); });
    // The history grid shows what the bank wrote of an imported row as the row's hint.
    if (auto* history = main.findChild<QAbstractItemView*>(QStringLiteral("DBG")))
        new TBankTextHints(history);
}

namespace {

QString orderName(DateOrder order)
{
    switch (order) {
    case DateOrder::DayMonthYear:
        return QStringLiteral("день, месяц, год");
    case DateOrder::MonthDayYear:
        return QStringLiteral("месяц, день, год");
    case DateOrder::YearMonthDay:
        return QStringLiteral("год, месяц, день");
    case DateOrder::Unknown:
        break;
    }
    return {};
}

} // namespace

void TImportCommands::mImportClick()
{
    TDm& dm = *m_main.Dm();
    if (!dm.Tb_Hist->active())
        return;
    Prompts& prompts = m_main.prompts();
    const QString path = prompts.openFile(&m_main, QStringLiteral("Импорт выписки"),
                                          QStringLiteral("Выписки банка (*.csv *.txt *.ofx *.qfx *.qif *.xml)"));
    if (path.isEmpty())
        return;
    StatementSource source;
    source.path = path;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            prompts.error(QStringLiteral("Нет возможности прочесть файл %1: %2").arg(path, file.errorString()));
            return;
        }
        source.bytes = file.readAll();
    }
    source.format = detectStatementFormat(source.bytes);
    if (source.format == StatementFormat::Unknown) {
        prompts.error(QStringLiteral("Файл %1 не похож на выписку банка: программа читает CSV, обмен 1С, OFX, QIF "
                                     "и CAMT.053.")
                          .arg(path));
        return;
    }
    Database& db = *dm.Tb_Hist->database();
    if (source.format == StatementFormat::Csv) {
        // The mapping remembered for this bank's header, else the one found; asked when unsure.
        const CsvSniff sniff = sniffCsv(source.bytes);
        source.profile = sniff.profile;
        if (const auto known = TFormImpProfile::recall(db, sniff.profile.key())) {
            source.profile = *known;
        } else if (!sniff.unsettled.isEmpty()) {
            TFormImpProfile form(prompts, source, &m_main);
            if (prompts.runModal(&form) != QDialog::Accepted)
                return;
            source.profile = form.profile();
            TFormImpProfile::remember(db, source.profile);
        }
    }
    BankStatement statement;
    try {
        statement = readStatementSource(source, {});
        if (statement.dateOrders.size() > 1) {
            // A date like 01/04/20 is read only as the user says.
            const DateOrder first = statement.dateOrders[0], second = statement.dateOrders[1];
            const Prompts::Answer answer = prompts.confirmOrCancel(
                QStringLiteral("Даты в файле %1 можно прочесть двояко (например, 01/04/20). Читать их как «%2»?\n"
                               "«Нет» — как «%3».")
                    .arg(QFileInfo(path).fileName(), orderName(first), orderName(second)));
            if (answer == Prompts::Answer::Cancel)
                return;
            StatementOptions options;
            options.dateOrder = answer == Prompts::Answer::Yes ? first : second;
            statement = readStatementSource(source, options);
        }
    } catch (const StatementError& e) {
        prompts.error(describeStatementFault(path, e));
        return;
    }
    if (statement.accounts.isEmpty())
        statement.accounts.append(StatementAccount{});
    qint64 current = 0;
    if (!dm.Tb_Account->isEmpty())
        current = dm.Tb_Account->fieldByName(QStringLiteral("Id_Account")).value().toLongLong();
    TFormImport form(dm, prompts, source, std::move(statement), current, &m_main);
    prompts.runModal(&form);
    if (form.importedCount() > 0 || dm.Tb_Firm->active())
        m_main.editCommands().refreshViews();
}

void TImportCommands::mRulesClick()
{
    TDm& dm = *m_main.Dm();
    if (!dm.Tb_Hist->active())
        return;
    TFormRules form(*dm.Tb_Hist->database(), m_main.prompts(), &m_main);
    m_main.prompts().runModal(&form);
}

} // namespace dorv
