#include "BeatApp.h"

#include "BeatDlg.h"
#include "Program.h"

CBeatApp::CBeatApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(kProgramId);
    setApplicationVersion(QStringLiteral("1.0"));
    setDesktopFileName(kProgramId);
    setWindowIcon(programIcon());
}

int CBeatApp::InitInstance()
{
    CBeatDlg dialog;
    dialog.exec();
    return 0;
}
