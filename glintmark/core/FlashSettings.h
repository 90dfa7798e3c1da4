#pragma once

#include <QtGlobal>

#include <array>

// The flash settings as "font.dat" stores them, and their defaults. The main window starts
// from these defaults and keeps them only when "font.dat" gives no value.

// The location radio buttons of the main window; "font.dat" stores the button's identifier.
namespace LocationButton {
inline constexpr qint32 Top = 1002;
inline constexpr qint32 Center = 1003;
inline constexpr qint32 CenterLeft = 1004;
inline constexpr qint32 Bottom = 1028;
inline constexpr qint32 None = 0;
} // namespace LocationButton

// The place the overlay receives for a stored button identifier: Top 1, Center 2,
// Center-Left 3, Bottom 4, and 0 for no selected button.
constexpr qint32 flashLocationOfButton(qint32 buttonId)
{
    switch (buttonId) {
    case LocationButton::Top:
        return 1;
    case LocationButton::Center:
        return 2;
    case LocationButton::CenterLeft:
        return 3;
    case LocationButton::Bottom:
        return 4;
    default:
        return 0;
    }
}

constexpr bool isLocationButton(qint32 buttonId)
{
    return flashLocationOfButton(buttonId) != 0;
}

struct SettingsListEntry
{
    const char *text;
    int milliseconds;
};

// "Display every": the interval from one affirmation to the next.
inline constexpr std::array<SettingsListEntry, 9> kDisplayEveryEntries{{
    {"Minimum interval", 500},
    {"1 second", 1000},
    {"2 seconds", 2000},
    {"3 seconds", 3000},
    {"4 seconds", 4000},
    {"5 seconds", 5000},
    {"6 seconds", 6000},
    {"7 seconds", 7000},
    {"8 seconds", 8000},
}};

// "Display for": how long each affirmation stays on screen.
inline constexpr std::array<SettingsListEntry, 4> kDisplayForEntries{{
    {"10 ms (subconscious)", 10},
    {"30 ms", 30},
    {"50 ms", 50},
    {"80 ms", 80},
}};

// The thirteen numeric fields of the flash font, in their stored order. The face is not
// stored: a font read back is always "Arial".
struct FlashFontFields
{
    qint32 height = 14;
    qint32 width = 0;
    qint32 escapement = 0;
    qint32 orientation = 0;
    qint32 weight = 700;
    quint8 italic = 0;
    quint8 underline = 0;
    quint8 strikeOut = 0;
    quint8 charSet = 0;
    quint8 outPrecision = 0;
    quint8 clipPrecision = 0;
    quint8 quality = 0;
    quint8 pitchAndFamily = 0x20;

    friend bool operator==(const FlashFontFields &, const FlashFontFields &) = default;
};

inline constexpr char kFlashFontFace[] = "Arial";

// Everything "font.dat" holds. An index of -1 means that list has no selected entry.
struct FlashSettings
{
    FlashFontFields font;
    quint32 textColor = 0; // 0x00BBGGRR: black
    qint32 locationButton = LocationButton::Center;
    qint32 intervalIndex = 3; // "3 seconds"
    qint32 durationIndex = 0; // "10 ms (subconscious)"

    friend bool operator==(const FlashSettings &, const FlashSettings &) = default;
};
