#include "app/startup.h"

#include "records/record_files.h"
#include "shell/shell.h"

#include <cstdio>

namespace korvane {

bool RunStartupSequence(Shell& shell, const std::string& settingsPath) {
    // A missing or unreadable kv.cfg is no error: every setting starts from zero.
    shell.settings.Load(settingsPath);
    // A fatal error with a record file ends the run before the window shows.
    if (!LoadRecordFiles(shell, settingsPath))
        return false;
    shell.log.AppendLine("Session start:");
    shell.log.AppendLine(TimeStampLine(shell.clock.Now()));
    shell.log.AppendLine("  ");
    return true;
}

bool RunEndSequence(Shell& shell, const std::string& settingsPath) {
    const LocalTime now = shell.clock.Now();
    shell.settings.Set(field::EndMinute, now.minute);
    shell.settings.Set(field::EndHour, now.hour);
    shell.settings.Set(field::EndDay, now.day);
    shell.settings.Set(field::EndMonth, now.month);
    shell.settings.Set(field::EndYear, now.year);
    const SettingsBlock::SaveResult saved = shell.settings.Save(settingsPath);
    if (saved.ok)
        return true;
    std::fprintf(stderr, "korvane: %s\n", saved.error.c_str());
    shell.desktop.ShowMessage("Unable to create KV.CFG at end of WinMain", "Problem");
    return false;
}

} // namespace korvane
