#include "ProgramIcon.h"

QIcon programIconInSizes(const QString &programId, std::span<const int> sizes)
{
    QIcon icon;
    for (const int size : sizes)
        icon.addFile(QStringLiteral(":/%1/icons/%2/%1.png").arg(programId).arg(size), QSize(size, size));
    return icon;
}
