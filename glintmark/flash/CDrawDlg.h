#pragma once

#include "DesktopCompositor.h"
#include "FlashRules.h"
#include "FlashTextExtent.h"

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The flash list handed to the overlay: the texts to flash in the first slots, in order, and
// empty slots after them. Texts are bytes as stored.
using FlashTexts = std::array<QByteArray, kFlashSlots>;

class QScreen;

// The overlay that flashes the texts: a borderless window above all others, see-through but
// for the text, which never takes the focus and lets every click through. Each tick shows the
// next text at its place; the text stays for the hold time from when it reached the screen and
// is hidden again. Between flashes the window is hidden.
// It flashes on the primary screen, on the screen that holds the pointer at the tick, or on
// every screen at once. Each screen the text shows on has a window of its own, so that each
// keeps its own see-through shape: this one for the first screen of a tick (the primary one
// when it is among them), and windows of its own for the others.
class CDrawDlg : public QDialog
{
    Q_OBJECT

public:
    // The flash list is copied; it ends at its first empty slot. The font is copied too, so
    // the caller's may change once the overlay is made.
    CDrawDlg(const FlashTexts &texts, FlashLocation location, std::int32_t intervalMs,
             std::int32_t displayMs, const QFont &font, const QColor &textColor,
             QWidget *owner = nullptr);
    ~CDrawDlg() override;

    // Before Create: where the texts flash (the primary screen unless told otherwise).
    void setScreenChoice(FlashScreen screens) { m_screenChoice = screens; }
    FlashScreen screenChoice() const { return m_screenChoice; }

    // Measures and places every text, shows the short-display notice when it is due (and
    // returns only once it is dismissed), then starts the ticks: the first text shows one tick
    // period later. False when no window could be made.
    bool Create();

    // Only a tick shows the overlay: a show from outside (the owner's right after Create)
    // leaves it hidden, as there is nothing to draw before the first tick.
    void setVisible(bool visible) override;

    std::int32_t count() const { return m_nCount; }
    const FlashTimes &timing() const { return m_times; }
    // Whether the desktop was composited at the last tick (or at Create): the overlay is then
    // a translucent window; otherwise its shape is cut to the text's pixels.
    bool composited() const { return m_bComposited; }
    // The windows of the last tick that showed a text, this one first, one per screen.
    std::vector<QWidget *> flashWindows() const;

public slots:
    // One tick: hides a flash still on screen, then shows the next text.
    void OnTimer();

signals:
    // The frame with the text of `slot` has been sent to the display; its hold starts now.
    void flashShown(int slot);
    // The text of `slot` is hidden again, at the end of its hold or on input.
    void flashHidden(int slot);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class State { Hidden, Shown, Painted, Holding };
    class ScreenWindow;

    // Per slot, fixed once Create has measured the texts.
    struct Slots
    {
        FlashTexts texts; // the private copy, as bytes
        std::array<FlashBox, kFlashSlots> boxes;
    };

    // Where each text goes on one screen, placed once for that screen.
    struct ScreenPlaces
    {
        QPointer<QScreen> screen;
        QRect geometry;
        std::vector<QRect> windows;   // per slot: the box on the desktop, cut to the screen
        std::vector<QString> lines;   // as drawn there: the part that can be seen
        std::vector<QPoint> origins;  // where that part is drawn in its window
    };

    // One window of the overlay and what it shows in the current flash.
    struct Surface
    {
        QWidget *window = nullptr;
        QPointer<QScreen> screen; // of the current flash
        bool composited = true;
        bool painted = false;
        QRect rect;
        QPoint textOrigin;
        QString line;
        // Without a compositor: the frame of the current flash (the desktop under it with the
        // text drawn over it), the text alone, both at the pixels of the flash's screen, and the
        // runs of the window's pixels that make its shape. Reused from flash to flash.
        QImage frame;
        QImage textImage;
        QSize framePixels;
        std::vector<QRect> shapeRuns;
        std::vector<bool> covered;
    };

    void Measure();
    void PlaceOn(const std::vector<QScreen *> &screens);
    const ScreenPlaces &PlacesOn(QScreen *screen);
    std::vector<QScreen *> ScreensOfThisTick() const;
    Surface &SurfaceAt(std::size_t position);
    void UseComposition(Surface &surface, bool composited);
    bool PrepareUncomposited(Surface &surface);
    void PaintSurface(Surface &surface);
    void OnFrameFlushed();
    void EndFlash();
    void OnScreenRemoved(QScreen *screen);

    std::unique_ptr<Slots> m_slots;
    std::vector<ScreenPlaces> m_places;
    std::unique_ptr<FlashTextExtent> m_extent;
    std::int32_t m_nCount = 0;
    std::int32_t m_nIndex = 0;
    FlashLocation m_location;
    FlashScreen m_screenChoice = FlashScreen::Primary;
    FlashTimes m_times;
    QFont m_font;
    QColor m_textColor;
    QSize m_largestWindow;
    int m_nAscent = 0;
    bool m_bCreated = false;
    bool m_bComposited = true;
    bool m_bRaise = false;
    bool m_bUnshapedLogged = false;
    bool m_bGrabFailing = false;
    State m_state = State::Hidden;
    OverlayXRequests m_xRequests;

    QTimer m_tickTimer;
    QTimer m_flushTimer;
    QTimer m_holdTimer;
    QTimer m_paintGuard;

    // This window's own, then one per further screen of the last tick (in m_screenWindows).
    Surface m_surface;
    std::vector<ScreenWindow *> m_screenWindows;
    std::size_t m_nSurfacesShown = 0;
    std::size_t m_nPendingPaints = 0;
};
