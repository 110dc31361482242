#pragma once

#include "shell/busy_flags.h"
#include "shell/clock.h"
#include "shell/desktop.h"
#include "shell/run_state.h"
#include "shell/session_log.h"
#include "shell/settings_block.h"
#include "shell/settings_file.h"
#include "shell/shared_dialogs.h"
#include "shell/tool_threads.h"

#include <string_view>

namespace korvane {

struct RecordDatabases;
class WatchHistory;

// What every tool's entry operation and worker is handed: the process-wide state and the way to
// the user. The program has one; each test builds its own around a scripted desktop.
struct Shell {
    SessionLog& log;
    SettingsBlock& settings;
    SettingsFile& settingsFile; // korvane.cfg: the settings kv.cfg has no room for
    BusyFlags& busy;
    FilePickerState& pickers;
    Desktop& desktop;
    const Clock& clock;
    ToolThreads& threads;
    RecordDatabases& records; // the customer and search-engine files with their indexes
    RunState& run;            // what runs share while they work
    WatchHistory& history;    // the watches' passes and rules, beside kv.cfg
};

// A line appended only while "Verbose operation detail display" is on.
void AppendDetail(Shell& shell, std::string_view text);

// The alert sound, played only while "Beep on alert" is on.
void Alert(Shell& shell);
// The alert sound whatever the preference says, for the alarms that must always sound.
void AlertAlways(Shell& shell);

} // namespace korvane
