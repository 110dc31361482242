#pragma once

#include "net/smtp.h"

namespace korvane {

struct Shell;

inline constexpr std::string_view kPasswordNeedsEncryption =
    "A password is sent only over an encrypted connection: choose STARTTLS or TLS in Email "
    "identity, or leave User name empty";
inline constexpr std::string_view kNoStartTls = "The mail server does not offer STARTTLS";
inline constexpr std::string_view kNoLogin =
    "The mail server offers no login (AUTH PLAIN or LOGIN)";

struct OpenedMail {
    bool ready = false;    // the messages may go
    bool welcomed = false; // and the server accepted the greeting and HELO or EHLO
};

// Opens a mail run's session as its job's account asks: the connection, TLS from the first byte
// or after STARTTLS (EHLO again after it) with the certificate checks and wording of the web runs,
// and the login with the password from the desktop's secret store. Plain HELO, as ever, when no
// encryption is asked for. A failure of the set-up is told as the wording says, then "Transmission
// aborted" is logged: no message is sent, and without encryption no password and no connection.
OpenedMail OpenMail(Shell& shell, SmtpSession& session, const MailJob& job,
                    const OpenWording& wording);

} // namespace korvane
