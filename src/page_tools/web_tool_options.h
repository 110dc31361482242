#pragma once

#include "net/tcp.h"

#include <chrono>
#include <string>

namespace korvane {

// Where a web tool keeps its working files and how long it waits on a silent server and on a
// connection. The program uses the defaults (the current directory, 30 and 10 seconds); tests
// give a folder of their own and short waits.
struct WebToolOptions {
    std::string folder = ".";
    std::chrono::milliseconds idleTimeout = kReceiveIdleTimeout;
    std::chrono::milliseconds connectTimeout = kConnectTimeout;
};

} // namespace korvane
