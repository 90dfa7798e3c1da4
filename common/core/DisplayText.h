#pragma once

#include <QByteArray>
#include <QString>

// Texts pass between the data files as raw bytes, so a file saved again keeps the bytes it
// had; only the screen needs characters. Bytes that decode cleanly as UTF-8 are read that way; any others as Windows-1252,
// the code page of older files from Western European Windows systems.
QString displayText(const QByteArray &bytes);

// The most characters an entry of a list or a tree shows. A view elides what does not fit its
// width anyway, and laying out a text of millions of characters would hold the window for
// seconds.
inline constexpr qsizetype kEntryTextLimit = 1000;

// displayText() of `bytes` cut to kEntryTextLimit characters, ending in an ellipsis when it was
// longer. Only the part shown is decoded.
QString entryText(const QByteArray &bytes);

// New text for a data file, encoded as UTF-8.
QByteArray storedText(const QString &text);
