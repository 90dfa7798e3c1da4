#pragma once

#include <QApplication>

// The application: shows the main window modally and ends when it closes.
class CBeatApp : public QApplication
{
    Q_OBJECT

public:
    CBeatApp(int &argc, char **argv);
    int InitInstance();
};
