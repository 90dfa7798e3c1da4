#pragma once

#include <QIcon>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class QMenu;
class QObject;

// The program's icon in the desktop's notification area while the main window is hidden
// there. One icon at most: adding it while shown does nothing.
//
// Desktops carry such icons in two ways: an XEmbed tray host embeds a small window of the
// program's own, a StatusNotifierItem host (over D-Bus) draws the icon itself and shows the
// program's menu. Either way the icon is only known to be on screen once the host says so, so
// AddIcon only asks for it, and the shown handler hears whether it came.
class CTrayIcon
{
public:
    // Receives the presses on the shown icon, always after the icon's own event has been
    // handled, so that the handler may remove the icon.
    using NotifyHandler = std::function<void(QSystemTrayIcon::ActivationReason)>;
    // Told, after AddIcon, whether the desktop shows the icon: true once the host has it on
    // screen; false when it cannot be shown within kShowTimeoutMs, or when the host goes away.
    // Called later from the event loop, never from inside AddIcon or a platform callback.
    using ShownHandler = std::function<void(bool onScreen)>;

    // How long a host may take to put a requested icon on screen.
    static constexpr int kShowTimeoutMs = 3000;

    // `owner` is the window the icon stands for; the icon's platform object is its child.
    explicit CTrayIcon(QObject *owner = nullptr);
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon &) = delete;
    CTrayIcon &operator=(const CTrayIcon &) = delete;

    // A null icon is ignored.
    void SetIcon(const QIcon &icon);
    void SetTooltipText(const QString &text);
    // The menu that hosts with menus of their own (StatusNotifierItem hosts) show for the icon.
    // An XEmbed icon shows none: both its mouse buttons go to the notify handler instead.
    void SetContextMenu(QMenu *menu);
    void SetNotifyHandler(NotifyHandler handler);
    void SetShownHandler(ShownHandler handler);

    // Asks the desktop to show the icon, unless there is no icon to show or it is shown already.
    // False when there is no notification area to ask; the shown handler then hears false.
    bool AddIcon();
    void RemoveIcon();

    // Asked for and not removed since.
    bool IsShown() const { return m_bShown; }
    // The icon is a StatusNotifierItem, whose host shows the context menu itself.
    bool IsStatusNotifierItem() const { return m_bStatusNotifier; }
    QString tooltipText() const { return m_strTip; }
    // The desktop offers a notification area now.
    static bool IsAvailable();

private:
    void reportShown(QObject *watch, bool onScreen);

    bool m_bShown = false;
    bool m_bOnScreen = false;
    bool m_bStatusNotifier = false;
    QIcon m_hTrayIcon;
    QString m_strTip;
    QObject *m_owner = nullptr;
    QPointer<QMenu> m_menu;
    NotifyHandler m_notify;
    ShownHandler m_shown;
    // Made on the first AddIcon, so that a program never minimised talks to no tray.
    std::unique_ptr<QSystemTrayIcon> m_icon;
    // What watches one showing of the icon; gone when the icon is removed, and with it every
    // report still on its way.
    std::unique_ptr<QObject> m_watch;
};
