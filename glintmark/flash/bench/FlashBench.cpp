// Measures the overlay: how long making it takes for a full library of 9,900 texts, and, seen
// from the X server, how long each text stays mapped and how evenly the ticks come.
//
//   glintmark_flash_bench [--flashes N] [--compositor] [--screens primary|pointer|all]
//
// The second part needs an X display (DISPLAY, platform xcb); --compositor runs it under
// xcompmgr, and --screens flashes on the screens chosen as the main window's "Screen" list
// does (the primary one by default). An observer on a connection of its own records the
// server's MapNotify and UnmapNotify events of the overlay's windows, one per screen, so the
// figures include everything between the program and the screen but the server's own drawing;
// with several screens they come per screen, with how far apart the screens' windows of one
// tick were mapped.

#include "CDrawDlg.h"
#include "DesktopCompositor.h"
#include "FlashScreenSetting.h"
#include "MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QScreen>
#include <QWindow>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include <vector>

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;

const std::vector<QByteArray> kPhrases = {
    "I am calm, focused and at ease with myself",
    "Every breath I take fills me with quiet confidence",
    "I deserve good health and I choose it every day",
    "My mind is clear and my work flows easily",
    "I sleep deeply and wake up refreshed",
    "I am grateful for the people who share my life",
    "Abundance comes to me in expected and unexpected ways",
    "I give and receive love freely",
    "Caf\xc3\xa9 mornings remind me that small joys matter \xe2\x80\x93 always",
    "Challenges are chances to grow stronger",
};

// Chinese needs no shaping; Arabic does, so each of those texts is laid out whole.
const std::vector<QByteArray> kChinesePhrases = {
    "\xe6\x88\x91\xe5\xbe\x88\xe5\xb9\xb3\xe9\x9d\x99\xef\xbc\x8c\xe4\xb9\x9f\xe5\xbe\x88\xe4\xb8\x93\xe6\xb3\xa8",
    "\xe6\xaf\x8f\xe4\xb8\x80\xe5\xa4\xa9\xe9\x83\xbd\xe6\x9b\xb4\xe5\xa5\xbd",
};
const std::vector<QByteArray> kArabicPhrases = {
    "\xd8\xa3\xd9\x86\xd8\xa7 \xd9\x87\xd8\xa7\xd8\xaf\xd8\xa6 \xd9\x88\xd9\x88\xd8\xa7\xd8\xab\xd9\x82 \xd9\x85\xd9\x86 \xd9\x86\xd9\x81\xd8\xb3\xd9\x8a",
};

std::unique_ptr<FlashTexts> libraryTexts(int count, const std::vector<QByteArray> &phrases = kPhrases)
{
    auto texts = std::make_unique<FlashTexts>();
    for (int i = 0; i < count; ++i)
        (*texts)[i] = phrases[i % phrases.size()] + " (" + QByteArray::number(i) + ")";
    return texts;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
    return values[rank];
}

void measureInitialisation(const char *library, const std::vector<QByteArray> &phrases)
{
    const auto texts = libraryTexts(9900, phrases);
    QFont font(QStringLiteral("Arial"), 20);
    font.setBold(true);
    std::vector<double> ms;
    for (int run = 0; run < 15; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto overlay = std::make_unique<CDrawDlg>(*texts, FlashLocation::Center, 1000, 50, font, Qt::black);
        const bool created = overlay->Create();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (!created)
            std::printf("Create failed\n");
    }
    std::printf("initialisation, 9900 %s texts (construct + Create), 15 runs: median %.1f ms, min %.1f, max %.1f\n",
                library, percentile(ms, 0.5), *std::min_element(ms.begin(), ms.end()),
                *std::max_element(ms.begin(), ms.end()));
}

// Map and unmap events of every top-level window, as the server reports them.
class MapObserver
{
public:
    struct Event
    {
        Clock::time_point time;
        xcb_window_t window;
        bool mapped;
    };

    MapObserver()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_request_check(m_connection,
                          xcb_change_window_attributes_checked(m_connection, screen->root, XCB_CW_EVENT_MASK, &mask));
        m_thread = std::thread([this] { run(); });
        m_started.wait(false);
    }

    bool realTime() const { return m_realTime; }

    ~MapObserver()
    {
        m_stop = true;
        m_thread.join();
        xcb_disconnect(m_connection);
    }

    std::vector<Event> events(xcb_window_t window)
    {
        const std::lock_guard lock(m_mutex);
        std::vector<Event> result;
        std::copy_if(m_events.begin(), m_events.end(), std::back_inserter(result),
                     [window](const Event &e) { return e.window == window; });
        return result;
    }

    void clear()
    {
        const std::lock_guard lock(m_mutex);
        m_events.clear();
    }

private:
    void run()
    {
        // A busy machine would otherwise wake the observer late for some events and make
        // flashes look shorter than they were. Real-time scheduling needs root or
        // CAP_SYS_NICE; without it the figures carry the scheduler's delays.
        const sched_param realTime{.sched_priority = sched_get_priority_min(SCHED_FIFO)};
        m_realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &realTime) == 0;
        m_started = true;
        m_started.notify_all();
        pollfd fd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        while (!m_stop) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                const auto now = Clock::now();
                const uint8_t type = event->response_type & 0x7f;
                if (type == XCB_MAP_NOTIFY) {
                    const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                    record({now, map->window, true});
                } else if (type == XCB_UNMAP_NOTIFY) {
                    const auto *unmap = reinterpret_cast<xcb_unmap_notify_event_t *>(event);
                    record({now, unmap->window, false});
                }
                std::free(event);
            }
            poll(&fd, 1, 20);
        }
    }

    void record(const Event &event)
    {
        const std::lock_guard lock(m_mutex);
        m_events.push_back(event);
    }

    xcb_connection_t *m_connection;
    std::thread m_thread;
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_started = false;
    bool m_realTime = false;
    std::mutex m_mutex;
    std::vector<Event> m_events;
};

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// The process's CPU time, user and system.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The map times of a window's flashes, and how long each stayed mapped.
struct Flashes
{
    std::vector<Clock::time_point> maps;
    std::vector<double> visible;
};

Flashes flashesOf(const std::vector<MapObserver::Event> &events)
{
    Flashes flashes;
    for (size_t i = 0; i < events.size(); ++i) {
        if (!events[i].mapped)
            continue;
        flashes.maps.push_back(events[i].time);
        if (i + 1 < events.size() && !events[i + 1].mapped)
            flashes.visible.push_back(ms(events[i + 1].time - events[i].time));
    }
    return flashes;
}

void printFlashes(const char *label, const QString &where, int interval, int display, const FlashTimes &times,
                  const Flashes &flashes, double cpuShare)
{
    const std::vector<double> &visible = flashes.visible;
    std::vector<double> periods;
    for (size_t i = 1; i < flashes.maps.size(); ++i)
        periods.push_back(ms(flashes.maps[i] - flashes.maps[i - 1]));
    std::vector<double> visibleError;
    for (double v : visible)
        visibleError.push_back(std::abs(v - times.holdMs));
    std::vector<double> periodError;
    for (double p : periods)
        periodError.push_back(std::abs(p - times.tickPeriodMs));
    const auto shorter = std::count_if(visible.begin(), visible.end(), [&](double v) { return v < times.holdMs; });
    std::printf("%s%sinterval %4d display %2d (tick %4d, hold %2d): %zu flashes; visible median %.2f ms "
                "(min %.2f, p5 %.2f, p95 %.2f), shorter than the hold %td, |visible - hold| median %.2f; "
                "tick period median %.2f ms, |period - nominal| p95 %.2f, max %.2f; CPU %.2f %% of a core\n",
                label, qPrintable(where), interval, display, times.tickPeriodMs, times.holdMs, visible.size(),
                percentile(visible, 0.5), visible.empty() ? NAN : *std::min_element(visible.begin(), visible.end()),
                percentile(visible, 0.05), percentile(visible, 0.95), shorter, percentile(visibleError, 0.5),
                percentile(periods, 0.5), percentile(periodError, 0.95),
                periodError.empty() ? NAN : *std::max_element(periodError.begin(), periodError.end()), cpuShare);
}

void measureFlashes(MapObserver &observer, int interval, int display, int flashes, FlashScreen screens,
                    const FlashTexts *given = nullptr, const char *label = "")
{
    const auto library = libraryTexts(50);
    const FlashTexts &texts = given ? *given : *library;
    QFont font(QStringLiteral("Arial"), 20);
    CDrawDlg overlay(texts, FlashLocation::Center, interval, display, font, Qt::darkBlue);
    overlay.setScreenChoice(screens);
    if (!overlay.Create()) {
        std::printf("Create failed\n");
        return;
    }
    observer.clear();
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    QEventLoop loop;
    int hidden = 0;
    QObject::connect(&overlay, &CDrawDlg::flashHidden, &loop, [&] {
        if (++hidden == flashes)
            loop.quit();
    });
    loop.exec();
    const double cpuShare = 100.0 * (cpuSeconds() - cpuBefore) / (wall.elapsed() / 1000.0);
    // The last unmap may still be on its way to the observer.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 100)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    const FlashTimes &times = overlay.timing();
    const std::vector<QWidget *> windows = overlay.flashWindows();
    if (windows.size() <= 1) {
        printFlashes(label, QString(), interval, display, times,
                     flashesOf(observer.events(static_cast<xcb_window_t>(overlay.winId()))), cpuShare);
        return;
    }
    std::vector<Flashes> perScreen;
    for (QWidget *window : windows) {
        perScreen.push_back(flashesOf(observer.events(static_cast<xcb_window_t>(window->winId()))));
        const QScreen *screen = window->windowHandle() ? window->windowHandle()->screen() : nullptr;
        const QString where = QStringLiteral("screen %1: ").arg(screen ? screen->name() : QStringLiteral("?"));
        printFlashes(label, where, interval, display, times, perScreen.back(), cpuShare);
    }
    // One tick maps every screen's window: how far after the first screen's the others came.
    std::vector<double> skew;
    for (size_t s = 1; s < perScreen.size(); ++s) {
        for (const Clock::time_point &first : perScreen[0].maps) {
            double nearest = INFINITY;
            for (const Clock::time_point &other : perScreen[s].maps)
                nearest = std::min(nearest, std::abs(ms(other - first)));
            if (nearest < times.tickPeriodMs / 2.0)
                skew.push_back(nearest);
        }
    }
    std::printf("%s  %zu screens, maps of one tick apart: median %.2f ms, max %.2f (%zu ticks compared)\n", label,
                windows.size(), percentile(skew, 0.5), skew.empty() ? NAN : *std::max_element(skew.begin(), skew.end()),
                skew.size());
}

bool waitForCompositor(bool running)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        if (desktopComposites() == running)
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    // The short-display notice is answered at once.
    MessageBox::setHandler([](const MessageBox::Request &) { return QMessageBox::Ok; });

    int flashes = 40;
    bool compositor = false;
    FlashScreen screens = FlashScreen::Primary;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--flashes") && i + 1 < args.size())
            flashes = args[++i].toInt();
        else if (args[i] == QLatin1String("--compositor"))
            compositor = true;
        else if (args[i] == QLatin1String("--screens") && i + 1 < args.size())
            screens = flashScreenFromStored(args[++i]);
    }

    measureInitialisation("English", kPhrases);
    measureInitialisation("Chinese", kChinesePhrases);
    measureInitialisation("Arabic", kArabicPhrases);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::printf("not on X11 (platform %s): no map/unmap figures\n", qPrintable(QGuiApplication::platformName()));
        return 0;
    }

    QProcess compositorProcess;
    if (compositor) {
        compositorProcess.start(QStringLiteral("xcompmgr"), {});
        if (!compositorProcess.waitForStarted() || !waitForCompositor(true)) {
            std::printf("xcompmgr did not start\n");
            return 1;
        }
    } else if (desktopComposites()) {
        std::printf("note: a compositor is running\n");
    }
    MapObserver observer;
    std::printf("X server, %s compositor, %lld screen(s), flashing on %s; observer %s:\n",
                desktopComposites() ? "with" : "without", static_cast<long long>(QGuiApplication::screens().size()),
                qPrintable(flashScreenToStored(screens)),
                observer.realTime() ? "on real-time scheduling" : "on normal scheduling (its delays count)");
    for (int display : {10, 30, 50, 80})
        measureFlashes(observer, 500, display, flashes, screens);
    measureFlashes(observer, 1000, 50, std::max(5, flashes / 4), screens);

    // A library holding one text of a million characters among short ones: the huge one is to
    // flash at the pace and hold of the others, at about their cost.
    auto withHuge = libraryTexts(50);
    (*withHuge)[1] = QByteArray(1 << 20, 'W');
    measureFlashes(observer, 500, 10, flashes, screens, withHuge.get(), "with a 1 MB text: ");

    if (compositor) {
        compositorProcess.terminate();
        compositorProcess.waitForFinished();
    }
    return 0;
}
