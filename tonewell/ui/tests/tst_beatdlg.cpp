#include "AboutDlg.h"
#include "BeatDlg.h"
#include "BeatTone.h"
#include "FadeOut.h"
#include "FileBytes.h"
#include "MemoryWaveOut.h"
#include "ReferenceProgram.h"
#include "MessageBoxRecorder.h"
#include "ModalAnswer.h"
#include "NamedChild.h"
#include "SoundServer.h"
#include "TestFiles.h"
#include "WavExport.h"
#include "DisplayText.h"
#include "WrappedLabel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QAccessible>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

namespace {

const QByteArray kCatalogue("Alpha 10 Hz;For a calm, alert state.;200;10;\r\n"
                            "Theta 6 Hz;For winding down.;150;6;\r\n"
                            "Beta 18 Hz;For active work.;220;18;\r\n");

// One window over a catalogue in a folder of its own, playing into memory.
struct Window
{
    explicit Window(const QByteArray *catalogue = &kCatalogue, bool withHelp = false)
    {
        if (catalogue)
            write("data.dat", *catalogue);
        if (withHelp)
            write("help.html", "<html></html>");
        dialog = std::make_unique<CBeatDlg>(QStringList{dir.path()}, std::unique_ptr<WaveOut>(device));
    }

    void write(const char *name, const QByteArray &contents)
    {
        if (!writeWholeFile(dir.filePath(name), contents))
            qFatal("cannot write %s", name);
    }

    template <typename T> T *child(const char *name) const { return namedChild<T>(dialog.get(), name); }
    QPushButton *play() const { return child<QPushButton>("play"); }
    QListWidget *programs() const { return child<QListWidget>("programs"); }
    QListWidget *stopAfter() const { return child<QListWidget>("stopAfter"); }
    QCheckBox *fadeOut() const { return child<QCheckBox>("fadeOut"); }
    QLabel *description() const { return child<QLabel>("description"); }
    QLabel *timeLeft() const { return child<QLabel>("timeLeft"); }
    QLabel *status() const { return child<QLabel>("status"); }
    QTimer *stopTimer() const { return child<QTimer>("stopTimer"); }

    // Play has been answered: the stream plays. Opening runs off the window's thread.
    bool playing() const { return play()->text() == "Stop" && play()->isEnabled() && device->isOpen(); }
    bool idle() const
    {
        return play()->text() == "Play" && programs()->isEnabled() && !stopTimer()->isActive()
               && !timeLeft()->isVisible() && !device->isOpen();
    }

    QTemporaryDir dir;
    MemoryWaveOut *device = new MemoryWaveOut;
    std::shared_ptr<const MemoryWaveOut::Record> record = device->record();
    std::unique_ptr<CBeatDlg> dialog;
};

} // namespace

class BeatDlgTest : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { m_openedUrls << url; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    }

    void init()
    {
        m_messages.emplace();
        m_openedUrls.clear();
    }
    void cleanup() { m_messages.reset(); }

    void startsWithFirstProgramAndTwentyMinutes()
    {
        Window w;
        QCOMPARE(w.dialog->windowTitle(), QString("Tonewell"));
        QCOMPARE(w.dialog->windowIcon().availableSizes().size(), 8); // 16 to 256 pixels
        QCOMPARE(w.programs()->count(), 3);
        QCOMPARE(w.programs()->currentRow(), 0);
        QCOMPARE(w.programs()->item(0)->text(), QString("Alpha 10 Hz"));
        QCOMPARE(w.description()->text(), QString("For a calm, alert state."));
        QStringList entries;
        QList<int> minutes;
        for (int i = 0; i < w.stopAfter()->count(); ++i) {
            entries << w.stopAfter()->item(i)->text();
            minutes << w.stopAfter()->item(i)->data(Qt::UserRole).toInt();
        }
        QCOMPARE(entries, (QStringList{"5 min", "10 min", "15 min", "20 min", "30 min", "40 min", "50 min", "60 min"}));
        QCOMPARE(minutes, (QList<int>{5, 10, 15, 20, 30, 40, 50, 60}));
        QCOMPARE(w.stopAfter()->currentRow(), 3);
        QVERIFY(w.play()->isEnabled());
        QVERIFY(w.idle());
        QVERIFY(m_messages->requests().isEmpty());
    }

    void selectionShowsItsDescription()
    {
        Window w;
        w.programs()->setCurrentRow(2);
        QCOMPARE(w.description()->text(), QString("For active work."));
    }

    void playThenStop()
    {
        Window w;
        w.programs()->setCurrentRow(1);
        w.stopAfter()->setCurrentRow(0);
        QTest::mouseClick(w.play(), Qt::LeftButton);

        QTRY_VERIFY(w.playing());
        QCOMPARE(w.play()->accessibleName(), QString("Stop"));
        QVERIFY(!w.programs()->isEnabled());
        QVERIFY(w.stopAfter()->isEnabled());
        QVERIFY(w.stopTimer()->isActive());
        QCOMPARE(w.stopTimer()->interval(), 300000);
        QVERIFY(w.device->isOpen());
        QCOMPARE(w.device->queued(), std::size_t(2));
        QCOMPARE(beatToneState().stepLeft, BeatToneStep(150));
        QCOMPARE(beatToneState().stepRight, BeatToneStep(156));
        QVERIFY(w.timeLeft()->isVisibleTo(w.dialog.get()));
        QCOMPARE(w.timeLeft()->text(), QString("Time left 05:00"));

        // A new duration counts from the next Play only.
        w.stopAfter()->setCurrentRow(7);
        QCOMPARE(w.stopTimer()->interval(), 300000);

        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.idle());
        QVERIFY(w.record->halted());
        QCOMPARE(w.record->closes(), 1);
        QCOMPARE(w.description()->text(), QString("For winding down."));

        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        QCOMPARE(w.stopTimer()->interval(), 3600000);
        QCOMPARE(w.record->opens(), 2);
    }

    // Playback continues the tone where the last filled buffer of the previous one ended.
    void secondPlayContinuesThePhase()
    {
        Window w;
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        QVERIFY(w.device->step());
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.idle());
        const BeatToneState after = beatToneState();
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        QVERIFY(w.device->step());
        const std::vector<char> played = w.record->played();
        const std::size_t bufferBytes = CSoundServer::BufferBytesFor(CBeatDlg::kBufferingMs);
        QCOMPARE(played.size(), 2 * bufferBytes);

        BeatToneState expected = after;
        SetBeatFrequencies(expected, 200, 10);
        std::vector<std::int16_t> samples(bufferBytes / 2);
        FillBeatBuffer(expected, samples.data(), bufferBytes);
        QVERIFY(std::memcmp(played.data() + bufferBytes, samples.data(), bufferBytes) == 0);
    }

    // Off at first; the choice is the user's and outlives the window.
    void fadeOutChoiceIsKept()
    {
        QSettings(QStringLiteral("tonewell"), QStringLiteral("tonewell")).clear();
        {
            Window w;
            QVERIFY(!w.fadeOut()->isChecked());
            QCOMPARE(w.fadeOut()->text(), QString("Fade out at the end"));
            QVERIFY(w.fadeOut()->isEnabled());
            w.fadeOut()->click();
        }
        {
            Window w;
            QVERIFY(w.fadeOut()->isChecked());
            w.fadeOut()->click();
        }
        Window w;
        QVERIFY(!w.fadeOut()->isChecked());
    }

    // A whole five-minute playback and a little more, buffer by buffer: without the fade the
    // generator's output as it is; with it, its last ten seconds fall to silence, and silence
    // follows until the timer stops the stream.
    void playbackFadesOutOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("fade");
        QTest::newRow("off") << false;
        QTest::newRow("on") << true;
    }
    void playbackFadesOutOnlyWhenAsked()
    {
        QFETCH(bool, fade);
        Window w;
        w.fadeOut()->setChecked(fade);
        w.programs()->setCurrentRow(1);
        w.stopAfter()->setCurrentRow(0);
        BeatToneState expectedState = beatToneState();
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        // Ticked or not while it plays, the choice counts from the next Play.
        w.fadeOut()->setChecked(!fade);

        const std::size_t bufferBytes = CSoundServer::BufferBytesFor(CBeatDlg::kBufferingMs);
        const std::size_t bufferFrames = bufferBytes / 4;
        const qint64 programFrames = 5 * 60 * 44100;
        const int buffers = int(programFrames / qint64(bufferFrames)) + 2;
        for (int b = 0; b < buffers; ++b)
            QVERIFY(w.device->step());
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.idle());

        const std::vector<char> played = w.record->played();
        QCOMPARE(played.size(), std::size_t(buffers) * bufferBytes);
        SetBeatFrequencies(expectedState, 150, 6);
        std::vector<std::int16_t> expected(played.size() / 2);
        for (int b = 0; b < buffers; ++b) {
            std::int16_t *buffer = expected.data() + std::size_t(b) * bufferBytes / 2;
            FillBeatBuffer(expectedState, buffer, bufferBytes);
            if (fade)
                ApplyFadeOut(buffer, bufferFrames, qint64(b) * qint64(bufferFrames), programFrames);
        }
        QVERIFY(std::memcmp(played.data(), expected.data(), played.size()) == 0);
        const auto *samples = reinterpret_cast<const std::int16_t *>(played.data());
        const auto heard = [&](qint64 from, qint64 to) {
            return std::any_of(samples + 2 * from, samples + 2 * to, [](std::int16_t s) { return s != 0; });
        };
        QCOMPARE(heard(programFrames - 1, qint64(played.size() / 4)), !fade);
        QVERIFY(heard(programFrames - kFadeOutFrames / 2, programFrames - kFadeOutFrames / 2 + 100));
    }

    // A program that moves: its plan under the description, the beat beside the time left while it
    // plays, and the stream filled as the reference works it out from where the tones stood.
    void movingProgramShowsItsPlanAndPlaysIt()
    {
        const QByteArray catalogue("Wind;Down.;200;14;steps=10@1;noise=pink@-24;\nAlpha;Calm.;200;10;\n");
        Window w(&catalogue);
        auto *plan = w.child<QLabel>("plan");
        auto *beat = w.child<QLabel>("beatNow");
        QCOMPARE(plan->text(), QString::fromUtf8("14 → 10 Hz in 1 min; pink noise"));
        const BeatToneState before = beatToneState();
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        QVERIFY(!beat->isHidden());
        QCOMPARE(beat->text(), QString("Beat 14.0 Hz"));
        for (int b = 0; b < 3; ++b)
            QVERIFY(w.device->step());
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.idle());
        QVERIFY(beat->isHidden());

        const std::vector<char> played = w.record->played();
        const std::uint32_t bufferFrames = CSoundServer::BufferBytesFor(CBeatDlg::kBufferingMs) / 4;
        QCOMPARE(played.size(), 3 * std::size_t(bufferFrames) * 4);
        const ProgramMotion motion{{{10.0, 1}}, {NoiseColour::Pink, -24}};
        const Samples expected = ReferenceProgram(200, 14, motion, before)
                                     .play(std::vector<std::uint32_t>(played.size() / (4 * bufferFrames), bufferFrames));
        QCOMPARE(expected.size() * 2, played.size());
        QVERIFY(std::memcmp(played.data(), expected.data(), played.size()) == 0);

        // A still program has no plan, and its beat is its own.
        w.programs()->setCurrentRow(1);
        QCOMPARE(plan->text(), QString());
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        QCOMPARE(beat->text(), QString("Beat 10 Hz"));
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.idle());
    }

    // From the window's menu: the chosen program for the chosen time, faded if ticked, from the
    // generator's zero state whatever has played before; the file dialog answered as a user would.
    void exportToWavFromTheMenu_data()
    {
        QTest::addColumn<bool>("fade");
        QTest::newRow("plain") << false;
        QTest::newRow("faded") << true;
    }
    void exportToWavFromTheMenu()
    {
        QFETCH(bool, fade);
        Window w;
        auto *exportWav = w.child<QAction>("exportWav");
        QCOMPARE(exportWav->text(), QString("Export to WAV..."));
        const QList<QAction *> menu = w.dialog->actions();
        QCOMPARE(menu.indexOf(exportWav) + 1, menu.indexOf(w.child<QAction>("about")));
        w.programs()->setCurrentRow(2);
        w.stopAfter()->setCurrentRow(0);
        w.fadeOut()->setChecked(fade);
        // Playing meanwhile changes nothing in the file.
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        QVERIFY(w.device->step());

        const QString path = w.dir.filePath("exported.wav");
        bool saving = false;
        answerNextModal<QFileDialog>(w.dialog.get(), [&](QFileDialog *chooser) {
            saving = chooser->acceptMode() == QFileDialog::AcceptSave;
            chooser->selectFile(path);
            static_cast<QDialog *>(chooser)->accept(); // Save, as pressed
        });
        exportWav->trigger();
        QVERIFY(saving);
        QVERIFY(w.playing());

        const FileBytes file = readFileBytes(path);
        QVERIFY(!file.error);
        const std::int64_t frames = 5 * 60 * 44100;
        QCOMPARE(file.bytes.size(), 44 + frames * 4);
        QCOMPARE(file.bytes.left(44), WavHeader(frames));
        BeatToneState state;
        SetBeatFrequencies(state, 220, 18);
        std::vector<std::int16_t> expected(2 * std::size_t(frames));
        for (std::int64_t done = 0; done < frames; done += kExportFramesPerFill) {
            std::int16_t *block = expected.data() + 2 * done;
            FillBeatBuffer(state, block, kExportFramesPerFill * 4);
            if (fade)
                ApplyFadeOut(block, kExportFramesPerFill, done, frames);
        }
        QVERIFY(std::memcmp(file.bytes.constData() + 44, expected.data(), frames * 4) == 0);
        QVERIFY(m_messages->requests().isEmpty());
    }

    // Cancelled, the earlier file stays as it was; a file that cannot be written is reported
    // with its file-error text.
    void exportToWavCancelledOrFailing()
    {
        Window w;
        w.stopAfter()->setCurrentRow(7);
        auto *exportWav = w.child<QAction>("exportWav");
        const QString path = w.dir.filePath("exported.wav");
        QVERIFY(writeWholeFile(path, "earlier"));
        bool cancelSeen = false;
        answerNextModal<QFileDialog>(w.dialog.get(), [&](QFileDialog *chooser) {
            chooser->setOption(QFileDialog::DontConfirmOverwrite); // the replacing is what is tested
            chooser->selectFile(path);
            static_cast<QDialog *>(chooser)->accept(); // Save, as pressed
            answerNextModal<QProgressDialog>(w.dialog.get(), [&](QProgressDialog *progress) {
                auto *cancel = progress->findChild<QPushButton *>();
                cancelSeen = progress->labelText() == "Exporting to WAV..." && cancel && cancel->text() == "Cancel";
                if (cancel)
                    cancel->click();
            });
        });
        exportWav->trigger();
        QVERIFY(cancelSeen);
        QCOMPARE(readFileBytes(path).bytes, QByteArray("earlier"));
        QVERIFY(m_messages->requests().isEmpty());

        const QString missing = w.dir.filePath("no folder/exported.wav");
        answerNextModal<QFileDialog>(w.dialog.get(), [&](QFileDialog *chooser) {
            chooser->setOption(QFileDialog::DontConfirmOverwrite);
            chooser->selectFile(missing);
            static_cast<QDialog *>(chooser)->accept(); // Save, as pressed
        });
        exportWav->trigger();
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests()[0].icon, QMessageBox::Critical);
        QCOMPARE(m_messages->requests()[0].text, QString("%1 was not found.").arg(missing));
    }

    void timerEndsPlayback()
    {
        Window w;
        w.stopAfter()->setCurrentRow(0);
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        QCOMPARE(w.stopTimer()->interval(), 300000);
        w.stopTimer()->start(1); // the same timer, due now instead of in five minutes
        QTRY_VERIFY(w.idle());
        QCOMPARE(w.record->closes(), 1);

        // A late tick while idle changes nothing.
        w.dialog->OnTimer();
        QVERIFY(w.idle());
        QCOMPARE(w.record->opens(), 1);
    }

    void timeLeftCountsDown()
    {
        Window w;
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        QCOMPARE(w.timeLeft()->text(), QString("Time left 20:00"));
        // A busy machine may hold the window for a few seconds, and the count then skips ahead.
        QTRY_VERIFY_WITH_TIMEOUT(w.timeLeft()->text() != QString("Time left 20:00"), 3000);
        QVERIFY2(QRegularExpression("^Time left 19:[0-5][0-9]$").match(w.timeLeft()->text()).hasMatch(),
                 qPrintable(w.timeLeft()->text()));
    }

    void enterTogglesAndEscapeEnds()
    {
        Window w;
        w.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.dialog.get()));
        w.programs()->setFocus();
        QTest::keyClick(w.programs(), Qt::Key_Return);
        QTRY_VERIFY(w.playing());
        QTest::keyClick(w.dialog.get(), Qt::Key_Return);
        QTRY_VERIFY(w.idle());
        QTest::keyClick(w.dialog.get(), Qt::Key_Return);
        QTRY_VERIFY(w.playing());

        QTest::keyClick(w.dialog.get(), Qt::Key_Escape);
        QCOMPARE(w.dialog->result(), int(QDialog::Rejected));
        QVERIFY(!w.dialog->isVisible());
        QVERIFY(w.record->halted());
        QCOMPARE(w.record->opens(), 2);
        QCOMPARE(w.record->closes(), 2);
    }

    void closeBoxAndExitEndWhilePlaying_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Exit button") << false;
        QTest::newRow("close box") << true;
    }
    void closeBoxAndExitEndWhilePlaying()
    {
        QFETCH(bool, closeBox);
        Window w;
        w.dialog->show();
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        if (closeBox)
            w.dialog->close();
        else
            QTest::mouseClick(w.child<QPushButton>("exit"), Qt::LeftButton);
        QVERIFY(!w.dialog->isVisible());
        QCOMPARE(w.record->closes(), 1);
        QVERIFY(!w.stopTimer()->isActive());
    }

    void failedOpenWarnsAndStaysIdle()
    {
        Window w;
        w.device->setFailOpen(true);
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_COMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests()[0].title, QString("ERROR"));
        QCOMPARE(m_messages->requests()[0].text, QString("ERROR: Can't open the SoundServer."));
        QCOMPARE(m_messages->requests()[0].icon, QMessageBox::Warning);
        QCOMPARE(m_messages->requests()[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(w.idle());

        QCOMPARE(w.status()->text(), QString());

        w.device->setFailOpen(false);
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
    }

    void lostSoundServerReturnsToIdle()
    {
        Window w;
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        QCOMPARE(w.status()->text(), QString());
        w.device->loseDevice();
        QTRY_VERIFY(w.idle());
        QVERIFY(m_messages->requests().isEmpty());
        QCOMPARE(w.status()->text(), QString(CBeatDlg::kSoundLostText));
        QCOMPARE(w.status()->accessibleName(), w.status()->text());
        QVERIFY(w.status()->isVisibleTo(w.dialog.get()));
        QTest::mouseClick(w.play(), Qt::LeftButton);
        QTRY_VERIFY(w.playing());
        QCOMPARE(w.status()->text(), QString());
    }

    void emptyCatalogueLeavesNothingToPlay_data()
    {
        QTest::addColumn<QByteArray>("catalogue");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("empty first line") << QByteArray("\r\nA;a;200;10;\r\n");
    }
    void emptyCatalogueLeavesNothingToPlay()
    {
        QFETCH(QByteArray, catalogue);
        Window w(&catalogue);
        QCOMPARE(w.programs()->count(), 0);
        QCOMPARE(w.description()->text(), QString());
        QVERIFY(!w.play()->isEnabled());
        w.dialog->OnPlay();
        QVERIFY(w.idle());
        QCOMPARE(w.record->opens(), 0);
        QVERIFY(m_messages->requests().isEmpty());
    }

    void missingCatalogueIsReportedByPath()
    {
        Window w(nullptr);
        QCOMPARE(m_messages->requests().size(), 1);
        QCOMPARE(m_messages->requests()[0].title, QString("Tonewell"));
        QCOMPARE(m_messages->requests()[0].icon, QMessageBox::Critical);
        QCOMPARE(m_messages->requests()[0].text, w.dir.filePath("data.dat") + " was not found.");
        QCOMPARE(m_messages->requests()[0].informativeText, QString());
        QCOMPARE(w.programs()->count(), 0);
        QCOMPARE(w.stopAfter()->count(), 0);
        QCOMPARE(w.description()->text(), QString());
        QVERIFY(!w.play()->isEnabled());
        w.dialog->OnPlay();
        QCOMPARE(w.record->opens(), 0);
        QVERIFY(!w.stopTimer()->isActive());
    }

    // Found in none of the folders searched: the message names the file beside the program,
    // where a user would put it, and the other folders on a line below. Found in a later folder,
    // it is read from there.
    void catalogueIsLookedForInEveryFolder()
    {
        QTemporaryDir beside, user, installed;
        {
            CBeatDlg dialog(QStringList{beside.path(), user.path(), installed.path()}, std::make_unique<MemoryWaveOut>());
            QCOMPARE(m_messages->requests().size(), 1);
            const MessageBox::Request &request = m_messages->requests()[0];
            QCOMPARE(request.text, beside.filePath("data.dat") + " was not found.");
            QCOMPARE(request.informativeText, "Also looked in: " + user.path() + ", " + installed.path());
        }
        m_messages->clear();
        QVERIFY(writeWholeFile(user.filePath("data.dat"), kCatalogue));
        CBeatDlg dialog(QStringList{beside.path(), user.path(), installed.path()}, std::make_unique<MemoryWaveOut>());
        QVERIFY(m_messages->requests().isEmpty());
        QCOMPARE(dialog.findChild<QListWidget *>("programs")->count(), 3);
    }

    // A word longer than the window wraps inside itself and is cut after a few lines, a long
    // name is elided in its list, and neither makes the window wider. A description of 10 MB
    // shows its start and nothing more.
    void longTextsKeepTheWindowsSize()
    {
        Window normal;
        normal.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(normal.dialog.get()));
        const QSize size = normal.dialog->size();

        const QByteArray word(320, 'W');
        const QByteArray huge = QByteArray("Start. ") + QByteArray(10 << 20, 'x');
        const QByteArray catalogue = QByteArray(320, 'N') + ";" + word + ";200;10;\n" + "Huge;" + huge + ";150;6;\n";
        Window w(&catalogue);
        w.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.dialog.get()));
        QCOMPARE(w.dialog->size(), size);
        QVERIFY(w.dialog->width() <= w.dialog->screen()->availableGeometry().width());

        CWrappedLabel *description = qobject_cast<CWrappedLabel *>(w.description());
        QVERIFY(description);
        QCOMPARE(description->text(), QString::fromLatin1(word));
        const int textWidth = description->contentsRect().width();
        QVERIFY(textWidth > 0);
        // Wrapped within the width: as many lines as the word needs at that width, of which the
        // label shows its few.
        const int needed = description->linesNeeded(textWidth);
        QVERIFY2(needed >= description->fontMetrics().horizontalAdvance(QString::fromLatin1(word)) / textWidth,
                 qPrintable(QString::number(needed)));
        QVERIFY(needed > CBeatDlg::kDescriptionLines);
        QCOMPARE(description->height(),
                 CBeatDlg::kDescriptionLines * description->fontMetrics().lineSpacing()
                     + description->contentsMargins().top() + description->contentsMargins().bottom());
        QVERIFY(!description->grab().isNull());

        QCOMPARE(w.programs()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(w.programs()->textElideMode(), Qt::ElideRight);
        QCOMPARE(w.programs()->item(0)->text(), QString(320, 'N'));

        w.programs()->setCurrentRow(1);
        QCOMPARE(description->text().size(), kEntryTextLimit);
        QVERIFY(description->text().startsWith("Start. xxx"));
        QCOMPARE(w.dialog->size(), size);
        w.programs()->setCurrentRow(0);
        w.programs()->setCurrentRow(1);
        QCOMPARE(description->text().size(), kEntryTextLimit);
    }

    void helpOpensTheShippedPage()
    {
        QDesktopServices::setUrlHandler("file", this, "openUrl");
        Window w(&kCatalogue, true);
        QTest::mouseClick(w.child<QPushButton>("help"), Qt::LeftButton);
        QCOMPARE(m_openedUrls, QList<QUrl>{QUrl::fromLocalFile(w.dir.filePath("help.html"))});

        w.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.dialog.get()));
        QTest::keyClick(w.dialog.get(), Qt::Key_F1);
        QCOMPARE(m_openedUrls.size(), 2);
        QCOMPARE(m_openedUrls[1], m_openedUrls[0]);
        QDesktopServices::unsetUrlHandler("file");
    }

    void aboutBoxFromTheWindowMenu()
    {
        Window w;
        QAction *about = w.child<QAction>("about");
        QCOMPARE(about->text(), QString("&About Tonewell..."));
        QVERIFY(w.dialog->actions().contains(about));
        QCOMPARE(w.dialog->contextMenuPolicy(), Qt::ActionsContextMenu);

        QString title, version, copyright, okText;
        answerNextModal<CAboutDlg>(w.dialog.get(), [&](CAboutDlg *box) {
            title = box->windowTitle();
            version = box->findChild<QLabel *>("version")->text();
            copyright = box->findChild<QLabel *>("copyright")->text();
            if (QPushButton *ok = box->findChild<QPushButton *>()) {
                okText = ok->text();
                ok->click();
            }
        });
        about->trigger();
        QCOMPARE(title, QString("About Tonewell"));
        QCOMPARE(version, QString("Tonewell Version 1.0"));
        QCOMPARE(copyright, QString::fromUtf8("Copyright © 2026 The Glintmark and Tonewell authors"));
        QCOMPARE(okText, QString("OK"));
    }

    void everyControlHasAnAccessibleName()
    {
        Window w;
        for (QWidget *widget : w.dialog->findChildren<QWidget *>()) {
            if (widget->focusPolicy() != Qt::NoFocus && widget->isVisibleTo(w.dialog.get())
                && !widget->inherits("QScrollBar") && widget->parentWidget()->inherits("QAbstractScrollArea") == false)
                QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
        }
        for (const char *name : {"play", "programs", "stopAfter", "fadeOut", "help", "exit"})
            QVERIFY2(!w.child<QWidget>(name)->accessibleName().isEmpty(), name);
        // A label reads as what it shows.
        for (const char *name : {"description", "timeLeft", "notice", "status"}) {
            auto *label = w.child<QLabel>(name);
            QVERIFY2(!label->text().isEmpty() || label == w.timeLeft() || label == w.status(), name);
            QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), label->text());
        }
    }

private:
    std::optional<MessageBoxRecorder> m_messages;
    QList<QUrl> m_openedUrls;
    QTemporaryDir m_settingsDir;
};

QTEST_MAIN(BeatDlgTest)
#include "tst_beatdlg.moc"
