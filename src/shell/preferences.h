#pragma once

#include "shell/form.h"

#include <array>
#include <string_view>

namespace korvane {

struct Shell;
class SettingsBlock;

inline constexpr std::size_t kPreferenceTextMaxChars = 79;

inline constexpr std::string_view kGoogleHomePage = "http://www.google.com";
inline constexpr std::string_view kYahooHomePage = "http://www.yahoo.com";
inline constexpr std::string_view kMsnHomePage = "http://www.msn.com";
inline constexpr std::string_view kSmtpPlaceholder = "mail.your-isp.net";
inline constexpr std::string_view kDefaultOtherAgent = "mybot";

// The "Identify as" list, in the order of the choice stored in the settings.
inline constexpr std::array<std::string_view, 5> kIdentifyAsChoices = {
    "Mozilla/5.0", "Mozilla/4.0", "Korvane", "Googlebot/1.0", "Other"};
// The "Referrer" list, in the order of the choice stored in the settings.
inline constexpr std::array<std::string_view, 5> kReferrerChoices = {
    "Non", kGoogleHomePage, kYahooHomePage, "Target domain", "Other"};

// The "Other" texts with their stored defaults applied.
std::string OtherAgentText(const SettingsBlock& settings);
std::string OtherReferrerText(const SettingsBlock& settings);

Form PreferencesForm(const SettingsBlock& settings);
void StorePreferences(SettingsBlock& settings, const Form& form);
// Ctrl+P: shows "Preferences" and stores it on "OK".
void PreferencesCommand(Shell& shell);

Form EmailIdentityForm(const SettingsBlock& settings);
// Shows "Email identity"; stores both fields and returns true on "OK".
bool EmailIdentityCommand(Shell& shell);

} // namespace korvane
