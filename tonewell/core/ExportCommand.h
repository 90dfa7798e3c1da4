#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <optional>

class QCommandLineParser;

// tonewell --export FILE [--program NAME] [--minutes N] [--fade-out]: a program of the
// catalogue written to a WAV file, without a window. FILE may be - (standard output), a FIFO or
// a character device, which get the sound as it is made.

inline constexpr int kDefaultExportMinutes = 20;
inline constexpr int kMostExportMinutes = 600;
// An unknown --program lists this many of the catalogue's names, and how many more there are.
inline constexpr qsizetype kListedProgramNames = 20;

QList<QCommandLineOption> exportCommandOptions();

// Exit statuses besides 0: a command line that asks for something that is not there (an
// unknown program, minutes out of range, an option without --export) is 2, like a wrong option;
// an export that could not be done is 1; one ended by a signal 128 + its number.
inline constexpr int kExportFailed = 1;
inline constexpr int kExportUsageError = 2;

// Runs the export that the parsed command line asks for, reading the catalogue at
// `cataloguePath`. Messages go to standard error, and so does the progress when standard error
// is a terminal. Returns the exit status.
int runExportCommand(const QCommandLineParser &parser, const QString &called, const QString &cataloguePath);
