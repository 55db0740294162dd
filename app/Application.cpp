#include "Application.h"

#include "util/Prompts.h"
#include "widgets/ErrorGuard.h"
#include "widgets/WaitCursor.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QTranslator>

namespace dorv {

namespace {
Prompts* lastResortPrompts = nullptr;
} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

TApplication::~TApplication() { lastResortPrompts = nullptr; }

void TApplication::setPrompts(Prompts* prompts) { lastResortPrompts = prompts; }

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        WaitCursor::restoreAll();
        const QString message = messageOf(std::current_exception());
        if (!message.isEmpty()) {
            if (lastResortPrompts)
                lastResortPrompts->error(message);
            else
                QMessageBox::critical(nullptr, applicationName(), message);
        }
        return true;
    }
}

void setUpApplication(QApplication& app)
{
    // The name, not the display name: a display name would be appended to every caption.
    QApplication::setApplicationName(QStringLiteral("Dorvana 1.5"));
    // The window's picture is the program's, and the desktop matches the windows to its menu entry.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/dorvana.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quilbex.Dorvana"));
    // The program speaks Russian whatever the system's language: dates, month names and the
    // standard buttons of the toolkit's own dialogs too.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto* qtbase = new QTranslator(&app);
    if (qtbase->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtbase);
}

} // namespace dorv
