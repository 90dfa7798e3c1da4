#include "CommandLine.h"
#include "DataLocations.h"
#include "DesktopSession.h"
#include "DisplayText.h"
#include "FileBytes.h"
#include "FileError.h"

#include <QCommandLineParser>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <cerrno>

namespace {

// A command line as main() gets it, from the arguments after the program's name.
class CommandLine
{
public:
    explicit CommandLine(const QStringList &arguments)
    {
        m_bytes.append(QByteArrayLiteral("/usr/bin/tonewell"));
        for (const QString &argument : arguments)
            m_bytes.append(argument.toLocal8Bit());
        for (const QByteArray &argument : m_bytes)
            m_pointers.append(argument.constData());
    }
    int count() const { return int(m_pointers.size()); }
    const char *const *values() const { return m_pointers.data(); }

private:
    QList<QByteArray> m_bytes;
    QList<const char *> m_pointers;
};

} // namespace

class CommonTest : public QObject
{
    Q_OBJECT

private slots:
    // What the application reads for itself leaves the program to start as usual. (The answers
    // to --help, --version and wrong options are tested on the programs themselves.)
    void qtOptionsStartTheProgram_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("none") << QStringList{};
        QTest::newRow("-platform name") << QStringList{"-platform", "xcb"};
        QTest::newRow("--platform name") << QStringList{"--platform", "offscreen"};
        QTest::newRow("-style=name") << QStringList{"-style=fusion"};
        QTest::newRow("session restart") << QStringList{"-session", "10d3f0c2a1", "-name", "tonewell"};
        QTest::newRow("flags") << QStringList{"-reverse", "-sync"};
        QTest::newRow("a file name") << QStringList{"notes.txt"};
    }

    void qtOptionsStartTheProgram()
    {
        QFETCH(QStringList, arguments);
        const CommandLine argv(arguments);
        const auto status = answerCommandLine(argv.count(), argv.values(),
                                              {"Tonewell", "1.0", "Copyright", "A binaural-beat player."});
        QVERIFY(!status.has_value());
    }

    // A program's own options reach its answer, with their values, only when one is given; Qt's
    // options beside them still pass.
    void programOptionsReachTheProgram_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("value");
        QTest::newRow("none of them") << QStringList{"-platform", "xcb"} << false << "";
        QTest::newRow("with a value") << QStringList{"--write", "out.wav", "-style", "fusion"} << true << "out.wav";
        QTest::newRow("a flag alone") << QStringList{"--quiet"} << true << "";
    }
    void programOptionsReachTheProgram()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, answered);
        QFETCH(QString, value);
        const CommandLine argv(arguments);
        CommandLineProgram program{"Tonewell", "1.0", "Copyright", "A binaural-beat player."};
        program.options = {QCommandLineOption("write", "Writes.", "file"), QCommandLineOption("quiet", "Quiet.")};
        QString seenValue, seenName;
        bool hadApplication = false;
        program.answer = [&](const QCommandLineParser &parser, const QString &called) -> std::optional<int> {
            seenValue = parser.value("write");
            seenName = called;
            hadApplication = QCoreApplication::instance() != nullptr;
            return 7;
        };
        const auto status = answerCommandLine(argv.count(), argv.values(), program);
        QCOMPARE(status, answered ? std::optional<int>(7) : std::nullopt);
        QCOMPARE(seenValue, value);
        QCOMPARE(hadApplication, answered);
        QCOMPARE(seenName, answered ? QString("tonewell") : QString());
    }

    // Qt aborts on a desktop platform without a display; any other platform needs none.
    void desktopSessionIsNeededForDesktopPlatforms_data()
    {
        QTest::addColumn<QByteArray>("qpaPlatform");
        QTest::addColumn<QByteArray>("platformArgument");
        QTest::addColumn<QByteArray>("x11Display");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<bool>("displayArgument");
        QTest::addColumn<bool>("lacking");
        QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << false << true;
        QTest::newRow("X11") << QByteArray() << QByteArray() << QByteArray(":0") << QByteArray() << false << false;
        QTest::newRow("Wayland") << QByteArray() << QByteArray() << QByteArray() << QByteArray("wayland-0") << false
                                 << false;
        QTest::newRow("-display") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << true << false;
        QTest::newRow("xcb chosen") << QByteArray("xcb") << QByteArray() << QByteArray() << QByteArray() << false
                                    << true;
        QTest::newRow("wayland-egl chosen") << QByteArray("wayland-egl") << QByteArray() << QByteArray()
                                            << QByteArray() << false << true;
        QTest::newRow("a list of desktop platforms") << QByteArray("wayland;xcb") << QByteArray() << QByteArray()
                                                     << QByteArray() << false << true;
        QTest::newRow("offscreen") << QByteArray("offscreen") << QByteArray() << QByteArray() << QByteArray()
                                   << false << false;
        QTest::newRow("a platform with options") << QByteArray("vnc:size=800x600") << QByteArray() << QByteArray()
                                                 << QByteArray() << false << false;
        QTest::newRow("a list ending in offscreen") << QByteArray("xcb;offscreen") << QByteArray() << QByteArray()
                                                    << QByteArray() << false << false;
        QTest::newRow("-platform offscreen over xcb") << QByteArray("xcb") << QByteArray("offscreen") << QByteArray()
                                                      << QByteArray() << false << false;
        QTest::newRow("-platform xcb over offscreen") << QByteArray("offscreen") << QByteArray("xcb") << QByteArray()
                                                      << QByteArray() << false << true;
    }
    void desktopSessionIsNeededForDesktopPlatforms()
    {
        QFETCH(QByteArray, qpaPlatform);
        QFETCH(QByteArray, platformArgument);
        QFETCH(QByteArray, x11Display);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(bool, displayArgument);
        QFETCH(bool, lacking);
        QCOMPARE(lacksDesktopSession({qpaPlatform, platformArgument, x11Display, waylandDisplay, displayArgument}),
                 lacking);
    }

    void fileErrorNamesCauseAndPath_data()
    {
        QTest::addColumn<int>("errorCode");
        QTest::addColumn<QString>("expected");
        const QString p = QStringLiteral("/home/u/data.dat");
        QTest::newRow("ENOENT") << ENOENT << p + " was not found.";
        QTest::newRow("EACCES") << EACCES << "Access to " + p + " was denied.";
        QTest::newRow("EPERM") << EPERM << "Access to " + p + " was denied.";
        QTest::newRow("EROFS") << EROFS << "Access to " + p + " was denied.";
        QTest::newRow("ENAMETOOLONG") << ENAMETOOLONG << p + " contains an invalid path.";
        QTest::newRow("ENOTDIR") << ENOTDIR << p + " contains an invalid path.";
        QTest::newRow("EISDIR") << EISDIR << p + " contains an invalid path.";
        QTest::newRow("EINVAL") << EINVAL << p + " contains an invalid path.";
        QTest::newRow("EMFILE") << EMFILE << p + " could not be opened because there are too many open files.";
        QTest::newRow("ENFILE") << ENFILE << p + " could not be opened because there are too many open files.";
        QTest::newRow("EBADF") << EBADF << "An invalid file handle was associated with " + p + ".";
        QTest::newRow("ENOSPC") << ENOSPC << "Disk full while accessing " + p + ".";
        QTest::newRow("EDQUOT") << EDQUOT << "Disk full while accessing " + p + ".";
        QTest::newRow("EFBIG, past the file-size limit") << EFBIG << "Disk full while accessing " + p + ".";
        QTest::newRow("EIO") << EIO << "A hardware I/O error was reported while accessing " + p + ".";
        QTest::newRow("EBUSY") << EBUSY << "A sharing violation occurred while accessing " + p + ".";
        QTest::newRow("ETXTBSY") << ETXTBSY << "A sharing violation occurred while accessing " + p + ".";
        QTest::newRow("ENOLCK") << ENOLCK << "A locking violation occurred while accessing " + p + ".";
        QTest::newRow("EDEADLK") << EDEADLK << "A locking violation occurred while accessing " + p + ".";
        QTest::newRow("ECONNRESET") << ECONNRESET << "An unknown error occurred while accessing " + p + ".";
        QTest::newRow("no errno") << 0 << "An unknown error occurred while accessing " + p + ".";
    }
    void fileErrorNamesCauseAndPath()
    {
        QFETCH(int, errorCode);
        QFETCH(QString, expected);
        QCOMPARE((FileError{errorCode, QStringLiteral("/home/u/data.dat")}.message()), expected);
    }

    void readFileBytesReportsTheCause()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("data.dat");
        FileBytes file = readFileBytes(path);
        QVERIFY(file.error);
        QCOMPARE(file.error->errorCode, ENOENT);
        QCOMPARE(file.error->path, path);

        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        const QByteArray big(200000, 'x');
        out.write(big);
        out.close();
        file = readFileBytes(path);
        QVERIFY(!file.error);
        QCOMPARE(file.bytes, big);

        file = readFileBytes(dir.path());
        QVERIFY(file.error);
        QCOMPARE(file.error->errorCode, EISDIR);
    }

    // A file saved in pieces: all of them in order, or, when the producer gives up or the disk
    // refuses a piece, the previous file as it was and no temporary file beside it.
    void streamedSaveIsWholeOrNothing_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("every piece written") << "saved";
        QTest::newRow("producer gives up") << "abandoned";
        QTest::newRow("past the file-size limit") << "failed";
    }
    void streamedSaveIsWholeOrNothing()
    {
        QFETCH(QString, ending);
        QTemporaryDir dir;
        const QString path = dir.filePath("export.wav");
        QVERIFY(!saveFileAtomically(path, QByteArray("old")));

        const QByteArray piece(100000, 'p');
        rlimit previousLimit{};
        getrlimit(RLIMIT_FSIZE, &previousLimit);
        if (ending == "failed") {
            failSavesPastTheFileSizeLimit();
            rlimit limit = previousLimit;
            limit.rlim_cur = 250000;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        }
        int piecesAccepted = 0;
        const StreamedSave save = saveFileAtomically(path, [&](const SaveWriter &write) {
            for (int i = 0; i < 5; ++i) {
                if (ending == "abandoned" && i == 3)
                    return false;
                if (!write(piece.constData(), piece.size()))
                    return false;
                ++piecesAccepted;
            }
            return true;
        });
        setrlimit(RLIMIT_FSIZE, &previousLimit);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (ending == "saved") {
            QVERIFY(!save.abandoned);
            QVERIFY(!save.error);
            QCOMPARE(file.readAll(), piece.repeated(5));
        } else {
            QCOMPARE(save.abandoned, ending == "abandoned");
            QCOMPARE(save.error.has_value(), ending == "failed");
            if (save.error) {
                QCOMPARE(save.error->errorCode, EFBIG);
                QCOMPARE(save.error->path, path);
                QCOMPARE(piecesAccepted, 2);
            }
            QCOMPARE(file.readAll(), QByteArray("old"));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"export.wav"});
    }

    void displayTextDecodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ascii") << QByteArray("Alpha 10 Hz") << QStringLiteral("Alpha 10 Hz");
        QTest::newRow("utf-8") << QByteArray("Ca\xc3\xb1on \xe2\x80\x93 calm") << QStringLiteral(u"Cañon – calm");
        QTest::newRow("windows-1252 high") << QByteArray("\x93Relax\x94 \x80 \x85") << QStringLiteral(u"“Relax” € …");
        QTest::newRow("latin-1 range") << QByteArray("Caf\xe9") << QStringLiteral(u"Café");
        QTest::newRow("unassigned 1252 byte") << QByteArray("a\x81") << QStringLiteral(u"a\u0081");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void displayTextDecodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(displayText(bytes), expected);
    }

    // Entries show the start of a long text, decoded as the whole text decodes, never half a
    // character.
    void entryTextShowsTheStart_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QString ellipsis(QChar(0x2026));
        const qsizetype limit = kEntryTextLimit;
        QTest::newRow("short") << QByteArray("I am calm.") << QStringLiteral("I am calm.");
        QTest::newRow("as long as the limit") << QByteArray(limit, 'a') << QString(limit, u'a');
        QTest::newRow("one past the limit") << QByteArray(limit + 1, 'a') << QString(limit - 1, u'a') + ellipsis;
        QTest::newRow("utf-8, two bytes a character, across pieces")
            << QByteArray("\xc3\xa9").repeated(70000) << QString(limit - 1, u'\u00e9') + ellipsis;
        QTest::newRow("utf-8 in front, a stray byte at the very end")
            << QByteArray("\xc3\xa9").repeated(70000) + "\xe9"
            << QStringLiteral(u"\u00c3\u00a9").repeated(limit / 2).first(limit - 1) + ellipsis;
        QTest::newRow("a character of two halves at the cut")
            << QByteArray(limit - 2, 'a') + QByteArray("\xf0\x9f\x98\x80").repeated(10) << QString(limit - 2, u'a') + ellipsis;
        QTest::newRow("windows-1252") << QByteArray("\x93").repeated(5000) << QString(limit - 1, QChar(0x201C)) + ellipsis;
    }
    void entryTextShowsTheStart()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(entryText(bytes), expected);
    }

    void storedTextIsUtf8()
    {
        QCOMPARE(storedText(QStringLiteral(u"Über")), QByteArray("\xc3\x9c" "ber"));
    }

    void findDataFileTakesFirstFolderHoldingIt()
    {
        QTemporaryDir a, b, c;
        const QStringList folders{a.path(), b.path(), c.path()};
        QCOMPARE(findDataFile(folders, "data.dat"), c.path() + "/data.dat");

        for (const QString &dir : {b.path(), c.path()}) {
            QFile f(dir + "/data.dat");
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(findDataFile(folders, "data.dat"), b.path() + "/data.dat");
    }

    void dataFoldersStartBesideTheExecutable()
    {
        const QStringList folders = dataFolders("tonewell");
        QCOMPARE(folders.size(), 3);
        QCOMPARE(folders.first(), QCoreApplication::applicationDirPath());
        QVERIFY(folders.at(1).endsWith("/tonewell"));
        QVERIFY2(folders.last().endsWith("/" INSTALL_DATADIR "/tonewell"), qPrintable(folders.last()));
    }
};

QTEST_GUILESS_MAIN(CommonTest)
#include "tst_common.moc"
