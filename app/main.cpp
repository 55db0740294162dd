#include "Application.h"
#include "DorvMain.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

// On a machine without a display the program is started on a virtual one only to show that it
// works: DORVANA_SCREENSHOT names a picture of the ready main window, taken once the window has
// settled, after which the program ends without touching the data.
void screenshotAndEnd(dorv::TFormMain& window, const QString& file)
{
    QTimer::singleShot(1500, &window, [&window, file] {
        const QRect frame = window.frameGeometry();
        const QPixmap shot =
            QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        const bool saved = shot.save(file);
        std::fprintf(saved ? stdout : stderr, saved ? "Screenshot of the main window: %s\n" : "Cannot save %s\n",
                     qPrintable(file));
        window.setStartStop(true);
        window.CloseDataFile();
        QCoreApplication::exit(saved ? 0 : 1);
    });
}

} // namespace

int main(int argc, char* argv[])
{
    dorv::TApplication app(argc, argv);
    dorv::setUpApplication(app);
    dorv::TFormMain window{dorv::MainEnvironment{}};
    if (!window.started())
        return 0;
    dorv::TApplication::setPrompts(&window.prompts());
    window.show();
    const QString screenshot = qEnvironmentVariable("DORVANA_SCREENSHOT");
    if (!screenshot.isEmpty())
        screenshotAndEnd(window, screenshot);
    const int code = app.exec();
    dorv::TApplication::setPrompts(nullptr);
    return code;
}
