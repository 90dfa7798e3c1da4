#include "StandInSessionManager.h"

#include <QMap>
#include <QSocketNotifier>

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <cstdlib>
#include <vector>

namespace {
StandInSessionManager *g_manager = nullptr;
} // namespace

struct StandInSessionManager::Private
{
    IceListenObj *listeners = nullptr;
    int listenerCount = 0;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    // What watches each client's connection, until it closes.
    QMap<IceConn, QSocketNotifier *> watchers;
    // One connection per client, in the order of m_clients.
    QList<SmsConn> connections;
    bool ending = false;

    static int clientIndex(SmsConn connection)
    {
        return g_manager ? int(g_manager->d->connections.indexOf(connection)) : -1;
    }

    static Status registerClient(SmsConn connection, SmPointer, char *previousId)
    {
        char *id = previousId ? previousId : SmsGenerateClientID(connection);
        if (!id)
            return 0;
        const int index = clientIndex(connection);
        if (index >= 0)
            g_manager->m_clients[index].id = id;
        SmsRegisterClientReply(connection, id);
        if (id != previousId)
            std::free(id);
        return 1;
    }

    static void interactRequest(SmsConn connection, SmPointer, int) { SmsInteract(connection); }
    static void interactDone(SmsConn, SmPointer, Bool) {}
    static void saveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}
    static void saveYourselfPhase2Request(SmsConn connection, SmPointer) { SmsSaveYourselfPhase2(connection); }

    static void saveYourselfDone(SmsConn connection, SmPointer, Bool success)
    {
        const int index = clientIndex(connection);
        if (index < 0)
            return;
        StandInSessionManager::Client &client = g_manager->m_clients[index];
        client.saveDone = true;
        client.saveSucceeded = success;
        if (g_manager->d->ending)
            SmsDie(connection);
        else
            SmsSaveComplete(connection);
    }

    static void closeConnection(SmsConn connection, SmPointer, int count, char **reasons)
    {
        SmFreeReasons(count, reasons);
        const int index = clientIndex(connection);
        if (index >= 0)
            g_manager->m_clients[index].connected = false;
        IceConn ice = SmsGetIceConnection(connection);
        SmsCleanUp(connection);
        if (g_manager)
            g_manager->d->close(ice);
    }

    void close(IceConn connection)
    {
        if (QSocketNotifier *watcher = watchers.take(connection))
            watcher->setEnabled(false);
        IceSetShutdownNegotiation(connection, False);
        IceCloseConnection(connection);
    }

    static void setProperties(SmsConn connection, SmPointer, int count, SmProp **properties)
    {
        const int index = clientIndex(connection);
        for (int i = 0; i < count; ++i) {
            QList<QByteArray> values;
            for (int v = 0; v < properties[i]->num_vals; ++v)
                values << QByteArray(static_cast<const char *>(properties[i]->vals[v].value),
                                     properties[i]->vals[v].length);
            if (index >= 0)
                g_manager->m_clients[index].properties[properties[i]->name] = values;
            SmFreeProperty(properties[i]);
        }
        std::free(properties);
    }

    static void deleteProperties(SmsConn connection, SmPointer, int count, char **names)
    {
        const int index = clientIndex(connection);
        for (int i = 0; i < count; ++i) {
            if (index >= 0)
                g_manager->m_clients[index].properties.remove(names[i]);
            std::free(names[i]);
        }
        std::free(names);
    }

    static void getProperties(SmsConn connection, SmPointer) { SmsReturnProperties(connection, 0, nullptr); }

    static Status newClient(SmsConn connection, SmPointer, unsigned long *mask, SmsCallbacks *callbacks, char **)
    {
        *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask
            | SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask
            | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask
            | SmsGetPropertiesProcMask;
        callbacks->register_client.callback = registerClient;
        callbacks->interact_request.callback = interactRequest;
        callbacks->interact_done.callback = interactDone;
        callbacks->save_yourself_request.callback = saveYourselfRequest;
        callbacks->save_yourself_phase2_request.callback = saveYourselfPhase2Request;
        callbacks->save_yourself_done.callback = saveYourselfDone;
        callbacks->close_connection.callback = closeConnection;
        callbacks->set_properties.callback = setProperties;
        callbacks->delete_properties.callback = deleteProperties;
        callbacks->get_properties.callback = getProperties;
        g_manager->d->connections << connection;
        g_manager->m_clients << StandInSessionManager::Client{};
        return 1;
    }

    // Every local client may connect: the socket is the test's own.
    static Bool anyHost(char *) { return True; }

    void watch(IceConn connection)
    {
        auto notifier = std::make_unique<QSocketNotifier>(IceConnectionNumber(connection), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this, connection] {
            if (IceProcessMessages(connection, nullptr, nullptr) == IceProcessMessagesIOError)
                close(connection);
        });
        watchers.insert(connection, notifier.get());
        notifiers.push_back(std::move(notifier));
    }

    void accept(IceListenObj listener)
    {
        IceAcceptStatus status;
        IceConn connection = IceAcceptConnection(listener, &status);
        if (!connection || status != IceAcceptSuccess)
            return;
        // The ICE handshake finishes as its messages come in.
        watch(connection);
    }
};

StandInSessionManager::StandInSessionManager()
    : d(std::make_unique<Private>())
{
}

StandInSessionManager::~StandInSessionManager()
{
    d->notifiers.clear();
    if (d->listeners)
        IceFreeListenObjs(d->listenerCount, d->listeners);
    if (g_manager == this)
        g_manager = nullptr;
}

bool StandInSessionManager::start()
{
    if (g_manager) {
        m_error = QStringLiteral("one stand-in session manager at a time");
        return false;
    }
    char error[256] = {};
    if (!SmsInitialize("testsupport", "1", Private::newClient, nullptr, Private::anyHost, sizeof error, error)) {
        m_error = QString::fromLocal8Bit(error);
        return false;
    }
    if (!IceListenForConnections(&d->listenerCount, &d->listeners, sizeof error, error)) {
        m_error = QString::fromLocal8Bit(error);
        return false;
    }
    g_manager = this;
    QByteArrayList addresses;
    for (int i = 0; i < d->listenerCount; ++i) {
        IceListenObj listener = d->listeners[i];
        IceSetHostBasedAuthProc(listener, Private::anyHost);
        char *network = IceGetListenConnectionString(listener);
        // A local socket is enough, and reachable in any sandbox.
        if (QByteArray(network).startsWith("local/"))
            addresses << network;
        std::free(network);
        auto notifier = std::make_unique<QSocketNotifier>(IceGetListenConnectionNumber(listener), QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this, [this, listener] { d->accept(listener); });
        d->notifiers.push_back(std::move(notifier));
    }
    if (addresses.isEmpty()) {
        m_error = QStringLiteral("no local ICE socket");
        return false;
    }
    m_address = addresses.join(',');
    return true;
}

void StandInSessionManager::endSession()
{
    d->ending = true;
    for (SmsConn connection : std::as_const(d->connections))
        SmsSaveYourself(connection, SmSaveBoth, True, SmInteractStyleNone, False);
}
