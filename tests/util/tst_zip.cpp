#include "util/FileUtil.h"
#include "util/ZipArchive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <zip.h>

#include <csignal>
#include <stdexcept>

#include <sys/resource.h>

#include "support/DiskLimit.h"
#include "support/Files.h"

using namespace dorv;

namespace {

QStringList everything(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// An archive made with libzip itself, encrypted with exactly the given password bytes (the
// traditional way unless another method is given).
bool makeArchive(const QString& path, const QList<QPair<QString, QByteArray>>& files, const QByteArray& password,
                 zip_uint16_t method = ZIP_EM_TRAD_PKWARE)
{
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!z)
        return false;
    for (const auto& [name, data] : files) {
        zip_source_t* s = zip_source_buffer(z, data.constData(), static_cast<zip_uint64_t>(data.size()), 0);
        const QByteArray n = name.toUtf8();
        const zip_int64_t idx = s ? zip_file_add(z, n.constData(), s, ZIP_FL_ENC_UTF_8) : -1;
        if (idx < 0 || zip_set_file_compression(z, static_cast<zip_uint64_t>(idx), ZIP_CM_DEFLATE, 1) != 0
            || (!password.isEmpty()
                && zip_file_set_encryption(z, static_cast<zip_uint64_t>(idx), method, password.constData()) != 0)) {
            zip_discard(z);
            return false;
        }
    }
    if (zip_close(z) != 0) {
        zip_discard(z);
        return false;
    }
    return true;
}

// Every entry of the archive read with libzip and exactly these password bytes; false when any
// fails its password check or checksum.
bool readArchive(const QString& path, const QByteArray& password, QMap<QString, QByteArray>* out)
{
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!z)
        return false;
    bool ok = true;
    for (zip_int64_t i = 0; ok && i < zip_get_num_entries(z, 0); ++i) {
        zip_file_t* f = zip_fopen_index_encrypted(z, static_cast<zip_uint64_t>(i), 0,
                                                  password.isEmpty() ? nullptr : password.constData());
        ok = f != nullptr;
        QByteArray data;
        char buf[8192];
        zip_int64_t got = 0;
        while (ok && (got = zip_fread(f, buf, sizeof buf)) > 0)
            data.append(buf, static_cast<qsizetype>(got));
        ok = ok && got == 0;
        if (f)
            zip_fclose(f);
        (*out)[QString::fromUtf8(zip_get_name(z, static_cast<zip_uint64_t>(i), 0))] = data;
    }
    zip_discard(z);
    return ok;
}

// The encryption method of every entry, as libzip reads the archive's directory.
QList<zip_uint16_t> methodsIn(const QString& path)
{
    QList<zip_uint16_t> out;
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!z)
        return out;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        out << (zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st) == 0 ? st.encryption_method : 0xFFFF);
    }
    zip_discard(z);
    return out;
}

// 7-Zip, a reader that is not ours, extracting the archive into folder; its exit code.
int sevenZip(const QString& archive, const QString& folder, const QString& password)
{
    QProcess p;
    p.start("7z", {"x", "-y", "-bd", "-p" + password, "-o" + folder, archive});
    p.closeWriteChannel(); // a password it still wants is never typed
    if (!p.waitForFinished(60000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void putLe(QByteArray& data, qsizetype at, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        data[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

quint64 getLe(const QByteArray& data, qsizetype at, int bytes)
{
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<quint8>(data[at + i]);
    return v;
}

void appendLe(QByteArray& data, quint64 value, int bytes)
{
    const qsizetype at = data.size();
    data.resize(at + bytes);
    putLe(data, at, value, bytes);
}

quint32 crc32Of(const QByteArray& data)
{
    quint32 c = 0xFFFFFFFFu;
    for (const char ch : data) {
        c ^= static_cast<quint8>(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// A stored (uncompressed) archive written byte by byte, so that an entry can declare any size in
// its ZIP64 fields whatever data it really holds.
QByteArray storedArchive(const QList<std::tuple<QByteArray, QByteArray, quint64>>& entries)
{
    QByteArray out, central;
    for (const auto& [name, data, declared] : entries) {
        const quint64 offset = static_cast<quint64>(out.size());
        const quint32 crc = crc32Of(data);
        auto header = [&](QByteArray& h, bool local) {
            appendLe(h, local ? 0x04034b50 : 0x02014b50, 4);
            if (!local)
                appendLe(h, 45, 2); // made by
            appendLe(h, 45, 2);     // needed: ZIP64
            appendLe(h, 0, 2);      // flags
            appendLe(h, 0, 2);      // stored
            appendLe(h, 0, 2);      // time
            appendLe(h, 0x21, 2);   // 1 January 1980
            appendLe(h, crc, 4);
            appendLe(h, 0xFFFFFFFF, 4); // sizes in the ZIP64 field
            appendLe(h, 0xFFFFFFFF, 4);
            appendLe(h, static_cast<quint64>(name.size()), 2);
            appendLe(h, 20, 2);
            if (!local) {
                appendLe(h, 0, 2); // comment
                appendLe(h, 0, 2); // disk
                appendLe(h, 0, 2); // internal attributes
                appendLe(h, 0, 4); // external attributes
                appendLe(h, offset, 4);
            }
            h += name;
            appendLe(h, 0x0001, 2);
            appendLe(h, 16, 2);
            appendLe(h, declared, 8);
            appendLe(h, static_cast<quint64>(data.size()), 8);
        };
        header(out, true);
        out += data;
        header(central, false);
    }
    const quint64 centralAt = static_cast<quint64>(out.size());
    out += central;
    appendLe(out, 0x06054b50, 4);
    appendLe(out, 0, 4);
    appendLe(out, static_cast<quint64>(entries.size()), 2);
    appendLe(out, static_cast<quint64>(entries.size()), 2);
    appendLe(out, static_cast<quint64>(central.size()), 4);
    appendLe(out, centralAt, 4);
    appendLe(out, 0, 2);
    return out;
}

QByteArray sampleData(qsizetype size)
{
    // Half random, half repeated: the deflater has both kinds of work.
    QRandomGenerator gen(20260229);
    QByteArray data;
    data.reserve(size);
    while (data.size() < size) {
        if ((data.size() / 4096) % 2)
            data += QByteArray(4096, static_cast<char>('a' + data.size() % 26));
        else
            for (int i = 0; i < 1024; ++i) {
                const quint32 v = gen.generate();
                data.append(reinterpret_cast<const char*>(&v), 4);
            }
    }
    data.resize(size);
    return data;
}

} // namespace

class TestZip : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("stored"); // the bytes the archive must be encrypted with
        QTest::addRow("no password") << QString() << QByteArray();
        QTest::addRow("Latin password") << "pass" << QByteArray("pass");
        QTest::addRow("Cyrillic password") << "секрет" << QByteArray("\xF1\xE5\xEA\xF0\xE5\xF2");
        QTest::addRow("Ё and №") << "Ёж№1"
                                 << QByteArray("\xA8\xE6\xB9"
                                               "1");
    }
    void roundTrip()
    {
        QFETCH(QString, password);
        QFETCH(QByteArray, stored);
        QTemporaryDir work, out, files;
        const QMap<QString, QByteArray> packed = {
            {"Dorvana.db", sampleData(3 * 1024 * 1024 + 17)},
            {"empty", QByteArray()},
            {"notes.txt", QString("Сумма: 100,50 ₽").toUtf8()},
        };
        for (auto it = packed.begin(); it != packed.end(); ++it)
            writeFile(work.filePath(it.key()), it.value());
        for (const char* skipped : {"x.lck", "s.ini", "Dorvana.db-journal"})
            writeFile(work.filePath(skipped), "not packed");
        const QString archive = files.filePath("home.den");
        QString error;
        QCOMPARE(ZipArchive::pack(work.path(), archive, password, &error), 3);
        QCOMPARE(everything(files.path()), QStringList{"home.den"}); // no temporary file left

        QList<ZipArchive::Entry> entries;
        QVERIFY2(ZipArchive::list(archive, &entries, &error), qPrintable(error));
        QCOMPARE(entries.size(), 3);
        for (const auto& e : entries)
            QCOMPARE(e.encrypted, !password.isEmpty());

        QList<int> bad;
        QCOMPARE(ZipArchive::unpack(
                     archive, out.path(), password, [&](int i) { bad << i; }, &error),
                 3);
        QVERIFY(bad.isEmpty());
        QCOMPARE(everything(out.path()).size(), 3);
        for (auto it = packed.begin(); it != packed.end(); ++it)
            QVERIFY2(readFile(out.filePath(it.key())) == it.value(), qPrintable(it.key()));

        // Any other reader decrypts it with the Windows-1251 bytes, and not with the UTF-8 ones.
        QMap<QString, QByteArray> raw;
        QVERIFY(readArchive(archive, stored, &raw));
        QCOMPARE(raw, packed);
        if (password.toUtf8() != stored) {
            QMap<QString, QByteArray> ignored;
            QVERIFY(!readArchive(archive, password.toUtf8(), &ignored));
        }
        // With a password, every entry is AES-256, which 7-Zip and other AES-capable tools read.
        QCOMPARE(methodsIn(archive), QList<zip_uint16_t>(3, password.isEmpty() ? ZIP_EM_NONE : ZIP_EM_AES_256));
        // Info-ZIP's unzip 6.0 reads only what has no password.
        if (!password.isEmpty() || QStandardPaths::findExecutable("unzip").isEmpty())
            return;
        QProcess unzip;
        unzip.start("unzip", {"-qq", archive, "-d", files.filePath("unzipped")});
        QVERIFY(unzip.waitForFinished(60000));
        QCOMPARE(unzip.exitCode(), 0);
        for (auto it = packed.begin(); it != packed.end(); ++it)
            QVERIFY2(readFile(files.filePath("unzipped/" + it.key())) == it.value(), qPrintable(it.key()));
    }

    // A reader that is not ours opens a data file with its password, and without it gets nothing.
    void passwordedFileOpensInSevenZip_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<bool>("opens");
        QTest::addRow("the password") << "Pass-1234" << true;
        QTest::addRow("a wrong one") << "Pass-1235" << false;
        QTest::addRow("none") << QString() << false;
    }
    void passwordedFileOpensInSevenZip()
    {
        QFETCH(QString, given);
        QFETCH(bool, opens);
        if (QStandardPaths::findExecutable("7z").isEmpty())
            QSKIP("7z (Debian p7zip-full) is not installed");
        QTemporaryDir work, files;
        const QByteArray db = sampleData(300000);
        writeFile(work.filePath("Dorvana.db"), db);
        writeFile(work.filePath("notes.txt"), "заметки");
        const QString archive = files.filePath("home.den");
        QString error;
        QCOMPARE(ZipArchive::pack(work.path(), archive, "Pass-1234", &error), 2);
        const QString out = files.filePath("7z");
        QCOMPARE(sevenZip(archive, out, given) == 0, opens);
        if (opens) {
            QCOMPARE(readFile(out + "/Dorvana.db"), db);
            QCOMPARE(readFile(out + "/notes.txt"), QByteArray("заметки"));
        } else {
            // 7-Zip may leave a file it began, but never with the data in it.
            QVERIFY(readFile(out + "/Dorvana.db") != db);
        }
    }

    void passwordBytes_data()
    {
        QTest::addColumn<QByteArray>("made"); // the bytes the archive was encrypted with
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("given");
        QTest::addColumn<bool>("opens");
        const QByteArray cp1251("\xEF\xE0\xF0\xEE\xEB\xFC");
        for (const int method : {ZIP_EM_TRAD_PKWARE, ZIP_EM_AES_256}) {
            const char* how = method == ZIP_EM_AES_256 ? "AES-256" : "traditional";
            QTest::addRow("%s, Windows-1251 bytes", how) << cp1251 << method << "пароль" << true;
            QTest::addRow("%s, UTF-8 bytes of earlier versions", how)
                << QString("пароль").toUtf8() << method << "пароль" << true;
            QTest::addRow("%s, wrong password", how) << cp1251 << method << "другой" << false;
            QTest::addRow("%s, no password given", how) << cp1251 << method << QString() << false;
        }
    }
    void passwordBytes()
    {
        QFETCH(QByteArray, made);
        QFETCH(int, method);
        QFETCH(QString, given);
        QFETCH(bool, opens);
        QTemporaryDir files, out;
        const QString archive = files.filePath("old.den");
        QVERIFY(makeArchive(archive, {{"a.db", "first"}, {"b.db", sampleData(200000)}}, made,
                            static_cast<zip_uint16_t>(method)));
        writeFile(out.filePath("a.db"), "left as it was");
        QList<int> bad;
        QString error;
        QCOMPARE(ZipArchive::unpack(
                     archive, out.path(), given, [&](int i) { bad << i; }, &error),
                 opens ? 2 : 0);
        QCOMPARE(bad, opens ? QList<int>() : QList<int>({0, 1}));
        QCOMPARE(readFile(out.filePath("a.db")), opens ? QByteArray("first") : QByteArray("left as it was"));
        QCOMPARE(QFileInfo::exists(out.filePath("b.db")), opens);
        QCOMPARE(everything(out.path()).size(), opens ? 2 : 1); // nothing half written stays
    }

    void packThroughALinkKeepsTheLink()
    {
        QTemporaryDir work, files;
        writeFile(work.filePath("a.db"), "data");
        const QString real = files.filePath("real.den"), link = files.filePath("home.den");
        writeFile(real, "old");
        QVERIFY(QFile::link(real, link));
        QString error;
        QCOMPARE(ZipArchive::pack(work.path(), link, {}, &error), 1);
        QVERIFY(QFileInfo(link).isSymLink());
        QList<ZipArchive::Entry> entries;
        QVERIFY2(ZipArchive::list(real, &entries, &error), qPrintable(error));
        QCOMPARE(everything(files.path()), QStringList({"home.den", "real.den"}));
    }

    void passwordOutsideCodePageIsRefused()
    {
        QTemporaryDir work, files;
        writeFile(work.filePath("a.db"), "data");
        QString error;
        QCOMPARE(ZipArchive::pack(work.path(), files.filePath("home.den"), "пароль王", &error), -1);
        QVERIFY(error.contains("王"));
        QVERIFY(everything(files.path()).isEmpty());
    }

    void fullDiskOnSaveKeepsTheOldArchive_data()
    {
        QTest::addColumn<int>("limit"); // bytes that fit; -1: all of the new archive but its last byte
        QTest::addRow("not a byte fits") << 0;
        QTest::addRow("the first header fits") << 40;
        QTest::addRow("all but the last byte fits") << -1;
    }
    void fullDiskOnSaveKeepsTheOldArchive()
    {
        QFETCH(int, limit);
        QTemporaryDir work, files;
        writeFile(work.filePath("a.db"), sampleData(300000));
        const QString archive = files.filePath("home.den");
        QString error;
        QCOMPARE(ZipArchive::pack(work.path(), archive, "секрет", &error), 1);
        const QByteArray before = readFile(archive);
        QVERIFY(before.size() > 1000);

        // A folder so small that the whole new archive fits any write buffer: a write that fails
        // only when the buffer is flushed on close must still be seen.
        QTemporaryDir small, elsewhere;
        writeFile(small.filePath("a.db"), "новое");
        if (limit < 0) {
            QCOMPARE(ZipArchive::pack(small.path(), elsewhere.filePath("size.den"), "секрет", &error), 1);
            limit = static_cast<int>(QFileInfo(elsewhere.filePath("size.den")).size()) - 1;
        }
        int result = 0;
        {
            DiskLimit full(static_cast<rlim_t>(limit));
            QVERIFY(full.set());
            result = ZipArchive::pack(small.path(), archive, "секрет", &error);
        }
        QCOMPARE(result, -1);
        QVERIFY2(error.contains("Недостаточно места на диске"), qPrintable(error));
        QVERIFY2(error.contains(archive), qPrintable(error));
        QVERIFY(readFile(archive) == before);
        QCOMPARE(everything(files.path()), QStringList{"home.den"});
    }

    void sizeBombStopsAtTheDeclaredSize()
    {
        // 4 MB of zeros deflate to a few kilobytes; the archive is then made to declare 90 KB.
        QTemporaryDir files, out;
        const QString archive = files.filePath("bomb.den");
        QVERIFY(makeArchive(archive, {{"big.db", QByteArray(4 * 1024 * 1024, '\0')}}, {}));
        QByteArray bytes = readFile(archive);
        constexpr quint64 Declared = 90 * 1024;
        QVERIFY(bytes.startsWith("PK\x03\x04"));
        putLe(bytes, 22, Declared, 4);
        const qsizetype end = bytes.lastIndexOf("PK\x05\x06");
        QVERIFY(end > 0);
        const auto central = static_cast<qsizetype>(getLe(bytes, end + 16, 4));
        QVERIFY(bytes.mid(central, 4) == "PK\x01\x02");
        putLe(bytes, central + 24, Declared, 4);
        writeFile(archive, bytes);

        QList<ZipArchive::Entry> entries;
        QString error;
        QVERIFY2(ZipArchive::list(archive, &entries, &error), qPrintable(error));
        int result = 0;
        {
            // Writing a byte past the declared size would fail as a full disk and say so.
            DiskLimit limit(Declared);
            QVERIFY(limit.set());
            result = ZipArchive::unpack(archive, out.path(), {}, {}, &error);
        }
        QCOMPARE(result, -1);
        QVERIFY2(error.contains(archive), qPrintable(error));
        QVERIFY2(!error.contains("Недостаточно места"), qPrintable(error));
        QVERIFY(everything(out.path()).isEmpty());
    }

    void moreThanTheDiskHoldsIsRefusedBeforeWriting()
    {
        QTemporaryDir files, out;
        const QString archive = files.filePath("huge.den");
        // A true small entry first, then one declaring four exabytes.
        writeFile(archive, storedArchive({{"a.db", "small", 5}, {"b.db", "tiny", static_cast<quint64>(1) << 62}}));
        QString error;
        QCOMPARE(ZipArchive::unpack(archive, out.path(), {}, {}, &error), -1);
        QVERIFY2(error.contains("Недостаточно места на диске"), qPrintable(error));
        QVERIFY2(error.contains(archive), qPrintable(error));
        QVERIFY(everything(out.path()).isEmpty());
        // The same layout with honest sizes unpacks: the refusal came from the sizes alone.
        writeFile(archive, storedArchive({{"a.db", "small", 5}, {"b.db", "tiny", 4}}));
        QCOMPARE(ZipArchive::unpack(archive, out.path(), {}, {}, &error), 2);
        QCOMPARE(readFile(out.filePath("b.db")), QByteArray("tiny"));
    }

    void unreadableArchiveNamesTheFile_data()
    {
        QTest::addColumn<int>("kind"); // 0 text, 1 truncated archive, 2 empty file, 3 no file
        QTest::addRow("not an archive") << 0;
        QTest::addRow("cut off archive") << 1;
        QTest::addRow("empty file") << 2;
        QTest::addRow("missing file") << 3;
    }
    void unreadableArchiveNamesTheFile()
    {
        QFETCH(int, kind);
        QTemporaryDir files, out;
        const QString archive = files.filePath("Семья.den");
        if (kind == 0)
            writeFile(archive, "this is not a zip archive at all");
        if (kind == 1) {
            QVERIFY(makeArchive(archive, {{"a.db", sampleData(100000)}}, {}));
            const QByteArray whole = readFile(archive);
            writeFile(archive, whole.left(whole.size() / 2));
        }
        if (kind == 2)
            writeFile(archive, {});
        QList<ZipArchive::Entry> entries;
        QString listError, unpackError;
        QVERIFY(!ZipArchive::list(archive, &entries, &listError));
        QCOMPARE(ZipArchive::unpack(archive, out.path(), {}, {}, &unpackError), -1);
        for (const QString& error : {listError, unpackError}) {
            QVERIFY2(error.contains(archive), qPrintable(error));
            QVERIFY2(error.section(": ", -1).trimmed().size() > 3, qPrintable(error)); // a reason follows
            for (const char* english : {"No error", "Unknown error", "Not a zip", "Success"})
                QVERIFY2(!error.contains(english, Qt::CaseInsensitive), qPrintable(error));
        }
        QVERIFY(everything(out.path()).isEmpty());
    }

    // AES keeps a password verifier and an authentication code of the data: a wrong password is
    // told as such, and data damaged behind a right one is named as damage, not as a wrong password.
    void aesTellsWrongPasswordFromDamage_data()
    {
        QTest::addColumn<bool>("damage");
        QTest::addColumn<QString>("given");
        QTest::addRow("wrong password") << false << "wrong";
        QTest::addRow("damaged data, right password") << true << "right";
    }
    void aesTellsWrongPasswordFromDamage()
    {
        QFETCH(bool, damage);
        QFETCH(QString, given);
        QTemporaryDir work, files, out;
        writeFile(work.filePath("a.db"), sampleData(200000));
        const QString archive = files.filePath("home.den");
        QString error;
        QCOMPARE(ZipArchive::pack(work.path(), archive, "right", &error), 1);
        if (damage) {
            QByteArray bytes = readFile(archive);
            const qsizetype middle = bytes.size() / 2;
            bytes[middle] = static_cast<char>(bytes[middle] ^ 0x5A);
            writeFile(archive, bytes);
        }
        QList<int> bad;
        error.clear();
        const int unpacked = ZipArchive::unpack(
            archive, out.path(), given, [&](int i) { bad << i; }, &error);
        if (damage) {
            QCOMPARE(unpacked, -1);
            QVERIFY(bad.isEmpty());
            QVERIFY2(error.startsWith(QString("Файл %1 не является архивом данных или повреждён: ").arg(archive))
                         && error.contains("«a.db»"),
                     qPrintable(error));
        } else {
            QCOMPARE(unpacked, 0);
            QCOMPARE(bad, QList<int>{0});
            QVERIFY(error.isEmpty());
        }
        QVERIFY(everything(out.path()).isEmpty());
    }

    // An archive whose damaged header claims the strong encryption no ZIP tool writes for data
    // files: it is refused as such, not called damaged, and before any entry is opened (libzip
    // loses memory on some of them).
    void otherEncryptionIsNamedSo()
    {
        QTemporaryDir files, out;
        const QString archive = files.filePath("чужой.zip");
        QVERIFY(makeArchive(archive, {{"a.db", sampleData(5000)}, {"b.db", "more"}}, "right"));
        QByteArray bytes = readFile(archive);
        const qsizetype end = bytes.lastIndexOf("PK\x05\x06");
        QVERIFY(end > 0);
        const auto central = static_cast<qsizetype>(getLe(bytes, end + 16, 4));
        QVERIFY(bytes.mid(central, 4) == "PK\x01\x02");
        putLe(bytes, central + 8, getLe(bytes, central + 8, 2) | 0x40, 2); // the strong encryption flag
        writeFile(archive, bytes);
        QList<ZipArchive::Entry> entries;
        QString listError, unpackError, memoryError;
        QVERIFY(!ZipArchive::list(archive, &entries, &listError));
        QCOMPARE(ZipArchive::unpack(archive, out.path(), "right", {}, &unpackError), -1);
        QCOMPARE(ZipArchive::unpackData(readFile(archive), out.path(), "right", {}, &memoryError), -1);
        QVERIFY(!ZipArchive::passwordOpens(archive, "right"));
        const QString tail = "зашифрован неизвестным способом, а программа читает только архивы, зашифрованные "
                             "способом AES или обычным шифрованием ZIP (запись «a.db»)";
        QCOMPARE(listError, QString("Файл %1 %2").arg(archive, tail));
        QCOMPARE(unpackError, listError);
        QCOMPARE(memoryError, "Архив данных в памяти " + tail);
        QVERIFY(everything(out.path()).isEmpty());
    }

    void failuresNeverEscapeAsExceptions_data()
    {
        QTest::addColumn<bool>("outOfMemory");
        QTest::addRow("out of memory") << true;
        QTest::addRow("any other") << false;
    }
    void failuresNeverEscapeAsExceptions()
    {
        QFETCH(bool, outOfMemory);
        QTemporaryDir files, out;
        const QString archive = files.filePath("home.den");
        QVERIFY(makeArchive(archive, {{"a.db", "data"}}, "right"));
        QString error;
        int result = 0;
        try {
            result = ZipArchive::unpack(
                archive, out.path(), "wrong",
                [&](int) {
                    if (outOfMemory)
                        throw std::bad_alloc();
                    throw std::runtime_error("prompt failed");
                },
                &error);
        } catch (...) {
            QFAIL("an exception escaped");
        }
        QCOMPARE(result, -1);
        QVERIFY(error.contains(archive));
        QCOMPARE(error.contains("Недостаточно памяти"), outOfMemory);
        QVERIFY(everything(out.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestZip)
#include "tst_zip.moc"
