#include "X11Desktop.h"

#include <QDeadlineTimer>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace X11Desktop {
namespace {

struct Connection
{
    xcb_connection_t *xcb = nullptr;
    xcb_screen_t *screen = nullptr;
};

Connection &connection()
{
    static Connection c = [] {
        Connection made;
        int screenNumber = 0;
        made.xcb = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(made.xcb)) {
            xcb_disconnect(made.xcb);
            made.xcb = nullptr;
            return made;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(made.xcb));
        for (; it.rem && screenNumber > 0; --screenNumber)
            xcb_screen_next(&it);
        made.screen = it.data;
        return made;
    }();
    return c;
}

xcb_connection_t *xcb()
{
    if (!connection().xcb)
        std::abort();
    return connection().xcb;
}

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;
template <typename Reply> ReplyPtr<Reply> own(Reply *reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

ReplyPtr<xcb_get_property_reply_t> property(Window window, const char *name, xcb_atom_t type = XCB_ATOM_ANY)
{
    return own(xcb_get_property_reply(xcb(), xcb_get_property(xcb(), 0, window, atom(name), type, 0, 1 << 16),
                                      nullptr));
}

QList<std::uint32_t> words(Window window, const char *name)
{
    QList<std::uint32_t> values;
    const auto reply = property(window, name);
    if (!reply || reply->format != 32)
        return values;
    const auto *data = static_cast<const std::uint32_t *>(xcb_get_property_value(reply.get()));
    for (int i = 0; i < xcb_get_property_value_length(reply.get()) / 4; ++i)
        values << data[i];
    return values;
}

void sendToRoot(Window window, const char *type, std::uint32_t d0, std::uint32_t d1 = 0, std::uint32_t d2 = 0)
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(type);
    event.data.data32[0] = d0;
    event.data.data32[1] = d1;
    event.data.data32[2] = d2;
    xcb_send_event(xcb(), 0, root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    sync();
}

void fakeInput(std::uint8_t type, std::uint8_t detail, QPoint at = {})
{
    xcb_test_fake_input(xcb(), type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? root() : XCB_NONE,
                        std::int16_t(at.x()), std::int16_t(at.y()), 0);
}

} // namespace

bool isAvailable()
{
    return connection().xcb != nullptr;
}

Window root()
{
    return isAvailable() ? connection().screen->root : Window(0);
}

std::uint32_t atom(const char *name)
{
    const auto reply = own(xcb_intern_atom_reply(xcb(), xcb_intern_atom(xcb(), 0, std::uint16_t(std::strlen(name)), name),
                                                 nullptr));
    return reply ? reply->atom : std::uint32_t(XCB_ATOM_NONE);
}

QByteArray atomName(std::uint32_t atom)
{
    const auto reply = own(xcb_get_atom_name_reply(xcb(), xcb_get_atom_name(xcb(), atom), nullptr));
    if (!reply)
        return QByteArray::number(atom);
    return QByteArray(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
}

Window selectionOwner(const char *selection)
{
    const auto reply = own(xcb_get_selection_owner_reply(xcb(), xcb_get_selection_owner(xcb(), atom(selection)), nullptr));
    return reply ? reply->owner : Window(XCB_WINDOW_NONE);
}

std::optional<WmState> wmState(Window window)
{
    const QList<std::uint32_t> state = words(window, "WM_STATE");
    if (state.isEmpty())
        return std::nullopt;
    return WmState(state.first());
}

QList<std::uint32_t> atomsOf(Window window, const char *propertyName)
{
    return words(window, propertyName);
}

bool hasAtom(Window window, const char *propertyName, const char *value)
{
    return words(window, propertyName).contains(atom(value));
}

QByteArrayList atomNamesOf(Window window, const char *propertyName)
{
    QByteArrayList names;
    for (const std::uint32_t value : words(window, propertyName))
        names << atomName(value);
    return names;
}

std::optional<Window> windowProperty(Window window, const char *propertyName)
{
    const QList<std::uint32_t> values = words(window, propertyName);
    if (values.isEmpty())
        return std::nullopt;
    return values.first();
}

QByteArray stringProperty(Window window, const char *propertyName)
{
    const auto reply = property(window, propertyName);
    if (!reply || reply->format != 8)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

SizeHints sizeHints(Window window)
{
    // flags, x, y, width, height, min w/h, max w/h, ...
    constexpr std::uint32_t kMinSize = 1 << 4;
    constexpr std::uint32_t kMaxSize = 1 << 5;
    const QList<std::uint32_t> hints = words(window, "WM_NORMAL_HINTS");
    SizeHints sizes;
    if (hints.size() < 9)
        return sizes;
    if (hints[0] & kMinSize)
        sizes.minimum = QSize(int(hints[5]), int(hints[6]));
    if (hints[0] & kMaxSize)
        sizes.maximum = QSize(int(hints[7]), int(hints[8]));
    return sizes;
}

MotifHints motifHints(Window window)
{
    constexpr std::uint32_t kFunctions = 1 << 0;
    constexpr std::uint32_t kDecorations = 1 << 1;
    const QList<std::uint32_t> hints = words(window, "_MOTIF_WM_HINTS");
    MotifHints motif;
    if (hints.size() < 3)
        return motif;
    if (hints[0] & kFunctions)
        motif.functions = hints[1];
    if (hints[0] & kDecorations)
        motif.decorations = hints[2];
    return motif;
}

Window parentOf(Window window)
{
    const auto tree = own(xcb_query_tree_reply(xcb(), xcb_query_tree(xcb(), window), nullptr));
    return tree ? tree->parent : Window(XCB_WINDOW_NONE);
}

QList<Window> childrenOf(Window window)
{
    QList<Window> children;
    const auto tree = own(xcb_query_tree_reply(xcb(), xcb_query_tree(xcb(), window), nullptr));
    if (!tree)
        return children;
    const xcb_window_t *list = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        children << list[i];
    return children;
}

QList<Window> descendantsOf(Window window)
{
    QList<Window> all;
    for (const Window child : childrenOf(window))
        all << child << descendantsOf(child);
    return all;
}

Window findViewable(const QByteArray &name)
{
    for (const Window window : descendantsOf(root())) {
        if (stringProperty(window, "WM_NAME") == name && isViewable(window))
            return window;
    }
    return 0;
}

QRect geometryOnRoot(Window window)
{
    const auto geometry = own(xcb_get_geometry_reply(xcb(), xcb_get_geometry(xcb(), window), nullptr));
    const auto place = own(xcb_translate_coordinates_reply(
        xcb(), xcb_translate_coordinates(xcb(), window, root(), 0, 0), nullptr));
    if (!geometry || !place)
        return {};
    return QRect(place->dst_x, place->dst_y, geometry->width, geometry->height);
}

bool isViewable(Window window)
{
    const auto attributes = own(xcb_get_window_attributes_reply(xcb(), xcb_get_window_attributes(xcb(), window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

Window frameOf(Window client)
{
    Window window = client;
    for (Window parent = parentOf(window); parent != XCB_WINDOW_NONE && parent != root(); parent = parentOf(window))
        window = parent;
    return window;
}

void click(QPoint at, int button)
{
    fakeInput(XCB_MOTION_NOTIFY, 0, at);
    fakeInput(XCB_BUTTON_PRESS, std::uint8_t(button));
    fakeInput(XCB_BUTTON_RELEASE, std::uint8_t(button));
    sync();
}

void pressKey(const char *keysymName)
{
    // Enough for the keys the tests press: look the keysym up in the server's keyboard map.
    struct Named { const char *name; std::uint32_t keysym; };
    static constexpr Named kKeys[] = {{"Return", 0xff0d}, {"Escape", 0xff1b}, {"Down", 0xff54}, {"Up", 0xff52},
                                      {"Tab", 0xff09}, {"space", 0x20}};
    std::uint32_t keysym = 0;
    for (const Named &key : kKeys) {
        if (std::strcmp(key.name, keysymName) == 0)
            keysym = key.keysym;
    }
    const xcb_setup_t *setup = xcb_get_setup(xcb());
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const auto map = own(xcb_get_keyboard_mapping_reply(
        xcb(), xcb_get_keyboard_mapping(xcb(), setup->min_keycode, std::uint8_t(count)), nullptr));
    if (!map || keysym == 0)
        std::abort();
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map.get());
    for (int code = 0; code < count; ++code) {
        for (int level = 0; level < map->keysyms_per_keycode; ++level) {
            if (syms[code * map->keysyms_per_keycode + level] == keysym) {
                const auto keycode = std::uint8_t(setup->min_keycode + code);
                fakeInput(XCB_KEY_PRESS, keycode);
                fakeInput(XCB_KEY_RELEASE, keycode);
                sync();
                return;
            }
        }
    }
    std::abort();
}

Window windowManagerCheck()
{
    const std::optional<Window> check = windowProperty(root(), "_NET_SUPPORTING_WM_CHECK");
    if (!check || *check == 0)
        return 0;
    // A window manager that died leaves the root window's property naming a window that is gone.
    const std::optional<Window> itself = windowProperty(*check, "_NET_SUPPORTING_WM_CHECK");
    return itself && *itself == *check ? *check : 0;
}

void askToIconify(Window client)
{
    constexpr std::uint32_t kIconicState = 3;
    sendToRoot(client, "WM_CHANGE_STATE", kIconicState);
}

void askToActivate(Window client)
{
    constexpr std::uint32_t kFromPager = 2;
    sendToRoot(client, "_NET_ACTIVE_WINDOW", kFromPager, XCB_CURRENT_TIME);
}

void askToMaximize(Window client)
{
    constexpr std::uint32_t kAdd = 1;
    sendToRoot(client, "_NET_WM_STATE", kAdd, atom("_NET_WM_STATE_MAXIMIZED_VERT"), atom("_NET_WM_STATE_MAXIMIZED_HORZ"));
}

void askToMakeFullScreen(Window client)
{
    constexpr std::uint32_t kAdd = 1;
    sendToRoot(client, "_NET_WM_STATE", kAdd, atom("_NET_WM_STATE_FULLSCREEN"));
}

void askToKeepAbove(Window client, bool above)
{
    constexpr std::uint32_t kRemove = 0;
    constexpr std::uint32_t kAdd = 1;
    sendToRoot(client, "_NET_WM_STATE", above ? kAdd : kRemove, atom("_NET_WM_STATE_ABOVE"));
}

bool waitForWindowManager(Window client, int timeoutMs)
{
    const auto isAbove = [client] { return hasAtom(client, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"); };
    QDeadlineTimer deadline(timeoutMs);
    // fluxbox drops a state request that comes while it reworks the window's frame, so an
    // unanswered request is sent again; asking for a state the window already has changes nothing.
    const auto askUntilAbove = [&](bool above) {
        do {
            askToKeepAbove(client, above);
            if (QTest::qWaitFor([&] { return isAbove() == above; }, int(std::min<qint64>(1000, deadline.remainingTime()))))
                return true;
        } while (!deadline.hasExpired());
        return false;
    };
    const bool wasAbove = isAbove();
    return askUntilAbove(!wasAbove) && askUntilAbove(wasAbove);
}

bool waitUntilManaging(int timeoutMs)
{
    const Window probe = xcb_generate_id(xcb());
    xcb_create_window(xcb(), XCB_COPY_FROM_PARENT, probe, root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(xcb(), probe);
    // Each look touches a property of the root window, which the window manager hears of: woken,
    // it also handles what it had put aside while it was starting.
    const std::uint32_t wakeUp = atom("_TESTSUPPORT_WAKE_UP");
    const bool managed = QTest::qWaitFor([&] {
        xcb_change_property(xcb(), XCB_PROP_MODE_REPLACE, root(), wakeUp, XCB_ATOM_CARDINAL, 32, 0, nullptr);
        sync();
        return wmState(probe).has_value();
    }, timeoutMs);
    xcb_delete_property(xcb(), root(), wakeUp);
    xcb_destroy_window(xcb(), probe);
    sync();
    return managed;
}

FrameReport reportFrame(Window client, int timeoutMs)
{
    FrameReport report;
    report.actionsPublished = hasAtom(root(), "_NET_SUPPORTED", "_NET_WM_ALLOWED_ACTIONS");
    report.managed = QTest::qWaitFor([&] {
        const std::optional<WmState> state = wmState(client);
        return state && *state == WmState::Normal && frameOf(client) != client
            && (!report.actionsPublished || !atomsOf(client, "_NET_WM_ALLOWED_ACTIONS").isEmpty());
    }, timeoutMs);
    sync();
    report.size = geometryOnRoot(client).size();
    report.frameSize = geometryOnRoot(frameOf(client)).size();
    report.sizeHints = sizeHints(client);
    report.motifHints = motifHints(client);
    report.allowedActions = atomNamesOf(client, "_NET_WM_ALLOWED_ACTIONS");
    report.windowType = atomNamesOf(client, "_NET_WM_WINDOW_TYPE");
    report.transientFor = windowProperty(client, "WM_TRANSIENT_FOR");

    askToMaximize(client);
    report.maximiseAnswered = waitForWindowManager(client, timeoutMs);
    // A window that undoes a maximise its window manager imposed takes a few more requests;
    // one that stays maximised is read as it is once they would have been answered.
    constexpr int kUndoTimeoutMs = 3000;
    (void)QTest::qWaitFor([&] {
        const QByteArrayList state = atomNamesOf(client, "_NET_WM_STATE");
        return !state.contains("_NET_WM_STATE_MAXIMIZED_HORZ") && !state.contains("_NET_WM_STATE_MAXIMIZED_VERT")
            && geometryOnRoot(client).size() == report.size && geometryOnRoot(frameOf(client)).size() == report.frameSize;
    }, kUndoTimeoutMs);
    sync();
    report.sizeAfterMaximise = geometryOnRoot(client).size();
    report.frameSizeAfterMaximise = geometryOnRoot(frameOf(client)).size();
    report.stateAfterMaximise = atomNamesOf(client, "_NET_WM_STATE");
    return report;
}

Window announceSelectionOwner(const char *selection)
{
    if (selectionOwner(selection) != XCB_WINDOW_NONE)
        return 0;
    const Window window = xcb_generate_id(xcb());
    xcb_create_window(xcb(), XCB_COPY_FROM_PARENT, window, root(), -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(xcb(), window, atom(selection), XCB_CURRENT_TIME);
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = root();
    event.type = atom("MANAGER");
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = atom(selection);
    event.data.data32[2] = window;
    xcb_send_event(xcb(), 0, root(), XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char *>(&event));
    sync();
    return selectionOwner(selection) == window ? window : 0;
}

void destroyWindow(Window window)
{
    xcb_destroy_window(xcb(), window);
    sync();
}

void sync()
{
    const auto reply = own(xcb_get_input_focus_reply(xcb(), xcb_get_input_focus(xcb()), nullptr));
    (void)reply;
}

struct BypassingMaps::Private
{
    xcb_connection_t *xcb = nullptr;
    QList<Window> mapped;
    int mapsUnmapped = 0;
};

BypassingMaps::BypassingMaps()
    : d(std::make_unique<Private>())
{
    d->xcb = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(d->xcb))
        return;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_request_check(d->xcb, xcb_change_window_attributes_checked(d->xcb, root(), XCB_CW_EVENT_MASK, &mask));
}

BypassingMaps::~BypassingMaps()
{
    xcb_disconnect(d->xcb);
}

void BypassingMaps::read()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(d->xcb)) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY) {
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (map->override_redirect)
                d->mapped << map->window;
        } else if (type == XCB_UNMAP_NOTIFY) {
            const auto *unmap = reinterpret_cast<xcb_unmap_notify_event_t *>(event);
            if (d->mapped.removeOne(unmap->window))
                ++d->mapsUnmapped;
        }
        std::free(event);
    }
}

int BypassingMaps::mapsUnmapped()
{
    read();
    return d->mapsUnmapped;
}

struct SilentWindowManager::Connection
{
    xcb_connection_t *xcb = nullptr;
};

SilentWindowManager::~SilentWindowManager()
{
    die();
}

bool SilentWindowManager::start()
{
    die();
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_window_t screenRoot = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    const std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> refused(
        xcb_request_check(connection, xcb_change_window_attributes_checked(connection, screenRoot,
                                                                            XCB_CW_EVENT_MASK, &mask)),
        &std::free);
    if (refused) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_window_t owner = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, owner, screenRoot, -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(connection, owner, atom("WM_S0"), XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    m_connection = new Connection{connection};
    return true;
}

bool SilentWindowManager::askedToMap(Window client)
{
    if (!m_connection)
        return false;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection->xcb)) {
        if ((event->response_type & 0x7f) == XCB_MAP_REQUEST)
            m_mapRequests << reinterpret_cast<xcb_map_request_event_t *>(event)->window;
        std::free(event);
    }
    return m_mapRequests.contains(client);
}

void SilentWindowManager::die()
{
    if (!m_connection)
        return;
    xcb_disconnect(m_connection->xcb);
    delete m_connection;
    m_connection = nullptr;
    m_mapRequests.clear();
}

} // namespace X11Desktop
