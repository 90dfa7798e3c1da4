// Measures what Tonewell's users feel, against the sound server that PULSE_SERVER names (or the
// desktop's own) unless a mode starts one of its own:
//
//   tonewell_bench [basic [seconds]]  one buffer fill; the buffer the server granted and its
//                                     latency; the process's CPU load while playing (20 s);
//                                     Play to first sound and Stop to last sound at the server
//   tonewell_bench load [seconds]     with both cores kept busy (two `yes` processes), plays for
//                                     300 s and reports the server's underruns and how much of
//                                     what reached the server was the generator's bit for bit
//   tonewell_bench frozen             the window's longest pause while a private sound server
//                                     is frozen (SIGSTOP) during Play, during Stop, and how long
//                                     Exit takes while connecting
//   tonewell_bench startup [MB]       start-up time (to the window shown) and peak memory of a
//                                     fresh process with a catalogue of that size (100 MB), and
//                                     the longest change of program

#include "BeatDlg.h"
#include "MessageBox.h"
#include "PrivateSoundServer.h"
#include "BeatTone.h"
#include "PulseWaveOut.h"
#include "SoundServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QDateTime>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QTest>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <pulse/simple.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * (values.size() - 1) + 0.5))];
}

void benchFill()
{
    const std::uint32_t bytes = static_cast<std::uint32_t>(CSoundServer::BufferBytesFor(CBeatDlg::kBufferingMs));
    std::vector<std::int16_t> buffer(bytes / 2);
    BeatToneState state;
    SetBeatFrequencies(state, 200, 10);
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        const auto start = Clock::now();
        FillBeatBuffer(state, buffer.data(), bytes);
        ms.push_back(msBetween(start, Clock::now()));
    }
    std::printf("fill of %u bytes: median %.2f ms, p95 %.2f ms, max %.2f ms (200 fills)\n", bytes,
                percentile(ms, 0.5), percentile(ms, 0.95), *std::max_element(ms.begin(), ms.end()));
}

// The sink's monitor, read on a thread of its own in fragments of `fragmentBytes`, each handed
// to `take` as it arrives.
class MonitorReader
{
public:
    ~MonitorReader() { stop(); }
    bool start(std::size_t fragmentBytes, std::function<void(const std::int16_t *, std::size_t)> take)
    {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(fragmentBytes);
        int error = 0;
        m_simple = pa_simple_new(nullptr, "tonewell-bench", PA_STREAM_RECORD, "@DEFAULT_MONITOR@", "monitor", &spec,
                                 nullptr, &attr, &error);
        if (!m_simple)
            return false;
        m_thread = std::thread([this, fragmentBytes, take = std::move(take)] {
            std::vector<std::int16_t> fragment(fragmentBytes / 2);
            while (!m_quit) {
                int error = 0;
                if (pa_simple_read(m_simple, fragment.data(), fragmentBytes, &error) < 0)
                    return;
                take(fragment.data(), fragmentBytes);
            }
        });
        return true;
    }
    void stop()
    {
        m_quit = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_simple)
            pa_simple_free(m_simple);
        m_simple = nullptr;
    }

private:
    pa_simple *m_simple = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_quit{false};
};

// Records the sink's monitor in small fragments and notes when sound was last and first seen.
class MonitorRecorder
{
public:
    bool start()
    {
        return m_reader.start(kChunkFrames * 4, [this](const std::int16_t *data, std::size_t) { take(data); });
    }
    void stop() { m_reader.stop(); }
    // The time the first sound frame at or after `after` reached the recorder, less the frames
    // that followed it in its fragment.
    Clock::time_point firstSoundAfter(Clock::time_point after)
    {
        std::lock_guard lock(m_mutex);
        for (const Chunk &c : m_chunks) {
            if (c.arrived > after && c.firstSound >= 0)
                return c.arrived - frames(kChunkFrames - c.firstSound);
        }
        return {};
    }
    Clock::time_point lastSound()
    {
        std::lock_guard lock(m_mutex);
        for (auto c = m_chunks.rbegin(); c != m_chunks.rend(); ++c) {
            if (c->lastSound >= 0)
                return c->arrived - frames(kChunkFrames - 1 - c->lastSound);
        }
        return {};
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_chunks.clear();
    }
    // When the sound first came out at most a quarter as loud as the loudest before `after`.
    Clock::time_point quieterAfter(Clock::time_point after)
    {
        std::lock_guard lock(m_mutex);
        int loudest = 0;
        for (const Chunk &c : m_chunks) {
            if (c.arrived <= after)
                loudest = std::max(loudest, c.peak);
            else if (loudest > 0 && c.peak <= loudest / 4)
                return c.arrived - frames(kChunkFrames);
        }
        return {};
    }

private:
    static constexpr int kChunkFrames = 220; // 5 ms
    struct Chunk
    {
        Clock::time_point arrived;
        int firstSound;
        int lastSound;
        int peak; // the largest magnitude of a sample
    };
    static Clock::duration frames(int n)
    {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(n / 44100.0));
    }
    void take(const std::int16_t *data)
    {
        Chunk chunk{Clock::now(), -1, -1, 0};
        for (int i = 0; i < kChunkFrames; ++i) {
            chunk.peak = std::max({chunk.peak, std::abs(int(data[2 * i])), std::abs(int(data[2 * i + 1]))});
            if (data[2 * i] || data[2 * i + 1]) {
                if (chunk.firstSound < 0)
                    chunk.firstSound = i;
                chunk.lastSound = i;
            }
        }
        std::lock_guard lock(m_mutex);
        m_chunks.push_back(chunk);
    }

    std::mutex m_mutex;
    std::vector<Chunk> m_chunks;
    MonitorReader m_reader;
};

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Waits, handling events, until `done` holds or `ms` have passed.
bool waitFor(const std::function<bool()> &done, int ms)
{
    return QTest::qWaitFor(done, ms);
}

QString writeCatalogue(QTemporaryDir &dir, const QByteArray &contents)
{
    QFile catalogue(dir.filePath("data.dat"));
    if (!catalogue.open(QIODevice::WriteOnly) || catalogue.write(contents) != contents.size())
        return {};
    return dir.path();
}

// What `pactl list sink-inputs` says of the one stream's latencies, e.g. "Buffer Latency: 3998 ms".
QString streamLatencies()
{
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"});
    pactl.waitForFinished(5000);
    QStringList found;
    for (const QByteArray &line : pactl.readAllStandardOutput().split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("Buffer Latency:") || trimmed.startsWith("Sink Latency:")) {
            const double us = trimmed.mid(trimmed.indexOf(':') + 1).trimmed().split(' ').value(0).toDouble();
            found << QString("%1 %2 ms").arg(QString::fromLatin1(trimmed.left(trimmed.indexOf(':') + 1))).arg(us / 1000, 0, 'f', 1);
        }
    }
    return found.join(", ");
}

void printServerBuffer(const PulseWaveOut &device)
{
    const PulseWaveOut::ServerBuffer granted = device.serverBuffer();
    std::printf("server buffer granted: target %.0f ms, start after %.0f ms, requests of %.0f ms, at most %.0f ms\n",
                granted.tlength / 176.4, granted.prebuf / 176.4, granted.minreq / 176.4, granted.maxlength / 176.4);
}

int basic(int playSeconds)
{
    // After the GUI libraries have run, as in the program.
    benchFill();

    QTemporaryDir dir;
    auto device = std::make_unique<PulseWaveOut>("Tonewell");
    const PulseWaveOut *pulse = device.get();
    CBeatDlg dialog(QStringList{writeCatalogue(dir, "Alpha 10 Hz;Benchmark.;200;10;\n")}, std::move(device));
    auto *play = dialog.findChild<QPushButton *>("play");
    const auto playing = [play] { return play->text() == "Stop"; };

    // CPU first, without the recorder in the process.
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    play->click();
    if (!waitFor(playing, 10000)) {
        std::fprintf(stderr, "cannot play: no sound server?\n");
        return 1;
    }
    printServerBuffer(*pulse);
    waitMs(1000);
    std::printf("the stream at the server: %s\n", qPrintable(streamLatencies()));
    waitMs(std::max(0, playSeconds * 1000 - 1000));
    const double cpu = cpuSeconds() - cpuBefore;
    const double seconds = wall.elapsed() / 1000.0;
    play->click();
    std::printf("process CPU while playing: %.3f%% of one core (%.3f s CPU in %.1f s)\n",
                100.0 * cpu / seconds, cpu, seconds);

    MonitorRecorder recorder;
    if (!recorder.start()) {
        std::fprintf(stderr, "cannot record the sink's monitor\n");
        return 1;
    }
    std::vector<double> startMs, stopMs;
    for (int round = 0; round < 10; ++round) {
        waitMs(300);
        recorder.clear();
        const auto pressed = Clock::now();
        play->click();
        if (!waitFor(playing, 10000))
            return 1;
        waitMs(700);
        const auto stopped = Clock::now();
        play->click();
        waitMs(400);
        const auto first = recorder.firstSoundAfter(pressed);
        const auto last = recorder.lastSound();
        if (first == Clock::time_point{} || last == Clock::time_point{}) {
            std::fprintf(stderr, "no sound recorded in round %d\n", round);
            return 1;
        }
        startMs.push_back(msBetween(pressed, first));
        stopMs.push_back(msBetween(stopped, last));
    }
    // A volume change from the mixer, while the server holds seconds of sound: heard when?
    std::vector<double> volumeMs;
    for (int round = 0; round < 5; ++round) {
        recorder.clear();
        play->click();
        if (!waitFor(playing, 10000))
            return 1;
        waitMs(700);
        QProcess list;
        list.start("pactl", {"list", "short", "sink-inputs"});
        list.waitForFinished(5000);
        const QByteArray input = list.readAllStandardOutput().split('\t').value(0).trimmed();
        const auto changed = Clock::now();
        QProcess::execute("pactl", {"set-sink-input-volume", QString::fromLatin1(input), "25%"});
        waitMs(500);
        const auto quieter = recorder.quieterAfter(changed);
        // Back to full volume, so that a server that restores volumes keeps none of this.
        QProcess::execute("pactl", {"set-sink-input-volume", QString::fromLatin1(input), "100%"});
        play->click();
        waitMs(300);
        if (quieter == Clock::time_point{}) {
            std::fprintf(stderr, "the volume change was not heard in round %d\n", round);
            return 1;
        }
        volumeMs.push_back(msBetween(changed, quieter));
        recorder.clear();
    }
    recorder.stop();
    std::printf("mixer volume change to quieter sound at the server (pactl's own start included): "
                "median %.1f ms, max %.1f ms (5 rounds)\n",
                percentile(volumeMs, 0.5), *std::max_element(volumeMs.begin(), volumeMs.end()));
    std::printf("Play to first sound at the server: median %.1f ms, max %.1f ms (10 rounds)\n",
                percentile(startMs, 0.5), *std::max_element(startMs.begin(), startMs.end()));
    std::printf("Stop to last sound at the server: median %.1f ms, max %.1f ms (10 rounds)\n",
                percentile(stopMs, 0.5), *std::max_element(stopMs.begin(), stopMs.end()));
    std::printf("underruns at the server: %d\n", pulse->underruns());
    return 0;
}

// The sink's monitor, kept whole, in fragments of 100 ms so that recording adds little load.
class RawRecorder
{
public:
    bool start()
    {
        return m_reader.start(kChunkBytes, [this](const std::int16_t *data, std::size_t bytes) {
            const auto *first = reinterpret_cast<const char *>(data);
            std::lock_guard lock(m_mutex);
            m_bytes.insert(m_bytes.end(), first, first + bytes);
        });
    }
    void stop() { m_reader.stop(); }
    std::vector<char> bytes()
    {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }

private:
    static constexpr std::size_t kChunkBytes = 4410 * 4;
    std::mutex m_mutex;
    std::vector<char> m_bytes;
    MonitorReader m_reader;
};

int load(int seconds)
{
    // Two processes that keep a core each busy, for as long as the playback runs.
    std::vector<std::unique_ptr<QProcess>> busy;
    for (int i = 0; i < 2; ++i) {
        auto process = std::make_unique<QProcess>();
        process->setStandardOutputFile(QProcess::nullDevice());
        process->start("yes", QStringList{});
        if (!process->waitForStarted(5000)) {
            std::fprintf(stderr, "cannot start yes\n");
            return 1;
        }
        busy.push_back(std::move(process));
    }

    QTemporaryDir dir;
    auto device = std::make_unique<PulseWaveOut>("Tonewell");
    const PulseWaveOut *pulse = device.get();
    CBeatDlg dialog(QStringList{writeCatalogue(dir, "Alpha 10 Hz;Benchmark.;200;10;\n")}, std::move(device));
    auto *play = dialog.findChild<QPushButton *>("play");

    RawRecorder recorder;
    if (!recorder.start()) {
        std::fprintf(stderr, "cannot record the sink's monitor\n");
        return 1;
    }
    waitMs(500);
    BeatToneState expectedState = beatToneState();
    SetBeatFrequencies(expectedState, 200, 10);
    play->click();
    if (!waitFor([play] { return play->text() == "Stop"; }, 10000)) {
        std::fprintf(stderr, "cannot play: no sound server?\n");
        return 1;
    }
    printServerBuffer(*pulse);
    waitMs(1000);
    std::printf("the stream at the server: %s\n", qPrintable(streamLatencies()));
    std::printf("playing %d s with both cores busy...\n", seconds);
    waitMs(seconds * 1000 - 1000);
    const int underruns = pulse->underruns();
    play->click();
    waitMs(500);
    recorder.stop();
    for (auto &process : busy) {
        process->kill();
        process->waitForFinished(5000);
    }

    // What the generator made, buffer by buffer, against what the monitor heard.
    const std::vector<char> heard = recorder.bytes();
    const std::size_t frames = heard.size() / 4;
    const auto frameAt = [&](std::size_t i) { std::uint32_t f; std::memcpy(&f, heard.data() + 4 * i, 4); return f; };
    std::size_t start = 0;
    while (start < frames && frameAt(start) == 0)
        ++start;
    const std::size_t wanted = std::size_t(seconds) * 44100;
    const std::size_t bufferFrames = 88200;
    std::vector<std::int16_t> expected(((wanted + 4 * bufferFrames) / bufferFrames + 1) * bufferFrames * 2);
    for (std::size_t b = 0; b * bufferFrames * 2 < expected.size(); ++b)
        FillBeatBuffer(expectedState, expected.data() + b * bufferFrames * 2, bufferFrames * 4);
    // The first frame heard is the first one that is not silence; the generator's first may be.
    std::size_t offset = 0;
    while (offset < 4 && std::memcmp(&expected[2 * offset], heard.data() + 4 * start, 4) != 0)
        ++offset;
    std::size_t exact = 0;
    while (start + exact < frames && offset + exact < expected.size() / 2
           && std::memcmp(&expected[2 * (offset + exact)], heard.data() + 4 * (start + exact), 4) == 0)
        ++exact;
    std::printf("underruns at the server in %d s: %d\n", seconds, underruns);
    std::size_t end = frames;
    while (end > start && frameAt(end - 1) == 0)
        --end;
    std::printf("bit for bit at the server: the first %.2f s of the %.2f s played (%zu of %zu frames)\n",
                exact / 44100.0, (end - start) / 44100.0, exact, end - start);
    return 0;
}

// Records the longest gap between the ticks of a 5 ms timer on the window's thread.
class PauseMeter
{
public:
    PauseMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            m_longest = std::max(m_longest, msBetween(m_last, now));
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_last = Clock::now();
        m_timer.start(5);
    }
    double stop()
    {
        m_timer.stop();
        return std::max(m_longest, msBetween(m_last, Clock::now()));
    }

private:
    QTimer m_timer;
    Clock::time_point m_last;
    double m_longest = 0;
};

int frozen()
{
    PrivateSoundServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot start a sound server of the bench's own (pulseaudio)\n");
        return 1;
    }
    const SoundServerAddress address(server.address());
    QStringList messages;
    MessageBox::setHandler([&](const MessageBox::Request &request) {
        messages << request.text;
        return QMessageBox::Ok;
    });
    QTemporaryDir dir;
    CBeatDlg dialog(QStringList{writeCatalogue(dir, "Alpha 10 Hz;Benchmark.;200;10;\n")},
                    std::make_unique<PulseWaveOut>("Tonewell"));
    dialog.show();
    auto *play = dialog.findChild<QPushButton *>("play");
    PauseMeter meter;
    const auto playing = [play] { return play->text() == "Stop" && play->isEnabled(); };

    // Play with the server frozen, until the connect gives up.
    server.freeze();
    meter.start();
    play->click();
    waitFor([&] { return !messages.isEmpty(); }, 8000);
    waitMs(200);
    std::printf("longest pause, Play with the server frozen: %.1f ms (outcome: %s)\n", meter.stop(),
                messages.isEmpty() ? "none" : qPrintable(messages.first()));
    server.thaw();
    waitMs(300);

    // Stop with the server frozen, until the halt gives up.
    play->click();
    if (!waitFor(playing, 10000)) {
        std::fprintf(stderr, "cannot play after the server thawed\n");
        return 1;
    }
    waitMs(500);
    server.freeze();
    meter.start();
    play->click();
    waitMs(3000);
    std::printf("longest pause, Stop with the server frozen: %.1f ms\n", meter.stop());
    server.thaw();
    waitMs(500);

    // Exit while connecting to a frozen server.
    server.freeze();
    play->click();
    waitMs(500);
    meter.start();
    QElapsedTimer exitClock;
    exitClock.start();
    dialog.OnExit();
    const qint64 exitMs = exitClock.elapsed();
    std::printf("Exit while connecting to the frozen server: %lld ms\n", static_cast<long long>(exitMs));
    server.thaw();
    MessageBox::setHandler({});
    return 0;
}

// A catalogue of about `megabytes` MB: a short program, a 10 MB name, a description of words
// holding most of the rest, and a 10 MB word as a description.
QByteArray hugeCatalogue(int megabytes)
{
    const qsizetype mb = 1 << 20;
    const qsizetype rest = std::max<qsizetype>(mb, qsizetype(megabytes) * mb - 21 * mb);
    QByteArray text = "Alpha 10 Hz;For a calm, alert state.;200;10;\n";
    text += QByteArray(10 * mb, 'N') + ";A program with a long name.;150;6;\n";
    QByteArray words;
    words.reserve(rest);
    while (words.size() < rest)
        words += "lorem ipsum dolor sit amet ";
    text += "Long description;" + words + ";220;18;\n";
    text += "Long word;" + QByteArray(10 * mb, 'W') + ";300;4;\n";
    return text;
}

// In a fresh process: the window over the catalogue in `folder`, shown; then every program
// chosen in turn.
int startupChild(const QString &folder, qint64 spawnedAtMs)
{
    CBeatDlg dialog(QStringList{folder}, std::make_unique<PulseWaveOut>("Tonewell"));
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog, 60000))
        return 1;
    QCoreApplication::processEvents();
    const qint64 shownMs = QDateTime::currentMSecsSinceEpoch() - spawnedAtMs;
    auto *programs = dialog.findChild<QListWidget *>("programs");
    double longestChange = 0;
    for (int round = 0; round < 2; ++round) {
        for (int row = 0; row < programs->count(); ++row) {
            const auto start = Clock::now();
            programs->setCurrentRow(row);
            dialog.repaint();
            longestChange = std::max(longestChange, msBetween(start, Clock::now()));
        }
    }
    // The peak resident size of this program alone: ru_maxrss would also count the parent's
    // memory at the fork.
    long peakKb = 0;
    QFile status("/proc/self/status");
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                peakKb = line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    std::printf("%lld %ld %.1f %d\n", static_cast<long long>(shownMs), peakKb, longestChange, programs->count());
    dialog.OnExit();
    return 0;
}

int startup(int megabytes)
{
    struct Run
    {
        qint64 shownMs = -1;
        long peakKb = 0;
        double changeMs = 0;
        int programs = 0;
    };
    const auto run = [](const QString &folder) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {"startup-child", folder, QString::number(QDateTime::currentMSecsSinceEpoch())});
        child.waitForFinished(300000);
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
        Run r;
        if (fields.size() == 4)
            r = {fields[0].toLongLong(), fields[1].toLong(), fields[2].toDouble(), fields[3].toInt()};
        return r;
    };
    QTemporaryDir small, large;
    writeCatalogue(small, "Alpha 10 Hz;For a calm, alert state.;200;10;\n");
    qsizetype fileBytes = 0;
    {
        const QByteArray text = hugeCatalogue(megabytes);
        fileBytes = text.size();
        if (writeCatalogue(large, text).isEmpty()) {
            std::fprintf(stderr, "cannot write the catalogue\n");
            return 1;
        }
    }
    const Run base = run(small.path());
    const Run huge = run(large.path());
    std::printf("start-up to the window shown: %lld ms with a one-line catalogue, %lld ms with %.1f MB (%d programs)\n",
                static_cast<long long>(base.shownMs), static_cast<long long>(huge.shownMs), fileBytes / 1048576.0,
                huge.programs);
    std::printf("peak memory: %.1f MB with a one-line catalogue, %.1f MB with %.1f MB (%.2f times the file beyond the first)\n",
                base.peakKb / 1024.0, huge.peakKb / 1024.0, fileBytes / 1048576.0,
                (huge.peakKb - base.peakKb) * 1024.0 / fileBytes);
    std::printf("longest change of program, repainted: %.1f ms\n", huge.changeMs);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("basic");
    const auto number = [&](int fallback) { return argc > 2 ? std::max(1, std::atoi(argv[2])) : fallback; };
    if (mode == "basic")
        return basic(number(20));
    if (mode == "load")
        return load(number(300));
    if (mode == "frozen")
        return frozen();
    if (mode == "startup")
        return startup(number(100));
    if (mode == "startup-child" && argc > 3)
        return startupChild(QString::fromLocal8Bit(argv[2]), std::atoll(argv[3]));
    // A number alone is the playing time of the basic figures, as before.
    if (std::atoi(argv[1]) > 0)
        return basic(std::atoi(argv[1]));
    std::fprintf(stderr, "usage: tonewell_bench [basic [seconds] | load [seconds] | frozen | startup [MB]]\n");
    return 2;
}
