#include "StartupReminders.h"

#include "DiaryView.h"
#include "PeopleView.h"
#include "data/DorvDm.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"

#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace dorv {

namespace {
const char* const MarkedProperty = "Marked";
}

TStartupReminders::TStartupReminders(Services& host, TPeopleView& people, TDiaryView& diary, QToolButton* butLog,
                                     QToolButton* butFace, QObject* parent)
    : QObject(parent), m_host(host), m_people(people), m_diary(diary), m_butLog(butLog), m_butFace(butFace)
{
    setObjectName(QStringLiteral("StartupReminders"));
    Tm = new QTimer(this);
    Tm->setObjectName(QStringLiteral("Tm"));
    Tm->setInterval(500);
    connect(Tm, &QTimer::timeout, this, [this] { TmTimer(); });
    connect(&m_people, &TPeopleView::personBirthdaysSeen, this, [this] { personFlag = false; });
    connect(&m_people, &TPeopleView::familyBirthdaysSeen, this, [this] { familyFlag = false; });
    connect(&m_diary, &TDiaryView::diaryTasksSeen, this, [this] { diaryFlag = false; });
    setMarked(m_butLog, false);
    setMarked(m_butFace, false);
}

void TStartupReminders::setMarked(QToolButton* button, bool on)
{
    if (!button)
        return;
    button->setProperty(MarkedProperty, on);
    // The marked look: the button stands out on the tool bar as a highlighted one.
    button->setStyleSheet(on ? QStringLiteral("QToolButton { background-color: rgb(255, 214, 64); border: 1px solid "
                                              "rgb(160, 110, 0); border-radius: 3px; }")
                             : QString());
}

bool TStartupReminders::marked(const QToolButton* button)
{
    return button && button->property(MarkedProperty).toBool();
}

void TStartupReminders::Run()
{
    Tm->stop();
    diaryFlag = personFlag = familyFlag = false;
    message.clear();
    const TDm& dm = *m_host.dm;
    if (!dm.Tb_Log->active() || !dm.Tb_Person->active() || !dm.Tb_Family->active())
        return;
    try {
        step();
    } catch (...) {
        // The reminders are a courtesy: an opening never fails for them, and leaves the lists as
        // after a step that went well.
        Tm->stop();
        try {
            TDm& d = *m_host.dm;
            d.Tb_Log->setFiltered(false);
            d.Tb_Person->setFiltered(false);
            m_diary.releaseFilterButton();
            m_people.setFamilyFilter(false);
        } catch (...) {
            // The filters are the next opening's to set again; their failure changes no data.
            noteSwallowed("lifting the reminder filters");
        }
    }
}

void TStartupReminders::step()
{
    TDm& dm = *m_host.dm;
    const BirthdayPairs pairs = m_host.birthdayPairs();
    auto shows = [](const Table& t) { return !t.isEmpty() && !t.field(0)->isNull(); };

    Table& log = *dm.Tb_Log;
    // The text first: the diary is then read once, already filtered.
    log.setFilter(todayFilterText(dayNumber(Clock::today()), pairs.todayDay));
    log.setFiltered(true);
    diaryFlag = shows(log);
    if (diaryFlag)
        message = QStringLiteral("Загляните в дневник - есть дело!");
    log.setFiltered(false);
    m_diary.releaseFilterButton();

    Table& persons = *dm.Tb_Person;
    persons.setFilter(birthdayFilterText(pairs));
    persons.setFiltered(true);
    personFlag = shows(persons);
    persons.setFiltered(false);

    m_people.setFamilyFilter(true);
    familyFlag = shows(*dm.Tb_Family);
    m_people.setFamilyFilter(false);

    if (personFlag || familyFlag)
        message = QStringLiteral("У кого-то день рождения! Загляните к людям!");
    if (diaryFlag && (personFlag || familyFlag))
        message = QStringLiteral("Во-первых, у кого-то день рождения! Загляните к людям!\r\n"
                                 "а,во-вторых, загляните в дневник - есть дело!");
    if (diaryFlag || personFlag || familyFlag)
        Tm->start();
    else
        Tm->stop();
}

void TStartupReminders::Announce(bool toolBarVisible)
{
    if (!toolBarVisible && !message.isEmpty())
        m_host.prompts->inform(message);
}

void TStartupReminders::TmTimer()
{
    setMarked(m_butLog, diaryFlag && !marked(m_butLog));
    setMarked(m_butFace, (personFlag || familyFlag) && !marked(m_butFace));
    if (!diaryFlag && !personFlag && !familyFlag)
        Tm->stop();
}

void TStartupReminders::Clear()
{
    Tm->stop();
    diaryFlag = personFlag = familyFlag = false;
    setMarked(m_butLog, false);
    setMarked(m_butFace, false);
}

} // namespace dorv
