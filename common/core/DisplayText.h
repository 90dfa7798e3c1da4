#pragma once

#include <QByteArray>
#include <QString>

// Texts pass between the data files as raw bytes, so a file saved again keeps the bytes it
// had; only the screen needs characters. Bytes that decode cleanly as UTF-8 are read that way; any others as Windows-1252,
// the code page of older files from Western European Windows systems.
QString displayText(const QByteArray &bytes);

// New text for a data file, encoded as UTF-8.
QByteArray storedText(const QString &text);
