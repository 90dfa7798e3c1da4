#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

// What changes while a program plays: the beat moving through steps, and a noise under the
// tones. A catalogue line carries them as "key=value;" fields after its fourth semicolon, where
// older Tonewells ignore them and play the plain program:
//
//   steps=B1@M1,B2@M2,...   from the program's beat linearly to B1 Hz over M1 minutes, then to
//                           B2 over M2, ..., then the last beat holds; the base stays
//   noise=COLOUR@L          white, pink or brown noise at L dB below full scale (RMS)

struct BeatStep
{
    double beatHz = 0.0; // where the beat arrives
    int minutes = 0;     // how long it takes to get there
    bool operator==(const BeatStep &) const = default;
};

enum class NoiseColour { None, White, Pink, Brown };

struct BackgroundNoise
{
    NoiseColour colour = NoiseColour::None;
    int levelDb = 0; // RMS, relative to full scale
    bool operator==(const BackgroundNoise &) const = default;
};

struct ProgramMotion
{
    std::vector<BeatStep> steps;
    BackgroundNoise noise;
    bool isStill() const { return steps.empty() && noise.colour == NoiseColour::None; }
    bool operator==(const ProgramMotion &) const = default;
};

// The bounds of what a field may ask for; anything beyond them is not read as a plan at all.
inline constexpr int kMostBeatSteps = 100;
inline constexpr int kMostStepMinutes = 600;
inline constexpr double kMostStepBeatHz = 1000.0;
inline constexpr int kQuietestNoiseDb = -60;
inline constexpr int kLoudestNoiseDb = -12;

// Reads the fields after a line's fourth semicolon (`rest`, only the part ended by a ";" is
// read). Unknown keys and fields without "=" (remarks) are skipped; a value that does not read
// is skipped with one warning naming `programName`. Never looks beyond `rest`.
ProgramMotion ParseProgramMotion(QByteArrayView rest, QByteArrayView programName);

// The beat at `frame` frames after the start: along the steps from `beatHz`, then held.
double BeatAtFrame(std::int32_t beatHz, const std::vector<BeatStep> &steps, std::int64_t frame);
// How long the steps take, in frames.
std::int64_t StepsFrames(const std::vector<BeatStep> &steps);

// The plan as the window and the media controls show it, such as
// "14 → 10 Hz in 5 min → 6 Hz in 10 min; pink noise"; empty for a still program.
QString MotionText(std::int32_t beatHz, const ProgramMotion &motion);
// A beat as the plan and the status line show it: "7.5", "14", "7.3".
QString BeatText(double beatHz);
