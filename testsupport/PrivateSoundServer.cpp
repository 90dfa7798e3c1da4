#include "PrivateSoundServer.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QTest>

#include <csignal>

PrivateSoundServer::~PrivateSoundServer()
{
    kill();
}

bool PrivateSoundServer::start()
{
    if (!m_dir.isValid())
        return false;
    const QString socket = m_dir.filePath(QStringLiteral("native"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_dir.path());
    QDir(m_dir.path()).mkdir(QStringLiteral("runtime"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("runtime")));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("pulseaudio"),
                    {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                     QStringLiteral("--use-pid-file=false"), QStringLiteral("--disable-shm=yes"),
                     QStringLiteral("--log-level=error"), QStringLiteral("-L"),
                     QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socket),
                     QStringLiteral("-L"),
                     QStringLiteral("module-null-sink sink_name=private_sink format=s16le rate=44100 channels=2")});
    if (!m_process.waitForStarted(10000))
        return false;
    m_address = QStringLiteral("unix:") + socket;
    return QTest::qWaitFor([this] { return answers(m_address); }, 10000);
}

void PrivateSoundServer::freeze()
{
    if (m_process.state() == QProcess::Running)
        ::kill(pid_t(m_process.processId()), SIGSTOP);
}

void PrivateSoundServer::thaw()
{
    if (m_process.state() == QProcess::Running)
        ::kill(pid_t(m_process.processId()), SIGCONT);
}

void PrivateSoundServer::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill(); // SIGKILL ends a stopped process too
    m_process.waitForFinished(5000);
}

bool PrivateSoundServer::answers(const QString &address)
{
    QProcess probe;
    if (!address.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PULSE_SERVER"), address);
        probe.setProcessEnvironment(environment);
    }
    probe.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return probe.waitForFinished(5000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

SoundServerAddress::SoundServerAddress(const QString &address)
    : m_saved(qgetenv("PULSE_SERVER"))
    , m_wasSet(qEnvironmentVariableIsSet("PULSE_SERVER"))
{
    qputenv("PULSE_SERVER", address.toUtf8());
}

SoundServerAddress::~SoundServerAddress()
{
    if (m_wasSet)
        qputenv("PULSE_SERVER", m_saved);
    else
        qunsetenv("PULSE_SERVER");
}
