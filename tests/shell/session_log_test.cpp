#include "shell/session_log.h"

#include "page_tools/verify_file.h"
#include "site_tools/folder_runs.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace korvane {
namespace {

struct CountingLog {
    SessionLog log;
    std::atomic<int> repaints{0};
    CountingLog() {
        log.SetRepaintRequest([this] { ++repaints; });
    }
};

TEST(SessionLog, KeepsWhatFitsASlotOfALongerLineAndRepaintsForIt) {
    CountingLog t;
    t.log.AppendLine(std::string(199, 'a'));
    t.log.AppendLine(std::string(200, 'b'));
    t.log.AppendHighlighted(std::string(1000, 'c'));
    t.log.AppendQuiet(std::string(198, 'd') + "\r\n");
    EXPECT_EQ(t.repaints.load(), 3);
    const std::vector<LogLine> expected = {{std::string(199, 'a'), LineColour::Normal},
                                           {std::string(199, 'b'), LineColour::Normal},
                                           {std::string(199, 'c'), LineColour::Highlighted},
                                           {std::string(198, 'd') + " ", LineColour::Normal}};
    EXPECT_EQ(t.log.Snapshot(), expected);
}

// The tools build their lines from fields of up to 199 characters; what they append is cut by
// the log, never lost.
TEST(SessionLog, AToolLineNamingALongFieldKeepsItsFirst199Characters) {
    KORVANE_REQUIRE_TEST_NETWORK();
    const std::string longName(199, 'n');
    test::TempDir local;
    test::WriteWholeFile(local.File("index.html"), "x");
    struct Case {
        const char* name;
        std::function<void(test::TestShell&)> run;
        LogLine whole; // as the tool words it, before the log cuts it
    };
    const std::vector<Case> cases = {
        {"a verified folder on a server that does not resolve",
         [&](test::TestShell& t) {
             t.desktop.AnswerForm([&](Form& form) {
                 form.Field("Server").text = longName;
                 form.Field("Folder").text = local.Path();
                 return kFormAccepted;
             });
             VerifyFolderCommand(t.shell);
         },
         {"Unable to translate host " + longName, LineColour::Normal}},
        {"the title of a verified page",
         [&](test::TestShell& t) {
             VerifyFileInput input;
             input.server = "site.test";
             input.page = longName;
             input.localFolder = local.File("absent");
             VerifyFileWorker(t.shell, input);
         },
         {"Verify page: " + longName, LineColour::Highlighted}},
    };
    for (const Case& c : cases) {
        test::TestShell t;
        c.run(t);
        t.threads.WaitIdle();
        const LogLine cut{c.whole.text.substr(0, kLogLineMaxChars), c.whole.colour};
        const auto lines = t.log.Snapshot();
        EXPECT_NE(std::find(lines.begin(), lines.end(), cut), lines.end()) << c.name;
    }
}

TEST(SessionLog, EachAppendStoresItsColourWithBlanksForLineBreaks) {
    CountingLog t;
    t.log.AppendQuiet("a\rb\nc");
    EXPECT_EQ(t.repaints.load(), 0) << "only quiet appends skip the repaint";
    t.log.AppendHighlighted("title");
    t.log.AppendLine("Reply received.\r\n");
    EXPECT_EQ(t.repaints.load(), 2);
    const std::vector<LogLine> expected = {{"a b c", LineColour::Normal},
                                           {"title", LineColour::Highlighted},
                                           {"Reply received.  ", LineColour::Normal}};
    EXPECT_EQ(t.log.Snapshot(), expected);
}

TEST(SessionLog, RollsOverKeepingTheNewest199LinesWithTheirColours) {
    CountingLog t;
    for (int i = 0; i < 199; ++i) {
        const std::string text = "line " + std::to_string(i);
        if (i % 3 == 1)
            t.log.AppendHighlighted(text);
        else
            t.log.AppendLine(text);
    }
    ASSERT_EQ(t.log.Count(), 199u);
    t.log.AppendHighlighted("newest");

    const auto lines = t.log.Snapshot();
    ASSERT_EQ(lines.size(), 199u);
    EXPECT_EQ(lines[0], (LogLine{"line 1", LineColour::Highlighted}));
    EXPECT_EQ(lines[1], (LogLine{"line 2", LineColour::Normal}));
    EXPECT_EQ(lines[197], (LogLine{"line 198", LineColour::Normal}));
    EXPECT_EQ(lines[198], (LogLine{"newest", LineColour::Highlighted}));

    // Many more appends keep the window sliding one line per append.
    for (int i = 0; i < 500; ++i)
        t.log.AppendLine("more " + std::to_string(i));
    const auto later = t.log.Snapshot();
    EXPECT_EQ(later.front().text, "more 301");
    EXPECT_EQ(later.back().text, "more 499");
}

TEST(SessionLog, VisitsSlotsBeyondTheCountAsEmptyLines) {
    CountingLog t;
    t.log.AppendLine("only");
    std::vector<std::string> seen;
    t.log.VisitLines(
        0, 3, [&](std::size_t, std::string_view text, LineColour) { seen.emplace_back(text); });
    EXPECT_EQ(seen, (std::vector<std::string>{"only", "", ""}));
}

// Workers append while the painter reads: no line may be torn, lost from the window out of
// order, or duplicated.
TEST(SessionLog, ConcurrentAppendsAndPaintingNeverTearOrReorderLines) {
    CountingLog t;
    constexpr int kThreads = 6;
    constexpr int kPerThread = 2000;
    std::atomic<bool> done{false};
    std::atomic<int> tornLines{0};

    // Cheap enough to run under the log's lock: a torn line has the wrong length or ends.
    auto wellFormed = [](std::string_view text) {
        return text.size() == 150 && text.front() == 'w' && text.back() == 'x' &&
               text.find(" s") != std::string_view::npos;
    };

    std::thread painter([&] {
        while (!done.load()) {
            t.log.VisitLines(0, kLogSlots, [&](std::size_t, std::string_view text, LineColour) {
                if (!text.empty() && !wellFormed(text))
                    ++tornLines;
            });
            std::this_thread::yield();
        }
    });
    std::vector<std::thread> workers;
    for (int w = 0; w < kThreads; ++w) {
        workers.emplace_back([&, w] {
            for (int s = 0; s < kPerThread; ++s) {
                std::string line = "w" + std::to_string(w) + " s" + std::to_string(s) + " ";
                line.resize(150, 'x');
                if (s % 2)
                    t.log.AppendHighlighted(line);
                else
                    t.log.AppendLine(line);
            }
        });
    }
    for (auto& worker : workers)
        worker.join();
    done = true;
    painter.join();

    EXPECT_EQ(tornLines.load(), 0);
    EXPECT_EQ(t.repaints.load(), kThreads * kPerThread);
    const auto lines = t.log.Snapshot();
    ASSERT_EQ(lines.size(), kLogSlots);
    std::vector<int> lastSequence(kThreads, -1);
    for (const LogLine& line : lines) {
        int worker = 0;
        int sequence = 0;
        ASSERT_EQ(std::sscanf(line.text.c_str(), "w%d s%d", &worker, &sequence), 2);
        EXPECT_GT(sequence, lastSequence[static_cast<std::size_t>(worker)]);
        lastSequence[static_cast<std::size_t>(worker)] = sequence;
        EXPECT_EQ(line.colour, sequence % 2 ? LineColour::Highlighted : LineColour::Normal);
    }
    // The newest line is the last append of the worker that finished last.
    int newestSequence = -1;
    std::sscanf(lines.back().text.c_str(), "w%*d s%d", &newestSequence);
    EXPECT_EQ(newestSequence, kPerThread - 1);
}

} // namespace
} // namespace korvane
