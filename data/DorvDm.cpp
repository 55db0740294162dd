#include "DorvDm.h"

#include "Database.h"
#include "DbError.h"
#include "Fields.h"
#include "Meanings.h"
#include "OpeningBalances.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/Money.h"
#include "util/Swallowed.h"

namespace dorv {

namespace {
constexpr int MaxIdentifier = 32767;
}

TDm::TDm(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("Dm"));
    Tb_Account = makeTable(QStringLiteral("Tb_Account"), QStringLiteral("TB_ACCOUNT"), 3);
    DataAccount = makeSource(QStringLiteral("DataAccount"), Tb_Account);
    Tb_Hist = makeTable(QStringLiteral("Tb_Hist"), QStringLiteral("TB_HIST"), 0);
    DataHist = makeSource(QStringLiteral("DataHist"), Tb_Hist);
    Tb_Items = makeTable(QStringLiteral("Tb_Items"), QStringLiteral("TB_ITEMS"), 5);
    DataItems = makeSource(QStringLiteral("DataItems"), Tb_Items);
    Tb_Person = makeTable(QStringLiteral("Tb_Person"), QStringLiteral("TB_PERSON"), 1);
    DataPerson = makeSource(QStringLiteral("DataPerson"), Tb_Person);
    Tb_Family = makeTable(QStringLiteral("Tb_Family"), QStringLiteral("TB_FAMILY"), 4);
    DataFamily = makeSource(QStringLiteral("DataFamily"), Tb_Family);
    Tb_Firm = makeTable(QStringLiteral("Tb_Firm"), QStringLiteral("TB_FIRM"), 2);
    DataFirm = makeSource(QStringLiteral("DataFirm"), Tb_Firm);
    Tb_Log = makeTable(QStringLiteral("Tb_Log"), QStringLiteral("TB_LOG"), 0);
    DataLog = makeSource(QStringLiteral("DataLog"), Tb_Log);
    Qsum = makeQuery(QStringLiteral("Qsum"));
    Qtrans = makeQuery(QStringLiteral("Qtrans"));
    QPers_Firm = makeQuery(QStringLiteral("QPers_Firm"));
    DataPers_Firm = makeSource(QStringLiteral("DataPers_Firm"), QPers_Firm);
    Qtemp = makeQuery(QStringLiteral("Qtemp"));
    declareFields();
    attachRules();
    // The history grid stays still until start-up has opened a database.
    Tb_Hist->disableControls();
}

TDm::~TDm()
{
    const QList<Dataset*> sets = datasets();
    // Sources first: they point at the datasets.
    for (QObject* o : std::as_const(m_components))
        if (qobject_cast<DataSource*>(o))
            delete o;
    m_components.clear();
    for (Dataset* d : sets) {
        try {
            d->close();
        } catch (...) {
            // The data module goes with its datasets: one that cannot close is destroyed all the same.
            noteSwallowed("closing a dataset");
        }
        delete d;
    }
}

Table* TDm::makeTable(const QString& component, const QString& file, int tag)
{
    auto* t = new Table(component, file);
    t->setTag(tag);
    m_components << t;
    return t;
}

DataSource* TDm::makeSource(const QString& name, Dataset* dataset)
{
    auto* s = new DataSource(name, dataset);
    m_components << s;
    return s;
}

Query* TDm::makeQuery(const QString& name)
{
    auto* q = new Query(name);
    m_components << q;
    return q;
}

QList<Table*> TDm::tables() const { return componentsOf<Table>(); }

QList<Dataset*> TDm::datasets() const { return componentsOf<Dataset>(); }

void TDm::BindDatabaseName(const QString& folder)
{
    for (Dataset* d : datasets())
        d->setDatabaseName(folder);
}

void TDm::declareFields()
{
    using FT = FieldType;
    // The schema reads as a table, one field to a line.
    // clang-format off
    {
        Table& t = *Tb_Account;
        t.addField(AccountField::IdAccount, FT::SmallInt).setRequired(true).setVisible(false);
        t.addField(AccountField::Account, FT::Text, 30).setRequired(true).setLabel(QStringLiteral("Наименование")).setDisplayWidth(30);
        t.addField(AccountField::Currency, FT::Text, 15).setRequired(true).setLabel(QStringLiteral("Валюта")).setDisplayWidth(5);
        t.addField(AccountField::Rest, FT::Float).setRequired(true).setDefaultValue(0.0).setLabel(QStringLiteral("Остаток")).setDisplayWidth(10).setDisplayFormat(QStringLiteral("0.00"));
        t.addField(AccountField::Mark, FT::Text, 1).setVisible(false);
        t.setPrimaryKey({AccountField::IdAccount});
        t.addIndex(QStringLiteral("Уникальность счёта"), {AccountField::Account, AccountField::Currency});
        t.setIndexName(QStringLiteral("Уникальность счёта"));
    }
    {
        Table& t = *Tb_Hist;
        const QString items = QStringLiteral("TB_ITEMS"), itm = QStringLiteral("ID_ITM"), name = QStringLiteral("ITM");
        t.addField(HistField::IdAccount, FT::SmallInt).setRequired(true).setVisible(false);
        t.addField(HistField::DateReal, FT::Date).setLabel(QStringLiteral("Дата")).setDisplayWidth(8);
        t.addLookupField(HistField::Category, 30, HistField::Level1, items, itm, name).setLabel(QStringLiteral("Категория")).setDisplayWidth(15);
        t.addLookupField(HistField::Item, 30, HistField::Level2, items, itm, name).setLabel(QStringLiteral("Группа")).setDisplayWidth(13);
        t.addLookupField(HistField::Article, 30, HistField::Level3, items, itm, name).setLabel(QStringLiteral("Предмет")).setDisplayWidth(15);
        t.addField(HistField::Dt, FT::Float).setLabel(QStringLiteral("Приход")).setDisplayWidth(11).setDisplayFormat(QStringLiteral("0.00"));
        t.addField(HistField::Ct, FT::Float).setLabel(QStringLiteral("Расход")).setDisplayWidth(11).setDisplayFormat(QStringLiteral("0.00"));
        t.addField(HistField::Price, FT::Float).setLabel(QStringLiteral("Цена")).setDisplayWidth(12).setDisplayFormat(QStringLiteral("0.00"));
        t.addLookupField(HistField::Person, 20, HistField::IdPerson, QStringLiteral("TB_PERSON"), QStringLiteral("Id_Person"), QStringLiteral("Name")).setLabel(QStringLiteral("Кто?")).setDisplayWidth(18);
        t.addLookupField(HistField::Firm, 15, HistField::IdFirm, QStringLiteral("TB_FIRM"), QStringLiteral("Id_Firm"), QStringLiteral("Firm")).setLabel(QStringLiteral("Где?")).setDisplayWidth(18);
        t.addLookupField(HistField::RefAcc, 20, HistField::RefAccount, QStringLiteral("TB_ACCOUNT"), AccountField::IdAccount, AccountField::Account).setLabel(QStringLiteral("Кор.счёт")).setDisplayWidth(24);
        t.addField(HistField::DateCreate, FT::DateTime).setRequired(true).setDisplayWidth(10).setVisible(false);
        t.addField(HistField::RefAccount, FT::SmallInt).setDisplayWidth(16).setVisible(false);
        t.addField(HistField::Kind, FT::Text, 1).setVisible(false);
        for (const QString* n : {&HistField::Level1, &HistField::Level2, &HistField::Level3, &HistField::IdPerson, &HistField::IdFirm})
            t.addField(*n, FT::SmallInt).setVisible(false);
        t.setPrimaryKey({HistField::IdAccount, HistField::DateReal, HistField::DateCreate, HistField::Kind});
        t.addIndex(QStringLiteral("acc_date"), {HistField::IdAccount, HistField::DateCreate, HistField::Kind});
        // The period totals read only these columns: with them in one index the sums never touch
        // the rows themselves.
        t.addIndex(QStringLiteral("hist_sums"), {HistField::IdAccount, HistField::DateReal, HistField::Kind, HistField::Dt, HistField::Ct});
    }
    {
        Table& t = *Tb_Items;
        t.addField(QStringLiteral("ID_ITM"), FT::SmallInt).setRequired(true);
        t.addField(QStringLiteral("ITM"), FT::Text, 30);
        t.addField(QStringLiteral("ID_REF"), FT::SmallInt);
        t.addField(QStringLiteral("LEV"), FT::SmallInt);
        t.addField(QStringLiteral("C"), FT::Text, 1);
        t.addField(QStringLiteral("S"), FT::Text, 1).setVisible(false);
        t.setPrimaryKey({QStringLiteral("ID_ITM")});
        t.addIndex(QStringLiteral("Tb_ItemsIndex1"), {QStringLiteral("ID_ITM")});
    }
    {
        Table& t = *Tb_Person;
        t.addField(QStringLiteral("Id_Person"), FT::SmallInt).setRequired(true).setVisible(false);
        t.addField(QStringLiteral("Name"), FT::Text, 30).setRequired(true).setLabel(QStringLiteral("Фамилия И.О.")).setDisplayWidth(25);
        t.addField(QStringLiteral("Birthday"), FT::Date).setLabel(QStringLiteral("Дата рождения"));
        t.addField(QStringLiteral("Phone"), FT::Text, 15).setLabel(QStringLiteral("Телефон")).setDisplayWidth(15);
        t.addField(QStringLiteral("Address"), FT::Text, 50).setLabel(QStringLiteral("Адрес")).setDisplayWidth(20);
        t.addField(QStringLiteral("Id_Firm"), FT::SmallInt).setVisible(false);
        t.addLookupField(QStringLiteral("Firm"), 20, QStringLiteral("Id_Firm"), QStringLiteral("TB_FIRM"), QStringLiteral("Id_Firm"), QStringLiteral("Firm")).setLabel(QStringLiteral("Место работы")).setDisplayWidth(20);
        t.addField(QStringLiteral("Comment"), FT::Text, 50).setLabel(QStringLiteral("Комментарий")).setDisplayWidth(15);
        t.addField(QStringLiteral("C"), FT::Text, 1).setVisible(false);
        t.addField(QStringLiteral("Dy"), FT::SmallInt).setVisible(false);
        t.addField(QStringLiteral("Mn"), FT::SmallInt).setVisible(false);
        t.setPrimaryKey({QStringLiteral("Id_Person")});
        t.addIndex(QStringLiteral("Z_PERSON"), {QStringLiteral("Name")});
        t.setIndexName(QStringLiteral("Z_PERSON"));
    }
    {
        Table& t = *Tb_Family;
        t.addField(QStringLiteral("Id_Family"), FT::SmallInt).setVisible(false);
        t.addField(QStringLiteral("Id_Person"), FT::SmallInt).setVisible(false);
        t.addField(QStringLiteral("Name"), FT::Text, 30).setLabel(QStringLiteral("Имя")).setDisplayWidth(25);
        t.addField(QStringLiteral("Birthday"), FT::Date).setLabel(QStringLiteral("Дата рождения"));
        t.addField(QStringLiteral("Comment"), FT::Text, 50).setLabel(QStringLiteral("Комментарий")).setDisplayWidth(30);
        t.addField(QStringLiteral("C"), FT::Text, 1).setVisible(false);
        t.addField(QStringLiteral("Dy"), FT::SmallInt).setVisible(false);
        t.addField(QStringLiteral("Mn"), FT::SmallInt).setVisible(false);
        t.addLookupField(QStringLiteral("Pers"), 30, QStringLiteral("Id_Person"), QStringLiteral("TB_PERSON"), QStringLiteral("Id_Person"), QStringLiteral("Name")).setLabel(QStringLiteral("Предок")).setDisplayWidth(30);
        t.setPrimaryKey({QStringLiteral("Id_Family")});
        t.setFiltered(true);
    }
    {
        Table& t = *Tb_Firm;
        t.addField(QStringLiteral("Id_Firm"), FT::SmallInt).setRequired(true).setVisible(false);
        t.addField(QStringLiteral("Firm"), FT::Text, 30).setRequired(true).setLabel(QStringLiteral("Наименование")).setDisplayWidth(30);
        t.addField(QStringLiteral("Phone"), FT::Text, 15).setLabel(QStringLiteral("Телефон")).setDisplayWidth(15);
        t.addField(QStringLiteral("Address"), FT::Text, 50).setLabel(QStringLiteral("Адрес")).setDisplayWidth(25);
        t.addField(QStringLiteral("Comment"), FT::Text, 50).setLabel(QStringLiteral("Комментарий")).setDisplayWidth(22);
        t.addField(QStringLiteral("C"), FT::Text, 1).setVisible(false);
        t.setPrimaryKey({QStringLiteral("Id_Firm")});
        t.addIndex(QStringLiteral("Z_FIRM"), {QStringLiteral("Firm")});
    }
    {
        Table& t = *Tb_Log;
        t.addField(QStringLiteral("Date_Remind"), FT::Date).setLabel(QStringLiteral("Когда")).setDisplayWidth(10);
        t.addField(QStringLiteral("Note"), FT::Text, 70).setLabel(QStringLiteral("Содержание")).setDisplayWidth(35);
        t.addLookupField(QStringLiteral("Person"), 20, QStringLiteral("Id_Person"), QStringLiteral("TB_PERSON"), QStringLiteral("Id_Person"), QStringLiteral("Name")).setLabel(QStringLiteral("Кто")).setDisplayWidth(15);
        t.addField(QStringLiteral("Id_Person"), FT::SmallInt).setVisible(false);
        t.addLookupField(QStringLiteral("Firm"), 20, QStringLiteral("Id_firm"), QStringLiteral("TB_FIRM"), QStringLiteral("Id_Firm"), QStringLiteral("Firm")).setLabel(QStringLiteral("Где")).setDisplayWidth(15);
        t.addField(QStringLiteral("Id_firm"), FT::SmallInt).setVisible(false);
        t.addField(QStringLiteral("C"), FT::Text, 1).setVisible(false);
        t.addField(QStringLiteral("Date_Create"), FT::DateTime).setRequired(true).setLabel(QStringLiteral("Дата записи")).setDisplayWidth(15);
        t.addField(QStringLiteral("Dy"), FT::SmallInt).setVisible(false);
        t.setPrimaryKey({QStringLiteral("Date_Create")});
        t.addIndex(QStringLiteral("IND_REMIND"), {QStringLiteral("Date_Remind")});
        t.setIndexName(QStringLiteral("IND_REMIND"));
        t.setFiltered(true);
    }

    Qsum->setSql({QStringLiteral("Select Sum(dt),Sum(ct) from tb_hist"), QStringLiteral("where id_account=:id_account"),
                  QStringLiteral("and date_real between :d1 and :d2"), QStringLiteral("and kind='1'")});
    Qsum->paramByName(QStringLiteral("id_account")).type = FT::SmallInt;
    Qsum->paramByName(QStringLiteral("d1")).type = FT::Date;
    Qsum->paramByName(QStringLiteral("d2")).type = FT::Date;

    Qtrans->setSql({QStringLiteral("Select Dt from tb_hist"), QStringLiteral("where id_account=:ref_account"),
                    QStringLiteral("and date_create=:date_create")});
    Qtrans->paramByName(QStringLiteral("REF_ACCOUNT")).type = FT::SmallInt;
    Qtrans->paramByName(QStringLiteral("DATE_CREATE")).type = FT::DateTime;
    Qtrans->addField(QStringLiteral("Dt"), FT::Float).setDisplayFormat(QStringLiteral("0.00"));
    Qtrans->setRequestLive(true);

    QPers_Firm->setSql({QStringLiteral("Select Id_Person,Name,Phone,Address,Birthday,Comment from tb_person "),
                        QStringLiteral("where id_firm=:id_firm"), QStringLiteral("order by 1")});
    QPers_Firm->paramByName(QStringLiteral("ID_FIRM")).type = FT::SmallInt;
    QPers_Firm->addField(QStringLiteral("Name"), FT::Text, 30).setLabel(QStringLiteral("Фамилия")).setDisplayWidth(25);
    QPers_Firm->addField(QStringLiteral("Birthday"), FT::Date).setLabel(QStringLiteral("Дата рождения"));
    QPers_Firm->addField(QStringLiteral("Phone"), FT::Text, 15).setLabel(QStringLiteral("Телефон"));
    QPers_Firm->addField(QStringLiteral("Address"), FT::Text, 50).setLabel(QStringLiteral("Адрес")).setDisplayWidth(20);
    QPers_Firm->addField(QStringLiteral("Comment"), FT::Text, 50).setLabel(QStringLiteral("Комментарий")).setDisplayWidth(20);
    QPers_Firm->addField(QStringLiteral("Id_Person"), FT::SmallInt).setVisible(false);
    QPers_Firm->setMasterSource(DataFirm);
    // clang-format on
}

void TDm::attachRules()
{
    using namespace std::placeholders;
    for (Table* t : {Tb_Person, Tb_Account, Tb_Firm, Tb_Family, Tb_Items}) {
        t->onNewRecord = [this](Dataset& d) { Tb_AccountNewRecord(d); };
        t->beforePost = [this](Dataset& d) { Tb_AccountBeforePost(d); };
    }
    Tb_Hist->onNewRecord = [this](Dataset& d) { Tb_HistNewRecord(d); };
    Tb_Hist->beforePost = [this](Dataset& d) { Tb_HistBeforePost(d); };
    Tb_Log->onNewRecord = [this](Dataset& d) { Tb_LogNewRecord(d); };
    Tb_Log->beforePost = [this](Dataset& d) { Tb_LogBeforePost(d); };
    for (Table* t : {Tb_Person, Tb_Account, Tb_Firm})
        t->beforeDelete = [this](Dataset& d) { Tb_AccountBeforeDelete(d); };
    for (Table* t : tables()) {
        t->afterPost = [this](Dataset& d) { Tb_AccountAfterPost(d); };
        t->afterDelete = [this](Dataset& d) { Tb_AccountAfterPost(d); };
    }
    Tb_Person->afterScroll = [this](Dataset&) { emit personScrolled(); };
    DataHist->onStateChange = [this](DataSource&) { DataHistStateChange(); };
    DataHist->onDataChange = [this](DataSource&, Field*) { DataHistDataChange(); };
    DataAccount->onDataChange = [this](DataSource&, Field*) { DataAccountDataChange(); };
}

qint64 TDm::nextCreationMoment()
{
    // Creation moments make history keys unique, so no two may be equal: a moment taken within the
    // same millisecond as the previous one (or after the clock went back) moves on by one.
    qint64 m = stampOf(Clock::now());
    if (m <= m_lastMoment)
        m = m_lastMoment + 1;
    m_lastMoment = m;
    return m;
}

// ---- new records ----

void TDm::Tb_AccountNewRecord(Dataset& table)
{
    table.field(0)->setValue(0);
    if (&table == Tb_Items)
        table.fieldByName(QStringLiteral("C"))
            .setValue(toStored(expenseMode && !expenseMode() ? ItemDirection::Income : ItemDirection::Expense));
}

void TDm::Tb_HistNewRecord(Dataset& table)
{
    QVariant account;
    if (Tb_Account->active() && !Tb_Account->isEmpty())
        account = Tb_Account->fieldByName(AccountField::IdAccount).value();
    table.fieldByName(HistField::IdAccount).setValue(account);
    table.fieldByName(HistField::DateCreate).setValue(nextCreationMoment());
    table.fieldByName(HistField::DateReal).setValue(workDate ? workDate() : dayNumber(Clock::today()));
    table.fieldByName(HistField::Level1).setValue(-10);
}

void TDm::Tb_LogNewRecord(Dataset& table)
{
    table.fieldByName(QStringLiteral("Date_Create")).setValue(nextCreationMoment());
    table.fieldByName(QStringLiteral("Date_Remind")).setValue(dayNumber(Clock::today()));
    table.fieldByName(QStringLiteral("C")).setValue(QStringLiteral("0"));
}

// ---- before post ----

void TDm::Tb_AccountBeforePost(Dataset& table)
{
    // A name of blanks only is no name: required names are then refused, a family member's is
    // filled in below.
    if (&table == Tb_Person || &table == Tb_Family || &table == Tb_Firm) {
        Field& name = table.fieldByName(&table == Tb_Firm ? QStringLiteral("Firm") : QStringLiteral("Name"));
        if (!name.isNull() && name.asString().trimmed().isEmpty())
            name.clear();
    }
    if (&table == Tb_Person || &table == Tb_Family) {
        Field& birthday = table.fieldByName(QStringLiteral("Birthday"));
        if (birthday.isNull()) {
            table.fieldByName(QStringLiteral("Dy")).clear();
            table.fieldByName(QStringLiteral("Mn")).clear();
        } else {
            const QDate d = dateOfDay(birthday.asDate());
            table.fieldByName(QStringLiteral("Dy")).setValue(d.day());
            table.fieldByName(QStringLiteral("Mn")).setValue(d.month());
        }
    }
    if (&table == Tb_Family) {
        // A family member belongs to the acquaintance shown; with none shown there is nobody to
        // attach it to, and one still being added has no identifier to give it yet.
        if (!Tb_Person->active() || Tb_Person->isEmpty() || Tb_Person->state() == DatasetState::Insert)
            throw DbAbort();
        if (table.fieldByName(QStringLiteral("Id_Person")).isNull())
            table.fieldByName(QStringLiteral("Id_Person"))
                .setValue(Tb_Person->fieldByName(QStringLiteral("Id_Person")).value());
        if (table.fieldByName(QStringLiteral("Name")).isNull())
            table.fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("Потом запишу..."));
    }
    if (table.state() != DatasetState::Insert)
        return;
    const int k = table.tag();
    if (k < 1 || k > 5)
        return;
    Field& id = *table.field(0);
    if (IdCounters[size_t(k)] == 0) {
        Qtemp->close();
        Qtemp->setSql({QStringLiteral("Select max(") + id.name() + QStringLiteral(") from ") + table.name()});
        Qtemp->open();
        IdCounters[size_t(k)] = Qtemp->field(0)->isNull() ? 0 : int(Qtemp->field(0)->asInteger());
        Qtemp->close();
    }
    if (IdCounters[size_t(k)] >= MaxIdentifier)
        throw DbError(QStringLiteral("Переполнение: в таблице %1 исчерпаны номера записей (не более %2)")
                          .arg(table.name())
                          .arg(MaxIdentifier));
    ++IdCounters[size_t(k)];
    id.setValue(IdCounters[size_t(k)]);
}

void TDm::Tb_HistBeforePost(Dataset& table)
{
    // An operation is an income or an expense of some amount: a row with neither (or both) would
    // be counted by no total the way it reads, whatever path tried to write it.
    auto positive = [&](const QString& name) {
        const Field& f = table.fieldByName(name);
        return !f.isNull() && toTenThousandths(f.asFloat()) > 0;
    };
    auto empty = [&](const QString& name) {
        const Field& f = table.fieldByName(name);
        return f.isNull() || toTenThousandths(f.asFloat()) == 0;
    };
    const bool income = positive(HistField::Dt) && empty(HistField::Ct);
    const bool expense = positive(HistField::Ct) && empty(HistField::Dt);
    if (income != expense)
        return;
    if (inform)
        inform(QStringLiteral("Операция не записана: у неё должна быть сумма больше нуля, приход или расход."));
    throw DbAbort();
}

void TDm::Tb_LogBeforePost(Dataset& table)
{
    const Field& remind = table.fieldByName(QStringLiteral("Date_Remind"));
    table.fieldByName(QStringLiteral("Dy")).setValue(dateOfDay(remind.isNull() ? 0 : remind.asDate()).day());
}

// ---- before delete ----

int TDm::countRefs(const QString& sql)
{
    Qtemp->close();
    Qtemp->setSql({sql});
    Qtemp->open();
    const int n = int(Qtemp->field(0)->asInteger());
    Qtemp->close();
    return n;
}

void TDm::Tb_AccountBeforeDelete(Dataset& table)
{
    const Field& id = *table.field(0);
    const QString cond = id.name() + QStringLiteral("='") + QString::number(id.asInteger()) + QLatin1Char('\'');
    struct Check {
        bool applies;
        QString sql;
        QString message;
    };
    const bool person = &table == Tb_Person, firm = &table == Tb_Firm;
    const Check checks[] = {
        {person, QStringLiteral("Select count(*) from tb_family where ") + cond, QStringLiteral("Есть члены семьи!")},
        {person || firm, QStringLiteral("Select count(*) from tb_log where ") + cond,
         QStringLiteral("Есть ссылки в дневнике!")},
        {firm, QStringLiteral("Select count(*) from tb_person where ") + cond,
         QStringLiteral("Есть ссылки в персональном справочнике!")},
        {true, QStringLiteral("Select count(*) from tb_hist where ") + cond, QStringLiteral("Есть связи в истории!")},
    };
    for (const Check& c : checks) {
        if (!c.applies || countRefs(c.sql) == 0)
            continue;
        if (inform)
            inform(c.message);
        throw DbAbort();
    }
}

void TDm::Tb_AccountAfterPost(Dataset&) { DataSaved = false; }

// ---- data-source hooks ----

void TDm::DataHistStateChange() { emit panDateEnabledChanged(Tb_Hist->state() == DatasetState::Browse); }

void TDm::DataHistDataChange() { emit historyDataChanged(); }

bool TDm::BalanceIsNegative(double rest) { return roundHalfEven(rest) < 0; }

void TDm::DataAccountDataChange()
{
    bool negative = false;
    if (Tb_Account->active() && !Tb_Account->isEmpty())
        negative = BalanceIsNegative(Tb_Account->fieldByName(AccountField::Rest).asFloat());
    emit balanceColourChanged(negative);
}

// ---- a new database ----

void TDm::CreateDatabase(const QString& folder)
{
    TDm dm;
    auto db = Database::acquire(folder);
    db->exec(QStringLiteral("BEGIN"));
    try {
        for (Table* t : dm.tables())
            for (const QString& s : t->createStatements())
                db->exec(s);
        db->exec(OpeningBalances::createStatement());
        db->exec(QStringLiteral(
            "INSERT INTO TB_ITEMS (ID_ITM, ITM, ID_REF, LEV, C, S) VALUES (-1, 'ПЕРЕВОД', NULL, 0, '-', NULL)"));
        db->exec(QStringLiteral("COMMIT"));
    } catch (...) {
        db->exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

} // namespace dorv
