#pragma once

#include <QIcon>
#include <QString>

// Names and resources of the program, in one place.
inline const QString kProgramName = QStringLiteral("Tonewell");
// What it is, in the About box and in --help.
inline const QString kProgramSummary = QStringLiteral("A binaural-beat player.");
// Lowercase, as the command and its data folders are named.
inline const QString kProgramId = QStringLiteral("tonewell");
inline const char kDataFileName[] = "data.dat";
inline const char kHelpFileName[] = "help.html";

// The program icon in every size that ships.
QIcon programIcon();
