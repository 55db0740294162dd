#include "FileUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <dirent.h>
#include <sys/stat.h>

namespace dorv {

namespace {
QString& programFolderOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QString GetTempDirectory()
{
    QString t = QDir::tempPath();
    if (t.isEmpty() || !QFileInfo(t).isDir())
        return {};
    if (!t.endsWith(QLatin1Char('/')))
        t += QLatin1Char('/');
    return t;
}

bool EnsureDirectory(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        if (::mkdir(native.constData(), 0700) != 0)
            return false;
    } else if (!S_ISDIR(st.st_mode)) {
        return false;
    }
    return ::chmod(native.constData(), 0700) == 0;
}

bool ClearDirectory(const QString& path)
{
    QDir dir(path);
    if (!dir.exists())
        return false;
    const auto files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& f : files) {
        QFile file(f.absoluteFilePath());
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
        file.remove();
    }
    return QDir().rmdir(path);
}

QString ProgramFolder()
{
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    return QCoreApplication::applicationDirPath();
}

void SetProgramFolder(const QString& folder) { programFolderOverride() = folder; }

QString FindBesideExecutable(const QString& mask)
{
    const QString folder = ProgramFolder();
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(mask),
                                QRegularExpression::CaseInsensitiveOption);
    // readdir gives the file system's own order, which is what "first" means here.
    DIR* d = ::opendir(QFile::encodeName(folder).constData());
    if (!d)
        return {};
    QString found;
    while (dirent* e = ::readdir(d)) {
        const QString name = QFile::decodeName(e->d_name);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        if (re.match(name).hasMatch()) {
            found = QDir(folder).absoluteFilePath(name);
            break;
        }
    }
    ::closedir(d);
    return found;
}

} // namespace dorv
