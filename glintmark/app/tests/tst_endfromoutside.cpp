// Glintmark ended from outside, as a user's session or system ends it: the real program, told to
// stop by TERM, HUP or INT, saves the day's work as leaving does and ends, also while a start-up
// message still waits for an answer that nobody will give. When that save fails, it says so once
// and its exit status tells the one who stopped it. The session it ran in can start it again.

#include "StandInSessionManager.h"
#include "TestFiles.h"
#include "X11Desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <X11/SM/SMlib.h>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 20000;

// A portable Glintmark: the program with its files beside it, in a folder of its own.
struct PortableGlintmark
{
    QTemporaryDir dir;
    QDir folder{dir.path()};
    QByteArray list = readWholeFile(QStringLiteral(GLINTMARK_RES_DIR "/List.txt"));
    QByteArray font = readWholeFile(QStringLiteral(GLINTMARK_RES_DIR "/font.dat"));
    QProcess process;

    // False when the folder could not be made.
    bool prepare(bool withSettings)
    {
        if (!dir.isValid() || !QFile::copy(QStringLiteral(GLINTMARK_EXECUTABLE), folder.filePath("glintmark")))
            return false;
        // Bytes that tick nothing are saved back as 0: the file shows that it was written.
        QByteArray ticks(10000, '\0');
        ticks[0] = 2;
        ticks[1] = 1;
        return writeWholeFile(folder.filePath("List.txt"), list) && writeWholeFile(folder.filePath("check.txt"), ticks)
            && (!withSettings || writeWholeFile(folder.filePath("font.dat"), font));
    }

    // Started from its folder by a relative path, as a user in that folder types it.
    bool start(const QByteArray &sessionManager = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        environment.remove("SESSION_MANAGER");
        if (!sessionManager.isEmpty())
            environment.insert("SESSION_MANAGER", QString::fromLocal8Bit(sessionManager));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder.path());
        process.start(QStringLiteral("./glintmark"), {});
        return process.waitForStarted();
    }

    // Smaller than the library, larger than nothing: the program starts, its save fails.
    void limitFileSizes()
    {
        process.setChildProcessModifier([] {
            const rlimit limit{1000, 1000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
};

} // namespace

class EndFromOutsideTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!X11Desktop::isAvailable())
            QSKIP("needs an X server");
    }

    void savesAndEnds_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("startUpMessage");
        for (const auto &[name, number] : {std::pair{"TERM", SIGTERM}, {"HUP", SIGHUP}, {"INT", SIGINT}})
            QTest::addRow("%s while the window runs", name) << number << false;
        QTest::newRow("TERM while a start-up message waits") << int(SIGTERM) << true;
    }
    void savesAndEnds()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, startUpMessage);

        PortableGlintmark glintmark;
        QVERIFY(glintmark.prepare(!startUpMessage));
        QVERIFY(glintmark.start());

        // The main window, or the message that font.dat was not found.
        const QByteArray waitingWindow = startUpMessage ? "Glintmark" : "Glintmark 2.1";
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::findViewable(waitingWindow) != 0, kTimeoutMs);
        ::kill(pid_t(glintmark.process.processId()), signalNumber);

        QVERIFY(glintmark.process.waitForFinished(kTimeoutMs));
        QCOMPARE(glintmark.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(glintmark.process.exitCode(), 0);
        QCOMPARE(readWholeFile(glintmark.folder.filePath("List.txt")), glintmark.list);
        QByteArray saved(10000, '\0');
        saved[1] = 1;
        QCOMPARE(readWholeFile(glintmark.folder.filePath("check.txt")), saved);
        QCOMPARE(readWholeFile(glintmark.folder.filePath("font.dat")), glintmark.font);
        QCOMPARE(glintmark.process.readAllStandardError().contains("was not found"), false);
    }

    // The files cannot be written when the program is stopped: a folder made read-only, or a
    // limit on the size of the files the process may write (which holds for root too).
    void failedSaveSaysSo_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::addColumn<QByteArray>("message");
        for (const auto &[name, number] : {std::pair{"TERM", SIGTERM}, {"HUP", SIGHUP}, {"INT", SIGINT}})
            QTest::addRow("%s, file-size limit", name) << number << false << QByteArray("List.txt");
        QTest::newRow("TERM, read-only folder") << int(SIGTERM) << true << QByteArray("List.txt was denied.");
    }
    void failedSaveSaysSo()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, readOnlyFolder);
        QFETCH(QByteArray, message);
        if (readOnlyFolder && ::geteuid() == 0)
            QSKIP("root may write into a read-only folder");

        PortableGlintmark glintmark;
        QVERIFY(glintmark.prepare(true));
        const QByteArray ticksBefore = readWholeFile(glintmark.folder.filePath("check.txt"));
        if (readOnlyFolder) {
            QVERIFY(QFile::setPermissions(glintmark.dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        } else {
            glintmark.limitFileSizes();
        }
        QVERIFY(glintmark.start());
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::findViewable("Glintmark 2.1") != 0, kTimeoutMs);
        ::kill(pid_t(glintmark.process.processId()), signalNumber);

        QVERIFY(glintmark.process.waitForFinished(kTimeoutMs));
        if (readOnlyFolder)
            QFile::setPermissions(glintmark.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(glintmark.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(glintmark.process.exitCode(), 1);
        const QByteArray errors = glintmark.process.readAllStandardError();
        QVERIFY2(errors.count(message) == 1, errors.constData());
        // Nothing half-written replaced what was there.
        QCOMPARE(readWholeFile(glintmark.folder.filePath("List.txt")), glintmark.list);
        QCOMPARE(readWholeFile(glintmark.folder.filePath("check.txt")), ticksBefore);
    }

    // The session ends: the program saves when the session manager asks, ends when it is told
    // to die, and leaves the session a command that starts it again from anywhere, and the
    // folder it was started in. A save that fails then says so once and ends with status 1.
    void sessionEnds_data()
    {
        QTest::addColumn<bool>("saveFails");
        QTest::newRow("files written") << false;
        QTest::newRow("files not written") << true;
    }
    void sessionEnds()
    {
        QFETCH(bool, saveFails);
        StandInSessionManager session;
        QVERIFY2(session.start(), qPrintable(session.errorString()));
        PortableGlintmark glintmark;
        QVERIFY(glintmark.prepare(true));
        if (saveFails)
            glintmark.limitFileSizes();
        QVERIFY(glintmark.start(session.address()));
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::findViewable("Glintmark 2.1") != 0, kTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(session.clients().size() == 1 && !session.clients().front().id.isEmpty(), kTimeoutMs);

        session.endSession();
        QTRY_VERIFY_WITH_TIMEOUT(glintmark.process.state() == QProcess::NotRunning, kTimeoutMs);
        QCOMPARE(glintmark.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(glintmark.process.exitCode(), saveFails ? 1 : 0);
        const QByteArray errors = glintmark.process.readAllStandardError();
        QVERIFY2(errors.count("List.txt") == (saveFails ? 1 : 0), errors.constData());

        const StandInSessionManager::Client &client = session.clients().front();
        QVERIFY(client.saveDone);
        const QList<QByteArray> restart = client.properties.value(SmRestartCommand);
        QVERIFY2(restart.size() >= 3, restart.join(' ').constData());
        QCOMPARE(QString::fromLocal8Bit(restart[0]), QFileInfo(glintmark.folder.filePath("glintmark")).canonicalFilePath());
        QCOMPARE(restart[1], QByteArray("-session"));
        QVERIFY2(restart[2].startsWith(client.id), restart[2].constData());
        QCOMPARE(client.properties.value(SmCurrentDirectory),
                 QList<QByteArray>{QFileInfo(glintmark.folder.path()).canonicalFilePath().toLocal8Bit()});
        if (!saveFails)
            QCOMPARE(readWholeFile(glintmark.folder.filePath("List.txt")), glintmark.list);
    }
};

QTEST_GUILESS_MAIN(EndFromOutsideTest)
#include "tst_endfromoutside.moc"
