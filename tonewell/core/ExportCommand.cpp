#include "ExportCommand.h"

#include "Catalogue.h"
#include "DisplayText.h"
#include "FileBytes.h"
#include "TerminationSignals.h"
#include "WavExport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cstdio>
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
            printError(prefix + QStringLiteral("%1 has no program named \"%2\". Its programs:\n  %3\n")
                                    .arg(catalogueName, name, names.join(QStringLiteral("\n  "))));
            return kExportUsageError;
        }
    }

    // TERM, HUP or INT give the export up, so that no partial file is left behind.
    TerminationSignals termination;
    int endedBy = 0;
    QObject::connect(&termination, &TerminationSignals::received, [&](int signalNumber) { endedBy = signalNumber; });
    const bool showProgress = isatty(fileno(stderr)) == 1;
    int shownPercent = -1;
    const ProgramExport program{programs[chosen].m_nBaseHz, programs[chosen].m_nBeatHz, minutes,
                                parser.isSet(kFadeOut), programs[chosen].m_motion};
    const ExportOutcome outcome =
        ExportProgramToWav(parser.value(kExport), program, [&](std::int64_t written, std::int64_t total) {
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
