#pragma once

#include "shell/form.h"
#include "shell/settings_block.h"
#include "shell/settings_file.h"

#include <array>
#include <string_view>

namespace korvane {

struct Shell;

inline constexpr std::size_t kPreferenceTextMaxChars = 79;

inline constexpr std::string_view kSmtpPlaceholder = "mail.your-isp.net";

// The "Referrer" list, in the order of the choice stored in the settings.
inline constexpr std::array<std::string_view, 5> kReferrerChoices = {
    "Non", kGoogleHomePage, kYahooHomePage, "Target domain", "Other"};

// The block's preferences, then the web settings of korvane.cfg in a group of their own.
Form PreferencesForm(const SettingsBlock& settings, const SettingsFile& file);
// A warning-days entry that is not a number from 0 to 3650 keeps the stored value.
void StorePreferences(SettingsBlock& settings, SettingsFile& file, const Form& form);
// Ctrl+P: shows "Preferences" and stores it on "OK"; korvane.cfg is saved at once, kv.cfg at the
// end of the session as ever.
void PreferencesCommand(Shell& shell);

// The "Security" list, in the order of MailSecurity.
inline constexpr std::array<std::string_view, 3> kMailSecurityChoices = {"None", "STARTTLS", "TLS"};
// The port shown while none is set: the one a bare server name is reached on.
inline constexpr int kShownMailPort = 25;

// The sender of the block, then the mail account of korvane.cfg in a group of its own.
Form EmailIdentityForm(const SettingsBlock& settings, const SettingsFile& file);
// A port that is not a number from 1 to 65535 keeps the stored one.
void StoreEmailIdentity(SettingsBlock& settings, SettingsFile& file, const Form& form);
// Shows "Email identity" with its "Forget password" button; stores the fields, saves korvane.cfg
// and returns true on "OK".
bool EmailIdentityCommand(Shell& shell);

} // namespace korvane
