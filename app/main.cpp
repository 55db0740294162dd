#include "DorvMain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Dorvana 1.5"));
    dorv::TFormMain window{dorv::MainEnvironment{}};
    if (!window.started())
        return 0;
    window.show();
    return app.exec();
}
