#include "OpeningBalances.h"

#include "Database.h"
#include "util/Money.h"

namespace dorv {

QString OpeningBalances::createStatement()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Id_Account INTEGER NOT NULL, Rest REAL NOT NULL DEFAULT 0, "
                          "Closed INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (Id_Account))")
        .arg(QLatin1String(TableName));
}

QHash<qint64, qint64> OpeningBalances::read(Database& db)
{
    QHash<qint64, qint64> out;
    if (!db.hasTable(QLatin1String(TableName)))
        return out;
    Statement st = db.prepareOnce(QStringLiteral("SELECT Id_Account, Rest FROM %1").arg(QLatin1String(TableName)));
    while (st.step()) {
        const qint64 units = toTenThousandths(st.column(1).toDouble());
        if (units != 0)
            out.insert(st.columnInt(0), units);
    }
    return out;
}

QHash<qint64, qint64> OpeningBalances::horizons(Database& db)
{
    QHash<qint64, qint64> out;
    if (!db.hasTable(QLatin1String(TableName)))
        return out;
    Statement st = db.prepareOnce(
        QStringLiteral("SELECT Id_Account, Closed FROM %1 WHERE Closed <> 0").arg(QLatin1String(TableName)));
    while (st.step())
        out.insert(st.columnInt(0), st.columnInt(1));
    return out;
}

void OpeningBalances::set(Database& db, qint64 account, qint64 units, qint64 horizon)
{
    db.exec(createStatement());
    if (horizon < 0)
        horizon = horizons(db).value(account);
    if (units == 0 && horizon == 0) {
        Statement st =
            db.prepareOnce(QStringLiteral("DELETE FROM %1 WHERE Id_Account=?").arg(QLatin1String(TableName)));
        st.bind(1, account);
        st.step();
        return;
    }
    Statement st =
        db.prepareOnce(QStringLiteral("INSERT OR REPLACE INTO %1 (Id_Account, Rest, Closed) VALUES (?, ?, ?)")
                           .arg(QLatin1String(TableName)));
    st.bindAll({account, fromTenThousandths(units), horizon});
    st.step();
}

} // namespace dorv
