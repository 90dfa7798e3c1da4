#include "CommandLine.h"
#include "DesktopSession.h"
#include "FlashApp.h"
#include "FlashProgram.h"
#include "GlintmarkVersion.h"
#include "PlatformChoice.h"

#include <QtGlobal>

int main(int argc, char *argv[])
{
    // Before the application: --help and --version answer without a display.
    if (const auto status = answerCommandLine(argc, argv, {kProgramName, QLatin1String(kProgramVersion),
                                                           QString::fromUtf8(kProgramCopyright), kProgramSummary}))
        return *status;
    if (const auto status = refuseWithoutDesktopSession(argc, argv))
        return *status;
    // The overlay has to place itself and stay on top, which only X11 lets it do.
    const bool choseXcb = preferXcbOnWayland(argc, argv);
    CFlashApp app(argc, argv);
    if (choseXcb)
        qunsetenv("QT_QPA_PLATFORM");
    return app.InitInstance();
}
