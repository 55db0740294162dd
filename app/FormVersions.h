#pragma once
#include "util/Versions.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace dorv {

// The earlier versions of the data file, newest first, with their date and size; the one chosen
// is opened by the caller.
class TFormVersions final : public QDialog {
    Q_OBJECT
public:
    TFormVersions(const QList<KeptVersion>& versions, QWidget* parent = nullptr);

    // The version chosen when the window was accepted, else empty text.
    QString chosen() const;

    QTableWidget* DBGVersions = nullptr;
    QPushButton* ButOpen = nullptr;
    QPushButton* ButClose = nullptr;

private:
    QList<KeptVersion> m_versions;
};

// "1,2 МБ", "640 КБ", "900 байт".
QString SizeText(qint64 bytes);

} // namespace dorv
