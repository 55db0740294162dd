#include "app/DataFile.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "support/DamagedFile.h"
#include "support/DiskLimit.h"
#include "support/Files.h"
#include "support/ScriptedPrompts.h"
#include "util/FileUtil.h"
#include "util/Win1251.h"
#include "util/ZipArchive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <functional>

#include <zip.h>

#include <sys/stat.h>

using namespace dorv;

namespace {

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The account names a data file holds, read straight from its archive.
QStringList accountsIn(const QString& file)
{
    QTemporaryDir d;
    if (ZipArchive::unpack(file, d.path(), {}, {}, nullptr) < 1)
        return {QStringLiteral("<unreadable>")};
    auto db = Database::openFile(d.filePath(Database::FileName), false);
    Statement st = db->prepareOnce(QStringLiteral("SELECT Account FROM TB_ACCOUNT ORDER BY Account"));
    QStringList out;
    while (st.step())
        out << st.column(0).toString();
    return out;
}

// The encryption method of every entry of an archive.
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

// A data file as earlier versions wrote it: the entries of a saved one, encrypted the traditional
// PKWARE way with the password's Windows-1251 bytes.
bool writeTraditional(const QString& from, const QString& to, const QString& password)
{
    QTemporaryDir d;
    if (ZipArchive::unpack(from, d.path(), {}, {}, nullptr) < 1)
        return false;
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(to).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!z)
        return false;
    bool fits = false;
    const QByteArray pw = toWin1251(password, &fits);
    for (const QFileInfo& fi : QDir(d.path()).entryInfoList(QDir::Files)) {
        zip_source_t* s = zip_source_file(z, QFile::encodeName(fi.absoluteFilePath()).constData(), 0, 0);
        const zip_int64_t idx = s ? zip_file_add(z, fi.fileName().toUtf8().constData(), s, ZIP_FL_ENC_UTF_8) : -1;
        if (idx < 0
            || zip_file_set_encryption(z, static_cast<zip_uint64_t>(idx), ZIP_EM_TRAD_PKWARE, pw.constData()) != 0) {
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

} // namespace

// The window's part, as far as these tests need it: the password field and the password card.
struct PasswordOwner final : DataFileOwner {
    TDataFile* file = nullptr;
    QString& pass;
    std::function<bool(const QString& caption)> ask;
    explicit PasswordOwner(QString& text) : pass(text) {}
    QString passwordText() const override { return pass; }
    void setPasswordText(const QString& text) override { pass = text; }
    bool askPassword(const QString& caption) override { return ask && ask(caption); }
    bool openDatabase() override { return file->openTables(); }
    void databaseClosing() override {}
    QList<Dataset*> otherDatasets() const override { return {}; }
};

// The data file's life without a window: saving, the backup copy, opening broken files, the
// password and the working folder.
class TestDataFile : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;
    std::unique_ptr<TDm> dm;
    std::unique_ptr<TDataFile> file;
    QString pass;
    PasswordOwner owner{pass};

    QString tempFolder() const { return root->filePath(QStringLiteral("tmp")); }
    void addAccount(const QString& name)
    {
        Table& a = *dm->Tb_Account;
        a.insert();
        a.fieldByName(QStringLiteral("Account")).setValue(name);
        a.fieldByName(QStringLiteral("Currency")).setValue(QStringLiteral("руб"));
        a.post();
    }
    QStringList accounts() const
    {
        QStringList out;
        Table& a = *dm->Tb_Account;
        for (a.first(); !a.eof(); a.next())
            out << a.fieldByName(QStringLiteral("Account")).asString();
        return out;
    }
    // Saves under a name of the user's choice.
    QString saveAs(const QString& name)
    {
        const QString path = root->filePath(name);
        prompts.saveFiles.enqueue(path);
        file->SaveDataFile(true);
        return path;
    }
private slots:
    void init()
    {
        root = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(tempFolder()));
        prompts = ScriptedPrompts();
        pass.clear();
        dm = std::make_unique<TDm>();
        file = std::make_unique<TDataFile>(*dm, prompts);
        owner.file = file.get();
        owner.ask = nullptr;
        file->setOwner(&owner);
        QVERIFY(file->prepare(tempFolder()));
        dm->BindDatabaseName(file->WorkingFolder);
        QVERIFY(file->CreateNewDataFile());
        file->StartStop = false;
    }
    void cleanup()
    {
        file->StartStop = true;
        file->CloseDataFile();
        file.reset();
        dm.reset();
        root.reset();
    }

    void firstSaveMakesTheFileCurrent_data()
    {
        QTest::addColumn<bool>("titled"); // the data already belongs to a file
        QTest::addColumn<bool>("ask");    // "Сохранить как..." rather than "Сохранить"
        QTest::addRow("save of new data") << false << false;
        QTest::addRow("save as of new data") << false << true;
        QTest::addRow("save as of a file's data") << true << true;
    }
    void firstSaveMakesTheFileCurrent()
    {
        QFETCH(bool, titled);
        QFETCH(bool, ask);
        const QString home = titled ? saveAs(QStringLiteral("home.den")) : QString();
        QCOMPARE(file->title(), home);
        addAccount(QStringLiteral("Первый"));
        const QString chosen = root->filePath(QStringLiteral("chosen.den"));
        prompts.saveFiles.enqueue(chosen);
        QVERIFY(file->SaveDataFile(ask));
        QCOMPARE(file->title(), titled ? home : chosen);
        // A household's records are nobody else's to read.
        QCOMPARE(QFile::permissions(chosen) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        // The next "Сохранить" writes to the current file without asking.
        prompts.asked.clear();
        addAccount(QStringLiteral("Второй"));
        QVERIFY(file->SaveDataFile(false));
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(accountsIn(titled ? home : chosen), (QStringList{"Второй", "Первый"}));
        if (titled)
            QCOMPARE(accountsIn(chosen), QStringList{"Первый"});
    }

    void fullDiskLosesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addRow("a data file") << QStringLiteral("home.den");
        QTest::addRow("a data file opened from its backup") << QStringLiteral("home.BAK");
    }
    void fullDiskLosesNothing()
    {
        QFETCH(QString, name);
        addAccount(QStringLiteral("Сохранённый"));
        const QString path = saveAs(name);
        QCOMPARE(file->title(), path);
        addAccount(QStringLiteral("Второй"));
        QVERIFY(file->SaveDataFile(false)); // so that a backup copy exists beside home.den
        const QByteArray saved = contentOf(path);
        const QString backup = root->filePath(QStringLiteral("home.BAK"));
        const QByteArray backedUp = contentOf(backup);
        QVERIFY(!backedUp.isEmpty());
        addAccount(QStringLiteral("Несохранённый"));
        QString message;
        {
            DiskLimit full(1);
            try {
                file->SaveDataFile(false);
            } catch (const DbError& e) {
                message = e.message();
            }
        }
        QVERIFY2(message.contains(QStringLiteral("Недостаточно места на диске")), qPrintable(message));
        QVERIFY(!dm->DataSaved);
        QCOMPARE(contentOf(path), saved);
        QCOMPARE(contentOf(backup), path == backup ? saved : backedUp);
        QCOMPARE(QDir(root->path()).entryList(QDir::Files).size(), path == backup ? 1 : 2);
        // Room again: the same save goes through.
        QVERIFY(file->SaveDataFile(false));
        QCOMPARE(accountsIn(path), (QStringList{"Второй", "Несохранённый", "Сохранённый"}));
    }

    void saveAsToAFullDiskLeavesNoFile()
    {
        addAccount(QStringLiteral("Счёт"));
        const QString copy = root->filePath(QStringLiteral("copy.den"));
        prompts.saveFiles.enqueue(copy);
        {
            DiskLimit full(1);
            QVERIFY_THROWS_EXCEPTION(DbError, file->SaveDataFile(true));
        }
        QVERIFY(QDir(root->path()).entryList(QDir::Files).isEmpty());
        QVERIFY(file->title().isEmpty());
        QVERIFY(!dm->DataSaved);
    }

    void backupOfAFileOpenedFromItsBackup()
    {
        addAccount(QStringLiteral("Первый"));
        const QString bak = saveAs(QStringLiteral("home.BAK"));
        addAccount(QStringLiteral("Второй"));
        QVERIFY(file->SaveDataFile(false));
        QCOMPARE(accountsIn(bak), (QStringList{"Второй", "Первый"}));
        QCOMPARE(QDir(root->path()).entryList(QDir::Files), QStringList{"home.BAK"});
    }

    void damagedFileLeavesTheOpenDataAlone()
    {
        addAccount(QStringLiteral("Дом"));
        const QString home = saveAs(QStringLiteral("home.den"));
        const QString damaged = makeDamagedDataFile(root->filePath(QStringLiteral("damaged.den")));
        QVERIFY(!damaged.isEmpty());
        QString message;
        try {
            file->OpenDataFile(damaged);
        } catch (const DbError& e) {
            message = e.message();
        }
        QVERIFY2(message.contains(QStringLiteral("повреждён")) && message.contains(damaged), qPrintable(message));
        QCOMPARE(file->title(), home);
        QCOMPARE(accounts(), QStringList{"Дом"});
        // The same through the command, which then leaves the program usable.
        prompts.openFiles.enqueue(damaged);
        QVERIFY_THROWS_EXCEPTION(DbError, file->mOpenClick(nullptr));
        QCOMPARE(accounts(), QStringList{"Дом"});
        QVERIFY(!QFileInfo::exists(file->WorkingFolder + QStringLiteral(".new")));
        QVERIFY(file->CreateNewDataFile());
        QVERIFY(accounts().isEmpty());
        QVERIFY(file->OpenDataFile(home));
        QCOMPARE(accounts(), QStringList{"Дом"});
    }

    void newPasswordIsAskedTwice_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second"); // null: the repetition is cancelled
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("message");
        QTest::addRow("the same twice") << "тайна"
                                        << "тайна" << true << QString();
        QTest::addRow("a typo") << "тайна"
                                << "тайно" << false << "Пароли не совпадают. Пароль не изменён.";
        QTest::addRow("repetition cancelled") << "тайна" << QString() << false << QString();
        QTest::addRow("outside the code page") << "密码"
                                               << "密码" << false
                                               << "В пароле есть символ, который не может быть сохранён. Пароль не "
                                                  "изменён.";
    }
    void newPasswordIsAskedTwice()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, changed);
        QFETCH(QString, message);
        pass = QStringLiteral("старый");
        QStringList captions, shown;
        QStringList answers{first, second};
        owner.ask = [&](const QString& caption) {
            captions << caption;
            shown << pass;
            const QString answer = answers.takeFirst();
            if (answer.isNull())
                return false;
            pass = answer;
            return true;
        };
        dm->DataSaved = true;
        file->mPasswordClick();
        QCOMPARE(captions, (QStringList{"Введите пароль:", "Повторите пароль:"}));
        // The repetition is typed into an empty field, not confirmed by pressing OK.
        QCOMPARE(shown, (QStringList{"старый", ""}));
        QCOMPARE(pass, changed ? first : QStringLiteral("старый"));
        QCOMPARE(dm->DataSaved, !changed);
        QCOMPARE(prompts.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    }

    // A file of an earlier version, encrypted the traditional way, opens with its password and is
    // written with AES-256 at its next save.
    void traditionallyEncryptedFileBecomesAesAtItsNextSave()
    {
        addAccount(QStringLiteral("Дом"));
        const QString plain = saveAs(QStringLiteral("plain.den"));
        const QString old = root->filePath(QStringLiteral("old.den"));
        QVERIFY(writeTraditional(plain, old, QStringLiteral("тайна")));
        QVERIFY(!methodsIn(old).isEmpty());
        for (const zip_uint16_t m : methodsIn(old))
            QCOMPARE(m, zip_uint16_t(ZIP_EM_TRAD_PKWARE));
        owner.ask = [&](const QString&) {
            pass = QStringLiteral("тайна");
            return true;
        };
        QVERIFY(file->OpenDataFile(old));
        QCOMPARE(accounts(), QStringList{"Дом"});
        QVERIFY(prompts.messages().isEmpty());
        addAccount(QStringLiteral("Дача"));
        QVERIFY(file->SaveDataFile(false));
        const QList<zip_uint16_t> methods = methodsIn(old);
        QVERIFY(!methods.isEmpty());
        for (const zip_uint16_t m : methods)
            QCOMPARE(m, zip_uint16_t(ZIP_EM_AES_256));
        // The previous version, as it was, is the backup copy.
        QCOMPARE(methodsIn(root->filePath(QStringLiteral("old.BAK"))).value(0), zip_uint16_t(ZIP_EM_TRAD_PKWARE));
        QVERIFY(file->CreateNewDataFile());
        QVERIFY(file->OpenDataFile(old));
        QCOMPARE(accounts(), (QStringList{"Дача", "Дом"}));
    }

    // Opening a data file with a password: a wrong password is said as such, a file damaged behind
    // the right one names the damage, and the open data stays in both cases.
    void wrongPasswordAndDamageAreToldApart_data()
    {
        QTest::addColumn<bool>("damage");
        QTest::addColumn<QString>("typed");
        QTest::addRow("wrong password") << false << "другой";
        QTest::addRow("damaged file") << true << "тайна";
    }
    void wrongPasswordAndDamageAreToldApart()
    {
        QFETCH(bool, damage);
        QFETCH(QString, typed);
        addAccount(QStringLiteral("Дом"));
        pass = QStringLiteral("тайна");
        const QString secret = saveAs(QStringLiteral("secret.den"));
        QCOMPARE(methodsIn(secret).value(0), zip_uint16_t(ZIP_EM_AES_256));
        if (damage) {
            QByteArray bytes = contentOf(secret);
            bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x5A);
            QFile f(secret);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(f.write(bytes), bytes.size());
        }
        QVERIFY(file->CreateNewDataFile());
        addAccount(QStringLiteral("Открытый"));
        owner.ask = [&](const QString&) {
            pass = typed;
            return true;
        };
        QString error;
        try {
            file->OpenDataFile(secret);
        } catch (const DbError& e) {
            error = e.message();
        }
        if (damage) {
            // Which part the damage hit decides the words; it is named, and never called a wrong password.
            QVERIFY2(error.startsWith(QStringLiteral("Файл %1 не является архивом данных или повреждён: ").arg(secret))
                         && error.contains(QStringLiteral("«DORVANA.DB»")),
                     qPrintable(error));
            QVERIFY(prompts.messages().isEmpty());
        } else {
            QVERIFY(error.isEmpty());
            QCOMPARE(prompts.messages(), (QStringList{"Пароль неверен !!!", "Нет возможности открыть файл " + secret}));
        }
        QCOMPARE(accounts(), QStringList{"Открытый"});
    }

    // Another program (a sync service) rewrites, removes or replaces the data file between its
    // opening and the save: the save asks before it writes over it. Yes overwrites (the other
    // version becomes the backup copy), No saves under another name, Cancel saves nothing.
    void fileChangedByAnotherProgramIsNotOverwrittenUnasked_data()
    {
        QTest::addColumn<QString>("script");   // run by sh with the data file as $0 and the other version as $1
        QTest::addColumn<QString>("question"); // with %1 for the file; empty: none
        QTest::addColumn<int>("answer");
        const QString changed = "Файл %1 был изменён другой программой после открытия. Перезаписать его? («Нет» — "
                                "сохранить под другим именем)";
        const QString vanished = "Файл %1 был удалён или перемещён другой программой после открытия. Записать его "
                                 "заново? («Нет» — сохранить под другим именем)";
        const QString folder = "Файл %1 больше не читается (" + SystemErrorText(EISDIR)
                               + "). Перезаписать его? («Нет» — сохранить под другим именем)";
        const QString copy = R"(cp "$1" "$0")";
        QTest::addRow("changed, Yes") << copy << changed << int(Prompts::Answer::Yes);
        QTest::addRow("changed, No") << copy << changed << int(Prompts::Answer::No);
        QTest::addRow("changed, Cancel") << copy << changed << int(Prompts::Answer::Cancel);
        QTest::addRow("rewritten with its size and time kept, Yes")
            << R"(touch -r "$0" "$0.time" && printf Z | dd of="$0" bs=1 seek=40 conv=notrunc 2>/dev/null && touch -r "$0.time" "$0" && rm "$0.time")"
            << changed << int(Prompts::Answer::Yes);
        QTest::addRow("only touched") << R"(touch -d "+1 hour" "$0")" << QString() << int(Prompts::Answer::Cancel);
        QTest::addRow("moved away, Yes") << R"(mv "$0" "$0.moved")" << vanished << int(Prompts::Answer::Yes);
        QTest::addRow("removed, No") << R"(rm "$0")" << vanished << int(Prompts::Answer::No);
        QTest::addRow("removed, Cancel") << R"(rm "$0")" << vanished << int(Prompts::Answer::Cancel);
        QTest::addRow("a folder in its place, No") << R"(rm "$0" && mkdir "$0")" << folder << int(Prompts::Answer::No);
    }
    void fileChangedByAnotherProgramIsNotOverwrittenUnasked()
    {
        QFETCH(QString, script);
        QFETCH(QString, question);
        QFETCH(int, answer);
        const auto said = Prompts::Answer(answer);
        addAccount(QStringLiteral("Другой"));
        const QString other = saveAs(QStringLiteral("other.den"));
        const QByteArray otherBytes = contentOf(other);
        QVERIFY(file->CreateNewDataFile());
        addAccount(QStringLiteral("Наш"));
        const QString home = saveAs(QStringLiteral("home.den"));
        QVERIFY(file->OpenDataFile(home));
        addAccount(QStringLiteral("Новый"));

        QProcess sync;
        sync.start(QStringLiteral("sh"), {QStringLiteral("-c"), script, home, other});
        QVERIFY(sync.waitForFinished(30000));
        QCOMPARE(sync.exitCode(), 0);
        const QByteArray theirs = contentOf(home);
        const QString elsewhere = root->filePath(QStringLiteral("elsewhere.den"));
        prompts.asked.clear();
        prompts.threeWay.enqueue(said);
        prompts.saveFiles.enqueue(elsewhere);
        const bool written = question.isEmpty() || said != Prompts::Answer::Cancel;
        QCOMPARE(file->SaveDataFile(false), written);

        QStringList expected;
        if (!question.isEmpty())
            expected << "confirmOrCancel: " + question.arg(home);
        if (said == Prompts::Answer::No && !question.isEmpty())
            expected << QStringLiteral("save: Сохранение данных в архиве");
        QCOMPARE(prompts.asked, expected);
        QCOMPARE(dm->DataSaved, written);
        const QStringList ours{"Наш", "Новый"};
        if (said == Prompts::Answer::No && !question.isEmpty()) {
            // The other version stays as it is; the data now belongs to the file chosen.
            QCOMPARE(accountsIn(elsewhere), ours);
            QCOMPARE(file->title(), elsewhere);
            if (QFileInfo(home).isFile())
                QCOMPARE(contentOf(home), theirs);
        } else if (written) {
            QCOMPARE(accountsIn(home), ours);
            QCOMPARE(file->title(), home);
            if (!theirs.isEmpty())
                QCOMPARE(contentOf(root->filePath(QStringLiteral("home.BAK"))), theirs);
            if (script == QStringLiteral(R"(cp "$1" "$0")"))
                QCOMPARE(theirs, otherBytes);
        } else {
            QCOMPARE(contentOf(home), theirs);
            QCOMPARE(file->title(), home);
        }
        if (!written)
            return;
        // What was written is what the next save compares with: it asks nothing.
        addAccount(QStringLiteral("Ещё"));
        prompts.asked.clear();
        QVERIFY(file->SaveDataFile(false));
        QVERIFY2(prompts.asked.isEmpty(), qPrintable(prompts.asked.join('\n')));
    }

    // The saves that New and Open make before they leave the data ask the same; Cancel leaves the
    // data open and unsaved.
    void leavingDataOfAChangedFileAsksFirst_data()
    {
        QTest::addColumn<bool>("open"); // else New
        QTest::addRow("New") << false;
        QTest::addRow("Open") << true;
    }
    void leavingDataOfAChangedFileAsksFirst()
    {
        QFETCH(bool, open);
        addAccount(QStringLiteral("Наш"));
        const QString home = saveAs(QStringLiteral("home.den"));
        addAccount(QStringLiteral("Новый"));
        QProcess sync;
        sync.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral(R"(printf changed > "$0")"), home});
        QVERIFY(sync.waitForFinished(30000));
        QCOMPARE(sync.exitCode(), 0);
        prompts.asked.clear();
        prompts.threeWay.enqueue(Prompts::Answer::Cancel);
        if (open) {
            prompts.openFiles.enqueue(home);
            file->mOpenClick(nullptr);
        } else {
            QVERIFY(!file->CreateNewDataFile());
        }
        QCOMPARE(prompts.asked.filter(QStringLiteral("confirmOrCancel: ")),
                 QStringList{QStringLiteral("confirmOrCancel: Файл %1 был изменён другой программой после открытия. "
                                            "Перезаписать его? («Нет» — сохранить под другим именем)")
                                 .arg(home)});
        QCOMPARE(contentOf(home), QByteArray("changed"));
        QCOMPARE(accounts(), (QStringList{"Наш", "Новый"}));
        QCOMPARE(file->title(), home);
        QVERIFY(!dm->DataSaved);
    }

    void symlinkedWorkingFolderIsNeverUsed()
    {
        QTemporaryDir other;
        QFile keep(other.filePath(QStringLiteral("keep.txt")));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("not yours");
        keep.close();
        QVERIFY(::chmod(QFile::encodeName(other.path()).constData(), 0755) == 0);
        const QString base = root->filePath(QStringLiteral("linked"));
        QVERIFY(QDir().mkpath(base));
        QVERIFY(QFile::link(other.path(), base + QStringLiteral("/DAZAZORI")));
        TDm otherDm;
        TDataFile f(otherDm, prompts);
        QString message;
        try {
            f.prepare(base);
        } catch (const DbError& e) {
            message = e.message();
        }
        QCOMPARE(message, QStringLiteral("Невозможно создать временную папку !"));
        QCOMPARE(QDir(other.path()).entryList(QDir::Files), QStringList{"keep.txt"});
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(other.path()).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0755);
    }

    void unusableTempFolderIsNamedSo_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addRow("a file in its place") << "file";
        QTest::addRow("missing") << "missing";
    }
    void unusableTempFolderIsNamedSo()
    {
        QFETCH(QString, kind);
        const QString base = root->filePath(QStringLiteral("base"));
        if (kind == QLatin1String("file")) {
            QFile f(base);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        TDm otherDm;
        TDataFile f(otherDm, prompts);
        QString message;
        try {
            f.prepare(base);
        } catch (const DbError& e) {
            message = e.message();
        }
        QCOMPARE(message, QStringLiteral("Невозможно создать временную папку !"));
        QVERIFY(prompts.messages().isEmpty()); // never "already running"
    }

    void readOnlyFileIsReplacedOnlyWhenTheUserSays_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::addRow("Yes") << true;
        QTest::addRow("No") << false;
    }
    void readOnlyFileIsReplacedOnlyWhenTheUserSays()
    {
        QFETCH(bool, replace);
        addAccount(QStringLiteral("Старый"));
        const QString home = saveAs(QStringLiteral("home.den"));
        QVERIFY(file->SaveDataFile(false)); // so that a backup copy exists beside it
        const QString backup = root->filePath(QStringLiteral("home.BAK"));
        const QByteArray saved = contentOf(home), backedUp = contentOf(backup);
        QCOMPARE(::chmod(QFile::encodeName(home).constData(), 0444), 0);
        addAccount(QStringLiteral("Новый"));
        prompts.asked.clear();
        prompts.confirms.enqueue(replace);
        QCOMPARE(file->SaveDataFile(false), replace);
        QCOMPARE(prompts.asked, QStringList{QStringLiteral("confirm: Файл %1 доступен только для чтения. Всё равно "
                                                           "заменить его?")
                                                .arg(QDir::toNativeSeparators(home))});
        QCOMPARE(dm->DataSaved, replace);
        if (replace) {
            QCOMPARE(accountsIn(home), (QStringList{"Новый", "Старый"}));
            QCOMPARE(contentOf(backup), saved);
        } else {
            QCOMPARE(contentOf(home), saved);
            QCOMPARE(contentOf(backup), backedUp);
        }
        // The file keeps the protection the user gave it.
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(home).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0444);
    }

    void lockThatIsNotAFileIsNamed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("it");
        QTest::addRow("a link") << "link"
                                << "символическая ссылка"
                                << "ссылку";
        QTest::addRow("a folder") << "folder"
                                  << "папка"
                                  << "папку";
    }
    void lockThatIsNotAFileIsNamed()
    {
        QFETCH(QString, kind);
        QFETCH(QString, what);
        QFETCH(QString, it);
        const QString base = root->filePath(QStringLiteral("other"));
        QVERIFY(QDir().mkpath(base));
        const QString lock = base + QStringLiteral("/DAZAZORI.lck");
        const QString target = root->filePath(QStringLiteral("target"));
        writeFile(target, "not a lock");
        if (kind == QLatin1String("link"))
            QVERIFY(QFile::link(target, lock));
        else
            QVERIFY(QDir().mkdir(lock));
        TDm otherDm;
        TDataFile f(otherDm, prompts);
        prompts.asked.clear();
        QVERIFY(!f.prepare(base));
        QCOMPARE(
            prompts.messages(),
            QStringList{QStringLiteral("На месте файла блокировки %1 находится %2, а не обычный файл. Программа не "
                                       "может проверить, не запущена ли уже другая её копия, и будет закрыта. "
                                       "Удалите %3 и запустите программу снова.")
                            .arg(QDir::toNativeSeparators(lock), what, it)});
        QCOMPARE(kind == QLatin1String("link") ? QFileInfo(lock).isSymLink() : QFileInfo(lock).isDir(), true);
        QCOMPARE(contentOf(target), QByteArray("not a lock"));
        QVERIFY(!QFileInfo::exists(base + QStringLiteral("/DAZAZORI")));
    }

    void dialogsStartBesideTheDataFile()
    {
        QCOMPARE(file->dialogFolder(), QDir::homePath());
        const QString home = saveAs(QStringLiteral("home.den"));
        QCOMPARE(file->dialogFolder(), QFileInfo(home).absolutePath());
    }
};

QTEST_GUILESS_MAIN(TestDataFile)
#include "tst_datafile.moc"
