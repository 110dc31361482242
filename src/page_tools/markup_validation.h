#pragma once

#include "shell/form.h"

#include <string>
#include <string_view>

namespace korvane {

struct Shell;
class SettingsBlock;

// The validator's label, as the menu and the log show it.
std::string ValidatorLabel();
// What the URL field offers when no URL is remembered; the user types the rest after it.
inline constexpr std::string_view kUrlStart = "http://www.";

// "HTML Page Check (W3)", filled with the remembered page URL.
Form MarkupValidationForm(const SettingsBlock& settings);
// The validator's check page for the URL, which is put in as typed.
std::string ValidatorUrl(std::string_view pageUrl);

// Utilities > "Page syntax check (...)": asks for a page URL and opens the validator's page.
void MarkupValidationCommand(Shell& shell);

} // namespace korvane
