#pragma once

#include "BeatTone.h"

// The phase recurrence that every fill shares, in double precision: the sample of a frame comes
// from the phase before the frame's step, and a phase at or above kTwoPi drops by kTwoPi once.
class PhaseWalk
{
public:
    explicit PhaseWalk(const BeatToneState &state)
        : m_stepLeft(state.stepLeft), m_stepRight(state.stepRight), m_left(state.phaseLeft),
          m_right(state.phaseRight)
    {
    }

    double left() const { return m_left; }
    double right() const { return m_right; }
    double stepLeft() const { return m_stepLeft; }
    double stepRight() const { return m_stepRight; }

    void advance()
    {
        const double twoPi = kTwoPi;
        m_left += m_stepLeft;
        m_right += m_stepRight;
        if (m_left >= twoPi)
            m_left -= twoPi;
        if (m_right >= twoPi)
            m_right -= twoPi;
    }

    void moveTo(double left, double right)
    {
        m_left = left;
        m_right = right;
    }

    void storeInto(BeatToneState &state) const
    {
        state.phaseLeft = static_cast<float>(m_left);
        state.phaseRight = static_cast<float>(m_right);
    }

private:
    double m_stepLeft;
    double m_stepRight;
    double m_left;
    double m_right;
};
