#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace dorv {

// The data file format: a standard ZIP archive of the working folder's files, deflated at the
// fastest level and, with a password, encrypted the traditional PKWARE way so that any unzip reads it.
class ZipArchive final {
public:
    struct Entry {
        QString name;
        bool encrypted = false;
    };
    // Called for each entry whose password check fails, with the entry's index.
    using BadPassword = std::function<void(int index)>;

    // The entries of an archive file; false with a message when it is no readable archive.
    static bool list(const QString& path, QList<Entry>* entries, QString* error);
    static bool listData(const QByteArray& data, QList<Entry>* entries, QString* error);

    // Unpacks every entry into folder, over files of the same name. Entries whose password check
    // fails are skipped. Returns the number of entries written, or -1 with a message when the
    // archive is unreadable or names a path outside the folder (such an archive is refused whole,
    // before anything is written).
    static int unpack(const QString& path, const QString& folder, const QString& password,
                      const BadPassword& badPassword, QString* error);
    static int unpackData(const QByteArray& data, const QString& folder, const QString& password,
                          const BadPassword& badPassword, QString* error);

    // Packs every file of folder (not subfolders; never "*.lck", "*.ini" or a database journal)
    // into the archive at path. The archive is written beside the target under another name, read
    // back and checked, and only then put in place of the target in one step, so that a failure
    // at any point leaves the old file as it was. Returns the number of files packed, or -1 with
    // a message.
    static int pack(const QString& folder, const QString& path, const QString& password, QString* error);

    // Whether a file name of the folder goes into the archive.
    static bool packable(const QString& fileName);
};

} // namespace dorv
