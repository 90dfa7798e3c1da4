#pragma once

#include "BeatTone.h"

#include <cstdint>

// The fast exact fill. Samples are sin * 16384 truncated toward zero, and the fill must give
// the bits that std::sin gives. A vectorised polynomial does the work; its error has a proven
// bound, so a sample whose scaled value lies farther than that bound from every integer
// truncates the same either way, and only the few that lie closer are taken from std::sin.

// Where the polynomial holds. Frames whose phases could come near it (after almost four hours
// of a tone at -200 Hz, say) or are NaN are made with std::sin.
inline constexpr double kFastSineLimit = 0x1p25;
// |FastSine(x) - std::sin(x)| stays below this for |x| <= kFastSineLimit (FastBeatFill.cpp has
// the derivation: the error is below 2^-30.4, std::sin's own error of one ulp included).
inline constexpr double kFastSineErrorBound = 0x1p-28;

// One sample exactly as the reference fill makes it: std::sin, times 16384, truncated.
std::int16_t SineSample(double phase);

enum class SineVectors {
    Baseline, // what every x86-64 processor has (SSE2)
    Widest,   // the widest this processor has
};

// Writes `frames` frames and advances the phases, bit for bit as FillBeatBufferScalar does.
void FillBeatFramesFast(BeatToneState &state, std::int16_t *samples, std::uint32_t frames, SineVectors vectors);

// The polynomial on its own, for checking its error; |x| <= kFastSineLimit.
double FastSine(double x);
