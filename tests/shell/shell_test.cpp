#include "shell/shell.h"

#include "support/scripted_desktop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace korvane {
namespace {

using test::TestShell;

TEST(DetailLines, AppearOnlyWhileVerboseDisplayIsOn) {
    TestShell t;
    AppendDetail(t.shell, "Connected to 127.0.0.1");
    t.settings.SetOn(field::DetailFlag, false);
    AppendDetail(t.shell, "hidden");
    t.settings.Set(field::DetailFlag, 1); // anything but 0 counts as off
    AppendDetail(t.shell, "hidden too");
    EXPECT_EQ(t.LogTexts(), (std::vector<std::string>{"Connected to 127.0.0.1"}));
}

TEST(AlertSound, FollowsBeepOnAlertUnlessTheAlarmMustAlwaysSound) {
    TestShell t;
    Alert(t.shell);
    EXPECT_EQ(t.desktop.Sounds(), 1);
    t.settings.SetOn(field::BeepFlag, false);
    Alert(t.shell);
    EXPECT_EQ(t.desktop.Sounds(), 1);
    AlertAlways(t.shell);
    EXPECT_EQ(t.desktop.Sounds(), 2);
}

TEST(ToolThreads, CountRunningWorkersAndWaitForThemAll) {
    ToolThreads threads;
    std::atomic<bool> release{false};
    std::atomic<int> finished{0};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(threads.Start([&] {
            while (!release.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ++finished;
        }));
    }
    EXPECT_EQ(threads.Running(), 3u);
    release = true;
    threads.WaitIdle();
    EXPECT_EQ(threads.Running(), 0u);
    EXPECT_EQ(finished.load(), 3);
}

} // namespace
} // namespace korvane
