#include "BeatApp.h"
#include "CommandLine.h"
#include "Program.h"
#include "TonewellVersion.h"

int main(int argc, char *argv[])
{
    // Before the application: --help and --version answer without a display.
    if (const auto status = answerCommandLine(argc, argv, {kProgramName, QLatin1String(kProgramVersion),
                                                           QString::fromUtf8(kProgramCopyright), kProgramSummary}))
        return *status;
    CBeatApp app(argc, argv);
    return app.InitInstance();
}
