#include "DataFolder.h"

#include "FileBytes.h"
#include "FlashLibrary.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>

namespace {

constexpr std::array kFileNames{CFlashLibrary::kListFileName, CFlashLibrary::kCheckFileName,
                                CFlashLibrary::kFontFileName};

bool holdsAnyFile(const QDir &folder)
{
    return std::any_of(kFileNames.begin(), kFileNames.end(),
                       [&folder](const char *name) { return QFileInfo::exists(folder.filePath(QLatin1String(name))); });
}

void seedFrom(const QDir &installed, const QDir &folder)
{
    if (holdsAnyFile(folder) || installed == folder)
        return;
    for (const char *name : kFileNames) {
        const QString source = installed.filePath(QLatin1String(name));
        if (!QFileInfo::exists(source))
            continue;
        const FileBytes shipped = readFileBytes(source);
        if (!shipped.error)
            (void)saveFileAtomically(folder.filePath(QLatin1String(name)), shipped.bytes);
    }
}

} // namespace

QString chooseDataFolder(const QString &besideExecutable, const QString &perUser, const QString &installed)
{
    const QDir beside(besideExecutable);
    const QFileInfo besideInfo(besideExecutable);
    if (holdsAnyFile(beside))
        return beside.absolutePath();
    if (besideInfo.isDir() && besideInfo.isWritable() && !QFileInfo(installed).isDir())
        return beside.absolutePath();
    const QDir user(perUser);
    QDir().mkpath(user.absolutePath());
    seedFrom(QDir(installed), user);
    return user.absolutePath();
}
