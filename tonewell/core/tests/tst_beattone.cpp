#include "BeatTone.h"
#include "FastBeatFill.h"

#include <QTest>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using Frames = std::vector<std::int16_t>;
Q_DECLARE_METATYPE(SineVectors)

namespace {

Frames fill(BeatToneState &state, std::uint32_t frames)
{
    Frames samples(2 * frames);
    FillBeatBuffer(state, samples.data(), frames * 4);
    return samples;
}

// Fills `frames` frames with the fast and the scalar fill from the same state and fails on the
// first sample or phase that differs; the frame after the buffer must stay untouched.
bool fastFillMatchesScalar(BeatToneState &fast, BeatToneState &scalar, std::uint32_t frames, QString &difference,
                           SineVectors vectors = SineVectors::Widest)
{
    constexpr std::int16_t kGuard = 0x5A5A;
    Frames a(2 * frames + 2, kGuard);
    Frames b(2 * frames + 2, kGuard);
    const BeatToneState before = fast;
    if (vectors == SineVectors::Widest)
        FillBeatBuffer(fast, a.data(), frames * 4);
    else
        FillBeatFramesFast(fast, a.data(), frames, vectors);
    FillBeatBufferScalar(scalar, b.data(), frames * 4);
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            difference = QString("sample %1 of %2 from phases %3, %4 steps %5, %6: fast %7, scalar %8")
                             .arg(i).arg(2 * frames).arg(before.phaseLeft, 0, 'g', 17)
                             .arg(before.phaseRight, 0, 'g', 17).arg(before.stepLeft, 0, 'g', 17)
                             .arg(before.stepRight, 0, 'g', 17).arg(a[i]).arg(b[i]);
            return false;
        }
    }
    if (a[2 * frames] != kGuard || a[2 * frames + 1] != kGuard) {
        difference = "wrote past the buffer";
        return false;
    }
    if (std::bit_cast<std::uint32_t>(fast.phaseLeft) != std::bit_cast<std::uint32_t>(scalar.phaseLeft)
        || std::bit_cast<std::uint32_t>(fast.phaseRight) != std::bit_cast<std::uint32_t>(scalar.phaseRight)) {
        difference = QString("phases after the fill: fast %1, %2, scalar %3, %4").arg(fast.phaseLeft, 0, 'g', 9)
                         .arg(fast.phaseRight, 0, 'g', 9).arg(scalar.phaseLeft, 0, 'g', 9)
                         .arg(scalar.phaseRight, 0, 'g', 9);
        return false;
    }
    return true;
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

    // Whole programs in the stream's two-second buffers, from the zero state.
    void fastFillMatchesScalarOverLongRuns_data()
    {
        QTest::addColumn<int>("baseHz");
        QTest::addColumn<int>("beatHz");
        QTest::addColumn<int>("seconds");
        QTest::newRow("200+10 Hz, 10 minutes") << 200 << 10 << 600;
        QTest::newRow("400+40 Hz, 3 minutes") << 400 << 40 << 180;
        QTest::newRow("55+4 Hz, 3 minutes") << 55 << 4 << 180;
        QTest::newRow("right ear -200 Hz, never wrapped, 5 minutes") << 100 << -300 << 300;
        QTest::newRow("20 kHz, 2 minutes") << 20000 << 1 << 120;
    }
    void fastFillMatchesScalarOverLongRuns()
    {
        QFETCH(int, baseHz);
        QFETCH(int, beatHz);
        QFETCH(int, seconds);
        BeatToneState fast;
        SetBeatFrequencies(fast, baseHz, beatHz);
        BeatToneState scalar = fast;
        QString difference;
        for (int second = 0; second < seconds; second += 2) {
            if (!fastFillMatchesScalar(fast, scalar, 2 * kSampleRate, difference))
                QFAIL(qPrintable(QString("at second %1: %2").arg(second).arg(difference)));
        }
    }

    // Random phases of every size, frequencies across the whole 32-bit range (sums wrapping),
    // and buffers of any whole number of frames, one frame included; on the widest vectors the
    // processor has and on those every x86-64 processor has.
    void fastFillMatchesScalarOnFuzzedStates_data()
    {
        QTest::addColumn<SineVectors>("vectors");
        QTest::newRow("widest") << SineVectors::Widest;
        QTest::newRow("baseline") << SineVectors::Baseline;
    }
    void fastFillMatchesScalarOnFuzzedStates()
    {
        QFETCH(SineVectors, vectors);
        std::mt19937_64 random(20261210);
        const std::int32_t extremes[] = {0, 1, -1, std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::int32_t>::max(), 44100, -44100, 22050};
        const double phaseScales[] = {0.0, 6.283185, 100.0, 1e4, 1e6, 1.6e7, 3e7, 1e12, 3e38};
        auto frequency = [&]() -> std::int32_t {
            switch (random() % 4) {
            case 0: return extremes[random() % std::size(extremes)];
            case 1: return static_cast<std::int32_t>(random());
            case 2: return static_cast<std::int32_t>(random() % 2001) - 1000;
            default: return static_cast<std::int32_t>(random() % 400001) - 200000;
            }
        };
        auto phase = [&]() -> float {
            const double scale = phaseScales[random() % std::size(phaseScales)];
            const double unit = std::uniform_real_distribution<double>(-1.0, 1.0)(random);
            // Now and then a multiple of pi/2, where the sine is an integer or almost one.
            if (random() % 8 == 0)
                return static_cast<float>(static_cast<double>(random() % 64) * 1.5707963267948966 * (unit < 0 ? -1 : 1));
            return static_cast<float>(random() % 2 ? unit * scale : std::abs(unit) * scale);
        };
        QString difference;
        for (int round = 0; round < 3000; ++round) {
            BeatToneState fast{phase(), phase(), 0.0f, 0.0f};
            SetBeatFrequencies(fast, frequency(), frequency());
            BeatToneState scalar = fast;
            const std::uint32_t frames = round % 5 == 0 ? 1 : 1 + static_cast<std::uint32_t>(random() % 1500);
            if (!fastFillMatchesScalar(fast, scalar, frames, difference, vectors))
                QFAIL(qPrintable(QString("round %1: %2").arg(round).arg(difference)));
        }
    }

    // The bound the fast fill relies on, checked against a sine of higher precision, also next
    // to multiples of pi, where the reduction loses most.
    void fastSineStaysWithinItsBound()
    {
        std::mt19937_64 random(7);
        const double limits[] = {1.0, 6.3, 1e3, 1e6, kFastSineLimit};
        double worst = 0.0;
        double worstAt = 0.0;
        for (int i = 0; i < 400000; ++i) {
            const double limit = limits[i % std::size(limits)];
            double x = std::uniform_real_distribution<double>(-limit, limit)(random);
            if (i % 3 == 0)
                x = std::nearbyint(x / 3.141592653589793) * 3.141592653589793;
            const long double exact = std::sin(static_cast<long double>(x));
            const double error = static_cast<double>(std::abs(static_cast<long double>(FastSine(x)) - exact));
            if (error > worst) {
                worst = error;
                worstAt = x;
            }
        }
        if (!(worst <= 0x1p-30))
            QFAIL(qPrintable(QString("error %1 at %2").arg(worst, 0, 'g', 6).arg(worstAt, 0, 'g', 17)));
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
