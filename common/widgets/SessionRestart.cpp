#include "SessionRestart.h"

#include <QDir>
#include <QGuiApplication>
#include <QSessionManager>

namespace SessionRestart {

void keepRestartable(QGuiApplication &application)
{
    // Qt proposes its command before it asks the program to save, and hands over what the
    // program leaves there.
    QObject::connect(&application, &QGuiApplication::saveStateRequest, &application,
                     [startFolder = QDir::currentPath()](QSessionManager &manager) {
                         const QString executable = QCoreApplication::applicationFilePath();
                         QStringList command = manager.restartCommand();
                         if (!command.isEmpty())
                             command.front() = executable;
                         manager.setRestartCommand(command);
                         manager.setManagerProperty(QStringLiteral("Program"), executable);
                         manager.setManagerProperty(QStringLiteral("CurrentDirectory"), startFolder);
                     });
}

} // namespace SessionRestart
