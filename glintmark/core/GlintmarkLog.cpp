#include "GlintmarkLog.h"

Q_LOGGING_CATEGORY(lcGlintmark, "glintmark")
