#pragma once

#include "Catalogue.h"

#include <QDeadlineTimer>
#include <QDialog>
#include <QIcon>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <array>
#include <atomic>
#include <memory>

class CSoundServer;
class CWrappedLabel;
class QAction;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class WaveOut;

// Tonewell's one window: pick a listening program and a stop-after time, then Play.
class CBeatDlg : public QDialog
{
    Q_OBJECT

public:
    // The window as the program runs it: sound through the desktop's sound server, data.dat
    // from the usual data folders.
    explicit CBeatDlg(QWidget *parent = nullptr);
    // dataFolders are searched in order for data.dat and help.html; device is what the
    // stream plays through.
    CBeatDlg(QStringList dataFolders, std::unique_ptr<WaveOut> device, QWidget *parent = nullptr);
    ~CBeatDlg() override;

    // The stop-after entries: the list text and its minutes; "20 min" is chosen at start.
    struct StopAfterEntry
    {
        const char *text;
        int minutes;
    };
    static constexpr StopAfterEntry kStopAfter[] = {{"5 min", 5},   {"10 min", 10}, {"15 min", 15},
                                                    {"20 min", 20}, {"30 min", 30}, {"40 min", 40},
                                                    {"50 min", 50}, {"60 min", 60}};
    static constexpr int kDefaultStopAfter = 3;
    static constexpr int kBufferingMs = 4000;
    static constexpr int kIdmAboutBox = 16;
    // The description shows at most this many lines.
    static constexpr int kDescriptionLines = 4;

    // What the status line says.
    static constexpr const char *kConnectingText = "Connecting to the sound server...";
    static constexpr const char *kSoundLostText = "The sound server went away; playback stopped.";
    // The user's choice of the fade at the end, kept between runs.
    static constexpr const char *kFadeOutSetting = "fadeOut";

    // The program that plays, or would play on Play, and for how many minutes.
    struct Choice
    {
        int index = -1; // -1: nothing to play
        QString name;
        QString description;
        int minutes = 0;
        QString plan; // how the beat moves and the noise under it; empty for a still program
    };
    Choice currentChoice() const;
    bool isPlaying() const { return m_bPlaying; }
    // The stream's volume at the sound server, as the mixer shows it (see WaveOut::setVolume()).
    double streamVolume() const;
    void setStreamVolume(double volume);

signals:
    // Playback began (the stream is open) or ended, however it ended.
    void playingChanged(bool playing);
    // What currentChoice() returns changed.
    void choiceChanged();
    // The volume changed at the sound server: in the mixer, or as the server restored it.
    void streamVolumeChanged(double volume);

public slots:
    void OnPlay();
    void OnExit();
    void OnTimer();
    void OnHelpButton();
    bool OnHelpInfo();
    void OnSelchangePrograms();
    void OnSysCommand(int command);
    // Writes the chosen program for the chosen stop-after time to a WAV file the user picks.
    void OnExportWav();

protected:
    // Esc and the close box end the program the way Exit does.
    void reject() override;

private:
    void OnInitDialog();
    void BuildPaths();
    bool LoadCatalogue();
    void FillLists();
    void createControls();
    void stopPlayback(const QString &status = {});
    void onSoundOpened(int playback, bool opened, int minutes);
    void onSoundLost(int playback);
    void showTimeLeft();
    // The beat the listener is at, from the time played so far.
    void showBeat();
    void showStatus(const QString &text);
    // Runs `job` on the sound thread, after the jobs before it.
    template <typename Job> void onSoundThread(Job job);
    // Gives up what the sound thread waits for, ends the thread, and closes the stream.
    void shutdownSound();

    QStringList m_dataFolders;
    QString m_strDataPath;
    QString m_strHelpPath;
    CBeatProgramTable m_programs;
    std::array<QString, kMaxPrograms> m_descriptions; // as shown
    std::array<QString, kMaxPrograms> m_plans;        // as shown under the description
    int m_nPrograms = 0;
    QIcon m_hIcon;
    // Opened and closed on m_soundThread only, so that a sound server that does not answer never
    // holds the window; the window learns the outcome through queued calls.
    std::unique_ptr<CSoundServer> m_pSound;
    WaveOut *m_device = nullptr; // owned by m_pSound
    QThread m_soundThread;
    QObject *m_soundContext = nullptr; // lives on m_soundThread
    bool m_bPlaying = false;
    bool m_bConnecting = false;
    bool m_playFocusedBeforeConnect = false;
    // Counts playbacks, so that news of a lost sound server ends only the playback it was about.
    std::atomic<int> m_playback{0};

    QListWidget *m_listPrograms = nullptr;
    QPushButton *m_btnPlay = nullptr;
    QListWidget *m_listStopAfter = nullptr;
    QCheckBox *m_checkFadeOut = nullptr;
    QAction *m_exportWav = nullptr;
    CWrappedLabel *m_staticDescription = nullptr;
    CWrappedLabel *m_plan = nullptr;
    QLabel *m_beatNow = nullptr;
    QLabel *m_timeLeft = nullptr;
    QLabel *m_status = nullptr;

    QTimer m_timer;          // ends playback when the stop-after time is up
    QTimer m_countdownTimer; // refreshes the time left once a second
    QDeadlineTimer m_stopDeadline;
    int m_playingIndex = -1;
    std::int64_t m_playingMs = 0;
};
