// with_window_manager NAME COMMAND [ARGUMENT...]
//
// Runs COMMAND on the test display under the window manager NAME, started before it and ended
// after it, and exits with COMMAND's status. Tests that are scripts rather than Qt Test programs
// (the screen-reader tests) get a real window manager this way, started and awaited exactly as
// the Qt Test programs start theirs.

#include "DesktopPart.h"
#include "X11Desktop.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    if (arguments.size() < 2) {
        std::fputs("usage: with_window_manager NAME COMMAND [ARGUMENT...]\n", stderr);
        return 2;
    }
    const QString name = arguments.takeFirst();
    // The word the tests' skip pattern looks for: a missing window manager is no failure.
    if (QStandardPaths::findExecutable(name).isEmpty()) {
        std::printf("SKIP: %s is not installed\n", qPrintable(name));
        return 0;
    }
    DesktopPart manager;
    if (!manager.start(DesktopPart::windowManager(name)) || !X11Desktop::waitUntilManaging()) {
        std::fprintf(stderr, "%s did not start managing windows: %s\n%s", qPrintable(name),
                     qPrintable(manager.errorString()), manager.output().constData());
        return 1;
    }
    QProcess command;
    command.setProcessChannelMode(QProcess::ForwardedChannels);
    command.setInputChannelMode(QProcess::ForwardedInputChannel);
    const QString program = arguments.takeFirst();
    command.start(program, arguments);
    if (!command.waitForFinished(-1)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(command.errorString()));
        return 1;
    }
    return command.exitStatus() == QProcess::NormalExit ? command.exitCode() : 1;
}
