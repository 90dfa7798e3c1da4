#include "BeatTone.h"
#include "FadeOut.h"
#include "ReferenceProgram.h"
#include "WavExport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <vector>

Q_DECLARE_METATYPE(ProgramMotion)

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The generator's sound from the zero state, in playback's two-second fills.
std::vector<std::int16_t> generated(const ProgramExport &program)
{
    const std::int64_t total = ProgramFrames(program.minutes);
    std::vector<std::int16_t> samples(2 * std::size_t(total));
    BeatToneState state;
    SetBeatFrequencies(state, program.baseHz, program.beatHz);
    for (std::int64_t done = 0; done < total; done += 88200) {
        const auto frames = static_cast<std::uint32_t>(std::min<std::int64_t>(88200, total - done));
        FillBeatBufferScalar(state, samples.data() + 2 * done, frames * 4);
        if (program.fadeOut)
            ApplyFadeOut(samples.data() + 2 * done, frames, done, total);
    }
    return samples;
}

std::uint32_t le32(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<std::uint32_t>(bytes.constData() + at);
}

std::uint16_t le16(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<std::uint16_t>(bytes.constData() + at);
}

} // namespace

class WavExportTest : public QObject
{
    Q_OBJECT

private slots:
    void headerDescribesStereo16BitAt44100()
    {
        const QByteArray header = WavHeader(ProgramFrames(20));
        QCOMPARE(header.size(), 44);
        const std::uint32_t dataBytes = 20u * 60 * 44100 * 4;
        QCOMPARE(header.mid(0, 4), QByteArray("RIFF"));
        QCOMPARE(le32(header, 4), 36 + dataBytes);
        QCOMPARE(header.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(le32(header, 16), 16u);
        QCOMPARE(le16(header, 20), 1);     // PCM
        QCOMPARE(le16(header, 22), 2);     // channels
        QCOMPARE(le32(header, 24), 44100u);
        QCOMPARE(le32(header, 28), 176400u); // bytes per second
        QCOMPARE(le16(header, 32), 4);     // bytes per frame
        QCOMPARE(le16(header, 34), 16);    // bits per sample
        QCOMPARE(header.mid(36, 4), QByteArray("data"));
        QCOMPARE(le32(header, 40), dataBytes);
        QCOMPARE(le32(WavHeader(ProgramFrames(kLongestWavMinutes)), 4),
                 36 + std::uint32_t(kLongestWavMinutes) * 60 * 44100 * 4);
    }

    // One minute, with and without the fade, bit for bit what the generator makes from the
    // zero state; the playing generator's own state is neither used nor moved.
    void fileIsTheGeneratorsSound_data()
    {
        QTest::addColumn<bool>("fadeOut");
        QTest::newRow("plain") << false;
        QTest::newRow("fade-out") << true;
    }
    void fileIsTheGeneratorsSound()
    {
        QFETCH(bool, fadeOut);
        SetBeatFrequencies(300, 7);
        beatToneState().phaseLeft = 1.25f;
        const BeatToneState playing = beatToneState();

        QTemporaryDir dir;
        const QString path = dir.filePath("theta.wav");
        const ProgramExport program{200, 6, 1, fadeOut, {}};
        std::vector<std::int64_t> reported;
        const ExportOutcome outcome = ExportProgramToWav(path, program, [&](std::int64_t written, std::int64_t total) {
            reported.push_back(written);
            return total == 60 * 44100;
        });
        QCOMPARE(outcome.result, ExportResult::Written);
        QVERIFY(!outcome.error);

        const QByteArray file = readAll(path);
        QCOMPARE(file.size(), 44 + 60 * 44100 * 4);
        QCOMPARE(file.left(44), WavHeader(60 * 44100));
        const std::vector<std::int16_t> expected = generated(program);
        std::vector<std::int16_t> samples(expected.size());
        qFromLittleEndian<std::int16_t>(file.constData() + 44, qsizetype(samples.size()), samples.data());
        QVERIFY(samples == expected);
        if (fadeOut) {
            QCOMPARE(samples[samples.size() - 2], std::int16_t(0));
            QVERIFY(samples != generated({200, 6, 1, false, {}}));
        }
        QCOMPARE(reported.size(), std::size_t(30));
        QCOMPARE(reported.back(), std::int64_t(60 * 44100));
        QCOMPARE(beatToneState().phaseLeft, playing.phaseLeft);
        QCOMPARE(beatToneState().stepLeft, playing.stepLeft);
    }

    // Programs that move are written as the reference works them out, with the fade on top.
    void movingProgramIsTheReference_data()
    {
        QTest::addColumn<ProgramMotion>("motion");
        QTest::addColumn<bool>("fadeOut");
        QTest::newRow("steps") << ProgramMotion{{{10, 1}, {6.5, 1}}, {}} << false;
        QTest::newRow("pink noise, faded") << ProgramMotion{{}, {NoiseColour::Pink, -24}} << true;
        QTest::newRow("steps under brown noise")
            << ProgramMotion{{{4, 1}, {8, 1}}, {NoiseColour::Brown, -18}} << false;
    }
    void movingProgramIsTheReference()
    {
        QFETCH(ProgramMotion, motion);
        QFETCH(bool, fadeOut);
        QTemporaryDir dir;
        const QString path = dir.filePath("moving.wav");
        const ProgramExport program{200, 14, 3, fadeOut, motion};
        QCOMPARE(ExportProgramToWav(path, program).result, ExportResult::Written);
        const QByteArray file = readAll(path);
        const std::int64_t total = ProgramFrames(3);
        QCOMPARE(file.size(), 44 + total * 4);
        std::vector<std::uint32_t> buffers(total / 88200, 88200);
        Samples expected = ReferenceProgram(200, 14, motion).play(buffers);
        if (fadeOut)
            ApplyFadeOut(expected.data(), std::uint32_t(total), 0, total);
        Samples samples(expected.size());
        qFromLittleEndian<std::int16_t>(file.constData() + 44, qsizetype(samples.size()), samples.data());
        QVERIFY(samples == expected);
    }

    // Cancelled part-way: no file where it was to go, the earlier one kept, no temporary left.
    void cancelLeavesNothing_data()
    {
        QTest::addColumn<bool>("earlierFile");
        QTest::newRow("new file") << false;
        QTest::newRow("file already there") << true;
    }
    void cancelLeavesNothing()
    {
        QFETCH(bool, earlierFile);
        QTemporaryDir dir;
        const QString path = dir.filePath("sleep.wav");
        if (earlierFile) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("earlier");
        }
        int calls = 0;
        const ExportOutcome outcome = ExportProgramToWav(path, {100, 4, 2, true, {}}, [&](std::int64_t, std::int64_t) {
            return ++calls < 5;
        });
        QCOMPARE(outcome.result, ExportResult::Cancelled);
        QVERIFY(!outcome.error);
        QCOMPARE(calls, 5);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 earlierFile ? QStringList{"sleep.wav"} : QStringList{});
        if (earlierFile)
            QCOMPARE(readAll(path), QByteArray("earlier"));
    }

    // The file-error texts name the file by its full path. Even root may not create files in
    // sysfs.
    void unwritablePlaceGivesTheFileError_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        const QString missing = QDir::tempPath() + "/no-such-folder-for-tonewell/x.wav";
        QTest::newRow("missing folder") << missing << missing + " was not found.";
        QTest::newRow("folder nobody may write") << "/sys/x.wav" << "Access to /sys/x.wav was denied.";
    }
    void unwritablePlaceGivesTheFileError()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        const ExportOutcome outcome = ExportProgramToWav(path, {200, 10, 1, false, {}});
        QCOMPARE(outcome.result, ExportResult::Failed);
        QVERIFY(outcome.error);
        QCOMPARE(outcome.error->message(), message);
        QVERIFY(!QFile::exists(path));
    }

    // RIFF cannot describe more than 4 GiB of samples, so such a program is refused untouched.
    void programsAWavCannotHoldAreRefused_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::newRow("0 minutes") << 0;
        QTest::newRow("one past the longest") << kLongestWavMinutes + 1;
        QTest::newRow("600 minutes") << 600;
    }
    void programsAWavCannotHoldAreRefused()
    {
        QFETCH(int, minutes);
        QCOMPARE(kLongestWavMinutes, 405);
        QTemporaryDir dir;
        const ExportOutcome outcome = ExportProgramToWav(dir.filePath("long.wav"), {200, 10, minutes, false, {}});
        QCOMPARE(outcome.result, ExportResult::TooLong);
        QVERIFY(QDir(dir.path()).isEmpty(QDir::Files | QDir::Hidden | QDir::System));
    }
};

QTEST_GUILESS_MAIN(WavExportTest)
#include "tst_wavexport.moc"
