// Tonewell's window as the desktop's media controls and the suspend portal see it, through the
// test run's own session bus: a D-Bus client reads and works the player, a stand-in portal
// registered by the test records the holds on suspend, and a sound server of the test's own
// plays (and can be taken away).

#include "BeatDesktop.h"
#include "BeatDlg.h"
#include "MessageBoxRecorder.h"
#include "MprisService.h"
#include "NamedChild.h"
#include "PrivateSoundServer.h"
#include "PulseWaveOut.h"
#include "StandInPortal.h"
#include "TestFiles.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QVariantMap asMap(const QVariant &value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

// A media-control client on a connection of its own, as playerctl would be. Its calls keep the
// test's event loop turning, so that the player in this process can answer them.
class MediaClient : public QObject
{
    Q_OBJECT

public:
    explicit MediaClient(QString service)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("media client")))
        , m_service(std::move(service))
    {
        m_bus.connect(m_service, QLatin1String(MprisService::kObjectPath), kProperties,
                      QStringLiteral("PropertiesChanged"), this,
                      SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    }
    ~MediaClient() override { QDBusConnection::disconnectFromBus(m_bus.name()); }

    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(m_service, QLatin1String(MprisService::kObjectPath),
                                                              interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::BlockWithGui, 10000);
    }
    QDBusMessage player(const char *method) { return call(QLatin1String(MprisService::kPlayerInterface), QLatin1String(method)); }
    QVariantMap all(const char *interface)
    {
        const QDBusMessage reply = call(kProperties, QStringLiteral("GetAll"), {QLatin1String(interface)});
        return reply.type() == QDBusMessage::ReplyMessage ? asMap(reply.arguments().value(0)) : QVariantMap();
    }
    // The playback states the player announced, in order.
    QStringList statuses;
    QList<QVariantMap> metadata;

private slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface != QLatin1String(MprisService::kPlayerInterface))
            return;
        if (changed.contains("PlaybackStatus"))
            statuses.append(changed.value("PlaybackStatus").toString());
        if (changed.contains("Metadata"))
            metadata.append(asMap(changed.value("Metadata")));
    }

private:
    QDBusConnection m_bus;
    QString m_service;
};

// The window on its own sound server, its ties to the desktop, the portal and a client.
struct Player
{
    Player()
    {
        if (!server.start())
            qFatal("cannot start a sound server");
        address = std::make_unique<SoundServerAddress>(server.address());
        if (!writeWholeFile(dir.filePath("data.dat"),
                            "Alpha 10 Hz;For a calm, alert state.;200;10;\n"
                            "Delta 2 Hz;For deep sleep.;100;2;steps=1@10;noise=brown@-30;\n"))
            qFatal("cannot write data.dat");
        if (!portal.start())
            qFatal("cannot register the stand-in portal");
        dialog = std::make_unique<CBeatDlg>(QStringList{dir.path()}, std::make_unique<PulseWaveOut>("Tonewell"));
        // No system bus: the portal is the only way to hold off suspend here.
        desktop = std::make_unique<CBeatDesktop>(*dialog, QDBusConnection::sessionBus(), QDBusConnection(QStringLiteral("none")));
        client = std::make_unique<MediaClient>(desktop->mpris().busName());
    }
    template <typename T> T *child(const char *name) const { return namedChild<T>(dialog.get(), name); }
    QPushButton *play() const { return child<QPushButton>("play"); }
    QTimer *stopTimer() const { return child<QTimer>("stopTimer"); }

    PrivateSoundServer server;
    std::unique_ptr<SoundServerAddress> address;
    QTemporaryDir dir;
    StandInPortal portal;
    std::unique_ptr<CBeatDlg> dialog;
    std::unique_ptr<CBeatDesktop> desktop;
    std::unique_ptr<MediaClient> client;
};

} // namespace

class MediaControlsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("needs the test run's session bus");
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty() || QStandardPaths::findExecutable("pactl").isEmpty())
            QSKIP("needs pulseaudio and pactl to start a sound server of the test's own");
        if (QDBusConnection::sessionBus().interface()->isServiceRegistered(StandInPortal::kService))
            QSKIP("a desktop portal already runs on this session bus");
    }

    void playerDescribesItselfAndTheChosenProgram()
    {
        MessageBoxRecorder boxes;
        Player player;
        // The name, or with an instance suffix while another Tonewell runs on the bus.
        const QString busName = player.desktop->mpris().busName();
        QVERIFY(busName.startsWith("org.mpris.MediaPlayer2.tonewell"));
        {
            // A second player on the bus takes a name of its own, as media controls expect.
            QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second player");
            MprisService second("Tonewell", "tonewell", "tonewell");
            QVERIFY(second.registerOn(other));
            QVERIFY(second.busName() != busName);
            QVERIFY(second.busName().startsWith("org.mpris.MediaPlayer2.tonewell.instance"));
            QDBusConnection::disconnectFromBus(other.name());
        }

        const QVariantMap root = player.client->all(MprisService::kRootInterface);
        QCOMPARE(root.value("Identity").toString(), QString("Tonewell"));
        QVERIFY(root.value("CanQuit").toBool());
        QVERIFY(root.value("CanRaise").toBool());
        QVERIFY(!root.value("HasTrackList").toBool());
        // The desktop file the entry names is the one that ships.
        QVERIFY(QFileInfo::exists(QString(TONEWELL_RES_DIR "/%1.desktop").arg(root.value("DesktopEntry").toString())));

        const QVariantMap props = player.client->all(MprisService::kPlayerInterface);
        QCOMPARE(props.value("PlaybackStatus").toString(), QString("Stopped"));
        for (const char *yes : {"CanPlay", "CanPause", "CanControl"})
            QVERIFY2(props.value(yes).toBool(), yes);
        for (const char *no : {"CanGoNext", "CanGoPrevious", "CanSeek"})
            QVERIFY2(props.contains(no) && !props.value(no).toBool(), no);

        const QVariantMap first = asMap(props.value("Metadata"));
        QCOMPARE(first.value("xesam:title").toString(), QString("Alpha 10 Hz"));
        QCOMPARE(first.value("xesam:comment").toStringList(), QStringList{"For a calm, alert state."});
        QCOMPARE(first.value("mpris:length").toLongLong(), 20LL * 60 * 1000000);
        const QString firstId = first.value("mpris:trackid").value<QDBusObjectPath>().path();
        QVERIFY(firstId.startsWith('/') && !firstId.startsWith("/org/mpris"));

        // Another program and another time: announced, with a track id of its own.
        player.child<QListWidget>("programs")->setCurrentRow(1);
        player.child<QListWidget>("stopAfter")->setCurrentRow(0);
        QTRY_VERIFY(!player.client->metadata.isEmpty()
                    && player.client->metadata.last().value("mpris:length").toLongLong() == 5LL * 60 * 1000000);
        const QVariantMap second = player.client->metadata.last();
        QCOMPARE(second.value("xesam:title").toString(), QString("Delta 2 Hz"));
        // A program that moves has its plan after its description.
        QCOMPARE(second.value("xesam:comment").toStringList(),
                 (QStringList{"For deep sleep.", QString::fromUtf8("2 → 1 Hz in 10 min; brown noise")}));
        QVERIFY(second.value("mpris:trackid").value<QDBusObjectPath>().path() != firstId);
        QCOMPARE(asMap(player.client->all(MprisService::kPlayerInterface).value("Metadata")), second);

        // Raise brings the window up.
        QVERIFY(!player.dialog->isVisible());
        QCOMPARE(player.client->call(MprisService::kRootInterface, "Raise").type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(player.dialog->isVisible());
        QVERIFY(boxes.requests().isEmpty());
    }

    void mediaControlsPlayAndStopTheWindow()
    {
        MessageBoxRecorder boxes;
        Player player;
        MediaClient &client = *player.client;
        auto *programs = player.child<QListWidget>("programs");

        QCOMPARE(client.player("Play").type(), QDBusMessage::ReplyMessage);
        // What the Play button does: the stream opens, the 20-minute timer runs, the list is held.
        QTRY_COMPARE(player.play()->text(), QString("Stop"));
        QVERIFY(player.stopTimer()->isActive());
        QCOMPARE(player.stopTimer()->interval(), 20 * 60000);
        QVERIFY(!programs->isEnabled());
        QTRY_COMPARE(client.statuses, QStringList{"Playing"});
        QCOMPARE(client.all(MprisService::kPlayerInterface).value("PlaybackStatus").toString(), QString("Playing"));
        QTRY_COMPARE(player.portal.holds.size(), 1);
        QCOMPARE(player.portal.holds[0].flags, 4u);
        QVERIFY(!player.portal.holds[0].options.value("reason").toString().isEmpty());

        // Play again changes nothing; Stop ends it and lets go of the hold.
        client.player("Play");
        QCOMPARE(player.play()->text(), QString("Stop"));
        client.player("Stop");
        QTRY_COMPARE(player.play()->text(), QString("Play"));
        QVERIFY(!player.stopTimer()->isActive());
        QVERIFY(programs->isEnabled());
        QTRY_COMPARE(player.portal.closed, QStringList{player.portal.holds[0].handle});

        // PlayPause toggles; Pause stops.
        client.player("PlayPause");
        QTRY_COMPARE(player.play()->text(), QString("Stop"));
        client.player("PlayPause");
        QTRY_COMPARE(player.play()->text(), QString("Play"));
        client.player("PlayPause");
        QTRY_COMPARE(player.play()->text(), QString("Stop"));
        client.player("Pause");
        QTRY_COMPARE(player.play()->text(), QString("Play"));
        QTRY_COMPARE(client.statuses, (QStringList{"Playing", "Stopped", "Playing", "Stopped", "Playing", "Stopped"}));
        QTRY_COMPARE(player.portal.closed.size(), 3);
        QCOMPARE(player.portal.holds.size(), 3);

        // The window's own button is seen by the media controls.
        QTest::mouseClick(player.play(), Qt::LeftButton);
        QTRY_COMPARE(client.statuses.last(), QString("Playing"));
        QTRY_COMPARE(player.portal.holds.size(), 4);
        QVERIFY(boxes.requests().isEmpty());
    }

    void holdEndsWithPlayback_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("the stop-after time is up") << "timer";
        QTest::newRow("the sound server goes away") << "server lost";
        QTest::newRow("Exit") << "exit";
        QTest::newRow("Quit from the media controls") << "quit";
    }
    void holdEndsWithPlayback()
    {
        QFETCH(QString, end);
        MessageBoxRecorder boxes;
        Player player;
        QTest::mouseClick(player.play(), Qt::LeftButton);
        QTRY_COMPARE(player.play()->text(), QString("Stop"));
        QTRY_COMPARE(player.portal.holds.size(), 1);
        QVERIFY(player.portal.closed.isEmpty());

        if (end == "timer")
            player.stopTimer()->start(1);
        else if (end == "server lost")
            player.server.kill();
        else if (end == "exit")
            player.dialog->OnExit();
        else
            player.client->call(MprisService::kRootInterface, "Quit");

        QTRY_COMPARE(player.portal.closed, QStringList{player.portal.holds[0].handle});
        QTRY_COMPARE(player.client->statuses.last(), QString("Stopped"));
        if (end == "exit" || end == "quit")
            QCOMPARE(player.dialog->result(), int(QDialog::Rejected));
        else
            QCOMPARE(player.play()->text(), QString("Play"));
        QVERIFY(boxes.requests().isEmpty());
    }
};

QTEST_MAIN(MediaControlsTest)
#include "tst_mediacontrols.moc"
