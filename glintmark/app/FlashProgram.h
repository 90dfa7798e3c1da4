#pragma once

#include <QIcon>
#include <QString>

// Names and resources of the program, in one place.
inline const QString kProgramName = QStringLiteral("Glintmark");
// Lowercase, as the command, its desktop entry and its data folders are named.
inline const QString kProgramId = QStringLiteral("glintmark");
inline const QString kWindowTitle = QStringLiteral("Glintmark 2.1");
inline const char kHelpFileName[] = "help.html";

// The program icon in every size that ships.
QIcon programIcon();
