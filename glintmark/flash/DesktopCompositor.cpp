#include "DesktopCompositor.h"

#include <QByteArray>
#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <cstdlib>
#include <memory>

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xlib.h>
#include <xcb/xcb.h>

bool desktopComposites()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    const int screen = x11->display() ? XDefaultScreen(x11->display()) : 0;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);

    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.constData()),
                              nullptr),
        &std::free);
    if (!atom)
        return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}
