#pragma once

namespace korvane::gui {

// The whole life of the program: single instance, desktop check, main window, start-up picture,
// message loop and the end sequence. Returns the process's exit code.
int RunKorvane(int argc, char** argv);

} // namespace korvane::gui
