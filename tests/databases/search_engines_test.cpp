#include "databases/search_engines.h"

#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace korvane {
namespace test {
static void PrintTo(const ShownMessage& message, std::ostream* out) {
    *out << '"' << message.text << "\" (" << message.title << ")";
}
} // namespace test
namespace {

using test::ReadWholeFile;
using test::ShownMessage;
using test::TestShell;

// An independent reader of urlsubmit.dat, with the offsets of the layout table written out.
std::string TextAt(const std::string& file, std::size_t offset) {
    return std::string(file.c_str() + offset);
}
std::int64_t Int64At(const std::string& file, std::size_t offset) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(file[offset + i]))
                 << (8 * i);
    return static_cast<std::int64_t>(value);
}

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

TEST_F(SearchEngineCommands, TheDefaultEngineCanBeAmendedAndAddThenSuggestsTwo) {
    AnswerPrompt("1");
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("Search engine").text, "A SEARCH ENGINE");
        form.Field("Search engine").text = "MY ENGINE";
        form.Field("Base URL").text = "search.example.org";
        return kFormAccepted;
    });
    EngineAmendCommand(t.shell);
    EXPECT_EQ(TextAt(File(), 8), "MY ENGINE");
    EXPECT_EQ(TextAt(File(), 208), "search.example.org");
    EXPECT_EQ(t.LogTexts(), (std::vector<std::string>{"Search engine amended: 1 MY ENGINE", "  "}));

    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("Number").text, "2");
        return kFormCancelled;
    });
    EngineAddCommand(t.shell);
}

TEST_F(SearchEngineCommands, APatternTypedInLowerCaseFindsTheUpperCaseName) {
    AnswerPrompt("a sea");
    t.desktop.AnswerForm(kFormAccepted); // accept the match
    EngineDisplayCommand(t.shell);
    // After a text match accepted with OK nothing more is shown.
    ASSERT_EQ(t.desktop.Forms().size(), 2U);
    EXPECT_EQ(t.desktop.Forms()[1].title, "Search engine");
    EXPECT_EQ(t.desktop.Forms()[1].Field("Number").text, "1");
}

TEST_F(SearchEngineCommands, RefusedEntriesSoundTheAlertEvenWithBeepOff) {
    t.settings.SetOn(field::BeepFlag, false);
    t.desktop.AnswerForm([](Form& form) {
        form.Field("Number").text = "0";
        form.Field("Search engine").text = "OK NAME";
        return kFormAccepted;
    });
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "Amend search engine");
        form.Field("Number").text = "3";
        form.Field("Search engine").text = "Z";
        return kFormAccepted;
    });
    t.desktop.AnswerForm(kFormCancelled);
    EngineAddCommand(t.shell);
    EXPECT_EQ(t.desktop.Messages(),
              (std::vector<ShownMessage>{
                  {"Number outside range.", "Problem"},
                  {"The search engine name must have at least two characters.", "Problem"}}));
    EXPECT_EQ(t.desktop.Sounds(), 2);
    EXPECT_EQ(File().size(), kSearchEngineRecordSize);
}

TEST_F(SearchEngineCommands, DeleteAsksWithTheItemCaptionAndLogsTheCounts) {
    AnswerPrompt("1");
    EngineDeleteCommand(t.shell);
    EXPECT_EQ(t.desktop.Messages(),
              (std::vector<ShownMessage>{{"Are you sure?", "1 Item: A SEARCH ENGINE"}}));
    EXPECT_EQ(t.desktop.Forms()[0].title, "Delete item number / description");
    EXPECT_EQ(t.LogTexts(),
              (std::vector<std::string>{"Search engine deleted: 1 A SEARCH ENGINE",
                                        "Search engine records: 1 (1 deleted)", "  "}));
    EXPECT_EQ(Int64At(File(), 0), -1);
}

} // namespace
} // namespace korvane
