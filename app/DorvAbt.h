#pragma once
#include <QDialog>
#include <QImage>

class QLabel;
class QProgressBar;

namespace dorv {

class Prompts;

// The program's picture window, in two uses: the "About" box, and the splash shown with a progress
// bar while a data file is opened.
class TFormAbout : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 415;
    static constexpr int kHeight = 282;
    static constexpr int kBarHeight = 22;
    // The about box has no bar; it is this much taller instead, so the picture has room to breathe.
    static constexpr int kAboutExtra = 25;

    explicit TFormAbout(QWidget* parent = nullptr);

    // Prepares the about box: no bar, the line about the program, and the version when known. The
    // caller shows it modally through Prompts::runModal.
    void ShowAsAbout(bool hasVersion, const QString& versionText);
    // Shows the window at once as a modeless splash with a bar running from 0 to maximum.
    void ShowAsSplash(const QString& caption, int maximum);
    // Moves the splash bar and paints it straight away: the caller is busy and the event loop idle.
    void setProgress(int value);

private:
    void placeParts();
    void centreOnScreen();

    QImage m_picture;
    QLabel* m_image;
    QLabel* m_shadow;
    QLabel* m_title;
    QLabel* m_about;
    QLabel* m_version;
    QProgressBar* m_bar;
};

// The Help ▸ About command: reads the running program's stamped version and shows the about box
// through prompts. Returns the window's result.
int RunAbout(Prompts& prompts, QWidget* parent);

} // namespace dorv
