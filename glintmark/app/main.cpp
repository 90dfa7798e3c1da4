#include "FlashApp.h"
#include "PlatformChoice.h"

#include <QtGlobal>

int main(int argc, char *argv[])
{
    // The overlay has to place itself and stay on top, which only X11 lets it do.
    const bool choseXcb = preferXcbOnWayland(argc, argv);
    CFlashApp app(argc, argv);
    if (choseXcb)
        qunsetenv("QT_QPA_PLATFORM");
    return app.InitInstance();
}
