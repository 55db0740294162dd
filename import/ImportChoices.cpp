#include "ImportChoices.h"

#include "data/Database.h"

#include <algorithm>

namespace dorv {

namespace {
bool same(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.toLongLong() == b.toLongLong();
}
} // namespace

ImportChoices ImportChoices::read(Database& db)
{
    ImportChoices c;
    struct Item {
        qint64 id, parent;
        int level;
        QString name, dir;
    };
    QHash<qint64, Item> items;
    {
        Statement st = db.prepareOnce(QStringLiteral("SELECT ID_ITM, ITM, coalesce(ID_REF,0), coalesce(LEV,0), "
                                                     "coalesce(C,'') FROM TB_ITEMS WHERE ID_ITM >= 0"));
        while (st.step())
            items.insert(st.columnInt(0), {st.columnInt(0), st.columnInt(2), int(st.columnInt(3)),
                                           st.column(1).toString(), st.column(4).toString()});
    }
    for (const Item& it : std::as_const(items)) {
        // The path from the first level down to the item.
        QList<const Item*> path{&it};
        while (path.size() < 3 && path.first()->level > 0) {
            const auto parent = items.constFind(path.first()->parent);
            if (parent == items.constEnd())
                break;
            path.prepend(&*parent);
        }
        if (path.first()->level != 0)
            continue;
        Category cat;
        QStringList names;
        for (qsizetype i = 0; i < path.size(); ++i) {
            names << path[i]->name;
            (i == 0 ? cat.level1 : i == 1 ? cat.level2 : cat.level3) = path[i]->id;
        }
        cat.text = names.join(QStringLiteral(" / "));
        const QString dir = path.first()->dir;
        cat.expense = dir != QLatin1String("+");
        cat.income = dir != QLatin1String("-");
        c.categories << cat;
    }
    std::sort(c.categories.begin(), c.categories.end(),
              [](const Category& a, const Category& b) { return a.text.localeAwareCompare(b.text) < 0; });
    {
        Statement st = db.prepareOnce(QStringLiteral("SELECT Id_Person, Name FROM TB_PERSON ORDER BY Name"));
        while (st.step())
            c.people << Named{st.column(1).toString(), st.column(0)};
    }
    c.readFirms(db);
    {
        Statement st =
            db.prepareOnce(QStringLiteral("SELECT Id_Account, Account, Currency FROM TB_ACCOUNT ORDER BY Account"));
        while (st.step())
            c.accounts << Named{
                QStringLiteral("%1 (%2)").arg(st.column(1).toString(), st.column(2).toString().trimmed()),
                st.column(0)};
    }
    return c;
}

void ImportChoices::readFirms(Database& db)
{
    firms.clear();
    Statement st = db.prepareOnce(QStringLiteral("SELECT Id_Firm, Firm FROM TB_FIRM ORDER BY Firm"));
    while (st.step())
        firms << Named{st.column(1).toString(), st.column(0)};
}

int ImportChoices::categoryOf(const QVariant& l1, const QVariant& l2, const QVariant& l3) const
{
    if (l1.isNull())
        return -1;
    for (qsizetype i = 0; i < categories.size(); ++i) {
        const Category& c = categories[i];
        if (same(c.level1, l1) && same(c.level2, l2) && same(c.level3, l3))
            return int(i);
    }
    return -1;
}

QString ImportChoices::categoryText(const QVariant& l1, const QVariant& l2, const QVariant& l3) const
{
    const int i = categoryOf(l1, l2, l3);
    return i < 0 ? QString() : categories[i].text;
}

int ImportChoices::categoryByNames(const QString& path, bool income) const
{
    QStringList names = path.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (QString& n : names)
        n = n.trimmed();
    if (names.isEmpty() || names.size() > 3)
        return -1;
    const QString wanted = names.join(QStringLiteral(" / "));
    for (qsizetype i = 0; i < categories.size(); ++i) {
        const Category& c = categories[i];
        if ((income ? c.income : c.expense) && c.text.compare(wanted, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QString ImportChoices::textOf(const QList<Named>& list, const QVariant& id)
{
    if (id.isNull())
        return {};
    for (const Named& n : list)
        if (n.id.toLongLong() == id.toLongLong())
            return n.text;
    return {};
}

} // namespace dorv
