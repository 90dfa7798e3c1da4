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

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
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

// What the file export writes for one minute of the first program, to hold the streams against.
QByteArray exportedFile(const QStringList &options = {})
{
    QTemporaryDir dir;
    const QString path = dir.filePath("program.wav");
    const Run run = runTonewell(QStringList{"--export", path, "--minutes", "1"} + options);
    if (run.status != 0)
        return {};
    return readFileBytes(path).bytes;
}

// A copy of the program beside a catalogue of the given names, each with its own tones.
QString tonewellWithCatalogue(const QTemporaryDir &dir, const QList<QByteArray> &names)
{
    const QString program = dir.filePath("tonewell");
    if (!QFile::copy(QStringLiteral(TONEWELL_PROGRAM), program))
        return {};
    QByteArray catalogue;
    for (qsizetype i = 0; i < names.size(); ++i)
        catalogue += names[i] + ";A program of the test.;" + QByteArray::number(100 + i) + ";4;\n";
    if (saveFileAtomically(dir.filePath("data.dat"), catalogue))
        return {};
    return program;
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

    // "-" is standard output; here a pipe into this test, as into sox or aplay. The bytes are the
    // file's, header first, and the reader gets them while the rest is still being made.
    void writesIntoAPipe_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("-") << "-";
        QTest::newRow("/dev/stdout") << "/dev/stdout";
    }
    void writesIntoAPipe()
    {
        QFETCH(QString, name);
        const QByteArray expected = exportedFile({"--fade-out"});
        QCOMPARE(expected.size(), 44 + 60 * 44100 * 4);
        const Run run = runTonewell({"--export", name, "--minutes", "1", "--fade-out"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QByteArray());
        QVERIFY(run.out == expected);
    }

    // A FIFO read by another process gets the bytes in order and stays a FIFO; nothing appears
    // beside it.
    void writesIntoAFifo()
    {
        const QByteArray expected = exportedFile();
        QTemporaryDir dir;
        const QString fifo = dir.filePath("sound");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QTemporaryDir readerDir;
        QProcess reader;
        reader.setStandardOutputFile(readerDir.filePath("read"));
        reader.start("cat", {fifo});
        QVERIFY(reader.waitForStarted());
        const Run run = runTonewell({"--export", fifo, "--minutes", "1"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QByteArray());
        QVERIFY(reader.waitForFinished(60000));
        QVERIFY(readFileBytes(readerDir.filePath("read")).bytes == expected);
        struct stat status;
        QVERIFY(::stat(QFile::encodeName(fifo).constData(), &status) == 0);
        QVERIFY(S_ISFIFO(status.st_mode));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden), QStringList{"sound"});
    }

    // Character devices are written, never replaced, and their failures name the real cause.
    void writesIntoACharacterDevice_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("/dev/null takes it all") << "/dev/null" << 0 << "";
        QTest::newRow("/dev/full is full") << "/dev/full" << 1 << "tonewell: Disk full while accessing /dev/full.\n";
        QTest::newRow("a copy of /dev/full") << "copy of full" << 1 << "tonewell: Disk full while accessing %1.\n";
    }
    void writesIntoACharacterDevice()
    {
        QFETCH(QString, device);
        QFETCH(int, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        if (!device.startsWith('/')) {
            device = dir.filePath(device);
            if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
                QSKIP("making a device node needs root");
            message = message.arg(device);
        }
        const Run run = runTonewell({"--export", device, "--minutes", "1"});
        QCOMPARE(run.status, status);
        QCOMPARE(QString::fromLocal8Bit(run.err), message);
        struct stat after;
        QVERIFY(::stat(QFile::encodeName(device).constData(), &after) == 0);
        QVERIFY(S_ISCHR(after.st_mode));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(),
                 device.startsWith(dir.path()) ? 1 : 0);
    }

    // A full disk behind standard output is said as such, not as a refusal.
    void standardOutputOnAFullDevice()
    {
        std::unique_ptr<QProcess> process(new QProcess);
        process->setProcessEnvironment(withoutDisplay());
        process->setStandardOutputFile("/dev/full");
        process->start(QStringLiteral(TONEWELL_PROGRAM), {"--export", "-", "--minutes", "1"});
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 1);
        QCOMPARE(process->readAllStandardError(), QByteArray("tonewell: Disk full while accessing standard output.\n"));
    }

    // Sound on a terminal is refused before anything is written: standard output or by name.
    void refusesATerminal_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("standard output") << "-" << "tonewell: Standard output is a terminal";
        QTest::newRow("the terminal by name") << "/dev/tty" << "tonewell: /dev/tty is a terminal";
    }
    void refusesATerminal()
    {
        QFETCH(QString, file);
        QFETCH(QString, message);
        const QString script = QStandardPaths::findExecutable("script");
        if (script.isEmpty())
            QSKIP("needs script(1) for a terminal");
        if (!pseudoTerminalsWork())
            QSKIP("no pseudo-terminal can be opened here (is /dev/pts mounted?)");
        QProcess terminal;
        terminal.setProcessEnvironment(withoutDisplay());
        terminal.start(script, {"-qec", QString("'%1' --export %2 --minutes 1").arg(TONEWELL_PROGRAM, file), "/dev/null"});
        QVERIFY(terminal.waitForFinished(60000));
        QCOMPARE(terminal.exitCode(), 2);
        const QByteArray shown = terminal.readAllStandardOutput();
        QVERIFY2(shown.startsWith(message.toLocal8Bit()) && shown.contains("--export - | aplay"), shown.constData());
        QVERIFY2(!shown.contains("RIFF"), shown.left(200).constData());
    }

    // Names that are no place for a WAV file get a message that says why; nothing is written.
    void refusesUnusableNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "" << 2 << "tonewell: --export needs the name of a file, or - for standard output.\n";
        QTest::newRow("a folder") << "%1" << 2 << "tonewell: %1 is a folder; --export needs the name of a file in it.\n";
        QTest::newRow("a folder's name") << "%1/new/" << 2
                                         << "tonewell: %1/new/ is a folder; --export needs the name of a file in it.\n";
        QTest::newRow("a socket") << "%1/socket" << 1
                                  << "tonewell: %1/socket is neither a regular file, a FIFO nor a character device.\n";
    }
    void refusesUnusableNames()
    {
        QFETCH(QString, file);
        QFETCH(int, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString socketPath = dir.filePath("socket");
        const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path - 1);
        QVERIFY(::bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        const Run run = runTonewell({"--export", file.replace("%1", dir.path()), "--minutes", "1"});
        ::close(socketFd);
        QCOMPARE(run.status, status);
        QCOMPARE(QString::fromLocal8Bit(run.err), message.replace("%1", dir.path()));
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System | QDir::Hidden),
                 QStringList{"socket"});
    }

    // A huge catalogue's names are not all poured onto the terminal: twenty, whole, then how
    // many more; a NUL byte or an escape sequence in a name is shown, not obeyed.
    void unknownProgramListsTwentyNames()
    {
        QTemporaryDir dir;
        QList<QByteArray> names;
        names << QByteArray("Cut\0short", 9) << "Colour \x1b[31mred" << QByteArray(100000, 'w');
        for (int i = 3; i < 45; ++i)
            names << "Program " + QByteArray::number(i);
        const QString program = tonewellWithCatalogue(dir, names);
        QVERIFY(!program.isEmpty());
        QProcess process;
        process.setProcessEnvironment(withoutDisplay());
        process.start(program, {"--export", dir.filePath("a.wav"), "--program", "None\nhere"});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 2);
        QByteArray expected = "tonewell: " + QFile::encodeName(dir.filePath("data.dat"))
                              + " has no program named \"None\\x0ahere\". Its programs:\n"
                                "  Cut\\x00short\n  Colour \\x1b[31mred\n  "
                              + QByteArray(100000, 'w') + '\n';
        for (int i = 3; i < 20; ++i)
            expected += "  Program " + QByteArray::number(i) + '\n';
        expected += "  ... and 25 more.\n";
        QCOMPARE(process.readAllStandardError(), expected);
        QVERIFY(!QFileInfo::exists(dir.filePath("a.wav")));
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
