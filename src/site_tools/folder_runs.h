#pragma once

#include "compare/folder_scan.h"
#include "history/watch_history.h"

#include <chrono>
#include <functional>
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

// What a walk over the files of a site found wrong with one file, besides what it reported.
enum class FileFailure { Unavailable, Differs, CertificateExpiring, RuleBroken };

// What a watch keeps of a walk for its history: each file's outcome and times.
struct WalkRecord {
    std::vector<FileResult> files;
    std::optional<std::int64_t> certificateNotAfter;
};

// One walk over the files of a site, as the folder runs and the watch passes make it: the server
// is resolved once and each file is requested on a connection of its own and reported in the
// run's report window. The runs differ only in what is said here.
struct SiteWalk {
    std::string server;
    // GET each file and compare its body with the local copy; otherwise HEAD, for presence only.
    bool compare = false;
    bool forgiveCrLf = true;
    std::string workFolder = ".";
    std::string replyFile;
    std::chrono::milliseconds idleTimeout{30000};

    // The folder verification tells of an unresolved server and of failed connections in the
    // session log, and ends at the first file that finds no connection; the other runs report
    // them and go on with the next file.
    bool connectionsLogged = false;
    // A reply that cannot be stored ends the folder runs with a "Fatal error" message box naming
    // the reply file; a watch passes the file over without a word.
    bool replyFileFailureEndsRun = true;
    enum class Received {
        Unsaid,
        Detail, // "Reply received"
        Named,  // "Reply received: %s", always
    };
    Received received = Received::Unsaid;
    bool reportsPresence = false; // "Success %s received code 200."
    bool warnsOfExpiry = false;   // "Certificate expires in N days (DATE)", the watches
    // A server that cannot be reached at all is unavailable, with the alert and `failed`: a
    // watch must not stay silent when the whole site is down.
    bool unreachableFails = false;
    // Told of each unavailable or different file after the alert has sounded; the watches ask
    // for their alert e-mail here.
    std::function<void(const std::string& file, FileFailure failure)> failed;
    // The server's rules, the watches'; the defaults ask for nothing and change no byte.
    WatchRules rules;
    // When given, every file's outcome and times are kept here.
    WalkRecord* record = nullptr;
};

// Whether the rules read the body of `file`: the text rules, and the change rule of a walk that
// does not compare, read the rules' page, or every .htm and .html page when it names none.
bool RulesReadBody(const WatchRules& rules, bool compare, const std::string& file);

// Walks `files` on the server; false when the walk ended before its last file (the server did
// not resolve, or the run ended), so that no closing line follows.
bool WalkSite(Shell& shell, const SiteWalk& walk, const FolderScanTable& files,
              ReportTextBox& report);

// The workers, each appending its report to `report`; they return when the run is over.
void VerifyFolderWorker(Shell& shell, const FolderRunInput& input, ReportTextBox& report);
void CheckSiteWorker(Shell& shell, const FolderRunInput& input, ReportTextBox& report);

// Verify > "Local folder to site" and Check > "Site".
void VerifyFolderCommand(Shell& shell);
void CheckSiteCommand(Shell& shell);

// The folder a folder field offers when it is empty: "myweb" in the user's home folder.
std::string DefaultWebFolder();

} // namespace korvane
