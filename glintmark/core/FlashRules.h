#pragma once

#include <cstdint>
#include <vector>

// The overlay's rules as plain arithmetic: what the chosen interval and display time really
// give, how large a text's box is, where the box goes, and which text the next tick shows.

// Where the overlay shows its texts. The main window may pass other values (0 when none of
// its location buttons is selected); they place the texts as Center.
enum class FlashLocation : std::int32_t { Top = 1, Center = 2, CenterLeft = 3, Bottom = 4 };

// The flash list's fixed number of text slots; the list ends at the first empty slot.
inline constexpr int kFlashSlots = 10000;
// Opacity of the faint mode, out of 255.
inline constexpr int kFaintAlpha = 20;

struct FlashTimes
{
    std::int32_t tickPeriodMs = 0;
    std::int32_t holdMs = 0;
    bool faint = false;     // the whole window at kFaintAlpha, else fully opaque text
    bool noticeDue = false; // the short-display notice comes up before flashing starts

    bool operator==(const FlashTimes &) const = default;
};

FlashTimes FlashTiming(std::int32_t intervalMs, std::int32_t displayMs);

// Font and platform metrics, as plain numbers, that a text's box is made of.
struct FlashTextMetrics
{
    std::int32_t averageCharWidth = 0;
    std::int32_t descent = 0;
    std::int32_t scrollBarWidth = 0;
    std::int32_t edgeWidth = 0;
};

struct FlashBox
{
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool operator==(const FlashBox &) const = default;
};

// The box of a text whose single-line extent is extentWidth x extentHeight: the text at its
// top-left corner, with room for one more average character, a scroll bar and two edges to
// its right and one descent below.
FlashBox MeasureFlashText(std::int32_t extentWidth, std::int32_t extentHeight,
                          const FlashTextMetrics &metrics);

struct FlashPlace
{
    std::int32_t left = 0;
    std::int32_t top = 0;

    bool operator==(const FlashPlace &) const = default;
};

// Top-left corner of `box` on a screen of screenWidth x screenHeight. Top and Bottom fix the
// box's top edge whatever its height; divisions truncate toward zero.
FlashPlace PlaceFlashText(FlashLocation location, std::int32_t screenWidth,
                          std::int32_t screenHeight, FlashBox box);

// A screen's rectangle on the whole desktop, in the desktop's coordinates.
struct FlashScreenArea
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Top-left corner of `box` on the desktop: placed on `screen` as on a screen of its own, then
// moved by the screen's position.
FlashPlace PlaceFlashTextOnScreen(FlashLocation location, const FlashScreenArea &screen, FlashBox box);

// Which screens the overlay flashes on.
enum class FlashScreen { Primary, Pointer, All };

// The screens a tick flashes on, as indexes into the desktop's list of `screenCount` screens:
// the primary one, the one with the pointer (the primary one when the pointer is on none),
// or every screen, the primary one first. `pointerScreen` is -1 when the pointer is on no
// screen. Empty when there is no screen at all.
std::vector<int> FlashScreensForTick(FlashScreen choice, int screenCount, int primaryScreen, int pointerScreen);

struct FlashStep
{
    std::int32_t index = 0; // the slot this tick shows
    bool show = false;      // false when the list is empty: the slot holds nothing to show

    bool operator==(const FlashStep &) const = default;
};

// One tick of the endless cycle 0, 1, ..., count - 1, 0, ...: the slot after `index`. An
// overlay starts at index `count`, so that its first tick shows slot 0. Each shown slot is
// then drawn, held and hidden before the next tick.
FlashStep FlashCycle(std::int32_t count, std::int32_t index);
