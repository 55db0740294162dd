#pragma once
#include "ContactFilters.h"
#include "widgets/Services.h"

#include <QWidget>

class QAction;
class QActionGroup;
class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QRadioButton;
class QToolButton;

namespace dorv {

class TDbGrid;

// The diary page: notes with a date, a person and a firm, each with a reminder mode (none, every
// day from its date on, monthly on its day). A filter button lists what is due today.
class TDiaryView final : public QWidget {
    Q_OBJECT
public:
    explicit TDiaryView(Services& host, QWidget* parent = nullptr);

    // Handlers.
    void PmLogPopup();
    void mpLogNewClick(QAction* sender);
    void DBGLogEditButtonClick();
    void mpLogFindPersonClick();
    void mpLogFindFirmClick();
    void ButLogFiltClick();
    // Releases the filter button without applying it; the caller sets the filter itself.
    void releaseFilterButton();
    // The radio group picked a mode for the current entry.
    void DBRgLogClick(int mode);

signals:
    // The user looked at today's tasks through the filter button on this page.
    void diaryTasksSeen();
    void openPerson(const QVariant& personId);
    void openFirm(const QVariant& firmId);

private:
    // Components, by their names (objectName); tests find them by these.
    QFrame* PanDiary = nullptr;
    QLabel* LabDiary = nullptr;
    QToolButton* ButLogFilt = nullptr;
    QGroupBox* DBRgLog = nullptr;
    QRadioButton* DBRgLogItems[3] = {};
    TDbGrid* DBGLog = nullptr;
    QMenu* PmLog = nullptr;
    QAction *mpLogNew = nullptr, *mpLogDel = nullptr, *mpLogEditDate = nullptr, *mpLogNon = nullptr,
            *mpLogDate = nullptr, *mpLogMonth = nullptr, *mpLogFindPerson = nullptr, *mpLogFindFirm = nullptr;

    void buildPopup();
    // The radio group shows the current entry's mode.
    void showMode();
    // Sets the current entry's mode, putting it in edit state; the change waits for the post.
    void setMode(int mode);

    Services& m_host;
    QButtonGroup* m_modes = nullptr;
    QActionGroup* m_modeItems = nullptr;
    bool m_showing = false;
};

} // namespace dorv
