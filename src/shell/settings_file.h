#pragma once

#include "shell/mail_account.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

inline constexpr std::string_view kSettingsTextFileName = "korvane.cfg";

// The settings that do not fit the fixed block of kv.cfg: a small text file beside it, one
// "key=value" a line. Lines this version does not know, and lines without "=", are kept in their
// place and written back as they were, so an older program never loses a newer one's settings.
// Workers read while the interface thread may store or save: every access takes the lock.
class SettingsFile {
  public:
    explicit SettingsFile(std::string path = std::string(kSettingsTextFileName));

    // A missing file leaves every setting at its default; false only when the file exists and
    // cannot be read.
    bool Load();
    // Replaced the way kv.cfg is: a file the owner may not write is refused, the permission bits
    // are kept and a symbolic link is written through. False when nothing was written.
    bool Save();
    // The value of the first line with this key, without blanks around it.
    std::optional<std::string> Get(std::string_view key) const;
    // Replaces the first line with this key, or adds a line at the end.
    void Set(std::string_view key, std::string_view value);
    const std::string& Path() const { return m_path; }

  private:
    const std::string m_path;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines; // as read, without their line ends
};

inline constexpr int kDefaultCertificateWarningDays = 14;
inline constexpr int kMaxCertificateWarningDays = 3650;
inline constexpr int kDefaultWatchHistoryDays = 400;
inline constexpr int kMaxWatchHistoryDays = 36500;

// The web settings, typed; a value that is absent or unreadable gives the default.
bool AcceptUntrustedCertificates(const SettingsFile& file); // default off
int CertificateWarningDays(const SettingsFile& file);       // 0..3650, 0 = never warn
bool FollowRedirects(const SettingsFile& file);             // default off
int WatchHistoryDays(const SettingsFile& file);             // 1..36500, default 400
void SetAcceptUntrustedCertificates(SettingsFile& file, bool accept);
// Clamped to 0..3650.
void SetCertificateWarningDays(SettingsFile& file, int days);
void SetFollowRedirects(SettingsFile& file, bool follow);
// Clamped to 1..36500.
void SetWatchHistoryDays(SettingsFile& file, int days);

// The mail account; an absent or unreadable value gives the default (the "mail" port, no
// encryption, no user).
MailAccount MailAccountOf(const SettingsFile& file);
void SetMailAccount(SettingsFile& file, const MailAccount& account);

// A decimal number from min to max with nothing but blanks around it, or nothing.
std::optional<int> ParseNumberInRange(std::string_view text, int min, int max);

} // namespace korvane
