#include "FlashProgram.h"

Q_LOGGING_CATEGORY(lcGlintmark, "glintmark")

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/glintmark/icons/%1/glintmark.png").arg(size), QSize(size, size));
    return icon;
}
