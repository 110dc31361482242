#pragma once

#include "compare/body_compare.h"
#include "compare/body_scan.h"
#include "compare/folder_scan.h"
#include "net/http.h"
#include "net/tcp.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct Shell;
class ReportTextBox;

// The pieces the folder runs and the watches share: each file of a folder is one request on a
// connection of its own, reported line by line in a report window.

// A report line shown only while "Verbose operation detail display" is on.
void ReportDetail(Shell& shell, ReportTextBox& report, const std::string& text);

// A reply stored whole in its reply file, with the header read from its first bytes and, for a
// reply with the status 200, the body compared with the local contents as it arrived, so that
// the file is never read back.
struct ComparedReply {
    bool opened = false; // the reply file could be created
    // The reply file holds every byte the server sent; false when it could not be created or
    // the disk did not take the whole reply.
    bool stored = false;
    bool timedOut = false; // the server went silent before it closed: no verdict on the reply
    ReplyHeader header;
    std::optional<BodyComparison> compared;
    // When the first byte of the reply arrived; none when nothing did.
    std::optional<std::chrono::steady_clock::time_point> firstByte;
};
// Sends the request and stores the whole reply in the reply file; the body is compared with
// the file `local` when given, read from disk as the body arrives, and fed to `scan` when given
// (a reply with the status 200 only).
ComparedReply FetchComparing(std::unique_ptr<Stream> stream, const std::string& request,
                             const std::string& replyPath, std::chrono::milliseconds idleTimeout,
                             const ScannedFile* local, bool forgiveCrLf,
                             BodyScanner* scan = nullptr);

// The status lines: the status text, when there is one, where the file moved to, and
// "File: %s not available...".
void ReportStatus(ReportTextBox& report, const std::string& name, int code,
                  std::string_view header);

// Reports how the body compared ("Integrity verified", "truncated at", "differs at location",
// or that the local file could not be read). When the copies are not known to be the same, gives
// the first line said, without its line end.
std::optional<std::string> ReportComparison(ReportTextBox& report, const std::string& name,
                                            const BodyComparison& compared);

} // namespace korvane
