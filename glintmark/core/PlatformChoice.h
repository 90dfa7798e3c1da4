#pragma once

#include <QByteArray>

// Wayland windows can neither place themselves nor stay above other windows, which the
// overlay needs. In a Wayland session the program therefore runs on XWayland, unless the
// user chose a platform (QT_QPA_PLATFORM or -platform) or no X server is offered.

struct SessionEnvironment
{
    QByteArray qpaPlatform;    // QT_QPA_PLATFORM
    QByteArray sessionType;    // XDG_SESSION_TYPE
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray x11Display;     // DISPLAY
    bool platformArgument = false; // -platform on the command line
};

bool shouldPreferXcb(const SessionEnvironment &environment);

// Call before the QApplication is made. Returns whether it chose xcb (by setting
// QT_QPA_PLATFORM); the caller may unset it once the application exists, so that programs it
// opens do not inherit the choice.
bool preferXcbOnWayland(int argc, const char *const *argv);
