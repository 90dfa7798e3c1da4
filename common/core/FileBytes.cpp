#include "FileBytes.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Qt reports some refusals without a failing system call; give those the cause they stand for.
FileError errorFor(const QString &path, int errorCode, int fallback)
{
    return FileError{errorCode != 0 ? errorCode : fallback, QFileInfo(path).absoluteFilePath()};
}

QString shownName(const QString &name)
{
    return namesStandardOutput(name) ? QStringLiteral("standard output") : QFileInfo(name).absoluteFilePath();
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

StreamedSave streamInto(int fd, const QString &name, const SaveProducer &produce)
{
    std::optional<FileError> error;
    const SaveWriter write = [&](const char *data, qint64 size) {
        errno = 0;
        if (!error && writeAll(fd, data, size))
            return true;
        if (!error)
            error = FileError{errno != 0 ? errno : EIO, shownName(name)};
        return false;
    };
    const bool produced = produce(write);
    return {!produced && !error, error};
}

} // namespace

bool namesStandardOutput(const QString &name)
{
    return name == QLatin1String(kStandardOutputName) || name == QLatin1String("/dev/stdout");
}

Destination destinationOf(const QString &name)
{
    if (namesStandardOutput(name))
        return ::isatty(STDOUT_FILENO) == 1 ? Destination::Terminal : Destination::Stream;
    struct stat status;
    if (::stat(QFile::encodeName(name).constData(), &status) != 0 || S_ISREG(status.st_mode)
        || S_ISDIR(status.st_mode))
        return Destination::AtomicFile; // the save reports what is wrong with the name
    if (S_ISFIFO(status.st_mode))
        return Destination::Stream;
    if (!S_ISCHR(status.st_mode))
        return Destination::Unsupported;
    // Opened without waiting and without becoming the controlling terminal, only to ask.
    const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const bool terminal = fd >= 0 && ::isatty(fd) == 1;
    if (fd >= 0)
        ::close(fd);
    return terminal ? Destination::Terminal : Destination::Stream;
}

StreamedSave saveToDestination(const QString &name, const SaveProducer &produce)
{
    switch (destinationOf(name)) {
    case Destination::AtomicFile:
        return saveFileAtomically(name, produce);
    case Destination::Terminal:
        return {false, FileError{ENOTTY, shownName(name)}};
    case Destination::Unsupported:
        return {false, FileError{ENODEV, shownName(name)}};
    case Destination::Stream:
        break;
    }
    if (namesStandardOutput(name))
        return streamInto(STDOUT_FILENO, name, produce);
    errno = 0;
    // Never created, never truncated: the FIFO or device stays what it is.
    const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {false, errorFor(name, errno, EACCES)};
    StreamedSave outcome = streamInto(fd, name, produce);
    if (::close(fd) != 0 && !outcome.error && !outcome.abandoned)
        outcome.error = errorFor(name, errno, EIO);
    return outcome;
}

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
