// Glintmark ended from outside, as a user's session or system ends it: the real program, told to
// stop by TERM, HUP or INT, saves the day's work as leaving does and ends, also while a start-up
// message still waits for an answer that nobody will give.

#include "TestFiles.h"
#include "X11Desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

constexpr int kTimeoutMs = 20000;

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

        // A portable Glintmark: the program with its files beside it.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDir folder(dir.path());
        const QString program = folder.filePath("glintmark");
        QVERIFY(QFile::copy(QStringLiteral(GLINTMARK_EXECUTABLE), program));
        const QByteArray list = readWholeFile(QStringLiteral(GLINTMARK_RES_DIR "/List.txt"));
        const QByteArray font = readWholeFile(QStringLiteral(GLINTMARK_RES_DIR "/font.dat"));
        QVERIFY(writeWholeFile(folder.filePath("List.txt"), list));
        // Bytes that tick nothing are saved back as 0: the file shows that it was written.
        QByteArray ticks(10000, '\0');
        ticks[0] = 2;
        ticks[1] = 1;
        QVERIFY(writeWholeFile(folder.filePath("check.txt"), ticks));
        if (!startUpMessage)
            QVERIFY(writeWholeFile(folder.filePath("font.dat"), font));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        QProcess glintmark;
        glintmark.setProcessEnvironment(environment);
        glintmark.start(program, {});
        QVERIFY(glintmark.waitForStarted());

        // The main window, or the message that font.dat was not found.
        const QByteArray waitingWindow = startUpMessage ? "Glintmark" : "Glintmark 2.1";
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::findViewable(waitingWindow) != 0, kTimeoutMs);
        ::kill(pid_t(glintmark.processId()), signalNumber);

        QVERIFY(glintmark.waitForFinished(kTimeoutMs));
        QCOMPARE(glintmark.exitStatus(), QProcess::NormalExit);
        QCOMPARE(glintmark.exitCode(), 0);
        QCOMPARE(readWholeFile(folder.filePath("List.txt")), list);
        QByteArray saved(10000, '\0');
        saved[1] = 1;
        QCOMPARE(readWholeFile(folder.filePath("check.txt")), saved);
        QCOMPARE(readWholeFile(folder.filePath("font.dat")), font);
        QCOMPARE(glintmark.readAllStandardError().contains("was not found"), false);
    }
};

QTEST_GUILESS_MAIN(EndFromOutsideTest)
#include "tst_endfromoutside.moc"
