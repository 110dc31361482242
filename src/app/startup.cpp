#include "app/startup.h"

#include "records/record_files.h"
#include "shell/shell.h"

#include <cstdio>

namespace korvane {

namespace {

struct LoadTexts {
    std::string_view notCreated;
    std::string_view noData;
    std::string_view corrupt;
    std::string_view notPresent;
};

constexpr LoadTexts kCustomerLoadTexts{"File: member.dat.", "Customer data file has no data.",
                                       "Customer data file corrupt.",
                                       "Customer data file not present."};
constexpr LoadTexts kEngineLoadTexts{"File: urlsubmit.dat.", "Submit data file has no data.",
                                     "Submit data file corrupt.", "Submit data file not present."};

// Says what became of one record file; false after a message that ends the run.
bool TellLoad(Shell& shell, const FileLoad& load, const LoadTexts& texts) {
    if (load.made == DefaultFile::Refused)
        shell.desktop.ShowMessage(texts.notCreated, "Permission problem");
    switch (load.status) {
    case LoadStatus::Loaded:
        return true;
    case LoadStatus::Empty:
        shell.desktop.ShowMessage(texts.noData, "Fatal error");
        return false;
    case LoadStatus::Missing: // could neither be opened nor created: no size to take
    case LoadStatus::Corrupt:
        shell.desktop.ShowMessage(texts.corrupt, "Fatal error");
        return false;
    case LoadStatus::NotPresent:
        shell.desktop.ShowMessage(texts.notPresent, "Fatal error");
        return false;
    case LoadStatus::OutOfMemory:
        shell.desktop.ShowMessage("Out of memory.", "Problem");
        return false;
    }
    return false;
}

} // namespace

bool RunStartupSequence(Shell& shell, const std::string& settingsPath) {
    // A missing or unreadable kv.cfg is no error: every setting starts from zero.
    shell.settings.Load(settingsPath);
    // Nor is korvane.cfg: a file that cannot be read leaves the web settings at their defaults.
    if (!shell.settingsFile.Load())
        std::fprintf(stderr, "korvane: cannot read %s\n", shell.settingsFile.Path().c_str());
    const RecordFilesLoad load = LoadRecordFiles(shell.records);
    if (load.customers.made == DefaultFile::Written) {
        // A new customer file marks a first start: the settings are saved at once.
        StampEndTime(shell.settings, shell.clock.Now());
        shell.settings.Set(field::DefaultCustomerFileMarkA, 1);
        shell.settings.Set(field::DefaultCustomerFileMarkB, 1);
        if (!shell.settings.Save(settingsPath).ok)
            shell.desktop.ShowMessage("Data file: kv.cfg, not present.", "Fatal error");
    }
    // A fatal error with a record file ends the run before the window shows.
    if (!TellLoad(shell, load.customers, kCustomerLoadTexts) ||
        !TellLoad(shell, load.engines, kEngineLoadTexts))
        return false;
    shell.log.AppendLine("Session start:");
    shell.log.AppendLine(TimeStampLine(shell.clock.Now()));
    shell.log.AppendLine("  ");
    return true;
}

bool RunEndSequence(Shell& shell, const std::string& settingsPath) {
    StampEndTime(shell.settings, shell.clock.Now());
    const SettingsBlock::SaveResult saved = shell.settings.Save(settingsPath);
    if (saved.ok)
        return true;
    std::fprintf(stderr, "korvane: %s\n", saved.error.c_str());
    shell.desktop.ShowMessage("Unable to create KV.CFG at end of WinMain", "Problem");
    return false;
}

} // namespace korvane
