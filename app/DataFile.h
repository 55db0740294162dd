#pragma once
#include "util/FileFingerprint.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QLockFile;

namespace dorv {

class Dataset;
class Prompts;
class TDm;

// What the data file needs of the window that shows its data. Each step answers something, so it
// is asked through this interface rather than told by a signal. Without an owner the data file
// keeps the password itself, asks for none, and opening the database opens the tables.
class DataFileOwner {
public:
    // The archive password, as the card's password field holds it.
    virtual QString passwordText() const = 0;
    virtual void setPasswordText(const QString& text) = 0;
    // Asks for the password of an encrypted file (or a new one) with the caption given; false when
    // cancelled. The answer is left in the password text.
    virtual bool askPassword(const QString& caption) = 0;
    // Opens the tables and shows the data.
    virtual bool openDatabase() = 0;
    // The views let go of the data before it closes; an error stops the close.
    virtual void databaseClosing() = 0;
    // Datasets outside the data module that work on the working folder (the card's own).
    virtual QList<Dataset*> otherDatasets() const = 0;

protected:
    ~DataFileOwner() = default;
};

// The life of the data file: the private working folder and its lock, opening a data file into
// the folder, saving the folder back into it (with its backup copy and password), closing and
// packing the database, and starting a new one from the template. It works without a window; the
// main window is its owner.
class TDataFile final : public QObject {
    Q_OBJECT
public:
    TDataFile(TDm& dm, Prompts& prompts, QObject* parent = nullptr);
    ~TDataFile() override;

    // The folder the working folder lives in (ending with a separator) and the working folder.
    QString TempFolder;
    QString WorkingFolder;
    // Set from the program's start until a database is open, and again once closing is confirmed.
    bool StartStop = true;
    // Pack the tables when the database is next closed (after an account was emptied).
    bool PackOnClose = false;
    // Make the backup copy before every save into an existing file.
    bool Backup = true;
    // Keep earlier versions of the file beside it after every save.
    bool KeepVersions = true;

    // Sets up the working folder in tempFolder (as it is when given) or in the user's private
    // folder, takes its lock and clears what a run that ended without closing left there. False,
    // after saying so, when another copy of the program works with that folder; a folder that
    // cannot be made or used raises "Невозможно создать временную папку !".
    bool prepare(const QString& tempFolder);

    // Changes of a run that ended without closing, found by prepare() and kept when the user
    // asked for them: open them as unsaved changes of their file.
    bool hasRecovered() const { return m_recovered; }
    bool openRecovered();

    // The current data file: the full path, or empty while the data belongs to no file.
    const QString& title() const { return m_title; }
    void setTitle(const QString& path);
    // The title names a file that exists.
    bool titleIsFile() const;
    // Where the file dialogs start: the current data file's folder, else the user's home.
    QString dialogFolder() const;

    void setOwner(DataFileOwner* owner) { m_owner = owner; }

    // The commands.
    bool OpenDataFile(QString path); // a copy: callers may pass the title, which an open clears
    void mOpenClick(QWidget* dialogParent);
    // Opens an earlier version as new data that belongs to no file: saving it asks for a name.
    void OpenVersion(const QString& path, QWidget* dialogParent);
    bool SaveDataFile(bool ask, QWidget* dialogParent = nullptr);
    void FlushPendingEdits();
    bool CloseDataFile();
    bool CloseDatabase();
    bool CreateNewDataFile();
    void VzpBadPassword(int index);
    // Asks for the new password twice and keeps it only when both answers agree.
    void mPasswordClick();

    // Opens the seven tables of the database in the working folder and restores the remembered
    // account. started(count) runs once the accounts are open, progress(i) before each object.
    bool openTables(const std::function<void(int)>& started = {}, const std::function<void(int)>& progress = {});
    // The template database, unpacked into the working folder.
    void unpackTemplate();

signals:
    void titleChanged(const QString& path);
    // A database closed outside start and exit.
    void databaseClosed();
    // A long step is about to start: the window is to be painted as it stands first.
    void repaintNeeded();

private:
    // Unpacks a data file into the staging folder and checks its database, so that a file that
    // cannot be used is refused before the open data is touched. Returns the number of entries
    // unpacked (0: none, a wrong password); a broken file raises its error.
    // The password that opened it is given back; the open data keeps its own meanwhile.
    int stageFile(const QString& path, QString* usedPassword);
    // Puts the staged folder in place of the (closed) working folder and opens it.
    bool openStaged(const QString& path, const QString& pass);
    // Opens the staged file in place of the open data, which comes back as it was when that fails.
    void replaceWithStaged(const QString& path, const QString& pass);
    QString keepAsideAfterFailure(const QString& folder);
    // After a close that failed half way: the same data opened again from the working folder.
    void reopenAfterFailedClose();
    void discardStaging();
    QString stagingFolder() const;
    // Where the open data waits while another file is being opened in its place.
    QString asideFolder() const { return WorkingFolder + QStringLiteral(".old"); }
    // The note beside the tables that says which data file they came from and whether they hold
    // changes not yet saved into it, so that a run that ends without closing loses nothing.
    QString recoveryNote() const;
    bool writeRecoveryNote(bool unsaved);
    void noteSaved() { writeRecoveryNote(false); }
    bool noteUnsaved();
    // Changes that could not be opened are put aside under another name, never thrown away.
    void keepAside(const QString& why);
    // What prepare() found left in the working folder; false when there is nothing to offer.
    bool offerRecovery();
    // What lies under the program's names beside the working folder and could have been put there
    // by someone else (the folder was open to others, or the entry is another user's) is renamed
    // aside unread, and the user is told.
    void setAsideUntrusted(bool folderWasOpen);
    // A lock that is a link, a folder or anything but a file is reported; false then.
    bool lockIsAFile();
    QString password() const;
    bool askPassword(const QString& caption) { return m_owner && m_owner->askPassword(caption); }
    bool openDatabase() { return m_owner ? m_owner->openDatabase() : openTables(); }
    // Unsaved data is saved before it is left (New, Open); false when it is to stay as it is.
    bool saveBeforeLeaving(QWidget* dialogParent);
    // Opens the file the user chose in place of the open data; true when it is open.
    bool openChosen(const QString& file, QWidget* dialogParent);
    // Today's version of the file just saved; a failure is told once a run and never fails the save.
    void keepVersion(const QString& file);
    void setPassword(const QString& text);
    // The data file as it was read or written last, so that a save never overwrites unseen what
    // another program (a sync service) put there meanwhile.
    void rememberFile(const QString& path);
    // Before the data file at path is written over: what became of it since it was opened or saved.
    // Nothing to save nothing; an empty name when it may be written (unchanged, or the user says
    // so); else the name the user chose instead.
    std::optional<QString> checkUnchanged(const QString& path, QWidget* dialogParent);

    TDm& m_dm;
    Prompts& m_prompts;
    DataFileOwner* m_owner = nullptr;
    std::unique_ptr<QLockFile> m_lock;
    QString m_title;
    QString m_password;
    bool m_unsavedNoted = false;
    QString m_hookFolder;
    bool m_recovered = false;
    QString m_recoveredTitle;
    bool m_recoveredEncrypted = false;
    FileFingerprint m_recoveredFingerprint;
    QString m_fingerprintPath;
    FileFingerprint m_fingerprint;
    bool m_versionFailureTold = false;
};

} // namespace dorv
