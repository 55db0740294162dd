#pragma once
#include "data/Database.h"
#include "support/TemplateDb.h"
#include "util/ZipArchive.h"

#include <QFile>
#include <QTemporaryDir>

// Writes a data file at path whose accounts table is damaged after its first rows: 400 accounts,
// with the page that holds the 300th overwritten by garbage. Empty text when it could not be made.
inline QString makeDamagedDataFile(const QString& path)
{
    QTemporaryDir work;
    if (!unpackTemplate(work.path()))
        return {};
    const QString dbFile = work.filePath(dorv::Database::FileName);
    {
        auto db = dorv::Database::openFile(dbFile, false);
        db->exec(QStringLiteral("BEGIN"));
        for (int i = 1; i <= 400; ++i) {
            dorv::Statement st = db->prepare(QStringLiteral("INSERT INTO TB_ACCOUNT (Id_Account, Account, Currency, "
                                                            "Rest) VALUES (?, ?, 'руб', 0)"));
            st.bindAll({i, QStringLiteral("Счёт %1 домашний").arg(i, 4, 10, QLatin1Char('0'))});
            st.step();
        }
        db->exec(QStringLiteral("COMMIT"));
    }
    QFile f(dbFile);
    if (!f.open(QIODevice::ReadWrite))
        return {};
    QByteArray bytes = f.readAll();
    const qsizetype at = bytes.indexOf(QStringLiteral("Счёт 0300").toUtf8());
    // The page size sits big-endian at offset 16 of the file header.
    const int pageSize = (quint8(bytes[16]) << 8) | quint8(bytes[17]);
    if (at <= 0 || pageSize < 512 || at / pageSize == 0)
        return {};
    bytes.replace(at / pageSize * pageSize, pageSize, QByteArray(pageSize, '\xA5'));
    f.seek(0);
    f.write(bytes);
    f.close();
    QString error;
    if (dorv::ZipArchive::pack(work.path(), path, {}, &error) != 1)
        return {};
    return path;
}
