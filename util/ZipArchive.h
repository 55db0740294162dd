#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace dorv {

// The data file format: a standard ZIP archive of the working folder's files, deflated at the
// fastest level and, with a password, encrypted with AES-256 (WinZip's AE-2, which 7-Zip and other
// AES-capable tools read). Files of earlier versions, encrypted the traditional PKWARE way, still open.
class ZipArchive final {
public:
    struct Entry {
        QString name;
        bool encrypted = false;
    };
    // Called for each entry that the password opens in neither of its encodings, with the entry's
    // index.
    using BadPassword = std::function<void(int index)>;

    // The entries of an archive file; false with a message (naming the file) when it is no readable
    // archive.
    static bool list(const QString& path, QList<Entry>* entries, QString* error);
    static bool listData(const QByteArray& data, QList<Entry>* entries, QString* error);

    // Unpacks every entry into folder, over files of the same name. The password is tried in its
    // Windows-1251 bytes, then in its UTF-8 bytes (files of earlier versions); an entry that opens
    // with neither is skipped after badPassword is called. Returns the number of entries written,
    // or -1 with a message when the archive is unreadable or damaged, names a path outside the
    // folder, or declares more data than the folder's disk has room for (those are refused whole,
    // before anything is written). Each entry is inflated piece by piece into its file and never
    // past the size the archive declares for it; a file left half written is removed.
    static int unpack(const QString& path, const QString& folder, const QString& password,
                      const BadPassword& badPassword, QString* error);
    static int unpackData(const QByteArray& data, const QString& folder, const QString& password,
                          const BadPassword& badPassword, QString* error);

    // Packs every file of folder (not subfolders; never "*.lck", "*.ini" or a database journal)
    // into the archive at path, encrypted with AES-256 under the password's Windows-1251 bytes when
    // one is given.
    // The archive is streamed to the disk beside the target under another name, forced to the
    // disk, read back from it and compared with the files, and only then put in place of the
    // target in one step, so that a failure at any point (a full disk included) leaves the old
    // file as it was. Returns the number of files packed, or -1 with a message.
    static int pack(const QString& folder, const QString& path, const QString& password, QString* error);

    // Whether the password opens the archive's encrypted entries, judged by the start of the first
    // one (an archive without them: true; one that cannot be read: false).
    static bool passwordOpens(const QString& path, const QString& password);

    // Whether a file name of the folder goes into the archive.
    static bool packable(const QString& fileName);
};

} // namespace dorv
