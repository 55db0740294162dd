#include "DataFile.h"

#include "data/ChangeRecorder.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/Fields.h"
#include "data/FileCheck.h"
#include "data/SuspendControls.h"
#include "util/Clock.h"
#include "util/FileUtil.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"
#include "util/Versions.h"
#include "util/Win1251.h"
#include "util/ZipArchive.h"
#include "widgets/ErrorGuard.h"
#include "widgets/WaitCursor.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QScopeGuard>
#include <QUrl>

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dorv {

namespace {

const QString DenFilter = QStringLiteral("Данные Dorvana (*.den)");
const QString SaveTitle = QStringLiteral("Сохранение данных в архиве");

QString folderError() { return QStringLiteral("Невозможно создать временную папку !"); }

} // namespace

TDataFile::TDataFile(TDm& dm, Prompts& prompts, QObject* parent) : QObject(parent), m_dm(dm), m_prompts(prompts)
{
    setObjectName(QStringLiteral("DataFile"));
}

TDataFile::~TDataFile()
{
    if (!m_hookFolder.isEmpty())
        Database::setChangeHook(m_hookFolder, {});
}

// ---- the working folder ----

bool TDataFile::prepare(const QString& tempFolder)
{
    StartStop = true;
    PackOnClose = false;
    bool wasOpen = false;
    if (tempFolder.isEmpty()) {
        const PrivateFolder place = FindPrivateFolder();
        TempFolder = place.path;
        wasOpen = place.wasOpen;
        for (const QString& refused : TempFolder.isEmpty() ? QStringList() : place.passedOver)
            m_prompts.inform(
                QStringLiteral("Папка %1 не является вашей собственной папкой (это ссылка, файл или "
                               "папка другого пользователя), поэтому программа ничего в ней не "
                               "читает и не пишет. Данные будут распакованы в папку %2.")
                    .arg(QDir::toNativeSeparators(refused), QDir::toNativeSeparators(QDir::cleanPath(TempFolder))));
    } else {
        TempFolder = QDir(tempFolder).absolutePath();
        if (!TempFolder.endsWith(QLatin1Char('/')))
            TempFolder += QLatin1Char('/');
    }
    WorkingFolder = TempFolder.isEmpty() ? QString() : TempFolder + QStringLiteral("DAZAZORI");
    const QFileInfo base(TempFolder);
    if (TempFolder.isEmpty() || !base.isDir() || !base.isWritable())
        throw DbError(folderError());
    setAsideUntrusted(wasOpen);
    if (!lockIsAFile())
        return false;

    // A second copy would unpack its template over the first one's open data: the lock beside the
    // working folder tells them apart. A lock left by a run that ended without closing names a
    // process that is gone and is taken over.
    m_lock = std::make_unique<QLockFile>(WorkingFolder + QStringLiteral(".lck"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        const bool running = m_lock->error() == QLockFile::LockFailedError;
        m_lock.reset();
        if (!running)
            throw DbError(folderError());
        m_prompts.inform(QStringLiteral("Программа уже запущена. Вторая копия не может работать с теми же данными "
                                        "и будет закрыта."));
        return false;
    }
    // What a run that ended without closing left in the working folder is offered back when its
    // note says whose changes they are; anything else is cleared, so that nothing of it is applied
    // to the next data file's tables. Something that is not our own real folder is never cleared
    // or written into.
    m_recovered = false;
    for (const QString& folder : {WorkingFolder, stagingFolder(), asideFolder()}) {
        if (folder == WorkingFolder && offerRecovery())
            continue;
        if (QFileInfo(folder).exists() || QFileInfo(folder).isSymLink()) {
            if (!ClearDirectory(folder))
                throw DbError(folderError());
        }
    }
    if (!EnsureDirectory(WorkingFolder))
        throw DbError(folderError());
    // The first change after an opening or a save says so in the note before it is written.
    m_unsavedNoted = false;
    if (!m_hookFolder.isEmpty() && m_hookFolder != WorkingFolder)
        Database::setChangeHook(m_hookFolder, {});
    m_hookFolder = WorkingFolder;
    Database::setChangeHook(WorkingFolder, [this] { return noteUnsaved(); });
    return true;
}

// ---- changes kept across a crash ----

QString TDataFile::recoveryNote() const { return QDir(WorkingFolder).filePath(QStringLiteral("recovery.ini")); }

bool TDataFile::writeRecoveryNote(bool unsaved)
{
    if (WorkingFolder.isEmpty() || !QFileInfo(WorkingFolder).isDir())
        return false;
    QByteArray text("dorvana-recovery 1\n");
    text += "path=" + QUrl::toPercentEncoding(m_title) + '\n';
    text += QByteArray("encrypted=") + (password().isEmpty() ? '0' : '1') + '\n';
    text += QByteArray("unsaved=") + (unsaved ? '1' : '0') + '\n';
    // What the data file was when these tables came from it, so that recovered changes are not
    // saved over what another program wrote there since.
    if (m_fingerprint.known() && m_fingerprintPath == QFileInfo(m_title).absoluteFilePath())
        text += "file=" + m_fingerprint.toText() + '\n';
    // Written whole under another name, forced to the disk and put in place in one step, the folder
    // forced too: after a crash or a power cut the note is there whenever the change is, never half.
    const QString next = recoveryNote() + QStringLiteral(".new.ini");
    QFile f(next);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size() || !f.flush()
        || ::fsync(f.handle()) != 0) {
        f.remove();
        return false;
    }
    f.close();
    if (std::rename(QFile::encodeName(next).constData(), QFile::encodeName(recoveryNote()).constData()) != 0) {
        QFile::remove(next);
        return false;
    }
    const int dir = ::open(QFile::encodeName(WorkingFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    // Only a note that is there counts: a failed one is tried again with the next change.
    m_unsavedNoted = unsaved;
    return true;
}

bool TDataFile::noteUnsaved() { return m_unsavedNoted || writeRecoveryNote(true); }

void TDataFile::keepAside(const QString& why)
{
    if (!QFileInfo(WorkingFolder).isDir())
        return;
    // Under a name nothing else has: an earlier folder kept aside in the same second stays too.
    QString reason;
    const QString aside = MoveAside(WorkingFolder, QStringLiteral(".kept-"), &reason);
    if (aside.isEmpty()) {
        // Left where they are, they would be cleared by the data that takes their place: the
        // start ends instead, and the next one offers them again.
        throw DbError(QStringLiteral("%1 Несохранённые изменения не удалось отложить (%2); они оставлены в папке %3 "
                                     "и будут предложены при следующем запуске.")
                          .arg(why, reason, QDir::toNativeSeparators(WorkingFolder)));
    }
    m_prompts.inform(
        QStringLiteral("%1 Несохранённые изменения оставлены в папке %2.").arg(why, QDir::toNativeSeparators(aside)));
    EnsureDirectory(WorkingFolder);
}

bool TDataFile::offerRecovery()
{
    const QFileInfo folder(WorkingFolder);
    const QString note = recoveryNote();
    if (folder.isSymLink() || !folder.isDir() || !QFileInfo(note).isFile())
        return false;
    QFile f(note);
    QHash<QByteArray, QByteArray> values;
    bool readable = f.open(QIODevice::ReadOnly) && f.readLine().trimmed() == "dorvana-recovery 1";
    while (readable && !f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            values.insert(line.left(eq), line.mid(eq + 1));
    }
    readable = readable && values.contains("path") && values.contains("unsaved") && values.contains("encrypted");
    const QString path = QUrl::fromPercentEncoding(values.value("path"));
    const QString shown =
        path.isEmpty() ? QStringLiteral("(новые данные, ещё не сохранённые в файл)") : QDir::toNativeSeparators(path);
    if (!readable) {
        m_prompts.inform(QStringLiteral("Несохранённые изменения прошлого сеанса не удалось прочитать; они удалены."));
        return false;
    }
    if (values.value("unsaved") != "1")
        return false;
    // A change cut off half way is rolled back by the database itself as it opens; a file that
    // is damaged for another reason (or missing) is not offered.
    QString damage;
    openWhole(QDir(WorkingFolder).filePath(QString::fromLatin1(Database::FileName)), &damage);
    if (!damage.isEmpty()) {
        m_prompts.inform(QStringLiteral("Несохранённые изменения файла %1 повреждены и не могут быть восстановлены; "
                                        "они удалены.")
                             .arg(shown));
        return false;
    }
    if (!m_prompts.confirm(QStringLiteral("Найдены несохранённые изменения файла %1. Восстановить?").arg(shown)))
        return false;
    m_recovered = true;
    m_recoveredTitle = path;
    m_recoveredEncrypted = values.value("encrypted") == "1";
    m_recoveredFingerprint = FileFingerprint::fromText(values.value("file"));
    return true;
}

bool TDataFile::openRecovered()
{
    m_recovered = false;
    const QString title = m_recoveredTitle;
    QString pass;
    if (m_recoveredEncrypted) {
        // The password never lies on the disk: it is asked for again, and checked on the data file
        // when there is one (else typed twice). Without it nothing is opened and nothing is lost.
        for (;;) {
            setPassword(QString());
            if (!askPassword(QStringLiteral("Введите пароль:"))) {
                keepAside(QStringLiteral("Пароль не введён."));
                return false;
            }
            pass = password();
            if (QFileInfo(title).isFile()) {
                if (ZipArchive::passwordOpens(title, pass))
                    break;
                m_prompts.inform(QStringLiteral("Пароль неверен !!!"));
                continue;
            }
            setPassword(QString());
            if (askPassword(QStringLiteral("Повторите пароль:")) && password() == pass)
                break;
            m_prompts.inform(QStringLiteral("Пароли не совпадают."));
        }
    }
    bool opened = false;
    try {
        SuspendControls suspend(*m_dm.Tb_Hist); // the history shows once the database stands
        opened = openDatabase();
    } catch (...) {
        // Told below as a whole: the changes that cannot be opened are kept aside with a message.
        noteSwallowed("opening the unsaved changes");
        opened = false;
    }
    if (!opened) {
        try {
            CloseDatabase();
        } catch (...) {
            // What could not be opened is kept aside below; a close that fails leaves nothing worse.
            noteSwallowed("closing unopenable changes");
        }
        setTitle(QString());
        keepAside(QStringLiteral("Несохранённые изменения не удалось открыть."));
        return false;
    }
    // The note is written once the password and the title are both in place.
    setPassword(pass);
    m_unsavedNoted = true;
    setTitle(!title.isEmpty() ? QFileInfo(title).absoluteFilePath() : QString());
    // A note without it (or of no file) leaves nothing to compare with: the file as it is now is
    // taken for the one the changes belong to.
    m_fingerprintPath = m_title;
    m_fingerprint =
        m_recoveredFingerprint.known() || m_title.isEmpty() ? m_recoveredFingerprint : FileFingerprint::of(m_title);
    m_dm.DataSaved = false;
    writeRecoveryNote(true);
    return true;
}

QString TDataFile::stagingFolder() const { return WorkingFolder + QStringLiteral(".new"); }

void TDataFile::discardStaging()
{
    if (QFileInfo(stagingFolder()).isDir())
        ClearDirectory(stagingFolder());
}

void TDataFile::setTitle(const QString& path)
{
    if (m_title == path)
        return;
    m_title = path;
    emit titleChanged(path);
}

bool TDataFile::titleIsFile() const { return !m_title.isEmpty() && QFileInfo(m_title).isFile(); }

QString TDataFile::dialogFolder() const
{
    if (!m_title.isEmpty()) {
        const QFileInfo file(m_title);
        if (file.absoluteDir().exists())
            return file.absolutePath();
    }
    return QDir::homePath();
}

// ---- the password ----

QString TDataFile::password() const { return m_owner ? m_owner->passwordText() : m_password; }

void TDataFile::setPassword(const QString& text)
{
    if (m_owner)
        m_owner->setPasswordText(text);
    else
        m_password = text;
}

void TDataFile::VzpBadPassword(int index)
{
    if (index > 0)
        return;
    m_prompts.inform(QStringLiteral("Пароль неверен !!!"));
    setPassword(QString());
}

void TDataFile::mPasswordClick()
{
    const QString old = password();
    if (!askPassword(QStringLiteral("Введите пароль:"))) {
        setPassword(old);
        return;
    }
    const QString first = password();
    // A typo in a password nobody can read back would lock the household out of its data for good:
    // it is typed once more, into an empty field.
    setPassword(QString());
    const bool again = askPassword(QStringLiteral("Повторите пароль:"));
    const QString second = password();
    if (!again) {
        setPassword(old);
        return;
    }
    if (first != second) {
        setPassword(old);
        m_prompts.inform(QStringLiteral("Пароли не совпадают. Пароль не изменён."));
        return;
    }
    if (firstNonWin1251(first) >= 0) {
        setPassword(old);
        m_prompts.inform(QStringLiteral("В пароле есть символ, который не может быть сохранён. Пароль не изменён."));
        return;
    }
    m_dm.DataSaved = false;
    writeRecoveryNote(true);
}

// ---- opening ----

int TDataFile::stageFile(const QString& path, QString* usedPassword)
{
    // The open data keeps its own password until the staged file takes its place.
    const QString previous = password();
    const auto keep = qScopeGuard([this, previous] { setPassword(previous); });
    setPassword(QString());
    QList<ZipArchive::Entry> entries;
    QString error;
    if (!ZipArchive::list(path, &entries, &error))
        throw DbError(error);
    QString pass;
    if (!entries.isEmpty() && entries.first().encrypted) {
        if (askPassword(QStringLiteral("Введите пароль:")))
            pass = password();
        else
            setPassword(QString());
    }
    WaitCursor wait;
    discardStaging();
    const QString staging = stagingFolder();
    if (!EnsureDirectory(staging))
        throw DbError(folderError());
    const int unpacked = ZipArchive::unpack(
        path, staging, pass, [this](int index) { VzpBadPassword(index); }, &error);
    if (unpacked < 0) {
        discardStaging();
        throw DbError(error);
    }
    // A damaged database is found now, while the data the user has open is still untouched.
    const QString dbFile = QDir(staging).filePath(QString::fromLatin1(Database::FileName));
    if (unpacked > 0) {
        QString damage, foreign;
        if (auto db = openWhole(dbFile, &damage)) {
            try {
                foreign = foreignContentOf(*db, m_dm.tables());
                if (foreign.isEmpty())
                    damage = missingTableOf(*db, m_dm.tables());
                if (foreign.isEmpty() && damage.isEmpty())
                    damage = amountOutOfRangeOf(*db);
            } catch (const DbError& e) {
                damage = e.message();
            }
        }
        if (!foreign.isEmpty()) {
            discardStaging();
            throw DbError(QStringLiteral("Файл %1 не открыт: в его базе данных есть то, чего программа не создаёт (%2)")
                              .arg(QDir::toNativeSeparators(path), foreign));
        }
        if (!damage.isEmpty()) {
            discardStaging();
            throw DbError(QStringLiteral("Файл %1 повреждён, его данные не могут быть прочитаны (%2)")
                              .arg(QDir::toNativeSeparators(path), damage.section(QLatin1Char('\n'), 0, 0)));
        }
    }
    if (usedPassword)
        *usedPassword = pass;
    return unpacked;
}

bool TDataFile::openStaged(const QString& path, const QString& pass)
{
    // The close before removed the working folder; the staged one takes its name.
    if (QFileInfo(WorkingFolder).exists() && !ClearDirectory(WorkingFolder))
        throw DbError(folderError());
    if (!QDir().rename(stagingFolder(), WorkingFolder))
        throw DbError(folderError());
    {
        SuspendControls suspend(*m_dm.Tb_Hist); // the history shows once the database stands
        openDatabase();
    }
    if (m_dm.Tb_Account->active()) {
        // The note is written once the password and the title are both in place.
        setPassword(pass);
        m_unsavedNoted = false;
        setTitle(QFileInfo(path).absoluteFilePath());
        rememberFile(m_title);
        noteSaved();
        return true;
    }
    return false;
}

void TDataFile::reopenAfterFailedClose()
{
    // What could not be closed is still in the working folder: better the same data open again
    // than a program without any.
    if (m_dm.Tb_Account->active() || !QFileInfo(WorkingFolder).isDir())
        return;
    const QString title = m_title;
    try {
        SuspendControls suspend(*m_dm.Tb_Hist);
        openDatabase();
    } catch (...) {
        // The open says why it failed itself; the folder with the data stays for the next start.
        noteSwallowed("reopening after a failed close");
    }
    setTitle(title);
}

bool TDataFile::OpenDataFile(QString path)
{
    if (!QFileInfo(path).isFile())
        return false;
    emit repaintNeeded();
    QString pass;
    const int unpacked = stageFile(path, &pass);
    if (unpacked > 0) {
        // Opening over data that is still open: it goes first, as a close would take it.
        if (m_dm.Tb_Account->active() && !CloseDataFile()) {
            discardStaging();
            reopenAfterFailedClose();
            throw DbError(QStringLiteral("Невозможно закрыть файл !"));
        }
        if (openStaged(path, pass))
            return true;
    }
    discardStaging();
    if (!m_dm.Tb_Account->active())
        setTitle(QString());
    m_prompts.inform(QStringLiteral("Нет возможности открыть файл ") + path);
    return false;
}

void TDataFile::mOpenClick(QWidget* dialogParent)
{
    emit repaintNeeded();
    const QString file = m_prompts.openFile(dialogParent, QStringLiteral("Открытие данных"), DenFilter);
    if (!file.isEmpty())
        openChosen(file, dialogParent);
}

bool TDataFile::openChosen(const QString& file, QWidget* dialogParent)
{
    if (!saveBeforeLeaving(dialogParent))
        return false;
    // A file that cannot be read is refused before anything of the open data is touched.
    QString pass;
    const int unpacked = stageFile(file, &pass);
    if (unpacked <= 0) {
        discardStaging();
        m_prompts.inform(QStringLiteral("Нет возможности открыть файл ") + file);
        return false;
    }
    if (!m_dm.Tb_Account->active()) {
        bool opened = false;
        try {
            opened = openStaged(file, pass);
        } catch (...) {
            discardStaging();
            CreateNewDataFile();
            throw;
        }
        discardStaging();
        if (!opened) {
            m_prompts.inform(QStringLiteral("Нет возможности открыть файл ") + file);
            CreateNewDataFile();
        }
        return opened;
    }
    replaceWithStaged(file, pass);
    return m_title == QFileInfo(file).absoluteFilePath();
}

void TDataFile::OpenVersion(const QString& path, QWidget* dialogParent)
{
    if (!openChosen(path, dialogParent))
        return;
    // Neither the version nor the file it was kept for is ever written over by the next save: the
    // data belongs to no file until the user names one, and leaving it asks first.
    setTitle(QString());
    m_dm.DataSaved = false;
    writeRecoveryNote(true);
}

void TDataFile::keepVersion(const QString& file)
{
    if (!KeepVersions)
        return;
    QString error;
    if (WriteVersion(file, Clock::today(), &error) || m_versionFailureTold)
        return;
    m_versionFailureTold = true;
    m_prompts.inform(QStringLiteral("Прежняя версия данных не сохранена в папке %1: %2. Сами данные сохранены.")
                         .arg(QDir::toNativeSeparators(VersionsFolderFor(file)), error));
}

QString TDataFile::keepAsideAfterFailure(const QString& folder)
{
    // Out of the names a start clears, under one nothing else has.
    QString reason;
    const QString kept = MoveAside(folder, QStringLiteral(".kept-"), &reason);
    return kept.isEmpty() ? folder : kept;
}

void TDataFile::replaceWithStaged(const QString& path, const QString& pass)
{
    // The open data is put aside whole, not cleared, until the new file stands open: whatever
    // fails on the way, the user is left with what was open before.
    FlushPendingEdits();
    const QString oldTitle = m_title;
    const QString oldPassword = password();
    const bool oldSaved = m_dm.DataSaved;
    const bool oldNoted = m_unsavedNoted;
    if (!CloseDatabase()) {
        discardStaging();
        reopenAfterFailedClose();
        throw DbError(QStringLiteral("Невозможно закрыть файл !"));
    }
    const QString aside = asideFolder();
    bool movedAside = false;
    auto putBack = [&] {
        try {
            CloseDatabase();
        } catch (...) {
            // Whatever did not close is dropped with its folder below.
            noteSwallowed("closing the file that failed to open");
        }
        // Only what this opening set aside comes back, and only in place of what it put there.
        if (movedAside) {
            ClearDirectory(WorkingFolder);
            if (!QDir().rename(aside, WorkingFolder)) {
                m_prompts.inform(
                    QStringLiteral("Открытые данные не удалось вернуть на место; они сохранены в папке %1.")
                        .arg(QDir::toNativeSeparators(keepAsideAfterFailure(aside))));
                setTitle(QString());
                return;
            }
        }
        try {
            SuspendControls suspend(*m_dm.Tb_Hist);
            openDatabase();
        } catch (...) {
            // Said by the open itself; the folder with the data stays for the next start.
            noteSwallowed("opening the data put back");
        }
        setPassword(oldPassword);
        setTitle(oldTitle);
        m_dm.DataSaved = oldSaved;
        m_unsavedNoted = oldNoted;
    };
    if (QFileInfo(aside).exists() && !ClearDirectory(aside)) {
        discardStaging();
        putBack();
        throw DbError(folderError());
    }
    movedAside = QDir().rename(WorkingFolder, aside);
    if (!movedAside) {
        discardStaging();
        putBack();
        throw DbError(folderError());
    }
    QString failure;
    bool opened = false;
    try {
        opened = openStaged(path, pass);
    } catch (...) {
        failure = messageOf(std::current_exception());
        if (failure.isEmpty())
            failure = QStringLiteral("Нет возможности открыть файл ") + path;
    }
    discardStaging();
    if (opened) {
        ClearDirectory(aside);
        return;
    }
    putBack();
    m_prompts.inform(failure.isEmpty() ? QStringLiteral("Нет возможности открыть файл ") + path : failure);
}

bool TDataFile::openTables(const std::function<void(int)>& started, const std::function<void(int)>& progress)
{
    m_dm.DataSaved = true;
    m_dm.ResetCounters();
    try {
        m_dm.Tb_Account->open();
    } catch (const DbError& e) {
        m_prompts.inform(QStringLiteral("Ошибка открытия базы данных"));
        throw DbError(e.message());
    }
    const QList<QObject*>& parts = m_dm.components();
    if (started)
        started(int(parts.size()));
    for (int i = 0; i < parts.size(); ++i) {
        if (progress)
            progress(i);
        auto* t = qobject_cast<Table*>(parts[i]);
        if (!t || t->tag() < 0)
            continue;
        try {
            t->open();
        } catch (const DbError&) {
            m_dm.Tb_Account->close();
            m_prompts.inform(QStringLiteral("Нет доступа к базе данных"));
            return false;
        }
    }
    if (m_dm.Tb_Account->findField(AccountField::Mark))
        m_dm.Tb_Account->locate(AccountField::Mark, QStringLiteral("L"));
    return true;
}

void TDataFile::unpackTemplate()
{
    QFile res(QStringLiteral(":/DorvDat"));
    if (!res.open(QIODevice::ReadOnly))
        return;
    QString ignored;
    ZipArchive::unpackData(res.readAll(), WorkingFolder, QString(), {}, &ignored);
}

bool TDataFile::saveBeforeLeaving(QWidget* dialogParent)
{
    if (m_dm.DataSaved || !m_dm.Tb_Account->active())
        return true;
    const bool titled = titleIsFile();
    if (SaveDataFile(false, dialogParent))
        return true;
    // Data of a file stays when its save wrote nothing; data of no file goes only when the user
    // says so after giving up the save dialog.
    return !titled && m_prompts.confirm(QStringLiteral("Данные не сохранены! Продолжить без сохранения?"));
}

bool TDataFile::CreateNewDataFile()
{
    if (!saveBeforeLeaving(nullptr))
        return false;
    if (!CloseDataFile()) {
        reopenAfterFailedClose();
        throw DbError(QStringLiteral("Невозможно закрыть файл !"));
    }
    if (!EnsureDirectory(WorkingFolder))
        throw DbError(folderError());
    unpackTemplate();
    bool result = false;
    try {
        SuspendControls suspend(*m_dm.Tb_Hist); // the history shows once the database stands
        result = openDatabase();
    } catch (...) {
        setTitle(QString());
        throw;
    }
    setTitle(QString());
    if (result)
        noteSaved(); // the template's tables: nothing of the user's yet
    return result;
}

// ---- saving ----

void TDataFile::rememberFile(const QString& path)
{
    m_fingerprintPath = QFileInfo(path).absoluteFilePath();
    m_fingerprint = FileFingerprint::of(path);
}

std::optional<QString> TDataFile::checkUnchanged(const QString& path, QWidget* dialogParent)
{
    if (!m_fingerprint.known() || m_fingerprintPath != path)
        return QString();
    QString reason;
    const FileFingerprint::Change change = m_fingerprint.compare(path, &reason);
    const QString shown = QDir::toNativeSeparators(path);
    const QString instead = QStringLiteral("(«Нет» — сохранить под другим именем)");
    QString question;
    switch (change) {
    case FileFingerprint::Change::Same:
        return QString();
    case FileFingerprint::Change::Changed:
        question = QStringLiteral("Файл %1 был изменён другой программой после открытия. Перезаписать его? %2")
                       .arg(shown, instead);
        break;
    case FileFingerprint::Change::Vanished:
        question = QStringLiteral("Файл %1 был удалён или перемещён другой программой после открытия. Записать "
                                  "его заново? %2")
                       .arg(shown, instead);
        break;
    case FileFingerprint::Change::Unreadable:
        question = QStringLiteral("Файл %1 больше не читается (%2). Перезаписать его? %3").arg(shown, reason, instead);
        break;
    }
    switch (m_prompts.confirmOrCancel(question)) {
    case Prompts::Answer::Yes:
        return QString();
    case Prompts::Answer::No: {
        const QString other = m_prompts.saveFile(dialogParent, SaveTitle, DenFilter, QStringLiteral("den"));
        if (other.isEmpty())
            return std::nullopt;
        return QFileInfo(other).absoluteFilePath();
    }
    case Prompts::Answer::Cancel:
        break;
    }
    return std::nullopt;
}

bool TDataFile::SaveDataFile(bool ask, QWidget* dialogParent)
{
    if (!m_dm.Tb_Account->active())
        return false;
    FlushPendingEdits();
    // A file that vanished after it was opened is still the data's own: the save asks about it
    // below rather than taking the data for new.
    const bool vanished = !m_title.isEmpty() && !titleIsFile() && m_fingerprint.known()
                          && m_fingerprintPath == QFileInfo(m_title).absoluteFilePath();
    const bool titled = titleIsFile() || vanished;
    QString name;
    if (ask || !titled) {
        name = m_prompts.saveFile(dialogParent, SaveTitle, DenFilter, QStringLiteral("den"));
        if (name.isEmpty())
            return false;
    } else {
        name = m_title;
    }
    if (name.isEmpty())
        return false;
    name = QFileInfo(name).absoluteFilePath();
    // The data's own file, changed, removed or made unreadable by someone else since it was opened
    // or saved, is written over only when the user says so; else under another name, or not at all.
    bool redirected = false;
    if (!m_title.isEmpty() && name == QFileInfo(m_title).absoluteFilePath()) {
        const std::optional<QString> instead = checkUnchanged(name, dialogParent);
        if (!instead)
            return false;
        if (!instead->isEmpty()) {
            name = *instead;
            redirected = true;
        }
    }
    // A file the user made read-only is not replaced behind the user's back.
    if (IsReadOnlyFile(name)
        && !m_prompts.confirm(QStringLiteral("Файл %1 доступен только для чтения. Всё равно заменить его?")
                                  .arg(QDir::toNativeSeparators(name))))
        return false;
    // What saves cut off half way left beside the file goes before this one adds its own.
    RemoveSaveLeftovers(name);
    if (Backup && QFileInfo(name).isFile()) {
        QString ignored;
        ReplaceBackupCopy(name, &ignored); // a failed backup does not stop the save
    }
    QString error;
    int packed;
    {
        WaitCursor wait;
        packed = ZipArchive::pack(WorkingFolder, name, password(), &error);
    }
    if (packed < 0)
        throw DbError(error);
    m_dm.DataSaved = packed > 0;
    if (packed > 0)
        keepVersion(name);
    // Data that belonged to no file now belongs to the one it was saved in: the next save goes
    // there without asking, and the next start opens it. A copy saved from titled data is a copy:
    // what its own file lacks is still kept for a crash.
    // Data saved under another name because its file was changed by someone else belongs to the
    // new file from now on: the next save must not ask about the other one again.
    if (packed > 0 && (!titled || redirected))
        setTitle(name);
    if (packed > 0 && (!titled || redirected || name == QFileInfo(m_title).absoluteFilePath())) {
        rememberFile(name);
        noteSaved();
    }
    return packed > 0;
}

void TDataFile::FlushPendingEdits()
{
    // The remembered account: the current one carries the mark, the others none. Posting through
    // the table marks the data unsaved, so the choice is kept by the next save. A damaged table
    // must not stop a save, a close or a view switch: this is a step that may fail quietly.
    Table& acc = *m_dm.Tb_Account;
    try {
        if (acc.active() && !acc.isEmpty() && acc.findField(AccountField::Mark) && !acc.editing()
            && acc.fieldByName(AccountField::Mark).asString() != QLatin1String("L")) {
            const qint64 current = acc.fieldByName(AccountField::IdAccount).asInteger();
            // The mark is the program's own note, written on every save and view switch: no step
            // of the user's to undo.
            ChangeRecorder::Quiet quiet(acc.database());
            SuspendControls suspend(acc);
            for (acc.first(); !acc.eof(); acc.next()) {
                Field& c = acc.fieldByName(AccountField::Mark);
                const bool mine = acc.fieldByName(AccountField::IdAccount).asInteger() == current;
                if (mine == (c.asString() == QLatin1String("L")) && (mine || c.isNull()))
                    continue;
                try {
                    acc.edit();
                    c.setValue(mine ? QVariant(QStringLiteral("L")) : QVariant());
                    acc.post();
                } catch (...) {
                    // The remembered-account mark may fail quietly, row by row: it must not stop a
                    // save, a close or a view switch.
                    noteSwallowed("marking the remembered account");
                    acc.cancel();
                }
            }
            try {
                acc.locate(AccountField::IdAccount, current);
            } catch (...) {
                // The mark is written; only the cursor stays where the walk left it.
                noteSwallowed("returning to the remembered account");
            }
        }
    } catch (...) {
        try {
            acc.cancel();
        } catch (...) {
            // The remembered-account mark may fail quietly: it must not stop a save, a close or a view switch.
            noteSwallowed("cancelling the account mark");
        }
    }
    for (Table* t : {m_dm.Tb_Person, m_dm.Tb_Family, m_dm.Tb_Firm, m_dm.Tb_Log}) {
        if (!t->editing())
            continue;
        try {
            t->post();
        } catch (...) {
            try {
                t->cancel();
            } catch (...) {
                // A pending edit that can neither post nor cancel is dropped with its table at the close.
                noteSwallowed("cancelling a pending edit");
            }
        }
    }
    for (Table* t : m_dm.tables()) {
        if (!t->active())
            continue;
        try {
            t->flush();
        } catch (...) {
            // Every change is already on the disk once posted; flushing is a courtesy.
            noteSwallowed("flushing a table");
        }
    }
}

// ---- closing ----

bool TDataFile::CloseDataFile()
{
    FlushPendingEdits();
    const bool r = CloseDatabase();
    if (r || StartStop) {
        // The note goes first: a folder half cleared is never offered back.
        QFile::remove(recoveryNote());
        m_unsavedNoted = false;
        ClearDirectory(WorkingFolder);
    }
    return r;
}

bool TDataFile::CloseDatabase()
{
    if (m_owner)
        m_owner->databaseClosing();
    std::shared_ptr<Database> db;
    if (m_dm.Tb_Account->active()) {
        try {
            db = Database::acquire(WorkingFolder);
        } catch (const DbError&) {
            return false;
        }
    }
    QList<Dataset*> datasets = m_dm.datasets();
    if (m_owner)
        datasets += m_owner->otherDatasets();
    // Every dataset is closed even when one refuses: a half-closed database helps nobody.
    bool closed = true;
    for (Dataset* d : datasets) {
        auto* t = qobject_cast<Table*>(d);
        if (t && t->active()) {
            try {
                t->flush();
            } catch (...) {
                // Every change is already on the disk once posted; the close itself says whether it worked.
                noteSwallowed("flushing before the close");
            }
        }
        try {
            d->close();
        } catch (...) {
            // The others are closed all the same; the caller learns from the result that the close failed.
            noteSwallowed("closing a dataset of the data");
            closed = false;
        }
    }
    if (!closed)
        return false;
    if (PackOnClose && db) {
        // Packing only gives back the room of deleted rows; the data is whole without it.
        try {
            db->pack();
        } catch (...) {
            m_prompts.error(QStringLiteral("Таблицы не удалось сжать: ") + messageOf(std::current_exception()));
        }
    }
    db.reset();
    if (!StartStop) {
        emit databaseClosed();
        setTitle(QString());
        setPassword(QString());
    }
    PackOnClose = false;
    return true;
}

// ---- what the working folder's surroundings must be ----

void TDataFile::setAsideUntrusted(bool folderWasOpen)
{
    // What lies under the program's names beside the working folder is read only when nobody but
    // the user could have put it there: the folder was closed to others, and the entry is the
    // user's own. Anything else is renamed out of the way unopened, never cleared: it may still be
    // the user's own work.
    QStringList setAside;
    for (const QString& name :
         {WorkingFolder, stagingFolder(), asideFolder(), WorkingFolder + QStringLiteral(".lck")}) {
        struct stat st {};
        if (::lstat(QFile::encodeName(name).constData(), &st) != 0)
            continue;
        if (!folderWasOpen && st.st_uid == ::geteuid())
            continue;
        QString reason;
        const QString aside = MoveAside(name, QStringLiteral(".untrusted-"), &reason);
        if (aside.isEmpty())
            throw DbError(QStringLiteral("Невозможно отложить %1: %2").arg(QDir::toNativeSeparators(name), reason));
        setAside << QDir::toNativeSeparators(aside);
    }
    if (setAside.isEmpty())
        return;
    const QString folder = QDir::toNativeSeparators(QDir::cleanPath(TempFolder));
    m_prompts.inform(
        folderWasOpen
            ? QStringLiteral("Папка %1 была открыта для записи другим пользователям, поэтому то, что в ней лежало, "
                             "не открывалось и отложено: %2. Теперь папка доступна только вам.")
                  .arg(folder, setAside.join(QStringLiteral(", ")))
            : QStringLiteral("В папке %1 лежало то, что принадлежит другому пользователю; оно не открывалось и "
                             "отложено: %2.")
                  .arg(folder, setAside.join(QStringLiteral(", "))));
}

bool TDataFile::lockIsAFile()
{
    const QString lock = WorkingFolder + QStringLiteral(".lck");
    struct stat st {};
    if (::lstat(QFile::encodeName(lock).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    const bool link = S_ISLNK(st.st_mode), folder = S_ISDIR(st.st_mode);
    const QString what = link     ? QStringLiteral("символическая ссылка")
                         : folder ? QStringLiteral("папка")
                                  : QStringLiteral("особый файл (канал, устройство или сокет)");
    const QString it = link ? QStringLiteral("ссылку") : folder ? QStringLiteral("папку") : QStringLiteral("его");
    m_prompts.inform(QStringLiteral("На месте файла блокировки %1 находится %2, а не обычный файл. Программа не может "
                                    "проверить, не запущена ли уже другая её копия, и будет закрыта. Удалите %3 и "
                                    "запустите программу снова.")
                         .arg(QDir::toNativeSeparators(lock), what, it));
    return false;
}

} // namespace dorv
