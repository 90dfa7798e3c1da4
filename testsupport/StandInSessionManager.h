#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

// An X session manager (XSMP over ICE) of a test's own, in the test's process, for programs the
// test starts with SESSION_MANAGER set to address(). It takes every client on, records the
// properties each one sets, and ends the session as a logout does: each client is asked to save
// (for a shutdown, without interaction) and, once it says it is done, told to die.
class StandInSessionManager : public QObject
{
    Q_OBJECT

public:
    struct Client
    {
        QByteArray id;
        // ARRAY8 properties as one value, LISTofARRAY8 ones as a list, by name.
        QMap<QByteArray, QList<QByteArray>> properties;
        bool saveDone = false;
        bool saveSucceeded = false;
        bool connected = true;
    };

    StandInSessionManager();
    ~StandInSessionManager() override;

    // Listens on a local ICE socket; false, with the reason in errorString(), when it cannot.
    bool start();
    QString errorString() const { return m_error; }
    // The value for SESSION_MANAGER.
    QByteArray address() const { return m_address; }

    const QList<Client> &clients() const { return m_clients; }
    // Asks every client to save, as at the end of the session, and tells each to die once it
    // has saved.
    void endSession();

    struct Private;

private:
    friend struct Private;
    std::unique_ptr<Private> d;
    QByteArray m_address;
    QString m_error;
    QList<Client> m_clients;
};
