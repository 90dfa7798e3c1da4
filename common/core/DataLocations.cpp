#include "DataLocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QStringList dataFolders(const QString &programName)
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString userDir = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                                .filePath(programName);
    const QString installedDir = QDir::cleanPath(exeDir + QStringLiteral("/" INSTALLED_DATA_DIR_FROM_BIN_DIR "/")
                                                 + programName);
    return {exeDir, userDir, installedDir};
}

QString findDataFile(const QStringList &folders, const QString &fileName)
{
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(fileName);
        if (QFileInfo::exists(path))
            return QFileInfo(path).absoluteFilePath();
    }
    return folders.isEmpty() ? fileName : QFileInfo(QDir(folders.last()).filePath(fileName)).absoluteFilePath();
}
