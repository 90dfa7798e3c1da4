#include "FileError.h"

#include <QDir>

#include <cerrno>

namespace {

// The message template ("%1 was not found." and its siblings) for an errno value.
QString fileErrorTemplate(int errorCode)
{
    switch (errorCode) {
    case ENOENT:
        return QStringLiteral("%1 was not found.");
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("Access to %1 was denied.");
    case ENAMETOOLONG:
    case ENOTDIR:
    case EISDIR:
    case EINVAL:
        return QStringLiteral("%1 contains an invalid path.");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("%1 could not be opened because there are too many open files.");
    case EBADF:
        return QStringLiteral("An invalid file handle was associated with %1.");
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("Disk full while accessing %1.");
    case EIO:
        return QStringLiteral("A hardware I/O error was reported while accessing %1.");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("A sharing violation occurred while accessing %1.");
    case ENOLCK:
    case EDEADLK:
        return QStringLiteral("A locking violation occurred while accessing %1.");
    default:
        return QStringLiteral("An unknown error occurred while accessing %1.");
    }
}

} // namespace

QString FileError::message() const
{
    return fileErrorTemplate(errorCode).arg(QDir::toNativeSeparators(path));
}
