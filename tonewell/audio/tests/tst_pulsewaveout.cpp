#include "PulseWaveOut.h"
#include "SoundServer.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <mutex>

// Runs against the test run's private sound server (PULSE_SERVER); the lost-server case
// starts and kills one more of its own.

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

// Whether a sound server answers at `address` (the one PULSE_SERVER names when empty).
bool serverAnswers(const QString &address = {})
{
    QProcess probe;
    if (!address.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PULSE_SERVER", address);
        probe.setProcessEnvironment(environment);
    }
    probe.start("pactl", {"info"});
    return probe.waitForFinished(5000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

// A sound server of the test's own, which it can take away.
class PrivateServer
{
public:
    bool start()
    {
        const QString socket = m_dir.filePath("native");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.path());
        QDir(m_dir.path()).mkdir("runtime");
        env.insert("XDG_RUNTIME_DIR", m_dir.filePath("runtime"));
        env.remove("DISPLAY");
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("pulseaudio",
                        {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false", "--disable-shm=yes",
                         "--log-level=error", "-L",
                         QString("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socket), "-L",
                         "module-null-sink sink_name=lost_sink format=s16le rate=44100 channels=2"});
        if (!m_process.waitForStarted(10000))
            return false;
        m_address = "unix:" + socket;
        return QTest::qWaitFor([this] { return serverAnswers(m_address); }, 10000);
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    ~PrivateServer() { kill(); }
    QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_address;
};

// Points libpulse at another server for one scope.
class ServerAddress
{
public:
    explicit ServerAddress(const QString &address)
        : m_saved(qgetenv("PULSE_SERVER"))
    {
        qputenv("PULSE_SERVER", address.toUtf8());
    }
    ~ServerAddress() { qputenv("PULSE_SERVER", m_saved); }

private:
    QByteArray m_saved;
};

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
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER") || !serverAnswers())
            QSKIP("needs the test run's private sound server (PULSE_SERVER) to answer");
    }
    void init() { g_fills = 0; }

    void playsThroughTheServerUnderItsName()
    {
        CSoundServer stream(std::make_unique<PulseWaveOut>("Tonewell"));
        QCOMPARE(stream.Open(&countingFill, kQuickBuffering), 1);
        QVERIFY(g_fills.load() >= 2);
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

    void openFailsWithoutAServer()
    {
        QTemporaryDir dir;
        ServerAddress nowhere("unix:" + dir.filePath("no-server"));
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
        PrivateServer server;
        QVERIFY(server.start());
        ServerAddress address(server.address());
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
};

QTEST_GUILESS_MAIN(PulseWaveOutTest)
#include "tst_pulsewaveout.moc"
