#include "BeatDlg.h"

#include "AboutDlg.h"
#include "BeatTone.h"
#include "DataLocations.h"
#include "DisplayText.h"
#include "FadeOut.h"
#include "FileBytes.h"
#include "MessageBox.h"
#include "Program.h"
#include "OpenDialogs.h"
#include "ProgramMotion.h"
#include "ProgramSound.h"
#include "PulseWaveOut.h"
#include "SoundServer.h"
#include "WavExport.h"
#include "WindowFrame.h"
#include "WrappedLabel.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>

namespace {

// Per user, in Tonewell's own settings file.
QSettings userSettings()
{
    return QSettings(kProgramId, kProgramId);
}

// The entry a list shows chosen is its selected one, however it was chosen. A click or a key
// moves the current item and the selection together; an assistive tool clears the selection
// and then selects an entry without moving the current item, which the window reads. A
// single-choice list keeps a choice, and a disabled one keeps the one it has.
void followSelection(QListWidget *list)
{
    QObject::connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, list,
                     [list](const QItemSelection &selected, const QItemSelection &) {
                         QListWidgetItem *current = list->currentItem();
                         const QModelIndexList chosen = selected.indexes();
                         if (!list->isEnabled() || (chosen.isEmpty() && !list->selectedItems().isEmpty())) {
                             if (current && list->selectedItems() != QList<QListWidgetItem *>{current})
                                 list->setCurrentItem(current);
                         } else if (!chosen.isEmpty()) {
                             if (chosen.last() != list->currentIndex())
                                 list->setCurrentIndex(chosen.last());
                         } else {
                             // Emptied: an entry may be on its way; if none comes, the choice stays.
                             QMetaObject::invokeMethod(list, [list] {
                                 if (list->selectedItems().isEmpty() && list->currentItem())
                                     list->setCurrentItem(list->currentItem());
                             }, Qt::QueuedConnection);
                         }
                     });
}

} // namespace

CBeatDlg::CBeatDlg(QWidget *parent)
    : CBeatDlg(dataFolders(kProgramId), std::make_unique<PulseWaveOut>(kProgramName.toStdString()), parent)
{
}

CBeatDlg::CBeatDlg(QStringList dataFolders, std::unique_ptr<WaveOut> device, QWidget *parent)
    : QDialog(parent)
    , m_dataFolders(std::move(dataFolders))
    , m_hIcon(programIcon())
    , m_pSound(std::make_unique<CSoundServer>(std::move(device)))
    , m_device(m_pSound->device())
    , m_soundContext(new QObject)
    , m_timer(this)
    , m_countdownTimer(this)
{
    m_soundThread.setObjectName(QStringLiteral("sound"));
    m_soundContext->moveToThread(&m_soundThread);
    m_soundThread.start();
    if (m_device) {
        m_device->setVolumeObserver([this](double volume) {
            QMetaObject::invokeMethod(this, [this, volume] { emit streamVolumeChanged(volume); }, Qt::QueuedConnection);
        });
    }
    createControls();
    OnInitDialog();
}

CBeatDlg::~CBeatDlg()
{
    // The stream goes first: its notices may still be on their way to this window.
    shutdownSound();
}

double CBeatDlg::streamVolume() const
{
    return m_device ? m_device->volume() : WaveOut::kFullVolume;
}

void CBeatDlg::setStreamVolume(double volume)
{
    if (m_device)
        m_device->setVolume(volume);
}

template <typename Job> void CBeatDlg::onSoundThread(Job job)
{
    QMetaObject::invokeMethod(m_soundContext, std::move(job), Qt::QueuedConnection);
}

void CBeatDlg::shutdownSound()
{
    // The program is ending: a sound server that does not answer is not waited for.
    if (m_device) {
        m_device->setVolumeObserver({});
        m_device->abandon();
    }
    if (m_soundThread.isRunning()) {
        m_soundThread.quit();
        m_soundThread.wait();
    }
    delete m_soundContext;
    m_soundContext = nullptr;
    if (m_pSound) {
        m_pSound->Close();
        m_pSound.reset();
    }
    m_device = nullptr;
}

void CBeatDlg::createControls()
{
    setWindowTitle(kProgramName);
    setAccessibleName(kProgramName);
    setWindowIcon(m_hIcon);
    // A program's main window, not a dialog of some other window: a task-bar entry, a minimise
    // box and a close box, and no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto *notice = new QLabel(
        QStringLiteral("Please note that it only makes sense to use Tonewell with earphones, as it's based on "
                       "binaural beat effect. Read the help file by clicking \"Help\" if you're using Tonewell "
                       "for the first time."),
        this);
    notice->setObjectName(QStringLiteral("notice"));
    notice->setWordWrap(true);
    notice->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    notice->setMargin(4);
    // Labels carry no accessible name of their own: their text is what a screen reader reads, and
    // hears again when it changes (the description, the time left).

    m_btnPlay = new QPushButton(QStringLiteral("Play"), this);
    m_btnPlay->setObjectName(QStringLiteral("play"));
    m_btnPlay->setAccessibleName(QStringLiteral("Play"));
    m_btnPlay->setDefault(true);

    m_listStopAfter = new QListWidget(this);
    m_listStopAfter->setObjectName(QStringLiteral("stopAfter"));
    m_listStopAfter->setAccessibleName(QStringLiteral("Stop after"));
    m_listStopAfter->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_listStopAfter->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listStopAfter->setUniformItemSizes(true);
    m_listStopAfter->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    auto *stopAfterBox = new QGroupBox(QStringLiteral("Stop after"), this);
    stopAfterBox->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto *stopAfterLayout = new QVBoxLayout(stopAfterBox);
    stopAfterLayout->addWidget(m_listStopAfter);

    // Like the stop-after list, it stays enabled while playing and counts from the next Play.
    m_checkFadeOut = new QCheckBox(QStringLiteral("Fade out at the end"), this);
    m_checkFadeOut->setObjectName(QStringLiteral("fadeOut"));
    m_checkFadeOut->setAccessibleName(QStringLiteral("Fade out at the end"));

    m_timeLeft = new QLabel(this);
    m_timeLeft->setObjectName(QStringLiteral("timeLeft"));
    m_timeLeft->setAlignment(Qt::AlignCenter);
    m_timeLeft->hide();
    m_beatNow = new QLabel(this);
    m_beatNow->setObjectName(QStringLiteral("beatNow"));
    m_beatNow->setAlignment(Qt::AlignCenter);
    m_beatNow->hide();

    // What the window is waiting for, or why the sound stopped. It keeps one line's height, so
    // that the window's size stays; a screen reader hears each new text as the label's name.
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setFixedHeight(fontMetrics().lineSpacing());
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    m_listPrograms = new QListWidget(this);
    m_listPrograms->setObjectName(QStringLiteral("programs"));
    m_listPrograms->setAccessibleName(QStringLiteral("Programs"));
    m_listPrograms->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A name too long for the list ends in an ellipsis rather than scrolling the list sideways.
    m_listPrograms->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listPrograms->setTextElideMode(Qt::ElideRight);
    m_listPrograms->setUniformItemSizes(true);

    // The window keeps its size from one program to the next: the description wraps within the
    // width the program list gives it, anywhere if it must, and a longer one is cut short.
    m_staticDescription = new CWrappedLabel(kDescriptionLines, this);
    m_staticDescription->setObjectName(QStringLiteral("description"));
    auto *descriptionBox = new QGroupBox(QStringLiteral("Description"), this);
    auto *descriptionLayout = new QVBoxLayout(descriptionBox);
    descriptionLayout->addWidget(m_staticDescription);
    // The plan of a program that moves, in two lines kept for it whether or not there is one,
    // so that the window keeps its size.
    m_plan = new CWrappedLabel(2, this);
    m_plan->setObjectName(QStringLiteral("plan"));
    descriptionLayout->addWidget(m_plan);

    auto *help = new QPushButton(QStringLiteral("Help"), this);
    help->setObjectName(QStringLiteral("help"));
    help->setAccessibleName(QStringLiteral("Help"));
    help->setAutoDefault(false);
    auto *exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("exit"));
    exit->setAccessibleName(QStringLiteral("Exit"));
    exit->setAutoDefault(false);

    auto *leftColumn = new QWidget(this);
    leftColumn->setFixedWidth(std::max(fontMetrics().horizontalAdvance(QStringLiteral("Time left 00:00")) + 24,
                                       m_checkFadeOut->sizeHint().width()));
    auto *left = new QVBoxLayout(leftColumn);
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(m_btnPlay);
    left->addWidget(stopAfterBox);
    left->addWidget(m_checkFadeOut);
    left->addWidget(m_timeLeft);
    left->addWidget(m_beatNow);
    left->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(m_listPrograms, 1);
    right->addWidget(descriptionBox);
    auto *row = new QHBoxLayout;
    row->addWidget(leftColumn);
    row->addLayout(right, 1);

    auto *frame = new QGroupBox(this);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(notice);
    frameLayout->addLayout(row, 1);
    frameLayout->addWidget(m_status);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(exit);
    auto *layout = new QVBoxLayout(this);
    // The size the contents ask for, which follows the system font; with no size to choose,
    // window managers offer neither resizing nor maximising.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    WindowFrame::keepFixed(this);
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);

    // The window's own menu stands in for the title-bar menu, which Linux keeps to itself.
    m_exportWav = new QAction(QStringLiteral("Export to WAV..."), this);
    m_exportWav->setObjectName(QStringLiteral("exportWav"));
    connect(m_exportWav, &QAction::triggered, this, &CBeatDlg::OnExportWav);
    addAction(m_exportWav);
    auto *about = new QAction(QStringLiteral("&About Tonewell..."), this);
    about->setObjectName(QStringLiteral("about"));
    connect(about, &QAction::triggered, this, [this] { OnSysCommand(kIdmAboutBox); });
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    auto *helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, &CBeatDlg::OnHelpInfo);

    connect(m_btnPlay, &QPushButton::clicked, this, &CBeatDlg::OnPlay);
    connect(exit, &QPushButton::clicked, this, &CBeatDlg::OnExit);
    connect(help, &QPushButton::clicked, this, &CBeatDlg::OnHelpButton);
    connect(m_listPrograms, &QListWidget::currentRowChanged, this, &CBeatDlg::OnSelchangePrograms);
    connect(m_listStopAfter, &QListWidget::currentRowChanged, this, &CBeatDlg::choiceChanged);
    followSelection(m_listPrograms);
    followSelection(m_listStopAfter);
    setTabOrder(m_btnPlay, m_listPrograms);
    setTabOrder(m_listPrograms, m_listStopAfter);
    setTabOrder(m_listStopAfter, m_checkFadeOut);
    setTabOrder(m_checkFadeOut, help);
    setTabOrder(help, exit);

    m_timer.setObjectName(QStringLiteral("stopTimer"));
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CBeatDlg::OnTimer);
    m_countdownTimer.setInterval(1000);
    connect(&m_countdownTimer, &QTimer::timeout, this, &CBeatDlg::showTimeLeft);
}

void CBeatDlg::OnInitDialog()
{
    m_bPlaying = false;
    m_pSound->setDeviceLostHandler([this] {
        // On the stream's notice thread: hand over to the window's own thread.
        const int playback = m_playback.load();
        QMetaObject::invokeMethod(this, [this, playback] { onSoundLost(playback); }, Qt::QueuedConnection);
    });
    m_checkFadeOut->setChecked(userSettings().value(QLatin1String(kFadeOutSetting), false).toBool());
    connect(m_checkFadeOut, &QCheckBox::toggled, this,
            [](bool checked) { userSettings().setValue(QLatin1String(kFadeOutSetting), checked); });
    BuildPaths();
    if (LoadCatalogue())
        FillLists();
    OnSelchangePrograms();
}

void CBeatDlg::BuildPaths()
{
    m_strDataPath = findDataFile(m_dataFolders, QString::fromLatin1(kDataFileName));
    // Found nowhere: the file a user would add is the one beside the program, the first folder.
    if (!QFileInfo::exists(m_strDataPath) && !m_dataFolders.isEmpty())
        m_strDataPath = QFileInfo(QDir(m_dataFolders.first()).filePath(QString::fromLatin1(kDataFileName))).absoluteFilePath();
    m_strHelpPath = findDataFile(m_dataFolders, QString::fromLatin1(kHelpFileName));
}

bool CBeatDlg::LoadCatalogue()
{
    const FileBytes file = readFileBytes(m_strDataPath);
    if (file.error) {
        m_nPrograms = 0;
        QString details;
        if (file.error->errorCode == ENOENT && m_dataFolders.size() > 1) {
            QStringList others;
            for (const QString &folder : m_dataFolders.sliced(1))
                others << QDir::toNativeSeparators(QDir::cleanPath(QDir(folder).absolutePath()));
            details = QStringLiteral("Also looked in: ") + others.join(QStringLiteral(", "));
        }
        MessageBox::showFileError(nullptr, kProgramName, *file.error, details);
        return false;
    }
    m_nPrograms = ParseCatalogue(file.bytes, m_programs);
    return true;
}

void CBeatDlg::FillLists()
{
    // Only the start of each description is decoded, once: the label shows a few lines of it.
    for (int i = 0; i < m_nPrograms; ++i) {
        m_descriptions[i] = entryText(m_programs[i].m_strDescription);
        m_plans[i] = MotionText(m_programs[i].m_nBeatHz, m_programs[i].m_motion);
    }
    for (int i = 0; i < m_nPrograms; ++i) {
        auto *item = new QListWidgetItem(entryText(m_programs[i].m_strName));
        item->setData(Qt::UserRole, i);
        m_listPrograms->addItem(item);
    }
    m_listPrograms->setCurrentRow(m_nPrograms > 0 ? 0 : -1);

    for (const StopAfterEntry &entry : kStopAfter) {
        auto *item = new QListWidgetItem(QString::fromLatin1(entry.text));
        item->setData(Qt::UserRole, entry.minutes);
        m_listStopAfter->addItem(item);
    }
    // One entry high, scrolled with its scroll bar.
    m_listStopAfter->setFixedHeight(m_listStopAfter->sizeHintForRow(0) + 2 * m_listStopAfter->frameWidth());
    m_listStopAfter->setCurrentRow(kDefaultStopAfter);
    m_listStopAfter->scrollToItem(m_listStopAfter->currentItem(), QAbstractItemView::PositionAtTop);
}

void CBeatDlg::OnSelchangePrograms()
{
    const QListWidgetItem *item = m_listPrograms->currentItem();
    const int index = item ? item->data(Qt::UserRole).toInt() : -1;
    const bool loaded = index >= 0 && index < m_nPrograms;
    m_staticDescription->setText(loaded ? m_descriptions[index] : QString());
    m_plan->setText(loaded ? m_plans[index] : QString());
    if (!m_bPlaying && !m_bConnecting)
        m_btnPlay->setEnabled(loaded && m_listStopAfter->currentItem());
    m_exportWav->setEnabled(loaded && m_listStopAfter->currentItem());
    emit choiceChanged();
}

CBeatDlg::Choice CBeatDlg::currentChoice() const
{
    Choice choice;
    const QListWidgetItem *program = m_listPrograms->currentItem();
    const QListWidgetItem *stopAfter = m_listStopAfter->currentItem();
    const int index = program ? program->data(Qt::UserRole).toInt() : -1;
    if (index < 0 || index >= m_nPrograms || !stopAfter)
        return choice;
    choice.index = index;
    choice.name = program->text();
    choice.description = m_descriptions[index];
    choice.plan = m_plans[index];
    // While it plays, the running timer's minutes; a new choice counts from the next Play.
    choice.minutes = m_bPlaying ? m_timer.interval() / 60000 : stopAfter->data(Qt::UserRole).toInt();
    return choice;
}

void CBeatDlg::OnPlay()
{
    if (m_bPlaying) {
        stopPlayback();
        return;
    }
    // Nothing to play, no duration chosen, or still connecting: Play is disabled, and does
    // nothing if reached.
    const QListWidgetItem *program = m_listPrograms->currentItem();
    const QListWidgetItem *stopAfter = m_listStopAfter->currentItem();
    const int index = program ? program->data(Qt::UserRole).toInt() : -1;
    if (index < 0 || index >= m_nPrograms || !stopAfter || m_bConnecting || !m_pSound)
        return;

    m_listPrograms->setEnabled(false);
    const int minutes = stopAfter->data(Qt::UserRole).toInt();
    const std::int32_t baseHz = m_programs[index].m_nBaseHz;
    const std::int32_t beatHz = m_programs[index].m_nBeatHz;
    const ProgramMotion motion = m_programs[index].m_motion;
    m_bConnecting = true;
    m_playFocusedBeforeConnect = m_btnPlay->hasFocus();
    m_btnPlay->setEnabled(false);
    showStatus(QString::fromLatin1(kConnectingText));
    const int playback = ++m_playback;
    const bool fadeOut = m_checkFadeOut->isChecked();
    m_playingIndex = index;
    onSoundThread([this, baseHz, beatHz, motion, playback, minutes, fadeOut] {
        // Here, behind any Close still on its way: the tone changes only while the stream is closed.
        StartProgramPlayback(baseHz, beatHz, motion, fadeOut ? ProgramFrames(minutes) : 0);
        const bool opened = m_pSound->Open(&FillProgramBuffer, kBufferingMs) == 1;
        QMetaObject::invokeMethod(
            this, [this, playback, opened, minutes] { onSoundOpened(playback, opened, minutes); },
            Qt::QueuedConnection);
    });
}

void CBeatDlg::onSoundOpened(int playback, bool opened, int minutes)
{
    if (!m_bConnecting || playback != m_playback.load())
        return;
    m_bConnecting = false;
    m_btnPlay->setEnabled(true);
    if (m_playFocusedBeforeConnect)
        m_btnPlay->setFocus();
    showStatus(QString());
    if (opened) {
        m_bPlaying = true;
        m_timer.start(minutes * 60000);
        m_btnPlay->setText(QStringLiteral("Stop"));
        m_btnPlay->setAccessibleName(QStringLiteral("Stop"));
        m_stopDeadline = QDeadlineTimer(std::chrono::minutes(minutes), Qt::PreciseTimer);
        m_playingMs = std::int64_t(minutes) * 60000;
        showTimeLeft();
        m_timeLeft->show();
        m_beatNow->show();
        m_countdownTimer.start();
        emit playingChanged(true);
        emit choiceChanged();
        return;
    }
    MessageBox::show({.icon = QMessageBox::Warning,
                      .title = QStringLiteral("ERROR"),
                      .text = QStringLiteral("ERROR: Can't open the SoundServer.")});
    m_listPrograms->setEnabled(true);
}

void CBeatDlg::stopPlayback(const QString &status)
{
    m_timer.stop();
    onSoundThread([this] { m_pSound->Close(); });
    m_bPlaying = false;
    m_btnPlay->setText(QStringLiteral("Play"));
    m_btnPlay->setAccessibleName(QStringLiteral("Play"));
    m_listPrograms->setEnabled(true);
    m_countdownTimer.stop();
    m_timeLeft->hide();
    m_beatNow->hide();
    showStatus(status);
    emit playingChanged(false);
    emit choiceChanged();
}

void CBeatDlg::OnTimer()
{
    if (m_bPlaying)
        stopPlayback();
}

void CBeatDlg::onSoundLost(int playback)
{
    if (m_bPlaying && playback == m_playback.load())
        stopPlayback(QString::fromLatin1(kSoundLostText));
}

void CBeatDlg::showStatus(const QString &text)
{
    m_status->setText(text);
    // Its name is its text, and a new name is announced.
    m_status->setAccessibleName(text);
}

void CBeatDlg::showTimeLeft()
{
    const qint64 seconds = (m_stopDeadline.remainingTime() + 999) / 1000;
    m_timeLeft->setText(QStringLiteral("Time left %1:%2")
                            .arg(seconds / 60, 2, 10, QLatin1Char('0'))
                            .arg(seconds % 60, 2, 10, QLatin1Char('0')));
    showBeat();
}

void CBeatDlg::showBeat()
{
    if (m_playingIndex < 0 || m_playingIndex >= m_nPrograms)
        return;
    const CBeatProgram &program = m_programs[m_playingIndex];
    const std::int64_t playedMs = std::max<std::int64_t>(0, m_playingMs - m_stopDeadline.remainingTime());
    const double beat = BeatAtFrame(program.m_nBeatHz, program.m_motion.steps, playedMs * kSampleRate / 1000);
    m_beatNow->setText(tr("Beat %1 Hz").arg(QString::number(beat, 'f', program.m_motion.steps.empty() ? 0 : 1)));
}

void CBeatDlg::OnExit()
{
    // Exit and Quit end the program even while a box or dialog waits for an answer.
    dismissOpenDialogs(this);
    const bool wasPlaying = m_bPlaying;
    m_bPlaying = false;
    m_bConnecting = false;
    shutdownSound();
    m_timer.stop();
    m_countdownTimer.stop();
    if (wasPlaying)
        emit playingChanged(false);
    QDialog::reject();
}

void CBeatDlg::reject()
{
    OnExit();
}

void CBeatDlg::OnHelpButton()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_strHelpPath));
}

bool CBeatDlg::OnHelpInfo()
{
    OnHelpButton();
    return true;
}

void CBeatDlg::OnSysCommand(int command)
{
    if ((command & 0xFFF0) == kIdmAboutBox) {
        CAboutDlg about(this);
        about.exec();
    }
}

void CBeatDlg::OnExportWav()
{
    const QListWidgetItem *programItem = m_listPrograms->currentItem();
    const QListWidgetItem *stopAfter = m_listStopAfter->currentItem();
    const int index = programItem ? programItem->data(Qt::UserRole).toInt() : -1;
    if (index < 0 || index >= m_nPrograms || !stopAfter)
        return;
    const ProgramExport program{m_programs[index].m_nBaseHz, m_programs[index].m_nBeatHz,
                                stopAfter->data(Qt::UserRole).toInt(), m_checkFadeOut->isChecked(),
                                m_programs[index].m_motion};

    // The program's name, as far as it makes a file name.
    QString suggested = displayText(m_programs[index].m_strName).simplified();
    suggested.replace(QLatin1Char('/'), QLatin1Char('-'));
    if (suggested.isEmpty() || suggested.startsWith(QLatin1Char('.')))
        suggested.prepend(kProgramName);
    QFileDialog chooser(this, QStringLiteral("Export to WAV"),
                        QDir(QStandardPaths::writableLocation(QStandardPaths::MusicLocation))
                            .filePath(suggested + QStringLiteral(".wav")),
                        QStringLiteral("WAV files (*.wav);;All files (*)"));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    chooser.setDefaultSuffix(QStringLiteral("wav"));
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    const QString path = chooser.selectedFiles().constFirst();

    // The file is written on a thread of its own; the window goes on answering (and playing),
    // and the progress dialog keeps it from starting a second export meanwhile.
    QProgressDialog progress(QStringLiteral("Exporting to WAV..."), QStringLiteral("Cancel"), 0, 100, this);
    progress.setWindowTitle(QStringLiteral("Export to WAV"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    std::atomic<bool> cancelled{false};
    std::atomic<int> shownPercent{0};
    // The Cancel button, Esc and the close box.
    connect(&progress, &QProgressDialog::canceled, &progress, [&cancelled] { cancelled = true; });
    connect(&progress, &QDialog::rejected, &progress, [&cancelled] { cancelled = true; });
    ExportOutcome outcome;
    std::unique_ptr<QThread> writer(QThread::create([&] {
        outcome = ExportProgramToWav(path, program, [&](std::int64_t written, std::int64_t total) {
            const int percent = int(written * 100 / total);
            if (shownPercent.exchange(percent) != percent)
                QMetaObject::invokeMethod(&progress, [&progress, percent] { progress.setValue(percent); },
                                          Qt::QueuedConnection);
            return !cancelled.load();
        });
    }));
    writer->setObjectName(QStringLiteral("wav export"));
    QEventLoop waiting;
    connect(writer.get(), &QThread::finished, &waiting, &QEventLoop::quit, Qt::QueuedConnection);
    progress.show();
    writer->start();
    waiting.exec();
    writer->wait();
    progress.hide();
    if (outcome.result == ExportResult::Failed && outcome.error)
        MessageBox::showFileError(this, kProgramName, *outcome.error);
}
