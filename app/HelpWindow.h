#pragma once
#include <QWidget>

class QTextBrowser;

namespace dorv {

// The user's manual: an HTML file shown in its own window, opened at its contents list.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Loads the manual and scrolls to its top; a missing file is said in the window itself.
    void openFile(const QString& path);
    QString filePath() const { return m_path; }

    // Shows the manual in the one help window, making it on first use; later calls bring the same
    // window forward (reloading when another file is asked for). The window belongs to the parent
    // given the first time.
    static HelpWindow* showHelp(const QString& path, QWidget* parent);

    // Shrinks and moves the window so that it stands whole inside the screen's free area.
    void fitIntoScreen();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextBrowser* m_text;
    QString m_path;
    bool m_loaded = false;
};

} // namespace dorv
