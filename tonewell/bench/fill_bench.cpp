// Measures exact synthesis: the fast fill against the scalar one it must equal, and a program
// whose beat moves under a pink noise against the plain fast fill, side by side in one run, as
// processor time of this thread (less disturbed by a busy machine than wall time); then the
// export of an hour of sound to a WAV file in FOLDER (default: the temporary folder), plain and
// moving, beside dd writing the same number of bytes there with conv=fsync.
//
//   tonewell_fill_bench [rounds, default 20] [FOLDER]

#include "BeatTone.h"
#include "ProgramSound.h"
#include "WavExport.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

using Fill = void (*)(BeatToneState &, std::int16_t *, std::uint32_t);

// Seconds of processor time for `seconds` of 200+10 Hz, filled in two-second buffers.
double timeProgram(Fill fill, int seconds, std::vector<std::int16_t> &buffer)
{
    BeatToneState state;
    SetBeatFrequencies(state, 200, 10);
    const auto bytes = static_cast<std::uint32_t>(buffer.size() * sizeof(std::int16_t));
    const double start = threadCpuSeconds();
    for (int done = 0; done < seconds; done += 2)
        fill(state, buffer.data(), bytes);
    return threadCpuSeconds() - start;
}

// The moving program of the comparison: the shipped wind-down's steps under its pink noise.
ProgramMotion movingMotion()
{
    return ProgramMotion{{{10, 5}, {6, 10}, {2, 15}}, {NoiseColour::Pink, -30}};
}

void fillMoving(BeatToneState &state, std::int16_t *samples, std::uint32_t bytes)
{
    static std::optional<ProgramSound> sound;
    if (!sound || sound->framesDone() >= 600LL * kSampleRate)
        sound.emplace(200, 14, movingMotion(), state);
    sound->fill(samples, bytes / 4);
}

void benchFills(int rounds)
{
    constexpr int kProgramSeconds = 600;
    std::vector<std::int16_t> buffer(2 * 2 * kSampleRate);
    std::vector<double> scalar;
    std::vector<double> fast;
    std::vector<double> moving;
    // Alternating, so that a change in the machine's load reaches all alike.
    for (int round = 0; round < rounds; ++round) {
        scalar.push_back(timeProgram(&FillBeatBufferScalar, kProgramSeconds, buffer));
        fast.push_back(timeProgram(&FillBeatBuffer, kProgramSeconds, buffer));
        moving.push_back(timeProgram(&fillMoving, kProgramSeconds, buffer));
    }
    const double scalarSeconds = median(scalar);
    const double fastSeconds = median(fast);
    const double movingSeconds = median(moving);
    std::printf("10 minutes of 200+10 Hz in 2 s buffers, median of %d rounds each, processor time:\n", rounds);
    std::printf("  scalar fill %.1f ms (%.3f ms a buffer)\n", scalarSeconds * 1e3, scalarSeconds * 1e3 / 300);
    std::printf("  fast fill   %.1f ms (%.3f ms a buffer)\n", fastSeconds * 1e3, fastSeconds * 1e3 / 300);
    std::printf("  speed-up    %.2f x\n", scalarSeconds / fastSeconds);
    std::printf("  moving fill %.1f ms (%.3f ms a buffer): steps 14 -> 10 -> 6 -> 2 Hz under pink noise,\n"
                "              %.2f x the plain fast fill\n",
                movingSeconds * 1e3, movingSeconds * 1e3 / 300, movingSeconds / fastSeconds);
}

struct ExportTiming
{
    double wallSeconds = -1.0;
    double cpuSeconds = 0.0;
};

ExportTiming timeExport(const QString &path, const ProgramExport &program)
{
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = threadCpuSeconds();
    const ExportOutcome outcome = ExportProgramToWav(path, program);
    ExportTiming timing{double(wall.nsecsElapsed()) * 1e-9, threadCpuSeconds() - cpuStart};
    if (outcome.result != ExportResult::Written) {
        std::printf("export failed: %s\n", outcome.error ? qPrintable(outcome.error->message()) : "cancelled");
        timing.wallSeconds = -1.0;
    }
    QFile::remove(path);
    return timing;
}

// The disk's own pace: dd writing as many bytes to the same folder, synced before it ends.
double timeDd(const QString &path, qint64 bytes)
{
    constexpr qint64 kBlock = 1 << 20;
    QProcess dd;
    QElapsedTimer wall;
    wall.start();
    dd.start("dd", {"if=/dev/zero", "of=" + path, QString("bs=%1").arg(kBlock),
                    QString("count=%1").arg((bytes + kBlock - 1) / kBlock), "conv=fsync", "status=none"});
    const bool done = dd.waitForFinished(600000) && dd.exitStatus() == QProcess::NormalExit && dd.exitCode() == 0;
    const double seconds = double(wall.nsecsElapsed()) * 1e-9;
    QFile::remove(path);
    return done ? seconds : -1.0;
}

void benchHourExport(const QString &folder, int rounds)
{
    QTemporaryDir dir(QDir(folder).filePath("tonewell-bench-XXXXXX"));
    if (!dir.isValid()) {
        std::printf("export: cannot make a folder in %s\n", qPrintable(folder));
        return;
    }
    const qint64 bytes = 44 + ProgramFrames(60) * 4;
    std::vector<double> plain, moving, disk, plainCpu, movingCpu;
    // Alternating, as above; each file is removed before the next is written.
    for (int round = 0; round < rounds; ++round) {
        const ExportTiming a = timeExport(dir.filePath("plain.wav"), {200, 10, 60, true, {}});
        const ExportTiming b = timeExport(dir.filePath("moving.wav"), {200, 14, 60, true, movingMotion()});
        const double c = timeDd(dir.filePath("dd.raw"), bytes);
        if (a.wallSeconds < 0 || b.wallSeconds < 0 || c < 0)
            return;
        plain.push_back(a.wallSeconds);
        plainCpu.push_back(a.cpuSeconds);
        moving.push_back(b.wallSeconds);
        movingCpu.push_back(b.cpuSeconds);
        disk.push_back(c);
    }
    const double dd = median(disk);
    std::printf("export of 60 minutes with fade-out (%lld bytes) to %s, median of %d rounds, wall time:\n",
                static_cast<long long>(bytes), qPrintable(folder), rounds);
    std::printf("  dd conv=fsync       %.2f s\n", dd);
    std::printf("  plain 200+10 Hz     %.2f s (%.2f x dd; %.2f s processor time of the calling thread)\n",
                median(plain), median(plain) / dd, median(plainCpu));
    std::printf("  moving, pink noise  %.2f s (%.2f x dd; %.2f s processor time of the calling thread)\n",
                median(moving), median(moving) / dd, median(movingCpu));
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    benchFills(rounds);
    benchHourExport(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath(), std::max(1, std::min(rounds, 5)));
    return 0;
}
