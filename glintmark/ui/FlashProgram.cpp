#include "FlashProgram.h"

#include "GlintmarkVersion.h"
#include "ProgramIcon.h"

const QString kWindowTitle = kProgramName + QLatin1Char(' ') + QLatin1String(kProgramVersion);

QIcon programIcon()
{
    return programIconInSizes(kProgramId, kProgramIconSizes);
}
