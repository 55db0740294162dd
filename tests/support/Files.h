#pragma once
#include <QFile>
#include <QTest>

// Writes `data` as the whole of `path`; a failure fails the calling test.
inline void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(data), data.size());
}

// The whole of `path`, or nothing when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
