#pragma once

#include <QByteArray>
#include <QString>

// Stored texts are bytes. Valid UTF-8 is shown as UTF-8; anything else is taken to be
// Windows-1252, so files written on Windows in the Western code page still read correctly.
QString displayText(const QByteArray &bytes);

// What the user typed, as the bytes to store (UTF-8).
QByteArray storedText(const QString &text);
