#include "Program.h"

#include "ProgramIcon.h"
#include "TonewellVersion.h"

QIcon programIcon()
{
    return programIconInSizes(kProgramId, kProgramIconSizes);
}
