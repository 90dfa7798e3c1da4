// tonewell --export, run as a user without a display would run it: the file it writes, frame by
// frame against the generator, and what it says and returns when it cannot.

#include "BeatTone.h"
#include "Catalogue.h"
#include "DisplayText.h"
#include "FadeOut.h"
#include "FileBytes.h"
#include "WavExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// As on a terminal without a desktop.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

QProcess *startTonewell(const QStringList &arguments)
{
    auto *process = new QProcess;
    process->setProcessEnvironment(withoutDisplay());
    process->start(QStringLiteral(TONEWELL_PROGRAM), arguments);
    return process;
}

Run runTonewell(const QStringList &arguments)
{
    std::unique_ptr<QProcess> process(startTonewell(arguments));
    Run run;
    if (!process->waitForFinished(120000) || process->exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process->exitCode();
    run.out = process->readAllStandardOutput();
    run.err = process->readAllStandardError();
    return run;
}

// The catalogue the program reads: the one beside it.
int shippedCatalogue(CBeatProgramTable &programs)
{
    const FileBytes file = readFileBytes(QStringLiteral(TONEWELL_CATALOGUE));
    return file.error ? 0 : ParseCatalogue(file.bytes, programs);
}

// Whether a pseudo-terminal pair can be made, as script(1) needs: a chroot or container may
// have /dev/ptmx without the /dev/pts its other ends live in.
bool pseudoTerminalsWork()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return false;
    const char *name = grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : nullptr;
    const int slave = name ? open(name, O_RDWR | O_NOCTTY) : -1;
    if (slave >= 0)
        close(slave);
    close(master);
    return slave >= 0;
}

} // namespace

class ExportCommandTest : public QObject
{
    Q_OBJECT

    CBeatProgramTable m_programs;
    int m_count = 0;

private slots:
    void initTestCase()
    {
        m_count = shippedCatalogue(m_programs);
        QVERIFY(m_count >= 3);
    }

    void writesTheGeneratorBitForBit_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("program");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<bool>("fade");
        QTest::newRow("defaults: the first program, 20 minutes") << QStringList{} << 0 << 20 << false;
        QTest::newRow("a named program, one minute, faded")
            << QStringList{"--program", displayText(m_programs[2].m_strName), "--minutes", "1", "--fade-out"} << 2
            << 1 << true;
        QTest::newRow("options in another order")
            << QStringList{"--fade-out", "--minutes", "3", "--program", displayText(m_programs[1].m_strName)} << 1
            << 3 << true;
    }
    void writesTheGeneratorBitForBit()
    {
        QFETCH(QStringList, options);
        QFETCH(int, program);
        QFETCH(int, minutes);
        QFETCH(bool, fade);
        QTemporaryDir dir;
        const QString path = dir.filePath("program.wav");
        const Run run = runTonewell(QStringList{"--export", path} + options);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err, QByteArray()); // standard error is no terminal here: no progress

        const std::int64_t frames = std::int64_t(minutes) * 60 * 44100;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.size(), 44 + frames * 4);
        const QByteArray header = file.read(44);
        QCOMPARE(header.left(4), QByteArray("RIFF"));
        QCOMPARE(header.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(header, WavHeader(frames));

        BeatToneState state;
        SetBeatFrequencies(state, m_programs[program].m_nBaseHz, m_programs[program].m_nBeatHz);
        const std::uint32_t block = 2 * 44100;
        std::vector<std::int16_t> expected(2 * std::size_t(block));
        for (std::int64_t done = 0; done < frames; done += block) {
            const auto n = std::uint32_t(std::min<std::int64_t>(block, frames - done));
            FillBeatBuffer(state, expected.data(), n * 4);
            if (fade)
                ApplyFadeOut(expected.data(), n, done, frames);
            const QByteArray written = file.read(qint64(n) * 4);
            if (written.size() != qsizetype(n) * 4 || std::memcmp(written.constData(), expected.data(), n * 4) != 0)
                QFAIL(qPrintable(QString("frames from %1 differ").arg(done)));
        }
        if (fade) {
            file.seek(44 + (frames - 1) * 4);
            QCOMPARE(file.read(4), QByteArray(4, '\0'));
        }
    }

    // On a terminal (here the one script(1) gives it) the progress counts up to 100 %, on one line.
    void progressOnATerminal()
    {
        const QString script = QStandardPaths::findExecutable("script");
        if (script.isEmpty())
            QSKIP("needs script(1) for a terminal");
        if (!pseudoTerminalsWork())
            QSKIP("no pseudo-terminal can be opened here (is /dev/pts mounted?)");
        QTemporaryDir dir;
        const QString command = QString("'%1' --export '%2' --minutes 1").arg(TONEWELL_PROGRAM, dir.filePath("a.wav"));
        QProcess terminal;
        terminal.setProcessEnvironment(withoutDisplay());
        terminal.start(script, {"-qec", command, "/dev/null"});
        QVERIFY(terminal.waitForFinished(60000));
        QVERIFY2(terminal.exitCode() == 0, terminal.readAllStandardError().constData());
        const QByteArray shown = terminal.readAllStandardOutput();
        // A minute is 30 fills: about 3 % each.
        QVERIFY2(shown.count("\rExporting to WAV... ") == 30 && shown.contains("\rExporting to WAV... 3%")
                     && shown.contains("\rExporting to WAV... 100%"),
                 shown.right(200).constData());
        QCOMPARE(QFileInfo(dir.filePath("a.wav")).size(), 44 + 60 * 44100 * 4);
    }

    // Nothing is written, and what is wrong is said on standard error.
    void refusesWhatItCannotDo_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown program") << QStringList{"--program", "No such program"} << 2
                                         << "no program named \"No such program\"";
        for (const char *minutes : {"0", "601", "-5", "1.5", "20 ", "abc", ""})
            QTest::newRow(qPrintable(QString("--minutes \"%1\"").arg(minutes)))
                << QStringList{"--minutes", minutes} << 2 << "--minutes takes a whole number from 1 to 600";
        QTest::newRow("406 minutes, more than a WAV file holds")
            << QStringList{"--minutes", "406"} << 1 << "A WAV file holds at most 405 minutes of sound";
        QTest::newRow("600 minutes") << QStringList{"--minutes", "600"} << 1
                                     << "A WAV file holds at most 405 minutes of sound";
    }
    void refusesWhatItCannotDo()
    {
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const Run run = runTonewell(QStringList{"--export", dir.filePath("program.wav")} + options);
        QCOMPARE(run.status, status);
        QVERIFY2(QString::fromLocal8Bit(run.err).contains(message), run.err.constData());
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    void otherFailures()
    {
        // The file-error text, naming the file.
        QTemporaryDir dir;
        const QString missing = dir.filePath("no folder/program.wav");
        Run run = runTonewell({"--export", missing, "--minutes", "1"});
        QCOMPARE(run.status, 1);
        QCOMPARE(QString::fromLocal8Bit(run.err), QString("tonewell: %1 was not found.\n").arg(missing));

        // Export options without --export start no window and write nothing.
        run = runTonewell({"--minutes", "5", "--fade-out"});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("--export"), run.err.constData());

        // --export needs its file.
        run = runTonewell({"--export"});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("Missing value after '--export'"), run.err.constData());
    }

    // Ended from outside half-way, it leaves the earlier file as it was and nothing beside it.
    void terminationKeepsTheEarlierFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("program.wav");
        QVERIFY(saveFileAtomically(path, QByteArray("earlier")) == std::nullopt);
        std::unique_ptr<QProcess> process(startTonewell({"--export", path, "--minutes", "405"}));
        QVERIFY(process->waitForStarted());
        // Writing: it holds a file open in that folder (unnamed until it is complete).
        const auto writing = [&] {
            const QDir fds(QString("/proc/%1/fd").arg(process->processId()));
            for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System)) {
                if (fd.symLinkTarget().startsWith(dir.path() + '/'))
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(writing(), 20000);
        ::kill(pid_t(process->processId()), SIGTERM);
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 128 + SIGTERM);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"program.wav"});
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier"));
    }
};

QTEST_GUILESS_MAIN(ExportCommandTest)
#include "tst_exportcommand.moc"
