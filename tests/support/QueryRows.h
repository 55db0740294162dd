#pragma once
#include "data/Database.h"

#include <QStringList>

// The rows a query gives, each as its values joined by spaces ("-" for no value): what a test
// compares with the rows it expects.
inline QStringList queryRows(dorv::Database& db, const QString& sql)
{
    dorv::Statement st = db.prepareOnce(sql);
    QStringList out;
    while (st.step()) {
        QStringList values;
        for (int i = 0; i < st.columnCount(); ++i)
            values << (st.column(i).isValid() ? st.column(i).toString() : QStringLiteral("-"));
        out << values.join(QLatin1Char(' '));
    }
    return out;
}
