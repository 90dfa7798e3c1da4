#include "TrayIcon.h"

#include "FlashProgram.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QEvent>
#include <QLoggingCategory>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <QWindow>


namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

// Qt carries the icon as a StatusNotifierItem when a host is registered the first time it is
// asked, and as an XEmbed icon otherwise, for the rest of the process. The same question, asked
// at the same moment, tells which it is before the icon exists, so that the menu is there when
// the host first reads the item.
bool statusNotifierHostAtFirstAsking()
{
    static const bool registered = [] {
        QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
        const QDBusReply<QDBusVariant> reply = QDBusConnection::sessionBus().call(get);
        return reply.isValid() && reply.value().variant().toBool();
    }();
    return registered;
}

// Qt's XEmbed icon is a top-level widget of its own, made when the icon is shown.
QWidget *embeddedIconWidget()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("QSystemTrayIconSys"))
            return widget;
    }
    return nullptr;
}

// Watches one showing of the icon and tells whether the host has it on screen.
class IconWatch : public QObject
{
    Q_OBJECT

public:
    using Report = std::function<void(QObject *from, bool onScreen)>;

    explicit IconWatch(Report report)
        : m_report(std::move(report))
    {
    }

    // An XEmbed icon is mapped, and so exposed, only once the tray host has embedded it.
    void watchEmbedding(QWidget *icon)
    {
        icon->winId();
        QWindow *window = icon->windowHandle();
        window->installEventFilter(this);
        // Qt destroys its icon window when the tray host goes away.
        connect(icon, &QObject::destroyed, this, [this] { m_report(this, false); });
        if (window->isExposed())
            m_report(this, true);
    }

    // A StatusNotifierItem is on screen once the host's watcher lists it.
    void watchStatusNotifierHost()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        auto *hostWatch = new QDBusServiceWatcher(kWatcherService, bus, QDBusServiceWatcher::WatchForUnregistration, this);
        connect(hostWatch, &QDBusServiceWatcher::serviceUnregistered, this, [this] { m_report(this, false); });
        // QtDBus delivers remote signals only to named slots.
        bus.connect(kWatcherService, kWatcherPath, kWatcherService, QStringLiteral("StatusNotifierItemRegistered"),
                    this, SLOT(itemRegistered(QString)));
        bus.connect(kWatcherService, kWatcherPath, kWatcherService, QStringLiteral("StatusNotifierItemUnregistered"),
                    this, SLOT(itemUnregistered(QString)));
        QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << kWatcherService << QStringLiteral("RegisteredStatusNotifierItems");
        auto *pending = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
        connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
            call->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *call;
            if (reply.isError()) {
                qCWarning(lcGlintmark) << "cannot read the notification area's items:" << reply.error().message();
                return;
            }
            for (const QString &item : reply.value().variant().toStringList())
                itemRegistered(item);
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed())
            m_report(this, true);
        return false;
    }

private slots:
    void itemRegistered(const QString &item)
    {
        if (!m_ownItem.isEmpty() || !isOwnItem(item))
            return;
        m_ownItem = item;
        m_report(this, true);
    }

    void itemUnregistered(const QString &item)
    {
        if (!m_ownItem.isEmpty() && item == m_ownItem)
            m_report(this, false);
    }

private:
    // Items are named by their bus connection, with or without an object path after it; Qt
    // registers its item from a connection of its own, so the process tells ours apart.
    static bool isOwnItem(const QString &item)
    {
        const QString service = item.section(QLatin1Char('/'), 0, 0);
        const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(service);
        return pid.isValid() && qint64(pid.value()) == QCoreApplication::applicationPid();
    }

    Report m_report;
    QString m_ownItem;
};

} // namespace

CTrayIcon::CTrayIcon(QObject *owner)
    : m_owner(owner)
{
}

CTrayIcon::~CTrayIcon()
{
    RemoveIcon();
}

void CTrayIcon::SetIcon(const QIcon &icon)
{
    if (icon.isNull())
        return;
    m_hTrayIcon = icon;
    if (m_icon)
        m_icon->setIcon(icon);
}

void CTrayIcon::SetTooltipText(const QString &text)
{
    m_strTip = text;
    if (m_icon)
        m_icon->setToolTip(text);
}

void CTrayIcon::SetContextMenu(QMenu *menu)
{
    m_menu = menu;
    if (m_icon && m_bStatusNotifier)
        m_icon->setContextMenu(menu);
}

void CTrayIcon::SetNotifyHandler(NotifyHandler handler)
{
    m_notify = std::move(handler);
}

void CTrayIcon::SetShownHandler(ShownHandler handler)
{
    m_shown = std::move(handler);
}

bool CTrayIcon::AddIcon()
{
    if (m_hTrayIcon.isNull() || m_bShown)
        return false;
    if (!m_icon) {
        m_bStatusNotifier = statusNotifierHostAtFirstAsking();
        m_icon = std::make_unique<QSystemTrayIcon>(m_hTrayIcon, m_owner);
        if (m_bStatusNotifier)
            m_icon->setContextMenu(m_menu);
        m_icon->setObjectName(QStringLiteral("trayIcon"));
        // Queued, so that nothing the handler does (such as removing the icon) happens inside
        // the icon's own event.
        QObject::connect(
            m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (m_bShown && m_notify)
                    m_notify(reason);
            },
            Qt::QueuedConnection);
    }
    m_icon->setIcon(m_hTrayIcon);
    m_icon->setToolTip(m_strTip);
    m_bShown = true;
    m_bOnScreen = false;
    auto *watch = new IconWatch([this](QObject *from, bool onScreen) { reportShown(from, onScreen); });
    m_watch.reset(watch);
    m_icon->show();

    QWidget *embedded = embeddedIconWidget();
    if (embedded && m_bStatusNotifier) {
        // Guessed wrong after all: an embedded icon with a menu would open it on a right press.
        m_bStatusNotifier = false;
        m_icon->setContextMenu(nullptr);
    }
    const bool available = embedded || IsAvailable();
    if (!available) {
        qCWarning(lcGlintmark) << "no notification area to show the icon in";
        QMetaObject::invokeMethod(watch, [this, watch] { reportShown(watch, false); }, Qt::QueuedConnection);
        return false;
    }
    if (embedded)
        watch->watchEmbedding(embedded);
    else
        watch->watchStatusNotifierHost();
    QTimer::singleShot(kShowTimeoutMs, watch, [this, watch] {
        if (!m_bOnScreen) {
            qCWarning(lcGlintmark) << "the notification area did not show the icon within" << kShowTimeoutMs << "ms";
            reportShown(watch, false);
        }
    });
    return true;
}

void CTrayIcon::RemoveIcon()
{
    if (!m_bShown)
        return;
    m_watch.reset();
    m_icon->hide();
    m_bShown = false;
    m_bOnScreen = false;
}

void CTrayIcon::reportShown(QObject *watch, bool onScreen)
{
    // Only the watch of the current showing speaks, and it says "shown" and "gone" once each.
    if (!watch || watch != m_watch.get() || (onScreen && m_bOnScreen))
        return;
    m_bOnScreen = onScreen;
    if (!onScreen)
        m_watch.release()->deleteLater();
    // Reports come from platform callbacks (an expose event, a window being destroyed, a D-Bus
    // reply); the handler runs after them.
    QMetaObject::invokeMethod(
        m_icon.get(), [this, onScreen] {
            if (m_bShown && m_shown)
                m_shown(onScreen);
        },
        Qt::QueuedConnection);
}

bool CTrayIcon::IsAvailable()
{
    statusNotifierHostAtFirstAsking();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

#include "TrayIcon.moc"
