#include "FadeOut.h"

#include <algorithm>
#include <cmath>
#include <numbers>

double FadeOutGain(std::int64_t frame, std::int64_t totalFrames)
{
    const std::int64_t framesAfter = totalFrames - 1 - frame;
    if (framesAfter >= kFadeOutFrames)
        return 1.0;
    if (framesAfter <= 0)
        return 0.0;
    // Counted from the end, so that the last frame is 0 exactly, not a rounding away from it.
    return 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(framesAfter)
                                / static_cast<double>(kFadeOutFrames));
}

void ApplyFadeOut(std::int16_t *samples, std::uint32_t frames, std::int64_t firstFrame, std::int64_t totalFrames)
{
    const std::int64_t fadeStart = totalFrames - kFadeOutFrames;
    const std::int64_t firstFaded = std::clamp<std::int64_t>(fadeStart - firstFrame, 0, frames);
    for (auto k = static_cast<std::uint32_t>(firstFaded); k < frames; ++k) {
        const std::int64_t frame = firstFrame + k;
        const double gain = FadeOutGain(frame, totalFrames);
        for (int channel = 0; channel < 2; ++channel) {
            std::int16_t &sample = samples[2 * std::size_t(k) + channel];
            sample = static_cast<std::int16_t>(static_cast<std::int32_t>(sample * gain));
        }
    }
}
