#pragma once

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class QObject;

// The program's icon in the desktop's notification area while the main window is hidden
// there. One icon at most: adding it while shown does nothing.
class CTrayIcon
{
public:
    // Receives the presses on the shown icon.
    using NotifyHandler = std::function<void(QSystemTrayIcon::ActivationReason)>;

    // `owner` is the window the icon stands for; the icon's platform object is its child.
    explicit CTrayIcon(QObject *owner = nullptr);
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon &) = delete;
    CTrayIcon &operator=(const CTrayIcon &) = delete;

    // A null icon is ignored.
    void SetIcon(const QIcon &icon);
    void SetTooltipText(const QString &text);
    void SetNotifyHandler(NotifyHandler handler);

    // Shows the icon unless there is no icon to show or it is shown already. True when the
    // desktop has a notification area to show it in.
    bool AddIcon();
    void RemoveIcon();

    bool IsShown() const { return m_bShown; }
    QString tooltipText() const { return m_strTip; }
    // The desktop offers a notification area now.
    static bool IsAvailable();

private:
    bool m_bShown = false;
    QIcon m_hTrayIcon;
    QString m_strTip;
    QObject *m_owner = nullptr;
    NotifyHandler m_notify;
    // Made on the first AddIcon, so that a program never minimised talks to no tray.
    std::unique_ptr<QSystemTrayIcon> m_icon;
};
