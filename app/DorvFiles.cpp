// The main window's data-file commands: opening, saving and closing data files, the password and
// the backup copy.
#include "DorvMain.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "ledger/MoneyView.h"
#include "util/FileUtil.h"
#include "util/Prompts.h"
#include "util/ZipArchive.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

namespace dorv {

namespace {
const QString DenFilter = QStringLiteral("Данные Dorvana (*.den)");

// Restores the normal cursor however the block is left.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

QString TFormMain::password() const { return m_card ? m_card->EdPas->text() : QString(); }

void TFormMain::mNewClick() { CreateNewDataFile(); }

bool TFormMain::OpenDataFile(QString path) // a copy: the caller may pass the title, which this clears
{
    if (!QFileInfo(path).isFile())
        return false;
    repaint();
    int unpacked = 0;
    {
        WaitCursor wait;
        if (m_card)
            m_card->EdPas->clear();
        QList<ZipArchive::Entry> entries;
        QString error;
        if (!ZipArchive::list(path, &entries, &error))
            throw DbError(error);
        QString pass;
        if (!entries.isEmpty() && entries.first().encrypted) {
            CardState.CardPage = 0;
            TFormCard* card = Card();
            QApplication::restoreOverrideCursor();
            const int r = m_prompts->runModal(card);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            if (r == QDialog::Accepted)
                pass = card->EdPas->text();
            else
                card->EdPas->clear();
        }
        // A close before the open removed the working folder.
        if (!EnsureDirectory(WorkingFolder))
            throw DbError(QStringLiteral("Невозможно создать временную папку !"));
        unpacked = ZipArchive::unpack(path, WorkingFolder, pass, [this](int index) { VzpBadPassword(index); }, &error);
        if (unpacked < 0)
            throw DbError(error);
    }
    repaint();
    if (unpacked > 0) {
        m_dm->Tb_Hist->disableControls();
        try {
            OpenDatabase();
        } catch (...) {
            m_dm->Tb_Hist->enableControls();
            throw;
        }
        m_dm->Tb_Hist->enableControls();
    }
    if (m_dm->Tb_Account->active()) {
        setTitle(QFileInfo(path).absoluteFilePath());
        return true;
    }
    setTitle(QString());
    m_prompts->inform(QStringLiteral("Нет возможности открыть файл ") + path);
    return false;
}

void TFormMain::VzpBadPassword(int index)
{
    if (index > 0)
        return;
    m_prompts->inform(QStringLiteral("Пароль неверен !!!"));
    if (m_card)
        m_card->EdPas->clear();
}

void TFormMain::mOpenClick()
{
    repaint();
    const QString file = m_prompts->openFile(this, QStringLiteral("Открытие данных"), DenFilter);
    if (file.isEmpty())
        return;
    // A file that is no readable archive is refused before anything of the open data is touched.
    {
        QList<ZipArchive::Entry> entries;
        QString error;
        if (!ZipArchive::list(file, &entries, &error))
            throw DbError(error);
    }
    const bool titled = !m_title.isEmpty() && QFileInfo(m_title).isFile();
    if (!m_dm->DataSaved && !SaveDataFile(false) && titled)
        return;
    if (!CloseDataFile() && titled)
        return;
    bool opened = false;
    try {
        opened = OpenDataFile(file);
    } catch (const DbError& e) {
        m_prompts->error(e.message());
    }
    if (!opened)
        CreateNewDataFile();
}

bool TFormMain::SaveDataFile(bool ask)
{
    if (!m_dm->Tb_Account->active())
        return false;
    FlushPendingEdits();
    QString name;
    if (ask || m_title.isEmpty() || !QFileInfo(m_title).isFile()) {
        name = m_prompts->saveFile(this, QStringLiteral("Сохранение данных в архиве"), DenFilter, QStringLiteral("den"));
        if (name.isEmpty())
            return false;
    } else {
        name = m_title;
    }
    if (name.isEmpty())
        return false;
    if (action(QStringLiteral("mBak"))->isChecked() && QFileInfo(name).isFile()) {
        const QFileInfo fi(name);
        const QString bak = fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".BAK"));
        QFile::remove(bak);
        QFile::copy(name, bak); // a failed backup does not stop the save
    }
    QString error;
    int packed;
    {
        WaitCursor wait;
        packed = ZipArchive::pack(WorkingFolder, name, password(), &error);
    }
    if (packed < 0)
        throw DbError(error);
    m_dm->DataSaved = packed > 0;
    return packed > 0;
}

void TFormMain::FlushPendingEdits()
{
    if (!m_dm)
        return;
    // The remembered account: the current one carries the mark, the others none. Posting through
    // the table marks the data unsaved, so the choice is kept by the next save.
    Table& acc = *m_dm->Tb_Account;
    if (acc.active() && !acc.isEmpty() && acc.findField(QStringLiteral("C")) && !acc.editing() &&
        acc.fieldByName(QStringLiteral("C")).asString() != QLatin1String("L")) {
        const qint64 current = acc.fieldByName(QStringLiteral("Id_Account")).asInteger();
        acc.disableControls();
        for (acc.first(); !acc.eof(); acc.next()) {
            Field& c = acc.fieldByName(QStringLiteral("C"));
            const bool mine = acc.fieldByName(QStringLiteral("Id_Account")).asInteger() == current;
            if (mine == (c.asString() == QLatin1String("L")) && (mine || c.isNull()))
                continue;
            try {
                acc.edit();
                c.setValue(mine ? QVariant(QStringLiteral("L")) : QVariant());
                acc.post();
            } catch (...) {
                acc.cancel();
            }
        }
        try {
            acc.locate(QStringLiteral("Id_Account"), current);
        } catch (...) {
        }
        acc.enableControls();
    }
    for (Table* t : {m_dm->Tb_Person, m_dm->Tb_Family, m_dm->Tb_Firm, m_dm->Tb_Log}) {
        if (!t->editing())
            continue;
        try {
            t->post();
        } catch (...) {
            t->cancel();
        }
    }
    for (Table* t : m_dm->tables()) {
        if (!t->active())
            continue;
        try {
            t->flush();
        } catch (...) {
        }
    }
}

bool TFormMain::CloseDataFile()
{
    FlushPendingEdits();
    const bool r = CloseDatabase();
    if (r || StartStop)
        ClearDirectory(WorkingFolder);
    return r;
}

bool TFormMain::CloseDatabase()
{
    Money->ClearForClose();
    std::shared_ptr<Database> db;
    if (m_dm->Tb_Account->active()) {
        try {
            db = Database::acquire(WorkingFolder);
        } catch (const DbError&) {
            return false;
        }
    }
    for (Dataset* d : m_dm->datasets()) {
        auto* t = qobject_cast<Table*>(d);
        if (t && t->active()) {
            try {
                t->flush();
            } catch (...) {
            }
        }
        d->close();
    }
    if (m_card)
        for (Dataset* d : m_card->ownedDatasets)
            d->close();
    if (PackOnClose && db)
        db->pack();
    db.reset();
    if (!StartStop) {
        UpdateCommandStates();
        setTitle(QString());
        if (m_card)
            m_card->EdPas->clear();
    }
    PackOnClose = false;
    return true;
}

void TFormMain::mPasswordClick()
{
    CardState.CardPage = 0;
    TFormCard* card = Card();
    const QString old = card->EdPas->text();
    if (m_prompts->runModal(card) == QDialog::Accepted)
        m_dm->DataSaved = false;
    else
        card->EdPas->setText(old);
}

void TFormMain::mBakClick()
{
    // The check mark toggles itself; the choice is read when saving and stored at exit.
}

} // namespace dorv
