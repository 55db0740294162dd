#include "ResultsQuery.h"

namespace dorv {

namespace {

QString joined(std::initializer_list<QString> names) { return QStringList(names).join(QStringLiteral(" \\ ")); }

} // namespace

DrillView UpdateDrillState(ResultsState& s)
{
    DrillView v;
    v.up = s.DrillStep > 1;
    const Dimension d1 = s.Dimension1;
    const bool allWhat = s.Dimension2 == Dimension::What && s.Dimension3 == Dimension::What;
    if (s.DrillStep <= 1) {
        s.DrillStep = 1;
        s.Dimension2 = s.Dimension3 = Dimension::What;
        s.GroupBy = d1;
        s.ItemLevel = 0;
        s.SideFilter = 0;
        static const char* const captions[] = {"Распределение по статьям", "Распределение по людям",
                                               "Распределение по местам"};
        v.caption = QString::fromUtf8(captions[int(d1)]);
        v.pressed = int(d1);
        v.dimensionButtons = 1;
        v.down = true;
        return v;
    }
    if (d1 == Dimension::What) {
        const Dimension d2 = s.Dimension2;
        const Dimension d3 = s.Dimension3;
        switch (s.DrillStep) {
        case 2:
            s.GroupBy = d2;
            s.ItemLevel = 1;
            s.SideFilter = 0;
            v.caption = s.Level1Name;
            v.pressed = int(d2);
            v.dimensionButtons = 1;
            break;
        case 3:
            if (d2 == Dimension::What) {
                s.GroupBy = d3;
                s.ItemLevel = 2;
                s.SideFilter = 0;
                v.caption = joined({s.Level1Name, s.Level2Name});
                v.dimensionButtons = 1;
            } else {
                s.GroupBy = Dimension::What;
                s.ItemLevel = 1;
                s.SideFilter = d2 == Dimension::Who ? 1 : 2;
                v.caption = joined({s.Level1Name, d2 == Dimension::Who ? s.PersonName : s.FirmName});
                v.dimensionButtons = 0;
            }
            break;
        default:
            s.GroupBy = Dimension::What;
            s.ItemLevel = 2;
            if (d2 == Dimension::What) {
                s.SideFilter = d3 == Dimension::Who ? 1 : 2;
                v.caption = joined({s.Level1Name, s.Level2Name, d3 == Dimension::Who ? s.PersonName : s.FirmName});
            } else {
                s.SideFilter = d2 == Dimension::Who ? 1 : 2;
                v.caption = joined({s.Level1Name, d2 == Dimension::Who ? s.PersonName : s.FirmName, s.Level2Name});
            }
            break;
        }
        v.down = s.DrillStep < (allWhat ? 3 : 4);
        return v;
    }
    // First by people or by places, then down the categories inside that one.
    const QString& side = d1 == Dimension::Who ? s.PersonName : s.FirmName;
    s.GroupBy = Dimension::What;
    s.SideFilter = d1 == Dimension::Who ? 1 : 2;
    s.ItemLevel = qMin(s.DrillStep, 4) - 2;
    if (s.ItemLevel == 0)
        v.caption = side;
    else if (s.ItemLevel == 1)
        v.caption = joined({side, s.Level1Name});
    else
        v.caption = joined({side, s.Level1Name, s.Level2Name});
    v.dimensionButtons = 0;
    v.down = s.DrillStep < 4;
    return v;
}

QStringList RebuildResultsText(const ResultsState& s, const ResultsChoices& c)
{
    QStringList lines{QStringLiteral("Select id_itm id ,itm nm,sum(dt) D,sum(ct) C"),
                      QStringLiteral("from tb_hist h "),
                      QStringLiteral("inner join tb_items c on c.id_itm=h.level1"),
                      QStringLiteral("where (date_real between :d1 and :d2) "),
                      QStringLiteral("and (h.id_account=:id_account) "),
                      QStringLiteral("group by id_itm,itm "),
                      QStringLiteral("order by 2")};
    QString filters = QStringLiteral("and (h.id_account=:id_account)");
    if (s.ItemLevel >= 1)
        filters += QStringLiteral(" and h.level1='%1'").arg(s.Level1Id);
    if (s.ItemLevel == 2) {
        if (!s.Level2Name.isEmpty())
            filters += QStringLiteral(" and h.level2='%1'").arg(s.Level2Id);
        else
            filters += QStringLiteral(" and h.level2 is null");
    }
    const QString items = QStringLiteral("Select id_itm id ,itm nm,sum(dt) D,sum(ct) C ");
    switch (s.GroupBy) {
    case Dimension::What:
        if (s.ItemLevel == 0) {
            lines[0] = items;
            lines[2] = QStringLiteral("inner join tb_items c on c.id_itm=h.level1");
            lines[5] = QStringLiteral("group by id_itm,itm");
        } else if (s.ItemLevel == 1 && s.Level1Id == -1) {
            lines[0] = QStringLiteral("Select ref_account id ,account nm,sum(dt) D,sum(ct) C");
            lines[2] = QStringLiteral("inner join tb_account c on c.id_account=h.ref_account");
            lines[5] = QStringLiteral("group by ref_account,account");
        } else {
            lines[0] = items;
            lines[2] = s.ItemLevel == 1 ? QStringLiteral("left join tb_items c on c.id_itm=h.level2")
                                        : QStringLiteral("left join tb_items c on c.id_itm=h.level3");
            lines[5] = QStringLiteral("group by id_itm,itm");
        }
        if (s.SideFilter == 1)
            filters += QStringLiteral(" and h.id_person='%1'").arg(s.PersonId);
        else if (s.SideFilter == 2)
            filters += QStringLiteral(" and h.id_firm='%1'").arg(s.FirmId);
        break;
    case Dimension::Who:
        lines[0] = QStringLiteral("Select id_person id ,name nm,sum(dt) D,sum(ct) C ");
        lines[2] = QStringLiteral("inner join tb_person c on c.id_person=h.id_person");
        lines[5] = QStringLiteral("group by id_person,name");
        break;
    case Dimension::Where:
        lines[0] = QStringLiteral("Select id_firm id ,firm nm,sum(dt) D,sum(ct) C ");
        lines[2] = QStringLiteral("inner join tb_firm c on c.id_firm=h.id_firm");
        lines[5] = QStringLiteral("group by id_firm,firm");
        break;
    }
    if (c.kind == 0)
        filters += QStringLiteral(" and kind='1'");
    else if (c.kind == 1)
        filters += QStringLiteral(" and kind='2'");
    lines[4] = filters;
    static const char* const orders[] = {"Order by 2", "Order by 3 desc", "Order by 4 desc"};
    const QString order = QString::fromLatin1(orders[qBound(0, c.sort, 2)]);
    const QString n = QString::number(c.limitValue);
    if (c.limitDebit && c.limitCredit)
        lines[6] = QStringLiteral("having sum(dt)>'") + n + QStringLiteral("' and sum(ct)>'") + n + QStringLiteral("' ")
                   + order;
    else if (c.limitDebit)
        lines[6] = QStringLiteral("having sum(dt)>'") + n + QStringLiteral("' ") + order;
    else if (c.limitCredit)
        lines[6] = QStringLiteral("having sum(ct)>'") + n + QStringLiteral("' ") + order;
    else
        lines[6] = order;
    return lines;
}

QString firstColumnTitle(const ResultsState& s)
{
    switch (s.GroupBy) {
    case Dimension::Who:
        return QStringLiteral("Кто");
    case Dimension::Where:
        return QStringLiteral("Где");
    case Dimension::What:
        break;
    }
    return QStringLiteral("Что");
}

void captureRow(ResultsState& s, const QVariant& id, const QVariant& name)
{
    const qint64 i = id.isValid() && !id.isNull() ? id.toLongLong() : 0;
    const QString n = name.isValid() && !name.isNull() ? name.toString() : QString();
    switch (s.GroupBy) {
    case Dimension::Who:
        s.PersonId = i;
        s.PersonName = n;
        return;
    case Dimension::Where:
        s.FirmId = i;
        s.FirmName = n;
        return;
    case Dimension::What:
        if (s.ItemLevel == 0) {
            s.Level1Id = i;
            s.Level1Name = n;
        } else if (s.ItemLevel == 1) {
            s.Level2Id = i;
            s.Level2Name = n;
        }
        return;
    }
}

bool downAfterCapture(const ResultsState& s, bool downByStep, bool rowHasData)
{
    bool down = downByStep;
    // No drilling below the corresponding accounts, nor below any regrouping inside the transfer.
    if (s.ItemLevel == 1)
        down = s.Level1Id != -1;
    return down && rowHasData;
}

QString DetailFilterText(const ResultsState& s, const QVariant& id, int kind)
{
    const auto q = [](qint64 v) { return QStringLiteral("'%1'").arg(v); };
    const bool hasId = id.isValid() && !id.isNull();
    QString f;
    if (s.GroupBy == Dimension::Who || s.GroupBy == Dimension::Where) {
        const bool who = s.GroupBy == Dimension::Who;
        const QString& name = who ? s.PersonName : s.FirmName;
        const QString field = who ? QStringLiteral("id_person") : QStringLiteral("id_firm");
        f = name.isEmpty() ? field + QStringLiteral("=null")
                           : field + QLatin1Char('=') + q(who ? s.PersonId : s.FirmId);
        if (s.ItemLevel >= 1)
            f += QStringLiteral(" and level1=") + q(s.Level1Id);
        if (s.ItemLevel == 2)
            f += s.Level2Name.isEmpty() ? QStringLiteral(" and level2=null")
                                        : QStringLiteral(" and level2=") + q(s.Level2Id);
    } else {
        if (s.ItemLevel == 0) {
            f = hasId ? QStringLiteral("level1=") + q(id.toLongLong()) : QStringLiteral("level1=null");
        } else if (s.ItemLevel == 1 && s.Level1Id == -1) {
            f = !s.Level2Name.isEmpty()
                    ? QStringLiteral("ref_account=") + q(s.Level2Id)
                    : QStringLiteral("level1=") + q(s.Level1Id) + QStringLiteral(" and ref_account=null");
        } else if (s.ItemLevel == 1) {
            f = !s.Level2Name.isEmpty()
                    ? QStringLiteral("level2=") + q(s.Level2Id)
                    : QStringLiteral("level1=") + q(s.Level1Id) + QStringLiteral(" and level2=null");
        } else if (hasId) {
            f = QStringLiteral("level3=") + q(id.toLongLong());
        } else if (!s.Level2Name.isEmpty()) {
            f = QStringLiteral("level2=") + q(s.Level2Id) + QStringLiteral(" and level3=null");
        } else {
            // The empty group below the empty second level: the operations the grouped query counts
            // in that row, those of the first-level item with neither a second nor a third level.
            f = QStringLiteral("level1=") + q(s.Level1Id) + QStringLiteral(" and level2=null and level3=null");
        }
        if (s.SideFilter == 1)
            f += s.PersonName.isEmpty() ? QStringLiteral(" and id_person=null ")
                                        : QStringLiteral(" and id_person=") + q(s.PersonId);
        else if (s.SideFilter == 2)
            f += s.FirmName.isEmpty() ? QStringLiteral(" and id_firm=null ")
                                      : QStringLiteral(" and id_firm=") + q(s.FirmId);
    }
    if (kind == 0)
        f += QStringLiteral(" and kind='1'");
    else if (kind == 1)
        f += QStringLiteral(" and kind='2'");
    return f;
}

} // namespace dorv
