#pragma once

#include <string>
#include <string_view>

namespace korvane {

struct Shell;

inline constexpr std::string_view kSettingsFileName = "kv.cfg";
inline constexpr std::string_view kReleaseText = "Release 52.00";
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

// Creation of the main window: reads the settings, loads the record files and writes the opening
// lines. Returns false when a fatal error asks the process to end before the window shows.
bool RunStartupSequence(Shell& shell, const std::string& settingsPath);

// After the message loop: stores the end time and writes the whole settings block. Tells the user
// when the file cannot be written and returns false.
bool RunEndSequence(Shell& shell, const std::string& settingsPath);

} // namespace korvane
