#pragma once

namespace korvane::app {

// The whole life of the program: single instance, desktop check, main window, start-up picture,
// message loop and the end sequence. Returns the process's exit code.
int RunKorvane(int argc, char** argv);

} // namespace korvane::app
