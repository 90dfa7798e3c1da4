#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <optional>

// What a test asks the X server about windows, and the input it sends as a user would, over a
// connection of its own (not the program's), so that the program sees real X events.
namespace X11Desktop {

using Window = std::uint32_t;

// False when no X server answers on DISPLAY.
bool isAvailable();
Window root();
std::uint32_t atom(const char *name);
Window selectionOwner(const char *selection);

// ICCCM WM_STATE: withdrawn, normal or iconic; nullopt when the window has none (a window no
// window manager has managed, or one it has let go).
enum class WmState { Withdrawn = 0, Normal = 1, Iconic = 3 };
std::optional<WmState> wmState(Window window);

QList<std::uint32_t> atomsOf(Window window, const char *property);
bool hasAtom(Window window, const char *property, const char *value);
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

// Waits for every request sent so far to reach the server.
void sync();

} // namespace X11Desktop
