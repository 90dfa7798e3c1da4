#include "BeatTone.h"

#include <QTest>

#include <bit>
#include <cmath>
#include <vector>

using Frames = std::vector<std::int16_t>;

namespace {

Frames fill(BeatToneState &state, std::uint32_t frames)
{
    Frames samples(2 * frames);
    FillBeatBuffer(state, samples.data(), frames * 4);
    return samples;
}

} // namespace

class BeatToneTest : public QObject
{
    Q_OBJECT

private slots:
    void constantsAreTheStoredBitPatterns()
    {
        QCOMPARE(std::bit_cast<std::uint32_t>(kTwoPi), 0x40C90FDAu);
        QCOMPARE(static_cast<double>(kTwoPi), 6.283185005187988);
        QCOMPARE(std::bit_cast<std::uint32_t>(kReciprocalSampleRate), 0x37BE37C6u);
        QCOMPARE(static_cast<double>(kReciprocalSampleRate), 2.2675736545352265e-05);
    }

    void stepOfFrequency_data()
    {
        QTest::addColumn<int>("hz");
        QTest::addColumn<double>("step");
        QTest::newRow("200 Hz") << 200 << 0.028495170176029205;
        QTest::newRow("210 Hz") << 210 << 0.029919927939772606;
        QTest::newRow("0 Hz") << 0 << 0.0;
        QTest::newRow("-200 Hz") << -200 << -0.028495170176029205;
    }
    void stepOfFrequency()
    {
        QFETCH(int, hz);
        QFETCH(double, step);
        QCOMPARE(static_cast<double>(BeatToneStep(hz)), step);
    }

    void setBeatFrequenciesKeepsPhases()
    {
        BeatToneState state{1.5f, 2.5f, 0.0f, 0.0f};
        SetBeatFrequencies(state, 200, -5);
        QCOMPARE(state.phaseLeft, 1.5f);
        QCOMPARE(state.phaseRight, 2.5f);
        QCOMPARE(state.stepLeft, BeatToneStep(200));
        QCOMPARE(state.stepRight, BeatToneStep(195));
    }

    void firstFramesFromZeroState()
    {
        BeatToneState state;
        SetBeatFrequencies(state, 200, 10);
        const Frames samples = fill(state, 4);
        QCOMPARE(samples, (Frames{0, 0, 466, 490, 933, 979, 1398, 1468}));
    }

    // The reference: every sample from the phase before its frame's step, truncated toward zero.
    void matchesReferenceOverManyWraps_data()
    {
        QTest::addColumn<int>("baseHz");
        QTest::addColumn<int>("beatHz");
        QTest::newRow("theta 200+6") << 200 << 6;
        QTest::newRow("gamma 400+40") << 400 << 40;
        QTest::newRow("beat 0") << 150 << 0;
    }
    void matchesReferenceOverManyWraps()
    {
        QFETCH(int, baseHz);
        QFETCH(int, beatHz);
        BeatToneState state;
        SetBeatFrequencies(state, baseHz, beatHz);
        const double step[2] = {state.stepLeft, state.stepRight};
        double phase[2] = {0.0, 0.0};
        const Frames samples = fill(state, 88200);
        for (std::size_t k = 0; k < 88200; ++k) {
            for (int ch = 0; ch < 2; ++ch) {
                const auto expected = static_cast<std::int16_t>(std::trunc(std::sin(phase[ch]) * 16384.0));
                if (samples[2 * k + ch] != expected)
                    QFAIL(qPrintable(QString("frame %1 channel %2: %3 != %4").arg(k).arg(ch)
                                         .arg(samples[2 * k + ch]).arg(expected)));
                phase[ch] += step[ch];
                if (phase[ch] >= static_cast<double>(kTwoPi))
                    phase[ch] -= static_cast<double>(kTwoPi);
            }
        }
        QCOMPARE(state.phaseLeft, static_cast<float>(phase[0]));
        QCOMPARE(state.phaseRight, static_cast<float>(phase[1]));
        QVERIFY(state.phaseLeft >= 0.0f && state.phaseLeft < kTwoPi);
    }

    // Phases go back to single precision between fills, so a split fill continues from the
    // rounded phase: exactly what two calls of the same total length give.
    void consecutiveFillsContinueFromStoredPhase()
    {
        BeatToneState a;
        SetBeatFrequencies(a, 200, 10);
        const Frames first = fill(a, 1000);
        const Frames second = fill(a, 1000);

        BeatToneState b;
        SetBeatFrequencies(b, 200, 10);
        const Frames firstAgain = fill(b, 1000);
        QCOMPARE(firstAgain, first);
        BeatToneState resumed{static_cast<float>(b.phaseLeft), static_cast<float>(b.phaseRight),
                              b.stepLeft, b.stepRight};
        QCOMPARE(fill(resumed, 1000), second);
        QVERIFY(second[0] != first[0] || second[1] != first[1]);
    }

    void zeroBytesChangesNothing()
    {
        BeatToneState state{1.0f, 2.0f, 0.5f, 0.25f};
        std::int16_t guard[2] = {123, 456};
        FillBeatBuffer(state, guard, 0);
        QCOMPARE(guard[0], std::int16_t(123));
        QCOMPARE(state.phaseLeft, 1.0f);
        QCOMPARE(state.phaseRight, 2.0f);
    }

    void partialFrameIsNotWrittenPastTheBuffer()
    {
        BeatToneState state;
        SetBeatFrequencies(state, 200, 10);
        std::int16_t buffer[4] = {0, 0, 0, 0x7777};
        FillBeatBuffer(state, buffer, 6); // one whole frame and half of another
        QCOMPARE(buffer[3], std::int16_t(0x7777));
        QCOMPARE(state.phaseLeft, BeatToneStep(200));
    }

    void zeroFrequenciesHoldConstantSamples()
    {
        BeatToneState state{1.0f, 0.5f, 0.0f, 0.0f};
        SetBeatFrequencies(state, 0, 0);
        const Frames samples = fill(state, 100);
        const auto left = static_cast<std::int16_t>(std::sin(1.0) * 16384.0);
        const auto right = static_cast<std::int16_t>(std::sin(0.5) * 16384.0);
        for (std::size_t k = 0; k < 100; ++k) {
            QCOMPARE(samples[2 * k], left);
            QCOMPARE(samples[2 * k + 1], right);
        }
    }

    void negativeFrequencyIsNeverWrapped()
    {
        BeatToneState state;
        SetBeatFrequencies(state, 100, -300); // right ear -200 Hz
        fill(state, 88200);
        QVERIFY(state.phaseRight < -2000.0f);
        QVERIFY(state.phaseLeft >= 0.0f && state.phaseLeft < kTwoPi);
    }

    void truncatesTowardZeroAtThePeak()
    {
        // The float nearest pi/2 has a sine just below 1: 16383.99999... truncates to 16383.
        BeatToneState state{1.5707963705062866f, -1.5707963705062866f, 0.0f, 0.0f};
        const Frames samples = fill(state, 1);
        QCOMPARE(samples[0], std::int16_t(16383));
        QCOMPARE(samples[1], std::int16_t(-16383));
    }

    void processWideStateStartsAtZeroAndPersists()
    {
        QCOMPARE(beatToneState().phaseLeft, 0.0f);
        SetBeatFrequencies(200, 10);
        std::int16_t buffer[8];
        FillBeatBuffer(buffer, sizeof buffer);
        QCOMPARE(buffer[2], std::int16_t(466));
        SetBeatFrequencies(300, 10);
        QVERIFY(beatToneState().phaseLeft > 0.0f);
    }
};

QTEST_GUILESS_MAIN(BeatToneTest)
#include "tst_beattone.moc"
