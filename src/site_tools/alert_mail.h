#pragma once

#include "net/smtp.h"

#include <chrono>
#include <string>
#include <string_view>

namespace korvane {

struct Shell;

// The sender of the alert e-mails while the Email identity has no From address.
inline constexpr std::string_view kAlertSender = "korvane-alert@localhost";

// An alert e-mail: the mail job and the server and page that failed.
struct AlertMail {
    MailJob job;
    std::string failedServer;
    std::string failedPage;
    std::chrono::milliseconds replyTimeout = SmtpSession::kReplyTimeout;
};

// Sends one alert e-mail and logs how it went; runs on a thread of its own.
void AlertMailer(Shell& shell, const AlertMail& alert);

// Asks for an alert e-mail about `page` of `server` to the monitoring dialogs' alert address.
// Does nothing while no SMTP server is set. Returns at once; the mail goes on its own thread.
void RequestAlertMail(Shell& shell, const std::string& server, const std::string& page);

} // namespace korvane
