// The overlay on a test display split into two RandR monitors (two QScreens, the primary one on
// the right): where each choice of screens puts its flashes, as the X server has the windows and
// as the pixels on each monitor show them, and monitors that go and come while flashing. Run
// twice: as it is, and with the right monitor at a scale factor of 2 (RIGHT_MONITOR_SCALE, given
// to Qt as QT_SCREEN_SCALE_FACTORS), where the server's pixels are twice the overlay's own.

#include "CDrawDlg.h"
#include "DesktopCompositor.h"
#include "MessageBox.h"
#include "X11Desktop.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>

Q_DECLARE_METATYPE(FlashScreen)

namespace {

constexpr int kManualInterval = 8000;
const QColor kTextColor(220, 30, 30);
const QColor kDesktopColor(40, 150, 90);
const QString kLeftMonitor = QStringLiteral("glintmark-test-left");
const QString kRightMonitor = QStringLiteral("glintmark-test-right");

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
    void paintEvent(QPaintEvent *event) override { QPainter(this).fillRect(event->rect(), kDesktopColor); }
};

QFont flashFont()
{
    QFont font(QStringLiteral("Arial"), 28);
    font.setBold(true);
    font.setKerning(false);
    return font;
}

// Where the text's box belongs on `screen`, worked out from the font and the style.
QRect expectedBox(const QString &text, const QRect &screen, FlashLocation location)
{
    const QFontMetrics metrics(flashFont());
    const FlashBox box = MeasureFlashText(
        static_cast<int>(std::ceil(QFontMetricsF(flashFont()).horizontalAdvance(text))), metrics.height(),
        {metrics.averageCharWidth(), metrics.descent(), qApp->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
         qApp->style()->pixelMetric(QStyle::PM_DefaultFrameWidth)});
    const FlashPlace place =
        PlaceFlashTextOnScreen(location, {screen.x(), screen.y(), screen.width(), screen.height()}, box);
    return QRect(place.left, place.top, box.width, box.height) & screen;
}

// Pixels of the text's colour inside `rect`, read from the X server screen by screen (Qt takes
// a grab's position on the screen, not on the desktop).
int textPixels(const QRect &rect)
{
    int count = 0;
    for (QScreen *screen : QGuiApplication::screens()) {
        const QRect part = rect & screen->geometry();
        if (part.isEmpty())
            continue;
        const QPoint at = part.topLeft() - screen->geometry().topLeft();
        const QImage image = screen->grabWindow(0, at.x(), at.y(), part.width(), part.height()).toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                count += std::abs(pixel.red() - kTextColor.red()) < 30
                    && std::abs(pixel.green() - kTextColor.green()) < 30
                    && std::abs(pixel.blue() - kTextColor.blue()) < 30;
            }
    }
    return count;
}

// The box as the X server shows it, at the pixels of the screen that holds it.
QImage grabBox(const QRect &rect)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (!screen->geometry().contains(rect))
            continue;
        const QPoint at = rect.topLeft() - screen->geometry().topLeft();
        return screen->grabWindow(0, at.x(), at.y(), rect.width(), rect.height()).toImage();
    }
    return {};
}

// Pixels that differ between two pictures of one box, by more than a rounding would.
int differingPixels(const QImage &one, const QImage &other)
{
    if (one.size() != other.size())
        return std::max(one.width() * one.height(), other.width() * other.height());
    int count = 0;
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x) {
            const QColor a = one.pixelColor(x, y);
            const QColor b = other.pixelColor(x, y);
            count += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) > 12;
        }
    return count;
}

bool runXrandr(const QStringList &arguments)
{
    QProcess xrandr;
    xrandr.start(QStringLiteral("xrandr"), arguments);
    return xrandr.waitForFinished(10000) && xrandr.exitStatus() == QProcess::NormalExit && xrandr.exitCode() == 0;
}

QString monitorGeometry(const QRect &rect)
{
    // width/millimetres x height/millimetres + x + y
    return QStringLiteral("%1/%2x%3/%4+%5+%6")
        .arg(rect.width()).arg(rect.width() / 4).arg(rect.height()).arg(rect.height() / 4).arg(rect.x()).arg(rect.y());
}

// What the X server and the screen had while one flash was up.
struct Flash
{
    bool shown = false;
    QList<QRect> windows;        // each flash window, as the server has it
    QList<bool> viewable;
    QList<int> pixelsOnScreens;  // text pixels in the box each screen would show it in
    QList<QImage> pictures;      // each box as the server showed it then
};

} // namespace

class FlashScreensTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_settingsDir;
    std::vector<std::unique_ptr<Desktop>> m_desktops;
    QProcess m_compositor;
    QRect m_root;
    QRect m_left;
    QRect m_right;
    QString m_output;
    bool m_monitorsSet = false;
    const QString m_text = QStringLiteral("Here and there");

    struct Boxes
    {
        QList<QRect> logical; // as Qt places them, to read the pixels through Qt
        QList<QRect> native;  // as the X server has them
    };

    // The boxes each monitor (by name) would show the text in. A monitor that is gone counts
    // as at its own place at a scale factor of 1.
    Boxes boxesOn(const QStringList &monitors) const { return boxesOf(m_text, monitors); }
    Boxes boxesOf(const QString &text, const QStringList &monitors) const
    {
        Boxes boxes;
        for (const QString &name : monitors) {
            const QRect native = name == kLeftMonitor ? m_left : m_right;
            QRect logical = native;
            qreal scale = 1;
            for (const QScreen *screen : QGuiApplication::screens()) {
                if (screen->name() == name) {
                    logical = screen->geometry();
                    scale = screen->devicePixelRatio();
                }
            }
            const QRect box = expectedBox(text, logical, FlashLocation::Center);
            boxes.logical << box;
            boxes.native << QRect(native.topLeft() + (box.topLeft() - logical.topLeft()) * scale, box.size() * scale);
        }
        return boxes;
    }

    // One tick; while its flash is up (the handler holds the hold back), what the server has.
    // A compositor draws in a process of its own: the boxes of `drawn` are read again until it
    // has drawn the text there.
    static Flash flashOnce(CDrawDlg &overlay, const QList<QRect> &boxes = {}, const QList<int> &drawn = {})
    {
        Flash flash;
        const QMetaObject::Connection connection = connect(&overlay, &CDrawDlg::flashShown, &overlay, [&] {
            X11Desktop::sync();
            for (QWidget *window : overlay.flashWindows()) {
                flash.windows << X11Desktop::geometryOnRoot(static_cast<X11Desktop::Window>(window->winId()));
                flash.viewable << X11Desktop::isViewable(static_cast<X11Desktop::Window>(window->winId()));
            }
            QElapsedTimer timer;
            timer.start();
            const auto allDrawn = [&] {
                return std::all_of(drawn.begin(), drawn.end(), [&](int box) { return flash.pixelsOnScreens[box] > 100; });
            };
            do {
                flash.pixelsOnScreens.clear();
                for (const QRect &box : boxes)
                    flash.pixelsOnScreens << textPixels(box);
            } while (!allDrawn() && timer.elapsed() < 3000);
            for (const QRect &box : boxes)
                flash.pictures << grabBox(box);
            flash.shown = true;
        });
        QSignalSpy hidden(&overlay, &CDrawDlg::flashHidden);
        overlay.OnTimer();
        const bool shown = QTest::qWaitFor([&] { return flash.shown; }, 5000);
        disconnect(connection);
        if (shown && hidden.isEmpty())
            hidden.wait(5000);
        return flash;
    }

    bool setMonitors(bool left, bool right)
    {
        bool ok = true;
        // The output goes with the right monitor, which makes it the primary one.
        if (right)
            ok = runXrandr({"--setmonitor", kRightMonitor, monitorGeometry(m_right), m_output}) && ok;
        if (left)
            ok = runXrandr({"--setmonitor", kLeftMonitor, monitorGeometry(m_left), "none"}) && ok;
        if (!left)
            runXrandr({"--delmonitor", kLeftMonitor});
        if (!right)
            runXrandr({"--delmonitor", kRightMonitor});
        return ok;
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

    std::unique_ptr<CDrawDlg> overlayOn(FlashScreen screens, int display = 50, const QStringList &texts = {},
                                        int interval = kManualInterval)
    {
        auto list = std::make_unique<FlashTexts>();
        (*list)[0] = m_text.toUtf8();
        for (int i = 0; i < texts.size(); ++i)
            (*list)[i] = texts[i].toUtf8();
        auto overlay = std::make_unique<CDrawDlg>(*list, FlashLocation::Center, interval, display,
                                                  flashFont(), kTextColor);
        overlay->setScreenChoice(screens);
        return overlay;
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb") || !X11Desktop::isAvailable())
            QSKIP("needs an X server (platform xcb)");
        if (QStandardPaths::findExecutable(QStringLiteral("xrandr")).isEmpty())
            QSKIP("needs xrandr (Debian package x11-xserver-utils)");
        if (QGuiApplication::screens().size() != 1)
            QSKIP("needs a test display of one monitor to split in two");
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        MessageBox::setHandler([](const MessageBox::Request &) { return QMessageBox::Ok; });

        QProcess query;
        query.start(QStringLiteral("xrandr"), {QStringLiteral("--query")});
        QVERIFY(query.waitForFinished(10000));
        const QRegularExpressionMatch connected =
            QRegularExpression(QStringLiteral("^(\\S+) connected"), QRegularExpression::MultilineOption)
                .match(QString::fromLocal8Bit(query.readAllStandardOutput()));
        QVERIFY2(connected.hasMatch(), "xrandr names no connected output");
        m_output = connected.captured(1);

        m_root = QGuiApplication::primaryScreen()->geometry();
        const int half = m_root.width() / 2;
        m_left = QRect(m_root.x(), m_root.y(), half, m_root.height());
        m_right = QRect(m_root.x() + half, m_root.y(), m_root.width() - half, m_root.height());
        m_monitorsSet = true;
        QVERIFY2(setMonitors(true, true), "xrandr --setmonitor failed");
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 2, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::primaryScreen()->name(), kRightMonitor, 10000);
#ifdef RIGHT_MONITOR_SCALE
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), qreal(RIGHT_MONITOR_SCALE));
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), m_right.size() / RIGHT_MONITOR_SCALE);
#endif

        // One per monitor, each drawn at its monitor's scale.
        for (QScreen *screen : QGuiApplication::screens()) {
            auto &desktop = m_desktops.emplace_back(std::make_unique<Desktop>());
            desktop->setScreen(screen);
            desktop->setGeometry(screen->geometry());
            desktop->show();
            QVERIFY(QTest::qWaitForWindowExposed(desktop.get()));
        }
        QTRY_VERIFY_WITH_TIMEOUT(textPixels(QGuiApplication::primaryScreen()->virtualGeometry()) == 0, 5000);
    }

    void cleanupTestCase()
    {
        m_desktops.clear();
        setCompositor(false);
        if (m_monitorsSet) {
            setMonitors(false, false);
            QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 1, 10000);
        }
        MessageBox::setHandler({});
    }

    void init()
    {
        // Away from every text's place.
        QCursor::setPos(QGuiApplication::primaryScreen()->geometry().topLeft() + QPoint(5, 5));
    }

    void primaryScreenByDefault()
    {
        auto overlay = overlayOn(FlashScreen::Primary);
        QCOMPARE(CDrawDlg(FlashTexts{}, FlashLocation::Center, 1000, 50, flashFont(), kTextColor).screenChoice(),
                 FlashScreen::Primary);
        QVERIFY(overlay->Create());
        const Boxes boxes = boxesOn({kRightMonitor, kLeftMonitor});
        const Flash flash = flashOnce(*overlay, boxes.logical, {0});
        QVERIFY(flash.shown);
        QCOMPARE(flash.windows, QList<QRect>{boxes.native[0]});
        QCOMPARE(flash.viewable, QList<bool>{true});
        QVERIFY2(flash.pixelsOnScreens[0] > 100, qPrintable(QString::number(flash.pixelsOnScreens[0])));
        QCOMPARE(flash.pixelsOnScreens[1], 0);
    }

    void allScreensAtTheSameTick_data()
    {
        QTest::addColumn<bool>("compositor");
        QTest::addColumn<int>("display");
        QTest::newRow("no compositor") << false << 50;
        QTest::newRow("no compositor, faint") << false << 10;
        QTest::newRow("compositor") << true << 50;
    }
    void allScreensAtTheSameTick()
    {
        QFETCH(bool, compositor);
        QFETCH(int, display);
        if (compositor && QStandardPaths::findExecutable(QStringLiteral("xcompmgr")).isEmpty())
            QSKIP("needs xcompmgr");
        QVERIFY2(setCompositor(compositor), "xcompmgr did not start or stop");
        QTRY_COMPARE_WITH_TIMEOUT(desktopComposites(), compositor, 10000);
        const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
        QTRY_VERIFY_WITH_TIMEOUT(textPixels(desktop) == 0, 5000);

        auto overlay = overlayOn(FlashScreen::All, display);
        QVERIFY(overlay->Create());
        const Boxes boxes = boxesOn({kRightMonitor, kLeftMonitor});
        for (int round = 0; round < 2; ++round) {
            const Flash flash = flashOnce(*overlay, boxes.logical, display > 20 ? QList<int>{0, 1} : QList<int>{});
            QVERIFY(flash.shown);
            // One window per screen, the primary one's first, both up in the same flash.
            QCOMPARE(flash.windows, boxes.native);
            QCOMPARE(flash.viewable, (QList<bool>{true, true}));
            if (display > 20) {
                QVERIFY2(flash.pixelsOnScreens[0] > 100 && flash.pixelsOnScreens[1] > 100,
                         qPrintable(QStringLiteral("%1 and %2 text pixels").arg(flash.pixelsOnScreens[0]).arg(flash.pixelsOnScreens[1])));
            }
            // And both gone after the one hold.
            for (QWidget *window : overlay->flashWindows())
                QTRY_VERIFY(!X11Desktop::isViewable(static_cast<X11Desktop::Window>(window->winId())));
        }
        QTRY_VERIFY_WITH_TIMEOUT(textPixels(desktop) == 0, 5000);
        QVERIFY(setCompositor(false));
    }

    void screenWithThePointer()
    {
        auto overlay = overlayOn(FlashScreen::Pointer);
        QVERIFY(overlay->Create());
        const Boxes boxes = boxesOn({kLeftMonitor, kRightMonitor});
        const QList<QScreen *> screens{QGuiApplication::screens().constFirst(), QGuiApplication::screens().constLast()};
        // Read at each tick: wherever the pointer is then.
        for (const int side : {0, 1, 0}) {
            const QString monitor = side == 0 ? kLeftMonitor : kRightMonitor;
            const QScreen *screen = screens[0]->name() == monitor ? screens[0] : screens[1];
            const QPoint away = screen->geometry().topLeft() + QPoint(5, 5);
            QCursor::setPos(away);
            QTRY_COMPARE(QCursor::pos(), away);
            const Flash flash = flashOnce(*overlay, boxes.logical, {side});
            QVERIFY(flash.shown);
            QCOMPARE(flash.windows, QList<QRect>{boxes.native[side]});
            QVERIFY(flash.pixelsOnScreens[side] > 100);
            QCOMPARE(flash.pixelsOnScreens[1 - side], 0);
        }
    }

    // Without a compositor each window is cut to its text and shows it blended over the desktop.
    // The first flash of a text after the pointer went to the other screen shows the same pixels
    // as the text's next flash there, also where the two screens have different scale factors.
    // Two texts of different lengths take turns, so that each flash has a shape of its own.
    void firstFlashOnAnotherScreenIsClean()
    {
        QVERIFY2(setCompositor(false), "xcompmgr did not stop");
        QTRY_COMPARE_WITH_TIMEOUT(desktopComposites(), false, 10000);
        const QStringList texts{QStringLiteral("Here and there"), QStringLiteral("Now, over here, and then over there")};
        // Its own ticks would take turns with the test's in a slow build: they come too late.
        constexpr int kNoOwnTicks = 60 * 60 * 1000;
        auto overlay = overlayOn(FlashScreen::Pointer, 50, texts, kNoOwnTicks);
        QVERIFY(overlay->Create());
        const QList<Boxes> boxes{boxesOf(texts[0], {kLeftMonitor, kRightMonitor}),
                                 boxesOf(texts[1], {kLeftMonitor, kRightMonitor})};
        const QList<QScreen *> screens{QGuiApplication::screens().constFirst(), QGuiApplication::screens().constLast()};
        for (const int side : {0, 1, 0, 1}) {
            const QString monitor = side == 0 ? kLeftMonitor : kRightMonitor;
            const QScreen *screen = screens[0]->name() == monitor ? screens[0] : screens[1];
            const QPoint away = screen->geometry().topLeft() + QPoint(5, 5);
            QCursor::setPos(away);
            QTRY_COMPARE(QCursor::pos(), away);
            // Four flashes on this screen: each text twice, the first time right after the move.
            QList<QImage> pictures;
            for (int flashNumber = 0; flashNumber < 4; ++flashNumber) {
                // The desktop has drawn itself again where the last flash was, as it has between
                // two flashes of the program.
                QTRY_VERIFY_WITH_TIMEOUT(textPixels(QGuiApplication::primaryScreen()->virtualGeometry()) == 0, 5000);
                const Flash flash = flashOnce(*overlay, boxes[flashNumber % 2].logical, {side});
                QVERIFY(flash.shown);
                QVERIFY(flash.pixelsOnScreens[side] > 100);
                pictures << flash.pictures[side];
            }
            for (int text = 0; text < 2; ++text) {
                const int differing = differingPixels(pictures[text], pictures[text + 2]);
                QVERIFY2(differing == 0,
                         qPrintable(QStringLiteral("%1 pixels of %2 differ between the first two flashes of \"%3\" on %4")
                                        .arg(differing).arg(pictures[text].width() * pictures[text].height())
                                        .arg(texts[text], monitor)));
            }
        }
    }

    void screensThatComeAndGo()
    {
        auto overlay = overlayOn(FlashScreen::All);
        QVERIFY(overlay->Create());
        QCOMPARE(flashOnce(*overlay).windows, boxesOn({kRightMonitor, kLeftMonitor}).native);

        // The left monitor goes while a flash is up: the flash ends, and its window with it.
        QSignalSpy hidden(overlay.get(), &CDrawDlg::flashHidden);
        QList<QPointer<QWidget>> windowsUp;
        bool removing = false;
        connect(overlay.get(), &CDrawDlg::flashShown, overlay.get(), [&] {
            for (QWidget *window : overlay->flashWindows())
                windowsUp << window;
            removing = runXrandr({"--delmonitor", kLeftMonitor});
            // Held here until Qt has seen the monitor go.
            removing = QTest::qWaitFor([] { return QGuiApplication::screens().size() == 1; }, 10000) && removing;
        }, Qt::SingleShotConnection);
        overlay->OnTimer();
        QTRY_VERIFY_WITH_TIMEOUT(removing, 10000);
        QCOMPARE(QGuiApplication::screens().size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(hidden.size(), 1, 5000);
        QCOMPARE(windowsUp.size(), 2);
        for (const QPointer<QWidget> &window : windowsUp)
            QVERIFY(window && !window->isVisible());

        // From the next tick on, only the screen there is; the left half of the desktop stays bare.
        QCOMPARE(QGuiApplication::primaryScreen()->name(), kRightMonitor);
        const Boxes remaining = boxesOn({kRightMonitor, kLeftMonitor});
        const Flash one = flashOnce(*overlay, remaining.logical, {0});
        QCOMPARE(one.windows, QList<QRect>{remaining.native[0]});
        QVERIFY(one.pixelsOnScreens[0] > 100);
        QCOMPARE(one.pixelsOnScreens[1], 0);
        QVERIFY(overlay->findChildren<QWidget *>(QStringLiteral("flashOverlayScreen")).isEmpty());

        // It comes back: the next tick flashes there again.
        QVERIFY(runXrandr({"--setmonitor", kLeftMonitor, monitorGeometry(m_left), "none"}));
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 2, 10000);
        const Boxes again = boxesOn({kRightMonitor, kLeftMonitor});
        const Flash two = flashOnce(*overlay, again.logical, {0, 1});
        QCOMPARE(two.windows, again.native);
        QVERIFY(two.pixelsOnScreens[0] > 100 && two.pixelsOnScreens[1] > 100);
    }
};

int main(int argc, char *argv[])
{
#ifdef RIGHT_MONITOR_SCALE
    // Before Qt reads it; it applies to the monitors as they come.
    qputenv("QT_SCREEN_SCALE_FACTORS", (kLeftMonitor + "=1;" + kRightMonitor + "=" + QString::number(RIGHT_MONITOR_SCALE)).toUtf8());
#endif
    QApplication app(argc, argv);
    FlashScreensTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_flashscreens.moc"
