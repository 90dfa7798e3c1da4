#pragma once

#include "FileError.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Glintmark for every day: coming up with the desktop session, in the notification area, and
// flashing from the start.

// The command-line options: flash as Start would once the window is up, and start in the
// notification area (or minimised in the task bar where there is none).
inline const QString kStartOption = QStringLiteral("start");
inline const QString kMinimizedOption = QStringLiteral("minimized");

// What the program was asked to do as it starts.
struct StartRequest
{
    bool startFlashing = false;
    bool minimized = false;
};

// "Start flashing when started", kept per user with the program's other per-user settings
// (QSettings: ~/.config/glintmark/); off unless the user chose it.
inline const QString kStartFlashingSetting = QStringLiteral("startFlashing");
bool readStartFlashing();
void writeStartFlashing(bool startFlashing);

// The entry that desktop sessions start at login: $XDG_CONFIG_HOME/autostart/glintmark.desktop
// (~/.config/autostart/ without the variable).
QString autostartEntryPath();
// The entry's contents: it runs `programPath` with --start --minimized.
QByteArray autostartEntry(const QString &programPath);
// `argument` as one argument of a desktop entry's Exec key, quoted and escaped where it holds
// what the key would otherwise read as something else.
QString desktopExecArgument(const QString &argument);

bool hasAutostartEntry();
// Writes the entry (whole, replacing any before it) or removes it; a failure names the file.
std::optional<FileError> writeAutostartEntry(const QString &programPath);
std::optional<FileError> removeAutostartEntry();
