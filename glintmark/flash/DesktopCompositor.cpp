#include "DesktopCompositor.h"

#include <QByteArray>
#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <cstdlib>
#include <memory>

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace {
template <typename Reply>
using XReply = std::unique_ptr<Reply, decltype(&std::free)>;

// The selection's atom, asked for once per connection: the overlay asks at every tick.
xcb_atom_t compositorSelection(xcb_connection_t *connection, Display *display)
{
    static xcb_connection_t *askedOn = nullptr;
    static xcb_atom_t atom = XCB_ATOM_NONE;
    if (connection != askedOn) {
        const int screen = display ? XDefaultScreen(display) : 0;
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
        const XReply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr),
            &std::free);
        atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        askedOn = connection;
    }
    return atom;
}
} // namespace

bool desktopComposites()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    const xcb_atom_t selection = compositorSelection(connection, x11->display());
    if (selection == XCB_ATOM_NONE)
        return false;
    const XReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}
