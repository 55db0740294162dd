#include "PeopleView.h"

#include "ContactGrid.h"
#include "data/DorvDm.h"
#include "data/TableModel.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"
#include "widgets/DbGrid.h"
#include "widgets/ErrorGuard.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace dorv {

namespace {

const char* const PositionProperty = "position";

} // namespace

TPeopleView::TPeopleView(Services& host, QWidget* parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("PeopleView"));
    TDm& dm = *m_host.dm;
    Prompts& prompts = *m_host.prompts;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QHBoxLayout* strip = nullptr;
    PanPers = makePagePanel(QStringLiteral("PanPers"), this, &strip);
    ButPerson = makeFilterButton(QStringLiteral("ButPerson"), QStringLiteral("Знакомые"),
                                 QStringLiteral("Дни рождения знакомых (сегодня и завтра)"), PanPers);
    ButFamily = makeFilterButton(QStringLiteral("ButFamily"), QStringLiteral("Семьи"),
                                 QStringLiteral("Дни рождения членов семей (сегодня и завтра)"), PanPers);
    strip->addWidget(ButPerson);
    strip->addWidget(ButFamily);
    LabPers =
        makePanelCaption(QStringLiteral("LabPers"), QStringLiteral("Знакомые всё лица...  и члены их семей"), PanPers);
    strip->addWidget(LabPers, 1);
    layout->addWidget(PanPers);

    SplitPers = new QSplitter(Qt::Vertical, this);
    SplitPers->setObjectName(QStringLiteral("SplitPers"));
    SplitPers->setChildrenCollapsible(false);
    DBGPerson = makeContactGrid(QStringLiteral("DBGPerson"), 3, *dm.Tb_Person,
                                {QStringLiteral("Name"), QStringLiteral("Birthday"), QStringLiteral("Phone"),
                                 QStringLiteral("Address"), QStringLiteral("Firm"), QStringLiteral("Comment")},
                                prompts, SplitPers);
    DBGFamily = makeContactGrid(
        QStringLiteral("DBGFamily"), 4, *dm.Tb_Family,
        {QStringLiteral("Name"), QStringLiteral("Birthday"), QStringLiteral("Comment"), QStringLiteral("Pers")},
        prompts, SplitPers);
    for (TDbGrid* g : {DBGPerson, DBGFamily}) {
        // The birthday is typed (dd.mm.yyyy) or picked with the cell's button.
        g->setEllipsisColumn(1);
        connectGuarded(g, &TDbGrid::editButtonClicked, this, *m_host.prompts,
                       [this, g] { DBGPersonEditButtonClick(g); });
        connect(g, &TDbGrid::focusEntered, this, [this, g] { setMenuGrid(g); });
        // A person still being added is posted (or dropped) before its family is worked on.
        if (g == DBGFamily)
            connectGuarded(g, &TDbGrid::focusEntered, this, *m_host.prompts, [this] {
                if (m_host.dm->Tb_Person->editing())
                    PostOrDrop(*m_host.dm->Tb_Person, *m_host.prompts);
            });
        connect(g, &TDbGrid::aboutToTryKeyAction, this, [this, g] {
            setMenuGrid(g);
            PmPersonPopup();
        });
        connect(g, &QWidget::customContextMenuRequested, this, [this, g](const QPoint& at) {
            setMenuGrid(g);
            if (m_host.dm->Tb_Person->active() && m_host.dm->Tb_Family->active())
                PmPerson->popup(g->viewport()->mapToGlobal(at));
        });
    }
    // The place of work is picked from the firms.
    DBGPerson->setPickColumn(
        4, [this] { return pickListOf(*m_host.dm->Tb_Firm, QStringLiteral("Id_Firm"), QStringLiteral("Firm")); });
    DBGFamily->gridModel()->setColumnReadOnly(3);
    DBGFamily->columnBackground.insert(3, palette().color(QPalette::Button));
    SplitPers->addWidget(DBGPerson);
    SplitPers->addWidget(DBGFamily);
    SplitPers->setStretchFactor(0, 1);
    SplitPers->setStretchFactor(1, 0);
    SplitPers->setSizes({300, 163});
    layout->addWidget(SplitPers, 1);
    fitContactColumns(*DBGPerson);
    fitContactColumns(*DBGFamily, {{QStringLiteral("Pers"), 177}});
    m_menuGrid = DBGPerson;
    buildPopup();

    // The two buttons are one group: pressing one down raises the other.
    connectGuarded(ButPerson, &QToolButton::clicked, this, prompts, [this] {
        if (ButPerson->isChecked() && ButFamily->isChecked()) {
            ButFamily->setChecked(false);
            ButFamilyClick();
        }
        ButPersonClick();
    });
    connectGuarded(ButFamily, &QToolButton::clicked, this, prompts, [this] {
        if (ButFamily->isChecked())
            ButPerson->setChecked(false);
        ButFamilyClick();
    });
    // The family follows the current person however it became current: a scroll, a post that
    // moved the cursor, a delete.
    connectGuarded(&dm, &TDm::personScrolled, this, prompts, [this] { Tb_PersonAfterScroll(); });
    connectGuarded(dm.Tb_Person, &Dataset::currentRowChanged, this, prompts, [this] { Tb_PersonAfterScroll(); });
    connectGuarded(dm.Tb_Person, &Dataset::rowsReset, this, prompts, [this] { Tb_PersonAfterScroll(); });
    // The popup's states follow the tables, so that its keys and items are right whenever used.
    for (Table* t : {dm.Tb_Person, dm.Tb_Family}) {
        connect(t, &Dataset::stateChanged, this, [this] { PmPersonPopup(); });
        connect(t, &Dataset::currentRowChanged, this, [this] { PmPersonPopup(); });
        connect(t, &Dataset::rowsReset, this, [this] { PmPersonPopup(); });
        connect(t, &Dataset::dataChanged, this, [this] { PmPersonPopup(); });
    }
}

void TPeopleView::buildPopup()
{
    PmPerson = new QMenu(this);
    PmPerson->setObjectName(QStringLiteral("PmPerson"));
    auto item = [this](const char* name, const QString& caption, const QKeySequence& key = {}) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setProperty(PositionProperty, int(PmPerson->actions().size()));
        PmPerson->addAction(a);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            DBGPerson->addKeyAction(a);
            DBGFamily->addKeyAction(a);
        }
        connectGuarded(a, &QAction::triggered, this, *m_host.prompts, [this, a] { mpPersonNewClick(a); });
        return a;
    };
    mpPersonNew = item("mpPersonNew", QStringLiteral("&Добавить запись  Ins"));
    mpPersonDel = item("mpPersonDel", QStringLiteral("&Удалить запись    Ctrl+Del"));
    PmPerson->addSeparator();
    mpPersonEditDate = item("mpPersonEditDate", QStringLiteral("&Изменить дату"), QKeySequence(Qt::Key_F11));
    mpPersonDelDate = item("mpPersonDelDate", QStringLiteral("Уда&лить дату"), QKeySequence(Qt::Key_F12));
    mpPersonFindSep = PmPerson->addSeparator();
    mpPersonFindSep->setObjectName(QStringLiteral("mpPersonFindSep"));
    mpPersonFindSep->setVisible(false);
    mpPersonFindPer = item("mpPersonFindPer", QStringLiteral("Найти &предка"));
    mpPersonFindPer->setVisible(false);
    connect(PmPerson, &QMenu::aboutToShow, this, [this] { PmPersonPopup(); });
    PmPersonPopup();
}

Table& TPeopleView::tableOf(TDbGrid* grid) const
{
    return grid == DBGFamily ? *m_host.dm->Tb_Family : *m_host.dm->Tb_Person;
}

TDbGrid* TPeopleView::menuGrid() const
{
    const QWidget* focused = window() ? window()->focusWidget() : nullptr;
    for (TDbGrid* g : {DBGPerson, DBGFamily})
        if (focused && (focused == g || g->isAncestorOf(focused)))
            return g;
    return m_menuGrid;
}

bool TPeopleView::onThisPage() const { return m_host.currentView() == View::People; }

void TPeopleView::setMenuGrid(TDbGrid* grid)
{
    m_menuGrid = grid;
    // The popup's own grid wins over a focus left elsewhere.
    if (grid->window() && grid->window()->focusWidget() != grid)
        grid->setFocus(Qt::PopupFocusReason);
    PmPersonPopup();
}

void TPeopleView::PmPersonPopup()
{
    if (!PmPerson)
        return;
    Table& t = tableOf(menuGrid());
    const bool family = menuGrid() == DBGFamily;
    mpPersonNew->setText(family ? QStringLiteral("&Добавить родственника  Ins")
                                : QStringLiteral("&Добавить человека  Ins"));
    mpPersonDel->setText(family ? QStringLiteral("&Убрать родственника    Ctrl+Del")
                                : QStringLiteral("&Убрать человека    Ctrl+Del"));
    mpPersonFindSep->setVisible(family);
    mpPersonFindPer->setVisible(family);
    if (!t.active())
        return;
    const Table& persons = *m_host.dm->Tb_Person;
    mpPersonNew->setEnabled(!family || (persons.active() && !persons.isEmpty()));
    const bool rows = !t.isEmpty() && t.state() != DatasetState::Insert;
    mpPersonDel->setEnabled(rows);
    mpPersonEditDate->setEnabled(rows);
    const Field* birthday = t.findField(QStringLiteral("Birthday"));
    mpPersonDelDate->setEnabled(birthday && !birthday->isNull());
    const Field* owner = t.findField(QStringLiteral("Id_Person"));
    mpPersonFindPer->setEnabled(family && owner && !owner->isNull());
}

void TPeopleView::mpPersonNewClick(QAction* sender)
{
    TDbGrid* grid = menuGrid();
    Table& t = tableOf(grid);
    if (!t.active())
        return;
    switch (sender->property(PositionProperty).toInt()) {
    case 0:
        if (grid == DBGFamily && m_host.dm->Tb_Person->editing())
            PostOrDrop(*m_host.dm->Tb_Person, *m_host.prompts);
        t.insert();
        grid->setFocus();
        break;
    case 1:
        if (!m_host.prompts->confirm(QStringLiteral("Удалить запись ?")))
            return;
        // A refusal has said why already; nothing more is said about a delete that failed.
        try {
            t.deleteRecord();
        } catch (...) {
            // A refusal has said why already; nothing more is said about a delete that failed.
            noteSwallowed("deleting a row");
        }
        break;
    case 3:
        DBGPersonEditButtonClick(grid);
        break;
    case 4: {
        if (t.isEmpty() && t.state() != DatasetState::Insert)
            return;
        Field& birthday = t.fieldByName(QStringLiteral("Birthday"));
        if (birthday.isNull())
            return;
        if (!t.editing())
            t.edit();
        birthday.clear();
        t.post();
        break;
    }
    case 6: {
        const QVariant owner = m_host.dm->Tb_Family->fieldByName(QStringLiteral("Id_Person")).value();
        if (owner.isValid())
            m_host.dm->Tb_Person->locate(QStringLiteral("ID_PERSON"), owner);
        break;
    }
    default:
        break;
    }
}

void TPeopleView::DBGPersonEditButtonClick(TDbGrid* grid)
{
    EditDateField(tableOf(grid), QStringLiteral("Birthday"), [this](int day) { return m_host.pickDate(day); });
    grid->setFocus();
}

void TPeopleView::ButPersonClick()
{
    TDm& dm = *m_host.dm;
    const bool down = ButPerson->isChecked();
    if (dm.Tb_Person->active()) {
        dm.Tb_Person->setFilter(birthdayFilterText(m_host.birthdayPairs()));
        dm.Tb_Person->setFiltered(down);
    }
    if (down && onThisPage())
        emit personBirthdaysSeen();
}

void TPeopleView::ButFamilyClick()
{
    TDm& dm = *m_host.dm;
    const bool down = ButFamily->isChecked();
    if (down) {
        dm.Tb_Family->setFilter(birthdayFilterText(m_host.birthdayPairs()));
        if (dm.Tb_Person->active())
            dm.Tb_Person->setFiltered(false);
    } else {
        const Field* id = dm.Tb_Person->active() ? dm.Tb_Person->findField(QStringLiteral("Id_Person")) : nullptr;
        dm.Tb_Family->setFilter(familyFilterText(id ? id->value() : QVariant()));
    }
    if (down && onThisPage())
        emit familyBirthdaysSeen();
}

void TPeopleView::setFamilyFilter(bool down)
{
    ButFamily->setChecked(down);
    ButFamilyClick();
}

void TPeopleView::setBirthdays(const BirthdayPairs& pairs)
{
    for (TDbGrid* g : {DBGPerson, DBGFamily}) {
        g->todayDay = pairs.todayDay;
        g->todayMonth = pairs.todayMonth;
        g->tomorrowDay = pairs.tomorrowDay;
        g->tomorrowMonth = pairs.tomorrowMonth;
    }
}

void TPeopleView::Tb_PersonAfterScroll()
{
    TDm& dm = *m_host.dm;
    // A person being added has no identifier yet: its family shows once it is posted.
    if (ButFamily->isChecked() || !onThisPage() || !dm.Tb_Person->active() || !dm.Tb_Family->active()
        || dm.Tb_Person->state() == DatasetState::Insert)
        return;
    dm.Tb_Family->setFilter(familyFilterText(dm.Tb_Person->fieldByName(QStringLiteral("Id_Person")).value()));
}

void TPeopleView::ApplyPersonFilter(View view)
{
    TDm& dm = *m_host.dm;
    if (!dm.Tb_Person->active())
        return;
    const bool on = view == View::People && ButPerson->isChecked();
    if (on)
        dm.Tb_Person->setFilter(birthdayFilterText(m_host.birthdayPairs()));
    dm.Tb_Person->setFiltered(on);
    // Away from the page the family was not kept following the current person.
    if (view == View::People && !ButFamily->isChecked() && dm.Tb_Family->active())
        Tb_PersonAfterScroll();
}

void TPeopleView::OpenPerson(const QVariant& personId)
{
    TDm& dm = *m_host.dm;
    if (dm.Tb_Person->active())
        dm.Tb_Person->setFiltered(false);
    ButPerson->setChecked(false);
    m_host.showView(View::People);
    if (personId.isValid() && dm.Tb_Person->active())
        dm.Tb_Person->locate(QStringLiteral("ID_PERSON"), personId);
    DBGPerson->setFocus();
}

} // namespace dorv
