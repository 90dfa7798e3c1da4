#include "FlashApp.h"

#include "DataLocations.h"
#include "FlashDlg.h"
#include "FlashProgram.h"

CFlashApp::CFlashApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The message boxes' caption.
    setApplicationName(kProgramName);
    // Per-user settings (the short-display notice's "don't show again") go to
    // ~/.config/glintmark/.
    setOrganizationName(kProgramId);
    setApplicationVersion(QStringLiteral("2.1"));
    setDesktopFileName(kProgramId);
    setWindowIcon(programIcon());
    // The main window hides while it waits in the notification area, and the last message box
    // may close meanwhile; only leaving the main window ends the program.
    setQuitOnLastWindowClosed(false);
}

int CFlashApp::InitInstance()
{
    return InitInstance(dataFolders(kProgramId));
}

int CFlashApp::InitInstance(const QStringList &dataFolders)
{
    CFlashDlg dialog(dataFolders);
    connect(&dialog, &QDialog::finished, this, &QCoreApplication::quit);
    dialog.show();
    exec();
    return 0;
}
