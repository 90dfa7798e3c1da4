#include "BeatTone.h"
#include "ProgramSound.h"
#include "ReferenceProgram.h"

#include <QTest>

#include <cmath>
#include <vector>

Q_DECLARE_METATYPE(ProgramMotion)
Q_DECLARE_METATYPE(ToneFill)

namespace {

// `total` frames cut into buffers of `size`, the last one shorter.
std::vector<std::uint32_t> buffersOf(std::uint32_t size, std::uint32_t total)
{
    std::vector<std::uint32_t> buffers(total / size, size);
    if (total % size)
        buffers.push_back(total % size);
    return buffers;
}

Samples generate(ProgramSound &sound, const std::vector<std::uint32_t> &buffers, ToneFill fill)
{
    std::uint32_t total = 0;
    for (std::uint32_t frames : buffers)
        total += frames;
    Samples out(2 * std::size_t(total) + 2, 0x5A5A);
    std::size_t at = 0;
    for (std::uint32_t frames : buffers) {
        sound.fill(out.data() + at, frames, fill);
        at += 2 * std::size_t(frames);
    }
    if (out[2 * total] != 0x5A5A || out[2 * total + 1] != 0x5A5A)
        return {}; // wrote past the end
    out.resize(2 * std::size_t(total));
    return out;
}

QString firstDifference(const Samples &actual, const Samples &expected)
{
    if (actual.size() != expected.size())
        return QString("%1 samples, expected %2").arg(actual.size()).arg(expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i])
            return QString("sample %1 (frame %2, %3): %4, expected %5")
                .arg(i).arg(i / 2).arg(i % 2 ? "right" : "left").arg(actual[i]).arg(expected[i]);
    }
    return {};
}

ProgramMotion motion(std::vector<BeatStep> steps, BackgroundNoise noise = {})
{
    return ProgramMotion{std::move(steps), noise};
}

double rms(const Samples &samples, int channel)
{
    double sum = 0.0;
    for (std::size_t i = channel; i < samples.size(); i += 2)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(samples.size() / 2));
}

} // namespace

class ProgramSoundTest : public QObject
{
    Q_OBJECT

private slots:
    // A program with neither steps nor noise is the plain generator, bit for bit and phase for
    // phase, whatever the buffers.
    void stillProgramIsThePlainGenerator()
    {
        for (std::uint32_t size : {88200u, 3001u, 4410u}) {
            BeatToneState start{1.5f, 0.25f, 0.0f, 0.0f};
            BeatToneState plain = start;
            BeatToneState moving = start;
            SetBeatFrequencies(plain, 200, 10);
            ProgramSound sound(200, 10, {}, moving);
            Samples expected(2 * 200000);
            std::size_t at = 0;
            for (std::uint32_t frames : buffersOf(size, 200000)) {
                FillBeatBuffer(plain, expected.data() + at, frames * 4);
                at += 2 * std::size_t(frames);
            }
            QCOMPARE(firstDifference(generate(sound, buffersOf(size, 200000), ToneFill::Fast), expected), QString());
            QCOMPARE(std::bit_cast<std::uint32_t>(moving.phaseRight), std::bit_cast<std::uint32_t>(plain.phaseRight));
        }
    }

    // Whole programs, through the fast and the scalar tone fill, in playback's two-second
    // buffers and in buffers whose ends fall inside a tenth of a second, bit for bit what the
    // reference gives.
    void matchesTheReference_data()
    {
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("beat");
        QTest::addColumn<ProgramMotion>("plan");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<ToneFill>("fill");
        QTest::addColumn<std::uint32_t>("bufferFrames");
        struct Case
        {
            const char *name;
            int base;
            int beat;
            ProgramMotion plan;
            int minutes;
        };
        const Case cases[] = {
            {"ramp down, then held", 200, 14, motion({{10, 1}, {6, 1}, {4, 1}}), 4},
            {"ramp up through decimals", 180, 4, motion({{7.5, 1}, {12.25, 2}}), 3},
            {"beat below zero", 150, 2, motion({{-3.125, 1}}), 2},
            {"white noise", 200, 10, motion({}, {NoiseColour::White, -12}), 1},
            {"pink noise", 200, 10, motion({}, {NoiseColour::Pink, -24}), 2},
            {"brown noise at the loudest", 120, 3, motion({}, {NoiseColour::Brown, -12}), 2},
            {"ramp under pink noise", 200, 14, motion({{10, 1}, {6, 1}}, {NoiseColour::Pink, -30}), 3},
        };
        for (const Case &c : cases) {
            for (ToneFill fill : {ToneFill::Fast, ToneFill::Scalar}) {
                // The scalar fill in playback's buffers only: the buffers' ends are the fast fill's
                // matter, and the sanitizer builds are slow.
                for (std::uint32_t frames : {88200u, 3001u}) {
                    if (fill == ToneFill::Scalar && frames != 88200u)
                        continue;
                    QTest::addRow("%s, %s fill, buffers of %u", c.name, fill == ToneFill::Fast ? "fast" : "scalar",
                                  frames)
                        << c.base << c.beat << c.plan << c.minutes << fill << frames;
                }
            }
        }
    }
    void matchesTheReference()
    {
        QFETCH(int, base);
        QFETCH(int, beat);
        QFETCH(ProgramMotion, plan);
        QFETCH(int, minutes);
        QFETCH(ToneFill, fill);
        QFETCH(std::uint32_t, bufferFrames);
        const auto total = std::uint32_t(minutes * 60 * 44100);
        const std::vector<std::uint32_t> buffers = buffersOf(bufferFrames, total);
        // From a state a playback could have left, not only the zero one.
        const BeatToneState start{2.75f, 6.0f, 0.0f, 0.0f};
        BeatToneState tones = start;
        ProgramSound sound(base, beat, plan, tones);
        ReferenceProgram reference(base, beat, plan, start);
        QCOMPARE(firstDifference(generate(sound, buffers, fill), reference.play(buffers)), QString());
        QCOMPARE(sound.framesDone(), std::int64_t(total));
    }

    // Made on two threads, block by block, a program is what one fill after another makes.
    void twoThreadsFillAsOne_data()
    {
        QTest::addColumn<ProgramMotion>("plan");
        QTest::newRow("still") << ProgramMotion{};
        QTest::newRow("steps") << motion({{10, 1}, {6.5, 1}});
        QTest::newRow("noise") << motion({}, {NoiseColour::Brown, -20});
        QTest::newRow("steps and noise") << motion({{10, 1}}, {NoiseColour::Pink, -24});
    }
    void twoThreadsFillAsOne()
    {
        QFETCH(ProgramMotion, plan);
        BeatToneState one;
        BeatToneState two;
        ProgramSound single(200, 14, plan, one);
        ProgramSound parallel(200, 14, plan, two);
        const std::vector<std::uint32_t> fills(3 * 5, 88200);
        const Samples expected = generate(single, fills, ToneFill::Fast);
        Samples actual(expected.size());
        for (int block = 0; block < 3; ++block)
            parallel.fillOnTwoThreads(actual.data() + std::size_t(block) * 5 * 2 * 88200, 5, 88200);
        QCOMPARE(firstDifference(actual, expected), QString());
        QCOMPARE(std::bit_cast<std::uint32_t>(two.phaseRight), std::bit_cast<std::uint32_t>(one.phaseRight));
        QCOMPARE(parallel.framesDone(), single.framesDone());
        // And they go on alike.
        Samples a(2 * 1000), b(2 * 1000);
        single.fill(a.data(), 1000);
        parallel.fill(b.data(), 1000);
        QVERIFY(a == b);
    }

    // The beat arrives at each step's value at the end of its minutes and holds after the last.
    void beatFollowsTheSteps_data()
    {
        QTest::addColumn<double>("minute");
        QTest::addColumn<double>("beat");
        QTest::newRow("start") << 0.0 << 14.0;
        QTest::newRow("half way to the first") << 2.5 << 12.0;
        QTest::newRow("first reached") << 5.0 << 10.0;
        QTest::newRow("inside the second") << 10.0 << 8.0;
        QTest::newRow("last reached") << 30.0 << 4.0;
        QTest::newRow("held after the plan") << 55.0 << 4.0;
    }
    void beatFollowsTheSteps()
    {
        QFETCH(double, minute);
        QFETCH(double, beat);
        const std::vector<BeatStep> steps{{10, 5}, {6, 10}, {4, 15}};
        QCOMPARE(BeatAtFrame(14, steps, std::int64_t(minute * 60 * 44100)), beat);
        QCOMPARE(StepsFrames(steps), std::int64_t(30) * 60 * 44100);
    }

    // Only the right tone moves; a beat that is whole gives the step of the whole-number formula.
    void rampMovesOnlyTheRightTone()
    {
        BeatToneState tones;
        ProgramSound sound(200, 14, motion({{10, 1}}), tones);
        Samples buffer(2 * 88200);
        sound.fill(buffer.data(), 88200);
        QCOMPARE(tones.stepLeft, BeatToneStep(200));
        const double beatAtLastUpdate = 14.0 - 4.0 * (88200.0 - 4410.0) / (60.0 * 44100.0);
        QCOMPARE(tones.stepRight, BeatToneStepOf(200.0 + beatAtLastUpdate));
        QCOMPARE(BeatToneStepOf(210.0), BeatToneStep(210));
        for (int i = 0; i < 29; ++i)
            sound.fill(buffer.data(), 88200);
        sound.fill(buffer.data(), 1);
        QCOMPARE(tones.stepRight, BeatToneStep(210));
    }

    // The noise is at the level asked for, the same in both ears, the same on every run, and
    // tone plus noise stays within 16 bits: on silent tones (base and beat 0 from the zero
    // state) the samples are the noise alone.
    void noiseLevelAndBounds_data()
    {
        QTest::addColumn<int>("colour");
        QTest::addColumn<int>("level");
        for (auto [name, colour] : {std::pair{"white", NoiseColour::White}, std::pair{"pink", NoiseColour::Pink},
                                    std::pair{"brown", NoiseColour::Brown}}) {
            for (int level : {-60, -24, -12})
                QTest::addRow("%s at %d dB", name, level) << int(colour) << level;
        }
    }
    void noiseLevelAndBounds()
    {
        QFETCH(int, colour);
        QFETCH(int, level);
        const ProgramMotion plan = motion({}, {NoiseColour(colour), level});
        BeatToneState silent;
        ProgramSound noise(0, 0, plan, silent);
        const Samples alone = generate(noise, buffersOf(88200, 60 * 44100), ToneFill::Fast);
        const double measuredDb = 20.0 * std::log10(rms(alone, 0) / 32768.0);
        // Pink and brown noise at the loudest are held at half scale in their rarer peaks, and
        // come out a little quieter.
        const double tolerance = NoiseColour(colour) != NoiseColour::White && level == -12 ? 1.0 : 0.25;
        QVERIFY2(std::abs(measuredDb - level) < tolerance, qPrintable(QString::number(measuredDb)));
        for (std::size_t i = 0; i < alone.size(); i += 2) {
            QCOMPARE(alone[i + 1], alone[i]);
            QVERIFY(std::abs(alone[i]) <= kNoisePeak);
        }

        // Under full tones: every sample is tone plus noise, never wrapped.
        BeatToneState plainTones;
        SetBeatFrequencies(plainTones, 200, 10);
        BeatToneState tones;
        ProgramSound loud(200, 10, plan, tones);
        const Samples mixed = generate(loud, buffersOf(88200, 60 * 44100), ToneFill::Fast);
        Samples pure(mixed.size());
        for (std::size_t at = 0; at < pure.size(); at += 2 * 88200)
            FillBeatBuffer(plainTones, pure.data() + at, 88200 * 4);
        for (std::size_t i = 0; i < mixed.size(); ++i)
            QCOMPARE(int(mixed[i]), int(pure[i]) + int(alone[i]));

        BeatToneState again;
        ProgramSound repeated(200, 10, plan, again);
        QVERIFY(generate(repeated, buffersOf(88200, 60 * 44100), ToneFill::Fast) == mixed);
    }

    // Pink and brown noise lean towards the low end: their neighbouring samples are alike,
    // white noise's are not.
    void noiseColoursDiffer()
    {
        const auto correlation = [](NoiseColour colour) {
            BeatToneState silent;
            ProgramSound noise(0, 0, motion({}, {colour, -24}), silent);
            const Samples s = generate(noise, {441000}, ToneFill::Fast);
            double same = 0.0;
            double power = 0.0;
            for (std::size_t i = 2; i < s.size(); i += 2) {
                same += double(s[i]) * s[i - 2];
                power += double(s[i]) * s[i];
            }
            return same / power;
        };
        QVERIFY(std::abs(correlation(NoiseColour::White)) < 0.01);
        QVERIFY(correlation(NoiseColour::Pink) > 0.5);
        QVERIFY(correlation(NoiseColour::Brown) > correlation(NoiseColour::Pink));
    }
};

QTEST_GUILESS_MAIN(ProgramSoundTest)
#include "tst_programsound.moc"
