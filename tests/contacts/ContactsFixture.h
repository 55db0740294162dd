#pragma once
#include "app/DorvMain.h"
#include "contacts/DiaryView.h"
#include "contacts/FirmsView.h"
#include "contacts/PeopleView.h"
#include "contacts/StartupReminders.h"
#include "data/Database.h"
#include "data/DorvDm.h"
#include "support/Child.h"
#include "support/ScratchEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "widgets/DbGrid.h"

#include <QCalendarWidget>
#include <QTemporaryDir>

#include <memory>

// A main window started on a chosen day, with the address book and the diary filled by SQL and
// opened again from its data file, as a user's file would be.
struct ContactsFixture {
    std::unique_ptr<QTemporaryDir> root;
    ScriptedPrompts prompts;
    std::unique_ptr<dorv::TFormMain> w;

    void start(const QDate& today)
    {
        w.reset();
        root = std::make_unique<QTemporaryDir>();
        prompts = ScriptedPrompts();
        dorv::Clock::pin(QDateTime(today, QTime(10, 0)));
        w = std::make_unique<dorv::TFormMain>(scratchEnvironment(*root, prompts));
    }
    void stop()
    {
        w.reset();
        dorv::Clock::unpin();
    }
    dorv::TDm& dm() const { return *w->Dm(); }
    dorv::TPeopleView& people() const { return *child<dorv::TPeopleView>(&*w, "PeopleView"); }
    dorv::TFirmsView& firms() const { return *child<dorv::TFirmsView>(&*w, "FirmsView"); }
    dorv::TDiaryView& diary() const { return *child<dorv::TDiaryView>(&*w, "DiaryView"); }
    void exec(const QString& sql) const { dorv::Database::acquire(w->workingFolder())->exec(sql); }
    static int day(const QDate& d) { return dorv::dayNumber(d); }

    void addPerson(int id, const QString& name, const QDate& birthday = {}, QVariant firm = {})
    {
        dorv::Statement st = dorv::Database::acquire(w->workingFolder())
                                 ->prepare("INSERT INTO TB_PERSON (Id_Person, Name, Birthday, Dy, Mn, Id_Firm) "
                                           "VALUES (?,?,?,?,?,?)");
        const bool known = birthday.isValid();
        st.bindAll({id, name, known ? QVariant(day(birthday)) : QVariant(),
                    known ? QVariant(birthday.day()) : QVariant(), known ? QVariant(birthday.month()) : QVariant(),
                    firm});
        st.step();
    }
    void addMember(int id, int person, const QString& name, const QDate& birthday = {})
    {
        dorv::Statement st = dorv::Database::acquire(w->workingFolder())
                                 ->prepare("INSERT INTO TB_FAMILY (Id_Family, Id_Person, Name, Birthday, Dy, Mn) "
                                           "VALUES (?,?,?,?,?,?)");
        const bool known = birthday.isValid();
        st.bindAll({id, person, name, known ? QVariant(day(birthday)) : QVariant(),
                    known ? QVariant(birthday.day()) : QVariant(), known ? QVariant(birthday.month()) : QVariant()});
        st.step();
    }
    void addFirm(int id, const QString& name)
    {
        exec(QStringLiteral("INSERT INTO TB_FIRM (Id_Firm, Firm) VALUES (%1, '%2')").arg(id).arg(name));
    }
    void addEntry(int n, const QString& note, const QDate& remind, const QString& mode, QVariant person = {},
                  QVariant firm = {})
    {
        dorv::Statement st = dorv::Database::acquire(w->workingFolder())
                                 ->prepare("INSERT INTO TB_LOG (Date_Create, Date_Remind, Note, Id_Person, Id_firm, C, "
                                           "Dy) VALUES (?,?,?,?,?,?,?)");
        st.bindAll({qint64(day(QDate(2020, 1, 1))) * dorv::MsPerDay + n * 1000, day(remind), note, person, firm, mode,
                    remind.day()});
        st.step();
    }
    // Saves what was written and opens the file again: the tables are read anew and the reminders run.
    bool reopen()
    {
        const QString file = root->filePath(QStringLiteral("book.den"));
        if (w->dataFile().title().isEmpty())
            prompts.saveFiles.enqueue(file);
        if (!w->SaveDataFile(false) || !w->CloseDataFile())
            return false;
        prompts.asked.clear();
        return w->OpenDataFile(file);
    }
    // The next date picker chooses this day (an invalid date cancels it).
    void pickNext(const QDate& d)
    {
        prompts.modals.enqueue([d](QDialog* dialog) {
            if (!d.isValid())
                return int(QDialog::Rejected);
            dialog->findChild<QCalendarWidget*>(QStringLiteral("Dt"))->setSelectedDate(d);
            return int(QDialog::Accepted);
        });
    }
    QStringList column(dorv::Dataset& t, const QString& field) const
    {
        QStringList out;
        for (int r = 0; r < t.recordCount(); ++r)
            out << t.valueAt(r, t.fieldByName(field)).toString();
        return out;
    }
};
