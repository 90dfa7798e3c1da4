#include "TestFiles.h"

#include <QDir>
#include <QFile>

bool writeWholeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool copyShippedFiles(const QString &folder)
{
    const QDir shipped(QStringLiteral(GLINTMARK_RES_DIR));
    for (const char *name : {"List.txt", "check.txt", "font.dat"}) {
        const QString target = QDir(folder).filePath(QLatin1String(name));
        if (!QFile::copy(shipped.filePath(QLatin1String(name)), target))
            return false;
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    return true;
}
