#pragma once

#include <QString>

// The folder that holds Glintmark's three files. The folder beside the executable when it
// already holds any of them, or when it can be written to and is not part of an installation
// (no `installed` folder exists: a portable copy, the build tree). Otherwise the per-user folder,
// created when missing: an installed program keeps its files per user even when its user may
// write to the program's folder (root and /usr/local/bin). A per-user folder that holds none of
// the files yet is first given copies of those the installation ships in `installed`. A copy
// that fails leaves its file missing, which reading it then reports.
QString chooseDataFolder(const QString &besideExecutable, const QString &perUser, const QString &installed);
