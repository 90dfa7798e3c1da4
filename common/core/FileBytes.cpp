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
    return saveFileAtomically(path, [&bytes](const SaveWriter &write) {
               return write(bytes.constData(), bytes.size());
           }).error;
}

StreamedSave saveFileAtomically(const QString &path, const SaveProducer &produce)
{
    const QFileInfo existing(path);
    if (existing.isDir())
        return {false, errorFor(path, EISDIR, EISDIR)};

    QSaveFile file(path);
    errno = 0;
    // Unbuffered, so a failing write reports its own errno rather than a later flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {false, errorFor(path, errno, EACCES)};

    std::optional<FileError> error;
    const SaveWriter write = [&](const char *data, qint64 size) {
        errno = 0;
        if (!error && file.write(data, size) == size)
            return true;
        if (!error)
            error = errorFor(path, errno, EIO);
        return false;
    };
    const bool produced = produce(write);
    errno = 0;
    // QSaveFile ignores a failing sync; a disk that cannot take the data must not cost the old file.
    if (produced && !error && ::fsync(file.handle()) != 0)
        error = errorFor(path, errno, EIO);
    if (!produced || error) {
        file.cancelWriting();
        file.commit();
        return {!error, error};
    }
    errno = 0;
    if (!file.commit())
        return {false, errorFor(path, errno, EIO)};
    return {};
}

void failSavesPastTheFileSizeLimit()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
