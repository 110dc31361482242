#include "shell/application.h"

#include "shell/instance_lock.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::ShownMessage;
using test::TempDir;
using test::TestShell;
using test::WriteWholeFile;

std::int32_t Int32At(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i]))
                 << (8 * i);
    return static_cast<std::int32_t>(value);
}

TEST(Startup, ReadsTheSettingsAndWritesTheThreeOpeningLines) {
    TempDir dir;
    std::string image(100, '\0');
    image[36] = 2; // verbose detail off
    WriteWholeFile(dir.File("kv.cfg"), image);
    TestShell t;
    EXPECT_TRUE(RunStartupSequence(t.shell, dir.File("kv.cfg")));
    EXPECT_EQ(t.LogTexts(),
              (std::vector<std::string>{"Session start:", "9:05 Sun Dec 6 2026", "  "}));
    EXPECT_FALSE(t.settings.IsOn(field::DetailFlag));
}

TEST(TimeStamps, FollowTheirFormats) {
    EXPECT_EQ(TimeStampLine({2026, 12, 6, 14, 7, 0, 0}), "14:07 Sun Dec 6 2026");
    EXPECT_EQ(TimeStampLine({2027, 1, 1, 0, 0, 0, 5}), "0:00 Fri Jan 1 2027");
    EXPECT_EQ(DateStamp({2026, 12, 6, 14, 7, 0, 0}), "06/12/2026");
}

TEST(Startup, TheDesktopMustBeAtLeast800Wide) {
    EXPECT_TRUE(DesktopTooNarrow(799));
    EXPECT_FALSE(DesktopTooNarrow(800));
    EXPECT_EQ(MainWindowPosition(809, 600), (ScreenPoint{0, 0}));
    EXPECT_EQ(MainWindowPosition(810, 700), (ScreenPoint{5, 50}));
    EXPECT_EQ(MainWindowPosition(1920, 1080), (ScreenPoint{560, 240}));
    EXPECT_EQ(SplashPosition(1024, 768), (ScreenPoint{312, 285}));
}

TEST(EndSequence, WritesTheWholeBlockWithTheEndTime) {
    TempDir dir;
    std::string image(kSettingsSize, '\x5a');
    WriteWholeFile(dir.File("kv.cfg"), image);
    TestShell t;
    RunStartupSequence(t.shell, dir.File("kv.cfg"));
    t.clock.Set({2026, 12, 7, 23, 59, 0, 1});
    EXPECT_TRUE(RunEndSequence(t.shell, dir.File("kv.cfg")));

    const std::string written = ReadWholeFile(dir.File("kv.cfg"));
    ASSERT_EQ(written.size(), kSettingsSize);
    EXPECT_EQ(Int32At(written, 408), 59);
    EXPECT_EQ(Int32At(written, 412), 23);
    EXPECT_EQ(Int32At(written, 416), 7);
    EXPECT_EQ(Int32At(written, 420), 12);
    EXPECT_EQ(Int32At(written, 424), 2026);
    // Everything else is what was read at the start.
    EXPECT_EQ(written.substr(0, 408), image.substr(0, 408));
    EXPECT_EQ(written.substr(428), image.substr(428));
    EXPECT_TRUE(t.desktop.Messages().empty());
}

TEST(EndSequence, AFileThatCannotBeWrittenIsReportedAndTheOldOneKept) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("kv.cfg"));
    TestShell t;
    EXPECT_FALSE(RunEndSequence(t.shell, dir.File("kv.cfg")));
    EXPECT_EQ(t.desktop.Messages(), (std::vector<ShownMessage>{
                                        {"Unable to create KV.CFG at end of WinMain", "Problem"}}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("kv.cfg")));
}

TEST(InstanceLock, OnlyOneHolderAtATime) {
    TempDir dir;
    InstanceLock first;
    InstanceLock second;
    ASSERT_TRUE(first.Acquire(dir.File("korvane.lock")));
    EXPECT_FALSE(second.Acquire(dir.File("korvane.lock")));
    EXPECT_TRUE(second.HeldElsewhere());
    { InstanceLock released = std::move(first); }
    InstanceLock third;
    EXPECT_TRUE(third.Acquire(dir.File("korvane.lock")));
}

} // namespace
} // namespace korvane
