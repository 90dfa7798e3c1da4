#pragma once

#include <QString>

// The folder that holds Glintmark's three files. The folder beside the executable when it
// already holds any of them or can be written to (a portable copy, the build tree); otherwise
// the per-user folder, created when missing. A chosen folder that holds none of the files yet
// is first given copies of those the installation ships in `installed`. A copy that fails
// leaves its file missing, which reading it then reports.
QString chooseDataFolder(const QString &besideExecutable, const QString &perUser, const QString &installed);
