#pragma once
#include "ContactFilters.h"
#include "widgets/Services.h"

#include <QWidget>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QSplitter;
class QToolButton;

namespace dorv {

class Table;
class TDbGrid;

// The people page: acquaintances with their phones, addresses, places of work and birthdays, and
// under them the members of the current acquaintance's family. Two filter buttons list whose
// birthday is today or tomorrow, among the acquaintances or among all family members.
class TPeopleView final : public QWidget {
    Q_OBJECT
public:
    explicit TPeopleView(Services& host, QWidget* parent = nullptr);

    // The grid the popup acts on: the one that has (or last had) the focus in the window, else the
    // one it was last opened on.
    TDbGrid* menuGrid() const;
    void setMenuGrid(TDbGrid* grid);

    // Handlers.
    void PmPersonPopup();
    void mpPersonNewClick(QAction* sender);
    void DBGPersonEditButtonClick(TDbGrid* grid);
    void ButPersonClick();
    void ButFamilyClick();
    // Presses or releases the family filter button and applies it, as a click would.
    void setFamilyFilter(bool down);
    // The day and month pairs the grids mark birthdays of.
    void setBirthdays(const BirthdayPairs& pairs);
    void Tb_PersonAfterScroll();
    // The person filter follows its button on this page and is off on every other one.
    void ApplyPersonFilter(View view);
    // Shows this page on one acquaintance, with every acquaintance listed.
    void OpenPerson(const QVariant& personId);

signals:
    // The user looked at the due birthdays through a filter button on this page.
    void personBirthdaysSeen();
    void familyBirthdaysSeen();

private:
    // Components, by their names (objectName); tests find them by these.
    QFrame* PanPers = nullptr;
    QLabel* LabPers = nullptr;
    QToolButton *ButPerson = nullptr, *ButFamily = nullptr;
    TDbGrid *DBGPerson = nullptr, *DBGFamily = nullptr;
    QSplitter* SplitPers = nullptr;
    QMenu* PmPerson = nullptr;
    QAction *mpPersonNew = nullptr, *mpPersonDel = nullptr, *mpPersonEditDate = nullptr, *mpPersonDelDate = nullptr,
            *mpPersonFindSep = nullptr, *mpPersonFindPer = nullptr;

    void buildPopup();
    Table& tableOf(TDbGrid* grid) const;
    bool onThisPage() const;

    Services& m_host;
    TDbGrid* m_menuGrid = nullptr;
};

} // namespace dorv
