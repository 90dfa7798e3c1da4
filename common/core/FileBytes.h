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

// A save that would grow a file past the process's file-size limit (ulimit -f) then fails like
// a full disk, instead of the signal for it ending the program with the day's work unsaved.
// Called once, at start.
void failSavesPastTheFileSizeLimit();
