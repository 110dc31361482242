#pragma once

#include "net/smtp.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace korvane {

struct Shell;

// What one run of "Database email" or "Mailmerge" sends, taken from its dialog when it starts.
struct MailRun {
    MailJob job;
    bool customerRange = false;
    std::string recipient;  // single-recipient mode
    std::int64_t first = 1; // customer-range mode
    std::int64_t last = 0;
    std::string subject;
    std::string text; // lines separated by CR LF
    int quantity = 1;
    std::chrono::milliseconds replyTimeout = SmtpSession::kReplyTimeout;
    std::chrono::milliseconds hangUpWait{3000};
};

void DatabaseEmailWorker(Shell& shell, const MailRun& run);

// The message text of a mail dialog loaded from, or saved to, a text file.
inline constexpr std::size_t kMailFileMaxBytes = 1000;

void MailmergeCommand(Shell& shell);
void DatabaseEmailCommand(Shell& shell);

} // namespace korvane
