#include "DesktopSession.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QList>
#include <QString>

#include <cstdio>

namespace {

// The platforms that connect to a display server of the desktop session.
bool isDesktopPlatform(const QByteArray &name)
{
    return name == "xcb" || name.startsWith("wayland");
}

} // namespace

bool lacksDesktopSession(const DisplayEnvironment &environment)
{
    if (!environment.x11Display.isEmpty() || !environment.waylandDisplay.isEmpty() || environment.displayArgument)
        return false;
    const QByteArray platforms =
        environment.platformArgument.isEmpty() ? environment.qpaPlatform : environment.platformArgument;
    // A list of platforms is tried in order, each name perhaps with options after a colon.
    for (const QByteArray &entry : platforms.split(';')) {
        const QByteArray name = entry.split(':').constFirst().trimmed();
        if (!name.isEmpty() && !isDesktopPlatform(name))
            return false;
    }
    return true;
}

std::optional<int> refuseWithoutDesktopSession(int argc, const char *const *argv)
{
    DisplayEnvironment environment{qgetenv("QT_QPA_PLATFORM"), {}, qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY")};
    for (int i = 1; i < argc; ++i) {
        QByteArray option(argv[i]);
        if (option.startsWith("--"))
            option.remove(0, 1);
        if (option == "-platform" && i + 1 < argc)
            environment.platformArgument = argv[++i];
        else if (option == "-display" && i + 1 < argc)
            environment.displayArgument = true;
    }
    if (!lacksDesktopSession(environment))
        return std::nullopt;
    const QString called = argc > 0 ? QFileInfo(QString::fromLocal8Bit(argv[0])).fileName() : QString();
    const QString line = QCoreApplication::translate(
        "DesktopSession", "%1: needs a desktop session, but neither DISPLAY nor WAYLAND_DISPLAY is set; "
                          "start it from a terminal or menu of the desktop.").arg(called);
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    return 1;
}
