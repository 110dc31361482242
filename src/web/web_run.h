#pragma once

#include "net/address.h"
#include "net/dial.h"
#include "net/http.h"
#include "net/tcp.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct Shell;

// Where a run's lines go: the session log or a report window, each in its own form.
using LineSink = std::function<void(std::string_view line)>;
// The session log as a line sink (the log itself cuts a line to what its slot holds).
LineSink LogSink(Shell& shell);

// The web preferences a run starts with; a run keeps them to its end.
struct WebPreferences {
    bool acceptUntrusted = false;
    int certificateWarningDays = 14; // 0: no warning
    bool followRedirects = false;
};
WebPreferences WebPreferencesOf(const Shell& shell);

// Where the tools' reports of a connection differ.
struct DialWording {
    std::string_view socketFailure = "Unable to open socket: ";
    bool tellsConnectFailures = true; // false: the tool words Opened::connectFailures itself
    bool certificateFacts = false;    // the verbose lines: protocol, subject, issuer, validity
    bool expiryWarning = false;       // "Certificate expires in N days (DATE)"
};

// "2026-11-30": a certificate's date, in UTC.
std::string CertificateDate(std::int64_t seconds);
// The line for a certificate that is refused (or accepted although untrusted).
std::string CertificateProblemLine(const CertificateProblem& problem,
                                   const std::optional<CertificateFacts>& facts,
                                   std::string_view host);

struct Opened {
    std::unique_ptr<Stream> stream; // none when no connection was made or its certificate failed
    Dialed::Outcome outcome = Dialed::Outcome::NotConnected;
    std::vector<ConnectFailure> connectFailures;
    bool expiresSoon = false; // the certificate expires within the warning's days
    std::optional<std::int64_t> certificateNotAfter; // what the server showed, https only
};

// The connections of one run of a tool, with its wording: every address that failed, a
// certificate's failure (with the alert sound), and once per server its facts in verbose mode and
// the warning of its end, and once per run the warning that untrusted certificates are accepted.
class WebRun {
  public:
    explicit WebRun(Shell& shell, Dialer::Options options = {});

    const WebPreferences& Preferences() const { return m_preferences; }
    Opened Open(const ServerAddress& server, std::span<const Endpoint> addresses,
                std::string_view shownServer, const LineSink& tell,
                const DialWording& wording = {});

  private:
    Shell& m_shell;
    WebPreferences m_preferences;
    Dialer m_dialer;
    std::atomic<bool> m_untrustedWarned{false};
    std::mutex m_mutex;
    std::set<std::string> m_described; // the servers whose certificate the run has told of
};

// Holds the reply file `name` at `path` for the run; when another run has it, the session log
// says that this one waits ("Waiting for the1.html: another run is using it").
ReplyFileHold HoldReplyFile(Shell& shell, const std::string& path, std::string_view name);

// A server field's text as the network path reads it; a text that is no usable server is taken
// as a bare host, so it fails where it always failed, at the look-up.
ServerAddress ServerOf(std::string_view text);

} // namespace korvane
