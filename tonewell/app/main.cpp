#include "BeatApp.h"
#include "CommandLine.h"
#include "DataLocations.h"
#include "DesktopSession.h"
#include "ExportCommand.h"
#include "Program.h"
#include "TonewellVersion.h"

#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    // Before the application: --help, --version and --export answer without a display.
    CommandLineProgram program{kProgramName, QLatin1String(kProgramVersion), QString::fromUtf8(kProgramCopyright),
                               kProgramSummary};
    program.options = exportCommandOptions();
    program.answer = [](const QCommandLineParser &parser, const QString &called) -> std::optional<int> {
        return runExportCommand(parser, called,
                                findDataFile(dataFolders(kProgramId), QString::fromLatin1(kDataFileName)));
    };
    if (const auto status = answerCommandLine(argc, argv, program))
        return *status;
    if (const auto status = refuseWithoutDesktopSession(argc, argv))
        return *status;
    CBeatApp app(argc, argv);
    return app.InitInstance();
}
