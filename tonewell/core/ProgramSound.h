#pragma once

#include "BeatTone.h"
#include "ProgramMotion.h"

#include <cstdint>

// The sound of a whole program as it moves: the two tones of BeatTone, the right one's step
// following the beat's steps, and a noise under both. A still program (no steps, no noise) is
// the plain generator to the bit.
//
// The beat: every kBeatUpdateFrames frames, counted from the program's start, the right tone's
// step is set from the beat at that frame (BeatAtFrame) by the step formula of BeatToneStep, and
// the tones are filled up to the next such frame as a fill of their own, so the phases run on
// without a jump. The left tone never changes.
//
// The noise: frame n's white value is w = h(n) / 2^31 in [-1, 1), where h is a 32-bit integer
// hash of n (NoiseWhiteBits). Pink noise is the sum of three one-pole filters and a direct part
// (the economical pink filter after Paul Kellet):
//     p0 = 0.99765 p0 + 0.0990460 w,  p1 = 0.96300 p1 + 0.2965164 w,  p2 = 0.57000 p2 + 1.0526913 w,
//     pink = p0 + p1 + p2 + 0.1848 w
// and brown noise one leaky integrator, brown = 0.998 brown + w, both from a zero state at the
// program's start. The value is scaled to the asked RMS level (the colour's own RMS below),
// truncated toward zero and held within +-kNoisePeak, and the same sample is added to both
// channels: the difference between the ears, which makes the beat, stays the tones' alone, and
// as tone (at most 16384) plus noise never exceeds 32767, the sum never clips.

inline constexpr std::uint32_t kBeatUpdateFrames = kSampleRate / 10;
inline constexpr int kNoisePeak = 32767 - 16384;
// RMS of each colour's unscaled value (white: uniform on [-1, 1), 1/sqrt(3)).
inline constexpr double kWhiteNoiseRms = 0.5773502691896257;
inline constexpr double kPinkNoiseRms = 1.719934745931014;
inline constexpr double kBrownNoiseRms = 9.13327707251985;

// The hash behind frame n's white value.
std::uint32_t NoiseWhiteBits(std::uint64_t frame);

// The step of a tone of `hz` Hz, which need not be whole, by the formula of BeatToneStep.
float BeatToneStepOf(double hz);

enum class ToneFill {
    Fast,   // FillBeatBuffer
    Scalar, // FillBeatBufferScalar, its reference
};

class ProgramSound
{
public:
    // Starts the program at its frame 0 on `tones`, whose phases run on from where they are.
    ProgramSound(std::int32_t baseHz, std::int32_t beatHz, ProgramMotion motion, BeatToneState &tones);

    // Writes the next `frames` frames.
    void fill(std::int16_t *samples, std::uint32_t frames, ToneFill tones = ToneFill::Fast);

    // The same samples as `fills` calls of fill(samples, fillFrames) one after the other, made
    // by this thread and one more.
    void fillOnTwoThreads(std::int16_t *samples, std::uint32_t fills, std::uint32_t fillFrames);

    std::int64_t framesDone() const { return m_frame; }

private:
    static constexpr std::uint32_t kMostNoiseFrames = 4096;

    // The tones of `frames` frames from the program's frame `frame` on `tones`; with no
    // samples, only the phases are walked.
    void fillTones(BeatToneState &tones, std::int64_t frame, std::int16_t *samples, std::uint32_t frames,
                   ToneFill fill) const;
    void addNoise(std::int16_t *samples, std::uint32_t frames);
    // The noise samples of the next frames from m_frame on.
    void makeNoise(std::int16_t *noise, std::size_t frames);
    void makeNoise(std::int16_t *noise, std::uint32_t frames, std::int64_t firstFrame);

    std::int32_t m_baseHz;
    std::int32_t m_beatHz;
    ProgramMotion m_motion;
    BeatToneState &m_tones;
    std::int64_t m_frame = 0;
    double m_noiseScale = 0.0;
    double m_filter[3] = {};
};

// Playback of a program through the process-wide generator, faded at the end if fadeFrames is
// not 0 (the program's length then; past it the fill gives silence, so a stop that comes a
// little late is not heard). Started while no stream plays, as SetBeatFrequencies is; fills
// run one at a time.
void StartProgramPlayback(std::int32_t baseHz, std::int32_t beatHz, const ProgramMotion &motion,
                          std::int64_t fadeFrames);
void FillProgramBuffer(std::int16_t *samples, std::uint32_t byteCount);
