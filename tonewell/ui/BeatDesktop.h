#pragma once

#include <QDBusConnection>
#include <QObject>

class CBeatDlg;
class MprisService;
class SuspendInhibitor;

// Ties the window to the desktop: its media controls and media keys play and stop it as the
// Play button does, their volume is the stream's at the sound server, and suspend waits while
// it plays.
class CBeatDesktop : public QObject
{
    Q_OBJECT

public:
    // What the hold on suspend gives as its reason.
    static constexpr const char *kInhibitReason = "Playing a listening program";

    CBeatDesktop(CBeatDlg &dialog, QDBusConnection sessionBus, QDBusConnection systemBus);
    ~CBeatDesktop() override;

    MprisService &mpris() { return *m_mpris; }
    SuspendInhibitor &inhibitor() { return *m_inhibitor; }

private:
    void followPlaying(bool playing);

    CBeatDlg &m_dialog;
    MprisService *m_mpris;
    SuspendInhibitor *m_inhibitor;
};
