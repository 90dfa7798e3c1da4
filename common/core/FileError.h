#pragma once

#include <QString>

// A file that could not be opened, read or written, with the cause as errno reported it.
struct FileError
{
    int errorCode = 0;
    QString path;

    // The fixed message for the cause, naming the file by its full path.
    QString message() const;
};
