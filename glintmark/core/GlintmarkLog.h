#pragma once

#include <QLoggingCategory>

// Where Glintmark reports what goes wrong around it: the X server, the desktop's notification
// area, and files that cannot be saved when nobody can be asked.
Q_DECLARE_LOGGING_CATEGORY(lcGlintmark)
