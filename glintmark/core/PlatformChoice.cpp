#include "PlatformChoice.h"

#include <QtGlobal>

#include <cstring>

bool shouldPreferXcb(const SessionEnvironment &environment)
{
    if (!environment.qpaPlatform.isEmpty() || environment.platformArgument)
        return false;
    const bool wayland = environment.sessionType == "wayland" || !environment.waylandDisplay.isEmpty();
    return wayland && !environment.x11Display.isEmpty();
}

bool preferXcbOnWayland(int argc, const char *const *argv)
{
    SessionEnvironment environment{qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"),
                                   qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY")};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            environment.platformArgument = true;
    }
    if (!shouldPreferXcb(environment))
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}
