#pragma once

#include <QApplication>
#include <QStringList>

// The application: runs the main window until the user leaves it. Hiding the window in the
// notification area does not end the program.
class CFlashApp : public QApplication
{
    Q_OBJECT

public:
    CFlashApp(int &argc, char **argv);
    // Runs the main window over the data folders of an installed or portable Glintmark.
    int InitInstance();
    // `dataFolders` as CFlashDlg takes them.
    int InitInstance(const QStringList &dataFolders);
};
