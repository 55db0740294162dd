#include "Versions.h"

#include "FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>

namespace dorv {

namespace {
const QString Suffix = QStringLiteral(".den");
const QString DateFormat = QStringLiteral("yyyy-MM-dd");

QString versionName(const QDate& date) { return date.toString(DateFormat) + Suffix; }

QDate dateOfName(const QString& name)
{
    if (!name.endsWith(Suffix) || name.size() != DateFormat.size() + Suffix.size())
        return {};
    return QDate::fromString(name.left(DateFormat.size()), DateFormat);
}
} // namespace

QString VersionsFolderFor(const QString& dataFile)
{
    const QFileInfo f(dataFile);
    return f.absoluteDir().filePath(f.completeBaseName() + QStringLiteral(".versions"));
}

QList<KeptVersion> ListVersions(const QString& dataFile)
{
    QList<KeptVersion> out;
    const QDir dir(VersionsFolderFor(dataFile));
    for (const QFileInfo& f :
         dir.entryInfoList({QStringLiteral("*") + Suffix}, QDir::Files, QDir::Name | QDir::Reversed)) {
        const QDate date = dateOfName(f.fileName());
        if (date.isValid() && !f.isSymLink())
            out << KeptVersion{date, f.absoluteFilePath(), f.size()};
    }
    return out;
}

QList<QDate> VersionsToKeep(const QList<QDate>& dates, const QDate& today)
{
    const QDate weekStart = today.addDays(-6);
    const QDate yearStart = QDate(today.year(), today.month(), 1).addMonths(-11);
    QList<QDate> newestFirst = dates;
    std::sort(newestFirst.begin(), newestFirst.end(), std::greater<>());
    newestFirst.erase(std::unique(newestFirst.begin(), newestFirst.end()), newestFirst.end());
    QList<QDate> out;
    int lastMonth = -1;
    for (const QDate& d : newestFirst) {
        const int month = d.year() * 12 + d.month();
        // Newest first: the first date met in a month is that month's newest.
        const bool newestOfMonth = month != lastMonth;
        lastMonth = month;
        if (d >= weekStart || (d >= yearStart && newestOfMonth))
            out << d;
    }
    return out;
}

bool WriteVersion(const QString& dataFile, const QDate& today, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QString folder = VersionsFolderFor(dataFile);
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("не удалось создать папку %1").arg(QDir::toNativeSeparators(folder)));
    const QString target = QDir(folder).filePath(versionName(today));
    // Written aside first: a copy cut off half way never takes the place of the day's version.
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    QFile source(dataFile);
    if (!source.copy(part)) {
        QFile::remove(part);
        return fail(source.errorString());
    }
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0) {
        const int code = errno;
        QFile::remove(part);
        return fail(SystemErrorText(code));
    }
    QList<QDate> dates;
    const QList<KeptVersion> versions = ListVersions(dataFile);
    for (const KeptVersion& v : versions)
        dates << v.date;
    const QList<QDate> keep = VersionsToKeep(dates, today);
    for (const KeptVersion& v : versions)
        if (!keep.contains(v.date) && !QFile::remove(v.path))
            return fail(QStringLiteral("не удалось удалить %1").arg(QDir::toNativeSeparators(v.path)));
    return true;
}

} // namespace dorv
