#include "BeatApp.h"

#include "BeatDlg.h"
#include "Program.h"
#include "TonewellVersion.h"

CBeatApp::CBeatApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(kProgramId);
    setApplicationVersion(QLatin1String(kProgramVersion));
    setDesktopFileName(kProgramId);
    setWindowIcon(programIcon());
}

int CBeatApp::InitInstance()
{
    CBeatDlg dialog;
    dialog.exec();
    return 0;
}
