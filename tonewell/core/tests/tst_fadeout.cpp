#include "BeatTone.h"
#include "FadeOut.h"

#include <QTest>

#include <cmath>
#include <vector>

class FadeOutTest : public QObject
{
    Q_OBJECT

private slots:
    // A one-minute program: the fade covers its last 441,000 frames.
    void gainAlongTheProgram_data()
    {
        QTest::addColumn<qint64>("frame");
        QTest::addColumn<double>("gain");
        QTest::addColumn<double>("tolerance");
        const qint64 total = 60 * 44100;
        const qint64 start = total - 441000;
        QTest::newRow("first frame") << qint64(0) << 1.0 << 0.0;
        QTest::newRow("last frame before the fade") << start - 1 << 1.0 << 0.0;
        QTest::newRow("first frame of the fade, just below 1") << start << 1.0 - 1.3e-11 << 1e-12;
        QTest::newRow("middle of the fade") << total - 1 - 220500 << 0.5 << 1e-15;
        QTest::newRow("a quarter before the end") << total - 1 - 110250 << 0.5 - 0.5 * std::sqrt(0.5) << 1e-15;
        QTest::newRow("one frame before the last") << total - 2 << 0.5 - 0.5 * std::cos(M_PI / 441000) << 1e-20;
        QTest::newRow("last frame") << total - 1 << 0.0 << 0.0;
        QTest::newRow("after the end") << total << 0.0 << 0.0;
    }
    void gainAlongTheProgram()
    {
        QFETCH(qint64, frame);
        QFETCH(double, gain);
        QFETCH(double, tolerance);
        const double actual = FadeOutGain(frame, 60 * 44100);
        if (!(std::abs(actual - gain) <= tolerance))
            QFAIL(qPrintable(QString("gain %1, expected %2").arg(actual, 0, 'g', 17).arg(gain, 0, 'g', 17)));
    }

    void gainFallsSteadilyToSilence()
    {
        const qint64 total = 2 * 60 * 44100;
        double previous = 1.0;
        for (qint64 frame = total - kFadeOutFrames; frame < total; ++frame) {
            const double gain = FadeOutGain(frame, total);
            if (!(gain <= previous && gain >= 0.0))
                QFAIL(qPrintable(QString("frame %1: %2 after %3").arg(frame).arg(gain).arg(previous)));
            previous = gain;
        }
        QCOMPARE(previous, 0.0);
    }

    // Applied buffer by buffer across the start of the fade: samples before it keep their bits,
    // those in it are the filled ones scaled and truncated toward zero, the last one silent.
    void applyScalesOnlyTheFade()
    {
        const qint64 total = 60 * 44100;
        const qint64 firstFrame = total - kFadeOutFrames - 1000;
        const std::uint32_t frames = 1000 + std::uint32_t(kFadeOutFrames);
        BeatToneState state;
        SetBeatFrequencies(state, 200, 10);
        std::vector<std::int16_t> plain(2 * std::size_t(frames));
        FillBeatBuffer(state, plain.data(), frames * 4);
        std::vector<std::int16_t> faded = plain;
        for (std::uint32_t done = 0; done < frames; done += 88200) {
            const std::uint32_t n = std::min<std::uint32_t>(88200, frames - done);
            ApplyFadeOut(faded.data() + 2 * std::size_t(done), n, firstFrame + done, total);
        }
        for (std::uint32_t k = 0; k < frames; ++k) {
            const double gain = FadeOutGain(firstFrame + k, total);
            for (int ch = 0; ch < 2; ++ch) {
                const std::size_t i = 2 * std::size_t(k) + ch;
                const auto expected = static_cast<std::int16_t>(std::trunc(plain[i] * gain));
                if (faded[i] != expected)
                    QFAIL(qPrintable(QString("frame %1: %2, expected %3").arg(firstFrame + k).arg(faded[i]).arg(expected)));
            }
        }
        QCOMPARE(std::vector<std::int16_t>(faded.begin(), faded.begin() + 2000),
                 std::vector<std::int16_t>(plain.begin(), plain.begin() + 2000));
        QCOMPARE(faded[faded.size() - 2], std::int16_t(0));
        QCOMPARE(faded[faded.size() - 1], std::int16_t(0));
        QVERIFY(plain[plain.size() - 2] != 0 || plain[plain.size() - 1] != 0);
    }
};

QTEST_GUILESS_MAIN(FadeOutTest)
#include "tst_fadeout.moc"
