#include "support/ProgressLayout.h"

#include <cmath>

#include "rtl/DateTime.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace tolvane::viewer {

WindowSize ClampWindowSize(WindowSize current, int width, int height) {
    WindowSize size{width == -1 ? current.Width : width, height == -1 ? current.Height : height};
    if (size.Height < MinWindowHeight) size.Height = MinWindowHeight;
    if (size.Width < MinWindowWidth) size.Width = MinWindowWidth;
    return size;
}

TRect WindowBounds(const TRect& workArea, WindowSize size) {
    // Centred within the work area, also when it does not start at x 0.
    const int left = workArea.Left + (workArea.Width() - size.Width) / 2;
    const int top = workArea.Bottom - size.Height - BottomGap;
    return {left, top, left + size.Width, top + size.Height};
}

TRect BarBounds(WindowSize window) {
    const int top = window.Height - 60;
    return {20, top, 20 + window.Width - 40, top + BarHeight};
}

TRect ButtonBounds(WindowSize window) {
    return {window.Width - 120, window.Height - 30, window.Width - 20, window.Height - 5};
}

double ClampPercent(double percent) {
    if (std::isnan(percent) || percent < 0) return 0;
    if (percent > 100) return 100;
    return percent;
}

TRect FillBounds(int barWidth, double clampedPercent) {
    const int right = int(std::trunc((barWidth - 4) * clampedPercent / 100)) + 2;
    return {2, 2, right, BarHeight - 2};
}

double NextBlockPosition(double position, int barWidth) {
    // A value the caller wrote may be anything; the block starts over then.
    if (!std::isfinite(position)) position = -MovingBlockWidth - MovingBlockStep;
    position += MovingBlockStep;
    if (barWidth < position) position = -MovingBlockWidth;
    return position;
}

TRect BlockBounds(double position) {
    const int left = int(std::trunc(std::fmax(position, -1e6)));
    return {left, 2, left + MovingBlockWidth, BarHeight - 2};
}

std::string PercentText(double clampedPercent) { return IntToStr(int64_t(std::trunc(clampedPercent))) + " %"; }

std::string ElapsedTimeText(uint64_t elapsedMs) {
    // Measured on a monotonic clock, so midnight does not matter; a day or
    // more shows its hours in full instead of starting again at 0.
    const uint64_t seconds = elapsedMs / 1000;
    const TFormatSettings& fs = SystemFormatSettings();
    std::string time;
    if (seconds < 24 * 3600) {
        time = FormatDateTime(fs.LongTimeFormat, double(seconds) / 86400.0, fs);
    } else {
        time = Format("%d%s%.2d%s%.2d", {seconds / 3600, std::string(1, fs.TimeSeparator), seconds / 60 % 60,
                                          std::string(1, fs.TimeSeparator), seconds % 60});
    }
    return Format("Общее время: %s", {time});
}

}  // namespace tolvane::viewer
