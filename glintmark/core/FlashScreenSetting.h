#pragma once

#include "FlashRules.h"

#include <QString>

// The screens to flash on, kept per user with the program's other per-user settings
// (QSettings: ~/.config/glintmark/), never in "font.dat". A missing or unknown value is the
// primary screen.

inline const QString kFlashScreenSetting = QStringLiteral("screen");

// The stored words, and back: anything else is the primary screen.
QString flashScreenToStored(FlashScreen screen);
FlashScreen flashScreenFromStored(const QString &stored);

FlashScreen readFlashScreen();
void writeFlashScreen(FlashScreen screen);
