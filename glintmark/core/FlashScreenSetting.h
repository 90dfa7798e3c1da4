#pragma once

#include "FlashRules.h"

#include <QString>

#include <array>

// The screens to flash on, kept per user with the program's other per-user settings
// (QSettings: ~/.config/glintmark/), never in "font.dat". A missing or unknown value is the
// primary screen.

inline const QString kFlashScreenSetting = QStringLiteral("screen");

struct FlashScreenEntry
{
    const char *text;
    FlashScreen screen;
};

// The main window's "Screen" list, in its order; the first is the default.
inline constexpr std::array<FlashScreenEntry, 3> kFlashScreenEntries{{
    {"Primary screen", FlashScreen::Primary},
    {"Screen with the pointer", FlashScreen::Pointer},
    {"All screens", FlashScreen::All},
}};

// The stored words, and back: anything else is the primary screen.
QString flashScreenToStored(FlashScreen screen);
FlashScreen flashScreenFromStored(const QString &stored);

FlashScreen readFlashScreen();
void writeFlashScreen(FlashScreen screen);
