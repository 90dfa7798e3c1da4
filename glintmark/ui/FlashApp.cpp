#include "FlashApp.h"

#include "DataLocations.h"
#include "FileBytes.h"
#include "FlashDlg.h"
#include "FlashProgram.h"
#include "GlintmarkVersion.h"
#include "MessageBox.h"
#include "SessionRestart.h"
#include "TerminationSignals.h"

#include <QSessionManager>
#include <QTimer>

CFlashApp::CFlashApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The message boxes' caption.
    setApplicationName(kProgramName);
    // Per-user settings (the short-display notice's "don't show again") go to
    // ~/.config/glintmark/.
    setOrganizationName(kProgramId);
    setApplicationVersion(QLatin1String(kProgramVersion));
    setDesktopFileName(kProgramId);
    setWindowIcon(programIcon());
    // The main window hides while it waits in the notification area, and the last message box
    // may close meanwhile; only leaving the main window ends the program.
    setQuitOnLastWindowClosed(false);
    failSavesPastTheFileSizeLimit();
    SessionRestart::keepRestartable(*this);
}

int CFlashApp::InitInstance()
{
    return InitInstance(dataFolders(kProgramId));
}

int CFlashApp::InitInstance(const QStringList &dataFolders)
{
    // Taken over before the window is made: its start-up may already wait for the user.
    const TerminationSignals stopRequests;
    if (!stopRequests.isActive())
        qCWarning(lcGlintmark, "cannot catch TERM, HUP and INT; they will end the program without saving");
    bool stopRequested = false;
    connect(&stopRequests, &TerminationSignals::received, this, [this, &stopRequested] {
        stopRequested = true;
        MessageBox::setUnattended(true);
        if (m_pMainDlg)
            m_pMainDlg->EndWithoutAsking();
    });

    CFlashDlg dialog(dataFolders);
    m_pMainDlg = &dialog;
    connect(&dialog, &QDialog::finished, this, &QCoreApplication::quit);
    // Logging out saves the day's work; nobody may be there to answer a question.
    connect(this, &QGuiApplication::commitDataRequest, &dialog, [&dialog](QSessionManager &) {
        dialog.SaveWithoutAsking();
    });
    // Told to stop while the window was being made: what it read is saved back, as if the user
    // had left at once.
    if (stopRequested)
        dialog.EndWithoutAsking();
    if (!dialog.hasEnded()) {
        dialog.show();
        StartRequest request = m_startRequest;
        request.startFlashing = request.startFlashing || readStartFlashing();
        // Once the event loop runs, so that the window is up as it would be for a user's click.
        QTimer::singleShot(0, &dialog, [&dialog, request] { dialog.StartAsAsked(request); });
        exec();
    }
    m_pMainDlg = nullptr;
    // Scripts and service managers that end the program learn from the status whether the
    // work was kept.
    return dialog.endedUnsaved() ? kExitUnsaved : 0;
}

bool CFlashApp::event(QEvent *event)
{
    if (event->type() == QEvent::Quit && m_pMainDlg && !m_pMainDlg->hasEnded())
        m_pMainDlg->EndWithoutAsking();
    return QApplication::event(event);
}
