#pragma once

#include "net/http.h"
#include "net/tcp.h"
#include "web/web_run.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct Shell;

// How the page tools report one HTTP exchange in the session log.

enum class LineKind { Plain, Quiet, Detail, Omitted };

enum class ReplyFileFailure {
    LogLine,      // "Data file: the1.html."
    FatalMessage, // message box "Data file: the4.html." titled "Fatal error"
    Silent,
};

// Where the tools' reports of an exchange differ, as data; the defaults are the wording of the
// server page header tool.
struct ExchangeWording {
    bool resolvingLine = true; // the detail line "Resolving server"
    DialWording dial;
    LineKind communicateKind = LineKind::Quiet; // "Unable to communicate: %s"
    std::string_view sentPage = "Sent request.";
    bool sentNamesPage = false; // the page follows sentPage ("Sent request for: %s")
    std::string_view sentDefault = "Sent request for default page.";
    LineKind sentKind = LineKind::Detail;
    ReplyFileFailure replyFileFailure = ReplyFileFailure::LogLine;
    std::string_view received = "Reply received.";
    LineKind receivedKind = LineKind::Quiet;
    std::string_view closing = "  ";
    LineKind closingKind = LineKind::Plain;
};

// Logs "Send error #%i." and alerts when sending fails; true when all was sent.
bool SendRequestOrReport(Shell& shell, Stream& stream, std::string_view request);

struct ExchangeRequest {
    std::string server; // as typed: a bare host or a URL form
    std::string page;
    std::string method = "GET"; // the request line's, followed by the preferences' header block
    AddressFamily family = AddressFamily::IPv4;
    std::string replyFile;
    std::string folder = ".";
    std::chrono::milliseconds idleTimeout = kReceiveIdleTimeout;
    std::chrono::milliseconds connectTimeout = kConnectTimeout;
    WebRun* web = nullptr; // the run's connections; the exchange makes its own when none
};

enum class ExchangeOutcome {
    NotResolved,
    NotConnected,
    SendFailed,
    ReplyFileNotCreated,
    ReplyFileNotWritten, // reported as the wording reports a file that cannot be created
    RedirectFailed,      // too many redirects, a loop, or a Location that leads nowhere
    TimedOut,            // the server went silent before it closed: "Timed out."
    Stored,
};

struct ExchangeResult {
    ExchangeOutcome outcome = ExchangeOutcome::NotResolved;
    std::string replyPath;
    // Held when the reply is stored: the caller reads the file back before releasing it.
    ReplyFileHold hold;
    // The headers of the redirects followed to reach the stored reply, each ending in its
    // blank line.
    std::string redirectHeaders;
    Url finalUrl;             // where the stored reply came from
    bool expiresSoon = false; // a certificate on the way ends within the warning's days
};

// One HTTP/1.0 exchange: resolve, connect, send, store the reply in the reply file, with the
// log lines and alerts of its wording. With "Follow redirects" on, a redirect's Location is asked
// next, up to kMaxRedirects times, each logged.
ExchangeResult HttpExchange(Shell& shell, const ExchangeRequest& request,
                            const ExchangeWording& wording = {});

// The common report of a status other than 200: the status text where there is one, where the
// page moved to, then "File is not available. Server code: %d" followed by `suffix`, and the
// alert.
void ReportUnavailable(Shell& shell, int code, std::string_view header,
                       std::string_view suffix = {});

// The prefix followed by the argument, cut to what one log line holds.
std::string LineWith(std::string_view prefix, std::string_view argument);

// Appends a line of the given kind to the session log.
void LogAs(Shell& shell, LineKind kind, std::string_view text);

} // namespace korvane
