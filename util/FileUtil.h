#pragma once
#include <QString>
#include <QStringList>

namespace dorv {

// The system temporary folder with a trailing separator, or empty text when there is none.
QString GetTempDirectory();
// A folder of the current user alone, with a trailing separator, for the working folder and its
// lock: two users of one machine never see, block or touch each other's. It is "dorvana/" in the
// user's state folder, else "$XDG_RUNTIME_DIR/dorvana/" when that folder is private to the user and
// has room for a database (512 MiB free), else "<temporary folder>dorvana-<uid>/". The folder is
// made, or checked as EnsureDirectory does; empty text when it cannot be made or is not ours.
QString PrivateTempFolder();
// The same choice, with what the user must be told about it.
struct PrivateFolder {
    QString path;
    // The folder was open to others for writing until it was made private just now: nothing that
    // lies in it may be trusted.
    bool wasOpen = false;
    // Folders of the program's name passed over because they are not the user's own real folders
    // (a link, a file, another user's folder).
    QStringList passedOver;
};
PrivateFolder FindPrivateFolder();
// True when path is a folder of the current user now: it existed or was just created (one level
// only). A symbolic link is never followed, and a folder of another user is not accepted. The
// folder is made private to the user (mode 0700): it holds the household's unpacked data. wasOpen
// tells whether an existing folder allowed its group or others to write into it until then.
bool EnsureDirectory(const QString& path, bool* wasOpen = nullptr);
// Deletes every file of the folder (skipping any that resist), then removes the folder; returns
// whether the folder is gone. A symbolic link inside is removed as a link, its target untouched; a
// path that is itself a link, or a folder of another user, is left alone (false).
bool ClearDirectory(const QString& path);
// Full path of the first entry of the program's folder matching the wildcard mask (hidden entries
// and folders included, in the order the file system lists them), or empty text.
QString FindBesideExecutable(const QString& mask);

// The program's folder: the executable's, unless a test or tool chose another.
QString ProgramFolder();
void SetProgramFolder(const QString& folder);

// Bytes the current user may still write on the file system holding path (which must exist), or
// -1 when that is not known.
qint64 FreeSpace(const QString& path);

// The Russian text of a system error number (errno). Every way of running out of room (no space,
// quota, file size limit) reads "Недостаточно места на диске".
QString SystemErrorText(int code);

// The backup copy's path of a data file: its extension replaced by ".BAK" (home.den → home.BAK),
// or ".BAK" appended when it has none.
QString BackupPathFor(const QString& file);
// Makes the backup copy of file at BackupPathFor(file), replacing the previous one in one step: a
// failure (a full disk) leaves the previous copy as it was. A file that is its own backup path
// (X.BAK opened and saved) is left alone. False with a message on failure.
bool ReplaceBackupCopy(const QString& file, QString* error = nullptr);

// Renames path (a file, a folder or a link, never followed) within its folder to
// "<path><tag><moment>", or "<path><tag><moment>-<n>" when that name is taken: nothing is ever
// renamed over another entry. Returns the new path, or empty text with the reason.
QString MoveAside(const QString& path, const QString& tag, QString* error = nullptr);

// Whether a save would replace a file that the user does not allow to be written (its write
// permission taken away, as with mode 0444). The superuser, who may write anything, is judged by
// the permission bits alone.
bool IsReadOnlyFile(const QString& path);

// "нужно N, свободно M" for a shortage of room, in the largest unit (МБ, КБ, байт) in which the two
// figures, each rounded up, still differ.
QString RoomText(quint64 needed, quint64 available);

// Removes the temporary files that saves of dataFile and of its backup copy left behind when they
// were cut off (the program killed half way): only files of the ReplacingFile's own naming beside
// them that are the user's own regular files and that no save is writing now. Returns how many.
int RemoveSaveLeftovers(const QString& dataFile);

// A file that takes the place of its target in one step. It is written under a temporary name in
// the target's own folder (a rename never crosses file systems), every write and the close are
// checked, and only replace() puts it where the target was. Until then the target is untouched;
// a ReplacingFile given up or destroyed before replace() removes its temporary file. While it lives
// its temporary file is locked, so RemoveSaveLeftovers() tells it from one of a save cut off.
class ReplacingFile final {
public:
    explicit ReplacingFile(const QString& target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file (with the target's permissions when the target exists).
    bool open(QString* error);
    // The temporary file's descriptor while it is open, else -1.
    int handle() const { return m_fd; }
    const QString& target() const { return m_target; }
    const QString& temporaryPath() const { return m_temp; }
    // Writes all of data at the current position, or gives the reason (naming the target).
    bool write(const char* data, qint64 size, QString* error);
    // Empties the file to write it anew.
    bool rewind(QString* error);
    // Ends the writing: with sync the data is forced to the disk first. Both are checked, so a
    // write that fails only late (a full disk on a delayed write) is still seen.
    bool finish(bool sync, QString* error);
    // Renames the finished file over the target; with sync the folder is forced to the disk, so
    // the new name survives a power cut.
    bool replace(bool sync, QString* error);
    // Closes and removes the temporary file; the target stays as it was.
    void discard();

private:
    void releaseLock();

    QString m_target;
    QString m_temp;
    int m_fd = -1;
    int m_lockFd = -1; // holds the lock on the temporary file after m_fd is closed
    bool m_finished = false;
};

} // namespace dorv
