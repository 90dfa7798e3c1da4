#pragma once

#include <QString>

#include <optional>

// What a program says about itself on the command line.
struct CommandLineProgram
{
    QString name;        // "Tonewell"
    QString version;     // from project(VERSION)
    QString copyright;
    QString description; // one line, for --help
};

// Reads the command line before any application object exists, so that --help and --version
// answer on a terminal without a display. Returns the exit status once the program has
// answered (--help and --version: 0, on standard output; an unknown option or a missing value:
// the error and the usage on standard error, 2), or nothing when the program is to start as
// usual. Qt's own options (-platform, -style, -display, ...) pass through for the application
// to read.
std::optional<int> answerCommandLine(int argc, const char *const *argv, const CommandLineProgram &program);
