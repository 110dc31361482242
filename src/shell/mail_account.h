#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

enum class MailSecurity { None, StartTls, Tls };

// How the program reaches its mail server beyond the server's name: the port, the encryption and
// the user to log in as. The password is never part of it: it lives in the desktop's secret store.
struct MailAccount {
    std::uint16_t port = 0; // 0: the "mail" service's port, or 25
    MailSecurity security = MailSecurity::None;
    std::string user; // empty: no authentication
};

// The name the mail password is kept under in the secret store.
inline std::string MailSecretKey(std::string_view server, std::string_view user) {
    return "smtp:" + std::string(user) + "@" + std::string(server);
}

} // namespace korvane
