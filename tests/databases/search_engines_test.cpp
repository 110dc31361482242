#include "databases/search_engines.h"

#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using test::Int64At;
using test::ReadWholeFile;
using test::TestShell;
using test::TextAt;

class SearchEngineCommands : public ::testing::Test {
  protected:
    // Starts as a first run does: the default engine file is created.
    SearchEngineCommands() { EXPECT_TRUE(LoadRecordFiles(t.records).Ok()); }
    std::string File() const { return ReadWholeFile(t.recordFolder.File("urlsubmit.dat")); }
    void AnswerPrompt(const std::string& text) {
        t.desktop.AnswerForm([text](Form& form) {
            form.fields.front().text = text;
            return kFormAccepted;
        });
    }
    TestShell t;
};

TEST_F(SearchEngineCommands, AddStoresEveryFieldAtItsOffsetAndGetReopensAsGet) {
    const std::vector<std::pair<const char*, std::size_t>> layout = {
        {"Search engine", 8},    {"Base URL", 208},        {"Script path", 408},
        {"URL form name", 608},  {"Email form name", 808}, {"Extra field 1", 1008},
        {"Value 1", 1208},       {"Extra field 2", 1408},  {"Value 2", 1608},
        {"Extra field 3", 1808}, {"Value 3", 2008},        {"Extra field 4", 2208},
        {"Value 4", 2408}};
    t.desktop.AnswerForm([&layout](Form& form) {
        EXPECT_EQ(form.title, "Search engine");
        EXPECT_EQ(form.Field("Number").text, "2");
        EXPECT_EQ(form.Field("Request").selected, 0);
        for (const auto& [label, offset] : layout)
            form.Field(label).text = std::string(130, static_cast<char>('A' + offset % 23));
        form.Field("Request").selected = 1;
        return kFormAccepted;
    });
    EngineAddCommand(t.shell);

    const std::string file = File();
    ASSERT_EQ(file.size(), 2 * kSearchEngineRecordSize);
    const std::string record = file.substr(kSearchEngineRecordSize);
    EXPECT_EQ(Int64At(record, 0), 2);
    for (const auto& [label, offset] : layout)
        EXPECT_EQ(TextAt(record, offset), std::string(119, static_cast<char>('A' + offset % 23)))
            << label;
    EXPECT_EQ(Int64At(record, 2608) & 0xffffffff, 2);
    // Bytes after each terminator and the reserved area are zero: a new engine starts empty.
    EXPECT_EQ(record.substr(2612), std::string(316, '\0'));
    EXPECT_EQ(record[8 + 120], '\0');
    EXPECT_EQ(t.LogTexts(),
              (std::vector<std::string>{"Search engine added 2 " + std::string(119, 'I'),
                                        "Search engine records: 2 (0 deleted)", "  "}));

    AnswerPrompt("2");
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "Amend search engine");
        EXPECT_EQ(form.Field("Request").selected, 1);
        return kFormCancelled;
    });
    EngineAmendCommand(t.shell);
}

} // namespace
} // namespace korvane
