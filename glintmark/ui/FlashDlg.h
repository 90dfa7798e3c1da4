#pragma once

#include "CDrawDlg.h"
#include "FlashLibrary.h"
#include "SessionStart.h"
#include "TrayIcon.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QPoint>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class CMyTreeCtrl;
class CPictureButton;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QMenu;
class QPushButton;

// Glintmark's main window. The user ticks affirmations in the library tree, picks where, how
// often and for how long they flash and in which font and colour, and starts and stops the
// overlay that flashes them. The library, the ticks and the settings are read from their three
// files when the window is made and written back when the user leaves. Minimised, the window
// waits in the notification area while flashing goes on.
class CFlashDlg : public QDialog
{
    Q_OBJECT

public:
    // Control identifiers. The location buttons' identifiers are what "font.dat" stores.
    enum ControlId {
        IDC_TREE = 1000,
        IDC_FRAME_SELECT = 1001,
        IDC_TOP = LocationButton::Top,
        IDC_CENTER = LocationButton::Center,
        IDC_CENTER_LEFT = LocationButton::CenterLeft,
        IDC_DISPLAY_EVERY = 1006,
        IDC_DISPLAY_FOR = 1007,
        IDC_EDIT = 1008,
        IDC_START = 1013,
        IDC_FRAME_LOCATION = 1014,
        IDC_FRAME_FREQUENCY = 1015,
        IDC_EXIT = 1018,
        IDC_HELP = 1019,
        IDC_FONT = 1023,
        IDC_FRAME_WELCOME = 1027,
        IDC_BOTTOM = LocationButton::Bottom,
    };

    static constexpr char kWelcomeText[] = "Welcome to Glintmark!  ";
    static constexpr char kSelectText[] = "Select training afirmations";
    static constexpr char kLocationText[] = "Message location";
    static constexpr char kScreenText[] = "Screen";
    static constexpr char kFrequencyText[] = "Frequency";
    static constexpr char kDisplayEveryText[] = "Display every";
    static constexpr char kDisplayForText[] = "Display for";
    static constexpr char kStartText[] = "Start";
    static constexpr char kStopText[] = "Stop";
    static constexpr char kTooltipText[] = "Glintmark";
    static constexpr char kNothingTickedText[] = "Select at least one affirmation";
    static constexpr char kErrorCreatingText[] = "Error creating Dialog";
    static constexpr char kNotSavedText[] =
        "Your affirmations and settings could not all be saved. Choose OK to go back to Glintmark "
        "and try again, or leave without saving them.";
    static constexpr char kLeaveWithoutSavingText[] = "Leave Without Saving";
    // The notification-area icon's menu and its commands.
    static constexpr char kTrayMenuTitle[] = "Glintmark";
    static constexpr char kShowDialogText[] = "Show Dialog";
    static constexpr char kExitText[] = "Exit";
    enum CommandId {
        ID_SHOW_DIALOG = 32771,
        ID_TRAY_EXIT = 32772,
    };
    // The choices for every day, in the window's own menu and after the icon's entries.
    static constexpr char kSessionStartText[] = "Start with the desktop session";
    static constexpr char kStartFlashingText[] = "Start flashing when started";

    // Where the window is while the program runs.
    enum class TrayState {
        Normal,         // on screen, or minimised in the task bar
        WaitingForIcon, // minimised, until the notification area shows the icon
        InTray,         // hidden, with the icon in the notification area
    };
    // Once the window is back from a notification area that went away, how often and how long
    // it is checked for having been left unmapped: a window manager answers a map at once, one
    // that starts anew takes a few seconds.
    static constexpr int kLostWindowCheckMs = 1000;
    static constexpr int kLostWindowChecks = 10;

    // What Start hands to a new overlay.
    struct OverlayRequest
    {
        const FlashTexts &texts;
        FlashLocation location;
        std::int32_t intervalMs;
        std::int32_t displayMs;
        const QFont &font;
        QColor textColor;
        FlashScreen screens = FlashScreen::Primary;
    };
    using OverlayFactory = std::function<std::unique_ptr<CDrawDlg>(const OverlayRequest &)>;

    // The window as the program runs it, with the data folders of an installed or portable
    // Glintmark.
    explicit CFlashDlg(QWidget *parent = nullptr);
    // `dataFolders`: beside the executable, the per-user folder and the installed share folder,
    // as dataFolders() gives them.
    explicit CFlashDlg(const QStringList &dataFolders, QWidget *parent = nullptr);
    ~CFlashDlg() override;

    // Once the window is shown: flashes as Start does when asked to, then goes to the
    // notification area as minimising does when asked to.
    void StartAsAsked(const StartRequest &request);

    // Replaces the way Start makes its overlay (the real one by default).
    void setOverlayFactory(OverlayFactory factory);

    bool isFlashing() const { return m_bFlashing; }
    // Left, by the user or from outside; the window is gone for good.
    bool hasEnded() const { return m_bEnded; }
    // Ended from outside, and the files could not all be written then.
    bool endedUnsaved() const { return m_bEndedUnsaved; }
    CDrawDlg *overlay() const { return m_pDrawDlg.get(); }
    const CFlashLibrary &library() const { return m_library; }
    const FlashTexts &flashTexts() const { return *m_flashTexts; }
    QFont flashFont() const { return m_flashFont; }
    QColor textColor() const { return m_textColor; }
    const CTrayIcon &tray() const { return m_tray; }
    TrayState trayState() const { return m_trayState; }

public slots:
    void OnStart();
    void OnEdit();
    void OnFont();
    void OnHelpButton();
    bool OnHelpInfo();
    // Leaving: writes the three files and ends the program. When a file cannot be written the
    // user may go back and try again, or leave without saving.
    void OnCancel();
    // Brings the window back from the notification area.
    void OnShowDialog();
    void OnTrayNotify(QSystemTrayIcon::ActivationReason reason);
    // The session's save request: writes the three files as leaving does, asking nothing.
    // A file that cannot be written is reported on standard error, once for as long as the same
    // failure repeats. True when all were written.
    bool SaveWithoutAsking();
    // Ending from outside (the session ends, the process is told to stop): closes whatever
    // dialog is open, saves as SaveWithoutAsking does, then ends the window. From then on no
    // message box waits for an answer.
    void EndWithoutAsking();
    // "Start with the desktop session": writes or removes the desktop's autostart entry.
    void OnSessionStartChoice(bool start);
    // "Start flashing when started", kept per user.
    void OnStartFlashingChoice(bool start);

protected:
    // Esc and the close box leave the way EXIT does.
    void reject() override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void createControls();
    void OnInitDialog();
    void FillLists();
    void ApplySettings();
    void TabToCheckedLocation();
    void ReadSettingsFromControls();
    void EnableSettings(bool enable);
    void StopFlashing();
    std::optional<FileError> WriteFiles();
    void EndDialog();
    void OnSize();
    void OnTrayShown(bool onScreen);
    void OnTrayExit();
    // Both menus show what is stored now, which another Glintmark may have changed.
    void ShowStartChoices();
    void CheckWindowNotLost();
    FlashLocation selectedLocation() const;
    FlashScreen selectedScreens() const;

    QStringList m_dataFolders;
    QString m_strHelpPath;
    CFlashLibrary m_library;
    std::unique_ptr<FlashTexts> m_flashTexts;
    QFont m_flashFont;
    QColor m_textColor;
    bool m_bFlashing = false;
    bool m_bEnded = false;
    bool m_bEndedUnsaved = false;
    // The last failure reported by SaveWithoutAsking: the session's save request and its end
    // each save, and the same fault is said once.
    QString m_lastUnattendedError;
    QIcon m_hIcon;
    OverlayFactory m_overlayFactory;

    CMyTreeCtrl *m_tree = nullptr;
    QPushButton *m_btnStart = nullptr;
    CPictureButton *m_btnEdit = nullptr;
    CPictureButton *m_btnHelp = nullptr;
    CPictureButton *m_btnExit = nullptr;
    CPictureButton *m_btnFont = nullptr;
    QComboBox *m_comboEvery = nullptr;
    QComboBox *m_comboFor = nullptr;
    QComboBox *m_comboScreen = nullptr;
    QButtonGroup *m_location = nullptr;
    QGroupBox *m_frameWelcome = nullptr;
    QGroupBox *m_frameSelect = nullptr;
    QGroupBox *m_frameLocation = nullptr;
    QGroupBox *m_frameFrequency = nullptr;

    // The place the window had when it went to the notification area, to come back to.
    QPoint m_restorePos;
    TrayState m_trayState = TrayState::Normal;
    QMenu *m_trayMenu = nullptr;
    QMenu *m_windowMenu = nullptr;
    QAction *m_sessionStartChoice = nullptr;
    QAction *m_startFlashingChoice = nullptr;
    CTrayIcon m_tray;
    // Back from the notification area because its host went away, the window is looked at for a
    // while: the window manager may have gone with the host, and with it the map of the window.
    QTimer m_lostWindowCheck;
    int m_lostWindowChecksLeft = 0;

    // Last, so destroyed first: an overlay still flashing at exit leaves the screen before the
    // window it was made from.
    std::unique_ptr<CDrawDlg> m_pDrawDlg;
};
