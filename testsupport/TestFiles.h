#pragma once

#include <QByteArray>
#include <QString>

// Whole files as the tests write, read and copy them.

// False when the file cannot be written in full.
bool writeWholeFile(const QString &path, const QByteArray &bytes);
// The file's bytes, or "<missing>" when it cannot be read, so that a file that is not there
// never passes for an empty one.
QByteArray readWholeFile(const QString &path);
// Glintmark's shipped library, ticks and settings (List.txt, check.txt, font.dat), copied into
// `folder` and writable there as a user's own files are.
bool copyShippedFiles(const QString &folder);
