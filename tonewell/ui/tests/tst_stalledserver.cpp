// Tonewell's window with a sound server of the test's own that hangs (SIGSTOP) or goes away:
// the window says what it waits for and keeps answering, Exit does not wait for the server, and
// a server lost while playing is explained in the window, not in a box.

#include "BeatDlg.h"
#include "MessageBoxRecorder.h"
#include "NamedChild.h"
#include "PrivateSoundServer.h"
#include "PulseWaveOut.h"
#include "TestFiles.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace {

struct Window
{
    Window()
    {
        if (!writeWholeFile(dir.filePath("data.dat"), "Alpha 10 Hz;For a calm, alert state.;200;10;\n"))
            qFatal("cannot write data.dat");
        dialog = std::make_unique<CBeatDlg>(QStringList{dir.path()}, std::make_unique<PulseWaveOut>("Tonewell"));
    }
    template <typename T> T *child(const char *name) const { return namedChild<T>(dialog.get(), name); }
    QPushButton *play() const { return child<QPushButton>("play"); }
    QLabel *status() const { return child<QLabel>("status"); }
    QListWidget *programs() const { return child<QListWidget>("programs"); }

    QTemporaryDir dir;
    std::unique_ptr<CBeatDlg> dialog;
};

} // namespace

class StalledServerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty() || QStandardPaths::findExecutable("pactl").isEmpty())
            QSKIP("needs pulseaudio and pactl to start a sound server of the test's own");
    }
    void init() { m_messages.emplace(); }
    void cleanup() { m_messages.reset(); }

    // Play while the server hangs: Play is held, keeping its text, and the status line says why,
    // as its accessible name, which a screen reader reads. Once the server answers, the sound plays.
    void connectingShowsAndThenPlays()
    {
        PrivateSoundServer server;
        QVERIFY(server.start());
        const SoundServerAddress address(server.address());
        Window w;
        w.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.dialog.get()));
        server.freeze();

        QTest::mouseClick(w.play(), Qt::LeftButton);
        QCOMPARE(w.play()->text(), QString("Play"));
        QVERIFY(!w.play()->isEnabled());
        QVERIFY(!w.programs()->isEnabled());
        QCOMPARE(w.status()->text(), QString(CBeatDlg::kConnectingText));
        QCOMPARE(QAccessible::queryAccessibleInterface(w.status())->text(QAccessible::Name), w.status()->text());
        // The window goes on answering: it paints and takes input while the connect waits.
        QVERIFY(QTest::qWaitForWindowExposed(w.dialog.get()));
        w.dialog->OnPlay();
        QCOMPARE(w.status()->text(), QString(CBeatDlg::kConnectingText));

        server.thaw();
        QTRY_COMPARE_WITH_TIMEOUT(w.play()->text(), QString("Stop"), 10000);
        QVERIFY(w.play()->isEnabled());
        QCOMPARE(w.status()->text(), QString());
        QVERIFY(m_messages->requests().isEmpty());
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QCOMPARE(w.play()->text(), QString("Play"));
    }

    // Exit while the connect waits on a hung server ends the window before the connect's own
    // time-out (5 s) could, and no message comes.
    void exitWhileConnectingEndsAtOnce()
    {
        PrivateSoundServer server;
        QVERIFY(server.start());
        const SoundServerAddress address(server.address());
        Window w;
        w.dialog->show();
        server.freeze();
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QCOMPARE(w.status()->text(), QString(CBeatDlg::kConnectingText));
        QTest::failOnWarning(QRegularExpression("."));
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(w.child<QPushButton>("exit"), Qt::LeftButton);
        const qint64 ms = clock.elapsed();
        QVERIFY(!w.dialog->isVisible());
        QCOMPARE(w.dialog->result(), int(QDialog::Rejected));
        QVERIFY2(ms < 2500, qPrintable(QString("Exit took %1 ms").arg(ms)));
        QVERIFY(m_messages->requests().isEmpty());
    }

    // The server is killed while playing: the window is stopped again and says why, in a line a
    // screen reader reads, without a box.
    void lostServerIsExplained()
    {
        PrivateSoundServer server;
        QVERIFY(server.start());
        const SoundServerAddress address(server.address());
        Window w;
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.play()->text(), QString("Stop"), 10000);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^lost the sound server while playing"));
        server.kill();
        QTRY_COMPARE_WITH_TIMEOUT(w.status()->text(), QString(CBeatDlg::kSoundLostText), 10000);
        QCOMPARE(w.play()->text(), QString("Play"));
        QVERIFY(w.play()->isEnabled());
        QVERIFY(w.programs()->isEnabled());
        QCOMPARE(QAccessible::queryAccessibleInterface(w.status())->text(QAccessible::Name), w.status()->text());
        QVERIFY(m_messages->requests().isEmpty());
    }

private:
    std::optional<MessageBoxRecorder> m_messages;
};

QTEST_MAIN(StalledServerTest)
#include "tst_stalledserver.moc"
