#pragma once

#include <string>
#include <string_view>

namespace korvane {

struct Shell;

inline constexpr std::string_view kSettingsFileName = "kv.cfg";

// Creation of the main window: reads the settings, loads the record files and writes the opening
// lines. Returns false when a fatal error asks the process to end before the window shows.
bool RunStartupSequence(Shell& shell, const std::string& settingsPath);

// After the message loop: stores the end time and writes the whole settings block. Tells the user
// when the file cannot be written and returns false.
bool RunEndSequence(Shell& shell, const std::string& settingsPath);

} // namespace korvane
