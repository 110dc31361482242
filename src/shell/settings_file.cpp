#include "shell/settings_file.h"

#include "shell/posix_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace korvane {

namespace {

constexpr std::string_view kAcceptUntrustedKey = "accept_untrusted_certificates";
constexpr std::string_view kWarningDaysKey = "certificate_warning_days";
constexpr std::string_view kFollowRedirectsKey = "follow_redirects";
constexpr std::string_view kWatchHistoryDaysKey = "watch_history_days";
constexpr std::string_view kSmtpPortKey = "smtp_port";
constexpr std::string_view kSmtpSecurityKey = "smtp_security";
constexpr std::string_view kSmtpUserKey = "smtp_user";
// In the order of MailSecurity.
constexpr std::string_view kSecurityWords[] = {"none", "starttls", "tls"};

// Blanks around keys and values, and the carriage return of a file edited elsewhere, mean nothing.
std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool KeyOf(std::string_view line, std::string_view key) {
    const std::size_t equals = line.find('=');
    return equals != std::string_view::npos && Trimmed(line.substr(0, equals)) == key;
}

std::optional<bool> ParseFlag(const std::optional<std::string>& value) {
    if (value == "0")
        return false;
    if (value == "1")
        return true;
    return std::nullopt;
}

} // namespace

SettingsFile::SettingsFile(std::string path) : m_path(std::move(path)) {}

bool SettingsFile::Load() {
    FileDescriptor file(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen()) {
        if (errno != ENOENT)
            return false;
        std::lock_guard lock(m_mutex);
        m_lines.clear();
        return true;
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.emplace_back(text, start, end - start);
        start = end + 1;
    }
    std::lock_guard lock(m_mutex);
    m_lines = std::move(lines);
    return true;
}

bool SettingsFile::Save() {
    std::string text;
    {
        std::lock_guard lock(m_mutex);
        for (const std::string& line : m_lines)
            text.append(line).push_back('\n');
    }
    return WriteFileAtomically(m_path, text.data(), text.size()).ok;
}

std::optional<std::string> SettingsFile::Get(std::string_view key) const {
    std::lock_guard lock(m_mutex);
    for (const std::string& line : m_lines)
        if (KeyOf(line, key))
            return std::string(Trimmed(std::string_view(line).substr(line.find('=') + 1)));
    return std::nullopt;
}

void SettingsFile::Set(std::string_view key, std::string_view value) {
    std::string line = std::string(key) + "=" + std::string(value);
    std::lock_guard lock(m_mutex);
    const auto found = std::find_if(m_lines.begin(), m_lines.end(),
                                    [key](const std::string& held) { return KeyOf(held, key); });
    if (found != m_lines.end())
        *found = std::move(line);
    else
        m_lines.push_back(std::move(line));
}

std::optional<int> ParseNumberInRange(std::string_view text, int min, int max) {
    text = Trimmed(text);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min ||
        value > max)
        return std::nullopt;
    return value;
}

bool AcceptUntrustedCertificates(const SettingsFile& file) {
    return ParseFlag(file.Get(kAcceptUntrustedKey)).value_or(false);
}

int CertificateWarningDays(const SettingsFile& file) {
    const std::optional<std::string> value = file.Get(kWarningDaysKey);
    if (!value)
        return kDefaultCertificateWarningDays;
    return ParseNumberInRange(*value, 0, kMaxCertificateWarningDays)
        .value_or(kDefaultCertificateWarningDays);
}

int WatchHistoryDays(const SettingsFile& file) {
    const auto value = file.Get(kWatchHistoryDaysKey);
    if (!value)
        return kDefaultWatchHistoryDays;
    return ParseNumberInRange(*value, 1, kMaxWatchHistoryDays).value_or(kDefaultWatchHistoryDays);
}

bool FollowRedirects(const SettingsFile& file) {
    return ParseFlag(file.Get(kFollowRedirectsKey)).value_or(false);
}

void SetAcceptUntrustedCertificates(SettingsFile& file, bool accept) {
    file.Set(kAcceptUntrustedKey, accept ? "1" : "0");
}

void SetCertificateWarningDays(SettingsFile& file, int days) {
    file.Set(kWarningDaysKey, std::to_string(std::clamp(days, 0, kMaxCertificateWarningDays)));
}

void SetWatchHistoryDays(SettingsFile& file, int days) {
    file.Set(kWatchHistoryDaysKey, std::to_string(std::clamp(days, 1, kMaxWatchHistoryDays)));
}

void SetFollowRedirects(SettingsFile& file, bool follow) {
    file.Set(kFollowRedirectsKey, follow ? "1" : "0");
}

MailAccount MailAccountOf(const SettingsFile& file) {
    MailAccount account;
    if (const auto port = file.Get(kSmtpPortKey))
        account.port = static_cast<std::uint16_t>(ParseNumberInRange(*port, 1, 65535).value_or(0));
    if (const auto security = file.Get(kSmtpSecurityKey))
        for (std::size_t i = 0; i < std::size(kSecurityWords); ++i)
            if (*security == kSecurityWords[i])
                account.security = static_cast<MailSecurity>(i);
    account.user = file.Get(kSmtpUserKey).value_or("");
    return account;
}

void SetMailAccount(SettingsFile& file, const MailAccount& account) {
    if (account.port != 0)
        file.Set(kSmtpPortKey, std::to_string(account.port));
    file.Set(kSmtpSecurityKey, kSecurityWords[static_cast<std::size_t>(account.security)]);
    file.Set(kSmtpUserKey, account.user);
}

} // namespace korvane
