#include "BeatDlg.h"
#include "BeatTone.h"
#include "FileBytes.h"
#include "MessageBox.h"
#include "ProgramMotion.h"
#include "PulseWaveOut.h"
#include "ReferenceProgram.h"
#include "SoundServer.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

// Plays through the test run's private sound server and records what reached its null sink.

namespace {

constexpr int kRate = 44100;
constexpr int kBufferFrames = 88200;

struct Frame
{
    std::int16_t left;
    std::int16_t right;
    bool operator==(const Frame &) const = default;
    bool silent() const { return left == 0 && right == 0; }
};

// The generator's output as the stream fills it: buffer by buffer, the phases going back to
// single precision between buffers.
std::vector<Frame> generate(BeatToneState state, int buffers)
{
    std::vector<Frame> out(qsizetype(buffers) * kBufferFrames);
    for (int b = 0; b < buffers; ++b)
        FillBeatBuffer(state, reinterpret_cast<std::int16_t *>(out.data() + b * kBufferFrames), kBufferFrames * 4);
    return out;
}

// The sink's monitor, recorded as it plays.
class Recorder : public QObject
{
public:
    bool start()
    {
        connect(&m_process, &QProcess::readyReadStandardOutput, this,
                [this] { m_bytes += m_process.readAllStandardOutput(); });
        m_process.start("parec", {"--raw", "--format=s16le", "--rate=44100", "--channels=2",
                                  "--latency-msec=20", "--device=@DEFAULT_MONITOR@"});
        return m_process.waitForStarted(10000);
    }
    void stop()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    ~Recorder() override { stop(); }

    qsizetype frameCount() const { return m_bytes.size() / 4; }
    Frame at(qsizetype i) const
    {
        Frame f;
        std::memcpy(&f, m_bytes.constData() + 4 * i, 4);
        return f;
    }
    // The first frame at or after `from` that is not silence; -1 if none.
    qsizetype firstSound(qsizetype from) const
    {
        for (qsizetype i = from; i < frameCount(); ++i) {
            if (!at(i).silent())
                return i;
        }
        return -1;
    }
    // How many frames from `at` on equal `expected` from `offset` on.
    qsizetype matching(qsizetype start, const std::vector<Frame> &expected, qsizetype offset) const
    {
        qsizetype n = 0;
        while (start + n < frameCount() && offset + n < qsizetype(expected.size())
               && at(start + n) == expected[offset + n])
            ++n;
        return n;
    }

private:
    QProcess m_process;
    QByteArray m_bytes;
};

// The playback streams on the sound server: Tonewell's, as nothing else plays there.
int tonewellStreams()
{
    QProcess pactl;
    pactl.start("pactl", {"list", "short", "sink-inputs"});
    if (!pactl.waitForFinished(10000))
        return -1;
    return pactl.readAllStandardOutput().count('\n');
}

// Whether the sound server that PULSE_SERVER names answers.
bool soundServerAnswers()
{
    QProcess pactl;
    pactl.start("pactl", {"info"});
    return pactl.waitForFinished(10000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

} // namespace

class PlaybackTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER") || !soundServerAnswers())
            QSKIP("needs the test run's private sound server (PULSE_SERVER) to answer");
        MessageBox::setHandler([](const MessageBox::Request &request) {
            qWarning("unexpected message: %s", qPrintable(request.text));
            return QMessageBox::Ok;
        });
    }

    void playStopPlayRecordsTheGeneratorBitForBit()
    {
        QTemporaryDir dir;
        QVERIFY(!saveFileAtomically(dir.filePath("data.dat"), QByteArray("Alpha 10 Hz;A test program.;200;10;\n")));
        CBeatDlg dialog(QStringList{dir.path()}, std::make_unique<PulseWaveOut>("Tonewell"));
        auto *play = dialog.findChild<QPushButton *>("play");

        Recorder recorder;
        QVERIFY(recorder.start());
        QTRY_VERIFY_WITH_TIMEOUT(recorder.frameCount() > kRate / 10, 10000);

        // The process-wide generator has not played yet: the first playback starts from zero.
        QCOMPARE(beatToneState().phaseLeft, 0.0f);
        BeatToneState zero;
        SetBeatFrequencies(zero, 200, 10);
        const std::vector<Frame> expectedFirst = generate(zero, 5);

        // Long enough to cross two buffer boundaries, one of them into a refilled buffer.
        const qsizetype firstLength = 9 * kRate / 2;
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(play, Qt::LeftButton);
        QTRY_COMPARE(play->text(), QString("Stop"));
        qsizetype start1 = -1;
        QTRY_VERIFY_WITH_TIMEOUT((start1 = recorder.firstSound(0)) >= 0
                                     && recorder.matching(start1, expectedFirst, 1) >= firstLength,
                                 30000);
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(play->text(), QString("Play"));
        // The stream closes off the window's thread; once it has left the server, no fill runs.
        // The time played counts to then, since a busy machine can start that thread late.
        QTRY_VERIFY_WITH_TIMEOUT(tonewellStreams() == 0, 10000);
        const qint64 playedMs = clock.elapsed();
        const BeatToneState afterFirst = beatToneState();

        qsizetype mark = recorder.frameCount();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.frameCount() > mark + kRate / 2, 10000);

        BeatToneState resumed = afterFirst;
        SetBeatFrequencies(resumed, 200, 10);
        const std::vector<Frame> expectedSecond = generate(resumed, 2);
        const qsizetype end1 = start1 + recorder.matching(start1, expectedFirst, 1);
        QTest::mouseClick(play, Qt::LeftButton);
        qsizetype start2 = -1;
        QTRY_VERIFY_WITH_TIMEOUT((start2 = recorder.firstSound(end1)) >= 0
                                     && recorder.matching(start2, expectedSecond, 0) >= kRate / 2,
                                 30000);
        QTest::mouseClick(play, Qt::LeftButton);
        mark = recorder.frameCount();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.frameCount() > mark + kRate / 2, 10000);
        recorder.stop();

        // First playback: the generator's output from the zero state, without gap or repeat,
        // then nothing but silence once Stop has returned.
        const qsizetype length1 = recorder.matching(start1, expectedFirst, 1);
        QVERIFY(length1 >= firstLength);
        QVERIFY2(recorder.firstSound(start1 + length1) == start2, "sound after the first Stop");
        QVERIFY2(length1 <= (playedMs + 100) * kRate / 1000,
                 qPrintable(QString("%1 frames reached the server in %2 ms").arg(length1).arg(playedMs)));

        // The second playback continues where the last filled buffer ended: the generator's
        // state after whole buffers from the zero state, and more than the two primed ones.
        int buffersFilled = 0;
        BeatToneState walk = zero;
        std::vector<std::int16_t> scratch(2 * kBufferFrames);
        for (int k = 1; k <= 20 && !buffersFilled; ++k) {
            FillBeatBuffer(walk, scratch.data(), kBufferFrames * 4);
            if (walk.phaseLeft == afterFirst.phaseLeft && walk.phaseRight == afterFirst.phaseRight)
                buffersFilled = k;
        }
        QVERIFY2(buffersFilled >= 3, qPrintable(QString("after %1 buffers").arg(buffersFilled)));

        const qsizetype length2 = recorder.matching(start2, expectedSecond, 0);
        QVERIFY(length2 >= kRate / 2);
        QCOMPARE(recorder.firstSound(start2 + length2), qsizetype(-1));
        QVERIFY(recorder.frameCount() - (start2 + length2) >= kRate / 2 - kRate / 10);
    }

    // A program whose beat slides and that has a noise under it reaches the server as the
    // reference works it out, from where the process-wide tones stand, across buffer ends and
    // many changes of the beat, without a gap.
    void movingProgramRecordsTheReferenceBitForBit()
    {
        QTemporaryDir dir;
        QVERIFY(!saveFileAtomically(dir.filePath("data.dat"), QByteArray("Wind down;A test program.;200;14;steps=4@1;noise=pink@-30;\n")));
        CBeatDlg dialog(QStringList{dir.path()}, std::make_unique<PulseWaveOut>("Tonewell"));
        auto *play = dialog.findChild<QPushButton *>("play");

        Recorder recorder;
        QVERIFY(recorder.start());
        QTRY_VERIFY_WITH_TIMEOUT(recorder.frameCount() > kRate / 10, 10000);
        const ProgramMotion motion{{{4.0, 1}}, {NoiseColour::Pink, -30}};
        const Samples samples = ReferenceProgram(200, 14, motion, beatToneState()).play({88200, 88200, 88200});
        std::vector<Frame> expected(samples.size() / 2);
        std::memcpy(expected.data(), samples.data(), samples.size() * sizeof(std::int16_t));

        const qsizetype length = 9 * kRate / 2;
        QTest::mouseClick(play, Qt::LeftButton);
        QTRY_COMPARE(play->text(), QString("Stop"));
        qsizetype start = -1;
        QTRY_VERIFY_WITH_TIMEOUT((start = recorder.firstSound(0)) >= 0 && recorder.matching(start, expected, 0) >= length,
                                 30000);
        QTest::mouseClick(play, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(tonewellStreams() == 0, 10000);
        recorder.stop();
        QVERIFY(recorder.matching(start, expected, 0) >= length);
    }
};

QTEST_MAIN(PlaybackTest)
#include "tst_playback.moc"
