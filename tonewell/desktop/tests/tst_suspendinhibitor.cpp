// The hold on suspend against stand-ins on the test run's session bus: the desktop portal, and
// logind where no portal answers (a second connection to the session bus stands for the system
// bus). Answers that come after the hold was let go, and a desktop where neither answers.

#include "StandInPortal.h"
#include "SuspendInhibitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusUnixFileDescriptor>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr const char *kReason = "Playing a test program";

// logind's Inhibit: hands out the write end of a pipe and keeps the read end, which reads as
// closed once every copy of the write end is gone: the lock is let go.
class StandInLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    StandInLogind()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in logind")))
    {
    }
    ~StandInLogind() override
    {
        m_bus.unregisterService(QStringLiteral("org.freedesktop.login1"));
        QDBusConnection::disconnectFromBus(m_bus.name());
        if (m_readEnd >= 0)
            ::close(m_readEnd);
    }
    bool start()
    {
        return m_bus.registerObject(QStringLiteral("/org/freedesktop/login1"), this, QDBusConnection::ExportAllSlots)
            && m_bus.registerService(QStringLiteral("org.freedesktop.login1"));
    }
    // Whether the lock handed out is still held by someone.
    bool lockHeld() const
    {
        pollfd fd{m_readEnd, POLLIN, 0};
        return m_readEnd >= 0 && ::poll(&fd, 1, 0) == 0;
    }

    QStringList arguments;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why, const QString &mode)
    {
        arguments = {what, who, why, mode};
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            qFatal("no pipe");
        m_readEnd = ends[0];
        QDBusUnixFileDescriptor lock;
        lock.giveFileDescriptor(ends[1]);
        return lock;
    }

private:
    QDBusConnection m_bus;
    int m_readEnd = -1;
};

QStringList g_logged;
void recordTonewellLog(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, "tonewell") == 0)
        g_logged.append(message);
}

} // namespace

class SuspendInhibitorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("needs the test run's session bus");
        const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        if (bus->isServiceRegistered(StandInPortal::kService) || bus->isServiceRegistered("org.freedesktop.login1"))
            QSKIP("a portal or logind already answers on this session bus");
    }

    void portalHoldIsLetGoEvenWhenItsAnswerComesLate()
    {
        StandInPortal portal;
        QVERIFY(portal.start());
        SuspendInhibitor inhibitor(QDBusConnection::sessionBus(), QDBusConnection("none"), "Tonewell");
        QSignalSpy held(&inhibitor, &SuspendInhibitor::heldChanged);

        // Let go before the portal answers: the hold it then hands back is closed at once.
        portal.holdAnswers();
        inhibitor.hold("x11:1a", kReason);
        QTRY_COMPARE(portal.holds.size(), 1);
        inhibitor.release();
        portal.answerHeld();
        QTRY_COMPARE(portal.closed, QStringList{portal.holds[0].handle});
        QVERIFY(!inhibitor.isHeld());
        QVERIFY(held.isEmpty());

        // A hold that lasts: suspend only, with its reason and window, closed on release.
        inhibitor.hold("x11:1a", kReason);
        QVERIFY(held.wait());
        QCOMPARE(held.last().first().toBool(), true);
        QVERIFY(inhibitor.isHeld());
        QCOMPARE(portal.holds.size(), 2);
        QCOMPARE(portal.holds[1].flags, 4u);
        QCOMPARE(portal.holds[1].window, QString("x11:1a"));
        QCOMPARE(portal.holds[1].options.value("reason").toString(), QString(kReason));
        // A second hold while held asks nothing more.
        inhibitor.hold("x11:1a", kReason);
        inhibitor.release();
        QCOMPARE(held.last().first().toBool(), false);
        QTRY_COMPARE(portal.closed.size(), 2);
        QCOMPARE(portal.closed[1], portal.holds[1].handle);
        QCOMPARE(portal.holds.size(), 2);
    }

    void logindHoldsWhereNoPortalAnswers()
    {
        StandInLogind logind;
        QVERIFY(logind.start());
        QDBusConnection systemBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "as system bus");
        if (!(systemBus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
            QSKIP("the session bus passes no file descriptors");
        {
            SuspendInhibitor inhibitor(QDBusConnection::sessionBus(), systemBus, "Tonewell");
            QSignalSpy held(&inhibitor, &SuspendInhibitor::heldChanged);
            inhibitor.hold(QString(), kReason);
            QVERIFY(held.wait());
            QCOMPARE(logind.arguments, (QStringList{"sleep", "Tonewell", kReason, "block"}));
            QVERIFY(logind.lockHeld());
            inhibitor.release();
            QVERIFY(!inhibitor.isHeld());
            QTRY_VERIFY(!logind.lockHeld());

            // Held again, then the program ends: its end lets go too.
            inhibitor.hold(QString(), kReason);
            QVERIFY(held.wait());
            QVERIFY(logind.lockHeld());
        }
        QTRY_VERIFY(!logind.lockHeld());
        QDBusConnection::disconnectFromBus(systemBus.name());
    }

    void neitherAnsweringIsLoggedNotHeld()
    {
        g_logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordTonewellLog);
        SuspendInhibitor inhibitor(QDBusConnection::sessionBus(), QDBusConnection("none"), "Tonewell");
        inhibitor.hold(QString(), kReason);
        QTRY_VERIFY(!g_logged.filter("Cannot hold off suspend").isEmpty());
        qInstallMessageHandler(previous);
        QVERIFY(!inhibitor.isHeld());
        inhibitor.release();
    }
};

QTEST_GUILESS_MAIN(SuspendInhibitorTest)
#include "tst_suspendinhibitor.moc"
