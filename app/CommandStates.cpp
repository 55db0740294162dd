#include "CommandStates.h"

#include "data/DorvDm.h"
#include "data/Fields.h"
#include "data/Meanings.h"

namespace dorv {

CommandStates UpdateCommandStates(const CommandFacts& f)
{
    CommandStates s;
    s.category = f.itemsOpen;
    s.money = f.accountsOpen && f.historyOpen;
    s.view = s.money;
    s.moneyNew = f.modeOn;
    s.moneyDelete = f.historyOpen && f.historyHasRows && !f.receivingRow;
    s.moneyEdit = s.moneyDelete && f.modeOn;
    s.update = f.historyOpen && f.historyHasRows && storedPlanned(f.kind) && f.dateReal <= f.today && f.modeOn;
    s.save = f.historyOpen;
    s.result = f.historyOpen && f.historyHasRows;
    s.accounts = f.accountsOpen;
    return s;
}

CommandFacts commandFactsOf(TDm& dm, bool modeOn, int today)
{
    CommandFacts f;
    Table& hist = *dm.Tb_Hist;
    f.itemsOpen = dm.Tb_Items->active();
    f.accountsOpen = dm.Tb_Account->active();
    f.historyOpen = hist.active();
    f.historyHasRows = f.historyOpen && !hist.isEmpty();
    f.modeOn = modeOn;
    f.today = today;
    if (f.historyHasRows) {
        f.receivingRow = hist.fieldByName(HistField::Level1).value() == QVariant(qint64(-1))
                         && !hist.fieldByName(HistField::Dt).isNull();
        f.kind = hist.fieldByName(HistField::Kind).asString();
        f.dateReal = hist.fieldByName(HistField::DateReal).asDate();
    }
    return f;
}

} // namespace dorv
