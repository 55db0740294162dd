#include "app/HelpWindow.h"

#include "app/WindowPlacement.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

namespace dorv {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), m_text(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Dorvana — справка"));
    m_text->setObjectName(QStringLiteral("HelpText"));
    m_text->setOpenLinks(true);
    // Links out of the manual belong in the user's browser, not in this window.
    m_text->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    resize(640, 560);
}

void HelpWindow::keyPressEvent(QKeyEvent* event)
{
    // Esc closes the manual as it closes every other window of the program.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HelpWindow::fitIntoScreen()
{
    // The whole window, title bar included, stands inside the screen's free area.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QRect outer =
        fitFrameIntoArea(QRect(frameGeometry().topLeft(), size().grownBy(frame)), screen->availableGeometry());
    resize(outer.size().shrunkBy(frame));
    move(outer.topLeft());
}

void HelpWindow::openFile(const QString& path)
{
    m_path = path;
    const QFileInfo info(path);
    m_loaded = info.isFile() && info.isReadable();
    if (!m_loaded) {
        m_text->clear();
        m_text->setPlainText(QStringLiteral("Файл справки не найден: %1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    // The manual's extension tells Qt nothing, so the kind is given; otherwise it would be shown as
    // plain text with all its tags.
    m_text->setSource(QUrl::fromLocalFile(info.absoluteFilePath()), QTextDocument::HtmlResource);
    m_text->moveCursor(QTextCursor::Start);
    m_text->ensureCursorVisible();
}

HelpWindow* HelpWindow::showHelp(const QString& path, QWidget* parent)
{
    static QPointer<HelpWindow> window;
    if (!window)
        window = new HelpWindow(parent);
    // The same manual is left where the user was reading, unless it could not be read last time.
    if (window->filePath() != path || !window->m_loaded)
        window->openFile(path);
    window->show();
    window->fitIntoScreen();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace dorv
