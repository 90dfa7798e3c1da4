#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <deque>
#include <vector>

struct xcb_connection_t;

// Whether a compositing manager draws the desktop, so that a window's alpha channel and
// opacity show as such. On X11 that is the owner of the _NET_WM_CM_S<screen> selection;
// other platforms (Wayland, offscreen) always composite. When the selection cannot be read,
// the failure is logged and the desktop counts as not composited.
bool desktopComposites();

// The X errors that the overlay's own requests cause, logged in lcGlintmark with the error
// and the request. Qt sends those requests unchecked and drops their errors, so the overlay
// marks where its requests begin and end (cheaply, without waiting for the server) and the
// errors that come back for them are picked out of the event stream. Only the first error of
// a span is logged, as the rest mostly follow from it, and each kind of error only once.
// Off X11 it does nothing.
class OverlayXRequests final : public QAbstractNativeEventFilter
{
public:
    OverlayXRequests();

    // Requests sent from begin() to end() are the overlay's.
    void begin();
    void end();

    // Returns once the X server has dealt with every request sent so far (one round trip), so
    // that what the overlay drew is on the server, not only on its way there.
    void waitForServer();

    // False on an X server without the SHAPE extension: there Qt leaves a window's mask unset.
    bool canShapeWindows() const { return m_canShape; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Span
    {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        bool ended = false;
        bool failed = false;
    };
    struct Extension
    {
        const char *name;
        std::uint8_t majorOpcode;
    };

    xcb_connection_t *m_connection = nullptr;
    std::deque<Span> m_spans;
    std::vector<Extension> m_extensions;
    std::vector<std::uint32_t> m_logged;
    bool m_canShape = true;
};
