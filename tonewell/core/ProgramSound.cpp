#include "ProgramSound.h"

#include "FadeOut.h"

#include <algorithm>
#include <cmath>
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
    return mix32((std::uint32_t(frame) ^ 0x5bd1e995U) + 0x9e3779b9U * std::uint32_t(frame >> 32));
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
    fillTones(samples, frames, tones);
    addNoise(samples, frames);
    m_frame += frames;
}

void ProgramSound::fillTones(std::int16_t *samples, std::uint32_t frames, ToneFill tones)
{
    const auto fillPiece = [&](std::int16_t *at, std::uint32_t count) {
        if (tones == ToneFill::Fast)
            FillBeatBuffer(m_tones, at, count * 4);
        else
            FillBeatBufferScalar(m_tones, at, count * 4);
    };
    if (m_motion.steps.empty()) {
        fillPiece(samples, frames);
        return;
    }
    for (std::uint32_t done = 0; done < frames;) {
        const std::int64_t frame = m_frame + done;
        const auto intoUpdate = static_cast<std::uint32_t>(frame % kBeatUpdateFrames);
        if (intoUpdate == 0)
            m_tones.stepRight = BeatToneStepOf(double(m_baseHz) + BeatAtFrame(m_beatHz, m_motion.steps, frame));
        const std::uint32_t piece = std::min(frames - done, kBeatUpdateFrames - intoUpdate);
        fillPiece(samples + 2 * std::size_t(done), piece);
        done += piece;
    }
}

void ProgramSound::addNoise(std::int16_t *samples, std::uint32_t frames)
{
    const NoiseColour colour = m_motion.noise.colour;
    if (colour == NoiseColour::None)
        return;
    const double scale = m_noiseScale;
    double p0 = m_filter[0];
    double p1 = m_filter[1];
    double p2 = m_filter[2];
    const std::uint64_t first = static_cast<std::uint64_t>(m_frame);
    for (std::uint32_t k = 0; k < frames; ++k) {
        const double white = double(static_cast<std::int32_t>(NoiseWhiteBits(first + k))) * 0x1p-31;
        double value = white;
        if (colour == NoiseColour::Pink) {
            p0 = 0.99765 * p0 + 0.0990460 * white;
            p1 = 0.96300 * p1 + 0.2965164 * white;
            p2 = 0.57000 * p2 + 1.0526913 * white;
            value = p0 + p1 + p2 + 0.1848 * white;
        } else if (colour == NoiseColour::Brown) {
            p0 = 0.998 * p0 + white;
            value = p0;
        }
        const auto noise = static_cast<std::int32_t>(
            std::clamp(value * scale, -double(kNoisePeak), double(kNoisePeak)));
        samples[2 * std::size_t(k)] = static_cast<std::int16_t>(samples[2 * std::size_t(k)] + noise);
        samples[2 * std::size_t(k) + 1] = static_cast<std::int16_t>(samples[2 * std::size_t(k) + 1] + noise);
    }
    m_filter[0] = p0;
    m_filter[1] = p1;
    m_filter[2] = p2;
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
