#pragma once

#include "GlintmarkLog.h"

#include <QIcon>
#include <QString>

// Names and resources of the program, in one place.
inline const QString kProgramName = QStringLiteral("Glintmark");
// What it is, in --help.
inline const QString kProgramSummary = QStringLiteral("An affirmation flasher.");
// Lowercase, as the command, its desktop entry and its data folders are named.
inline const QString kProgramId = QStringLiteral("glintmark");
// "Glintmark" and the version.
extern const QString kWindowTitle;
inline const char kHelpFileName[] = "help.html";

// The program icon in every size that ships.
QIcon programIcon();
