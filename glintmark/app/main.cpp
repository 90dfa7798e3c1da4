#include "CommandLine.h"
#include "DesktopSession.h"
#include "FlashApp.h"
#include "FlashProgram.h"
#include "GlintmarkVersion.h"
#include "PlatformChoice.h"
#include "SessionStart.h"

#include <QCommandLineParser>
#include <QtGlobal>

int main(int argc, char *argv[])
{
    // Before the application: --help and --version answer without a display.
    CommandLineProgram program{kProgramName, QLatin1String(kProgramVersion), QString::fromUtf8(kProgramCopyright),
                               kProgramSummary};
    const QCommandLineOption start(kStartOption, QStringLiteral("Starts flashing the ticked affirmations at once."));
    const QCommandLineOption minimized(kMinimizedOption,
                                       QStringLiteral("Starts in the notification area, or minimised without one."));
    program.options = {start, minimized};
    StartRequest request;
    program.answer = [&](const QCommandLineParser &parser, const QString &) -> std::optional<int> {
        request = {.startFlashing = parser.isSet(start), .minimized = parser.isSet(minimized)};
        return std::nullopt;
    };
    if (const auto status = answerCommandLine(argc, argv, program))
        return *status;
    if (const auto status = refuseWithoutDesktopSession(argc, argv))
        return *status;
    // The overlay has to place itself and stay on top, which only X11 lets it do.
    const bool choseXcb = preferXcbOnWayland(argc, argv);
    CFlashApp app(argc, argv);
    if (choseXcb)
        qunsetenv("QT_QPA_PLATFORM");
    app.setStartRequest(request);
    return app.InitInstance();
}
