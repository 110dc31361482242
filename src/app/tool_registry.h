#pragma once

namespace korvane {

class CommandDispatcher;
struct Shell;

// Connects every built tool's entry operation to its command. Commands of tools not built yet
// stay unregistered and do nothing.
void RegisterTools(CommandDispatcher& dispatcher, Shell& shell);

} // namespace korvane
