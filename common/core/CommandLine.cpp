#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace {

// The options QGuiApplication and QApplication take for themselves, with a value or without.
constexpr const char *kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "session", "display", "name", "style", "stylesheet", "geometry", "title",
    "icon", "qmljsdebugger"};
constexpr const char *kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

constexpr char kLicence[] = "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                            "This is free software: you are free to change and redistribute it.\n"
                            "There is NO WARRANTY, to the extent permitted by law.\n";

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// The usage names the program as it was called, which only an application object knows.
QString usageText(QCommandLineParser &parser, int argc, const char *const *argv)
{
    if (QCoreApplication::instance())
        return parser.helpText();
    int count = argc;
    QCoreApplication application(count, const_cast<char **>(argv));
    return parser.helpText();
}

} // namespace

std::optional<int> answerCommandLine(int argc, const char *const *argv, const CommandLineProgram &program)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    // -platform is one option, as Qt reads it, not the letters p, l, a, ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(program.description);
    // Not addHelpOption(): its --help-all would promise Qt's options, which the program leaves
    // to the application it starts.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
                                  QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    for (const char *name : kQtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const QCommandLineOption &option : program.options)
        parser.addOption(option);
    for (const char *name : kQtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    const QString called = arguments.isEmpty() ? program.name : QFileInfo(arguments.first()).fileName();
    if (!parser.parse(arguments)) {
        print(stderr, called + QStringLiteral(": ") + parser.errorText() + QLatin1Char('\n'));
        print(stderr, usageText(parser, argc, argv));
        return 2;
    }
    if (parser.isSet(help)) {
        print(stdout, usageText(parser, argc, argv));
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, program.name + QLatin1Char(' ') + program.version
                          + QLatin1Char('\n') + program.copyright + QLatin1Char('\n')
                          + QLatin1String(kLicence));
        return 0;
    }
    const bool ownOption = std::any_of(program.options.begin(), program.options.end(),
                                       [&](const QCommandLineOption &option) { return parser.isSet(option); });
    if (!program.answer || !ownOption)
        return std::nullopt;
    if (QCoreApplication::instance())
        return program.answer(parser, called);
    int count = argc;
    QCoreApplication application(count, const_cast<char **>(argv));
    return program.answer(parser, called);
}
