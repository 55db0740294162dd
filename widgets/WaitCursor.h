#pragma once
#include <QCursor>
#include <QGuiApplication>

namespace dorv {

// The hourglass for a long step; the normal cursor comes back however the block is left. Without
// a graphical application (a tool, a test of the data file) there is no cursor to change.
class WaitCursor final {
public:
    WaitCursor() : m_shown(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_shown)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~WaitCursor()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // Back to the normal cursor however many long steps were cut short.
    static void restoreAll()
    {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return;
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }

private:
    bool m_shown;
};

} // namespace dorv
