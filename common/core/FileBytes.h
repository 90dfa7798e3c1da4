#pragma once

#include "FileError.h"

#include <QByteArray>
#include <QString>

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

// A save that would grow a file past the process's file-size limit (ulimit -f) then fails like
// a full disk, instead of the signal for it ending the program with the day's work unsaved.
// Called once, at start.
void failSavesPastTheFileSizeLimit();
