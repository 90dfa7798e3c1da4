#include "SessionStart.h"

#include "FileBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <unistd.h>

namespace {

const QString kAutostartFileName = QStringLiteral("glintmark.desktop");

// What the Exec key reads as more than a plain word: such an argument goes in double quotes.
constexpr char16_t kReservedInExec[] = u" \t\n\"'\\><~|&;$*?#()`";
// Inside the double quotes these take a backslash.
constexpr char16_t kEscapedInQuotes[] = u"\"`$\\";

} // namespace

bool readStartFlashing()
{
    return QSettings().value(kStartFlashingSetting, false).toBool();
}

void writeStartFlashing(bool startFlashing)
{
    QSettings settings;
    settings.setValue(kStartFlashingSetting, startFlashing);
    settings.sync();
}

QString autostartEntryPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("autostart/") + kAutostartFileName);
}

QString desktopExecArgument(const QString &argument)
{
    const bool quoted = argument.isEmpty() || std::any_of(argument.begin(), argument.end(), [](QChar c) {
                            return std::u16string_view(kReservedInExec).find(c.unicode()) != std::u16string_view::npos;
                        });
    QString exec;
    if (quoted)
        exec += QLatin1Char('"');
    for (const QChar c : argument) {
        if (quoted && std::u16string_view(kEscapedInQuotes).find(c.unicode()) != std::u16string_view::npos)
            exec += QLatin1Char('\\');
        // A lone % would start a field code.
        if (c == QLatin1Char('%'))
            exec += QLatin1Char('%');
        exec += c;
    }
    if (quoted)
        exec += QLatin1Char('"');
    // The key's value is itself a string, in which a backslash and a line break are escaped.
    exec.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    exec.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    exec.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    exec.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return exec;
}

QByteArray autostartEntry(const QString &programPath)
{
    const QString exec = desktopExecArgument(programPath) + QStringLiteral(" --") + kStartOption
        + QStringLiteral(" --") + kMinimizedOption;
    return QByteArrayLiteral("[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Glintmark\n"
                             "Comment=Flash the ticked affirmations from the start of the session\n")
        + "Exec=" + exec.toUtf8() + '\n'
        + QByteArrayLiteral("Icon=glintmark\n"
                            "Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n");
}

bool hasAutostartEntry()
{
    return QFileInfo(autostartEntryPath()).isFile();
}

std::optional<FileError> writeAutostartEntry(const QString &programPath)
{
    const QString path = autostartEntryPath();
    const QString folder = QFileInfo(path).absolutePath();
    errno = 0;
    if (!QDir().mkpath(folder))
        return FileError{errno != 0 ? errno : EACCES, path};
    return saveFileAtomically(path, autostartEntry(programPath));
}

std::optional<FileError> removeAutostartEntry()
{
    const QString path = autostartEntryPath();
    if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT)
        return std::nullopt;
    return FileError{errno, path};
}
