#pragma once

#include "BeatTone.h"

#include <cstdint>

// The gentle end: over the last ten seconds of a program the sound falls to silence along a
// raised cosine, reaching 0 on the program's last frame.
inline constexpr std::int64_t kFadeOutFrames = 10 * std::int64_t(kSampleRate);

// Gain of frame `frame` (counted from 0) of a program `totalFrames` long: exactly 1 before the
// fade, exactly 0 on the last frame and after it.
double FadeOutGain(std::int64_t frame, std::int64_t totalFrames);

// Scales `frames` filled frames that start at frame `firstFrame` of the program, truncating
// toward zero as the generator does. Frames before the fade keep their bits.
void ApplyFadeOut(std::int16_t *samples, std::uint32_t frames, std::int64_t firstFrame, std::int64_t totalFrames);
