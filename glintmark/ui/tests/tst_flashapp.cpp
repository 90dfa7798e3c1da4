// The application around the main window: it runs until the user leaves the window, and
// hiding the window (as in the notification area) or closing a message box does not end it.

#include "CListEditDlg.h"
#include "FlashApp.h"
#include "FlashDlg.h"
#include "FlashNotice.h"
#include "MessageBoxRecorder.h"
#include "SessionStart.h"
#include "TestFiles.h"

#include <QAccessible>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <optional>

namespace {

CFlashDlg *mainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<CFlashDlg *>(widget))
            return dialog;
    }
    return nullptr;
}

// The main window the run shows. Without one there is nothing to drive: the run is ended, so
// that the test's checks fail instead of the test waiting for a window that nobody leaves.
CFlashDlg *shownMainWindowOrEndTheRun()
{
    CFlashDlg *window = mainWindow();
    if (window && window->isVisible())
        return window;
    QCoreApplication::exit();
    return nullptr;
}

} // namespace

class FlashAppTest : public QObject
{
    Q_OBJECT

private slots:
    void runsUntilTheWindowIsLeft()
    {
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Glintmark"));
        QVERIFY(!QApplication::quitOnLastWindowClosed());
        QTemporaryDir dir;
        QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QVERIFY(writeWholeFile(dir.filePath("List.txt"), "Calm;I breathe;"));
        const MessageBoxRecorder messages;

        QStringList steps;
        // Owns the steps below, so that none outlives this test if the run ends without it.
        const QObject stepsOfThisTest;
        QTimer::singleShot(0, &stepsOfThisTest, [&] {
            CFlashDlg *window = shownMainWindowOrEndTheRun();
            if (!window)
                return;
            steps << "shown";
            window->hide();
            QTimer::singleShot(100, &stepsOfThisTest, [&, window] {
                steps << "still running while hidden";
                window->show();
                // A window of the program's own that closes ends nothing either.
                auto *other = new QWidget;
                other->setAttribute(Qt::WA_DeleteOnClose);
                other->show();
                other->close();
                QTimer::singleShot(100, &stepsOfThisTest, [&, window] {
                    steps << "still running after another window closed";
                    window->findChild<QPushButton *>(QStringLiteral("exit"))->click();
                });
            });
        });
        auto *app = static_cast<CFlashApp *>(qApp);
        QCOMPARE(app->InitInstance({dir.path(), dir.filePath("user"), dir.filePath("share")}), 0);
        QCOMPARE(steps, (QStringList{"shown", "still running while hidden", "still running after another window closed"}));
        QVERIFY(!mainWindow());
        // Started without "check.txt" and "font.dat", left with all three written.
        QCOMPARE(messages.requests().size(), 2);
        QCOMPARE(QFileInfo(dir.filePath("check.txt")).size(), 10000);
        QCOMPARE(QFileInfo(dir.filePath("font.dat")).size(), 44);
    }

    // Flashing from the start, as Start would: asked on the command line, or chosen once with
    // "Start flashing when started"; neither, and the window waits for the user.
    void startsFlashingWhenAsked_data()
    {
        QTest::addColumn<bool>("commandLine");
        QTest::addColumn<bool>("choice");
        QTest::newRow("neither") << false << false;
        QTest::newRow("--start") << true << false;
        QTest::newRow("Start flashing when started") << false << true;
        QTest::newRow("both") << true << true;
    }
    void startsFlashingWhenAsked()
    {
        QFETCH(bool, commandLine);
        QFETCH(bool, choice);
        QTemporaryDir dir;
        QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QSettings().setValue(kShortDisplayNoticeSetting, true);
        writeStartFlashing(choice);
        QVERIFY(writeWholeFile(dir.filePath("List.txt"), "Calm;I breathe;"));
        QByteArray ticks(10000, '\0');
        ticks[1] = 1;
        QVERIFY(writeWholeFile(dir.filePath("check.txt"), ticks));
        const MessageBoxRecorder messages;

        std::optional<bool> flashingOnceUp;
        const QObject stepsOfThisTest;
        QTimer::singleShot(0, &stepsOfThisTest, [&] {
            if (!shownMainWindowOrEndTheRun())
                return;
            // After what the application itself queued once the window was shown.
            QTimer::singleShot(0, &stepsOfThisTest, [&] {
                CFlashDlg *window = shownMainWindowOrEndTheRun();
                if (!window)
                    return;
                flashingOnceUp = window->isFlashing() && window->overlay();
                window->findChild<QPushButton *>(QStringLiteral("exit"))->click();
            });
        });
        auto *app = static_cast<CFlashApp *>(qApp);
        app->setStartRequest({.startFlashing = commandLine});
        QCOMPARE(app->InitInstance({dir.path(), dir.filePath("user"), dir.filePath("share")}), 0);
        app->setStartRequest({});
        QCOMPARE(flashingOnceUp, std::optional<bool>(commandLine || choice));
        // Only "font.dat" was missing: no refusal, no notice.
        QCOMPARE(messages.requests().size(), 1);
        QVERIFY(messages.requests().first().text.endsWith(QStringLiteral("font.dat was not found.")));
    }

    // Exit pressed while a dialog or box waits (through the accessibility interface, as a screen
    // reader presses it, which no modal dialog holds back) saves and ends the program: the
    // dialog closes as if cancelled and its modal loop returns.
    void exitWithADialogOpen_data()
    {
        QTest::addColumn<bool>("editor"); // else a message box
        QTest::newRow("the library editor") << true;
        QTest::newRow("a message box") << false;
    }
    void exitWithADialogOpen()
    {
        QFETCH(bool, editor);
        QTemporaryDir dir;
        QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QVERIFY(writeWholeFile(dir.filePath("List.txt"), "Calm;I breathe;"));
        // Answers what start-up reports about the missing files; then real boxes show.
        std::optional<MessageBoxRecorder> startUp(std::in_place);

        QString waiting;
        const QObject stepsOfThisTest;
        QTimer watch;
        watch.setInterval(20);
        QObject::connect(&watch, &QTimer::timeout, &stepsOfThisTest, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            CFlashDlg *window = mainWindow();
            if (!waiting.isEmpty() || !modal || !window)
                return;
            waiting = modal->metaObject()->className();
            auto *exit = window->findChild<QPushButton *>(QStringLiteral("exit"));
            QAccessible::queryAccessibleInterface(exit)->actionInterface()->doAction(
                QAccessibleActionInterface::pressAction());
            // Left open, it would hold the test: closed for the test later, which then fails.
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                QTimer::singleShot(5000, dialog, [dialog, &waiting] {
                    waiting += " (still open)";
                    dialog->reject();
                });
        });
        QTimer::singleShot(0, &stepsOfThisTest, [&] {
            CFlashDlg *window = shownMainWindowOrEndTheRun();
            if (!window)
                return;
            startUp.reset();
            watch.start();
            if (editor)
                window->OnEdit();
            else
                MessageBox::show({.parent = window, .title = "Glintmark", .text = "A question"});
        });
        auto *app = static_cast<CFlashApp *>(qApp);
        QCOMPARE(app->InitInstance({dir.path(), dir.filePath("user"), dir.filePath("share")}), 0);
        // Closed by Exit, not by the test's later rescue.
        QCOMPARE(waiting, QString(editor ? "CListEditDlg" : "QMessageBox"));
        QVERIFY(!mainWindow());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(QFileInfo(dir.filePath("check.txt")).size(), 10000);
        QCOMPARE(QFileInfo(dir.filePath("font.dat")).size(), 44);
    }

    // Ended from outside, the program writes its files as leaving does and asks nothing, also
    // with a dialog open: TERM, HUP and INT, and the session manager's end of the session (which
    // reaches the program as the whole application quitting). A file that cannot be written is
    // reported on standard error instead of in a box that nobody would answer.
    void endedFromOutside_data()
    {
        QTest::addColumn<int>("signalNumber"); // 0: the session ends
        QTest::addColumn<bool>("editorOpen");
        QTest::addColumn<bool>("fontFileUnwritable");
        for (const auto &[name, number] : {std::pair{"TERM", SIGTERM}, {"HUP", SIGHUP}, {"INT", SIGINT}})
            QTest::addRow("%s", name) << number << false << false;
        QTest::newRow("TERM with the editor open") << int(SIGTERM) << true << false;
        QTest::newRow("the session ends") << 0 << false << false;
        QTest::newRow("the session ends with the editor open") << 0 << true << false;
        QTest::newRow("TERM, font.dat cannot be written") << int(SIGTERM) << false << true;
        QTest::newRow("the session ends, font.dat cannot be written") << 0 << false << true;
    }
    void endedFromOutside()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, editorOpen);
        QFETCH(bool, fontFileUnwritable);
        QTemporaryDir dir;
        QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QVERIFY(writeWholeFile(dir.filePath("List.txt"), "Calm;I breathe;"));
        if (fontFileUnwritable)
            QVERIFY(QDir(dir.path()).mkdir("font.dat"));
        MessageBoxRecorder asked;
        if (fontFileUnwritable)
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("font\\.dat"));

        bool editorShown = false;
        const auto endFromOutside = [signalNumber] {
            if (signalNumber != 0) {
                ::raise(signalNumber);
            } else {
                QEvent quit(QEvent::Quit);
                QCoreApplication::sendEvent(qApp, &quit);
            }
        };
        const QObject stepsOfThisTest;
        QTimer::singleShot(0, &stepsOfThisTest, [&] {
            CFlashDlg *window = shownMainWindowOrEndTheRun();
            if (!window)
                return;
            asked.clear(); // what start-up reported about the missing files
            if (!editorOpen) {
                endFromOutside();
                return;
            }
            QTimer::singleShot(0, &stepsOfThisTest, [&] {
                editorShown = qobject_cast<CListEditDlg *>(QApplication::activeModalWidget()) != nullptr;
                endFromOutside();
            });
            window->OnEdit();
        });
        auto *app = static_cast<CFlashApp *>(qApp);
        // A file that could not be written makes the end a failure that scripts can see.
        QCOMPARE(app->InitInstance({dir.path(), dir.filePath("user"), dir.filePath("share")}), fontFileUnwritable ? 1 : 0);
        const bool unattended = MessageBox::isUnattended();

        QVERIFY(!mainWindow());
        QCOMPARE(editorShown, editorOpen);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(asked.requests().size(), 0);
        QVERIFY(unattended);
        QCOMPARE(QFileInfo(dir.filePath("check.txt")).size(), 10000);
        if (fontFileUnwritable)
            QVERIFY(QFileInfo(dir.filePath("font.dat")).isDir());
        else
            QCOMPARE(QFileInfo(dir.filePath("font.dat")).size(), 44);
    }
};

int main(int argc, char *argv[])
{
    CFlashApp app(argc, argv);
    FlashAppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_flashapp.moc"
