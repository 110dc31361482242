#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace korvane {

// The history of the watches, beside kv.cfg: every pass over every site with every file, and
// the rules of each monitored server. kv.cfg and member.dat know nothing of it.
inline constexpr std::string_view kWatchHistoryFileName = "korvane-history.db";

enum class PassKind { Verification = 0, Check = 1 };

// What came of one file of a pass.
enum class FileVerdict {
    Verified = 0,    // the body matched the local copy (verification)
    Present = 1,     // status 200 (check)
    Differs = 2,     // at `position`
    Truncated = 3,   // at `position`
    Unavailable = 4, // a status other than 200, no connection, a time-out: `cause` says which
    Certificate = 5, // the certificate was refused
    RuleBroken = 6,  // a rule of the server: `cause` says which
    Unanswered = 7,  // the reply could not be read (no header)
};

struct FileResult {
    std::string name;
    int status = 0; // the HTTP status, 0 when there was none
    // Milliseconds from the start of the request's connection; -1 when not reached.
    int connectMs = -1;
    int firstByteMs = -1;
    int endMs = -1;
    FileVerdict verdict = FileVerdict::Present;
    std::int64_t position = -1; // Differs, Truncated
    std::string cause;          // empty when the file passed
    std::string digest;         // SHA-256 of the body in hex, when the body was read (check)
};

// One site of one pass.
struct SitePass {
    PassKind kind = PassKind::Check;
    std::string server;
    std::int64_t atMs = 0; // when the pass over the site began, milliseconds since 1970 UTC
    bool ok = true;        // nothing failed
    std::string cause;     // the first failure, empty when ok
    std::optional<std::int64_t> certificateNotAfter; // seconds since 1970 UTC, https only
    std::vector<FileResult> files;
};

// What the user set for a monitored server, beyond the alert mode. The defaults change nothing.
struct WatchRules {
    std::string page;           // the page the text rules and the change rule read; empty: all
    std::string mustContain;    // empty: no rule
    std::string mustNotContain; // empty: no rule
    int responseLimitMs = 0;    // 0: no limit
    int failuresBeforeAlert = 1;
    bool recoveryMail = true;
    bool alertOnChange = false; // check watches
    bool operator==(const WatchRules&) const = default;
};

// A site pass as the report reads it back, without its files.
struct PassRow {
    std::int64_t atMs = 0;
    PassKind kind = PassKind::Check;
    bool ok = true;
    std::string cause;
    int responseMs = -1; // the mean time to the first byte over the files that answered
    std::optional<std::int64_t> certificateNotAfter;
    int files = 0;
    int failures = 0;
};

// One SQLite database in write-ahead-log mode. Each Record is one transaction, so a pass that
// is cut short by a crash leaves every earlier pass whole. Safe to share between threads.
class WatchHistory {
  public:
    explicit WatchHistory(std::string path = std::string(kWatchHistoryFileName));
    ~WatchHistory();
    WatchHistory(const WatchHistory&) = delete;
    WatchHistory& operator=(const WatchHistory&) = delete;

    // Opens or creates the database; false (and every call after it does nothing and finds
    // nothing) when it cannot be opened. Opened lazily by the first call otherwise.
    bool Open();
    bool IsOpen() const;
    const std::string& Path() const { return m_path; }
    // What went wrong last, for the log; empty when nothing did.
    std::string LastError() const;

    // Every site of one watch pass, in one transaction.
    bool Record(std::span<const SitePass> pass);
    // Drops the passes that began before `beforeMs`, with their files.
    bool Prune(std::int64_t beforeMs);

    WatchRules RulesFor(std::string_view server) const; // defaults when none are stored
    bool SetRules(std::string_view server, const WatchRules& rules);

    // The passes over `server` (both kinds) that began in [fromMs, toMs), oldest first.
    std::vector<PassRow> Passes(std::string_view server, std::int64_t fromMs,
                                std::int64_t toMs) const;
    // The last pass before `beforeMs`, to know whether the period began in an outage.
    std::optional<PassRow> PassBefore(std::string_view server, std::int64_t beforeMs) const;
    // The newest verification pass over `server` that began before `beforeMs`.
    std::optional<PassRow> LastVerification(std::string_view server, std::int64_t beforeMs) const;
    // The digest the last pass that read `file` of `server` found, for the change rule.
    std::optional<std::string> LastDigest(std::string_view server, std::string_view file) const;
    // Size of the database and its log on disk, in bytes.
    std::int64_t SizeOnDisk() const;

  private:
    bool OpenLocked() const;
    // The newest pass over `server` before `beforeMs` that meets `condition` (SQL, on p).
    std::optional<PassRow> NewestBefore(std::string_view server, std::int64_t beforeMs,
                                        std::string_view condition) const;

    const std::string m_path;
    mutable std::mutex m_mutex;
    mutable sqlite3* m_db = nullptr;
    mutable bool m_tried = false;
    mutable std::string m_error;
};

} // namespace korvane
