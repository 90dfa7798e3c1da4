#pragma once

#include "FileError.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Whole-file reads and writes of the programs' data files. Failures carry the errno of the call
// that failed, so they can be shown with the fixed file-error texts.

struct FileBytes
{
    QByteArray bytes;
    std::optional<FileError> error;
};

// Up to `maxBytes` bytes (all when negative) from `offset` on; fewer when the file is shorter.
[[nodiscard]] FileBytes readFileBytes(const QString &path, qint64 maxBytes = -1, qint64 offset = 0);

// Replaces `path` with exactly `bytes`, or leaves the previous file untouched: the bytes go to a
// new file beside it, which is synced and only then renamed over the old one. A file that does
// not exist yet is created.
[[nodiscard]] std::optional<FileError> saveFileAtomically(const QString &path, const QByteArray &bytes);

// Hands a piece of the file being saved to the disk; false when that failed.
using SaveWriter = std::function<bool(const char *data, qint64 size)>;
// Produces the file through `write`, piece by piece; returns false to give the save up.
using SaveProducer = std::function<bool(const SaveWriter &write)>;

struct StreamedSave
{
    bool abandoned = false; // the producer gave up: nothing was saved, and that is no error
    std::optional<FileError> error;
};

// The same replacement for contents too large to hold in memory at once. A save that is given
// up or fails leaves the previous file (or no file) and no temporary file behind.
[[nodiscard]] StreamedSave saveFileAtomically(const QString &path, const SaveProducer &produce);

// Where a command line sends what it makes. "-" is standard output, and a FIFO or a character
// device is written straight through, in order, and never replaced: a reader on the other end
// gets the bytes as they come, and nothing is left to clean up when the writing stops half-way.
// Anything else (a regular file, a new name) is saved atomically as above. Sound or other bytes
// on a terminal only garble it, and other kinds of file (a block device, a socket) are no place
// for them either.
inline constexpr char kStandardOutputName[] = "-";
// "-", or /dev/stdout: written through the descriptor the program was given, at its place (a
// file opened for appending is appended to), whatever it is.
[[nodiscard]] bool namesStandardOutput(const QString &name);

enum class Destination {
    AtomicFile,
    Stream,
    Terminal,
    Unsupported,
};
[[nodiscard]] Destination destinationOf(const QString &name);

// Writes to `name` as destinationOf() says; a terminal fails with ENOTTY and an unsupported
// file with ENODEV, before anything is written. Errors name standard output "standard output".
[[nodiscard]] StreamedSave saveToDestination(const QString &name, const SaveProducer &produce);

// A save that would grow a file past the process's file-size limit (ulimit -f) then fails like
// a full disk, instead of the signal for it ending the program with the day's work unsaved.
// Called once, at start.
void failSavesPastTheFileSizeLimit();
