#include "BeatTone.h"

#include "FastBeatFill.h"
#include "PhaseWalk.h"

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

} // namespace

void FillBeatBufferScalar(BeatToneState &state, std::int16_t *samples, std::uint32_t byteCount)
{
    const std::uint32_t frames = byteCount / 4;
    if (frames == 0)
        return;
    clearUpperVectorState();
    PhaseWalk walk(state);
    for (std::uint32_t k = 0; k < frames; ++k) {
        samples[2 * k] = SineSample(walk.left());
        samples[2 * k + 1] = SineSample(walk.right());
        walk.advance();
    }
    walk.storeInto(state);
}

void FillBeatBuffer(BeatToneState &state, std::int16_t *samples, std::uint32_t byteCount)
{
    const std::uint32_t frames = byteCount / 4;
    if (frames == 0)
        return;
    clearUpperVectorState();
    FillBeatFramesFast(state, samples, frames, SineVectors::Widest);
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
