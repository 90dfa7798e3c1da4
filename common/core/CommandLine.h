#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QCommandLineParser;

// What a program says about itself on the command line.
struct CommandLineProgram
{
    QString name;        // "Tonewell"
    QString version;     // from project(VERSION)
    QString copyright;
    QString description; // one line, for --help
    // The program's own options, listed by --help, and what it makes of them when the command
    // line holds any of them: the exit status once it has done what they ask, or nothing to
    // start as usual. It runs with a QCoreApplication (one of its own when none exists yet);
    // `called` is the name the program was called by, for its messages.
    QList<QCommandLineOption> options = {};
    std::function<std::optional<int>(const QCommandLineParser &parser, const QString &called)> answer = {};
};

// Reads the command line before any application object exists, so that --help and --version
// answer on a terminal without a display. Returns the exit status once the program has
// answered (--help and --version: 0, on standard output; an unknown option or a missing value:
// the error and the usage on standard error, 2; the program's own options: what its answer
// returns), or nothing when the program is to start as usual. Qt's own options (-platform, -style, -display, ...) pass through for the application
// to read.
std::optional<int> answerCommandLine(int argc, const char *const *argv, const CommandLineProgram &program);
