// Measures what Tonewell's users feel: how long one buffer fill takes, how much of a core the
// program uses while it plays, and how soon sound starts after Play and ends after Stop at the
// sound server (PULSE_SERVER, or the desktop's own).
//
//   tonewell_bench [seconds of playback for the CPU figure, default 20]

#include "BeatDlg.h"
#include "BeatTone.h"
#include "PulseWaveOut.h"
#include "SoundServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <pulse/simple.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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

// Records the sink's monitor in small fragments and notes when sound was last and first seen.
class MonitorRecorder
{
public:
    bool start()
    {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = kChunkFrames * 4;
        int error = 0;
        m_simple = pa_simple_new(nullptr, "tonewell-bench", PA_STREAM_RECORD, "@DEFAULT_MONITOR@", "monitor", &spec,
                                 nullptr, &attr, &error);
        if (!m_simple)
            return false;
        m_thread = std::thread([this] { run(); });
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

private:
    static constexpr int kChunkFrames = 220; // 5 ms
    struct Chunk
    {
        Clock::time_point arrived;
        int firstSound;
        int lastSound;
    };
    static Clock::duration frames(int n)
    {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(n / 44100.0));
    }
    void run()
    {
        std::int16_t data[kChunkFrames * 2];
        while (!m_quit) {
            int error = 0;
            if (pa_simple_read(m_simple, data, sizeof data, &error) < 0)
                return;
            Chunk chunk{Clock::now(), -1, -1};
            for (int i = 0; i < kChunkFrames; ++i) {
                if (data[2 * i] || data[2 * i + 1]) {
                    if (chunk.firstSound < 0)
                        chunk.firstSound = i;
                    chunk.lastSound = i;
                }
            }
            std::lock_guard lock(m_mutex);
            m_chunks.push_back(chunk);
        }
    }

    pa_simple *m_simple = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_quit{false};
    std::mutex m_mutex;
    std::vector<Chunk> m_chunks;
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

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int playSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    // After the GUI libraries have run, as in the program.
    benchFill();


    QTemporaryDir dir;
    QFile catalogue(dir.filePath("data.dat"));
    if (!catalogue.open(QIODevice::WriteOnly))
        return 1;
    catalogue.write("Alpha 10 Hz;Benchmark.;200;10;\n");
    catalogue.close();
    CBeatDlg dialog(QStringList{dir.path()}, std::make_unique<PulseWaveOut>("Tonewell"));
    auto *play = dialog.findChild<QPushButton *>("play");

    // CPU first, without the recorder in the process.
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    play->click();
    if (play->text() != "Stop") {
        std::fprintf(stderr, "cannot play: no sound server?\n");
        return 1;
    }
    waitMs(playSeconds * 1000);
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
    recorder.stop();
    std::printf("Play to first sound at the server: median %.1f ms, max %.1f ms (10 rounds)\n",
                percentile(startMs, 0.5), *std::max_element(startMs.begin(), startMs.end()));
    std::printf("Stop to last sound at the server: median %.1f ms, max %.1f ms (10 rounds)\n",
                percentile(stopMs, 0.5), *std::max_element(stopMs.begin(), stopMs.end()));
    return 0;
}
