#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace korvane {

struct Shell;
class ReportTextBox;

// What one folder run works on, copied from the settings when it starts.
struct FolderRunInput {
    std::string server;
    std::string folder;
    bool forgiveCrLf = true;      // verification only
    std::string workFolder = "."; // where the reply files go
    std::chrono::milliseconds idleTimeout{30000};
};

// The workers, each appending its report to `report`; they return when the run is over.
void VerifyFolderWorker(Shell& shell, const FolderRunInput& input, ReportTextBox& report);
void CheckSiteWorker(Shell& shell, const FolderRunInput& input, ReportTextBox& report);

// Verify > "Local folder to site" and Check > "Site".
void VerifyFolderCommand(Shell& shell);
void CheckSiteCommand(Shell& shell);

// The folder a folder field offers when it is empty: "myweb" in the user's home folder.
std::string DefaultWebFolder();

} // namespace korvane
