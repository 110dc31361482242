// The watch history as the report and the watches read it back, and a writer killed mid-pass.

#include "history/watch_history.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace korvane {
namespace {

constexpr std::int64_t kT0 = 1'700'000'000'000;
constexpr std::int64_t kMinute = 60'000;

// The fields compared whole, so a failure prints which one differs.
auto Fields(const PassRow& r) {
    return std::tuple(r.atMs, static_cast<int>(r.kind), r.ok, r.cause, r.responseMs,
                      r.certificateNotAfter, r.files, r.failures);
}
auto Fields(const std::optional<PassRow>& r) {
    return r ? std::optional(Fields(*r)) : std::nullopt;
}

FileResult Answered(std::string name, int firstByteMs, std::string digest = {}) {
    return {std::move(name),      200, 10, firstByteMs,      firstByteMs + 5,
            FileVerdict::Present, -1,  {}, std::move(digest)};
}

FileResult Failed(std::string name, int status, int firstByteMs, std::string cause) {
    return {std::move(name),          status, status != 0 ? 10 : -1, firstByteMs, firstByteMs,
            FileVerdict::Unavailable, -1,     std::move(cause),      {}};
}

// One value read from a raw connection, independent of the class under test.
std::int64_t Count(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    std::int64_t n = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        n = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return n;
}

TEST(WatchHistory, WhatARecordWritesReadsBackThroughASecondConnection) {
    test::TempDir dir;
    const std::string path = dir.File(std::string(kWatchHistoryFileName));
    const std::string refused = "Unable to communicate: Connection refused";
    const std::string code503 = "File: about.html not available. Server code: 503";
    {
        WatchHistory history(path);
        // Three passes over two sites; b.test's newest digest is newer than any of a.test's.
        const auto site = [](PassKind kind, const char* server, std::int64_t at,
                             const std::string& cause, std::optional<std::int64_t> notAfter,
                             std::vector<FileResult> files) {
            return SitePass{kind, server, at, cause.empty(), cause, notAfter, std::move(files)};
        };
        const auto check = PassKind::Check;
        const auto verification = PassKind::Verification;
        const std::vector<std::vector<SitePass>> passes = {
            {site(verification, "a.test", kT0 - kMinute, "", {}, {Answered("index.html", 40)}),
             site(check, "b.test", kT0 - kMinute, "", 1'800'000'000,
                  {Answered("index.html", 70, "b0")})},
            {site(check, "a.test", kT0, "", 1'900'000'000,
                  {Answered("index.html", 100, "a1"), Answered("about.html", 201, "a1about")}),
             site(verification, "b.test", kT0, refused, {},
                  {Failed("index.html", 0, -1, refused)})},
            {site(check, "a.test", kT0 + kMinute, code503, 1'900'000'000,
                  {Answered("index.html", 300, "a2"), Failed("about.html", 503, 90, code503),
                   Failed("news.html", 0, -1, "Timed out")}),
             site(check, "b.test", kT0 + kMinute + 5, "", 1'800'000'000,
                  {Answered("index.html", 80, "b2")})},
        };
        for (const auto& pass : passes)
            ASSERT_TRUE(history.Record(pass)) << history.LastError();
        EXPECT_EQ(history.LastError(), "");
    }
    const PassRow a0{kT0 - kMinute, PassKind::Verification, true, "", 40, std::nullopt, 1, 0};
    // The mean first byte is over the files that answered, a failing one among them.
    const PassRow a1{kT0, PassKind::Check, true, "", 150, 1'900'000'000, 2, 0};
    const PassRow a2{kT0 + kMinute, PassKind::Check, false, code503, 195, 1'900'000'000, 3, 2};
    const PassRow b0{kT0 - kMinute, PassKind::Check, true, "", 70, 1'800'000'000, 1, 0};
    const PassRow b1{kT0, PassKind::Verification, false, refused, -1, std::nullopt, 1, 1};
    const PassRow b2{kT0 + kMinute + 5, PassKind::Check, true, "", 80, 1'800'000'000, 1, 0};

    const WatchHistory history(path);
    struct Period {
        std::string server;
        std::int64_t from, to;
        std::vector<PassRow> expected;
    };
    const std::vector<Period> periods = {
        {"a.test", 0, INT64_MAX, {a0, a1, a2}},
        {"b.test", 0, INT64_MAX, {b0, b1, b2}},
        // Half-open: the start belongs to the period, the end does not.
        {"a.test", kT0, kT0 + kMinute, {a1}},
        {"a.test", kT0 + 1, kT0 + kMinute + 1, {a2}},
        {"c.test", 0, INT64_MAX, {}},
    };
    for (const Period& p : periods) {
        SCOPED_TRACE(p.server + " from " + std::to_string(p.from));
        const auto rows = history.Passes(p.server, p.from, p.to);
        ASSERT_EQ(rows.size(), p.expected.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(Fields(rows[i]), Fields(p.expected[i]));
    }

    struct Before {
        std::optional<PassRow> (WatchHistory::*find)(std::string_view, std::int64_t) const;
        std::string server;
        std::int64_t before;
        std::optional<PassRow> expected;
    };
    const std::vector<Before> befores = {
        {&WatchHistory::PassBefore, "a.test", kT0, a0},
        {&WatchHistory::PassBefore, "a.test", kT0 - kMinute, std::nullopt},
        {&WatchHistory::PassBefore, "b.test", kT0 + kMinute + 6, b2},
        {&WatchHistory::LastVerification, "a.test", INT64_MAX, a0},
        {&WatchHistory::LastVerification, "b.test", INT64_MAX, b1},
        {&WatchHistory::LastVerification, "b.test", kT0, std::nullopt},
    };
    for (std::size_t i = 0; i < befores.size(); ++i) {
        const Before& b = befores[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(Fields((history.*b.find)(b.server, b.before)), Fields(b.expected));
    }

    struct Digest {
        std::string server, file;
        std::optional<std::string> expected;
    };
    const std::vector<Digest> digests = {
        {"a.test", "index.html", "a2"},
        // The newest pass that read it: the failing one read no body.
        {"a.test", "about.html", "a1about"},
        {"b.test", "index.html", "b2"},
        {"b.test", "about.html", std::nullopt},
        {"c.test", "index.html", std::nullopt},
    };
    for (const Digest& d : digests)
        EXPECT_EQ(history.LastDigest(d.server, d.file), d.expected) << d.server << " " << d.file;
}

TEST(WatchHistory, RulesAreKeptPerServerAndASecondSetReplacesTheFirst) {
    test::TempDir dir;
    const std::string path = dir.File(std::string(kWatchHistoryFileName));
    const WatchRules first{"index.html", "Welcome", "Error", 800, 3, false, true};
    const WatchRules second{"", "", "Fatal", 0, 2, true, false};
    {
        WatchHistory history(path);
        EXPECT_EQ(history.RulesFor("a.test"), WatchRules{});
        ASSERT_TRUE(history.SetRules("a.test", first));
        ASSERT_TRUE(history.SetRules("b.test", first));
        EXPECT_EQ(history.RulesFor("a.test"), first);
        ASSERT_TRUE(history.SetRules("a.test", second));
    }
    const WatchHistory reopened(path);
    EXPECT_EQ(reopened.RulesFor("a.test"), second);
    EXPECT_EQ(reopened.RulesFor("b.test"), first);
    EXPECT_EQ(reopened.RulesFor("c.test"), WatchRules{});
}

TEST(WatchHistory, PruneDropsTheOlderPassesWithTheirFiles) {
    test::TempDir dir;
    const std::string path = dir.File(std::string(kWatchHistoryFileName));
    WatchHistory history(path);
    for (std::int64_t at = kT0; at < kT0 + 3; ++at) {
        const SitePass pass{PassKind::Check,
                            "a.test",
                            at,
                            true,
                            {},
                            {},
                            {Answered("a.html", 5), Answered("b.html", 6), Answered("c.html", 7)}};
        ASSERT_TRUE(history.Record({&pass, 1}));
    }
    ASSERT_TRUE(history.Prune(kT0 + 2));
    const auto left = history.Passes("a.test", 0, INT64_MAX);
    ASSERT_EQ(left.size(), 1U);
    EXPECT_EQ(left[0].atMs, kT0 + 2);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    EXPECT_EQ(Count(db, "SELECT count(*) FROM file_result"), 3);
    sqlite3_close(db);
}

TEST(WatchHistory, ADatabaseThatCannotBeOpenedFindsNothingAndSaysWhy) {
    test::TempDir dir;
    WatchHistory history(dir.File("missing/korvane-history.db"));
    const SitePass pass{PassKind::Check, "a.test", kT0, true, {}, {}, {Answered("a.html", 5)}};
    EXPECT_FALSE(history.Open());
    EXPECT_FALSE(history.IsOpen());
    EXPECT_NE(history.LastError().find("unable to open"), std::string::npos) << history.LastError();
    EXPECT_FALSE(history.Record({&pass, 1}));
    EXPECT_FALSE(history.Prune(kT0));
    EXPECT_FALSE(history.SetRules("a.test", WatchRules{"x", "y", "z", 1, 2, false, true}));
    EXPECT_EQ(history.RulesFor("a.test"), WatchRules{});
    EXPECT_TRUE(history.Passes("a.test", 0, INT64_MAX).empty());
    EXPECT_FALSE(history.PassBefore("a.test", INT64_MAX));
    EXPECT_FALSE(history.LastVerification("a.test", INT64_MAX));
    EXPECT_FALSE(history.LastDigest("a.test", "a.html"));
    EXPECT_EQ(history.SizeOnDisk(), 0);
}

// A writer killed at any moment leaves every pass it committed, whole, and no part of the pass
// it was writing. Each round kills a little later into a pass, and the next writer starts over
// a log the killed one left behind.
TEST(WatchHistory, AWriterKilledMidPassLeavesEveryCommittedPassWhole) {
    test::TempDir dir;
    const std::string path = dir.File(std::string(kWatchHistoryFileName));
    // Made before any child exists: a connection must never cross a fork.
    ASSERT_TRUE(WatchHistory(path).Open());
    std::int64_t seen = 0;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            WatchHistory writer(path);
            SitePass pass{PassKind::Check, "a.test", 0, true, {}, {}, {}};
            for (int i = 0; i < 200; ++i)
                pass.files.push_back(Answered("f" + std::to_string(i) + ".html", i, "d"));
            for (std::int64_t n = 0;; ++n) {
                pass.atMs = kT0 + round * 1'000'000'000LL + n;
                if (!writer.Record({&pass, 1}))
                    ::_exit(2);
            }
        }
        const std::int64_t target = seen + 1 + round * 2;
        {
            const WatchHistory watcher(path);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (seen < target && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                seen = static_cast<std::int64_t>(watcher.Passes("a.test", 0, INT64_MAX).size());
            }
            std::this_thread::sleep_for(std::chrono::microseconds(round * 700));
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
        ASSERT_GE(seen, target) << "the writer committed too few passes in a minute";

        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        sqlite3_stmt* check = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
        sqlite3_finalize(check);
        EXPECT_EQ(Count(db, "SELECT count(*) FROM pass p WHERE files <> 200 OR files <> "
                            "(SELECT count(*) FROM file_result f WHERE f.pass = p.id)"),
                  0);
        const std::int64_t passes = Count(db, "SELECT count(*) FROM pass");
        EXPECT_GE(passes, seen);
        sqlite3_close(db);
        seen = passes;
    }
}

} // namespace
} // namespace korvane
