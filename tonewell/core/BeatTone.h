#pragma once

#include <bit>
#include <cstdint>

// Two sine tones, one per ear, into 16-bit stereo frames (left sample first), 44,100 frames
// per second. The left ear hears the base frequency, the right ear base plus beat.

constexpr int kSampleRate = 44100;
// The decimal 6.283185 in single precision (not the float nearest to 2 pi): the step formula
// and the phase wrap both use it, and the sound must come out the same to the bit.
inline constexpr float kTwoPi = std::bit_cast<float>(0x40C90FDAu);
inline constexpr float kReciprocalSampleRate = std::bit_cast<float>(0x37BE37C6u); // 1/44100
constexpr double kAmplitude = 16384.0;

struct BeatToneState
{
    float phaseLeft = 0.0f;
    float phaseRight = 0.0f;
    float stepLeft = 0.0f;
    float stepRight = 0.0f;
};

// Phase advance per frame of a tone of `hz`.
float BeatToneStep(std::int32_t hz);

// Sets both steps; the phases keep running, so a new program continues without a click.
void SetBeatFrequencies(BeatToneState &state, std::int32_t baseHz, std::int32_t beatHz);
// Writes byteCount / 4 frames and advances the phases. byteCount is a multiple of 4.
void FillBeatBuffer(BeatToneState &state, std::int16_t *samples, std::uint32_t byteCount);
// The same bits as FillBeatBuffer, one std::sin per sample: the reference it is checked and
// measured against.
void FillBeatBufferScalar(BeatToneState &state, std::int16_t *samples, std::uint32_t byteCount);

// The process-wide generator: zero at start, never reset, so every playback continues
// where the last filled buffer ended. It is only touched by one fill at a time, and the
// frequencies only change while no stream plays.
BeatToneState &beatToneState();
void SetBeatFrequencies(std::int32_t baseHz, std::int32_t beatHz);
void FillBeatBuffer(std::int16_t *samples, std::uint32_t byteCount);
