#include "shell/tool_registry.h"

#include "shell/commands.h"
#include "shell/preferences.h"
#include "shell/shell.h"

namespace korvane {

void RegisterTools(CommandDispatcher& dispatcher, Shell& shell) {
    dispatcher.Register(Command::Preferences, [&shell] { PreferencesCommand(shell); });
    dispatcher.Register(Command::EmailIdentity, [&shell] { EmailIdentityCommand(shell); });
}

} // namespace korvane
