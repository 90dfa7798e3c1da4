#pragma once

#include <QByteArray>

#include <optional>

// What decides whether Qt can open the program's windows: the platform it would load and the
// displays the session names.
struct DisplayEnvironment
{
    QByteArray qpaPlatform;      // QT_QPA_PLATFORM
    QByteArray platformArgument; // the value of -platform on the command line
    QByteArray x11Display;       // DISPLAY
    QByteArray waylandDisplay;   // WAYLAND_DISPLAY
    bool displayArgument = false; // -display on the command line
};

// True when Qt would load a desktop platform (X11 or Wayland, its default) with no display to
// connect to: it would abort, and blame the installation.
bool lacksDesktopSession(const DisplayEnvironment &environment);

// Call before the application is made. Without a desktop session, says so in one line on
// standard error, naming DISPLAY and WAYLAND_DISPLAY, and returns the exit status 1; otherwise
// nothing, and the program starts.
std::optional<int> refuseWithoutDesktopSession(int argc, const char *const *argv);
