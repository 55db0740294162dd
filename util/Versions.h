#pragma once
#include <QDate>
#include <QList>
#include <QString>

namespace dorv {

// Earlier versions of a data file, kept beside it in "<name>.versions/": at most one a day for the
// last week and one a month for the last year, each a complete data file named by its date
// ("2026-12-11.den"). The backup copy holds only the version before the last save; these reach
// back further.
struct KeptVersion {
    QDate date;
    QString path;
    qint64 size = 0;
};

// The folder of a data file's versions: "/home/a/семья.den" keeps them in "/home/a/семья.versions".
QString VersionsFolderFor(const QString& dataFile);

// The versions kept of a data file, newest first; other entries of the folder are not versions.
QList<KeptVersion> ListVersions(const QString& dataFile);

// Which of the dates stay on the day today: every date of the last seven days (today included),
// and the newest date of each of the last twelve months (this month included). A date after today
// stays too: a clock set back is no reason to throw a version away.
QList<QDate> VersionsToKeep(const QList<QDate>& dates, const QDate& today);

// Copies the data file just saved into its versions as today's version (replacing an earlier one of
// the same day in one step), then removes the versions that are no longer kept. False with the
// reason when the copy could not be written; the data file itself is never touched.
bool WriteVersion(const QString& dataFile, const QDate& today, QString* error = nullptr);

} // namespace dorv
