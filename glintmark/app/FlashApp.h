#pragma once

#include <QApplication>

// The application: runs the main window until the user leaves it. Hiding the window in the
// notification area does not end the program.
class CFlashApp : public QApplication
{
    Q_OBJECT

public:
    CFlashApp(int &argc, char **argv);
    int InitInstance();
};
