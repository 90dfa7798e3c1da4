#include "FileBytes.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

// Qt reports some refusals without a failing system call; give those the cause they stand for.
FileError errorFor(const QString &path, int errorCode, int fallback)
{
    return FileError{errorCode != 0 ? errorCode : fallback, QFileInfo(path).absoluteFilePath()};
}

} // namespace

FileBytes readFileBytes(const QString &path, qint64 maxBytes, qint64 offset)
{
    if (QFileInfo(path).isDir())
        return {{}, errorFor(path, EISDIR, EISDIR)};
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        return {{}, errorFor(path, errno, EACCES)};
    if (offset > 0 && !file.seek(offset))
        return {{}, errorFor(path, errno, EIO)};
    errno = 0;
    QByteArray bytes = maxBytes < 0 ? file.readAll() : file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        return {{}, errorFor(path, errno, EIO)};
    return {bytes, std::nullopt};
}

std::optional<FileError> saveFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QFileInfo existing(path);
    if (existing.isDir())
        return errorFor(path, EISDIR, EISDIR);

    QSaveFile file(path);
    errno = 0;
    // Unbuffered, so a failing write reports its own errno rather than a later flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return errorFor(path, errno, EACCES);

    errno = 0;
    // QSaveFile ignores a failing sync; a disk that cannot take the data must not cost the old file.
    if (file.write(bytes) != bytes.size() || ::fsync(file.handle()) != 0) {
        const FileError error = errorFor(path, errno, EIO);
        file.cancelWriting();
        file.commit();
        return error;
    }
    errno = 0;
    if (!file.commit())
        return errorFor(path, errno, EIO);
    return std::nullopt;
}

void failSavesPastTheFileSizeLimit()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
