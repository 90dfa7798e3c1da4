// The overlay on a real X server, once without and once with a compositing manager: what
// reaches the screen during a flash, and what the server makes of the window.

#include "CDrawDlg.h"
#include "DesktopCompositor.h"
#include "MessageBox.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <qguiapplication_platform.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

namespace {

constexpr int kManualInterval = 8000;
const QColor kTextColor(220, 30, 30);

// A desktop that cannot be mistaken for black or for the text: stripes of three colours.
QRgb desktopPixel(int x, int)
{
    static const QRgb stripes[] = {qRgb(40, 150, 90), qRgb(90, 60, 200), qRgb(230, 200, 60)};
    return stripes[(x / 5) % 3];
}

class Desktop : public QWidget
{
public:
    Desktop()
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAccessibleName(QStringLiteral("Desktop"));
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        const QRect r = event->rect();
        for (int x = r.left(); x <= r.right(); ++x)
            painter.fillRect(QRect(x, r.top(), 1, r.height()), QColor(desktopPixel(x, 0)));
    }
};

QFont flashFont()
{
    QFont font(QStringLiteral("Arial"), 40);
    font.setBold(true);
    return font;
}

QFont unkerned(QFont font)
{
    font.setKerning(false);
    return font;
}

QRect expectedBox(const QString &text, FlashLocation location)
{
    const QFont font = unkerned(flashFont());
    const QFontMetrics metrics(font);
    const FlashBox box = MeasureFlashText(
        static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(text))), metrics.height(),
        {metrics.averageCharWidth(), metrics.descent(), qApp->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
         qApp->style()->pixelMetric(QStyle::PM_DefaultFrameWidth)});
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const FlashPlace place = PlaceFlashText(location, screen.width(), screen.height(), box);
    return QRect(screen.x() + place.left, screen.y() + place.top, box.width, box.height);
}

// How much of the text covers each pixel of its box.
QImage coverage(const QString &text, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const QFont font = unkerned(flashFont());
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QPoint(0, QFontMetrics(font).ascent()), text);
    return image;
}

struct Comparison
{
    int textPixels = 0;      // fully covered by the text
    int desktopPixels = 0;   // not touched by the text
    int wrongText = 0;
    int wrongDesktop = 0;
    int wrongEdge = 0;
    int worst = 0;

    bool matches() const { return wrongText == 0 && wrongDesktop == 0 && wrongEdge == 0; }
    QString describe() const
    {
        return QStringLiteral("%1 of %2 text pixels, %3 of %4 desktop pixels and %5 edge pixels wrong, worst by %6")
            .arg(wrongText).arg(textPixels).arg(wrongDesktop).arg(desktopPixels).arg(wrongEdge).arg(worst);
    }
};

int channelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// The screen inside the box against the text drawn at `opacity` over the desktop.
Comparison compare(const QImage &screen, const QImage &cover, QPoint boxOrigin, qreal opacity)
{
    Comparison result;
    for (int y = 0; y < cover.height(); ++y) {
        for (int x = 0; x < cover.width(); ++x) {
            const int alpha = qAlpha(cover.pixel(x, y));
            const QRgb desktop = desktopPixel(boxOrigin.x() + x, boxOrigin.y() + y);
            const qreal a = alpha / 255.0 * opacity;
            const auto mix = [a](int text, int under) { return static_cast<int>(std::lround(text * a + under * (1 - a))); };
            const QRgb expected = qRgb(mix(kTextColor.red(), qRed(desktop)), mix(kTextColor.green(), qGreen(desktop)),
                                       mix(kTextColor.blue(), qBlue(desktop)));
            const int distance = channelDistance(screen.pixel(x, y), expected);
            if (alpha == 255) {
                ++result.textPixels;
                result.wrongText += distance > 3;
            } else if (alpha == 0) {
                ++result.desktopPixels;
                result.wrongDesktop += distance > 0;
            } else {
                result.wrongEdge += distance > 8;
            }
            result.worst = std::max(result.worst, distance);
        }
    }
    return result;
}

QImage grabScreen(const QRect &rect)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

xcb_connection_t *connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

template <typename Reply>
using XReply = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_window_t inputFocus()
{
    const XReply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection(), xcb_get_input_focus(connection()), nullptr), &std::free);
    return reply ? reply->focus : xcb_window_t{XCB_WINDOW_NONE};
}

// The top-level window the pointer is in, as the server decides where input goes.
xcb_window_t windowUnderPointer()
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
    const XReply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(connection(), xcb_query_pointer(connection(), root), nullptr), &std::free);
    return reply ? reply->child : xcb_window_t{XCB_WINDOW_NONE};
}

bool overrideRedirect(WId window)
{
    const XReply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(connection(),
                                        xcb_get_window_attributes(connection(), static_cast<xcb_window_t>(window)),
                                        nullptr),
        &std::free);
    return reply && reply->override_redirect;
}

} // namespace

class FlashScreenTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_settingsDir;
    QProcess m_compositor;
    std::unique_ptr<Desktop> m_desktop;
    std::unique_ptr<QWidget> m_owner;
    QLineEdit *m_edit = nullptr;

    // One tick, and what the screen showed in the box while the text was up.
    static Comparison flashAndLook(CDrawDlg &overlay, const QRect &box, const QImage &cover, qreal opacity)
    {
        Comparison seen;
        bool looked = false;
        // While this handler runs, the flash stays on screen: its hold cannot end before the
        // event loop runs again. A compositor draws in a process of its own meanwhile.
        const QMetaObject::Connection connection = connect(&overlay, &CDrawDlg::flashShown, [&] {
            QElapsedTimer timer;
            timer.start();
            do {
                seen = compare(grabScreen(box), cover, box.topLeft(), opacity);
            } while (!seen.matches() && timer.elapsed() < 3000);
            looked = true;
        });
        overlay.OnTimer();
        // Until the flash is over (a tick that shows nothing leaves nothing to look at).
        const bool over = QTest::qWaitFor([&] { return looked || !overlay.isVisible(); }, 5000)
            && QTest::qWaitFor([&] { return !overlay.isVisible(); }, 5000);
        disconnect(connection);
        return over ? seen : Comparison{};
    }

    bool setCompositor(bool running)
    {
        if (running && m_compositor.state() == QProcess::NotRunning) {
            m_compositor.start(QStringLiteral("xcompmgr"), {});
            return m_compositor.waitForStarted();
        }
        if (!running && m_compositor.state() != QProcess::NotRunning) {
            m_compositor.terminate();
            return m_compositor.waitForFinished();
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (platform xcb)");
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        MessageBox::setHandler([](const MessageBox::Request &) { return QMessageBox::Ok; });

        m_desktop = std::make_unique<Desktop>();
        m_desktop->setGeometry(QGuiApplication::primaryScreen()->geometry());
        m_desktop->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_desktop.get()));

        m_owner = std::make_unique<QWidget>();
        m_owner->setAccessibleName(QStringLiteral("Owner"));
        m_edit = new QLineEdit(m_owner.get());
        m_edit->setAccessibleName(QStringLiteral("Text"));
        m_owner->setGeometry(10, 10, 200, 60);
        m_owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
    }

    void cleanupTestCase()
    {
        if (m_compositor.state() != QProcess::NotRunning) {
            m_compositor.terminate();
            m_compositor.waitForFinished();
        }
        MessageBox::setHandler({});
    }

    void flashShowsTheTextOnTheDesktop_data()
    {
        QTest::addColumn<bool>("compositor");
        QTest::addColumn<int>("display");
        QTest::addColumn<qreal>("opacity");
        QTest::newRow("no compositor, opaque") << false << 50 << 1.0;
        QTest::newRow("no compositor, faint") << false << 10 << 20.0 / 255;
        QTest::newRow("compositor, opaque") << true << 50 << 1.0;
        QTest::newRow("compositor, faint") << true << 10 << 20.0 / 255;
    }
    void flashShowsTheTextOnTheDesktop()
    {
        QFETCH(bool, compositor);
        QFETCH(int, display);
        QFETCH(qreal, opacity);
        QVERIFY2(setCompositor(compositor), "xcompmgr did not start or stop");
        QTRY_COMPARE_WITH_TIMEOUT(desktopComposites(), compositor, 10000);

        const QString text = QStringLiteral("Glint of calm");
        const QRect box = expectedBox(text, FlashLocation::Center);
        const QImage cover = coverage(text, box.size());
        // The desktop is drawn where the text will show.
        QTRY_VERIFY_WITH_TIMEOUT(compare(grabScreen(box), cover, box.topLeft(), 0).matches(), 5000);

        // The user works in the owner window; the pointer rests where the text will show.
        m_owner->raise();
        m_owner->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_owner.get()));
        m_edit->setFocus();
        QCursor::setPos(box.center());
        QTRY_COMPARE(windowUnderPointer(), static_cast<xcb_window_t>(m_desktop->winId()));
        const xcb_window_t focusBefore = inputFocus();

        auto list = std::make_unique<FlashTexts>();
        (*list)[0] = text.toUtf8();
        CDrawDlg overlay(*list, FlashLocation::Center, kManualInterval, display, flashFont(), kTextColor);
        QVERIFY(overlay.Create());
        QCOMPARE(overlay.composited(), compositor);
        QVERIFY(overrideRedirect(overlay.winId()));
        // Another window comes above the overlay's place in the stacking order; the flash
        // must still show on top.
        m_desktop->raise();
        m_owner->raise();

        // While this handler runs, the flash stays on screen: its hold cannot end before the
        // event loop runs again. The compositor draws in a process of its own meanwhile.
        Comparison seen;
        xcb_window_t pointerWindow = XCB_WINDOW_NONE;
        xcb_window_t focusDuring = XCB_WINDOW_NONE;
        QWidget *activeDuring = nullptr;
        bool checked = false;
        connect(&overlay, &CDrawDlg::flashShown, this, [&] {
            QElapsedTimer timer;
            timer.start();
            do {
                seen = compare(grabScreen(box), cover, box.topLeft(), opacity);
            } while (!seen.matches() && timer.elapsed() < 3000);
            pointerWindow = windowUnderPointer();
            focusDuring = inputFocus();
            activeDuring = QApplication::activeWindow();
            checked = true;
        });
        QSignalSpy hidden(&overlay, &CDrawDlg::flashHidden);
        overlay.OnTimer();
        QTRY_VERIFY(checked);
        QCOMPARE(overlay.geometry(), box);
        QVERIFY2(seen.matches(), qPrintable(seen.describe()));
        QVERIFY(seen.textPixels > 200);
        QVERIFY(seen.desktopPixels > 1000);

        // Click-through: input under the text still goes to the window below.
        QCOMPARE(pointerWindow, static_cast<xcb_window_t>(m_desktop->winId()));
        // Never activated.
        QCOMPARE(focusDuring, focusBefore);
        QCOMPARE(activeDuring, m_owner.get());
        QCOMPARE(QApplication::focusWidget(), m_edit);

        // Hidden after the hold: the desktop is whole again.
        QTRY_COMPARE_WITH_TIMEOUT(hidden.size(), 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(compare(grabScreen(box), cover, box.topLeft(), 0).matches(), 5000);
    }

    void followsTheCompositorWhileRunning()
    {
        // Made under a compositor, then the compositor stops (a desktop's effects turned off)
        // and comes back: no flash may show as a black box or lose its faintness.
        const QString text = QStringLiteral("Steady");
        const QRect box = expectedBox(text, FlashLocation::Top);
        const QImage cover = coverage(text, box.size());
        const qreal faint = 20.0 / 255;
        QVERIFY2(setCompositor(true), "xcompmgr did not start");
        QTRY_VERIFY_WITH_TIMEOUT(desktopComposites(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(compare(grabScreen(box), cover, box.topLeft(), 0).matches(), 5000);

        auto list = std::make_unique<FlashTexts>();
        (*list)[0] = text.toUtf8();
        CDrawDlg overlay(*list, FlashLocation::Top, kManualInterval, 10, flashFont(), kTextColor);
        QVERIFY(overlay.Create());
        for (const bool compositor : {true, false, true}) {
            QVERIFY2(setCompositor(compositor), "xcompmgr did not start or stop");
            QTRY_COMPARE_WITH_TIMEOUT(desktopComposites(), compositor, 10000);
            QTRY_VERIFY_WITH_TIMEOUT(compare(grabScreen(box), cover, box.topLeft(), 0).matches(), 5000);
            const Comparison seen = flashAndLook(overlay, box, cover, faint);
            QVERIFY2(seen.matches() && seen.textPixels > 100, qPrintable(seen.describe()));
            QCOMPARE(overlay.composited(), compositor);
        }
    }

    // What the X server refuses the overlay is logged with the error and the request: here its
    // window is destroyed behind its back, as when the server drops it, and the next tick fails.
    void refusedRequestsAreLogged()
    {
        auto list = std::make_unique<FlashTexts>();
        (*list)[0] = "Gone";
        CDrawDlg overlay(*list, FlashLocation::Top, kManualInterval, 10, flashFont(), kTextColor);
        QVERIFY(overlay.Create());
        xcb_connection_t *other = xcb_connect(nullptr, nullptr);
        QVERIFY(!xcb_connection_has_error(other));
        xcb_destroy_window(other, xcb_window_t(overlay.winId()));
        std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
        xcb_disconnect(other);
        const QRegularExpression logged("^a request of the flash overlay failed: X error BadWindow \\(3\\)");
        QTest::ignoreMessage(QtWarningMsg, logged);
        // The error comes back from the server a little later: the test waits until it was logged.
        static bool s_logged;
        static QtMessageHandler s_testHandler;
        s_logged = false;
        s_testHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (text.startsWith(QLatin1String("a request of the flash overlay failed")))
                s_logged = true;
            s_testHandler(type, context, text);
        });
        overlay.OnTimer();
        QTRY_VERIFY_WITH_TIMEOUT(s_logged, 5000);
        qInstallMessageHandler(s_testHandler);
    }
};

QTEST_MAIN(FlashScreenTest)
#include "tst_flashscreen.moc"
