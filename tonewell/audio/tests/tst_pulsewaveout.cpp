#include "PrivateSoundServer.h"
#include "PulseWaveOut.h"
#include "SoundServer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

#include <atomic>
#include <mutex>

// Runs against the test run's private sound server (PULSE_SERVER); the lost-server and the
// frozen-server cases start one more of their own.

namespace {

std::atomic<int> g_fills{0};
void countingFill(std::int16_t *samples, std::uint32_t bytes)
{
    std::fill(samples, samples + bytes / 2, std::int16_t(1000));
    ++g_fills;
}

constexpr std::int32_t kQuickBuffering = 400; // two buffers of 0.2 s: refills come quickly

QString pactl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The category of every message logged while it lives, from any thread; Qt Test still gets
// the messages themselves.
class LoggedCategories
{
public:
    LoggedCategories()
    {
        s_categories.clear();
        s_previous = qInstallMessageHandler(&record);
    }
    ~LoggedCategories() { qInstallMessageHandler(s_previous); }
    QStringList categories() const
    {
        std::lock_guard lock(s_mutex);
        return s_categories;
    }

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        {
            std::lock_guard lock(s_mutex);
            s_categories.append(QString::fromUtf8(context.category));
        }
        s_previous(type, context, message);
    }
    static inline std::mutex s_mutex;
    static inline QStringList s_categories;
    static inline QtMessageHandler s_previous = nullptr;
};

// Fails the running test on any warning but the expected ones.
void expectOnlyTheseWarnings(std::initializer_list<const char *> patterns)
{
    for (const char *pattern : patterns)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QLatin1String(pattern)));
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
}

} // namespace

class PulseWaveOutTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER") || !PrivateSoundServer::answers())
            QSKIP("needs the test run's private sound server (PULSE_SERVER) to answer");
    }
    void init() { g_fills = 0; }

    void playsThroughTheServerUnderItsName()
    {
        auto device = std::make_unique<PulseWaveOut>("Tonewell");
        const PulseWaveOut *pulse = device.get();
        CSoundServer stream(std::move(device));
        QCOMPARE(stream.Open(&countingFill, kQuickBuffering), 1);
        QVERIFY(g_fills.load() >= 2);
        // The server holds as much as was asked for, four seconds, and at least two.
        const PulseWaveOut::ServerBuffer granted = pulse->serverBuffer();
        QVERIFY2(granted.tlength >= 2 * 176400, qPrintable(QString::number(granted.tlength)));
        QCOMPARE(granted.tlength, 4u * 176400);
        const QString inputs = pactl({"list", "sink-inputs"});
        QVERIFY2(inputs.contains("application.name = \"Tonewell\""), qPrintable(inputs));
        QVERIFY(inputs.contains("media.name = \"Tonewell\""));
        QVERIFY(inputs.contains("s16le 2ch 44100Hz"));

        // The server takes the buffers as it plays them, and each one comes back refilled.
        QTRY_VERIFY_WITH_TIMEOUT(g_fills.load() >= 6, 10000);
        stream.Close();
        QVERIFY(!stream.isOpen());
        const int fillsAtClose = g_fills.load();
        QTRY_VERIFY_WITH_TIMEOUT(!pactl({"list", "short", "sink-inputs"}).contains("protocol-native"), 5000);
        QTest::qWait(500); // nothing may come after Close: give a stray refill the chance to show
        QCOMPARE(g_fills.load(), fillsAtClose);

        // The same stream opens again (the server may already have taken a buffer back).
        QCOMPARE(stream.Open(&countingFill, kQuickBuffering), 1);
        QVERIFY(g_fills.load() >= fillsAtClose + 2);
    }

    // The volume is the stream's own at the server: set from any thread while it plays, or
    // before it opens; a change in the mixer reaches the observer, on the device's thread.
    void volumeIsTheStreamsAtTheServer()
    {
        auto device = std::make_unique<PulseWaveOut>("Tonewell");
        PulseWaveOut *pulse = device.get();
        std::mutex seenMutex;
        QList<double> seen;
        pulse->setVolumeObserver([&](double volume) {
            std::lock_guard lock(seenMutex);
            seen.append(volume);
        });
        const auto serverVolume = [] {
            const QRegularExpressionMatch match =
                QRegularExpression("Volume: front-left: (\\d+) ").match(pactl({"list", "sink-inputs"}));
            return match.hasMatch() ? match.captured(1).toInt() : -1;
        };
        pulse->setVolume(0.5);
        CSoundServer stream(std::move(device));
        QCOMPARE(stream.Open(&countingFill, kQuickBuffering), 1);
        QTRY_COMPARE(serverVolume(), 32768);
        std::thread elsewhere([pulse] { pulse->setVolume(0.25); });
        elsewhere.join();
        QTRY_COMPARE(serverVolume(), 16384);
        QCOMPARE(pulse->volume(), 0.25);
        const QString index = pactl({"list", "short", "sink-inputs"}).section('\t', 0, 0);
        pactl({"set-sink-input-volume", index, "75%"});
        QTRY_COMPARE(pulse->volume(), 49152 / 65536.0);
        {
            std::lock_guard lock(seenMutex);
            QCOMPARE(seen, QList<double>{49152 / 65536.0});
        }
        stream.Close();
        pulse->setVolumeObserver({});
    }

    void openFailsWithoutAServer()
    {
        QTemporaryDir dir;
        SoundServerAddress nowhere("unix:" + dir.filePath("no-server"));
        CSoundServer stream(std::make_unique<PulseWaveOut>("Tonewell"));
        const LoggedCategories logged;
        expectOnlyTheseWarnings({"^cannot connect to the sound server: Connection refused$"});
        QCOMPARE(stream.Open(&countingFill, 4000), 0);
        QVERIFY(!stream.isOpen());
        QCOMPARE(g_fills.load(), 0);
        stream.Close();
        QCOMPARE(logged.categories(), QStringList{"tonewell"});
    }

    void serverGoingAwayIsReportedAndCloseStillReturns()
    {
        PrivateSoundServer server;
        QVERIFY(server.start());
        SoundServerAddress address(server.address());
        CSoundServer stream(std::make_unique<PulseWaveOut>("Tonewell"));
        std::atomic<bool> lost{false};
        stream.setDeviceLostHandler([&] { lost = true; });
        QCOMPARE(stream.Open(&countingFill, kQuickBuffering), 1);
        QTRY_VERIFY_WITH_TIMEOUT(g_fills.load() >= 3, 10000);

        // Once, although both the connection and the stream see the server go.
        const LoggedCategories logged;
        expectOnlyTheseWarnings({"^lost the sound server while playing: Connection terminated$",
                                 "^cannot connect to the sound server: Connection refused$"});
        server.kill();
        QTRY_VERIFY_WITH_TIMEOUT(lost.load(), 10000);
        stream.Close();
        QVERIFY(!stream.isOpen());
        QCOMPARE(stream.Open(&countingFill, kQuickBuffering), 0);
        QCOMPARE(logged.categories(), QStringList({"tonewell", "tonewell"}));
    }

    // A frozen server takes the connection and answers nothing: abandon() ends the wait at once,
    // and the device opens no more.
    void abandonEndsAConnectToAFrozenServer()
    {
        PrivateSoundServer server;
        QVERIFY(server.start());
        SoundServerAddress address(server.address());
        server.freeze();
        auto device = std::make_unique<PulseWaveOut>("Tonewell");
        PulseWaveOut *pulse = device.get();
        CSoundServer stream(std::move(device));
        std::atomic<int> result{-1};
        std::thread opener([&] { result = stream.Open(&countingFill, 4000); });
        QTest::qWait(300);
        QCOMPARE(result.load(), -1);
        QElapsedTimer clock;
        clock.start();
        pulse->abandon();
        QTRY_VERIFY_WITH_TIMEOUT(result.load() != -1, 2000);
        const qint64 ms = clock.elapsed();
        opener.join();
        QCOMPARE(result.load(), 0);
        QVERIFY2(ms < 200, qPrintable(QString("%1 ms").arg(ms)));
        QCOMPARE(g_fills.load(), 0);
        server.thaw();
        QCOMPARE(stream.Open(&countingFill, 4000), 0);
    }
};

QTEST_GUILESS_MAIN(PulseWaveOutTest)
#include "tst_pulsewaveout.moc"
