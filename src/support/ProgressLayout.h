// The progress viewer's geometry and texts as plain functions: window size
// limits and position, the bar's fill, the moving block, the percentage and
// the elapsed time.
#pragma once

#include <cstdint>
#include <string>

#include "support/ViewerWindow.h"

namespace tolvane::viewer {

constexpr int MinWindowWidth = 225;
constexpr int MinWindowHeight = 70;
constexpr int DefaultWindowWidth = 450;
constexpr int DefaultWindowHeight = 70;
// The window's lower edge stays this far above the bottom of the work area.
constexpr int BottomGap = 100;
constexpr int BarHeight = 20;
constexpr int MovingBlockWidth = 40;
constexpr int MovingBlockStep = 10;

struct WindowSize {
    int Width = 0, Height = 0;
    bool operator==(const WindowSize&) const = default;
};

// A width or height of -1 keeps the current one; then the limits apply.
WindowSize ClampWindowSize(WindowSize current, int width, int height);
// Centred across the work area, its lower edge BottomGap above the bottom.
TRect WindowBounds(const TRect& workArea, WindowSize size);

// Where the bar image goes on a window of this size.
TRect BarBounds(WindowSize window);
// The cancel button's place on a window of this size.
TRect ButtonBounds(WindowSize window);

// Above 100 is 100; below 0, or not a number, is 0.
double ClampPercent(double percent);
// The filled part of a determinate bar, in bar coordinates.
TRect FillBounds(int barWidth, double clampedPercent);
// The moving block's next left edge: 10 further, and back to -40 once it
// has left a bar of this width.
double NextBlockPosition(double position, int barWidth);
TRect BlockBounds(double position);

// "57 %": the whole part of the clamped percentage.
std::string PercentText(double clampedPercent);
// "Общее время: 00:01:05" for the milliseconds elapsed.
std::string ElapsedTimeText(uint64_t elapsedMs);

}  // namespace tolvane::viewer
