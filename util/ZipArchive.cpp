#include "ZipArchive.h"

#include "FileUtil.h"
#include "Win1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include <unistd.h>

namespace dorv {

namespace {

// Every entry is moved through a buffer of this size: memory stays the same whatever the size of
// the data (the database alone can be over a hundred megabytes).
constexpr qsizetype Chunk = 64 * 1024;

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

struct EntryCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using EntryPtr = std::unique_ptr<zip_file_t, EntryCloser>;

// libzip's own texts are English and, for some failures, "No error": the user gets a Russian one
// that says what kind of damage it is.
QString zipDetail(const zip_error_t* e)
{
    const int sys = zip_error_code_system(e);
    const bool system = zip_error_system_type(e) == ZIP_ET_SYS && sys != 0;
    switch (zip_error_code_zip(e)) {
    case ZIP_ER_NOZIP:
        return QStringLiteral("в нём нет оглавления архива ZIP");
    case ZIP_ER_INCONS:
        return QStringLiteral("части архива противоречат друг другу");
    case ZIP_ER_CRC:
        return QStringLiteral("контрольная сумма данных не сходится");
    case ZIP_ER_EOF:
        return QStringLiteral("файл обрывается раньше конца архива");
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA:
        return QStringLiteral("сжатые данные испорчены");
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("неизвестный способ сжатия");
    case ZIP_ER_ENCRNOTSUPP:
        return QStringLiteral("неизвестный способ шифрования");
    case ZIP_ER_MULTIDISK:
        return QStringLiteral("многотомные архивы не поддерживаются");
    case ZIP_ER_MEMORY:
        return QStringLiteral("недостаточно памяти");
    case ZIP_ER_NOENT:
        return QStringLiteral("файл не найден");
    case ZIP_ER_WRONGPASSWD:
        return QStringLiteral("неверный пароль");
    case ZIP_ER_NOPASSWD:
        return QStringLiteral("нужен пароль");
    default:
        return system ? SystemErrorText(sys) : QStringLiteral("архив не читается");
    }
}

bool isSystemFailure(const zip_error_t* e)
{
    return zip_error_system_type(e) == ZIP_ET_SYS && zip_error_code_system(e) != 0;
}

// Where an archive came from, for messages: its file, or nothing for one held in memory.
QString damaged(const QString& path, const QString& detail)
{
    if (path.isEmpty())
        return QStringLiteral("Архив данных в памяти повреждён: %1").arg(detail);
    return QStringLiteral("Файл %1 не является архивом данных или повреждён: %2").arg(path, detail);
}

bool isAes(zip_uint16_t method)
{
    return method == ZIP_EM_AES_128 || method == ZIP_EM_AES_192 || method == ZIP_EM_AES_256;
}

QString encryptedOtherwise(const QString& path, const QString& entry)
{
    const QString what = path.isEmpty() ? QStringLiteral("Архив данных в памяти") : QStringLiteral("Файл %1").arg(path);
    return QStringLiteral("%1 зашифрован неизвестным способом, а программа читает только архивы, зашифрованные "
                          "способом AES или обычным шифрованием ZIP (запись «%2»)")
        .arg(what, entry);
}

QString archiveError(const QString& path, const zip_error_t* e)
{
    // A file that cannot be read at all is not called damaged: the disk or the rights are at fault.
    if (!path.isEmpty() && zip_error_code_zip(e) == ZIP_ER_NOENT)
        return QStringLiteral("Невозможно открыть файл %1: %2").arg(path, SystemErrorText(ENOENT));
    if (!path.isEmpty() && isSystemFailure(e))
        return QStringLiteral("Невозможно прочитать файл %1: %2").arg(path, SystemErrorText(zip_error_code_system(e)));
    return damaged(path, zipDetail(e));
}

ZipPtr openFile(const QString& path, QString* error)
{
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* src = zip_source_file_create(QFile::encodeName(path).constData(), 0, 0, &err);
    zip_t* z = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &err) : nullptr;
    if (!z) {
        if (src)
            zip_source_free(src);
        if (error)
            *error = archiveError(path, &err);
    }
    zip_error_fini(&err);
    return ZipPtr(z);
}

ZipPtr openData(const QByteArray& data, QString* error)
{
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* src = zip_source_buffer_create(data.constData(), static_cast<zip_uint64_t>(data.size()), 0, &err);
    zip_t* z = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &err) : nullptr;
    if (!z) {
        if (src)
            zip_source_free(src);
        if (error)
            *error = archiveError(QString(), &err);
    }
    zip_error_fini(&err);
    return ZipPtr(z);
}

struct Item {
    QString name;
    bool encrypted = false;
    bool aes = false;      // else the traditional way, whose wrong password looks like damage
    zip_uint64_t size = 0; // as the archive declares it
};

bool readItems(zip_t* z, const QString& path, QList<Item>* items, QString* error)
{
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            if (error)
                *error = archiveError(path, zip_get_error(z));
            return false;
        }
        Item e;
        e.name = QString::fromUtf8(st.name);
        e.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        // Data files are encrypted with AES, those of earlier versions the traditional way. Any
        // other way (the strong encryption a damaged header may claim) is refused before any
        // password is asked: it is not damage, and libzip must never be asked to open such an
        // entry (on some it loses the memory of the whole archive).
        if (e.encrypted && st.encryption_method != ZIP_EM_TRAD_PKWARE && !isAes(st.encryption_method)) {
            if (error)
                *error = encryptedOtherwise(path, e.name);
            return false;
        }
        e.aes = e.encrypted && isAes(st.encryption_method);
        e.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        items->append(e);
    }
    return true;
}

bool listOpen(zip_t* z, const QString& path, QList<ZipArchive::Entry>* entries, QString* error)
{
    QList<Item> items;
    if (!readItems(z, path, &items, error))
        return false;
    for (const Item& i : items)
        entries->append({i.name, i.encrypted});
    return true;
}

// Entry names are stored as given; a name that could reach outside the folder is never accepted.
bool safeEntryName(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))
        || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1String(".."))
        || name.contains(QLatin1Char(':')) || name.contains(QChar(0)))
        return false;
    return true;
}

// The room on the disk that will hold folder, which may not exist yet.
qint64 roomFor(const QString& folder)
{
    QString p = QFileInfo(folder).absoluteFilePath();
    while (!QFileInfo::exists(p)) {
        const QString up = QFileInfo(p).absolutePath();
        if (up == p)
            return -1;
        p = up;
    }
    return FreeSpace(p);
}

enum class Outcome { Done, WrongPassword, Failed };

// Inflates entry i straight into out, never past the size the archive declares for it.
Outcome inflateEntry(zip_t* z, int i, const Item& e, const char* password, ReplacingFile& out, char* buf,
                     const QString& path, QString* msg)
{
    // No password is a wrong one; libzip refuses an empty AES password as an invalid argument.
    if (e.encrypted && (!password || !*password))
        return Outcome::WrongPassword;
    EntryPtr f(zip_fopen_index_encrypted(z, static_cast<zip_uint64_t>(i), 0, password));
    if (!f) {
        const int code = zip_error_code_zip(zip_get_error(z));
        if (e.encrypted && (code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_NOPASSWD))
            return Outcome::WrongPassword;
        *msg = archiveError(path, zip_get_error(z));
        return Outcome::Failed;
    }
    zip_uint64_t total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(f.get(), buf, Chunk);
        if (got < 0) {
            const zip_error_t* fe = zip_file_get_error(f.get());
            // A wrong password passes the traditional one-byte header check now and then; its data
            // then fails to inflate or to match the checksum. AES checks the password apart from
            // the data (a two-byte verifier) and the data apart from the password (its
            // authentication code): data failing after the password passed is damage. A disk that
            // cannot be read is another matter.
            if (e.encrypted && !e.aes && !isSystemFailure(fe))
                return Outcome::WrongPassword;
            *msg = isSystemFailure(fe) ? archiveError(path, fe)
                                       : damaged(path, QStringLiteral("«%1»: %2").arg(e.name, zipDetail(fe)));
            return Outcome::Failed;
        }
        if (got == 0)
            break;
        const auto size = static_cast<zip_uint64_t>(got);
        if (size > e.size - total) {
            // More than declared is damage (or a trap that would fill the disk): stop before
            // writing any of it. Garbage from a wrong password can run long too.
            if (e.encrypted && !e.aes)
                return Outcome::WrongPassword;
            *msg = damaged(path, QStringLiteral("в «%1» данных больше, чем заявлено в оглавлении").arg(e.name));
            return Outcome::Failed;
        }
        if (!out.write(buf, got, msg))
            return Outcome::Failed;
        total += size;
    }
    if (total != e.size) {
        if (e.encrypted && !e.aes)
            return Outcome::WrongPassword;
        *msg = damaged(path, QStringLiteral("в «%1» данных меньше, чем заявлено в оглавлении").arg(e.name));
        return Outcome::Failed;
    }
    return Outcome::Done;
}

int unpackOpen(zip_t* z, const QString& path, const QString& folder, const QString& password,
               const ZipArchive::BadPassword& bad, QString* error)
{
    auto fail = [&](const QString& msg) {
        if (error)
            *error = msg;
        return -1;
    };
    QList<Item> items;
    if (!readItems(z, path, &items, error))
        return -1;
    zip_uint64_t total = 0;
    for (const Item& e : items) {
        if (!safeEntryName(e.name))
            return fail(damaged(path, QStringLiteral("недопустимое имя «%1»").arg(e.name)));
        total = e.size > ~zip_uint64_t{0} - total ? ~zip_uint64_t{0} : total + e.size;
    }
    const qint64 room = roomFor(folder);
    if (room >= 0 && total > static_cast<zip_uint64_t>(room)) {
        const QString what = path.isEmpty() ? QStringLiteral("архив данных") : QStringLiteral("файл %1").arg(path);
        return fail(QStringLiteral("Невозможно распаковать %1 в папку %2: Недостаточно места на диске (%3)")
                        .arg(what, folder, RoomText(total, static_cast<quint64>(room))));
    }

    // The program writes its password in Windows-1251 bytes, as every text of its files; files
    // of earlier versions used UTF-8 bytes and are still opened with the same password.
    QList<QByteArray> passwords;
    bool fits = false;
    const QByteArray cp1251 = toWin1251(password, &fits);
    if (fits)
        passwords << cp1251;
    const QByteArray utf8 = password.toUtf8();
    if (!fits || utf8 != cp1251)
        passwords << utf8;

    const auto buf = std::make_unique<char[]>(Chunk);
    int written = 0;
    for (int i = 0; i < items.size(); ++i) {
        const Item& e = items[i];
        // What saving never packs (a lock, a note, a journal) is never unpacked either: another
        // file's note beside these tables would speak for the wrong data.
        if (!ZipArchive::packable(e.name))
            continue;
        ReplacingFile out(QDir(folder).filePath(e.name));
        QString msg;
        if (!out.open(&msg))
            return fail(msg);
        bool done = false;
        const qsizetype tries = e.encrypted ? passwords.size() : 1;
        for (qsizetype t = 0; t < tries && !done; ++t) {
            if (t > 0 && !out.rewind(&msg))
                return fail(msg);
            const char* pw = e.encrypted ? passwords[t].constData() : nullptr;
            switch (inflateEntry(z, i, e, pw, out, buf.get(), path, &msg)) {
            case Outcome::Done:
                done = true;
                break;
            case Outcome::WrongPassword:
                break;
            case Outcome::Failed:
                return fail(msg);
            }
        }
        if (!done) {
            out.discard();
            if (bad)
                bad(i);
            continue;
        }
        // The working folder is scratch space, remade from the data file whenever it is lost:
        // forcing every file to the disk would only slow the opening.
        if (!out.finish(false, &msg) || !out.replace(false, &msg))
            return fail(msg);
        ++written;
    }
    return written;
}

// The written archive goes through this libzip source straight into the temporary file: nothing
// of it is held in memory, and the first failing write is kept in words for the user.
struct Sink {
    ReplacingFile* file = nullptr;
    zip_error_t error;
    QString failure;
    zip_uint64_t offset = 0;
    zip_uint64_t size = 0;
};

constexpr zip_int64_t commandBit(zip_source_cmd_t cmd) { return zip_int64_t{1} << cmd; }

zip_int64_t sinkCallback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd)
{
    Sink& s = *static_cast<Sink*>(userdata);
    switch (cmd) {
    case ZIP_SOURCE_SUPPORTS: {
        zip_int64_t bits = 0;
        for (zip_source_cmd_t c :
             {ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
              ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS, ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_COMMIT_WRITE,
              ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE,
              ZIP_SOURCE_REMOVE})
            bits |= commandBit(c);
        return bits;
    }
    // The reading side is an empty archive: the new one is always written whole.
    case ZIP_SOURCE_OPEN:
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_READ:
    case ZIP_SOURCE_SEEK:
    case ZIP_SOURCE_TELL:
    case ZIP_SOURCE_FREE:
    // The temporary file is made, forced to disk and put in place by its owner.
    case ZIP_SOURCE_BEGIN_WRITE:
    case ZIP_SOURCE_COMMIT_WRITE:
    case ZIP_SOURCE_ROLLBACK_WRITE:
    case ZIP_SOURCE_REMOVE:
        return 0;
    case ZIP_SOURCE_STAT: {
        if (len < sizeof(zip_stat_t)) {
            zip_error_set(&s.error, ZIP_ER_INVAL, 0);
            return -1;
        }
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = 0;
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&s.error, data, len);
    case ZIP_SOURCE_WRITE: {
        QString msg;
        if (!s.file->write(static_cast<const char*>(data), static_cast<qint64>(len), &msg)) {
            if (s.failure.isEmpty())
                s.failure = msg;
            zip_error_set(&s.error, ZIP_ER_WRITE, 0);
            return -1;
        }
        s.offset += len;
        if (s.offset > s.size)
            s.size = s.offset;
        return static_cast<zip_int64_t>(len);
    }
    case ZIP_SOURCE_SEEK_WRITE: {
        if (len < sizeof(zip_source_args_seek_t)) {
            zip_error_set(&s.error, ZIP_ER_INVAL, 0);
            return -1;
        }
        const auto* args = static_cast<const zip_source_args_seek_t*>(data);
        zip_int64_t base = 0;
        if (args->whence == SEEK_CUR)
            base = static_cast<zip_int64_t>(s.offset);
        else if (args->whence == SEEK_END)
            base = static_cast<zip_int64_t>(s.size);
        else if (args->whence != SEEK_SET) {
            zip_error_set(&s.error, ZIP_ER_INVAL, 0);
            return -1;
        }
        const zip_int64_t to = base + args->offset;
        if (to < 0) {
            zip_error_set(&s.error, ZIP_ER_INVAL, 0);
            return -1;
        }
        if (::lseek(s.file->handle(), static_cast<off_t>(to), SEEK_SET) < 0) {
            zip_error_set(&s.error, ZIP_ER_SEEK, errno);
            return -1;
        }
        s.offset = static_cast<zip_uint64_t>(to);
        return 0;
    }
    case ZIP_SOURCE_TELL_WRITE:
        return static_cast<zip_int64_t>(s.offset);
    default:
        zip_error_set(&s.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

// Reads exactly size bytes unless the file ends first.
qint64 readFully(QFile& f, char* buf, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 got = f.read(buf + done, size - done);
        if (got <= 0)
            return got < 0 ? -1 : done;
        done += got;
    }
    return done;
}

// Opens the archive just written, from the disk, and compares every entry piece by piece with the
// file it came from. Empty text when all is the same, else what differs.
QString verifyWritten(const QString& archive, const QList<QFileInfo>& files, const QByteArray& password)
{
    QString openError;
    ZipPtr z = openFile(archive, &openError);
    if (!z)
        return openError;
    if (zip_get_num_entries(z.get(), 0) != files.size())
        return QStringLiteral("в архиве не то число файлов");
    const auto a = std::make_unique<char[]>(Chunk);
    const auto b = std::make_unique<char[]>(Chunk);
    for (int i = 0; i < files.size(); ++i) {
        const QString name = files[i].fileName();
        const char* stored = zip_get_name(z.get(), static_cast<zip_uint64_t>(i), 0);
        if (!stored || QString::fromUtf8(stored) != name)
            return QStringLiteral("файл %1 записан под другим именем").arg(name);
        EntryPtr f(zip_fopen_index_encrypted(z.get(), static_cast<zip_uint64_t>(i), 0,
                                             password.isEmpty() ? nullptr : password.constData()));
        QFile src(files[i].absoluteFilePath());
        if (!f || !src.open(QIODevice::ReadOnly))
            return QStringLiteral("файл %1 не читается").arg(name);
        for (;;) {
            const zip_int64_t got = zip_fread(f.get(), a.get(), Chunk);
            if (got < 0)
                return QStringLiteral("файл %1 не читается: %2").arg(name, zipDetail(zip_file_get_error(f.get())));
            if (got == 0) {
                if (readFully(src, b.get(), 1) != 0)
                    return QStringLiteral("файл %1 записан не полностью").arg(name);
                break;
            }
            if (readFully(src, b.get(), got) != got || std::memcmp(a.get(), b.get(), static_cast<size_t>(got)) != 0)
                return QStringLiteral("файл %1 записан неверно").arg(name);
        }
    }
    return {};
}

int packFolder(const QString& folder, const QString& path, const QString& password, QString* error)
{
    auto fail = [&](const QString& msg) {
        if (error)
            *error = msg;
        return -1;
    };
    QByteArray pw;
    if (!password.isEmpty()) {
        bool fits = false;
        pw = toWin1251(password, &fits);
        if (!fits)
            return fail(QStringLiteral("Пароль содержит знак «%1», которого нет в кодировке Windows-1251: "
                                       "такой пароль нельзя записать в файл данных. Выберите другой пароль.")
                            .arg(password.at(firstNonWin1251(password))));
    }
    QList<QFileInfo> files;
    for (const QFileInfo& fi : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
        if (ZipArchive::packable(fi.fileName()))
            files << fi;
    if (files.isEmpty())
        return 0;

    // A data file reached through a link is replaced where it really is, and the link stays.
    const QFileInfo targetInfo(path);
    const QString target = targetInfo.isSymLink() && targetInfo.exists() ? targetInfo.canonicalFilePath() : path;

    // Declared in this order so that the archive (whose sources use the sink) goes first and the
    // temporary file, removed unless it replaced the target, last.
    ReplacingFile out(target);
    QString msg;
    if (!out.open(&msg))
        return fail(msg);
    Sink sink;
    sink.file = &out;
    zip_error_init(&sink.error);
    struct ErrorFini {
        zip_error_t* e;
        ~ErrorFini() { zip_error_fini(e); }
    } sinkErrorFini{&sink.error};

    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_source_t* sinkSource = zip_source_function_create(sinkCallback, &sink, &zerr);
    ZipPtr z(sinkSource ? zip_open_from_source(sinkSource, ZIP_CREATE | ZIP_TRUNCATE, &zerr) : nullptr);
    if (!z) {
        if (sinkSource)
            zip_source_free(sinkSource);
        msg = QStringLiteral("Невозможно создать архив %1: %2").arg(path, zipDetail(&zerr));
        zip_error_fini(&zerr);
        return fail(msg);
    }
    zip_error_fini(&zerr);

    for (const QFileInfo& fi : files) {
        // Each file is read from the disk by libzip only while it is being deflated.
        zip_error_t ferr;
        zip_error_init(&ferr);
        zip_source_t* s = zip_source_file_create(QFile::encodeName(fi.absoluteFilePath()).constData(), 0, 0, &ferr);
        if (!s) {
            msg = QStringLiteral("Невозможно прочитать файл %1: %2").arg(fi.absoluteFilePath(), zipDetail(&ferr));
            zip_error_fini(&ferr);
            return fail(msg);
        }
        zip_error_fini(&ferr);
        const QByteArray name = fi.fileName().toUtf8();
        const zip_int64_t idx = zip_file_add(z.get(), name.constData(), s, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (idx < 0)
            zip_source_free(s);
        if (idx < 0 || zip_set_file_compression(z.get(), static_cast<zip_uint64_t>(idx), ZIP_CM_DEFLATE, 1) != 0
            || (!pw.isEmpty()
                && zip_file_set_encryption(z.get(), static_cast<zip_uint64_t>(idx), ZIP_EM_AES_256, pw.constData())
                       != 0))
            return fail(QStringLiteral("Невозможно упаковать файл %1: %2")
                            .arg(fi.fileName(), zipDetail(zip_get_error(z.get()))));
    }
    if (zip_close(z.get()) != 0) {
        if (!sink.failure.isEmpty())
            return fail(sink.failure);
        const zip_error_t* e = zip_get_error(z.get());
        return fail(QStringLiteral("Невозможно упаковать данные в файл %1: %2").arg(path, zipDetail(e)));
    }
    static_cast<void>(z.release()); // zip_close has freed it
    if (!out.finish(true, &msg))
        return fail(msg);

    // Read the new archive back from the disk before it replaces anything.
    const QString wrong = verifyWritten(out.temporaryPath(), files, pw);
    if (!wrong.isEmpty())
        return fail(
            QStringLiteral("Новый архив %1 не прошёл проверку (%2); прежний файл оставлен как был").arg(path, wrong));
    if (!out.replace(true, &msg))
        return fail(msg);
    return static_cast<int>(files.size());
}

// No failure of any kind, running out of memory included, may leave these functions as an
// exception: the callers expect a result and a message.
template <typename Result, typename Work>
Result guarded(const QString& path, QString* error, Result failed, Work work)
{
    const QString where = path.isEmpty() ? QStringLiteral("архивом данных") : QStringLiteral("файлом %1").arg(path);
    try {
        return work();
    } catch (const std::bad_alloc&) {
        if (error)
            *error = QStringLiteral("Недостаточно памяти для работы с %1").arg(where);
    } catch (...) {
        if (error)
            *error = QStringLiteral("Непредвиденный сбой при работе с %1").arg(where);
    }
    return failed;
}

} // namespace

bool ZipArchive::list(const QString& path, QList<Entry>* entries, QString* error)
{
    return guarded(path, error, false, [&] {
        ZipPtr z = openFile(path, error);
        return z && listOpen(z.get(), path, entries, error);
    });
}

bool ZipArchive::listData(const QByteArray& data, QList<Entry>* entries, QString* error)
{
    return guarded(QString(), error, false, [&] {
        ZipPtr z = openData(data, error);
        return z && listOpen(z.get(), QString(), entries, error);
    });
}

int ZipArchive::unpack(const QString& path, const QString& folder, const QString& password,
                       const BadPassword& badPassword, QString* error)
{
    return guarded(path, error, -1, [&] {
        ZipPtr z = openFile(path, error);
        return z ? unpackOpen(z.get(), path, folder, password, badPassword, error) : -1;
    });
}

int ZipArchive::unpackData(const QByteArray& data, const QString& folder, const QString& password,
                           const BadPassword& badPassword, QString* error)
{
    return guarded(QString(), error, -1, [&] {
        ZipPtr z = openData(data, error);
        return z ? unpackOpen(z.get(), QString(), folder, password, badPassword, error) : -1;
    });
}

bool ZipArchive::passwordOpens(const QString& path, const QString& password)
{
    QString error;
    return guarded(path, &error, false, [&] {
        ZipPtr z = openFile(path, &error);
        QList<Item> items;
        if (!z || !readItems(z.get(), path, &items, &error))
            return false;
        bool fits = false;
        const QByteArray cp1251 = toWin1251(password, &fits);
        QList<QByteArray> passwords;
        if (fits)
            passwords << cp1251;
        passwords << password.toUtf8();
        const auto buf = std::make_unique<char[]>(Chunk);
        for (int i = 0; i < items.size(); ++i) {
            if (!items[i].encrypted)
                continue;
            // The one-byte header check lets a wrong password through now and then; the data
            // that follows then fails to inflate within its first few blocks.
            for (const QByteArray& pw : std::as_const(passwords)) {
                EntryPtr f(zip_fopen_index_encrypted(z.get(), static_cast<zip_uint64_t>(i), 0, pw.constData()));
                if (!f)
                    continue;
                zip_uint64_t total = 0;
                bool failed = false;
                while (total < static_cast<zip_uint64_t>(4 * Chunk) && total < items[i].size) {
                    const zip_int64_t got = zip_fread(f.get(), buf.get(), Chunk);
                    if (got < 0) {
                        failed = true;
                        break;
                    }
                    if (got == 0)
                        break;
                    total += static_cast<zip_uint64_t>(got);
                }
                if (!failed)
                    return true;
            }
            return false;
        }
        return true;
    });
}

bool ZipArchive::packable(const QString& name)
{
    const QString lower = name.toLower();
    return !lower.endsWith(QLatin1String(".lck")) && !lower.endsWith(QLatin1String(".ini"))
           && !lower.endsWith(QLatin1String("-journal")) && !lower.endsWith(QLatin1String("-wal"))
           && !lower.endsWith(QLatin1String("-shm"));
}

int ZipArchive::pack(const QString& folder, const QString& path, const QString& password, QString* error)
{
    return guarded(path, error, -1, [&] { return packFolder(folder, path, password, error); });
}

} // namespace dorv
