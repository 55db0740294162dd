#pragma once
#include "ContactFilters.h"
#include "widgets/Services.h"

#include <QObject>
#include <QString>

class QTimer;
class QToolButton;

namespace dorv {

class TDiaryView;
class TPeopleView;

// What is due when a database is opened: diary entries of today and birthdays of today and
// tomorrow. Found ones make their tool buttons flash until the user looks at them through the
// filter buttons, and are told in a message box while the tool bar is hidden.
class TStartupReminders final : public QObject {
    Q_OBJECT
public:
    TStartupReminders(Services& host, TPeopleView& people, TDiaryView& diary, QToolButton* butLog, QToolButton* butFace,
                      QObject* parent);

    bool diaryFlag = false, personFlag = false, familyFlag = false;
    // The message the last opening chose; empty when nothing was due.
    QString message;
    // The flashing timer (500 ms).
    QTimer* Tm = nullptr;

    // The reminder step of opening a database; never fails (the timer is then off).
    void Run();
    // Shows the chosen message when the tool bar is hidden.
    void Announce(bool toolBarVisible);
    // One tick of the flashing.
    void TmTimer();
    // A database was closed: the buttons unmarked, the flashing over.
    void Clear();

    static void setMarked(QToolButton* button, bool marked);
    static bool marked(const QToolButton* button);

private:
    void step();

    Services& m_host;
    TPeopleView& m_people;
    TDiaryView& m_diary;
    QToolButton *m_butLog, *m_butFace;
};

} // namespace dorv
