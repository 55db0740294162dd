#include "DorvMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Dorvana 1.5"));
    // The program speaks Russian whatever the system's language: dates, month names and the
    // standard buttons of the toolkit's own dialogs too.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTranslator qtbase;
    if (qtbase.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtbase);
    dorv::TFormMain window{dorv::MainEnvironment{}};
    if (!window.started())
        return 0;
    window.show();
    return app.exec();
}
