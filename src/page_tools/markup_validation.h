#pragma once

#include "shell/form.h"

#include <string>
#include <string_view>

namespace korvane {

struct Shell;
class SettingsBlock;

inline constexpr std::string_view kValidatorLabel = "W3C";
// What the URL field offers when no URL is remembered; the user types the rest after it.
inline constexpr std::string_view kUrlStart = "http://www.";

// "HTML Page Check (W3)", filled with the remembered page URL.
Form MarkupValidationForm(const SettingsBlock& settings);
// The validator's check page for the URL, which is put in as typed.
std::string ValidatorUrl(std::string_view pageUrl);

// Utilities > "Page syntax check (W3C)": asks for a page URL and opens the validator's page.
void MarkupValidationCommand(Shell& shell);

} // namespace korvane
