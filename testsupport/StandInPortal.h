#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QList>
#include <QPair>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// The desktop portal's Inhibit interface on the test run's session bus, on a connection of its
// own as a separate process would offer it (the test's bus starts no services). It records each
// Inhibit from the test's own process and the Close of each request it handed back; other
// programs on the bus (another test playing) are answered but not recorded. Held, it answers
// only when released.
class StandInPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")

public:
    static constexpr const char *kService = "org.freedesktop.portal.Desktop";

    struct Hold
    {
        QString window;
        uint flags = 0;
        QVariantMap options;
        QString handle;
    };

    StandInPortal();
    ~StandInPortal() override;
    // Takes the portal's name; false when the bus is missing or the name taken.
    bool start();
    // Held: Inhibit calls wait for answerHeld().
    void holdAnswers() { m_holding = true; }
    void answerHeld();

    QList<Hold> holds;
    QStringList closed;

public slots:
    QDBusObjectPath Inhibit(const QString &window, uint flags, const QVariantMap &options);

private:
    QDBusConnection m_bus;
    bool m_holding = false;
    int m_handed = 0;
    QList<QPair<QDBusMessage, QString>> m_waiting; // calls held back and their handles
};
