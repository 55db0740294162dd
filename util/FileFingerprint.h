#pragma once
#include <QByteArray>
#include <QString>

namespace dorv {

// What a file was when the program last read or wrote it: its size, its modification time and a
// hash of its content. A sync service or another program that rewrites the file changes at least
// the content; a service that keeps the size and the time still changes the hash.
class FileFingerprint {
public:
    enum class Change { Same, Changed, Vanished, Unreadable };

    FileFingerprint() = default;
    // The file as it is now; an unknown fingerprint when it cannot be read.
    static FileFingerprint of(const QString& path);

    bool known() const { return !m_hash.isEmpty(); }
    // What happened to the file at path since; the reason for Unreadable is put in reason.
    Change compare(const QString& path, QString* reason = nullptr) const;

    // One line of text for a note on the disk, and back (unknown when the text is not one).
    QByteArray toText() const;
    static FileFingerprint fromText(const QByteArray& text);

private:
    qint64 m_size = -1;
    qint64 m_mtimeNs = -1;
    QByteArray m_hash;
};

} // namespace dorv
