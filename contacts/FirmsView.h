#pragma once
#include "ContactFilters.h"
#include "widgets/Services.h"

#include <QWidget>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QToolButton;

namespace dorv {

class TDbGrid;

// The firms page: shops, firms and other places that operations, acquaintances and diary entries
// name, with an optional pane of the acquaintances who work at the current one.
class TFirmsView final : public QWidget {
    Q_OBJECT
public:
    explicit TFirmsView(Services& host, QWidget* parent = nullptr);

    // Handlers.
    void ButPers_FirmClick();
    void DBGPers_FirmDblClick();
    void PmFirmPopup();
    void mpFirmNewClick(QAction* sender);
    // Shows this page on one firm.
    void OpenFirm(const QVariant& firmId);
    // The database is closing: the pane's query goes with it and the button comes up.
    void ResetForClose();

signals:
    // A person of the firm is to be shown on the people page.
    void openPerson(const QVariant& personId);

private:
    // Components, by their names (objectName); tests find them by these.
    QFrame* Panel1 = nullptr;
    QLabel* LabFirm = nullptr;
    QToolButton* ButPers_Firm = nullptr;
    TDbGrid *DBGFirm = nullptr, *DBGPers_Firm = nullptr;
    QMenu* PmFirm = nullptr;
    QAction *mpFirmNew = nullptr, *mpFirmDel = nullptr;

    Services& m_host;
};

} // namespace dorv
