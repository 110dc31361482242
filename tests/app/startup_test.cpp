#include "app/startup.h"
#include "shell/screen.h"

#include "records/record_files.h"
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

// The little-endian integer of type T at `offset`, read independently of the settings code.
template <typename T> T IntAt(const std::string& bytes, std::size_t offset) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[offset + i]))
                 << (8 * i);
    return static_cast<T>(value);
}
const auto Int32At = IntAt<std::int32_t>;
const auto Int64At = IntAt<std::int64_t>;

// A record of `size` bytes numbered 1 with the name "AB".
std::string OneRecord(std::size_t size) {
    std::string record(size, '\0');
    record[0] = 1;
    record[8] = 'A';
    record[9] = 'B';
    return record;
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
    // Record files that exist already: the start-up then leaves kv.cfg alone.
    WriteWholeFile(t.recordFolder.File("member.dat"), OneRecord(kCustomerRecordSize));
    WriteWholeFile(t.recordFolder.File("urlsubmit.dat"), OneRecord(kSearchEngineRecordSize));
    RunStartupSequence(t.shell, dir.File("kv.cfg"));
    t.clock.Set({2026, 12, 7, 23, 59, 0, 1});
    EXPECT_TRUE(RunEndSequence(t.shell, dir.File("kv.cfg")));

    const std::string written = ReadWholeFile(dir.File("kv.cfg"));
    ASSERT_EQ(written.size(), kSettingsSize);
    for (const auto& [offset, value] :
         {std::pair{408, 59}, {412, 23}, {416, 7}, {420, 12}, {424, 2026}})
        EXPECT_EQ(Int32At(written, static_cast<std::size_t>(offset)), value) << offset;
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

TEST(Startup, MissingRecordFilesAreCreatedWithTheirDefaultRecordAndTheSettingsSaved) {
    TempDir dir;
    WriteWholeFile(dir.File("kv.cfg"), std::string(50, '\x11'));
    TestShell t;
    ASSERT_TRUE(RunStartupSequence(t.shell, dir.File("kv.cfg")));

    const std::string member = ReadWholeFile(t.recordFolder.File("member.dat"));
    ASSERT_EQ(member.size(), kCustomerRecordSize);
    EXPECT_EQ(Int64At(member, 0), 1);
    EXPECT_EQ(member.substr(8, 10), std::string("A COMPANY\0", 10));
    EXPECT_EQ(member.substr(118, 7), std::string("A ROAD\0", 7));
    const std::string engines = ReadWholeFile(t.recordFolder.File("urlsubmit.dat"));
    ASSERT_EQ(engines.size(), kSearchEngineRecordSize);
    EXPECT_EQ(Int64At(engines, 0), 1);
    EXPECT_EQ(engines.substr(8, 16), std::string("A SEARCH ENGINE\0", 16));
    EXPECT_EQ(Int32At(engines, 2608), 0);

    const std::string settings = ReadWholeFile(dir.File("kv.cfg"));
    ASSERT_EQ(settings.size(), kSettingsSize);
    EXPECT_EQ(settings.substr(0, 50), std::string(50, '\x11'));
    EXPECT_EQ(Int32At(settings, 408), 5);
    EXPECT_EQ(Int32At(settings, 412), 9);
    EXPECT_EQ(Int32At(settings, 424), 2026);
    EXPECT_EQ(Int64At(settings, 824), 1);
    EXPECT_EQ(Int64At(settings, 832), 1);
    EXPECT_TRUE(t.desktop.Messages().empty());
    EXPECT_EQ(t.LogTexts(),
              (std::vector<std::string>{"Session start:", "9:05 Sun Dec 6 2026", "  "}));
}

struct BrokenFiles {
    const char* name;
    std::string member; // "missing" leaves the file out
    std::string engines;
    std::vector<ShownMessage> messages;
};

TEST(Startup, ABrokenRecordFileEndsTheRunWithItsFatalMessage) {
    const std::string customer = OneRecord(kCustomerRecordSize);
    const std::string engine = OneRecord(kSearchEngineRecordSize);
    const std::vector<BrokenFiles> cases = {
        {"empty customers", "", engine, {{"Customer data file has no data.", "Fatal error"}}},
        {"torn customer",
         customer.substr(0, 8095),
         engine,
         {{"Customer data file corrupt.", "Fatal error"}}},
        {"customers and a half",
         customer + customer.substr(0, 100),
         engine,
         {{"Customer data file corrupt.", "Fatal error"}}},
        {"empty engines", customer, "", {{"Submit data file has no data.", "Fatal error"}}},
        {"torn engine",
         customer,
         engine + engine.substr(0, 2927),
         {{"Submit data file corrupt.", "Fatal error"}}},
    };
    for (const BrokenFiles& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        TestShell t;
        WriteWholeFile(t.recordFolder.File("member.dat"), c.member);
        WriteWholeFile(t.recordFolder.File("urlsubmit.dat"), c.engines);
        EXPECT_FALSE(RunStartupSequence(t.shell, dir.File("kv.cfg")));
        EXPECT_EQ(t.desktop.Messages(), c.messages);
        EXPECT_TRUE(t.LogTexts().empty());
        // The process still writes its settings on the way out.
        EXPECT_TRUE(RunEndSequence(t.shell, dir.File("kv.cfg")));
        EXPECT_EQ(ReadWholeFile(dir.File("kv.cfg")).size(), kSettingsSize);
    }
}

TEST(Startup, ARecordFileThatCannotBeCreatedIsAPermissionProblemThenFatal) {
    TempDir dir;
    TestShell t;
    RecordDatabases unreachable(t.recordFolder.File("no-such-folder"));
    Shell shell = t.shell;
    Shell elsewhere{shell.log,   shell.settings, shell.busy,  shell.pickers, shell.desktop,
                    shell.clock, shell.threads,  unreachable, shell.run};
    EXPECT_FALSE(RunStartupSequence(elsewhere, dir.File("kv.cfg")));
    EXPECT_EQ(t.desktop.Messages(),
              (std::vector<ShownMessage>{{"File: member.dat.", "Permission problem"},
                                         {"Customer data file corrupt.", "Fatal error"}}));
}

TEST(Startup, SettingsThatCannotBeSavedAfterTheDefaultFileAreReportedAndLoadingGoesOn) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("kv.cfg"));
    TestShell t;
    EXPECT_TRUE(RunStartupSequence(t.shell, dir.File("kv.cfg")));
    EXPECT_EQ(t.desktop.Messages(),
              (std::vector<ShownMessage>{{"Data file: kv.cfg, not present.", "Fatal error"}}));
    EXPECT_EQ(ReadWholeFile(t.recordFolder.File("urlsubmit.dat")).size(), kSearchEngineRecordSize);
}

} // namespace
} // namespace korvane
