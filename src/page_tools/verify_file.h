#pragma once

#include <chrono>
#include <string>

namespace korvane {

struct Shell;

// What one run of "Local file to site" works on, taken from the dialog when it starts.
struct VerifyFileInput {
    std::string server;
    std::string page;
    std::string localPath;   // as typed, for the comparison
    std::string localFolder; // the path split at its last "/"
    std::string localName;
    bool forgiveCrLf = true;
    bool comparativeView = false;
    std::string workFolder = "."; // the6.html, kv.htm and the comparison pages
    std::chrono::milliseconds idleTimeout{30000};
};

// Splits a local path at its last "/"; a path without one lies in the current folder.
void SplitLocalPath(const std::string& path, std::string& folder, std::string& name);

void VerifyFileWorker(Shell& shell, const VerifyFileInput& input);

// Verify > "Local file to site".
void VerifyFileCommand(Shell& shell);

} // namespace korvane
