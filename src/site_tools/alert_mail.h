#pragma once

#include "net/smtp.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct Shell;

// The sender of the alert e-mails while the Email identity has no From address.
inline constexpr std::string_view kAlertSender = "korvane-alert@localhost";

// A watch's e-mail, the alert or the recovery notice: the mail job and its text.
struct AlertMail {
    MailJob job;
    std::string opening = "Alert to: "; // the log's first line, before the recipient
    std::string subject = "Korvane Alert";
    std::vector<std::string> bodyLines;
    std::chrono::milliseconds replyTimeout = SmtpSession::kReplyTimeout;
};

// Sends one watch e-mail and logs how it went; runs on a thread of its own.
void AlertMailer(Shell& shell, const AlertMail& alert);

// Asks for an alert e-mail about `page` of `server` to the monitoring dialogs' alert address.
// Does nothing while no SMTP server is set. Returns at once; the mail goes on its own thread.
void RequestAlertMail(Shell& shell, const std::string& server, const std::string& page);

// Asks for the recovery notice of a site that alerted and passes again, in the same way.
void RequestRecoveryMail(Shell& shell, const std::string& server, const std::string& page,
                         std::int64_t downMilliseconds);

} // namespace korvane
