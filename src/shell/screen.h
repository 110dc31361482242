#pragma once

#include <string_view>

namespace korvane {

// The release the About box names.
inline constexpr std::string_view kReleaseText = "Release 52.00";
// The sizes and places of the program's windows, read by the Qt layer.
inline constexpr int kMinimumDesktopWidth = 800;
inline constexpr int kMainWindowWidth = 800;
inline constexpr int kMainWindowHeight = 600;
inline constexpr int kSplashWidth = 400;
inline constexpr int kSplashHeight = 198;
inline constexpr int kSplashMilliseconds = 2000;

struct ScreenPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// Only the width is tested.
bool DesktopTooNarrow(int desktopWidth);
ScreenPoint SplashPosition(int desktopRight, int desktopBottom);
// Centred on desktops at least 810 pixels wide, at the top-left corner otherwise.
ScreenPoint MainWindowPosition(int desktopRight, int desktopBottom);

} // namespace korvane
