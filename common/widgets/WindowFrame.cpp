#include "WindowFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

namespace WindowFrame {
namespace {

Q_LOGGING_CATEGORY(lcWindowFrame, "common.windowframe")

// _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status.
constexpr std::uint32_t kMotifHasFunctions = 1 << 0;
constexpr std::uint32_t kMotifFunctionAll = 1 << 0;
constexpr std::uint32_t kMotifFunctionResize = 1 << 1;
constexpr std::uint32_t kMotifFunctionMove = 1 << 2;
constexpr std::uint32_t kMotifFunctionMinimize = 1 << 3;
constexpr std::uint32_t kMotifFunctionMaximize = 1 << 4;
constexpr std::uint32_t kMotifFunctionClose = 1 << 5;
constexpr int kMotifHintWords = 5;

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, std::uint16_t(qstrlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    if (!reply)
        qCWarning(lcWindowFrame, "the X server gave no atom for %s", name);
    return reply ? reply->atom : XCB_ATOM_NONE;
}

// The functions Qt asked for, without resizing and maximising. A window that named no functions
// (all of them) gets what Qt gives a closable, movable window.
void withdrawResizing(xcb_connection_t *connection, xcb_window_t window)
{
    const xcb_atom_t motifHints = internAtom(connection, "_MOTIF_WM_HINTS");
    if (motifHints == XCB_ATOM_NONE)
        return;
    std::array<std::uint32_t, kMotifHintWords> hints{};
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, motifHints, motifHints, 0, kMotifHintWords);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (reply && reply->format == 32) {
        const int words = std::min(xcb_get_property_value_length(reply.get()) / 4, kMotifHintWords);
        std::copy_n(static_cast<const std::uint32_t *>(xcb_get_property_value(reply.get())), words, hints.begin());
    }
    std::uint32_t &functions = hints[1];
    if (!(hints[0] & kMotifHasFunctions) || (functions & kMotifFunctionAll))
        functions = kMotifFunctionMove | kMotifFunctionMinimize | kMotifFunctionClose;
    hints[0] |= kMotifHasFunctions;
    functions &= ~(kMotifFunctionResize | kMotifFunctionMaximize);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, motifHints, motifHints, 32, kMotifHintWords,
                        hints.data());
}

// On a window not yet mapped, the state is the window's to set; Qt adds its own to it.
void addSkipTaskBar(xcb_connection_t *connection, xcb_window_t window)
{
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t skipTaskBar = internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skipTaskBar == XCB_ATOM_NONE)
        return;
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, state, XCB_ATOM_ATOM, 32, 1, &skipTaskBar);
}

// How long the frame has to stay still after an imposed state ended before it counts as put back.
constexpr int kSettleMs = 100;

constexpr Qt::WindowStates kImposedStates = Qt::WindowMaximized | Qt::WindowFullScreen;

constexpr const char *kKeeperName = "windowFrameKeeper";

// Watches one window for as long as it lives.
class FrameKeeper : public QObject
{
public:
    explicit FrameKeeper(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
        m_settling.setSingleShot(true);
        m_settling.setInterval(kSettleMs);
        connect(&m_settling, &QTimer::timeout, this, &FrameKeeper::restoreSizeAndPlace);
        setObjectName(QLatin1String(kKeeperName));
        window->installEventFilter(this);
    }

    static FrameKeeper *of(QWidget *window)
    {
        auto *keeper = static_cast<FrameKeeper *>(
            window->findChild<QObject *>(QLatin1String(kKeeperName), Qt::FindDirectChildrenOnly));
        return keeper ? keeper : new FrameKeeper(window);
    }

    void setFixed() { m_fixed = true; }
    void setOffTaskBar() { m_offTaskBar = true; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            // The native window exists now and is mapped right after this event.
            if (xcb_connection_t *connection = x11Connection(); connection && m_window->isWindow()) {
                const auto window = xcb_window_t(m_window->winId());
                if (m_fixed)
                    withdrawResizing(connection, window);
                if (m_offTaskBar && m_window->parentWidget())
                    addSkipTaskBar(connection, window);
            }
            if (m_fixed)
                rememberPlace();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (!m_fixed)
                break;
            // While a window manager puts the frame back, each of its moves is waited out.
            if (m_settling.isActive())
                m_settling.start();
            else if (event->type() == QEvent::Move)
                rememberPlace();
            break;
        case QEvent::WindowStateChange:
            if (!m_fixed)
                break;
            if (m_window->windowState() & kImposedStates)
                undoImposedState();
            else if (m_undoing)
                m_settling.start();
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool hasItsSize() const
    {
        return m_window->minimumSize() == m_window->maximumSize() && m_window->size() == m_window->minimumSize();
    }

    void rememberPlace()
    {
        if (m_window->isVisible() && !(m_window->windowState() & kImposedStates) && hasItsSize())
            m_place = m_window->pos();
    }

    void undoImposedState()
    {
        qCInfo(lcWindowFrame, "a window of fixed size was maximised or made full-screen; undoing it");
        m_undoing = true;
        m_window->setWindowState(m_window->windowState() & ~kImposedStates);
    }

    // Window managers that keep the old frame in mind restore it themselves; the others are
    // told where it was.
    void restoreSizeAndPlace()
    {
        m_undoing = false;
        if (!m_window || (m_window->windowState() & kImposedStates))
            return;
        const bool resized = m_window->size() != m_window->minimumSize();
        const bool moved = m_place && m_window->pos() != *m_place;
        // A window manager may still shift the frame after the first move (fluxbox places it by
        // the decorations it had while full-screen), so the place is looked at again once the
        // frame is still, a few times at most.
        if ((!resized && !moved) || m_restoreTries == kRestoreTries) {
            m_restoreTries = 0;
            return;
        }
        ++m_restoreTries;
        if (resized)
            m_window->resize(m_window->minimumSize());
        if (moved)
            m_window->move(*m_place);
        m_settling.start();
    }

    QPointer<QWidget> m_window;
    bool m_fixed = false;
    bool m_offTaskBar = false;
    bool m_undoing = false;
    static constexpr int kRestoreTries = 3;
    int m_restoreTries = 0;
    // Runs from the end of an imposed state until the window manager has stopped moving the
    // frame.
    QTimer m_settling;
    std::optional<QPoint> m_place;
};

} // namespace

bool isMappedOrIconic(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window->testAttribute(Qt::WA_WState_Created))
        return true;
    const auto id = xcb_window_t(window->winId());
    const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr), &std::free);
    if (!attributes || attributes->map_state != XCB_MAP_STATE_UNMAPPED)
        return true;
    constexpr std::uint32_t kIconicState = 3;
    const xcb_atom_t wmState = internAtom(connection, "WM_STATE");
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> state(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, id, wmState, wmState, 0, 1), nullptr),
        &std::free);
    return state && state->format == 32 && xcb_get_property_value_length(state.get()) >= 4
        && *static_cast<const std::uint32_t *>(xcb_get_property_value(state.get())) == kIconicState;
}

void keepFixed(QWidget *window)
{
    FrameKeeper *keeper = FrameKeeper::of(window);
    keeper->setFixed();
    keeper->setOffTaskBar();
}

void keepOffTaskBar(QWidget *window)
{
    FrameKeeper::of(window)->setOffTaskBar();
}

} // namespace WindowFrame
