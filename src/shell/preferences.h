#pragma once

#include "shell/form.h"
#include "shell/settings_block.h"

#include <array>
#include <string_view>

namespace korvane {

struct Shell;

inline constexpr std::size_t kPreferenceTextMaxChars = 79;

inline constexpr std::string_view kSmtpPlaceholder = "mail.your-isp.net";

// The "Referrer" list, in the order of the choice stored in the settings.
inline constexpr std::array<std::string_view, 5> kReferrerChoices = {
    "Non", kGoogleHomePage, kYahooHomePage, "Target domain", "Other"};

Form PreferencesForm(const SettingsBlock& settings);
void StorePreferences(SettingsBlock& settings, const Form& form);
// Ctrl+P: shows "Preferences" and stores it on "OK".
void PreferencesCommand(Shell& shell);

Form EmailIdentityForm(const SettingsBlock& settings);
// Shows "Email identity"; stores both fields and returns true on "OK".
bool EmailIdentityCommand(Shell& shell);

} // namespace korvane
