#pragma once

#include <QLoggingCategory>

// Where Tonewell reports what goes wrong around it, such as a sound server that refuses the
// stream or goes away while it plays. Safe to use from any thread.
Q_DECLARE_LOGGING_CATEGORY(lcTonewell)
