#include "Application.h"
#include "DorvMain.h"

int main(int argc, char* argv[])
{
    dorv::TApplication app(argc, argv);
    dorv::setUpApplication(app);
    dorv::TFormMain window{dorv::MainEnvironment{}};
    if (!window.started())
        return 0;
    dorv::TApplication::setPrompts(&window.prompts());
    window.show();
    const int code = app.exec();
    dorv::TApplication::setPrompts(nullptr);
    return code;
}
