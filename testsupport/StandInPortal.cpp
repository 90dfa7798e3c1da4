#include "StandInPortal.h"

#include <utility>

namespace {

constexpr const char *kPortalPath = "/org/freedesktop/portal/desktop";

// The request object handed back for one hold: its Close lets go of the hold.
class StandInRequest : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")

public:
    StandInRequest(QStringList &closed, QString path, QObject *parent)
        : QObject(parent)
        , m_closed(closed)
        , m_path(std::move(path))
    {
    }

public slots:
    void Close() { m_closed.append(m_path); }

private:
    QStringList &m_closed;
    QString m_path;
};

} // namespace

StandInPortal::StandInPortal()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in portal")))
{
}

StandInPortal::~StandInPortal()
{
    m_bus.unregisterService(QLatin1String(kService));
    m_bus.unregisterObject(QLatin1String(kPortalPath), QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(m_bus.name());
}

bool StandInPortal::start()
{
    return m_bus.isConnected() && m_bus.registerObject(QLatin1String(kPortalPath), this, QDBusConnection::ExportAllSlots)
        && m_bus.registerService(QLatin1String(kService));
}

QDBusObjectPath StandInPortal::Inhibit(const QString &window, uint flags, const QVariantMap &options)
{
    const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/test/hold%1").arg(++m_handed);
    if (message().service() != QDBusConnection::sessionBus().baseService())
        return QDBusObjectPath(handle);
    m_bus.registerObject(handle, new StandInRequest(closed, handle, this), QDBusConnection::ExportAllSlots);
    holds.append({window, flags, options, handle});
    if (m_holding) {
        setDelayedReply(true);
        m_waiting.append({message(), handle});
    }
    return QDBusObjectPath(handle);
}

void StandInPortal::answerHeld()
{
    m_holding = false;
    for (const auto &[call, handle] : std::exchange(m_waiting, {}))
        m_bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
}

#include "StandInPortal.moc"
