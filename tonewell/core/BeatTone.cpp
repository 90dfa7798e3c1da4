#include "BeatTone.h"

#include <cmath>

float BeatToneStep(std::int32_t hz)
{
    return static_cast<float>(static_cast<double>(hz) * static_cast<double>(kTwoPi)
                              * static_cast<double>(kReciprocalSampleRate));
}

void SetBeatFrequencies(BeatToneState &state, std::int32_t baseHz, std::int32_t beatHz)
{
    state.stepLeft = BeatToneStep(baseHz);
    // Wrapping sum: frequencies are never range-checked, and an overflow must not be undefined.
    state.stepRight = BeatToneStep(static_cast<std::int32_t>(static_cast<std::uint32_t>(baseHz)
                                                             + static_cast<std::uint32_t>(beatHz)));
}

namespace {

// Code elsewhere in the process (the GUI libraries do it) can leave the upper halves of the
// AVX registers in use. Every SSE instruction of the fill loop then pays a state-transition
// penalty that makes a fill about twenty times slower, so the loop starts from a clean state.
void clearUpperVectorState()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        asm volatile("vzeroupper");
#endif
}

std::int16_t toSample(double phase)
{
    // Truncation toward zero, never rounding: sin * 16384 stays within [-16384, 16384].
    return static_cast<std::int16_t>(static_cast<std::int32_t>(std::sin(phase) * kAmplitude));
}

} // namespace

void FillBeatBuffer(BeatToneState &state, std::int16_t *samples, std::uint32_t byteCount)
{
    const std::uint32_t frames = byteCount / 4;
    if (frames == 0)
        return;
    clearUpperVectorState();
    const double twoPi = kTwoPi;
    const double stepLeft = state.stepLeft;
    const double stepRight = state.stepRight;
    double left = state.phaseLeft;
    double right = state.phaseRight;
    for (std::uint32_t k = 0; k < frames; ++k) {
        samples[2 * k] = toSample(left);
        samples[2 * k + 1] = toSample(right);
        left += stepLeft;
        right += stepRight;
        if (left >= twoPi)
            left -= twoPi;
        if (right >= twoPi)
            right -= twoPi;
    }
    state.phaseLeft = static_cast<float>(left);
    state.phaseRight = static_cast<float>(right);
}

BeatToneState &beatToneState()
{
    static BeatToneState state;
    return state;
}

void SetBeatFrequencies(std::int32_t baseHz, std::int32_t beatHz)
{
    SetBeatFrequencies(beatToneState(), baseHz, beatHz);
}

void FillBeatBuffer(std::int16_t *samples, std::uint32_t byteCount)
{
    FillBeatBuffer(beatToneState(), samples, byteCount);
}
