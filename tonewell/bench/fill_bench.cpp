// Measures exact synthesis: the fast fill against the scalar one it must equal, side by side in
// one run, as processor time of this thread (less disturbed by a busy machine than wall time);
// then the export of an hour of sound to a WAV file in FOLDER (default: the temporary folder),
// synced to the disk.
//
//   tonewell_fill_bench [rounds, default 20] [FOLDER]

#include "BeatTone.h"
#include "WavExport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
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

void benchFills(int rounds)
{
    constexpr int kProgramSeconds = 600;
    std::vector<std::int16_t> buffer(2 * 2 * kSampleRate);
    std::vector<double> scalar;
    std::vector<double> fast;
    // Alternating, so that a change in the machine's load reaches both alike.
    for (int round = 0; round < rounds; ++round) {
        scalar.push_back(timeProgram(&FillBeatBufferScalar, kProgramSeconds, buffer));
        fast.push_back(timeProgram(&FillBeatBuffer, kProgramSeconds, buffer));
    }
    const double scalarSeconds = median(scalar);
    const double fastSeconds = median(fast);
    std::printf("10 minutes of 200+10 Hz in 2 s buffers, median of %d rounds each, processor time:\n", rounds);
    std::printf("  scalar fill %.1f ms (%.3f ms a buffer)\n", scalarSeconds * 1e3, scalarSeconds * 1e3 / 300);
    std::printf("  fast fill   %.1f ms (%.3f ms a buffer)\n", fastSeconds * 1e3, fastSeconds * 1e3 / 300);
    std::printf("  speed-up    %.2f x\n", scalarSeconds / fastSeconds);
}

void benchHourExport(const QString &folder)
{
    QTemporaryDir dir(QDir(folder).filePath("tonewell-bench-XXXXXX"));
    if (!dir.isValid()) {
        std::printf("export: cannot make a folder in %s\n", qPrintable(folder));
        return;
    }
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = threadCpuSeconds();
    const ExportOutcome outcome = ExportProgramToWav(dir.filePath("hour.wav"), {200, 10, 60, true, {}});
    const double cpu = threadCpuSeconds() - cpuStart;
    const double seconds = double(wall.nsecsElapsed()) * 1e-9;
    if (outcome.result != ExportResult::Written) {
        std::printf("export failed: %s\n", outcome.error ? qPrintable(outcome.error->message()) : "cancelled");
        return;
    }
    std::printf("export of 60 minutes of 200+10 Hz with fade-out (%lld bytes) to %s:\n",
                static_cast<long long>(44 + ProgramFrames(60) * 4), qPrintable(folder));
    std::printf("  %.2f s wall time, %.2f s processor time of the exporting thread\n", seconds, cpu);
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    benchFills(rounds);
    benchHourExport(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath());
    return 0;
}
