#include "TonewellLog.h"

Q_LOGGING_CATEGORY(lcTonewell, "tonewell")
