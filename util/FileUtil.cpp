#include "FileUtil.h"

#include "Clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace dorv {

namespace {
QString& programFolderOverride()
{
    static QString folder;
    return folder;
}

// The path in the file system's bytes without trailing separators: "link/" would make the system
// follow the link even where a call is asked not to.
QByteArray nativeNoSlash(const QString& path)
{
    QByteArray native = QFile::encodeName(path);
    while (native.size() > 1 && native.endsWith('/'))
        native.chop(1);
    return native;
}

bool ownFolder(const struct stat& st) { return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid(); }

// Retries a call that a signal interrupted.
template <typename Call>
auto retrying(Call call)
{
    decltype(call()) r;
    do
        r = call();
    while (r < 0 && errno == EINTR);
    return r;
}

// The temporary files of a ReplacingFile: ".<target's name>.<8 letters or digits>" beside it.
constexpr int TemporaryLetters = 8;
const char TemporaryAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";

QString temporaryPrefix(const QFileInfo& target) { return QStringLiteral(".") + target.fileName() + QLatin1Char('.'); }

bool isTemporaryOf(const QString& name, const QString& prefix)
{
    if (!name.startsWith(prefix) || name.size() != prefix.size() + TemporaryLetters)
        return false;
    for (qsizetype i = prefix.size(); i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')))
            return false;
    }
    return true;
}

// Removes the leftover temporary files of one target; see RemoveSaveLeftovers.
int removeTemporariesOf(const QString& target)
{
    const QFileInfo info(target);
    const QString prefix = temporaryPrefix(info);
    DIR* d = ::opendir(QFile::encodeName(info.absolutePath()).constData());
    if (!d)
        return 0;
    const int dir = ::dirfd(d);
    QList<QByteArray> names;
    while (dirent* e = ::readdir(d))
        if (isTemporaryOf(QFile::decodeName(e->d_name), prefix))
            names << QByteArray(e->d_name);
    int removed = 0;
    for (const QByteArray& name : std::as_const(names)) {
        // Opened without following a link and without waiting on a pipe: only a regular file of
        // the user's own is ours to remove, and only while no save holds its lock.
        const int fd =
            retrying([&] { return ::openat(dir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
        if (fd < 0)
            continue;
        struct stat opened {
        }, named{};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstatat(dir, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
            && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino
            && ::unlinkat(dir, name.constData(), 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(d);
    return removed;
}

QString writeError(const QString& path, int code)
{
    return QStringLiteral("Невозможно записать файл %1: %2").arg(path, SystemErrorText(code));
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

QString PrivateTempFolder() { return FindPrivateFolder().path; }

PrivateFolder FindPrivateFolder()
{
    // A database unpacked into a small memory file system would fill it: the runtime folder is
    // used only when it has room for one.
    constexpr qint64 NeededRoom = static_cast<qint64>(512) * 1024 * 1024;
    PrivateFolder found;
    // A folder of the program's name that is not the user's own real folder is passed over, and
    // the user hears of it: whatever lies there is not the user's to trust.
    auto tryFolder = [&found](const QString& folder) {
        struct stat st {};
        const bool there = ::lstat(nativeNoSlash(folder).constData(), &st) == 0;
        if (EnsureDirectory(folder, &found.wasOpen)) {
            found.path = folder + QLatin1Char('/');
            return true;
        }
        if (there)
            found.passedOver << folder;
        return false;
    };
    // The working folder keeps unsaved changes for the next start after a crash; only on a disk
    // do they outlive a power cut too. So the user's state folder comes first: a real folder of
    // the user's that nobody else may write into.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!state.startsWith(QLatin1Char('/'))) {
        const QString home = QDir::homePath();
        state = home.startsWith(QLatin1Char('/')) && home != QLatin1String("/") ? home + QStringLiteral("/.local/state")
                                                                                : QString();
    }
    if (!state.isEmpty()) {
        // Made private where missing, whatever the umask; an existing one may be open to the
        // user's own group, never to everyone. It is not passed over for want of room: unsaved
        // changes of an earlier run may be waiting there, and the opening says if room is short.
        QString made;
        for (const QString& part : QDir::cleanPath(state).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            made += QLatin1Char('/') + part;
            ::mkdir(QFile::encodeName(made).constData(), 0700);
        }
        struct stat st {};
        if (::lstat(nativeNoSlash(state).constData(), &st) == 0 && ownFolder(st) && (st.st_mode & 002) == 0
            && tryFolder(QFile::decodeName(nativeNoSlash(state)) + QStringLiteral("/dorvana")))
            return found;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(QLatin1Char('/'))) {
        struct stat st {};
        if (::lstat(nativeNoSlash(runtime).constData(), &st) == 0 && ownFolder(st) && (st.st_mode & 077) == 0
            && FreeSpace(runtime) >= NeededRoom
            && tryFolder(QFile::decodeName(nativeNoSlash(runtime)) + QStringLiteral("/dorvana")))
            return found;
    }
    const QString temp = GetTempDirectory();
    if (temp.isEmpty())
        return found;
    // The shared temporary folder is open to everyone: the name carries the user, and a folder
    // someone else put there under it is refused rather than used.
    tryFolder(temp + QStringLiteral("dorvana-%1").arg(::geteuid()));
    return found;
}

bool EnsureDirectory(const QString& path, bool* wasOpen)
{
    if (wasOpen)
        *wasOpen = false;
    if (path.isEmpty())
        return false;
    const QByteArray native = nativeNoSlash(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT || ::mkdir(native.constData(), 0700) != 0)
            return false;
    } else if (!ownFolder(st)) {
        return false;
    }
    // The mode is set through the folder itself, opened without following a link, so that a link
    // put in its place meanwhile is refused instead of its target being changed.
    const int fd =
        retrying([&] { return ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
    if (fd < 0)
        return false;
    struct stat opened {};
    const bool ok = ::fstat(fd, &opened) == 0 && ownFolder(opened) && ::fchmod(fd, 0700) == 0;
    if (ok && wasOpen)
        *wasOpen = (opened.st_mode & 022) != 0;
    ::close(fd);
    return ok;
}

bool ClearDirectory(const QString& path)
{
    const QByteArray native = nativeNoSlash(path);
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray parent = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : native.left(slash);
    const QByteArray name = native.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    // Everything below goes through descriptors of the folder opened once without following a
    // link: what is deleted is what was checked, even if the path is swapped meanwhile.
    const int parentFd = retrying([&] { return ::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (parentFd < 0)
        return false;
    const int fd =
        retrying([&] { return ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !ownFolder(st)) {
        if (fd >= 0)
            ::close(fd);
        ::close(parentFd);
        return false;
    }
    DIR* d = ::fdopendir(fd); // owns fd from here on
    if (!d) {
        ::close(fd);
        ::close(parentFd);
        return false;
    }
    // Names are gathered first: removing entries while the listing runs may skip some.
    QList<QByteArray> files;
    while (dirent* e = ::readdir(d)) {
        const QByteArray entry(e->d_name);
        if (entry == "." || entry == "..")
            continue;
        struct stat est {};
        if (::fstatat(::dirfd(d), e->d_name, &est, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(est.st_mode))
            files << entry;
    }
    // A link is removed as a link: unlinkat never looks at what it points to.
    for (const QByteArray& f : files)
        ::unlinkat(::dirfd(d), f.constData(), 0);
    ::closedir(d);
    const bool gone = ::unlinkat(parentFd, name.constData(), AT_REMOVEDIR) == 0;
    ::close(parentFd);
    return gone;
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

qint64 FreeSpace(const QString& path)
{
    struct statvfs v {};
    if (path.isEmpty() || ::statvfs(QFile::encodeName(path).constData(), &v) != 0)
        return -1;
    const unsigned long long frsize = v.f_frsize ? v.f_frsize : v.f_bsize;
    const unsigned long long blocks = v.f_bavail;
    if (frsize && blocks > static_cast<unsigned long long>(INT64_MAX) / frsize)
        return INT64_MAX;
    return static_cast<qint64>(blocks * frsize);
}

QString SystemErrorText(int code)
{
    switch (code) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("Недостаточно места на диске");
    case EACCES:
    case EPERM:
        return QStringLiteral("Нет прав доступа");
    case ENOENT:
        return QStringLiteral("Файл или папка не найдены");
    case ENOTDIR:
        return QStringLiteral("Часть пути не является папкой");
    case EISDIR:
        return QStringLiteral("Это папка, а не файл");
    case EEXIST:
        return QStringLiteral("Файл уже существует");
    case EROFS:
        return QStringLiteral("Диск доступен только для чтения");
    case EIO:
        return QStringLiteral("Ошибка ввода-вывода на диске");
    case ENOMEM:
        return QStringLiteral("Недостаточно памяти");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Открыто слишком много файлов");
    case ENAMETOOLONG:
        return QStringLiteral("Слишком длинное имя файла");
    case ELOOP:
        return QStringLiteral("Путь ведёт через символическую ссылку");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("Файл занят");
    case EXDEV:
        return QStringLiteral("Файлы находятся на разных дисках");
    case 0:
        // A call that failed without saying why: still say what kind of trouble it was.
        return QStringLiteral("Сбой чтения или записи на диске");
    default:
        return QStringLiteral("Системная ошибка № %1").arg(code);
    }
}

QString BackupPathFor(const QString& file)
{
    const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    // A dot that starts the name (".den") marks a hidden file, not an extension.
    const bool hasExtension = dot > slash + 1;
    return (hasExtension ? file.left(dot) : file) + QStringLiteral(".BAK");
}

bool ReplaceBackupCopy(const QString& file, QString* error)
{
    auto fail = [&](const QString& msg) {
        if (error)
            *error = msg;
        return false;
    };
    const QString backup = BackupPathFor(file);
    if (QFileInfo(file).absoluteFilePath() == QFileInfo(backup).absoluteFilePath())
        return true;
    const QByteArray source = QFile::encodeName(file);
    const int in = retrying([&] { return ::open(source.constData(), O_RDONLY | O_CLOEXEC); });
    if (in < 0)
        return fail(QStringLiteral("Невозможно прочитать файл %1: %2").arg(file, SystemErrorText(errno)));
    struct stat inSt {
    }, backupSt{};
    const bool known = ::fstat(in, &inSt) == 0;
    // The backup path may name the file itself through a link: copying it "over itself" is a no-op.
    if (known && ::stat(QFile::encodeName(backup).constData(), &backupSt) == 0 && inSt.st_dev == backupSt.st_dev
        && inSt.st_ino == backupSt.st_ino) {
        ::close(in);
        return true;
    }
    ReplacingFile out(backup);
    QString msg;
    bool ok = out.open(&msg);
    if (ok && known)
        ::fchmod(out.handle(), inSt.st_mode & 0777); // a copy allows what the file allows
    constexpr size_t Chunk = 256 * 1024;
    const std::unique_ptr<char[]> buf = ok ? std::make_unique<char[]>(Chunk) : nullptr;
    while (ok) {
        const ssize_t got = retrying([&] { return ::read(in, buf.get(), Chunk); });
        if (got < 0) {
            msg = QStringLiteral("Невозможно прочитать файл %1: %2").arg(file, SystemErrorText(errno));
            ok = false;
        } else if (got == 0) {
            break;
        } else {
            ok = out.write(buf.get(), got, &msg);
        }
    }
    ::close(in);
    if (ok)
        ok = out.finish(true, &msg) && out.replace(true, &msg);
    return ok || fail(msg);
}

QString MoveAside(const QString& path, const QString& tag, QString* error)
{
    const QByteArray from = nativeNoSlash(path);
    const QString base = QFile::decodeName(from) + tag + Clock::now().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    int code = EEXIST;
    for (int n = 1; n <= 1000 && code == EEXIST; ++n) {
        const QString aside = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
        const QByteArray to = QFile::encodeName(aside);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            return aside;
        code = errno;
        if (code == EINVAL || code == ENOSYS) {
            // A file system that cannot refuse to replace by itself: the name is looked at first.
            // The folders renamed here are the user's private ones, where nobody else makes names.
            struct stat st {};
            if (::lstat(to.constData(), &st) == 0) {
                code = EEXIST;
            } else if (::rename(from.constData(), to.constData()) == 0) {
                return aside;
            } else {
                code = errno;
            }
        }
    }
    if (error)
        *error = SystemErrorText(code);
    return {};
}

bool IsReadOnlyFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (::geteuid() == 0)
        return (st.st_mode & 0222) == 0;
    // A read-only disk is not the file's own protection: the save says so when it fails.
    return ::access(native.constData(), W_OK) != 0 && errno == EACCES;
}

QString RoomText(quint64 needed, quint64 available)
{
    struct Unit {
        quint64 size;
        const char* name;
    };
    static constexpr Unit Units[] = {{1024 * 1024, "МБ"}, {1024, "КБ"}, {1, "байт"}};
    for (const Unit& u : Units) {
        const quint64 n = needed / u.size + (needed % u.size != 0);
        const quint64 a = available / u.size + (available % u.size != 0);
        if (n != a || u.size == 1)
            return QStringLiteral("нужно %1 %3, свободно %2 %3").arg(n).arg(a).arg(QString::fromUtf8(u.name));
    }
    return {};
}

int RemoveSaveLeftovers(const QString& dataFile)
{
    if (dataFile.isEmpty())
        return 0;
    const QFileInfo info(dataFile);
    // A data file reached through a link is written where it really is; its backup copy beside
    // the name the user chose.
    const QString real = info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    int removed = removeTemporariesOf(real);
    const QString backup = BackupPathFor(info.absoluteFilePath());
    if (backup != real)
        removed += removeTemporariesOf(backup);
    return removed;
}

ReplacingFile::ReplacingFile(const QString& target) : m_target(target) {}

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::open(QString* error)
{
    discard();
    const QFileInfo fi(m_target);
    struct stat st {};
    const bool exists = ::stat(QFile::encodeName(m_target).constData(), &st) == 0 && S_ISREG(st.st_mode);
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString suffix;
        for (int i = 0; i < TemporaryLetters; ++i)
            suffix += QLatin1Char(
                TemporaryAlphabet[QRandomGenerator::global()->bounded(static_cast<int>(sizeof TemporaryAlphabet) - 1)]);
        const QString temp = fi.absolutePath() + QLatin1Char('/') + temporaryPrefix(fi) + suffix;
        const QByteArray native = QFile::encodeName(temp);
        // A household's records are the user's alone: a new file is readable by nobody else. A file
        // that already exists keeps what the user allowed on it.
        const int fd = retrying(
            [&] { return ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600); });
        if (fd >= 0) {
            m_fd = fd;
            m_temp = temp;
            m_finished = false;
            // Locked for as long as this object has it, through a descriptor of its own that
            // outlives the writing one: a save cut off leaves a file nobody locks.
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
                m_lockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            // The new file keeps what the user allowed on the old one.
            if (exists)
                ::fchmod(fd, st.st_mode & 0777);
            return true;
        }
        if (errno != EEXIST) {
            if (error)
                *error = writeError(m_target, errno);
            return false;
        }
    }
    if (error)
        *error = writeError(m_target, EEXIST);
    return false;
}

bool ReplacingFile::write(const char* data, qint64 size, QString* error)
{
    if (m_fd < 0) {
        if (error)
            *error = writeError(m_target, EBADF);
        return false;
    }
    while (size > 0) {
        const ssize_t put = retrying([&] { return ::write(m_fd, data, static_cast<size_t>(size)); });
        if (put <= 0) {
            // A write that takes nothing without an error still means the disk took no more.
            if (error)
                *error = writeError(m_target, put < 0 ? errno : ENOSPC);
            return false;
        }
        data += put;
        size -= put;
    }
    return true;
}

bool ReplacingFile::rewind(QString* error)
{
    if (m_fd < 0 || ::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) {
        if (error)
            *error = writeError(m_target, m_fd < 0 ? EBADF : errno);
        return false;
    }
    return true;
}

bool ReplacingFile::finish(bool sync, QString* error)
{
    if (m_fd < 0) {
        if (error)
            *error = writeError(m_target, EBADF);
        return false;
    }
    int code = 0;
    if (sync && retrying([&] { return ::fsync(m_fd); }) != 0)
        code = errno;
    // close is not retried: on Linux the descriptor is gone even when it reports EINTR.
    if (::close(m_fd) != 0 && code == 0)
        code = errno;
    m_fd = -1;
    if (code != 0) {
        if (error)
            *error = writeError(m_target, code);
        return false;
    }
    m_finished = true;
    return true;
}

bool ReplacingFile::replace(bool sync, QString* error)
{
    if (!m_finished || m_temp.isEmpty()) {
        if (error)
            *error = writeError(m_target, EBADF);
        return false;
    }
    if (::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_target).constData()) != 0) {
        const int code = errno;
        discard();
        if (error)
            *error = writeError(m_target, code);
        return false;
    }
    m_temp.clear();
    m_finished = false;
    releaseLock();
    if (!sync)
        return true;
    const QByteArray folder = QFile::encodeName(QFileInfo(m_target).absolutePath());
    const int fd = retrying([&] { return ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    int code = fd < 0 ? errno : 0;
    if (fd >= 0) {
        // Some file systems cannot force a folder to disk and say so with EINVAL: nothing to do there.
        if (retrying([&] { return ::fsync(fd); }) != 0 && errno != EINVAL)
            code = errno;
        ::close(fd);
    }
    if (code != 0) {
        if (error)
            *error = writeError(m_target, code);
        return false;
    }
    return true;
}

void ReplacingFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temp.isEmpty())
        ::unlink(QFile::encodeName(m_temp).constData());
    m_temp.clear();
    m_finished = false;
    releaseLock();
}

void ReplacingFile::releaseLock()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    m_lockFd = -1;
}

} // namespace dorv
