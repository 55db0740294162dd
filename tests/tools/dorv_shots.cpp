// Takes screenshots of the main windows for a look by eye: run under a display (Xvfb will do)
// with an output folder. Not a test: it asserts nothing.
#include "app/DorvAbt.h"
#include "app/DorvMain.h"
#include "data/DorvDm.h"
#include "support/ScriptedPrompts.h"
#include "util/DateScale.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

namespace {
void shoot(QWidget* w, const QString& file)
{
    w->raise();
    w->activateWindow();
    QApplication::processEvents();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect frame = w->frameGeometry();
    screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(file);
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Dorvana 1.5"));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir root;
    ScriptedPrompts prompts;
    dorv::MainEnvironment env;
    env.programFolder = root.path();
    env.tempFolder = root.path();
    env.settingsFile = root.filePath(QStringLiteral("settings.ini"));
    env.prompts = &prompts;
    dorv::TFormMain w(env);
    if (!w.started())
        return 1;
    w.show();
    QApplication::processEvents();
    shoot(&w, out + QStringLiteral("/main.png"));

    // The card's password page, as "Изменить пароль..." shows it.
    prompts.modals.enqueue([&](QDialog* d) {
        static_cast<dorv::TFormCard*>(d)->EdPas->setText(QStringLiteral("секрет"));
        QApplication::processEvents();
        shoot(d, out + QStringLiteral("/card-password.png"));
        return int(QDialog::Rejected);
    });
    w.mPasswordClick();

    // The calendar page of the date picker.
    prompts.modals.enqueue([&](QDialog* d) {
        QApplication::processEvents();
        shoot(d, out + QStringLiteral("/card-calendar.png"));
        return int(QDialog::Rejected);
    });
    w.PickDate(dorv::dayNumber(QDate(2026, 12, 9)));

    prompts.modals.enqueue([&](QDialog* d) {
        QApplication::processEvents();
        shoot(d, out + QStringLiteral("/about.png"));
        return int(QDialog::Rejected);
    });
    w.mAboutClick();
    w.StartStop = true;
    w.CloseDataFile();
    return 0;
}
