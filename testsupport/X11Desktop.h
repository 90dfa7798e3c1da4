#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>

// What a test asks the X server about windows, and the input it sends as a user would, over a
// connection of its own (not the program's), so that the program sees real X events.
namespace X11Desktop {

using Window = std::uint32_t;

// False when no X server answers on DISPLAY.
bool isAvailable();
Window root();
std::uint32_t atom(const char *name);
// The name of an atom, for comparisons and messages that read as words.
QByteArray atomName(std::uint32_t atom);
Window selectionOwner(const char *selection);
// The check window that a running EWMH window manager names on the root window and on itself;
// 0 when none lives.
Window windowManagerCheck();

// ICCCM WM_STATE: withdrawn, normal or iconic; nullopt when the window has none (a window no
// window manager has managed, or one it has let go).
enum class WmState { Withdrawn = 0, Normal = 1, Iconic = 3 };
std::optional<WmState> wmState(Window window);

QList<std::uint32_t> atomsOf(Window window, const char *property);
bool hasAtom(Window window, const char *property, const char *value);
// atomsOf by name.
QByteArrayList atomNamesOf(Window window, const char *property);
std::optional<Window> windowProperty(Window window, const char *property);
QByteArray stringProperty(Window window, const char *property);

// WM_NORMAL_HINTS: the smallest and largest size the window asks for, where it gives them.
struct SizeHints
{
    std::optional<QSize> minimum;
    std::optional<QSize> maximum;
};
SizeHints sizeHints(Window window);

// _MOTIF_WM_HINTS: the decorations and functions the window asks for, where it says.
struct MotifHints
{
    std::optional<std::uint32_t> functions; // MWM_FUNC_* bits
    std::optional<std::uint32_t> decorations; // MWM_DECOR_* bits
};
MotifHints motifHints(Window window);
// The bits of MotifHints that say what a frame offers (MWM_FUNC_*, MWM_DECOR_*).
inline constexpr std::uint32_t kMotifFunctionResize = 1 << 1;
inline constexpr std::uint32_t kMotifFunctionMinimize = 1 << 3;
inline constexpr std::uint32_t kMotifFunctionMaximize = 1 << 4;
inline constexpr std::uint32_t kMotifFunctionClose = 1 << 5;
inline constexpr std::uint32_t kMotifDecorationMinimize = 1 << 5;
inline constexpr std::uint32_t kMotifDecorationMaximize = 1 << 6;

Window parentOf(Window window);
QList<Window> childrenOf(Window window);
// Every window below `window`, depth first.
QList<Window> descendantsOf(Window window);
// The top-level window (a child of the root, or the client inside a frame) whose WM_NAME is
// `name` and which is viewable; 0 when there is none.
Window findViewable(const QByteArray &name);
// Where the window is, in root coordinates; whether it is mapped and viewable.
QRect geometryOnRoot(Window window);
bool isViewable(Window window);

// The top-level window a window manager put around `client` (the client itself without one).
Window frameOf(Window client);

// Real input through XTest: the pointer moves to `at` (root coordinates), and the button
// (1 left, 2 middle, 3 right) is pressed and released there.
void click(QPoint at, int button);
void pressKey(const char *keysymName);
// As a task bar or pager asks the window manager: iconify (WM_CHANGE_STATE), activate
// (_NET_ACTIVE_WINDOW), maximise (_NET_WM_STATE).
void askToIconify(Window client);
void askToActivate(Window client);
void askToMaximize(Window client);
// As a task bar or a key of the window manager's asks it to show a window full-screen.
void askToMakeFullScreen(Window client);
// As a pager asks the window manager to keep a window above the others, or no longer
// (_NET_WM_STATE_ABOVE).
void askToKeepAbove(Window client, bool above);
// Waits up to `timeoutMs` until the window manager has dealt with every request sent to it so
// far about `client`. A window manager handles its requests in order, so it asks for a change
// it can be seen to make (keeping the window above, then as it was) and waits for both. False
// when the window manager did not answer in time.
bool waitForWindowManager(Window client, int timeoutMs = 10000);

// Maps a small window of its own, waits up to `timeoutMs` until the window manager has taken it
// on, and destroys it again: a window manager that has just taken WM_S0 may not handle requests
// yet. openbox 3.6 leaves those that come while it starts waiting until some later event reaches
// it; this sends it such events while it waits. False when the window manager took nothing on.
bool waitUntilManaging(int timeoutMs = 15000);

// A managed window's frame as the X server holds it, and the window once the window manager
// has answered a task bar's request to maximise it.
struct FrameReport
{
    // In the normal state, inside a frame of the window manager's.
    bool managed = false;
    // The window manager publishes _NET_WM_ALLOWED_ACTIONS (in _NET_SUPPORTED).
    bool actionsPublished = false;
    QSize size;
    QSize frameSize;
    SizeHints sizeHints;
    MotifHints motifHints;
    QByteArrayList allowedActions;
    QByteArrayList windowType;
    std::optional<Window> transientFor;
    bool maximiseAnswered = false;
    QSize sizeAfterMaximise;
    QSize frameSizeAfterMaximise;
    QByteArrayList stateAfterMaximise;
};
// Waits up to `timeoutMs` until the window manager has taken `client` on (and has published its
// allowed actions, where it does), reads the frame, asks to maximise the window and reads what
// became of it once the window manager has answered (and, where the window undoes a maximise
// imposed on it, once it has). Asks for nothing that could fail, so that
// it can run inside a dialog's event loop.
FrameReport reportFrame(Window client, int timeoutMs = 15000);

// Takes `selection` with a window of the test's own, as a desktop part that announces itself
// (MANAGER message to the root window) but then does nothing; 0 when it is taken already.
// Destroying the window gives the selection up.
Window announceSelectionOwner(const char *selection);
void destroyWindow(Window window);

// Waits for every request sent so far to reach the server.
void sync();

// The windows that bypass the window manager (override-redirect: menus, tooltips, Glintmark's
// flash overlay) as the X server maps and unmaps them at the top of the screen, watched over a
// connection of the recorder's own from the moment it is made.
class BypassingMaps
{
public:
    BypassingMaps();
    ~BypassingMaps();
    BypassingMaps(const BypassingMaps &) = delete;
    BypassingMaps &operator=(const BypassingMaps &) = delete;

    // How often such a window was mapped and then unmapped again, counting what has arrived.
    int mapsUnmapped();

private:
    void read();

    struct Private;
    std::unique_ptr<Private> d;
};

// A window manager that takes its place (WM_S0 and the redirection of the root window's
// children) but answers nothing: a map request that a window sends it is lost with it when it
// dies, as when a window manager is killed in the middle of its work. On a connection of its
// own.
class SilentWindowManager
{
public:
    SilentWindowManager() = default;
    ~SilentWindowManager();
    SilentWindowManager(const SilentWindowManager &) = delete;
    SilentWindowManager &operator=(const SilentWindowManager &) = delete;

    // False while another window manager runs.
    bool start();
    // Whether `client` has asked it to be mapped, as far as the requests received so far tell.
    bool askedToMap(Window client);
    // Ends its connection; the X server gives its place up.
    void die();

private:
    struct Connection;
    Connection *m_connection = nullptr;
    QList<Window> m_mapRequests;
};

} // namespace X11Desktop
