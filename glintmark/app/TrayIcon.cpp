#include "TrayIcon.h"

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

void CTrayIcon::SetNotifyHandler(NotifyHandler handler)
{
    m_notify = std::move(handler);
}

bool CTrayIcon::AddIcon()
{
    if (m_hTrayIcon.isNull() || m_bShown)
        return false;
    if (!m_icon) {
        m_icon = std::make_unique<QSystemTrayIcon>(m_hTrayIcon, m_owner);
        m_icon->setObjectName(QStringLiteral("trayIcon"));
        QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (m_bShown && m_notify)
                                 m_notify(reason);
                         });
    }
    m_icon->setIcon(m_hTrayIcon);
    m_icon->setToolTip(m_strTip);
    m_icon->show();
    m_bShown = true;
    return IsAvailable();
}

void CTrayIcon::RemoveIcon()
{
    if (!m_bShown)
        return;
    m_icon->hide();
    m_bShown = false;
}

bool CTrayIcon::IsAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}
