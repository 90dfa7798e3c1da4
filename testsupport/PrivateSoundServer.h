#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A PulseAudio server of a test's own, with one null sink, which the test can freeze (SIGSTOP),
// thaw and take away, unlike the test run's shared one. Gone, it takes its server with it.
class PrivateSoundServer
{
public:
    PrivateSoundServer() = default;
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;

    // Starts the server and waits until it answers.
    bool start();
    // The server's address for PULSE_SERVER.
    QString address() const { return m_address; }
    // Stops and continues the server's process: frozen, it accepts connections but answers
    // nothing, as a hung server does.
    void freeze();
    void thaw();
    // Ends the server at once, as a crash would.
    void kill();

    // Whether a sound server answers at `address` (the one PULSE_SERVER names when empty).
    static bool answers(const QString &address = {});

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_address;
};

// Points libpulse (PULSE_SERVER) at another server for one scope.
class SoundServerAddress
{
public:
    explicit SoundServerAddress(const QString &address);
    ~SoundServerAddress();
    SoundServerAddress(const SoundServerAddress &) = delete;
    SoundServerAddress &operator=(const SoundServerAddress &) = delete;

private:
    QByteArray m_saved;
    bool m_wasSet;
};
