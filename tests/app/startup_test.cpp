#include "app/startup.h"

#include "records/record_files.h"
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

// On a first start the record files get their default record and the settings are saved at once
// with the time as the end time. The end of a session is the process test's.
TEST(Startup, MissingRecordFilesAreCreatedWithTheirDefaultRecordAndTheSettingsSaved) {
    TempDir dir;
    WriteWholeFile(dir.File("kv.cfg"), std::string(50, '\x11'));
    TestShell t;
    WriteWholeFile(t.settingsFile.Path(), "follow_redirects=1\n");
    ASSERT_TRUE(RunStartupSequence(t.shell, dir.File("kv.cfg")));
    EXPECT_TRUE(FollowRedirects(t.settingsFile));

    const std::string member = ReadWholeFile(t.recordFolder.File("member.dat"));
    ASSERT_EQ(member.size(), kCustomerRecordSize);
    EXPECT_EQ(IntAt<std::int64_t>(member, 0), 1);
    EXPECT_EQ(member.substr(8, 10), std::string("A COMPANY\0", 10));
    EXPECT_EQ(member.substr(118, 7), std::string("A ROAD\0", 7));
    const std::string engines = ReadWholeFile(t.recordFolder.File("urlsubmit.dat"));
    ASSERT_EQ(engines.size(), kSearchEngineRecordSize);
    EXPECT_EQ(IntAt<std::int64_t>(engines, 0), 1);
    EXPECT_EQ(engines.substr(8, 16), std::string("A SEARCH ENGINE\0", 16));
    EXPECT_EQ(IntAt<std::int32_t>(engines, 2608), 0);

    const std::string settings = ReadWholeFile(dir.File("kv.cfg"));
    ASSERT_EQ(settings.size(), kSettingsSize);
    EXPECT_EQ(settings.substr(0, 50), std::string(50, '\x11'));
    for (const auto& [offset, value] :
         {std::pair{408, 5}, {412, 9}, {416, 6}, {420, 12}, {424, 2026}})
        EXPECT_EQ(IntAt<std::int32_t>(settings, static_cast<std::size_t>(offset)), value) << offset;
    EXPECT_EQ(IntAt<std::int64_t>(settings, 824), 1);
    EXPECT_EQ(IntAt<std::int64_t>(settings, 832), 1);
    EXPECT_EQ(t.LogTexts(),
              (std::vector<std::string>{"Session start:", "9:05 Sun Dec 6 2026", "  "}));

    EXPECT_TRUE(t.desktop.Messages().empty());
}

std::vector<ShownMessage> Fatal(const char* text) {
    return {{text, "Fatal error"}};
}

// A record file that is broken or cannot be created ends the run with its fatal message.
TEST(Startup, ABrokenRecordFileEndsTheRunWithItsFatalMessage) {
    std::string c(kCustomerRecordSize, '\0'); // a record numbered 1 named "AB"
    std::string e(kSearchEngineRecordSize, '\0');
    for (std::string* record : {&c, &e})
        record->replace(0, 10, std::string("\1\0\0\0\0\0\0\0AB", 10));
    const struct {
        const char* name;
        std::string folder; // below the test's record folder
        std::string member;
        std::string engines;
        std::vector<ShownMessage> messages;
    } cases[] = {
        {"empty customers", "", "", e, Fatal("Customer data file has no data.")},
        {"torn customer", "", c.substr(0, 8095), e, Fatal("Customer data file corrupt.")},
        {"empty engines", "", c, "", Fatal("Submit data file has no data.")},
        {"torn engine", "", c, e + e.substr(0, 2927), Fatal("Submit data file corrupt.")},
        {"a folder that does not exist",
         "/no-such-folder",
         "",
         "",
         {{"File: member.dat.", "Permission problem"},
          {"Customer data file corrupt.", "Fatal error"}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        TestShell t;
        RecordDatabases records(t.recordFolder.Path() + row.folder);
        Shell shell{t.log,   t.settings, t.settingsFile, t.busy, t.pickers, t.desktop,
                    t.clock, t.threads,  records,        t.run,  t.history};
        WriteWholeFile(t.recordFolder.File("member.dat"), row.member);
        WriteWholeFile(t.recordFolder.File("urlsubmit.dat"), row.engines);
        EXPECT_FALSE(RunStartupSequence(shell, dir.File("kv.cfg")));
        EXPECT_EQ(t.desktop.Messages(), row.messages);
        EXPECT_TRUE(t.LogTexts().empty());
    }
}

// kv.cfg taken by a folder: the first start says so and goes on loading; the end says so and
// leaves the folder as it is. A kv.cfg the user made read-only gets the same message at the end.
TEST(Startup, SettingsThatCannotBeSavedAreReportedAtTheStartAndTheEnd) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("kv.cfg"));
    TestShell t;
    EXPECT_TRUE(RunStartupSequence(t.shell, dir.File("kv.cfg")));
    EXPECT_FALSE(RunEndSequence(t.shell, dir.File("kv.cfg")));
    WriteWholeFile(dir.File("read-only.cfg"), "old");
    std::filesystem::permissions(dir.File("read-only.cfg"), std::filesystem::perms::owner_read);
    EXPECT_FALSE(RunEndSequence(t.shell, dir.File("read-only.cfg")));
    EXPECT_EQ(t.desktop.Messages(), (std::vector<ShownMessage>{
                                        {"Data file: kv.cfg, not present.", "Fatal error"},
                                        {"Unable to create KV.CFG at end of WinMain", "Problem"},
                                        {"Unable to create KV.CFG at end of WinMain", "Problem"}}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("kv.cfg")));
    EXPECT_EQ(ReadWholeFile(dir.File("read-only.cfg")), "old");
}

} // namespace
} // namespace korvane
