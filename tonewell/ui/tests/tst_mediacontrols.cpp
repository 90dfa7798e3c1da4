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
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QSignalSpy>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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
    QList<double> volumes;
    bool setVolume(double volume)
    {
        const QDBusMessage reply = call(kProperties, QStringLiteral("Set"),
                                        {QLatin1String(MprisService::kPlayerInterface), QStringLiteral("Volume"),
                                         QVariant::fromValue(QDBusVariant(volume))});
        return reply.type() == QDBusMessage::ReplyMessage;
    }
    double volume() { return all(MprisService::kPlayerInterface).value("Volume").toDouble(); }

private slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface != QLatin1String(MprisService::kPlayerInterface))
            return;
        if (changed.contains("PlaybackStatus"))
            statuses.append(changed.value("PlaybackStatus").toString());
        if (changed.contains("Metadata"))
            metadata.append(asMap(changed.value("Metadata")));
        if (changed.contains("Volume"))
            volumes.append(changed.value("Volume").toDouble());
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

// Tonewell's stream as the mixer (pactl) sees it on the server PULSE_SERVER names: its index and
// its channels' volumes, as the server keeps them (65536 is 100 %); no index while there is none.
struct MixerStream
{
    int index = -1;
    QList<int> volumes;
};

MixerStream mixerStream()
{
    QProcess pactl;
    pactl.start("pactl", {"--format=json", "list", "sink-inputs"});
    if (!pactl.waitForFinished(10000) || pactl.exitCode() != 0)
        return {};
    for (const QJsonValue input : QJsonDocument::fromJson(pactl.readAllStandardOutput()).array()) {
        const QJsonObject stream = input.toObject();
        if (stream["properties"].toObject()["application.name"].toString() != "Tonewell")
            continue;
        MixerStream found{stream["index"].toInt(), {}};
        const QJsonObject channels = stream["volume"].toObject();
        for (const QString &channel : channels.keys())
            found.volumes.append(channels[channel].toObject()["value"].toInt());
        return found;
    }
    return {};
}

bool mixerSets(int index, const QString &percent)
{
    return QProcess::execute("pactl", {"set-sink-input-volume", QString::number(index), percent}) == 0;
}

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

    // The media controls' volume is the stream's at the sound server, both ways: what they set
    // is what the mixer shows, and what the mixer sets they read and are told of.
    void volumeIsTheStreamsAtTheServer()
    {
        MessageBoxRecorder boxes;
        Player player;
        MediaClient &client = *player.client;
        QCOMPARE(client.volume(), 1.0);

        // Set while stopped: the next stream starts at it.
        QVERIFY(client.setVolume(0.3));
        QCOMPARE(client.volume(), 0.3);
        QCOMPARE(client.player("Play").type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(client.statuses, QStringList{"Playing"});
        QTRY_COMPARE(mixerStream().volumes, (QList<int>{19661, 19661}));

        // Set while playing: the mixer shows it at once, and it reads back as written.
        QVERIFY(client.setVolume(0.25));
        QTRY_COMPARE(mixerStream().volumes, (QList<int>{16384, 16384}));
        QCOMPARE(client.volume(), 0.25);
        QCOMPARE(client.volumes, (QList<double>{0.3, 0.25}));

        // Below silence is silence, and nothing louder than the sound as made is asked for.
        QVERIFY(client.setVolume(-1));
        QTRY_COMPARE(mixerStream().volumes, (QList<int>{0, 0}));
        QVERIFY(client.setVolume(4));
        QTRY_COMPARE(mixerStream().volumes, (QList<int>{65536, 65536}));
        QCOMPARE(client.volume(), 1.0);

        // The mixer's change is announced and read.
        client.volumes.clear();
        QVERIFY(mixerSets(mixerStream().index, "40%"));
        QTRY_COMPARE(client.volumes.size(), 1);
        QCOMPARE(client.volumes[0], 26214 / 65536.0);
        QCOMPARE(client.volume(), 26214 / 65536.0);

        // Stopped and played again: the stream keeps the volume it was left at.
        client.player("Stop");
        QTRY_COMPARE(player.play()->text(), QString("Play"));
        client.player("Play");
        QTRY_COMPARE(player.play()->text(), QString("Stop"));
        QTRY_COMPARE(mixerStream().volumes, (QList<int>{26214, 26214}));
        QCOMPARE(client.volumes.size(), 1);
        QVERIFY(boxes.requests().isEmpty());
    }

    // Quit from the media controls, or Exit pressed through the accessibility interface (as a
    // screen reader presses it), ends the window while a box or dialog waits for an answer: the
    // box closes as if dismissed and its modal loop returns, so the program can end.
    void quitAndExitEndWithABoxOpen_data()
    {
        QTest::addColumn<QString>("open");
        QTest::addColumn<bool>("quit");
        for (const bool quit : {true, false}) {
            const char *how = quit ? "Quit from the media controls" : "Exit through accessibility";
            QTest::addRow("%s, the sound server's error box", how) << "error" << quit;
            QTest::addRow("%s, the About box", how) << "about" << quit;
        }
    }
    void quitAndExitEndWithABoxOpen()
    {
        QFETCH(QString, open);
        QFETCH(bool, quit);
        Player player; // real boxes, with modal loops of their own
        player.dialog->show();
        QSignalSpy finished(player.dialog.get(), &QDialog::finished);
        QString waiting;
        bool closedAtOnce = false;
        QElapsedTimer sinceAnswer;
        QTimer watch;
        watch.setInterval(20);
        connect(&watch, &QTimer::timeout, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!waiting.isEmpty()) {
                // A screen reader's press clicks the button a moment later, as a real click would.
                if (!modal && sinceAnswer.elapsed() < 3000)
                    closedAtOnce = true;
                return;
            }
            if (!modal || modal == player.dialog.get())
                return;
            const auto *box = qobject_cast<QMessageBox *>(modal);
            waiting = box ? box->text() : modal->windowTitle();
            // Left open, it would hold the test: closed for the test later, which then fails.
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                QTimer::singleShot(10000, dialog, &QDialog::reject);
            if (quit) {
                player.client->call(MprisService::kRootInterface, "Quit");
            } else {
                QAccessibleInterface *exit = QAccessible::queryAccessibleInterface(player.child<QPushButton>("exit"));
                exit->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            }
            sinceAnswer.start();
        });
        watch.start();
        if (open == "error") {
            player.server.kill();
            QCOMPARE(player.client->player("Play").type(), QDBusMessage::ReplyMessage);
            QTRY_COMPARE(finished.size(), 1);
            QCOMPARE(waiting, QString("ERROR: Can't open the SoundServer."));
        } else {
            player.dialog->OnSysCommand(CBeatDlg::kIdmAboutBox);
            QTRY_COMPARE(finished.size(), 1);
            QVERIFY2(waiting.contains("Tonewell"), qPrintable(waiting));
        }
        QTRY_VERIFY(closedAtOnce);
        QVERIFY(!player.dialog->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(!player.dialog->isPlaying());
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
