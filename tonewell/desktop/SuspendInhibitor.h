#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// Keeps the computer from suspending while it is held: through the desktop portal on the
// session bus, or, where no portal answers, through logind on the system bus. The screen may
// still blank. Asking and letting go never wait for the bus; failures are logged.
class SuspendInhibitor : public QObject
{
    Q_OBJECT

public:
    SuspendInhibitor(QDBusConnection sessionBus, QDBusConnection systemBus, QString applicationName,
                     QObject *parent = nullptr);
    ~SuspendInhibitor() override;

    // window identifies the window that asks, for the portal ("x11:<hex id>", or empty).
    void hold(const QString &window, const QString &reason);
    void release();
    // Whether the portal's request or logind's lock is in hand now.
    bool isHeld() const { return !m_portalRequest.isEmpty() || m_logindLock.isValid(); }

signals:
    // A hold took effect (the portal or logind answered) or was let go.
    void heldChanged(bool held);

private:
    void askLogind(int generation, const QString &reason);
    void closePortalRequest(const QString &path);
    bool current(int generation) const { return m_wanted && generation == m_generation; }

    QDBusConnection m_sessionBus;
    QDBusConnection m_systemBus;
    QString m_applicationName;
    bool m_wanted = false;
    // Counts holds, so that an answer to an earlier one that arrives late is let go at once.
    int m_generation = 0;
    QString m_portalRequest;
    QDBusUnixFileDescriptor m_logindLock;
};
