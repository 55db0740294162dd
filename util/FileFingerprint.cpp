#include "FileFingerprint.h"

#include "FileUtil.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dorv {

namespace {

constexpr qint64 Chunk = 64 * 1024;

struct State {
    bool exists = false;
    int error = 0; // errno of the failure to read, 0 when read
    qint64 size = -1;
    qint64 mtimeNs = -1;
    QByteArray hash;
};

// Read from one open descriptor, so that the size, the time and the hash describe the same file
// even when another program renames a new one into its place meanwhile.
// A size other than sizeToHash (when not -1) is told without reading the content.
State stateOf(const QString& path, qint64 sizeToHash = -1)
{
    State s;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        s.error = errno;
        s.exists = errno != ENOENT && errno != ENOTDIR;
        return s;
    }
    s.exists = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        s.error = S_ISDIR(st.st_mode) ? EISDIR : errno != 0 ? errno : EINVAL;
        ::close(fd);
        return s;
    }
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (sizeToHash >= 0 && s.size != sizeToHash) {
        ::close(fd);
        return s;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto buf = std::make_unique<char[]>(Chunk);
    for (;;) {
        const ssize_t got = ::read(fd, buf.get(), Chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            s.error = errno;
            ::close(fd);
            return s;
        }
        if (got == 0)
            break;
        hash.addData(QByteArrayView(buf.get(), got));
    }
    ::close(fd);
    s.hash = hash.result();
    return s;
}

} // namespace

FileFingerprint FileFingerprint::of(const QString& path)
{
    const State s = stateOf(path);
    FileFingerprint f;
    if (s.error != 0 || !s.exists)
        return f;
    f.m_size = s.size;
    f.m_mtimeNs = s.mtimeNs;
    f.m_hash = s.hash;
    return f;
}

FileFingerprint::Change FileFingerprint::compare(const QString& path, QString* reason) const
{
    const State s = stateOf(path, m_size);
    if (!s.exists)
        return Change::Vanished;
    if (s.error != 0) {
        if (reason)
            *reason = SystemErrorText(s.error);
        return Change::Unreadable;
    }
    // The content decides: a file touched but not changed is the same, and one rewritten with its
    // size and time kept (as sync services do) is not. The time alone proves nothing either way.
    return s.size == m_size && s.hash == m_hash ? Change::Same : Change::Changed;
}

QByteArray FileFingerprint::toText() const
{
    if (!known())
        return {};
    return QByteArray::number(m_size) + ' ' + QByteArray::number(m_mtimeNs) + ' ' + m_hash.toHex();
}

FileFingerprint FileFingerprint::fromText(const QByteArray& text)
{
    FileFingerprint f;
    const QList<QByteArray> parts = text.trimmed().split(' ');
    if (parts.size() != 3)
        return f;
    bool sizeOk = false, timeOk = false;
    const qint64 size = parts[0].toLongLong(&sizeOk);
    const qint64 time = parts[1].toLongLong(&timeOk);
    const QByteArray hash = QByteArray::fromHex(parts[2]);
    if (!sizeOk || !timeOk || size < 0 || hash.size() != 32)
        return f;
    f.m_size = size;
    f.m_mtimeNs = time;
    f.m_hash = hash;
    return f;
}

} // namespace dorv
