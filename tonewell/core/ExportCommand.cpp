#include "ExportCommand.h"

#include "Catalogue.h"
#include "DisplayText.h"
#include "FileBytes.h"
#include "TerminationSignals.h"
#include "WavExport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

const QString kExport = QStringLiteral("export");
const QString kProgram = QStringLiteral("program");
const QString kMinutes = QStringLiteral("minutes");
const QString kFadeOut = QStringLiteral("fade-out");

void printError(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

// Names from the catalogue or the command line as a terminal can show them: control characters
// (a NUL byte, an escape sequence, a line break) as \x.. or \u.... instead of what they would do
// to the terminal or the message.
QString printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            shown += c.unicode() < 0x100 ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                                         : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

// "--minutes 45" and nothing else: digits only, no sign, no spaces, no fraction.
std::optional<int> wholeMinutes(const QString &text)
{
    if (text.isEmpty() || text.size() > 3
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const int minutes = text.toInt();
    if (minutes < 1 || minutes > kMostExportMinutes)
        return std::nullopt;
    return minutes;
}

} // namespace

QList<QCommandLineOption> exportCommandOptions()
{
    return {
        QCommandLineOption(kExport, QStringLiteral("Writes a program to the WAV file <file> and ends, without a window."),
                           QStringLiteral("file")),
        QCommandLineOption(kProgram, QStringLiteral("With --export: the program of the catalogue to write (the first "
                                                    "one if not given)."),
                           QStringLiteral("name")),
        QCommandLineOption(kMinutes, QStringLiteral("With --export: how many minutes to write, a whole number from 1 "
                                                    "to %1 (%2 if not given).")
                                         .arg(kMostExportMinutes)
                                         .arg(kDefaultExportMinutes),
                           QStringLiteral("n")),
        QCommandLineOption(kFadeOut, QStringLiteral("With --export: fade out over the last ten seconds.")),
    };
}

int runExportCommand(const QCommandLineParser &parser, const QString &called, const QString &cataloguePath)
{
    const QString prefix = called + QStringLiteral(": ");
    if (!parser.isSet(kExport)) {
        printError(prefix + QStringLiteral("--program, --minutes and --fade-out go with --export FILE.\n"));
        return kExportUsageError;
    }
    int minutes = kDefaultExportMinutes;
    if (parser.isSet(kMinutes)) {
        const std::optional<int> given = wholeMinutes(parser.value(kMinutes));
        if (!given) {
            printError(prefix + QStringLiteral("--minutes takes a whole number from 1 to %1, not \"%2\".\n")
                                    .arg(kMostExportMinutes)
                                    .arg(parser.value(kMinutes)));
            return kExportUsageError;
        }
        minutes = *given;
    }
    if (minutes > kLongestWavMinutes) {
        printError(prefix + QStringLiteral("A WAV file holds at most %1 minutes of sound; %2 minutes do not fit.\n")
                                .arg(kLongestWavMinutes)
                                .arg(minutes));
        return kExportFailed;
    }

    const QString destination = parser.value(kExport);
    if (destination.isEmpty()) {
        printError(prefix + QStringLiteral("--export needs the name of a file, or - for standard output.\n"));
        return kExportUsageError;
    }
    const QString shownDestination = printable(QDir::toNativeSeparators(QFileInfo(destination).absoluteFilePath()));
    if (destination.endsWith(QLatin1Char('/')) || QFileInfo(destination).isDir()) {
        printError(prefix + QStringLiteral("%1 is a folder; --export needs the name of a file in it.\n")
                                .arg(shownDestination));
        return kExportUsageError;
    }
    const Destination kind = destinationOf(destination);
    if (kind == Destination::Terminal) {
        const QString shown = namesStandardOutput(destination) ? QStringLiteral("Standard output")
                                                                                : shownDestination;
        printError(prefix + QStringLiteral("%1 is a terminal, where sound shows as garbage. Name a file, or send "
                                           "the sound into a program: --export - | aplay\n")
                                .arg(shown));
        return kExportUsageError;
    }
    if (kind == Destination::Unsupported) {
        printError(prefix + QStringLiteral("%1 is neither a regular file, a FIFO nor a character device.\n")
                                .arg(shownDestination));
        return kExportFailed;
    }

    const FileBytes catalogueFile = readFileBytes(cataloguePath);
    if (catalogueFile.error) {
        printError(prefix + catalogueFile.error->message() + QLatin1Char('\n'));
        return kExportFailed;
    }
    CBeatProgramTable programs;
    const int count = ParseCatalogue(catalogueFile.bytes, programs);
    const QString catalogueName = QDir::toNativeSeparators(cataloguePath);
    if (count == 0) {
        printError(prefix + QStringLiteral("%1 holds no programs.\n").arg(catalogueName));
        return kExportFailed;
    }
    int chosen = 0;
    if (parser.isSet(kProgram)) {
        const QString name = parser.value(kProgram);
        chosen = -1;
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names << displayText(programs[i].m_strName);
            if (chosen < 0 && names.last() == name)
                chosen = i;
        }
        if (chosen < 0) {
            const qsizetype listed = std::min<qsizetype>(names.size(), kListedProgramNames);
            QString text = QStringLiteral("%1 has no program named \"%2\". Its programs:\n")
                               .arg(printable(catalogueName), printable(name));
            for (qsizetype i = 0; i < listed; ++i)
                text += QStringLiteral("  ") + printable(names[i]) + QLatin1Char('\n');
            if (names.size() > listed)
                text += QStringLiteral("  ... and %1 more.\n").arg(names.size() - listed);
            printError(prefix + text);
            return kExportUsageError;
        }
    }

    // TERM, HUP or INT give a file's export up, so that no partial file is left behind. A stream
    // leaves nothing behind, and a reader that stalls must not keep the signal from ending it.
    std::optional<TerminationSignals> termination;
    int endedBy = 0;
    if (kind == Destination::AtomicFile) {
        termination.emplace();
        QObject::connect(&*termination, &TerminationSignals::received,
                         [&](int signalNumber) { endedBy = signalNumber; });
    }
    const bool showProgress = isatty(fileno(stderr)) == 1;
    int shownPercent = -1;
    const ProgramExport program{programs[chosen].m_nBaseHz, programs[chosen].m_nBeatHz, minutes,
                                parser.isSet(kFadeOut), programs[chosen].m_motion};
    const ExportOutcome outcome =
        ExportProgramToWav(destination, program, [&](std::int64_t written, std::int64_t total) {
            QCoreApplication::processEvents();
            const int percent = int(written * 100 / total);
            if (showProgress && percent != shownPercent) {
                shownPercent = percent;
                printError(QStringLiteral("\rExporting to WAV... %1%").arg(percent));
            }
            return endedBy == 0;
        });
    if (shownPercent >= 0)
        printError(QStringLiteral("\n"));

    switch (outcome.result) {
    case ExportResult::Written:
        return 0;
    case ExportResult::Cancelled:
        return 128 + endedBy;
    case ExportResult::Failed:
        printError(prefix + outcome.error->message() + QLatin1Char('\n'));
        return kExportFailed;
    case ExportResult::TooLong:
        break;
    }
    return kExportFailed; // ruled out above
}
