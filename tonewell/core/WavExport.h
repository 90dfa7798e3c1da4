#pragma once

#include "BeatTone.h"
#include "FileError.h"
#include "ProgramMotion.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// A listening program written to a WAV file (RIFF/WAVE, 16-bit PCM, two channels, 44,100
// frames per second): the generator's sound from the zero state, bit for bit, for a whole
// number of minutes, with the fade-out at the end if asked for.

struct ProgramExport
{
    std::int32_t baseHz = 0;
    std::int32_t beatHz = 0;
    int minutes = 0;
    bool fadeOut = false;
    ProgramMotion motion;
};

// Filled two seconds at a time, as playback fills its buffers, so that the phases go back to
// single precision at the same frames and the file sounds exactly like playback from the start.
inline constexpr std::uint32_t kExportFramesPerFill = 2 * kSampleRate;
// Fills made together, on two threads, while the block before is written.
inline constexpr std::uint32_t kExportFillsPerBlock = 4;

// RIFF keeps sizes in 32 bits: 405 minutes is the longest program a WAV file can hold.
inline constexpr int kLongestWavMinutes =
    static_cast<int>((0xFFFFFFFFull - 36) / (4ull * 60 * kSampleRate));

std::int64_t ProgramFrames(int minutes);

// The 44 bytes before the samples of a file of `frames` frames.
QByteArray WavHeader(std::int64_t frames);

// Told after every fill how many frames are written of how many; returning false cancels.
using ExportProgress = std::function<bool(std::int64_t framesWritten, std::int64_t totalFrames)>;

enum class ExportResult {
    Written,
    Cancelled,  // nothing was saved: no file, and any earlier file as it was (a stream ends short)
    Failed,     // the same, with the error
    TooLong,    // minutes outside 1 .. kLongestWavMinutes; nothing was touched
};

struct ExportOutcome
{
    ExportResult result = ExportResult::Written;
    std::optional<FileError> error;
};

// Writes the program to `path`, replacing a file there only once the whole file is safely on
// the disk; "-" (standard output), a FIFO or a character device get the bytes straight through
// (see saveToDestination()). The header comes first, with the sizes known in advance, so a
// program reading a pipe can play it as it comes.
ExportOutcome ExportProgramToWav(const QString &path, const ProgramExport &program,
                                 const ExportProgress &progress = {});
