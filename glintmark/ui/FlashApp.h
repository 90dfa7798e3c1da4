#pragma once

#include "SessionStart.h"

#include <QApplication>
#include <QPointer>
#include <QStringList>

class CFlashDlg;

// The application: runs the main window until the user leaves it. Hiding the window in the
// notification area does not end the program. Ended from outside (the desktop session ends, or
// the process gets TERM, HUP or INT), it saves the user's work as leaving does, and exits with a
// failure status when that save fails.
class CFlashApp : public QApplication
{
    Q_OBJECT

public:
    // The exit status when the program was ended from outside and its files could not all be
    // written.
    static constexpr int kExitUnsaved = 1;

    CFlashApp(int &argc, char **argv);
    // What the command line asked for; "Start flashing when started" adds to it.
    void setStartRequest(const StartRequest &request) { m_startRequest = request; }
    // Runs the main window over the data folders of an installed or portable Glintmark.
    int InitInstance();
    // `dataFolders` as CFlashDlg takes them.
    int InitInstance(const QStringList &dataFolders);

protected:
    // The session manager's "die" arrives as a quit of the whole application.
    bool event(QEvent *event) override;

private:
    QPointer<CFlashDlg> m_pMainDlg;
    StartRequest m_startRequest;
};
