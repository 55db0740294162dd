#include "app/DorvAbt.h"

#include "app/JpegImage.h"
#include "app/VersionInfo.h"
#include "util/Prompts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>

namespace dorv {

namespace {

const QString kTitleText = QStringLiteral("Dorvana 1.5");

constexpr int kTitleWidth = 181;

// A bold sans of 32 pixels, narrowed where the system's sans is wider than the title's place: most
// free sans faces are, and a clipped name looks worse than a condensed one.
QFont titleFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(32);
    const int room = kTitleWidth - 6;
    const int wide = QFontMetrics(font).horizontalAdvance(kTitleText);
    if (wide > room)
        font.setStretch(qMax(50, 100 * room / wide));
    return font;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QColor& colour)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    // No background of their own: the labels lie over the picture.
    label->setAutoFillBackground(false);
    return label;
}

} // namespace

TFormAbout::TFormAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("TFormAbout"));
    setWindowTitle(QStringLiteral("О программе..."));

    // Children are made bottom to top, which is also their stacking order.
    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setAlignment(Qt::AlignCenter);
    QFile picture(QStringLiteral(":/about.jpg"));
    if (picture.open(QIODevice::ReadOnly)) {
        // A picture that fails to decode just leaves the window plain; the box is still useful.
        QString ignored;
        m_picture = decodeJpeg(picture.readAll(), &ignored);
    }

    // The title twice, the maroon copy a few pixels right, reads as green lettering with a shadow.
    m_shadow = makeLabel(this, "Label2", QColor(0x80, 0x00, 0x00));
    m_shadow->setGeometry(3, 218, kTitleWidth, 37);
    m_title = makeLabel(this, "Label1", QColor(0x00, 0x80, 0x00));
    m_title->setGeometry(0, 218, kTitleWidth, 37);
    for (QLabel* label : {m_shadow, m_title}) {
        label->setFont(titleFont());
        label->setAlignment(Qt::AlignCenter);
        label->setText(kTitleText);
    }

    m_about = makeLabel(this, "LabAb", QColor(0x00, 0xFF, 0xFF));
    m_about->setGeometry(281, 210, 133, 40);
    m_about->setWordWrap(true);
    m_about->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_about->setText(QStringLiteral("Домашние деньги, друзья и дела"));
    m_about->hide();

    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("LabVer"));
    m_version->move(68, 68);
    QFont bold = m_version->font();
    bold.setBold(true);
    m_version->setFont(bold);
    QPalette pal = m_version->palette();
    pal.setColor(QPalette::WindowText, QColor(0x00, 0xFF, 0x00));
    pal.setColor(QPalette::Window, QColor(0x00, 0x00, 0x80));
    m_version->setPalette(pal);
    m_version->setAutoFillBackground(true);
    m_version->hide();

    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("Pb"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);

    setFixedSize(kWidth, kHeight);
    placeParts();
    centreOnScreen();
}

void TFormAbout::placeParts()
{
    const int barHeight = m_bar->isHidden() ? 0 : kBarHeight;
    m_image->setGeometry(0, 0, width(), height() - barHeight);
    // The picture is stretched to cover its area whole and kept centred; stretching it out of
    // proportion would squash the round shapes in the taller about box.
    if (!m_picture.isNull())
        m_image->setPixmap(QPixmap::fromImage(
            m_picture.scaled(m_image->size(), Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)));
    m_bar->setGeometry(0, height() - kBarHeight, width(), kBarHeight);
}

void TFormAbout::centreOnScreen()
{
    const QScreen* where = screen();
    if (!where)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(where->availableGeometry().center());
    move(frame.topLeft());
}

void TFormAbout::ShowAsAbout(bool hasVersion, const QString& versionText)
{
    setWindowTitle(QStringLiteral("О программе..."));
    setModal(true);
    m_bar->hide();
    m_about->show();
    m_version->setVisible(hasVersion);
    if (hasVersion) {
        m_version->setText(QStringLiteral("Version ") + versionText);
        m_version->adjustSize();
    }
    setFixedSize(kWidth, kHeight + kAboutExtra);
    placeParts();
    centreOnScreen();
}

void TFormAbout::ShowAsSplash(const QString& caption, int maximum)
{
    setWindowTitle(caption);
    setModal(false);
    m_about->hide();
    m_version->hide();
    m_bar->setRange(0, maximum);
    m_bar->setValue(0);
    m_bar->show();
    setFixedSize(kWidth, kHeight);
    placeParts();
    centreOnScreen();
    show();
    repaint();
    QCoreApplication::processEvents();
}

void TFormAbout::setProgress(int value)
{
    m_bar->setValue(value);
    m_bar->repaint();
}

int RunAbout(Prompts& prompts, QWidget* parent)
{
    TFormAbout form(parent);
    QString version;
    const bool hasVersion = GetFileVersion(ProgramFilePath(), &version, nullptr);
    form.ShowAsAbout(hasVersion, version);
    return prompts.runModal(&form);
}

} // namespace dorv
