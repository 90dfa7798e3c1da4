#include "ProgramSound.h"

#include "FadeOut.h"
#include "PhaseWalk.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <optional>

namespace {

// A 32-bit mixing function with low bias (Chris Wellons' "lowbias32"): every input bit reaches
// every output bit, so neighbouring frames give unrelated values.
std::uint32_t mix32(std::uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

std::uint32_t whiteBits(std::uint64_t frame)
{
    return mix32((std::uint32_t(frame) ^ 0x5bd1e995U) + 0x9e3779b9U * std::uint32_t(frame >> 32));
}

// The passes of the noise that need no earlier frame, made for the widest vectors this processor
// has (AVX2 brings no fused multiply-add, so every value rounds as on any other processor). The
// choice is made by a test at run time rather than by the loader, which runs before the
// sanitizers' run time is ready.
struct NoisePasses
{
    void (*whiteValues)(double *values, std::uint64_t first, std::uint32_t frames);
    void (*scaledNoise)(std::int16_t *noise, const double *values, std::uint32_t frames, double scale);
    void (*addToBothChannels)(std::int16_t *samples, const std::int16_t *noise, std::size_t frames);
};

[[gnu::always_inline]] inline void whiteValuesOn(double *values, std::uint64_t first, std::uint32_t frames)
{
    for (std::uint32_t k = 0; k < frames; ++k)
        values[k] = double(static_cast<std::int32_t>(whiteBits(first + k))) * 0x1p-31;
}

[[gnu::always_inline]] inline void scaledNoiseOn(std::int16_t *noise, const double *values, std::uint32_t frames,
                                                 double scale)
{
    for (std::uint32_t k = 0; k < frames; ++k) {
        double v = values[k] * scale;
        v = v < -double(kNoisePeak) ? -double(kNoisePeak) : v;
        v = v > double(kNoisePeak) ? double(kNoisePeak) : v;
        noise[k] = static_cast<std::int16_t>(static_cast<std::int32_t>(v));
    }
}

[[gnu::always_inline]] inline void addToBothChannelsOn(std::int16_t *samples, const std::int16_t *noise,
                                                       std::size_t frames)
{
    for (std::size_t k = 0; k < frames; ++k) {
        samples[2 * k] = static_cast<std::int16_t>(samples[2 * k] + noise[k]);
        samples[2 * k + 1] = static_cast<std::int16_t>(samples[2 * k + 1] + noise[k]);
    }
}

void whiteValuesBaseline(double *v, std::uint64_t f, std::uint32_t n) { whiteValuesOn(v, f, n); }
void scaledNoiseBaseline(std::int16_t *o, const double *v, std::uint32_t n, double s) { scaledNoiseOn(o, v, n, s); }
void addToBothChannelsBaseline(std::int16_t *s, const std::int16_t *o, std::size_t n) { addToBothChannelsOn(s, o, n); }

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx2")]] void whiteValuesAvx2(double *v, std::uint64_t f, std::uint32_t n) { whiteValuesOn(v, f, n); }
[[gnu::target("avx2")]] void scaledNoiseAvx2(std::int16_t *o, const double *v, std::uint32_t n, double s)
{
    scaledNoiseOn(o, v, n, s);
}
[[gnu::target("avx2")]] void addToBothChannelsAvx2(std::int16_t *s, const std::int16_t *o, std::size_t n)
{
    addToBothChannelsOn(s, o, n);
}
#endif

const NoisePasses &noisePasses()
{
#if defined(__x86_64__) || defined(__i386__)
    static const NoisePasses passes = __builtin_cpu_supports("avx2")
                                          ? NoisePasses{&whiteValuesAvx2, &scaledNoiseAvx2, &addToBothChannelsAvx2}
                                          : NoisePasses{&whiteValuesBaseline, &scaledNoiseBaseline,
                                                        &addToBothChannelsBaseline};
#else
    static const NoisePasses passes{&whiteValuesBaseline, &scaledNoiseBaseline, &addToBothChannelsBaseline};
#endif
    return passes;
}

double colourRms(NoiseColour colour)
{
    switch (colour) {
    case NoiseColour::White:
        return kWhiteNoiseRms;
    case NoiseColour::Pink:
        return kPinkNoiseRms;
    case NoiseColour::Brown:
        return kBrownNoiseRms;
    case NoiseColour::None:
        break;
    }
    return 1.0;
}

} // namespace

std::uint32_t NoiseWhiteBits(std::uint64_t frame)
{
    return whiteBits(frame);
}

float BeatToneStepOf(double hz)
{
    return static_cast<float>(hz * static_cast<double>(kTwoPi) * static_cast<double>(kReciprocalSampleRate));
}

ProgramSound::ProgramSound(std::int32_t baseHz, std::int32_t beatHz, ProgramMotion motion, BeatToneState &tones)
    : m_baseHz(baseHz), m_beatHz(beatHz), m_motion(std::move(motion)), m_tones(tones)
{
    SetBeatFrequencies(m_tones, baseHz, beatHz);
    if (m_motion.noise.colour != NoiseColour::None)
        m_noiseScale = 32768.0 * std::pow(10.0, m_motion.noise.levelDb / 20.0) / colourRms(m_motion.noise.colour);
}

void ProgramSound::fill(std::int16_t *samples, std::uint32_t frames, ToneFill tones)
{
    fillTones(m_tones, m_frame, samples, frames, tones);
    addNoise(samples, frames);
    m_frame += frames;
}

void ProgramSound::fillOnTwoThreads(std::int16_t *samples, std::uint32_t fills, std::uint32_t fillFrames)
{
    const std::int64_t start = m_frame;
    const std::size_t total = std::size_t(fills) * fillFrames;
    const bool noisy = m_motion.noise.colour != NoiseColour::None;
    // With a noise, the noise here and all the tones there; without, half the tones each. The
    // other thread's tones start where these end, found by walking the phases alone.
    const std::uint32_t fillsHere = noisy ? 0 : fills / 2;
    BeatToneState later = m_tones;
    // Where no thread can be had, the other half runs here after this one.
    std::future<void> there = std::async(std::launch::async | std::launch::deferred, [&] {
        for (std::uint32_t f = 0; f < fills; ++f) {
            const std::size_t at = std::size_t(f) * fillFrames;
            fillTones(later, start + std::int64_t(at), f < fillsHere ? nullptr : samples + 2 * at, fillFrames,
                      ToneFill::Fast);
        }
    });
    for (std::uint32_t f = 0; f < fillsHere; ++f) {
        const std::size_t at = std::size_t(f) * fillFrames;
        fillTones(m_tones, start + std::int64_t(at), samples + 2 * at, fillFrames, ToneFill::Fast);
    }
    std::vector<std::int16_t> noise(noisy ? total : 0);
    if (noisy)
        makeNoise(noise.data(), total);
    there.get();
    m_tones = later;
    noisePasses().addToBothChannels(samples, noise.data(), noise.size());
    m_frame += std::int64_t(total);
}

void ProgramSound::fillTones(BeatToneState &tones, std::int64_t frame, std::int16_t *samples, std::uint32_t frames,
                             ToneFill fill) const
{
    const auto fillPiece = [&](std::uint32_t done, std::uint32_t count) {
        if (!samples) {
            // The phases alone, as a fill of `count` frames leaves them.
            PhaseWalk walk(tones);
            for (std::uint32_t k = 0; k < count; ++k)
                walk.advance();
            if (count > 0)
                walk.storeInto(tones);
        } else if (fill == ToneFill::Fast) {
            FillBeatBuffer(tones, samples + 2 * std::size_t(done), count * 4);
        } else {
            FillBeatBufferScalar(tones, samples + 2 * std::size_t(done), count * 4);
        }
    };
    if (m_motion.steps.empty()) {
        fillPiece(0, frames);
        return;
    }
    for (std::uint32_t done = 0; done < frames;) {
        const std::int64_t at = frame + done;
        const auto intoUpdate = static_cast<std::uint32_t>(at % kBeatUpdateFrames);
        if (intoUpdate == 0)
            tones.stepRight = BeatToneStepOf(double(m_baseHz) + BeatAtFrame(m_beatHz, m_motion.steps, at));
        const std::uint32_t piece = std::min(frames - done, kBeatUpdateFrames - intoUpdate);
        fillPiece(done, piece);
        done += piece;
    }
}

void ProgramSound::addNoise(std::int16_t *samples, std::uint32_t frames)
{
    if (m_motion.noise.colour == NoiseColour::None)
        return;
    constexpr std::uint32_t kBlock = kMostNoiseFrames;
    std::int16_t noise[kBlock];
    for (std::uint32_t done = 0; done < frames; done += kBlock) {
        const std::uint32_t count = std::min(kBlock, frames - done);
        makeNoise(noise, count, m_frame + done);
        noisePasses().addToBothChannels(samples + 2 * std::size_t(done), noise, count);
    }
}

void ProgramSound::makeNoise(std::int16_t *noise, std::size_t frames)
{
    for (std::size_t done = 0; done < frames; done += kMostNoiseFrames)
        makeNoise(noise + done, std::uint32_t(std::min<std::size_t>(kMostNoiseFrames, frames - done)),
                  m_frame + std::int64_t(done));
}

void ProgramSound::makeNoise(std::int16_t *noise, std::uint32_t frames, std::int64_t firstFrame)
{
    // In three passes, so that the hash and the scaling are vectorised and only the filters'
    // recurrences run one frame at a time. frames <= kMostNoiseFrames.
    double values[kMostNoiseFrames];
    const NoiseColour colour = m_motion.noise.colour;
    const auto first = static_cast<std::uint64_t>(firstFrame);
    noisePasses().whiteValues(values, first, frames);
    if (colour == NoiseColour::Pink) {
        double p0 = m_filter[0];
        double p1 = m_filter[1];
        double p2 = m_filter[2];
        for (std::uint32_t k = 0; k < frames; ++k) {
            const double white = values[k];
            p0 = 0.99765 * p0 + 0.0990460 * white;
            p1 = 0.96300 * p1 + 0.2965164 * white;
            p2 = 0.57000 * p2 + 1.0526913 * white;
            values[k] = p0 + p1 + p2 + 0.1848 * white;
        }
        m_filter[0] = p0;
        m_filter[1] = p1;
        m_filter[2] = p2;
    } else if (colour == NoiseColour::Brown) {
        double p0 = m_filter[0];
        for (std::uint32_t k = 0; k < frames; ++k) {
            p0 = 0.998 * p0 + values[k];
            values[k] = p0;
        }
        m_filter[0] = p0;
    }
    noisePasses().scaledNoise(noise, values, frames, m_noiseScale);
}

namespace {

struct ProgramPlayback
{
    std::optional<ProgramSound> sound;
    std::int64_t fadeFrames = 0;
};

ProgramPlayback &programPlayback()
{
    static ProgramPlayback playback;
    return playback;
}

} // namespace

void StartProgramPlayback(std::int32_t baseHz, std::int32_t beatHz, const ProgramMotion &motion,
                          std::int64_t fadeFrames)
{
    ProgramPlayback &playback = programPlayback();
    playback.sound.emplace(baseHz, beatHz, motion, beatToneState());
    playback.fadeFrames = fadeFrames;
}

void FillProgramBuffer(std::int16_t *samples, std::uint32_t byteCount)
{
    ProgramPlayback &playback = programPlayback();
    if (!playback.sound)
        return FillBeatBuffer(samples, byteCount);
    const std::uint32_t frames = byteCount / 4;
    const std::int64_t first = playback.sound->framesDone();
    playback.sound->fill(samples, frames);
    if (playback.fadeFrames > 0)
        ApplyFadeOut(samples, frames, first, playback.fadeFrames);
}
