#include "BeatApp.h"

#include "BeatDesktop.h"
#include "BeatDlg.h"
#include "Program.h"
#include "SessionRestart.h"
#include "TonewellVersion.h"

CBeatApp::CBeatApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // Also the window class (WM_CLASS "tonewell", "Tonewell") and the name screen readers say;
    // the settings and data folders are named by kProgramId wherever they are opened.
    setApplicationName(kProgramName);
    setApplicationVersion(QLatin1String(kProgramVersion));
    setDesktopFileName(kProgramId);
    setWindowIcon(programIcon());
    SessionRestart::keepRestartable(*this);
}

int CBeatApp::InitInstance()
{
    CBeatDlg dialog;
    CBeatDesktop desktop(dialog, QDBusConnection::sessionBus(), QDBusConnection::systemBus());
    dialog.exec();
    return 0;
}
