#pragma once
#include "util/ZipArchive.h"

#include <QFile>
#include <QString>
#include <QtTest>

// Unpacks the template database built into the program into a folder, as a new data file starts.
// Tests that use it link the resources library.
inline bool unpackTemplate(const QString& folder)
{
    QFile res(QStringLiteral(":/DorvDat"));
    if (!res.open(QIODevice::ReadOnly))
        return false;
    QString error;
    const bool ok = dorv::ZipArchive::unpackData(res.readAll(), folder, {}, {}, &error) == 1;
    if (!ok)
        qWarning("template: %s", qPrintable(error));
    return ok;
}
