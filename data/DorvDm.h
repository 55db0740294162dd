#pragma once
#include "DataSource.h"
#include "Query.h"
#include "Table.h"

#include <QObject>

#include <array>
#include <functional>

namespace dorv {

// The data module: every table, data source and shared query of one household's database, and the
// rules that every insert, post and delete passes through. One lives for the whole run.
class TDm final : public QObject {
    Q_OBJECT
public:
    explicit TDm(QObject* parent = nullptr);
    ~TDm() override;

    Table* Tb_Account;
    Table* Tb_Hist;
    Table* Tb_Items;
    Table* Tb_Person;
    Table* Tb_Family;
    Table* Tb_Firm;
    Table* Tb_Log;
    DataSource* DataAccount;
    DataSource* DataHist;
    DataSource* DataItems;
    DataSource* DataPerson;
    DataSource* DataFamily;
    DataSource* DataFirm;
    DataSource* DataLog;
    DataSource* DataPers_Firm;
    Query* Qsum;
    Query* Qtrans;
    Query* QPers_Firm;
    Query* Qtemp;

    // The tables, data sources and queries in their declared order.
    const QList<QObject*>& components() const { return m_components; }
    QList<Table*> tables() const;
    QList<Dataset*> datasets() const;
    template <class T>
    QList<T*> componentsOf() const
    {
        QList<T*> out;
        for (QObject* o : m_components)
            if (auto* c = qobject_cast<T*>(o))
                out << c;
        return out;
    }

    // Points every table and query at the working folder.
    void BindDatabaseName(const QString& folder);
    // Creates the seven empty tables in a folder, with the transfer item in the category table.
    static void CreateDatabase(const QString& folder);

    // The last identifier handed out per table Tag 1..5; 0 means unset.
    std::array<int, 6> IdCounters{};
    void ResetCounters() { IdCounters.fill(0); }
    // True while the open data needs no saving.
    bool DataSaved = false;

    // What the rules need from the windows.
    std::function<int()> workDate;              // the working date as a day number
    std::function<bool()> expenseMode;          // the expense tree is the current one
    std::function<void(const QString&)> inform; // a plain message box

    // The rule handlers, attached to the tables' events.
    void Tb_AccountNewRecord(Dataset& table);
    void Tb_HistNewRecord(Dataset& table);
    void Tb_LogNewRecord(Dataset& table);
    void Tb_AccountBeforePost(Dataset& table);
    void Tb_HistBeforePost(Dataset& table);
    void Tb_LogBeforePost(Dataset& table);
    void Tb_AccountBeforeDelete(Dataset& table);
    void Tb_AccountAfterPost(Dataset& table);
    void DataHistStateChange();
    void DataHistDataChange();
    void DataAccountDataChange();

    // Names the change being made, for the command that undoes it, where its rows alone could not
    // tell what it was.
    void nameChange(const QString& what) { emit changeNamed(what); }
    // Ends the change made so far as one the user can undo on its own, though the command goes on
    // (each repair of a check is its own step).
    void endChange() { emit changeEnded(); }
    // A creation moment no row of the book has yet: later than every one handed out before.
    qint64 nextCreationMoment();

    // Red when the balance rounded to whole units (halves to even) is below zero.
    static bool BalanceIsNegative(double rest);

signals:
    // Hooks the windows connect to.
    void panDateEnabledChanged(bool enabled); // the history is in browse state
    void historyDataChanged();                // run the command-state rules
    void balanceColourChanged(bool negative); // the balance label's colour
    void personScrolled();                    // the current acquaintance changed
    void changeNamed(const QString& what);    // see nameChange()
    void changeEnded();                       // see endChange()

private:
    Table* makeTable(const QString& component, const QString& file, int tag);
    DataSource* makeSource(const QString& name, Dataset* dataset);
    Query* makeQuery(const QString& name);
    void declareFields();
    void attachRules();
    int countRefs(const QString& sql);

    QList<QObject*> m_components;
    qint64 m_lastMoment = 0;
};

} // namespace dorv
