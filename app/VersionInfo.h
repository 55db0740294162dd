#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace dorv {

// Reads the version that the build stamped into a program file. version text is "major.minor"
// ("1.5"); version number is (major << 16) | minor, the upper half of the four-part file version.
// False when the file cannot be read, carries no stamp, or the stamp's numbers do not parse; the
// outputs are then left alone. Either output may be null.
bool GetFileVersion(const QString& path, QString* versionText, quint32* versionNumber);

// The stamp as it lies in a program file for a four-part version such as "1.5.1.9". Built at run
// time, so that the only copy of it in the program is the one the build stamped.
QByteArray VersionStamp(const QString& version);

// The running program's own file.
QString ProgramFilePath();

} // namespace dorv
