#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVariantMap>

// The player as the desktop's media controls and media keys see it (MPRIS 2): what is chosen,
// whether it plays, how loud, and requests to play, stop, change the volume, raise the window or
// quit. The requests are
// only signalled; whoever owns the player carries them out and reports back the new state.
class MprisService : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char *kRootInterface = "org.mpris.MediaPlayer2";
    static constexpr const char *kPlayerInterface = "org.mpris.MediaPlayer2.Player";

    // What plays, or would play on Play. An index below 0 means nothing can play.
    struct Track
    {
        int index = -1;
        QString title;
        QString description;
        int minutes = 0;
        QString plan; // how the program moves, if it does; shown after the description
        bool operator==(const Track &) const = default;
    };

    // identity is the player's name, desktopEntry the base name of its desktop file, busSuffix
    // the last part of its bus name (org.mpris.MediaPlayer2.<busSuffix>).
    MprisService(QString identity, QString desktopEntry, QString busSuffix, QObject *parent = nullptr);
    ~MprisService() override;

    // Puts the player on `bus`. When its name is taken (a second copy running), it takes the
    // name with ".instance<pid>" appended, as media controls expect. Failures are logged.
    bool registerOn(const QDBusConnection &bus);
    // The bus name it holds, empty when not registered.
    QString busName() const { return m_busName; }

    void setPlaying(bool playing);
    void setTrack(const Track &track);
    // The player's volume, 1.0 being full; a change is announced.
    void setVolume(double volume);

    bool isPlaying() const { return m_playing; }
    bool canPlay() const { return m_track.index >= 0; }
    double volume() const { return m_volume; }
    QString identity() const { return m_identity; }
    QString desktopEntry() const { return m_desktopEntry; }
    QString playbackStatus() const;
    QVariantMap metadata() const;
    qint64 positionUs() const;

signals:
    void playRequested();
    void stopRequested();
    void raiseRequested();
    // A media control set the volume (never below 0).
    void volumeRequested(double volume);
    void quitRequested();

private:
    void announce(const char *interface, const QVariantMap &changed);

    QString m_identity;
    QString m_desktopEntry;
    QString m_busSuffix;
    QString m_busName;
    QDBusConnection m_bus;
    bool m_playing = false;
    Track m_track;
    double m_volume = 1.0;
    QElapsedTimer m_playingSince;
};
