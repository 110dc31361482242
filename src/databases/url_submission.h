#pragma once

#include "records/record_files.h"

#include <chrono>
#include <string>
#include <string_view>

namespace korvane {

struct Shell;

inline constexpr std::chrono::milliseconds kSubmitSendTimeout{4000};
inline constexpr std::chrono::milliseconds kSubmitReplyLimit{10000};

// Every byte but "=", ".", "&", "+", the digits and "A" to "z" becomes %XX (upper case).
std::string FormEncode(std::string_view text);
// The name=value pairs of one engine's form, encoded.
std::string FormBody(const SearchEngineRecord& engine, std::string_view url,
                     std::string_view email);
// The whole request for one engine: POST with the body, or GET with the query.
std::string SubmissionRequest(const Shell& shell, const SearchEngineRecord& engine,
                              std::string_view url, std::string_view email);

struct SubmissionInput {
    std::string url;
    std::string email;
    std::string workFolder = "."; // the1.html
    std::chrono::milliseconds replyLimit = kSubmitReplyLimit;
};

// Submits the URL to every engine of the database; clears busy flag 1 when it ends.
void SubmissionRun(Shell& shell, const SubmissionInput& input);

// "Submit URL".
void SubmitUrlCommand(Shell& shell);

} // namespace korvane
