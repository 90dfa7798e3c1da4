#pragma once

#include <QIcon>
#include <QLoggingCategory>
#include <QString>

// Names and resources of the program, in one place.
inline const QString kProgramName = QStringLiteral("Glintmark");
// Lowercase, as the command, its desktop entry and its data folders are named.
inline const QString kProgramId = QStringLiteral("glintmark");
inline const QString kWindowTitle = QStringLiteral("Glintmark 2.1");
inline const char kHelpFileName[] = "help.html";

// The program icon in every size that ships.
QIcon programIcon();

// Where the program reports what goes wrong around it: the desktop, the files when nobody can
// be asked.
Q_DECLARE_LOGGING_CATEGORY(lcGlintmark)
