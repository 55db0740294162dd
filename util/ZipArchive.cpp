#include "ZipArchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <zip.h>

#include <memory>

namespace dorv {

namespace {

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

QString zipErrorText(int code)
{
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    const QString s = QString::fromUtf8(zip_error_strerror(&e));
    zip_error_fini(&e);
    return s;
}

QString notAnArchive(const QString& detail)
{
    return QStringLiteral("Файл не является архивом данных или повреждён (%1)").arg(detail);
}

ZipPtr openFile(const QString& path, QString* error)
{
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!z && error)
        *error = notAnArchive(zipErrorText(code));
    return ZipPtr(z);
}

ZipPtr openData(const QByteArray& data, QString* error)
{
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* src = zip_source_buffer_create(data.constData(), zip_uint64_t(data.size()), 0, &err);
    zip_t* z = src ? zip_open_from_source(src, ZIP_RDONLY, &err) : nullptr;
    if (!z) {
        if (src)
            zip_source_free(src);
        if (error)
            *error = notAnArchive(QString::fromUtf8(zip_error_strerror(&err)));
    }
    zip_error_fini(&err);
    return ZipPtr(z);
}

bool listOpen(zip_t* z, QList<ZipArchive::Entry>* entries, QString* error);

} // namespace

// Entry names are stored as given; a name that could reach outside the folder is never accepted.
static bool safeEntryName(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1String("..")) ||
        name.contains(QLatin1Char(':')) || name.contains(QChar(0)))
        return false;
    return true;
}

namespace {
bool listOpen(zip_t* z, QList<ZipArchive::Entry>* entries, QString* error)
{
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(z, zip_uint64_t(i), 0, &st) != 0) {
            if (error)
                *error = notAnArchive(QString::fromUtf8(zip_strerror(z)));
            return false;
        }
        ZipArchive::Entry e;
        e.name = QString::fromUtf8(st.name);
        e.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        entries->append(e);
    }
    return true;
}

int unpackOpen(zip_t* z, const QString& folder, const QString& password, const ZipArchive::BadPassword& bad,
               QString* error)
{
    QList<ZipArchive::Entry> entries;
    if (!listOpen(z, &entries, error))
        return -1;
    for (const auto& e : entries) {
        if (!safeEntryName(e.name)) {
            if (error)
                *error = notAnArchive(QStringLiteral("недопустимое имя «%1»").arg(e.name));
            return -1;
        }
    }
    const QByteArray pw = password.toUtf8();
    int written = 0;
    for (int i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        QByteArray content;
        bool ok = false;
        if (zip_file_t* f = zip_fopen_index_encrypted(z, zip_uint64_t(i), 0, e.encrypted ? pw.constData() : nullptr)) {
            char buf[65536];
            zip_int64_t got;
            while ((got = zip_fread(f, buf, sizeof buf)) > 0)
                content.append(buf, qsizetype(got));
            // A wrong password passes the header check now and then; the checksum then fails.
            ok = got == 0;
            zip_fclose(f);
        }
        if (!ok) {
            if (e.encrypted) {
                if (bad)
                    bad(i);
                continue;
            }
            if (error)
                *error = notAnArchive(QString::fromUtf8(zip_strerror(z)));
            return -1;
        }
        QSaveFile out(QDir(folder).filePath(e.name));
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit()) {
            if (error)
                *error = QStringLiteral("Невозможно записать файл %1: %2").arg(e.name, out.errorString());
            return -1;
        }
        ++written;
    }
    return written;
}
} // namespace

bool ZipArchive::list(const QString& path, QList<Entry>* entries, QString* error)
{
    ZipPtr z = openFile(path, error);
    return z && listOpen(z.get(), entries, error);
}

bool ZipArchive::listData(const QByteArray& data, QList<Entry>* entries, QString* error)
{
    ZipPtr z = openData(data, error);
    return z && listOpen(z.get(), entries, error);
}

int ZipArchive::unpack(const QString& path, const QString& folder, const QString& password,
                       const BadPassword& badPassword, QString* error)
{
    ZipPtr z = openFile(path, error);
    return z ? unpackOpen(z.get(), folder, password, badPassword, error) : -1;
}

int ZipArchive::unpackData(const QByteArray& data, const QString& folder, const QString& password,
                           const BadPassword& badPassword, QString* error)
{
    ZipPtr z = openData(data, error);
    return z ? unpackOpen(z.get(), folder, password, badPassword, error) : -1;
}

bool ZipArchive::packable(const QString& name)
{
    const QString lower = name.toLower();
    return !lower.endsWith(QLatin1String(".lck")) && !lower.endsWith(QLatin1String(".ini")) &&
           !lower.endsWith(QLatin1String("-journal")) && !lower.endsWith(QLatin1String("-wal")) &&
           !lower.endsWith(QLatin1String("-shm"));
}

int ZipArchive::pack(const QString& folder, const QString& path, const QString& password, QString* error)
{
    auto fail = [&](const QString& msg) {
        if (error)
            *error = msg;
        return -1;
    };
    QList<QFileInfo> files;
    for (const QFileInfo& fi : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
        if (packable(fi.fileName()))
            files << fi;
    if (files.isEmpty())
        return 0;

    // Build the archive in memory-backed form first, then write it through QSaveFile, which puts it
    // in place only once it is wholly on disk.
    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &zerr);
    if (!buffer)
        return fail(QStringLiteral("Не удалось создать архив: %1").arg(QString::fromUtf8(zip_error_strerror(&zerr))));
    zip_source_keep(buffer);
    zip_t* z = zip_open_from_source(buffer, ZIP_TRUNCATE, &zerr);
    if (!z) {
        zip_source_free(buffer);
        return fail(QStringLiteral("Не удалось создать архив: %1").arg(QString::fromUtf8(zip_error_strerror(&zerr))));
    }
    const QByteArray pw = password.toUtf8();
    QList<QByteArray> contents;
    for (const QFileInfo& fi : files) {
        QFile in(fi.absoluteFilePath());
        if (!in.open(QIODevice::ReadOnly)) {
            zip_discard(z);
            zip_source_free(buffer);
            return fail(QStringLiteral("Невозможно прочитать файл %1: %2").arg(fi.fileName(), in.errorString()));
        }
        contents << in.readAll();
        const QByteArray& c = contents.last();
        zip_source_t* s = zip_source_buffer(z, c.constData(), zip_uint64_t(c.size()), 0);
        const QByteArray name = fi.fileName().toUtf8();
        const zip_int64_t idx = s ? zip_file_add(z, name.constData(), s, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) : -1;
        if (idx < 0 || zip_set_file_compression(z, zip_uint64_t(idx), ZIP_CM_DEFLATE, 1) != 0 ||
            (!pw.isEmpty() && zip_file_set_encryption(z, zip_uint64_t(idx), ZIP_EM_TRAD_PKWARE, pw.constData()) != 0)) {
            const QString msg = QString::fromUtf8(zip_strerror(z));
            if (s && idx < 0)
                zip_source_free(s);
            zip_discard(z);
            zip_source_free(buffer);
            return fail(QStringLiteral("Не удалось упаковать файл %1: %2").arg(fi.fileName(), msg));
        }
    }
    if (zip_close(z) != 0) {
        const QString msg = QString::fromUtf8(zip_strerror(z));
        zip_discard(z);
        zip_source_free(buffer);
        return fail(QStringLiteral("Не удалось упаковать данные: %1").arg(msg));
    }
    QByteArray archive;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
        archive.resize(qsizetype(st.size));
        const zip_int64_t got = zip_source_read(buffer, archive.data(), st.size);
        zip_source_close(buffer);
        if (got != zip_int64_t(st.size))
            archive.clear();
    }
    zip_source_free(buffer);
    if (archive.isEmpty())
        return fail(QStringLiteral("Не удалось упаковать данные"));

    // Read the new archive back before it replaces anything.
    {
        QString checkError;
        ZipPtr check = openData(archive, &checkError);
        if (!check)
            return fail(QStringLiteral("Проверка нового архива не прошла: %1").arg(checkError));
        for (int i = 0; i < files.size(); ++i) {
            zip_file_t* f = zip_fopen_index_encrypted(check.get(), zip_uint64_t(i), 0,
                                                      pw.isEmpty() ? nullptr : pw.constData());
            QByteArray back;
            if (f) {
                char buf[65536];
                zip_int64_t got;
                while ((got = zip_fread(f, buf, sizeof buf)) > 0)
                    back.append(buf, qsizetype(got));
                zip_fclose(f);
            }
            if (back != contents[i])
                return fail(QStringLiteral("Проверка нового архива не прошла: файл %1 записан неверно")
                                .arg(files[i].fileName()));
        }
    }

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Невозможно записать файл %1: %2").arg(path, out.errorString()));
    if (out.write(archive) != archive.size()) {
        const QString msg = out.errorString();
        out.cancelWriting();
        return fail(QStringLiteral("Невозможно записать файл %1: %2").arg(path, msg));
    }
    if (!out.commit())
        return fail(QStringLiteral("Невозможно записать файл %1: %2").arg(path, out.errorString()));
    return int(files.size());
}

} // namespace dorv
