#pragma once

#include <QString>
#include <QStringList>

// Where a program looks for its data files, in order: beside its executable (a portable
// folder, as in the build tree), the per-user data folder, then the folder the installation
// ships its defaults in (<prefix>/<CMAKE_INSTALL_DATADIR>/<program>, found from the executable's
// folder by the path between the two that CMake was configured with).
QStringList dataFolders(const QString &programName);

// The first of `folders` that holds `fileName`, as a full path; when none does, the path of
// `fileName` in the last folder, the one an installation is expected to provide.
QString findDataFile(const QStringList &folders, const QString &fileName);
