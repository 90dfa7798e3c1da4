#include "DesktopCompositor.h"

#include "GlintmarkLog.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace {
template <typename Reply>
using XReply = std::unique_ptr<Reply, decltype(&std::free)>;
using XError = std::unique_ptr<xcb_generic_error_t, decltype(&std::free)>;

// Extensions whose requests Qt makes for the overlay: its mask, its input shape, its frames.
constexpr const char *kWatchedExtensions[] = {"SHAPE", "XFIXES", "MIT-SHM"};

const char *errorName(std::uint8_t code)
{
    static const char *const names[] = {
        "Success",  "BadRequest", "BadValue", "BadWindow", "BadPixmap", "BadAtom",     "BadCursor",
        "BadFont",  "BadMatch",   "BadDrawable", "BadAccess", "BadAlloc", "BadColor", "BadGC",
        "BadIDChoice", "BadName", "BadLength", "BadImplementation",
    };
    return code < std::size(names) ? names[code] : "an extension's error";
}

// The core requests that the overlay, or Qt on its behalf, makes.
const char *coreRequestName(std::uint8_t major)
{
    switch (major) {
    case XCB_CREATE_WINDOW: return "CreateWindow";
    case XCB_CHANGE_WINDOW_ATTRIBUTES: return "ChangeWindowAttributes";
    case XCB_GET_WINDOW_ATTRIBUTES: return "GetWindowAttributes";
    case XCB_DESTROY_WINDOW: return "DestroyWindow";
    case XCB_MAP_WINDOW: return "MapWindow";
    case XCB_UNMAP_WINDOW: return "UnmapWindow";
    case XCB_CONFIGURE_WINDOW: return "ConfigureWindow";
    case XCB_GET_GEOMETRY: return "GetGeometry";
    case XCB_INTERN_ATOM: return "InternAtom";
    case XCB_CHANGE_PROPERTY: return "ChangeProperty";
    case XCB_DELETE_PROPERTY: return "DeleteProperty";
    case XCB_GET_PROPERTY: return "GetProperty";
    case XCB_GET_SELECTION_OWNER: return "GetSelectionOwner";
    case XCB_TRANSLATE_COORDINATES: return "TranslateCoordinates";
    case XCB_CREATE_PIXMAP: return "CreatePixmap";
    case XCB_FREE_PIXMAP: return "FreePixmap";
    case XCB_CREATE_GC: return "CreateGC";
    case XCB_FREE_GC: return "FreeGC";
    case XCB_COPY_AREA: return "CopyArea";
    case XCB_PUT_IMAGE: return "PutImage";
    case XCB_GET_IMAGE: return "GetImage";
    case XCB_CREATE_COLORMAP: return "CreateColormap";
    case XCB_QUERY_EXTENSION: return "QueryExtension";
    default: return nullptr;
    }
}

// "X error BadWindow (3) from request 12.0 (ConfigureWindow) on resource 0x400005"; extension
// names the extension that the request belongs to, if any.
QByteArray describe(const xcb_generic_error_t &error, const char *extension = nullptr)
{
    QByteArray text = QByteArray("X error ") + errorName(error.error_code) + " ("
        + QByteArray::number(error.error_code) + ") from request " + QByteArray::number(error.major_code) + '.'
        + QByteArray::number(error.minor_code);
    if (extension)
        text += QByteArray(" (") + extension + " request " + QByteArray::number(error.minor_code) + ')';
    else if (const char *name = coreRequestName(error.major_code))
        text += QByteArray(" (") + name + ')';
    return text + " on resource 0x" + QByteArray::number(error.resource_id, 16);
}

// A checked request that came back without a reply: its error, or a connection that broke.
QByteArray describe(const xcb_generic_error_t *error, xcb_connection_t *connection)
{
    if (error)
        return describe(*error);
    return "the X connection is broken (" + QByteArray::number(xcb_connection_has_error(connection)) + ')';
}

// Whether sequence number a comes no later than b, across the wrap of the 32-bit count.
bool notAfter(std::uint32_t a, std::uint32_t b)
{
    return static_cast<std::int32_t>(b - a) >= 0;
}

constexpr std::size_t kSpansKept = 8;

xcb_connection_t *x11Connection(Display **display = nullptr)
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (display)
        *display = x11 ? x11->display() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The selection's atom, asked for once per connection: the overlay asks at every tick. A
// failure is logged when it starts, and asked again at the next tick.
xcb_atom_t compositorSelection(xcb_connection_t *connection, Display *display)
{
    static xcb_connection_t *askedOn = nullptr;
    static xcb_atom_t atom = XCB_ATOM_NONE;
    static bool failing = false;
    if (connection != askedOn) {
        const int screen = display ? XDefaultScreen(display) : 0;
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
        xcb_generic_error_t *error = nullptr;
        const XReply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), &error),
            &std::free);
        const XError errorGuard(error, &std::free);
        if (!reply) {
            if (!failing)
                qCWarning(lcGlintmark, "cannot look up the compositor's selection %s: %s", name.constData(),
                          describe(error, connection).constData());
            failing = true;
            return XCB_ATOM_NONE;
        }
        failing = false;
        atom = reply->atom;
        askedOn = connection;
    }
    return atom;
}
} // namespace

bool desktopComposites()
{
    Display *display = nullptr;
    xcb_connection_t *connection = x11Connection(&display);
    if (!connection)
        return true;
    const xcb_atom_t selection = compositorSelection(connection, display);
    if (selection == XCB_ATOM_NONE)
        return false;
    static bool failing = false;
    xcb_generic_error_t *error = nullptr;
    const XReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), &error),
        &std::free);
    const XError errorGuard(error, &std::free);
    if (!owner) {
        if (!failing)
            qCWarning(lcGlintmark, "cannot read who owns the compositor's selection, so flashes are cut to "
                                   "their text: %s", describe(error, connection).constData());
        failing = true;
        return false;
    }
    failing = false;
    return owner->owner != XCB_WINDOW_NONE;
}

OverlayXRequests::OverlayXRequests()
{
    m_connection = x11Connection();
    if (!m_connection)
        return;
    // One round trip for all: every query is sent before the first reply is read.
    std::vector<xcb_query_extension_cookie_t> cookies;
    for (const char *name : kWatchedExtensions)
        cookies.push_back(xcb_query_extension(m_connection, static_cast<std::uint16_t>(std::strlen(name)), name));
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        xcb_generic_error_t *error = nullptr;
        const XReply<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(m_connection, cookies[i], &error),
                                                        &std::free);
        const XError errorGuard(error, &std::free);
        if (!reply) {
            qCWarning(lcGlintmark, "cannot ask the X server for its %s extension: %s", kWatchedExtensions[i],
                      describe(error, m_connection).constData());
            continue;
        }
        if (reply->present)
            m_extensions.push_back({kWatchedExtensions[i], reply->major_opcode});
        if (std::strcmp(kWatchedExtensions[i], "SHAPE") == 0)
            m_canShape = reply->present;
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

void OverlayXRequests::begin()
{
    if (!m_connection || (!m_spans.empty() && !m_spans.back().ended))
        return;
    // A request of no effect marks the place in the request stream without a round trip.
    m_spans.push_back({xcb_no_operation(m_connection).sequence});
    // Errors come back within a round trip, long before a tick is this old.
    if (m_spans.size() > kSpansKept)
        m_spans.pop_front();
}

void OverlayXRequests::end()
{
    if (!m_connection || m_spans.empty() || m_spans.back().ended)
        return;
    m_spans.back().last = xcb_no_operation(m_connection).sequence;
    m_spans.back().ended = true;
}

void OverlayXRequests::waitForServer()
{
    if (m_connection)
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

bool OverlayXRequests::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *error = static_cast<const xcb_generic_error_t *>(message);
    if (error->response_type != 0)
        return false;
    const std::uint32_t sequence = error->full_sequence;
    // Errors come in the order of their requests: a span that ended before this one is done.
    while (!m_spans.empty() && m_spans.front().ended && !notAfter(sequence, m_spans.front().last))
        m_spans.pop_front();
    if (m_spans.empty() || !notAfter(m_spans.front().first, sequence) || m_spans.front().failed)
        return false;
    m_spans.front().failed = true;

    const std::uint32_t kind = std::uint32_t(error->error_code) << 24 | std::uint32_t(error->major_code) << 16
        | error->minor_code;
    if (std::find(m_logged.begin(), m_logged.end(), kind) != m_logged.end())
        return false;
    m_logged.push_back(kind);
    const auto extension = std::find_if(m_extensions.begin(), m_extensions.end(), [&](const Extension &e) {
        return e.majorOpcode == error->major_code;
    });
    qCWarning(lcGlintmark, "a request of the flash overlay failed: %s",
              describe(*error, extension != m_extensions.end() ? extension->name : nullptr).constData());
    return false;
}
