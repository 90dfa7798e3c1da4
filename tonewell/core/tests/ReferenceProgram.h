#pragma once

#include "BeatTone.h"
#include "ProgramMotion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

using Samples = std::vector<std::int16_t>;

// The program's sound worked out sample by sample from its description, sharing no code with
// the generator: one std::sin per sample from double phases that go back to single precision
// wherever a fill of the tones ends (at the end of each buffer, and for a moving beat at each
// tenth of a second), the beat along straight lines between its steps, the noise from its hash
// and filters.
class ReferenceProgram
{
public:
    ReferenceProgram(std::int32_t base, std::int32_t beat, ProgramMotion motion, BeatToneState start = {})
        : m_base(base), m_beat(beat), m_motion(std::move(motion)), m_left(start.phaseLeft), m_right(start.phaseRight)
    {
        m_stepLeft = step(double(base));
        m_stepRight = step(double(base) + double(beat));
        switch (m_motion.noise.colour) {
        case NoiseColour::White: m_scale = 0.5773502691896257; break;
        case NoiseColour::Pink: m_scale = 1.719934745931014; break;
        case NoiseColour::Brown: m_scale = 9.13327707251985; break;
        case NoiseColour::None: break;
        }
        if (m_scale != 0.0)
            m_scale = 32768.0 * std::pow(10.0, m_motion.noise.levelDb / 20.0) / m_scale;
    }

    Samples play(const std::vector<std::uint32_t> &buffers)
    {
        Samples out;
        for (std::uint32_t frames : buffers) {
            for (std::uint32_t k = 0; k < frames; ++k) {
                const bool update = !m_motion.steps.empty() && m_frame % 4410 == 0;
                if (k == 0 || update) {
                    m_left = single(m_left);
                    m_right = single(m_right);
                }
                if (update)
                    m_stepRight = step(double(m_base) + beatAt(m_frame));
                const int noise = noiseSample();
                out.push_back(std::int16_t(int(std::sin(m_left) * 16384.0) + noise));
                out.push_back(std::int16_t(int(std::sin(m_right) * 16384.0) + noise));
                m_left += m_stepLeft;
                m_right += m_stepRight;
                const double twoPi = 6.283185f;
                if (m_left >= twoPi)
                    m_left -= twoPi;
                if (m_right >= twoPi)
                    m_right -= twoPi;
                ++m_frame;
            }
        }
        return out;
    }

private:
    // Rounded to single precision through memory: GCC 12 at -O2 drops a double -> float ->
    // double round trip when it pairs the two tones' values in one vector.
    static double single(double value)
    {
        const volatile float rounded = float(value);
        return rounded;
    }
    // The decimal 6.283185 and 1/44100 in single precision, widened.
    static double step(double hz) { return single(hz * double(6.283185f) * double(1.0f / 44100.0f)); }

    double beatAt(std::int64_t frame) const
    {
        double from = m_beat;
        for (const BeatStep &s : m_motion.steps) {
            const std::int64_t length = s.minutes * std::int64_t(2646000);
            if (frame < length)
                return from + (s.beatHz - from) * (double(frame) / double(length));
            frame -= length;
            from = s.beatHz;
        }
        return from;
    }

    int noiseSample()
    {
        if (m_scale == 0.0)
            return 0;
        std::uint32_t h = (std::uint32_t(m_frame) ^ 0x5bd1e995U) + 0x9e3779b9U * std::uint32_t(m_frame >> 32);
        h = (h ^ (h >> 16)) * 0x7feb352dU;
        h = (h ^ (h >> 15)) * 0x846ca68bU;
        h ^= h >> 16;
        const double w = std::int32_t(h) / 2147483648.0;
        double v = w;
        if (m_motion.noise.colour == NoiseColour::Pink) {
            m_pink[0] = 0.99765 * m_pink[0] + 0.0990460 * w;
            m_pink[1] = 0.96300 * m_pink[1] + 0.2965164 * w;
            m_pink[2] = 0.57000 * m_pink[2] + 1.0526913 * w;
            v = m_pink[0] + m_pink[1] + m_pink[2] + 0.1848 * w;
        } else if (m_motion.noise.colour == NoiseColour::Brown) {
            m_pink[0] = 0.998 * m_pink[0] + w;
            v = m_pink[0];
        }
        return std::clamp(int(v * m_scale), -16383, 16383);
    }

    std::int32_t m_base;
    std::int32_t m_beat;
    ProgramMotion m_motion;
    double m_left;
    double m_right;
    double m_stepLeft = 0.0;
    double m_stepRight = 0.0;
    double m_scale = 0.0;
    double m_pink[3] = {};
    std::int64_t m_frame = 0;
};
