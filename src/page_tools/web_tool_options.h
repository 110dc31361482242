#pragma once

#include "net/http_exchange.h"

#include <chrono>
#include <string>

namespace korvane {

// Where a web tool keeps its working files and how long it waits on a silent server. The program
// uses the defaults (the current directory, 30 seconds); tests give a folder of their own and a
// short wait.
struct WebToolOptions {
    std::string folder = ".";
    std::chrono::milliseconds idleTimeout = kReceiveIdleTimeout;
};

} // namespace korvane
