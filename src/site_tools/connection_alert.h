#pragma once

#include "net/tcp.h"

#include <chrono>
#include <string>
#include <string_view>

namespace korvane {

struct Shell;
class ReportWindowHandle;

// A large public web site that is expected to answer whenever the connection is up.
inline constexpr std::string_view kProbeHost = "www.debian.org";
inline constexpr int kCheckSecondsChoices = 2000;
inline constexpr int kDefaultCheckSeconds = 20;

struct ConnectionCheckInput {
    std::string probeHost{kProbeHost};
    std::string workFolder = "."; // the8.html
    std::chrono::milliseconds idleTimeout{30000};
    // A drop that loses the packets shows as a connection not made in this time.
    std::chrono::milliseconds connectTimeout = kConnectTimeout;
};

// One check of the connection, reported into the window; the alarm sounds for every check that
// fails, whatever "Beep on alert" says.
void ConnectionCheck(Shell& shell, const ConnectionCheckInput& input, ReportWindowHandle& report);

// Utilities > "Connection drop audio alert".
void ConnectionDropAlertCommand(Shell& shell);

} // namespace korvane
