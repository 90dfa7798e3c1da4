#include "FlashRules.h"

namespace {
constexpr std::int32_t kMinimumInterval = 500;
constexpr std::int32_t kMinimumTickPeriod = 300;
constexpr std::int32_t kShortestDisplay = 20; // this and anything shorter: the faint mode
constexpr std::int32_t kShortestHold = 12;
constexpr std::int32_t kShortDisplay = 30;
constexpr std::int32_t kShortHold = 21;
} // namespace

FlashTimes FlashTiming(std::int32_t intervalMs, std::int32_t displayMs)
{
    FlashTimes times;
    times.tickPeriodMs = intervalMs == kMinimumInterval ? kMinimumTickPeriod : intervalMs;
    if (displayMs <= kShortestDisplay) {
        times.holdMs = kShortestHold;
        times.faint = true;
        times.noticeDue = true;
    } else {
        times.holdMs = displayMs == kShortDisplay ? kShortHold : displayMs;
    }
    return times;
}

FlashBox MeasureFlashText(std::int32_t extentWidth, std::int32_t extentHeight,
                          const FlashTextMetrics &metrics)
{
    return {extentWidth + metrics.averageCharWidth + metrics.scrollBarWidth + 2 * metrics.edgeWidth,
            extentHeight + metrics.descent};
}

FlashPlace PlaceFlashText(FlashLocation location, std::int32_t screenWidth,
                          std::int32_t screenHeight, FlashBox box)
{
    const std::int32_t centredLeft = (screenWidth - box.width) / 2;
    const std::int32_t centredTop = (screenHeight - box.height) / 2;
    switch (location) {
    case FlashLocation::Top:
        return {centredLeft, screenHeight / 7};
    case FlashLocation::CenterLeft:
        return {0, centredTop};
    case FlashLocation::Bottom:
        return {centredLeft, screenHeight - screenHeight / 5};
    case FlashLocation::Center:
        break;
    }
    return {centredLeft, centredTop};
}

FlashPlace PlaceFlashTextOnScreen(FlashLocation location, const FlashScreenArea &screen, FlashBox box)
{
    const FlashPlace onScreen = PlaceFlashText(location, screen.width, screen.height, box);
    return {screen.left + onScreen.left, screen.top + onScreen.top};
}

std::vector<int> FlashScreensForTick(FlashScreen choice, int screenCount, int primaryScreen, int pointerScreen)
{
    if (screenCount <= 0)
        return {};
    const auto valid = [screenCount](int index) { return index >= 0 && index < screenCount; };
    const int primary = valid(primaryScreen) ? primaryScreen : 0;
    switch (choice) {
    case FlashScreen::Pointer:
        return {valid(pointerScreen) ? pointerScreen : primary};
    case FlashScreen::All: {
        std::vector<int> screens{primary};
        for (int index = 0; index < screenCount; ++index)
            if (index != primary)
                screens.push_back(index);
        return screens;
    }
    case FlashScreen::Primary:
        break;
    }
    return {primary};
}

FlashStep FlashCycle(std::int32_t count, std::int32_t index)
{
    const bool wraps = index < 0 || index >= count - 1;
    return {wraps ? 0 : index + 1, count > 0};
}
