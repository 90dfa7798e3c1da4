#include "CDrawDlg.h"

#include "DesktopCompositor.h"
#include "DisplayText.h"
#include "FlashNotice.h"
#include "FlashTextExtent.h"
#include "GlintmarkLog.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace {

constexpr Qt::WindowFlags kOverlayFlags = Qt::Tool | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint
    | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus;

constexpr qreal kFaintOpacity = kFaintAlpha / 255.0;

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
    connect(&m_tickTimer, &QTimer::timeout, this, &CDrawDlg::OnTimer);
    connect(&m_flushTimer, &QTimer::timeout, this, &CDrawDlg::OnFrameFlushed);
    connect(&m_holdTimer, &QTimer::timeout, this, &CDrawDlg::EndFlash);
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
    MeasureAndPlace();
    m_xRequests.begin();
    UseComposition(desktopComposites());
    m_xRequests.end();
    if (!windowHandle())
        return false;
    m_bCreated = true;

    if (m_times.noticeDue)
        showShortDisplayNotice();
    m_tickTimer.start(m_times.tickPeriodMs);
    return true;
}

void CDrawDlg::UseComposition(bool composited)
{
    // A window's visual (with or without alpha) is fixed when it is made, so a change of
    // compositor means a new native window. Made now, hidden, so that a flash does not wait.
    m_bComposited = composited;
    if (testAttribute(Qt::WA_WState_Created))
        destroy();
    setAttribute(Qt::WA_TranslucentBackground, composited);
    setAttribute(Qt::WA_OpaquePaintEvent, !composited);
    setWindowOpacity(composited && m_times.faint ? kFaintOpacity : 1.0);
    if (composited)
        clearMask();
    else if (m_frame.isNull() && !m_largestWindow.isEmpty()) {
        m_frame = QImage(m_largestWindow, QImage::Format_RGB32);
        m_textImage = QImage(m_largestWindow, QImage::Format_ARGB32_Premultiplied);
    }
    if (!composited && !m_xRequests.canShapeWindows() && !m_bUnshapedLogged) {
        m_bUnshapedLogged = true;
        qCWarning(lcGlintmark, "the X server has no SHAPE extension: without a compositor each flash covers its "
                               "whole box with a still picture of the desktop");
    }
    winId();
}

void CDrawDlg::MeasureAndPlace()
{
    const QFontMetrics metrics(m_font);
    m_nAscent = metrics.ascent();
    const FlashTextMetrics boxMetrics{metrics.averageCharWidth(), metrics.descent(),
                                      style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this),
                                      style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this)};
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect primary = screen->geometry();
    const QRect desktop = screen->virtualGeometry();
    m_primaryOrigin = primary.topLeft();

    FlashTextExtent extent(m_font);
    Slots &table = *m_slots;
    for (std::int32_t i = 0; i < m_nCount; ++i) {
        const QString line = singleLineText(displayText(table.texts[i]));
        table.boxes[i] = MeasureFlashText(extent.width(line), extent.height(), boxMetrics);
        table.places[i] = PlaceFlashText(m_location, primary.width(), primary.height(), table.boxes[i]);
        const QRect box(m_primaryOrigin + QPoint(table.places[i].left, table.places[i].top),
                        QSize(table.boxes[i].width, table.boxes[i].height));
        // Only the part on the desktop is shown: X11 positions are 16-bit, and a box far
        // wider than the screen would otherwise wrap around.
        table.windows[i] = box & desktop;
        // Of a text wider than any screen, only what can be seen is kept and drawn, so that a
        // huge text flashes at the cost of a short one.
        const int textLeft = box.left();
        const FlashTextExtent::Part part =
            extent.visiblePart(line, table.windows[i].left() - textLeft, table.windows[i].right() + 1 - textLeft);
        table.lines[i] = part.length == line.size() ? line : line.mid(part.start, part.length);
        table.lineOffsets[i] = part.x;
        m_largestWindow = m_largestWindow.expandedTo(table.windows[i].size());
    }
}

QPoint CDrawDlg::textOrigin() const
{
    const FlashPlace &place = m_slots->places[m_nIndex];
    return m_primaryOrigin + QPoint(place.left, place.top) - m_slots->windows[m_nIndex].topLeft()
        + QPoint(m_slots->lineOffsets[m_nIndex], m_nAscent);
}

void CDrawDlg::OnTimer()
{
    EndFlash();
    const FlashStep step = FlashCycle(m_nCount, m_nIndex);
    m_nIndex = step.index;
    if (!step.show)
        return;
    const QRect &window = m_slots->windows[m_nIndex];
    if (window.isEmpty())
        return;
    // Until the frame is out (OnFrameFlushed): the X requests of this flash.
    m_xRequests.begin();
    // A compositor may start or stop while the overlay runs (a desktop's effects turned off
    // and on); a translucent window without one would show as a black box.
    if (const bool composited = desktopComposites(); composited != m_bComposited)
        UseComposition(composited);
    if (!m_bComposited && !PrepareUncomposited(window)) {
        m_xRequests.end();
        return;
    }

    setGeometry(window);
    if (m_bRaise)
        raise();
    m_state = State::Shown;
    show();
}

bool CDrawDlg::PrepareUncomposited(const QRect &window)
{
    // Without a compositor the window cannot be see-through: it is cut to the text's pixels,
    // and those show the text drawn over what the desktop has there, so that the letters'
    // edges blend with it and the faint mode can be blended in advance.
    // Through the screen at the desktop's origin where there is one: there, coordinates on
    // the screen and on the whole desktop are the same, whichever of the two Qt expects.
    QScreen *screen = QGuiApplication::screenAt(QPoint(0, 0));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
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

    const QRect area(QPoint(), window.size());
    {
        QPainter painter(&m_textImage);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(area, Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setClipRect(area);
        painter.setFont(m_font);
        painter.setPen(m_textColor);
        painter.drawText(textOrigin(), m_slots->lines[m_nIndex]);
    }
    {
        QPainter painter(&m_frame);
        painter.drawPixmap(0, 0, under);
        painter.setOpacity(m_times.faint ? kFaintOpacity : 1.0);
        painter.drawImage(QPoint(), m_textImage, area);
    }

    m_shapeRuns.clear();
    for (int y = 0; y < area.height(); ++y) {
        const auto *pixels = reinterpret_cast<const QRgb *>(m_textImage.constScanLine(y));
        for (int x = 0; x < area.width();) {
            while (x < area.width() && qAlpha(pixels[x]) == 0)
                ++x;
            const int start = x;
            while (x < area.width() && qAlpha(pixels[x]) != 0)
                ++x;
            if (x > start)
                m_shapeRuns.emplace_back(start, y, x - start, 1);
        }
    }
    // An empty shape would mean no shape at all: the whole box, opaque.
    if (m_shapeRuns.empty())
        return false;
    QRegion shape;
    shape.setRects(m_shapeRuns.data(), static_cast<int>(m_shapeRuns.size()));
    setMask(shape);
    return true;
}

void CDrawDlg::paintEvent(QPaintEvent *)
{
    if (m_state == State::Hidden)
        return;
    QPainter painter(this);
    if (m_bComposited) {
        painter.setFont(m_font);
        painter.setPen(m_textColor);
        painter.drawText(textOrigin(), m_slots->lines[m_nIndex]);
    } else {
        painter.drawImage(QPoint(), m_frame, QRect(QPoint(), size()));
    }

    // What is drawn here is still only in Qt's buffer: Qt copies it to the window once this
    // function is over, as part of the same event. The zero timer fires after that event, and
    // the hold is timed from the moment the X server has the text.
    if (m_state == State::Shown) {
        m_state = State::Painted;
        m_flushTimer.start();
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
    qApp->removeEventFilter(this);
    m_xRequests.begin();
    QDialog::setVisible(false);
    m_xRequests.end();
    if (wasOnScreen)
        emit flashHidden(m_nIndex);
}

void CDrawDlg::setVisible(bool visible)
{
    if (!visible && m_state != State::Hidden)
        EndFlash();
    else if (!visible || m_state != State::Hidden)
        QDialog::setVisible(visible);
}
