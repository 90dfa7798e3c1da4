#include "FlashDlg.h"

#include "AssistiveChoice.h"
#include "CListEditDlg.h"
#include "CMyTreeCtrl.h"
#include "CPictureButton.h"
#include "DataFolder.h"
#include "DataLocations.h"
#include "DialogLook.h"
#include "FlashFont.h"
#include "FlashProgram.h"
#include "FlashScreenSetting.h"
#include "Font.h"
#include "MessageBox.h"
#include "OpenDialogs.h"
#include "WindowFrame.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The welcome frame holds no controls; the program's icon fills its middle.
class WelcomeFrame : public QGroupBox
{
public:
    WelcomeFrame(const QString &title, QIcon icon, QWidget *parent)
        : QGroupBox(title, parent)
        , m_icon(std::move(icon))
    {
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QGroupBox::paintEvent(event);
        const QRect inside = contentsRect();
        const int side = std::min({64, inside.height() - 8, inside.width()});
        if (side < 16)
            return;
        QPainter painter(this);
        const QRect place(inside.center().x() - side / 2 + 1, inside.center().y() - side / 2 + 1, side, side);
        m_icon.paint(&painter, place);
    }

private:
    QIcon m_icon;
};

// Sizes of the window's layout in dialog units: a quarter of the font's average character
// width across, an eighth of its height down, so that the window grows with the system font.
struct DialogUnits
{
    explicit DialogUnits(const QFontMetrics &metrics)
        : baseX(metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0)
        , baseY(metrics.height())
    {
    }
    int x(int units) const { return qRound(units * baseX / 4.0); }
    int y(int units) const { return qRound(units * baseY / 8.0); }

    double baseX;
    double baseY;
};

CPictureButton *pictureButton(const char *caption, const char *word, const char *objectName,
                              const char *description, QWidget *parent)
{
    auto *button = new CPictureButton(QLatin1String(caption), QLatin1String(word), parent);
    button->setObjectName(QLatin1String(objectName));
    button->setAccessibleDescription(QLatin1String(description));
    return button;
}

QGroupBox *frame(const char *title, const char *objectName, QWidget *parent)
{
    auto *box = new QGroupBox(QLatin1String(title), parent);
    box->setObjectName(QLatin1String(objectName));
    box->setAccessibleName(box->title().trimmed());
    return box;
}

template <std::size_t N>
QComboBox *settingsList(const std::array<SettingsListEntry, N> &entries, const char *objectName,
                        const char *accessibleName, int popupWidth, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(objectName));
    combo->setAccessibleName(QLatin1String(accessibleName));
    combo->setEditable(false);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const SettingsListEntry &entry : entries)
        combo->addItem(QLatin1String(entry.text), entry.milliseconds);
    combo->view()->setMinimumWidth(popupWidth);
    followAssistiveChoice(combo);
    return combo;
}

// The item data of the selected entry; a list without a selection gives its default entry.
std::int32_t selectedMilliseconds(const QComboBox *combo, int defaultIndex)
{
    const int index = combo->currentIndex() >= 0 ? combo->currentIndex() : defaultIndex;
    return combo->itemData(index).toInt();
}

} // namespace

CFlashDlg::CFlashDlg(QWidget *parent)
    : CFlashDlg(dataFolders(kProgramId), parent)
{
}

CFlashDlg::CFlashDlg(const QStringList &dataFolders, QWidget *parent)
    : QDialog(parent)
    , m_dataFolders(dataFolders)
    , m_flashTexts(std::make_unique<FlashTexts>())
    , m_hIcon(programIcon())
    , m_tray(this)
{
    m_overlayFactory = [](const OverlayRequest &request) {
        auto overlay = std::make_unique<CDrawDlg>(request.texts, request.location, request.intervalMs,
                                                  request.displayMs, request.font, request.textColor);
        overlay->setScreenChoice(request.screens);
        return overlay;
    };
    createControls();
    OnInitDialog();
}

CFlashDlg::~CFlashDlg() = default;

void CFlashDlg::setOverlayFactory(OverlayFactory factory)
{
    m_overlayFactory = std::move(factory);
}

void CFlashDlg::createControls()
{
    setObjectName(QStringLiteral("flashDialog"));
    setWindowTitle(kWindowTitle);
    setAccessibleName(kWindowTitle);
    setWindowIcon(m_hIcon);
    // An application window with a minimise box and no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    DialogLook::apply(this);
    const DialogUnits du(fontMetrics());

    m_frameWelcome = new WelcomeFrame(QLatin1String(kWelcomeText), m_hIcon, this);
    m_frameWelcome->setObjectName(QStringLiteral("welcomeFrame"));
    m_frameWelcome->setAccessibleName(m_frameWelcome->title().trimmed());
    m_frameWelcome->setMinimumHeight(du.y(77));
    m_frameWelcome->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_frameSelect = frame(kSelectText, "selectFrame", this);
    m_tree = new CMyTreeCtrl(m_frameSelect);
    m_tree->setObjectName(QStringLiteral("tree"));
    m_tree->setAccessibleName(QStringLiteral("Training affirmations"));
    m_tree->setMinimumSize(du.x(261), du.y(66));
    m_btnEdit = pictureButton("EDIT", "Add message", "edit", "Add and delete categories and affirmations", m_frameSelect);
    auto *editRow = new QHBoxLayout;
    editRow->addStretch(163);
    editRow->addWidget(m_btnEdit);
    editRow->addStretch(48);
    auto *selectLayout = new QVBoxLayout(m_frameSelect);
    selectLayout->addWidget(m_tree, 1);
    selectLayout->addLayout(editRow);

    m_frameLocation = frame(kLocationText, "locationFrame", this);
    m_location = new QButtonGroup(this);
    auto *locationLayout = new QVBoxLayout(m_frameLocation);
    const std::pair<int, const char *> locations[] = {
        {IDC_TOP, "Top"}, {IDC_CENTER, "Center"}, {IDC_CENTER_LEFT, "Center-Left"}, {IDC_BOTTOM, "Bottom"}};
    for (const auto &[id, text] : locations) {
        auto *button = new QRadioButton(QLatin1String(text), m_frameLocation);
        button->setObjectName(QStringLiteral("location%1").arg(id));
        button->setAccessibleName(QLatin1String(text));
        m_location->addButton(button, id);
        // As wide as it shows: a click beside the text chooses nothing.
        locationLayout->addWidget(button, 0, Qt::AlignLeft);
    }
    // Under the locations: on which screens they are. The label comes first, for screen readers.
    auto *screenLabel = new QLabel(QLatin1String(kScreenText), m_frameLocation);
    m_comboScreen = new QComboBox(m_frameLocation);
    m_comboScreen->setObjectName(QStringLiteral("screen"));
    m_comboScreen->setAccessibleName(QLatin1String(kScreenText));
    m_comboScreen->setAccessibleDescription(QStringLiteral("The screens the affirmations flash on"));
    m_comboScreen->setEditable(false);
    m_comboScreen->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const FlashScreenEntry &entry : kFlashScreenEntries)
        m_comboScreen->addItem(QLatin1String(entry.text), int(entry.screen));
    followAssistiveChoice(m_comboScreen);
    screenLabel->setBuddy(m_comboScreen);
    locationLayout->addSpacing(du.y(2));
    locationLayout->addWidget(screenLabel);
    locationLayout->addWidget(m_comboScreen);
    m_frameLocation->setMinimumWidth(du.x(78));

    m_frameFrequency = frame(kFrequencyText, "frequencyFrame", this);
    // Each label made before its list, so that screen readers meet them in the order they show.
    auto *everyLabel = new QLabel(QLatin1String(kDisplayEveryText), m_frameFrequency);
    m_comboEvery = settingsList(kDisplayEveryEntries, "displayEvery", kDisplayEveryText, 95, m_frameFrequency);
    // The longer list keeps its scroll bar, so that it reads as a list to scroll.
    m_comboEvery->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    everyLabel->setBuddy(m_comboEvery);
    auto *forLabel = new QLabel(QLatin1String(kDisplayForText), m_frameFrequency);
    m_comboFor = settingsList(kDisplayForEntries, "displayFor", kDisplayForText, 120, m_frameFrequency);
    forLabel->setBuddy(m_comboFor);
    auto *frequencyLayout = new QGridLayout(m_frameFrequency);
    frequencyLayout->addWidget(everyLabel, 0, 0);
    frequencyLayout->addWidget(m_comboEvery, 0, 1);
    frequencyLayout->addWidget(forLabel, 1, 0);
    frequencyLayout->addWidget(m_comboFor, 1, 1);
    frequencyLayout->setColumnStretch(1, 1);
    frequencyLayout->setRowStretch(2, 1);
    m_frameFrequency->setMinimumWidth(du.x(130));

    m_btnFont = pictureButton("FONT", "Font", "font", "Choose the font and colour of the affirmations", this);

    m_btnStart = new QPushButton(QLatin1String(kStartText), this);
    m_btnStart->setObjectName(QStringLiteral("start"));
    m_btnStart->setAccessibleName(QLatin1String(kStartText));
    m_btnStart->setAccessibleDescription(QStringLiteral("Start or stop flashing the ticked affirmations"));
    QFont startFont(QStringLiteral("Arial"));
    startFont.setPixelSize(16);
    startFont.setBold(true);
    m_btnStart->setFont(startFont);
    m_btnStart->setDefault(true);
    m_btnStart->setMinimumSize(du.x(50), du.y(30));
    m_btnHelp = pictureButton("HELP1", "Help", "help", "Open the help page", this);
    m_btnExit = pictureButton("EXIT", "Exit", "exit", "Save and leave Glintmark", this);

    for (QGroupBox *box : {m_frameWelcome, m_frameSelect, m_frameLocation, m_frameFrequency})
        DialogLook::setLabelFont(box);

    auto *settingsRow = new QHBoxLayout;
    settingsRow->addWidget(m_frameLocation);
    settingsRow->addWidget(m_frameFrequency);
    settingsRow->addStretch(7);
    settingsRow->addWidget(m_btnFont, 0, Qt::AlignVCenter);
    settingsRow->addStretch(3);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_btnStart);
    buttonRow->addStretch(40);
    buttonRow->addWidget(m_btnHelp, 0, Qt::AlignBottom);
    buttonRow->addStretch(76);
    buttonRow->addWidget(m_btnExit, 0, Qt::AlignBottom);
    buttonRow->addSpacing(du.x(8));
    auto *layout = new QVBoxLayout(this);
    // The window keeps the size its contents ask for, which follows the system font; with no
    // size to choose, window managers offer neither resizing nor maximising.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    WindowFrame::keepFixed(this);
    layout->setContentsMargins(du.x(7), du.y(2), du.x(7), du.y(6));
    layout->setSpacing(du.y(4));
    layout->addWidget(m_frameWelcome);
    layout->addWidget(m_frameSelect, 1);
    layout->addLayout(settingsRow);
    layout->addLayout(buttonRow);

    setTabOrder(m_tree, m_btnEdit);
    setTabOrder(m_btnEdit, m_location->button(IDC_TOP));
    setTabOrder(m_location->button(IDC_BOTTOM), m_comboScreen);
    setTabOrder(m_comboScreen, m_comboEvery);
    setTabOrder(m_comboEvery, m_comboFor);
    setTabOrder(m_comboFor, m_btnFont);
    setTabOrder(m_btnFont, m_btnStart);
    setTabOrder(m_btnStart, m_btnHelp);
    setTabOrder(m_btnHelp, m_btnExit);

    auto *helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, &CFlashDlg::OnHelpInfo);
    connect(m_btnStart, &QPushButton::clicked, this, &CFlashDlg::OnStart);
    connect(m_btnEdit, &QPushButton::clicked, this, &CFlashDlg::OnEdit);
    connect(m_btnExit, &QPushButton::clicked, this, &CFlashDlg::OnCancel);
    connect(m_btnHelp, &QPushButton::clicked, this, &CFlashDlg::OnHelpButton);
    connect(m_btnFont, &QPushButton::clicked, this, &CFlashDlg::OnFont);

    m_trayMenu = new QMenu(QLatin1String(kTrayMenuTitle), this);
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    // Queued: the host's menu event (a D-Bus call) is over before the icon may go away.
    QAction *showDialog = m_trayMenu->addAction(QLatin1String(kShowDialogText));
    showDialog->setObjectName(QStringLiteral("showDialog"));
    showDialog->setData(int(ID_SHOW_DIALOG));
    connect(showDialog, &QAction::triggered, this, &CFlashDlg::OnShowDialog, Qt::QueuedConnection);
    m_trayMenu->addSeparator();
    QAction *exit = m_trayMenu->addAction(QLatin1String(kExitText));
    exit->setObjectName(QStringLiteral("trayExit"));
    exit->setData(int(ID_TRAY_EXIT));
    connect(exit, &QAction::triggered, this, &CFlashDlg::OnTrayExit, Qt::QueuedConnection);

    // The window's own menu stands in for the title-bar menu, which Linux keeps to itself. Its
    // choices are the same actions as the icon's, so both show one state.
    m_sessionStartChoice = new QAction(tr(kSessionStartText), this);
    m_sessionStartChoice->setObjectName(QStringLiteral("sessionStart"));
    m_sessionStartChoice->setCheckable(true);
    connect(m_sessionStartChoice, &QAction::triggered, this, &CFlashDlg::OnSessionStartChoice);
    m_startFlashingChoice = new QAction(tr(kStartFlashingText), this);
    m_startFlashingChoice->setObjectName(QStringLiteral("startFlashing"));
    m_startFlashingChoice->setCheckable(true);
    connect(m_startFlashingChoice, &QAction::triggered, this, &CFlashDlg::OnStartFlashingChoice);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_sessionStartChoice);
    m_trayMenu->addAction(m_startFlashingChoice);
    connect(m_trayMenu, &QMenu::aboutToShow, this, &CFlashDlg::ShowStartChoices);
    m_windowMenu = new QMenu(kWindowTitle, this);
    m_windowMenu->setObjectName(QStringLiteral("windowMenu"));
    m_windowMenu->addAction(m_sessionStartChoice);
    m_windowMenu->addAction(m_startFlashingChoice);
}

void CFlashDlg::OnInitDialog()
{
    m_textColor = Qt::black;
    m_tray.SetIcon(m_hIcon);
    m_tray.SetTooltipText(QLatin1String(kTooltipText));
    m_tray.SetContextMenu(m_trayMenu);
    m_tray.SetNotifyHandler([this](QSystemTrayIcon::ActivationReason reason) { OnTrayNotify(reason); });
    m_tray.SetShownHandler([this](bool onScreen) { OnTrayShown(onScreen); });
    m_lostWindowCheck.setInterval(kLostWindowCheckMs);
    connect(&m_lostWindowCheck, &QTimer::timeout, this, &CFlashDlg::CheckWindowNotLost);

    const QString folder = chooseDataFolder(m_dataFolders.value(0), m_dataFolders.value(1), m_dataFolders.value(2));
    m_library.SetFolder(folder);
    m_strHelpPath = findDataFile(m_dataFolders, QString::fromLatin1(kHelpFileName));

    m_bFlashing = false;
    FillLists();
    // "font.dat", then "check.txt", then "List.txt"; each file that cannot be read is reported
    // and leaves only its own part at the defaults.
    const QList<FileError> errors = m_library.ReadAllFiles();
    ApplySettings();
    // Kept per user, apart from the three files; kept at once when the user changes it.
    const FlashScreen screens = readFlashScreen();
    for (int i = 0; i < m_comboScreen->count(); ++i) {
        if (m_comboScreen->itemData(i).toInt() == int(screens))
            m_comboScreen->setCurrentIndex(i);
    }
    connect(m_comboScreen, &QComboBox::currentIndexChanged, this, [this] { writeFlashScreen(selectedScreens()); });
    m_tree->FillTree(m_library.m_list, m_library.m_check);
    ShowStartChoices();
    for (const FileError &error : errors)
        MessageBox::showFileError(nullptr, kProgramName, error);
    if (const QString notice = m_library.libraryNotice(); !notice.isEmpty())
        MessageBox::show({.icon = QMessageBox::Warning, .title = kProgramName, .text = notice});
}

void CFlashDlg::FillLists()
{
    const FlashSettings defaults;
    m_comboEvery->setCurrentIndex(defaults.intervalIndex);
    m_comboFor->setCurrentIndex(defaults.durationIndex);
    m_location->button(defaults.locationButton)->setChecked(true);
}

void CFlashDlg::ApplySettings()
{
    const FlashSettings &settings = m_library.m_settings;
    m_flashFont = flashFontFromFields(settings.font);
    m_textColor = flashColorFromStored(settings.textColor);

    if (QAbstractButton *button = m_location->button(settings.locationButton)) {
        button->setChecked(true);
    } else {
        m_location->setExclusive(false);
        for (QAbstractButton *location : m_location->buttons())
            location->setChecked(false);
        m_location->setExclusive(true);
    }
    m_comboEvery->setCurrentIndex(settings.intervalIndex);
    m_comboFor->setCurrentIndex(settings.durationIndex);
    TabToCheckedLocation();
}

void CFlashDlg::TabToCheckedLocation()
{
    // Qt's Tab enters a group of radio buttons at the one last focused, or the first; a keyboard
    // or screen-reader user should land on the chosen location.
    QAbstractButton *checked = m_location->checkedButton();
    if (!checked)
        return;
    for (QAbstractButton *location : m_location->buttons()) {
        const Qt::FocusPolicy policy = location->focusPolicy();
        location->setFocusPolicy(Qt::FocusPolicy(location == checked ? policy | Qt::TabFocus : policy & ~Qt::TabFocus));
    }
}

void CFlashDlg::ReadSettingsFromControls()
{
    FlashSettings &settings = m_library.m_settings;
    const int location = m_location->checkedId();
    settings.locationButton = isLocationButton(location) ? location : LocationButton::None;
    settings.intervalIndex = m_comboEvery->currentIndex();
    settings.durationIndex = m_comboFor->currentIndex();
    settings.textColor = storedFlashColor(m_textColor);
}

FlashLocation CFlashDlg::selectedLocation() const
{
    // No button selected (a damaged "font.dat") flashes in the centre.
    const qint32 location = flashLocationOfButton(m_location->checkedId());
    return location != 0 ? FlashLocation(location) : FlashLocation::Center;
}

FlashScreen CFlashDlg::selectedScreens() const
{
    const int index = m_comboScreen->currentIndex();
    return index >= 0 ? FlashScreen(m_comboScreen->itemData(index).toInt()) : FlashScreen::Primary;
}

void CFlashDlg::EnableSettings(bool enable)
{
    for (QAbstractButton *location : m_location->buttons())
        location->setEnabled(enable);
    for (QWidget *control :
         std::initializer_list<QWidget *>{m_comboScreen, m_comboEvery, m_comboFor, m_btnFont, m_tree, m_btnEdit})
        control->setEnabled(enable);
}

void CFlashDlg::OnStart()
{
    if (m_bFlashing) {
        StopFlashing();
        return;
    }
    if (m_tree->CollectTicked(*m_flashTexts) == 0) {
        MessageBox::show({.parent = this, .title = kProgramName, .text = QLatin1String(kNothingTickedText)});
        return;
    }
    const FlashSettings defaults;
    m_pDrawDlg = m_overlayFactory({.texts = *m_flashTexts,
                                   .location = selectedLocation(),
                                   .intervalMs = selectedMilliseconds(m_comboEvery, defaults.intervalIndex),
                                   .displayMs = selectedMilliseconds(m_comboFor, defaults.durationIndex),
                                   .font = m_flashFont,
                                   .textColor = m_textColor,
                                   .screens = selectedScreens()});
    // Create may first show the short-display notice and wait for the user.
    if (!m_pDrawDlg || !m_pDrawDlg->Create())
        MessageBox::show({.parent = this,
                          .icon = QMessageBox::Warning,
                          .title = kProgramName,
                          .text = QLatin1String(kErrorCreatingText)});
    if (m_pDrawDlg)
        m_pDrawDlg->show();
    m_bFlashing = true;
    m_btnStart->setText(QLatin1String(kStopText));
    m_btnStart->setAccessibleName(QLatin1String(kStopText));
    EnableSettings(false);
}

void CFlashDlg::StopFlashing()
{
    m_btnStart->setText(QLatin1String(kStartText));
    m_btnStart->setAccessibleName(QLatin1String(kStartText));
    m_pDrawDlg.reset();
    m_bFlashing = false;
    EnableSettings(true);
}

void CFlashDlg::OnEdit()
{
    CListEditDlg editor(m_library.m_list, this);
    m_tree->ReadTicksFromTree(m_library.m_check);
    if (editor.exec() != QDialog::Accepted)
        return;
    m_library.m_list = editor.list();
    // Ticks stay with their positions.
    m_tree->FillTree(m_library.m_list, m_library.m_check);
}

void CFlashDlg::OnFont()
{
    glintmark::Font chooser(m_flashFont, m_textColor, this);
    if (chooser.exec() != QDialog::Accepted)
        return;
    // The face lasts for this run; the file keeps the size and style, always in Arial.
    m_flashFont = chooser.selectedFont();
    m_library.m_settings.font = flashFontFieldsFromFont(m_flashFont, m_library.m_settings.font);
    m_textColor = chooser.color();
}

void CFlashDlg::OnHelpButton()
{
    // A missing help page shows nothing.
    if (QFileInfo::exists(m_strHelpPath))
        QDesktopServices::openUrl(QUrl::fromLocalFile(m_strHelpPath));
}

bool CFlashDlg::OnHelpInfo()
{
    OnHelpButton();
    return true;
}

std::optional<FileError> CFlashDlg::WriteFiles()
{
    m_tree->ReadTicksFromTree(m_library.m_check);
    ReadSettingsFromControls();
    return m_library.WriteAllFiles();
}

void CFlashDlg::EndDialog()
{
    if (m_bFlashing)
        StopFlashing();
    m_tray.RemoveIcon();
    m_trayState = TrayState::Normal;
    m_bEnded = true;
    QDialog::reject();
}

void CFlashDlg::OnCancel()
{
    // Exit ends the program even while a box or dialog waits for an answer (through the tray's
    // menu or a screen reader): they close as if cancelled, and what they held back is saved.
    dismissOpenDialogs(this);
    if (const std::optional<FileError> error = WriteFiles()) {
        const QMessageBox::StandardButton answer = MessageBox::show(
            {.parent = this,
             .icon = QMessageBox::Critical,
             .title = kProgramName,
             .text = error->message(),
             .buttons = QMessageBox::Ok | QMessageBox::Discard,
             .informativeText = QLatin1String(kNotSavedText),
             .buttonTexts = {{QMessageBox::Discard, QLatin1String(kLeaveWithoutSavingText)}},
             .defaultButton = QMessageBox::Ok,
             .escapeButton = QMessageBox::Ok});
        if (answer != QMessageBox::Discard)
            return;
    }
    EndDialog();
}

bool CFlashDlg::SaveWithoutAsking()
{
    const std::optional<FileError> error = WriteFiles();
    const QString message = error ? error->message() : QString();
    if (error && message != m_lastUnattendedError)
        qCCritical(lcGlintmark).noquote() << message;
    m_lastUnattendedError = message;
    return !error;
}

void CFlashDlg::EndWithoutAsking()
{
    if (m_bEnded)
        return;
    // Whatever waits for an answer now waits for nobody: open dialogs close as if cancelled, and
    // what would still ask goes to standard error.
    MessageBox::setUnattended(true);
    dismissOpenDialogs(this);
    m_bEndedUnsaved = !SaveWithoutAsking();
    EndDialog();
}

void CFlashDlg::reject()
{
    OnCancel();
}

void CFlashDlg::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        OnSize();
}

void CFlashDlg::OnSize()
{
    // A window hidden in the notification area is withdrawn; what a window manager then says
    // about its state means nothing.
    if (!isVisible() || m_trayState == TrayState::InTray)
        return;
    if (windowState() & Qt::WindowMinimized) {
        // With a dialog open, or without a notification area, the window stays minimised in the
        // task bar, where the user finds it and its dialog again.
        if (m_trayState == TrayState::Normal && !QApplication::activeModalWidget() && CTrayIcon::IsAvailable()) {
            m_trayState = TrayState::WaitingForIcon;
            if (!m_tray.AddIcon())
                m_trayState = TrayState::Normal;
        }
    } else if (m_trayState == TrayState::WaitingForIcon) {
        m_trayState = TrayState::Normal;
        m_tray.RemoveIcon();
    }
}

void CFlashDlg::OnTrayShown(bool onScreen)
{
    if (onScreen) {
        // Hidden only once the icon is there to bring the window back.
        if (m_trayState != TrayState::WaitingForIcon)
            return;
        if (!isVisible() || !isMinimized() || QApplication::activeModalWidget()) {
            m_trayState = TrayState::Normal;
            m_tray.RemoveIcon();
            return;
        }
        m_restorePos = pos();
        m_trayState = TrayState::InTray;
        hide();
        // The native window goes too, and with it the minimised state that the window manager gave
        // it: Qt would map a withdrawn window that it still takes for minimised as iconic again.
        // Brought back, the window is made afresh in its normal state.
        destroy();
        setWindowState(windowState() & ~Qt::WindowMinimized);
        return;
    }
    // The icon did not come, or its host went away and took the only way back with it: the
    // window stays in, or returns to, the task bar, minimised.
    const bool wasHidden = m_trayState == TrayState::InTray;
    m_trayState = TrayState::Normal;
    m_tray.RemoveIcon();
    if (wasHidden) {
        move(m_restorePos);
        // Window managers iconify a window they manage; one mapped asking to start iconic is
        // not always taken as such.
        show();
        setWindowState(windowState() | Qt::WindowMinimized);
        m_lostWindowChecksLeft = kLostWindowChecks;
        m_lostWindowCheck.start();
    }
}

void CFlashDlg::CheckWindowNotLost()
{
    if (--m_lostWindowChecksLeft <= 0)
        m_lostWindowCheck.stop();
    if (!isVisible() || m_trayState != TrayState::Normal || WindowFrame::isMappedOrIconic(this))
        return;
    // Mapped afresh, it is shown as it is, or taken on by whichever window manager runs now.
    qCInfo(lcGlintmark, "the window was left unmapped without a way back; showing it again");
    hide();
    show();
}

void CFlashDlg::OnTrayNotify(QSystemTrayIcon::ActivationReason reason)
{
    // A press of either button on an embedded icon, or a StatusNotifierItem's activation or
    // secondary activation, brings the window back. So does a double click: that is what a press
    // on a new icon looks like soon after a press on the last one at the same place.
    const bool restores = reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context
        || reason == QSystemTrayIcon::DoubleClick
        || (reason == QSystemTrayIcon::MiddleClick && m_tray.IsStatusNotifierItem());
    if (restores)
        OnShowDialog();
}

void CFlashDlg::OnShowDialog()
{
    const bool wasHidden = m_trayState == TrayState::InTray;
    m_trayState = TrayState::Normal;
    m_tray.RemoveIcon();
    if (wasHidden)
        move(m_restorePos);
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    // A dialog of the window's comes back with it.
    if (QWidget *dialog = QApplication::activeModalWidget(); dialog && dialog != this) {
        dialog->setWindowState(dialog->windowState() & ~Qt::WindowMinimized);
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    }
}

void CFlashDlg::StartAsAsked(const StartRequest &request)
{
    if (m_bEnded)
        return;
    if (request.startFlashing && !m_bFlashing)
        OnStart();
    if (request.minimized && isVisible())
        setWindowState(windowState() | Qt::WindowMinimized);
}

void CFlashDlg::ShowStartChoices()
{
    m_sessionStartChoice->setChecked(hasAutostartEntry());
    m_startFlashingChoice->setChecked(readStartFlashing());
}

void CFlashDlg::OnSessionStartChoice(bool start)
{
    const std::optional<FileError> error = start ? writeAutostartEntry(QCoreApplication::applicationFilePath())
                                                 : removeAutostartEntry();
    ShowStartChoices();
    if (error) {
        qCWarning(lcGlintmark).noquote() << "autostart entry:" << error->message();
        MessageBox::showFileError(this, kProgramName, *error);
    }
}

void CFlashDlg::OnStartFlashingChoice(bool start)
{
    writeStartFlashing(start);
    ShowStartChoices();
}

void CFlashDlg::contextMenuEvent(QContextMenuEvent *event)
{
    ShowStartChoices();
    m_windowMenu->exec(event->globalPos());
}

void CFlashDlg::OnTrayExit()
{
    OnCancel();
    // Still in the tray: a file could not be written and the user chose to go back.
    if (m_trayState == TrayState::InTray)
        OnShowDialog();
}
