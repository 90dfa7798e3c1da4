#include "MprisService.h"

#include "TonewellLog.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>

namespace {

// Where the programs' track ids live: an object path of the player's own, as MPRIS asks.
constexpr const char *kTrackIdPrefix = "/io/github/glintmarktonewell/tonewell/program/";

// The root interface: who the player is, raising its window and quitting it.
class MprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ noStrings)
    Q_PROPERTY(QStringList SupportedMimeTypes READ noStrings)

public:
    explicit MprisRootAdaptor(MprisService *service)
        : QDBusAbstractAdaptor(service)
        , m_service(service)
    {
    }
    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return m_service->identity(); }
    QString desktopEntry() const { return m_service->desktopEntry(); }
    QStringList noStrings() const { return {}; }

public slots:
    void Raise() { emit m_service->raiseRequested(); }
    void Quit() { emit m_service->quitRequested(); }

private:
    MprisService *m_service;
};

// The player interface: Play and Stop, and Pause as Stop; no seeking, no other tracks.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ one WRITE ignoreDouble)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE requestVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPlay)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)

public:
    explicit MprisPlayerAdaptor(MprisService *service)
        : QDBusAbstractAdaptor(service)
        , m_service(service)
    {
    }
    QString playbackStatus() const { return m_service->playbackStatus(); }
    QVariantMap metadata() const { return m_service->metadata(); }
    qlonglong position() const { return m_service->positionUs(); }
    bool canPlay() const { return m_service->canPlay(); }
    double one() const { return 1.0; }
    // The rate is fixed.
    void ignoreDouble(double) {}
    double volume() const { return m_service->volume(); }
    void requestVolume(double volume) { emit m_service->volumeRequested(volume > 0 ? volume : 0.0); }
    bool no() const { return false; }
    bool yes() const { return true; }

public slots:
    void Play()
    {
        if (!m_service->isPlaying())
            emit m_service->playRequested();
    }
    void Stop()
    {
        if (m_service->isPlaying())
            emit m_service->stopRequested();
    }
    // A binaural program has no point to resume from: pausing stops it.
    void Pause() { Stop(); }
    void PlayPause()
    {
        if (m_service->isPlaying())
            emit m_service->stopRequested();
        else
            emit m_service->playRequested();
    }
    void Next() {}
    void Previous() {}
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath &, qlonglong) {}
    void OpenUri(const QString &) {}

signals:
    void Seeked(qlonglong position);

private:
    MprisService *m_service;
};

} // namespace

MprisService::MprisService(QString identity, QString desktopEntry, QString busSuffix, QObject *parent)
    : QObject(parent)
    , m_identity(std::move(identity))
    , m_desktopEntry(std::move(desktopEntry))
    , m_busSuffix(std::move(busSuffix))
    , m_bus(QString())
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
}

MprisService::~MprisService()
{
    if (!m_busName.isEmpty()) {
        m_bus.unregisterService(m_busName);
        m_bus.unregisterObject(QLatin1String(kObjectPath));
    }
}

bool MprisService::registerOn(const QDBusConnection &bus)
{
    if (!bus.isConnected()) {
        qCWarning(lcTonewell, "No session bus for the media controls: %s", qPrintable(bus.lastError().message()));
        return false;
    }
    m_bus = bus;
    if (!m_bus.registerObject(QLatin1String(kObjectPath), this, QDBusConnection::ExportAdaptors)) {
        qCWarning(lcTonewell, "Cannot offer the media controls' object: %s", qPrintable(m_bus.lastError().message()));
        return false;
    }
    const QString name = QStringLiteral("org.mpris.MediaPlayer2.") + m_busSuffix;
    const QStringList candidates{name, name + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid())};
    for (const QString &candidate : candidates) {
        if (m_bus.registerService(candidate)) {
            m_busName = candidate;
            return true;
        }
    }
    qCWarning(lcTonewell, "Cannot take the media controls' bus name %s: %s", qPrintable(name),
              qPrintable(m_bus.lastError().message()));
    m_bus.unregisterObject(QLatin1String(kObjectPath));
    return false;
}

QString MprisService::playbackStatus() const
{
    return m_playing ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisService::metadata() const
{
    if (m_track.index < 0)
        return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack"))}};
    return {
        {QStringLiteral("mpris:trackid"),
         QVariant::fromValue(QDBusObjectPath(QLatin1String(kTrackIdPrefix) + QString::number(m_track.index)))},
        {QStringLiteral("mpris:length"), qlonglong(m_track.minutes) * 60 * 1000 * 1000},
        {QStringLiteral("xesam:title"), m_track.title},
        // A list of texts in the xesam vocabulary.
        {QStringLiteral("xesam:comment"), m_track.plan.isEmpty() ? QStringList{m_track.description}
                                                                 : QStringList{m_track.description, m_track.plan}},
    };
}

qint64 MprisService::positionUs() const
{
    return m_playing ? m_playingSince.nsecsElapsed() / 1000 : 0;
}

void MprisService::setPlaying(bool playing)
{
    if (playing == m_playing)
        return;
    m_playing = playing;
    if (playing)
        m_playingSince.start();
    announce(kPlayerInterface, {{QStringLiteral("PlaybackStatus"), playbackStatus()}});
}

void MprisService::setVolume(double volume)
{
    if (volume == m_volume)
        return;
    m_volume = volume;
    announce(kPlayerInterface, {{QStringLiteral("Volume"), m_volume}});
}

void MprisService::setTrack(const Track &track)
{
    if (track == m_track)
        return;
    const bool couldPlay = canPlay();
    m_track = track;
    QVariantMap changed{{QStringLiteral("Metadata"), metadata()}};
    if (couldPlay != canPlay()) {
        changed.insert(QStringLiteral("CanPlay"), canPlay());
        changed.insert(QStringLiteral("CanPause"), canPlay());
    }
    announce(kPlayerInterface, changed);
}

void MprisService::announce(const char *interface, const QVariantMap &changed)
{
    if (m_busName.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(interface) << changed << QStringList();
    if (!m_bus.send(signal))
        qCWarning(lcTonewell, "Cannot tell the media controls what changed: %s", qPrintable(m_bus.lastError().message()));
}

#include "MprisService.moc"
