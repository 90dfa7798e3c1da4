// Measures Glintmark as a whole program against its speed targets:
//   start-up with a full library (100 categories of 99 affirmations) until the window is on
//   screen, both as a new process and as the window alone;
//   Start with all 9,900 affirmations ticked until the overlay runs;
//   a new process started with --start until its first flash is mapped;
//   the import of plain-text lists of 10,000 and 100,000 lines;
//   the program's processor load while it flashes every 300 ms, without and with a compositor.
//
//   glintmark_bench [--seconds N]
//
// Needs an X display without a window manager (DISPLAY, platform xcb), such as a bare Xvfb; the
// process figures watch the server for the program's window.

#include "FlashDlg.h"
#include "FlashLibrary.h"
#include "MessageBox.h"
#include "PlainTextList.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <xcb/xcb.h>

namespace {

const char *const kPhrases[] = {
    "I am calm, focused and at ease with myself",
    "Every breath I take fills me with quiet confidence",
    "I deserve good health and I choose it every day",
    "My mind is clear and my work flows easily",
    "I sleep deeply and wake up refreshed",
    "I am grateful for the people who share my life",
    "Challenges are chances to grow stronger",
};

QByteArray le32(qint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A full library, everything ticked, Center, the given list choices.
bool writeFullLibrary(const QString &folder, int intervalIndex, int durationIndex)
{
    QByteArrayList lines;
    for (int c = 0; c < 100; ++c) {
        QByteArray line = "Category " + QByteArray::number(c + 1) + ';';
        for (int a = 0; a < 99; ++a)
            line += kPhrases[(c + a) % std::size(kPhrases)] + QByteArray(" (") + QByteArray::number(c * 99 + a) + ");";
        lines << line;
    }
    const QByteArray font = le32(24) + le32(0) + le32(0) + le32(0) + le32(700) + QByteArray("\0\0\0\0\0\0\0\x20", 8)
        + le32(0) + le32(1003) + le32(intervalIndex) + le32(durationIndex);
    const QDir dir(folder);
    return writeFile(dir.filePath("List.txt"), lines.join("\r\n"))
        && writeFile(dir.filePath("check.txt"), QByteArray(10000, '\x01')) && writeFile(dir.filePath("font.dat"), font);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double processSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Whether a viewable top-level window of the given name is on the server.
class WindowWatch
{
public:
    WindowWatch()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
    }
    ~WindowWatch() { xcb_disconnect(m_connection); }
    WindowWatch(const WindowWatch &) = delete;
    WindowWatch &operator=(const WindowWatch &) = delete;

    bool ok() const { return !xcb_connection_has_error(m_connection); }

    bool shown(const QByteArray &name) const
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, root), nullptr), &free);
        if (!tree)
            return false;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        std::vector<xcb_get_window_attributes_cookie_t> attributes;
        std::vector<xcb_get_property_cookie_t> names;
        for (int i = 0; i < count; ++i) {
            attributes.push_back(xcb_get_window_attributes(m_connection, children[i]));
            names.push_back(xcb_get_property(m_connection, 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256));
        }
        bool found = false;
        for (int i = 0; i < count; ++i) {
            std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> a(
                xcb_get_window_attributes_reply(m_connection, attributes[i], nullptr), &free);
            std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> n(
                xcb_get_property_reply(m_connection, names[i], nullptr), &free);
            if (a && n && a->map_state == XCB_MAP_STATE_VIEWABLE
                && QByteArray(static_cast<const char *>(xcb_get_property_value(n.get())),
                              xcb_get_property_value_length(n.get())) == name)
                found = true;
        }
        return found;
    }

private:
    xcb_connection_t *m_connection;
};

// From the start of a new process to its window on screen, on a portable copy with a full
// library beside it.
void measureProcessStartUp(const QString &folder)
{
    WindowWatch watch;
    if (!watch.ok()) {
        std::printf("process start-up: no X connection\n");
        return;
    }
    const QString exe = QDir(folder).filePath(QStringLiteral("glintmark"));
    QFile::remove(exe);
    if (!QFile::copy(QStringLiteral(GLINTMARK_EXECUTABLE), exe)) {
        std::printf("process start-up: cannot copy the program\n");
        return;
    }
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        if (!writeFullLibrary(folder, 3, 2))
            return;
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        program.start(exe, {});
        while (!watch.shown("Glintmark 2.1") && clock.elapsed() < 20000)
            QThread::usleep(500);
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        program.kill();
        program.waitForFinished();
    }
    std::printf("process start to main window viewable, full library: median %.0f ms (runs:", median(times));
    for (double t : times)
        std::printf(" %.0f", t);
    std::printf(")\n");
}

// From the start of a new process with --start, as the session starts it, to the first flash
// mapped on the server, on a portable copy with a full library that flashes for 50 ms.
void measureStartToFirstFlash(const QString &folder)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::printf("--start to first flash: no X connection\n");
        xcb_disconnect(connection);
        return;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_request_check(connection, xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &mask));
    const QString exe = QDir(folder).filePath(QStringLiteral("glintmark"));
    QTemporaryDir config;
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        if (!writeFullLibrary(folder, 0, 2))
            break;
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        program.setProcessEnvironment(environment);
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection))
            std::free(event);
        QElapsedTimer clock;
        clock.start();
        program.start(exe, {QStringLiteral("--start")});
        bool flashed = false;
        while (!flashed && clock.elapsed() < 20000) {
            xcb_generic_event_t *event = xcb_poll_for_event(connection);
            if (!event) {
                QThread::usleep(200);
                continue;
            }
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY)
                flashed = reinterpret_cast<xcb_map_notify_event_t *>(event)->override_redirect;
            std::free(event);
        }
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        program.kill();
        program.waitForFinished();
    }
    xcb_disconnect(connection);
    std::printf("process start with --start to the first flash mapped, full library: median %.0f ms (runs:",
                median(times));
    for (double t : times)
        std::printf(" %.0f", t);
    std::printf(")\n");
}

// An import of a plain-text list as a new category, into a full library but for one row.
void measureImport(int lines)
{
    QByteArray file;
    for (int i = 0; i < lines; ++i)
        file += QByteArray(kPhrases[i % std::size(kPhrases)]) + " (" + QByteArray::number(i) + ")\r\n";
    CFlashLibrary::LibraryTable full{};
    for (int c = 0; c < 99; ++c)
        for (int a = 0; a < 100; ++a)
            full[c][a] = "Category " + QByteArray::number(c) + " text " + QByteArray::number(a);
    std::vector<double> times;
    for (int run = 0; run < 7; ++run) {
        CFlashLibrary::LibraryTable table = full;
        QElapsedTimer clock;
        clock.start();
        const PlainTextList::ImportResult result = PlainTextList::importAsNewCategory(table, "Imported", file);
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (result.imported != 99)
            std::printf("import of %d lines took %d\n", lines, result.imported);
    }
    std::printf("import of a %d-line list (%.1f MB): median %.1f ms\n", lines, double(file.size()) / 1e6, median(times));
}

} // namespace

int main(int argc, char *argv[])
{
    int seconds = 20;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1, std::atoi(argv[i + 1]));
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glintmark"));
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "glintmark_bench needs an X display (platform xcb)\n");
        return 1;
    }
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    // The short-display notice is answered at once.
    MessageBox::setHandler([](const MessageBox::Request &) { return QMessageBox::Ok; });

    QTemporaryDir dir;
    const QStringList folders{dir.path(), dir.filePath("user"), dir.filePath("share")};

    measureProcessStartUp(dir.path());
    measureStartToFirstFlash(dir.path());
    measureImport(10000);
    measureImport(100000);

    std::vector<double> made, shown;
    for (int run = 0; run < 5; ++run) {
        if (!writeFullLibrary(dir.path(), 3, 2))
            return 1;
        QElapsedTimer clock;
        clock.start();
        auto window = std::make_unique<CFlashDlg>(folders);
        made.push_back(double(clock.nsecsElapsed()) / 1e6);
        window->show();
        while (!(window->windowHandle() && window->windowHandle()->isExposed()) && clock.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        shown.push_back(double(clock.nsecsElapsed()) / 1e6);
        runEventsFor(50);
    }
    std::printf("window with full library: made in median %.1f ms, exposed after median %.1f ms\n", median(made),
                median(shown));

    auto window = std::make_unique<CFlashDlg>(folders);
    window->show();
    runEventsFor(200);
    std::vector<double> starts;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer clock;
        clock.start();
        window->OnStart();
        starts.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!window->overlay() || window->overlay()->count() != 9900) {
            std::printf("Start did not flash 9,900 texts\n");
            return 1;
        }
        runEventsFor(50);
        window->OnStart();
    }
    std::printf("Start with 9,900 ticked until the overlay runs: median %.1f ms (min %.1f, max %.1f)\n",
                median(starts), *std::min_element(starts.begin(), starts.end()),
                *std::max_element(starts.begin(), starts.end()));

    // Flashing every 300 ms ("Minimum interval"), for each display time.
    auto *every = window->findChild<QComboBox *>(QStringLiteral("displayEvery"));
    auto *forList = window->findChild<QComboBox *>(QStringLiteral("displayFor"));
    every->setCurrentIndex(0);
    for (const bool compositor : {false, true}) {
        QProcess xcompmgr;
        if (compositor) {
            xcompmgr.start(QStringLiteral("xcompmgr"), {});
            if (!xcompmgr.waitForStarted()) {
                std::printf("xcompmgr did not start\n");
                break;
            }
            runEventsFor(1000);
        }
        for (const int duration : {0, 3}) {
            forList->setCurrentIndex(duration);
            window->OnStart();
            runEventsFor(1000);
            const double cpuBefore = processSeconds();
            QElapsedTimer wall;
            wall.start();
            runEventsFor(seconds * 1000);
            const double load = (processSeconds() - cpuBefore) / (double(wall.nsecsElapsed()) / 1e9);
            window->OnStart();
            std::printf("flashing every 300 ms for %d s, %s, %s: %.2f%% of one core\n", seconds,
                        qPrintable(forList->itemText(duration)), compositor ? "with xcompmgr" : "no compositor",
                        load * 100);
        }
        if (compositor) {
            xcompmgr.terminate();
            xcompmgr.waitForFinished();
        }
    }
    return 0;
}
