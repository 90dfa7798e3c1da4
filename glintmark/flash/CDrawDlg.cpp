#include "CDrawDlg.h"

#include "DesktopCompositor.h"
#include "DisplayText.h"
#include "FlashNotice.h"
#include "FlashTextExtent.h"
#include "GlintmarkLog.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {

constexpr Qt::WindowFlags kOverlayFlags = Qt::Tool | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint
    | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus;

constexpr qreal kFaintOpacity = kFaintAlpha / 255.0;

// How long a flash waits for the windows of all its screens to be drawn before its hold
// starts without the late ones (a screen going away under a window), or before it is given
// up when none was drawn: less than the shortest tick period.
constexpr int kPaintWaitMs = 200;

bool endsHold(const QEvent *event)
{
    // Only input from the window system: Qt's own synthetic moves (after a window shows or
    // hides under the pointer) are not the user's.
    if (!event->spontaneous())
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

} // namespace

// A window of the overlay for a further screen of the tick: it draws what its surface holds
// and tells the overlay once it has.
class CDrawDlg::ScreenWindow : public QWidget
{
public:
    explicit ScreenWindow(CDrawDlg *overlay)
        : QWidget(overlay, kOverlayFlags)
        , m_overlay(overlay)
    {
        setObjectName(QStringLiteral("flashOverlayScreen"));
        setAccessibleName(overlay->accessibleName());
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_QuitOnClose, false);
        surface.window = this;
        // Not yet made for either kind of desktop.
        surface.composited = !overlay->m_bComposited;
    }

    Surface surface;
    using QWidget::destroy;

protected:
    void paintEvent(QPaintEvent *) override { m_overlay->PaintSurface(surface); }

private:
    CDrawDlg *m_overlay;
};

CDrawDlg::CDrawDlg(const FlashTexts &texts, FlashLocation location, std::int32_t intervalMs,
                   std::int32_t displayMs, const QFont &font, const QColor &textColor, QWidget *owner)
    : QDialog(owner, kOverlayFlags)
    , m_slots(std::make_unique<Slots>())
    , m_location(location)
    , m_times(FlashTiming(intervalMs, displayMs))
    , m_font(font)
    , m_textColor(textColor)
{
    m_slots->texts = texts;
    m_nCount = static_cast<std::int32_t>(
        std::find_if(texts.begin(), texts.end(), [](const QByteArray &text) { return text.isEmpty(); })
        - texts.begin());
    // The first tick moves on to slot 0.
    m_nIndex = m_nCount;
    // Drawn as measured: advance by advance, without kerning.
    m_font.setKerning(false);
    m_surface.window = this;

    setObjectName(QStringLiteral("flashOverlay"));
    setAccessibleName(tr("Affirmation flash"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);

    m_tickTimer.setTimerType(Qt::PreciseTimer);
    m_holdTimer.setTimerType(Qt::PreciseTimer);
    m_holdTimer.setSingleShot(true);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    m_paintGuard.setSingleShot(true);
    m_paintGuard.setInterval(kPaintWaitMs);
    connect(&m_tickTimer, &QTimer::timeout, this, &CDrawDlg::OnTimer);
    connect(&m_flushTimer, &QTimer::timeout, this, &CDrawDlg::OnFrameFlushed);
    connect(&m_holdTimer, &QTimer::timeout, this, &CDrawDlg::EndFlash);
    connect(&m_paintGuard, &QTimer::timeout, this, [this] {
        if (m_state != State::Shown)
            return;
        // The windows that were drawn flash on their own; with none drawn, nothing does.
        if (m_nPendingPaints < m_nSurfacesShown) {
            m_state = State::Painted;
            m_flushTimer.start();
        } else {
            EndFlash();
        }
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &CDrawDlg::OnScreenRemoved);
}

CDrawDlg::~CDrawDlg()
{
    m_tickTimer.stop();
    EndFlash();
}

bool CDrawDlg::Create()
{
    if (m_bCreated)
        return true;
    if (!QGuiApplication::primaryScreen())
        return false;

    // Mapping a window leaves it where it is in the stacking order; each flash goes on top
    // again. Other platforms keep such windows on top themselves (and say that they cannot
    // raise).
    m_bRaise = QGuiApplication::platformName() == QLatin1String("xcb");
    Measure();
    if (m_screenChoice == FlashScreen::Primary)
        PlaceOn({QGuiApplication::primaryScreen()});
    else {
        const QList<QScreen *> screens = QGuiApplication::screens();
        PlaceOn(std::vector<QScreen *>(screens.begin(), screens.end()));
    }
    m_xRequests.begin();
    m_bComposited = desktopComposites();
    UseComposition(m_surface, m_bComposited);
    m_xRequests.end();
    if (!windowHandle())
        return false;
    m_bCreated = true;

    if (m_times.noticeDue)
        showShortDisplayNotice();
    m_tickTimer.start(m_times.tickPeriodMs);
    return true;
}

void CDrawDlg::UseComposition(Surface &surface, bool composited)
{
    // A window's visual (with or without alpha) is fixed when it is made, so a change of
    // compositor means a new native window. Made now, hidden, so that a flash does not wait.
    QWidget *window = surface.window;
    surface.composited = composited;
    if (window->testAttribute(Qt::WA_WState_Created)) {
        if (window == this)
            destroy();
        else
            static_cast<ScreenWindow *>(window)->destroy();
    }
    window->setAttribute(Qt::WA_TranslucentBackground, composited);
    window->setAttribute(Qt::WA_OpaquePaintEvent, !composited);
    window->setWindowOpacity(composited && m_times.faint ? kFaintOpacity : 1.0);
    if (composited)
        window->clearMask();
    else if (surface.frame.isNull() && !m_largestWindow.isEmpty()) {
        surface.frame = QImage(m_largestWindow, QImage::Format_RGB32);
        surface.textImage = QImage(m_largestWindow, QImage::Format_ARGB32_Premultiplied);
    }
    if (!composited && !m_xRequests.canShapeWindows() && !m_bUnshapedLogged) {
        m_bUnshapedLogged = true;
        qCWarning(lcGlintmark, "the X server has no SHAPE extension: without a compositor each flash covers its "
                               "whole box with a still picture of the desktop");
    }
    window->winId();
}

void CDrawDlg::Measure()
{
    const QFontMetrics metrics(m_font);
    m_nAscent = metrics.ascent();
    const FlashTextMetrics boxMetrics{metrics.averageCharWidth(), metrics.descent(),
                                      style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this),
                                      style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this)};
    m_extent = std::make_unique<FlashTextExtent>(m_font);
    Slots &table = *m_slots;
    for (std::int32_t i = 0; i < m_nCount; ++i) {
        const QString line = singleLineText(displayText(table.texts[i]));
        table.boxes[i] = MeasureFlashText(m_extent->width(line), m_extent->height(), boxMetrics);
    }
}

void CDrawDlg::PlaceOn(const std::vector<QScreen *> &screens)
{
    const std::size_t first = m_places.size();
    for (QScreen *screen : screens) {
        ScreenPlaces &places = m_places.emplace_back();
        places.screen = screen;
        places.geometry = screen->geometry();
        places.windows.resize(m_nCount);
        places.lines.resize(m_nCount);
        places.origins.resize(m_nCount);
    }
    const Slots &table = *m_slots;
    for (std::int32_t i = 0; i < m_nCount; ++i) {
        const QString line = singleLineText(displayText(table.texts[i]));
        const FlashBox &size = table.boxes[i];
        for (std::size_t s = first; s < m_places.size(); ++s) {
            ScreenPlaces &places = m_places[s];
            const QRect &area = places.geometry;
            const FlashPlace place =
                PlaceFlashTextOnScreen(m_location, {area.x(), area.y(), area.width(), area.height()}, size);
            const QRect box(place.left, place.top, size.width, size.height);
            // Only the part on its screen is shown: X11 positions are 16-bit, and a box far
            // wider than the screen would otherwise wrap around; nor does a text reach into
            // the screen beside, which may show a text of its own.
            const QRect window = box & area;
            places.windows[i] = window;
            // Of a text wider than its screen, only what can be seen is kept and drawn, so
            // that a huge text flashes at the cost of a short one.
            const FlashTextExtent::Part part =
                m_extent->visiblePart(line, window.left() - box.left(), window.right() + 1 - box.left());
            places.lines[i] = part.length == line.size() ? line : line.mid(part.start, part.length);
            places.origins[i] = box.topLeft() - window.topLeft() + QPoint(part.x, m_nAscent);
            m_largestWindow = m_largestWindow.expandedTo(window.size());
        }
    }
}

const CDrawDlg::ScreenPlaces &CDrawDlg::PlacesOn(QScreen *screen)
{
    // A screen that came or changed since the last placing is placed now, once.
    std::erase_if(m_places, [screen](const ScreenPlaces &places) {
        return !places.screen || (places.screen == screen && places.geometry != screen->geometry());
    });
    for (const ScreenPlaces &places : m_places) {
        if (places.screen == screen)
            return places;
    }
    PlaceOn({screen});
    return m_places.back();
}

std::vector<QScreen *> CDrawDlg::ScreensOfThisTick() const
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    const int pointer = m_screenChoice == FlashScreen::Pointer
        ? static_cast<int>(screens.indexOf(QGuiApplication::screenAt(QCursor::pos())))
        : -1;
    std::vector<QScreen *> chosen;
    for (int index : FlashScreensForTick(m_screenChoice, static_cast<int>(screens.size()),
                                         static_cast<int>(screens.indexOf(QGuiApplication::primaryScreen())),
                                         pointer))
        chosen.push_back(screens[index]);
    return chosen;
}

CDrawDlg::Surface &CDrawDlg::SurfaceAt(std::size_t position)
{
    if (position == 0)
        return m_surface;
    while (m_screenWindows.size() < position) {
        auto *window = new ScreenWindow(this);
        m_screenWindows.push_back(window);
    }
    return m_screenWindows[position - 1]->surface;
}

std::vector<QWidget *> CDrawDlg::flashWindows() const
{
    std::vector<QWidget *> windows;
    if (m_nSurfacesShown > 0)
        windows.push_back(const_cast<CDrawDlg *>(this));
    for (std::size_t i = 1; i < m_nSurfacesShown; ++i)
        windows.push_back(m_screenWindows[i - 1]);
    return windows;
}

void CDrawDlg::OnTimer()
{
    EndFlash();
    const FlashStep step = FlashCycle(m_nCount, m_nIndex);
    m_nIndex = step.index;
    if (!step.show)
        return;
    // Read at each tick: the screens there are now, and where the pointer is.
    const std::vector<QScreen *> screens = ScreensOfThisTick();
    // Until the frame is out (OnFrameFlushed): the X requests of this flash.
    m_xRequests.begin();
    // A compositor may start or stop while the overlay runs (a desktop's effects turned off
    // and on); a translucent window without one would show as a black box.
    m_bComposited = desktopComposites();
    std::size_t shown = 0;
    for (QScreen *screen : screens) {
        const ScreenPlaces &places = PlacesOn(screen);
        if (places.windows[m_nIndex].isEmpty())
            continue;
        Surface &surface = SurfaceAt(shown);
        if (surface.composited != m_bComposited)
            UseComposition(surface, m_bComposited);
        surface.screen = screen;
        surface.rect = places.windows[m_nIndex];
        surface.textOrigin = places.origins[m_nIndex];
        surface.line = places.lines[m_nIndex];
        // On its screen first: the shape and the frame are made at that screen's scale, and Qt
        // hands the server a shape at the scale the window has when it is set.
        QWidget *window = surface.window;
        if (QWindow *handle = window->windowHandle(); handle && handle->screen() != screen)
            handle->setScreen(screen);
        window->setGeometry(surface.rect);
        if (!surface.composited && !PrepareUncomposited(surface))
            continue;
        surface.painted = false;
        ++shown;
    }
    // The windows of screens that this tick has no text for (a screen gone, or another
    // choice) go away.
    while (m_screenWindows.size() + 1 > std::max<std::size_t>(shown, 1)) {
        delete m_screenWindows.back();
        m_screenWindows.pop_back();
    }
    m_nSurfacesShown = shown;
    if (shown == 0) {
        m_xRequests.end();
        return;
    }

    m_state = State::Shown;
    m_nPendingPaints = shown;
    // All at once, at the same tick: each is drawn as its window shows, and the hold starts
    // once all are drawn.
    for (std::size_t i = 0; i < shown; ++i) {
        QWidget *window = SurfaceAt(i).window;
        if (m_bRaise)
            window->raise();
        window->show();
    }
    m_paintGuard.start();
}

bool CDrawDlg::PrepareUncomposited(Surface &surface)
{
    // Without a compositor the window cannot be see-through: it is cut to the text's pixels,
    // and those show the text drawn over what the desktop has there, so that the letters'
    // edges blend with it and the faint mode can be blended in advance.
    // Through the flash's own screen, in that screen's coordinates, so that a screen with a
    // scale factor of its own is read where the flash goes.
    const QRect &window = surface.rect;
    QScreen *screen = surface.screen ? surface.screen.data() : QGuiApplication::primaryScreen();
    const QPoint onScreen = window.topLeft() - screen->geometry().topLeft();
    const QPixmap under = screen->grabWindow(0, onScreen.x(), onScreen.y(), window.width(), window.height());
    if (under.isNull()) {
        if (!m_bGrabFailing)
            qCWarning(lcGlintmark, "cannot read the desktop under the flash at %d,%d (%dx%d) from the X server, so "
                                   "flashes are left out until it can be read again",
                      window.x(), window.y(), window.width(), window.height());
        m_bGrabFailing = true;
        return false;
    }
    m_bGrabFailing = false;

    // At the screen's own pixels, which a scale factor makes more than the window's.
    const qreal scale = under.devicePixelRatio();
    const QSize pixels = under.size();
    surface.framePixels = pixels;
    // A screen that came later, or a larger scale, may hold a larger box than those placed at
    // the start.
    if (surface.frame.width() < pixels.width() || surface.frame.height() < pixels.height()) {
        const QSize size = surface.frame.size().expandedTo(pixels);
        surface.frame = QImage(size, QImage::Format_RGB32);
        surface.textImage = QImage(size, QImage::Format_ARGB32_Premultiplied);
    }
    surface.frame.setDevicePixelRatio(scale);
    surface.textImage.setDevicePixelRatio(scale);

    const QRect area(QPoint(), window.size());
    const QRect pixelArea(QPoint(), pixels);
    {
        QPainter painter(&surface.textImage);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(QRectF(pixelArea.topLeft(), QSizeF(pixels) / scale), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setClipRect(area);
        painter.setFont(m_font);
        painter.setPen(m_textColor);
        painter.drawText(surface.textOrigin, surface.line);
    }
    {
        QPainter painter(&surface.frame);
        painter.drawPixmap(0, 0, under);
        painter.setOpacity(m_times.faint ? kFaintOpacity : 1.0);
        painter.drawImage(QRectF(QPointF(), QSizeF(pixels) / scale), surface.textImage, QRectF(pixelArea));
    }

    // The shape is set in the window's own units, which the server gets at the screen's scale:
    // a unit is part of the shape where any of the screen's pixels within it holds the text.
    std::vector<bool> &covered = surface.covered;
    covered.assign(std::size_t(area.width()) * std::size_t(area.height()), false);
    // The units that the screen's pixel `pixel` reaches into: [pixel, pixel + 1) / scale.
    const auto firstUnit = [scale](int pixel, int units) { return std::clamp(int(pixel / scale), 0, units - 1); };
    const auto lastUnit = [scale](int pixel, int units) {
        return std::clamp(int(std::ceil((pixel + 1) / scale)) - 1, 0, units - 1);
    };
    for (int y = 0; y < pixels.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(surface.textImage.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            if (qAlpha(row[x]) == 0)
                continue;
            for (int unitY = firstUnit(y, area.height()); unitY <= lastUnit(y, area.height()); ++unitY)
                for (int unitX = firstUnit(x, area.width()); unitX <= lastUnit(x, area.width()); ++unitX)
                    covered[std::size_t(unitY) * std::size_t(area.width()) + std::size_t(unitX)] = true;
        }
    }
    std::vector<QRect> &runs = surface.shapeRuns;
    runs.clear();
    for (int y = 0; y < area.height(); ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(area.width());
        for (int x = 0; x < area.width();) {
            while (x < area.width() && !covered[row + std::size_t(x)])
                ++x;
            const int start = x;
            while (x < area.width() && covered[row + std::size_t(x)])
                ++x;
            if (x > start)
                runs.emplace_back(start, y, x - start, 1);
        }
    }
    // An empty shape would mean no shape at all: the whole box, opaque.
    if (runs.empty())
        return false;
    QRegion shape;
    shape.setRects(runs.data(), static_cast<int>(runs.size()));
    surface.window->setMask(shape);
    return true;
}

void CDrawDlg::paintEvent(QPaintEvent *)
{
    PaintSurface(m_surface);
}

void CDrawDlg::PaintSurface(Surface &surface)
{
    if (m_state == State::Hidden)
        return;
    QPainter painter(surface.window);
    if (surface.composited) {
        painter.setFont(m_font);
        painter.setPen(m_textColor);
        painter.drawText(surface.textOrigin, surface.line);
    } else {
        // Moved to another screen's scale after its shape was set (a screen change that Qt
        // took in late): the server gets the shape again, at the scale the window has now.
        if (!qFuzzyCompare(surface.window->devicePixelRatioF(), surface.frame.devicePixelRatio())) {
            const QRegion shape = surface.window->mask();
            surface.window->clearMask();
            surface.window->setMask(shape);
        }
        painter.drawImage(QRectF(QPointF(), QSizeF(surface.framePixels) / surface.frame.devicePixelRatio()),
                          surface.frame, QRectF(QPointF(), QSizeF(surface.framePixels)));
    }

    // What is drawn here is still only in Qt's buffer: Qt copies it to the window once this
    // function is over, as part of the same event. The zero timer fires after that event (the
    // last of the flash's windows), and the hold is timed from the moment the X server has
    // the text.
    if (m_state == State::Shown && !surface.painted) {
        surface.painted = true;
        if (--m_nPendingPaints == 0) {
            m_paintGuard.stop();
            m_state = State::Painted;
            m_flushTimer.start();
        }
    }
}

void CDrawDlg::OnFrameFlushed()
{
    m_xRequests.end();
    if (m_state != State::Painted)
        return;
    // Sent is not yet shown: on a busy machine the server may take a while to draw what it was
    // sent, and the hold would be spent before the text is up.
    m_xRequests.waitForServer();
    m_state = State::Holding;
    // The user's input on any of the program's windows ends the flash at once, so that a flash
    // never stands over what the user is doing there; the input itself goes on to its window.
    qApp->installEventFilter(this);
    m_holdTimer.start(m_times.holdMs);
    emit flashShown(m_nIndex);
}

bool CDrawDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (m_state == State::Holding && endsHold(event))
        EndFlash();
    return QDialog::eventFilter(watched, event);
}

void CDrawDlg::EndFlash()
{
    if (m_state == State::Hidden)
        return;
    const bool wasOnScreen = m_state == State::Holding;
    m_state = State::Hidden;
    m_flushTimer.stop();
    m_holdTimer.stop();
    m_paintGuard.stop();
    qApp->removeEventFilter(this);
    m_xRequests.begin();
    QDialog::setVisible(false);
    for (ScreenWindow *window : m_screenWindows)
        window->hide();
    m_xRequests.end();
    if (wasOnScreen)
        emit flashHidden(m_nIndex);
}

void CDrawDlg::OnScreenRemoved(QScreen *screen)
{
    // A flash on the screen that goes ends now; the next tick follows the screens there are.
    EndFlash();
    std::erase_if(m_places, [screen](const ScreenPlaces &places) { return places.screen == screen; });
}

void CDrawDlg::setVisible(bool visible)
{
    if (!visible && m_state != State::Hidden)
        EndFlash();
    else if (!visible || m_state != State::Hidden)
        QDialog::setVisible(visible);
}
