#include "SuspendInhibitor.h"

#include "TonewellLog.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

constexpr const char *kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char *kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char *kPortalInhibit = "org.freedesktop.portal.Inhibit";
constexpr const char *kPortalRequest = "org.freedesktop.portal.Request";
// The portal's flag for suspend (1 is logout, 2 user switch, 8 idle).
constexpr uint kInhibitSuspend = 4;

constexpr const char *kLogindService = "org.freedesktop.login1";
constexpr const char *kLogindPath = "/org/freedesktop/login1";
constexpr const char *kLogindManager = "org.freedesktop.login1.Manager";

template <typename Done> void whenAnswered(const QDBusConnection &bus, const QDBusMessage &call, QObject *context, Done done)
{
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, done] {
        watcher->deleteLater();
        done(*watcher);
    });
}

} // namespace

SuspendInhibitor::SuspendInhibitor(QDBusConnection sessionBus, QDBusConnection systemBus, QString applicationName,
                                   QObject *parent)
    : QObject(parent)
    , m_sessionBus(std::move(sessionBus))
    , m_systemBus(std::move(systemBus))
    , m_applicationName(std::move(applicationName))
{
}

SuspendInhibitor::~SuspendInhibitor()
{
    release();
}

void SuspendInhibitor::hold(const QString &window, const QString &reason)
{
    if (m_wanted)
        return;
    m_wanted = true;
    const int generation = ++m_generation;
    if (!m_sessionBus.isConnected()) {
        askLogind(generation, reason);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kPortalService), QLatin1String(kPortalPath),
                                                       QLatin1String(kPortalInhibit), QStringLiteral("Inhibit"));
    call << window << kInhibitSuspend << QVariantMap{{QStringLiteral("reason"), reason}};
    whenAnswered(m_sessionBus, call, this, [this, generation, reason](QDBusPendingCallWatcher &answer) {
        const QDBusPendingReply<QDBusObjectPath> reply = answer;
        if (reply.isError()) {
            qCInfo(lcTonewell, "The desktop portal does not hold off suspend (%s); asking logind",
                   qPrintable(reply.error().message()));
            if (current(generation))
                askLogind(generation, reason);
            return;
        }
        const QString path = reply.value().path();
        if (!current(generation)) {
            closePortalRequest(path);
            return;
        }
        m_portalRequest = path;
        emit heldChanged(true);
    });
}

void SuspendInhibitor::askLogind(int generation, const QString &reason)
{
    if (!m_systemBus.isConnected()) {
        qCWarning(lcTonewell, "Cannot hold off suspend: neither the desktop portal nor the system bus answers");
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kLogindService), QLatin1String(kLogindPath),
                                                       QLatin1String(kLogindManager), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << m_applicationName << reason << QStringLiteral("block");
    whenAnswered(m_systemBus, call, this, [this, generation](QDBusPendingCallWatcher &answer) {
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = answer;
        if (reply.isError()) {
            qCWarning(lcTonewell, "Cannot hold off suspend through logind: %s", qPrintable(reply.error().message()));
            return;
        }
        // Late: the descriptor goes out of scope here, which closes it and lets go.
        if (!current(generation) || !reply.value().isValid())
            return;
        m_logindLock = reply.value();
        emit heldChanged(true);
    });
}

void SuspendInhibitor::release()
{
    m_wanted = false;
    const bool wasHeld = isHeld();
    if (!m_portalRequest.isEmpty()) {
        closePortalRequest(m_portalRequest);
        m_portalRequest.clear();
    }
    // Closing the last copy of the descriptor ends logind's lock.
    m_logindLock = QDBusUnixFileDescriptor();
    if (wasHeld)
        emit heldChanged(false);
}

void SuspendInhibitor::closePortalRequest(const QString &path)
{
    const QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kPortalService), path,
                                                             QLatin1String(kPortalRequest), QStringLiteral("Close"));
    // No answer is awaited: the program may be on its way out.
    if (!m_sessionBus.send(call))
        qCWarning(lcTonewell, "Cannot let go of the hold on suspend: %s", qPrintable(m_sessionBus.lastError().message()));
}
