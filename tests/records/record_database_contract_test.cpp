// What the customer and the search-engine databases promise alike, written once and run for both;
// each database's own wording is in its traits.

#include "databases/customers.h"
#include "databases/search_engines.h"
#include "records/record_files.h"
#include "records/record_walk.h"

#include "support/fault_injection.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::ShownMessage;
using test::TestShell;
using test::WriteWholeFile;
using Lines = std::vector<std::string>;

// Numbers and names straight from the bytes, offsets from the layouts.
std::int64_t NumberAt(const std::string& file, std::size_t slot, std::size_t size) {
    return test::Int64At(file, slot * size);
}
std::string NameAt(const std::string& file, std::size_t slot, std::size_t size) {
    return test::TextAt(file, slot * size + 8);
}

// The messages of a failed open or write, per operation.
struct Refusals {
    ShownMessage addOpen, addWrite, findOpen, rewriteOpen, rewriteWrite, deleteOpen, deleteWrite;
};

struct Customers {
    static constexpr std::size_t kSize = 8096;
    static constexpr const char* kFile = "member.dat";
    static constexpr const char* kNameField = "Company";
    static constexpr TextField kName = customer::Company;
    static CustomerStore& Store(TestShell& t) { return t.records.customers; }
    static constexpr void (*Add)(Shell&) = CustomerAddCommand;
    static constexpr void (*Amend)(Shell&) = CustomerAmendCommand;
    static constexpr void (*Delete)(Shell&) = CustomerDeleteCommand;
    static constexpr void (*Display)(Shell&) = CustomerDisplayCommand;
    static constexpr void (*List)(Shell&) = CustomerListCommand;
    inline static const Refusals kRefused = {
        {"Data file: member.dat, not present.", "Fatal error"},
        {"Not able to write to member.dat", "Problem"},
        {"Data file: member.dat, not present.", "Fatal error"},
        {"Data file: member.dat, not present.", "Problem"},
        {"Member.dat", "Problem"},
        {"Data file: member.dat, not present.", "Fatal error"},
        {"Not able to write member.dat", "Problem"},
    };
    // Added to two records; 2 SECOND deleted of three; 2 renamed RENAMED.
    static constexpr const char* kAdded = "New customer: ";
    static constexpr const char* kCountsAfterAdd = "Customer records: 3";
    inline static const Lines kDeletedLog = {"Customer deleted: 2 SECOND", "  ",
                                             "Customer records: 3 (1 deleted)", "  "};
    static constexpr const char* kDeleteCaption = "2 Company: SECOND";
    static constexpr const char* kAmendedLine = "Customer 2 RENAMED amended";
    static constexpr const char* kAddShortName = "The Company must have at least two characters.";
    static constexpr const char* kAmendShortName = "The company must have at least two characters.";
    static constexpr const char* kAskedAgain = "Amend customer";
    static constexpr int kRefusalSounds = 0;
    static constexpr const char* kListTitle = "Customer list";
    static constexpr const char* kMatchForm = "DIALOG5";
};

struct SearchEngines {
    static constexpr std::size_t kSize = 2928;
    static constexpr const char* kFile = "urlsubmit.dat";
    static constexpr const char* kNameField = "Search engine";
    static constexpr TextField kName = engine::Name;
    static SearchEngineStore& Store(TestShell& t) { return t.records.engines; }
    static constexpr void (*Add)(Shell&) = EngineAddCommand;
    static constexpr void (*Amend)(Shell&) = EngineAmendCommand;
    static constexpr void (*Delete)(Shell&) = EngineDeleteCommand;
    static constexpr void (*Display)(Shell&) = EngineDisplayCommand;
    static constexpr void (*List)(Shell&) = EngineListCommand;
    inline static const Refusals kRefused = {
        {"Unable to write to file: urlsubmit.dat.", "Permission problem"},
        {"Not able to write to urlsubmit.dat", "Problem"},
        {"Data file: urlsubmit.dat, not present.", "Fatal error"},
        {"Unable to write to file: urlsubmit.dat.", "Permission problem"},
        {"urlsubmit.dat", "Problem"},
        {"Not able to write to file: urlsubmit.dat.", "Permission problem"},
        {"Not able to write to urlsubmit.dat", "Problem"},
    };
    static constexpr const char* kAdded = "Search engine added ";
    static constexpr const char* kCountsAfterAdd = "Search engine records: 3 (0 deleted)";
    inline static const Lines kDeletedLog = {"Search engine deleted: 2 SECOND",
                                             "Search engine records: 3 (1 deleted)", "  "};
    static constexpr const char* kDeleteCaption = "2 Item: SECOND";
    static constexpr const char* kAmendedLine = "Search engine amended: 2 RENAMED";
    static constexpr const char* kAddShortName =
        "The search engine name must have at least two characters.";
    static constexpr const char* kAmendShortName =
        "The search engine must have at least two characters.";
    static constexpr const char* kAskedAgain = "Amend search engine";
    static constexpr int kRefusalSounds = 2; // even with the beep off
    static constexpr const char* kListTitle = "Search Engine List";
    static constexpr const char* kMatchForm = "SearchEngineMatch";
};

template <typename Db> class RecordDatabaseContract : public ::testing::Test {
  protected:
    // Loads a file of records with these numbers and names, in this order.
    void LoadWith(const std::vector<std::pair<std::int64_t, std::string>>& records) {
        std::string file(records.size() * Db::kSize, '\0');
        for (std::size_t slot = 0; slot < records.size(); ++slot) {
            std::uint64_t number = static_cast<std::uint64_t>(records[slot].first);
            for (std::size_t i = 0; i < 8; ++i)
                file[slot * Db::kSize + i] = static_cast<char>(number >> (8 * i));
            file.replace(slot * Db::kSize + 8, records[slot].second.size(), records[slot].second);
        }
        WriteWholeFile(Path(), file);
        ASSERT_TRUE(LoadRecordFiles(t.records).Ok());
    }
    std::string Path() const { return t.recordFolder.File(Db::kFile); }

    void AnswerPrompt(const std::string& text) {
        t.desktop.AnswerForm([text](Form& form) {
            form.fields.front().text = text;
            return kFormAccepted;
        });
    }
    void AnswerAdd(std::int64_t number, const std::string& name) {
        t.desktop.AnswerForm([number, name](Form& form) {
            form.Field("Number").text = std::to_string(number);
            form.Field(Db::kNameField).text = name;
            return kFormAccepted;
        });
    }
    void AnswerAmend(const std::string& typed, const std::string& name) {
        AnswerPrompt(typed);
        t.desktop.AnswerForm([name](Form& form) {
            form.Field(Db::kNameField).text = name;
            return kFormAccepted;
        });
    }
    // The changes a user makes to record 2, each answered as the user would.
    struct Change {
        const char* name;
        std::function<void()> run;
    };
    Change AddFourth() {
        return {"add", [this] {
                    AnswerAdd(4, "FOURTH");
                    Db::Add(t.shell);
                }};
    }
    Change AmendSecond() {
        return {"amend", [this] {
                    AnswerAmend("2", "RENAMED");
                    Db::Amend(t.shell);
                }};
    }
    Change DeleteSecond() {
        return {"delete", [this] {
                    AnswerPrompt("2");
                    Db::Delete(t.shell);
                }};
    }
    // Whether the index, its name keys and its counters are still `before`.
    bool IndexIs(const RecordIndex& before) {
        const RecordIndex now = Db::Store(t).Index();
        return now.entries == before.entries && now.keys == before.keys &&
               now.liveCount == before.liveCount && now.deletedCount == before.deletedCount;
    }

    TestShell t;
};

using Databases = ::testing::Types<Customers, SearchEngines>;
TYPED_TEST_SUITE(RecordDatabaseContract, Databases);

TYPED_TEST(RecordDatabaseContract, AddStoresTheRecordAndLogsItButNeverTakesANumberInUse) {
    this->LoadWith({{1, "FIRST"}, {2, "SECOND"}});
    this->AnswerAdd(7, "SEVENTH");
    TypeParam::Add(this->t.shell);
    const std::string file = ReadWholeFile(this->Path());
    EXPECT_EQ(NumberAt(file, 2, TypeParam::kSize), 7);
    EXPECT_EQ(NameAt(file, 2, TypeParam::kSize), "SEVENTH");
    const Lines log = {TypeParam::kAdded + std::string("7 SEVENTH"), TypeParam::kCountsAfterAdd,
                       "  "};
    EXPECT_EQ(this->t.LogTexts(), log);
    EXPECT_EQ(this->t.log.Snapshot()[0].colour, LineColour::Highlighted);

    this->AnswerAdd(2, "AGAIN");
    TypeParam::Add(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages().back(), (ShownMessage{"Number in use.", "Problem"}));
    EXPECT_EQ(ReadWholeFile(this->Path()), file);
    EXPECT_EQ(this->t.LogTexts(), log);
}

// The dialog comes back, under its amend title and with what was typed, until the number is in
// range and the name has two characters.
TYPED_TEST(RecordDatabaseContract, AddAsksAgainUntilTheNumberAndTheNameAreAcceptable) {
    this->LoadWith({{2, "SECOND"}});
    this->t.settings.SetOn(field::BeepFlag, false);
    std::string suggested;
    this->t.desktop.AnswerForm([&suggested](Form& form) {
        suggested = form.Field("Number").text;
        form.Field("Number").text = "100000000000000001";
        form.Field(TypeParam::kNameField).text = "VALID";
        return kFormAccepted;
    });
    this->t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, TypeParam::kAskedAgain);
        EXPECT_EQ(form.Field(TypeParam::kNameField).text, "VALID");
        form.Field("Number").text = "5";
        form.Field(TypeParam::kNameField).text = "X";
        return kFormAccepted;
    });
    this->AnswerAdd(5, "XY");
    TypeParam::Add(this->t.shell);
    EXPECT_EQ(suggested, "1");
    const auto messages = this->t.desktop.Messages();
    ASSERT_GE(messages.size(), 2U);
    EXPECT_EQ(messages[0], (ShownMessage{"Number outside range.", "Problem"}));
    EXPECT_EQ(messages[1], (ShownMessage{TypeParam::kAddShortName, "Problem"}));
    EXPECT_EQ(this->t.desktop.Sounds(), TypeParam::kRefusalSounds);
    EXPECT_EQ(NameAt(ReadWholeFile(this->Path()), 1, TypeParam::kSize), "XY");
}

// Which bytes a deletion changes and which slot the next addition takes is the record fuzz target's
// model; here, what the user is asked and told.
TYPED_TEST(RecordDatabaseContract, DeleteAsksFirstAndLogsTheDeletionAndTheCounts) {
    this->LoadWith({{1, "FIRST"}, {2, "SECOND"}, {3, "THIRD"}});
    const std::string before = ReadWholeFile(this->Path());
    this->AnswerPrompt("2");
    this->t.desktop.AnswerMessage(MessageAnswer::Cancel);
    TypeParam::Delete(this->t.shell);
    EXPECT_EQ(ReadWholeFile(this->Path()), before);

    this->AnswerPrompt("2");
    TypeParam::Delete(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages(),
              (std::vector<ShownMessage>(2, {"Are you sure?", TypeParam::kDeleteCaption})));
    EXPECT_EQ(this->t.LogTexts(), TypeParam::kDeletedLog);
    EXPECT_EQ(this->t.log.Snapshot()[0].colour, LineColour::Highlighted);
}

// A file that cannot grow past a size limit, as on a full disk, in a child process: an append or
// a rewrite cut short leaves no torn record (the bytes that reached the file are taken back), the
// index stays as it was, and nothing is logged as done.
TYPED_TEST(RecordDatabaseContract, AWriteCutShortBySizeLimitLeavesNoTornRecordAndNoIndexChange) {
    const std::size_t size = TypeParam::kSize;
    const struct {
        typename TestFixture::Change change;
        std::size_t limit; // half-way through the record the change writes
        ShownMessage refused;
    } cases[] = {
        {this->AddFourth(), 3 * size + size / 2, TypeParam::kRefused.addWrite},
        {this->AmendSecond(), size + size / 2, TypeParam::kRefused.rewriteWrite},
        {this->DeleteSecond(), size + size / 2, TypeParam::kRefused.deleteWrite},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change.name);
        this->LoadWith({{1, "FIRST"}, {2, "SECOND"}, {3, "THIRD"}});
        const std::string before = ReadWholeFile(this->Path());
        const RecordIndex index = TypeParam::Store(this->t).Index();
        const auto seen =
            test::RunInChild([&] { return test::LimitFileSize(c.limit); },
                             [&] {
                                 c.change.run();
                                 const ShownMessage told = this->t.desktop.Messages().back();
                                 std::string result = told.text + " (" + told.title + ")";
                                 for (const std::string& line : this->t.LogTexts())
                                     result += "; logged " + line;
                                 return result + (this->IndexIs(index) ? "" : "; index changed");
                             });
        EXPECT_EQ(seen, c.refused.text + " (" + c.refused.title + ")");
        EXPECT_EQ(ReadWholeFile(this->Path()), before);
    }
}

// A record file that cannot be written any more between two operations (immutable, so that root
// is refused too): every change is refused with its message and leaves file and index alone, the
// deleted slot still waiting for reuse; reading goes on, and once the file is writable again the
// same change goes through, into that slot.
TYPED_TEST(RecordDatabaseContract, AFileMadeReadOnlyRefusesEveryChangeAndKeepsTheIndex) {
    this->LoadWith({{1, "FIRST"}, {2, "SECOND"}, {3, "THIRD"}, {5, "FIFTH"}});
    this->AnswerPrompt("5");
    TypeParam::Delete(this->t.shell);
    const Lines logged = this->t.LogTexts();
    const std::string before = ReadWholeFile(this->Path());
    const RecordIndex index = TypeParam::Store(this->t).Index();
    test::ImmutableFile readOnly(this->Path());
    if (!readOnly.Made())
        GTEST_SKIP() << "no way to make a file read-only for root here: " << readOnly.Error();

    const std::vector<std::pair<typename TestFixture::Change, ShownMessage>> cases = {
        {this->AddFourth(), TypeParam::kRefused.addOpen},
        {this->AmendSecond(), TypeParam::kRefused.rewriteOpen},
        {this->DeleteSecond(), TypeParam::kRefused.deleteOpen},
    };
    for (const auto& [change, refused] : cases) {
        SCOPED_TRACE(change.name);
        change.run();
        EXPECT_EQ(this->t.desktop.Messages().back(), refused);
        EXPECT_EQ(this->t.LogTexts(), logged);
        EXPECT_TRUE(this->IndexIs(index));
        EXPECT_EQ(ReadWholeFile(this->Path()), before);
    }
    this->AnswerPrompt("2");
    this->t.desktop.AnswerForm(kFormAccepted);
    TypeParam::Display(this->t.shell);
    EXPECT_EQ(this->t.desktop.Forms().back().fields.front().text, "2") << "reading goes on";

    readOnly.Release();
    this->AddFourth().run();
    EXPECT_EQ(this->t.LogTexts().at(logged.size()), TypeParam::kAdded + std::string("4 FOURTH"));
    EXPECT_EQ(NumberAt(ReadWholeFile(this->Path()), 3, TypeParam::kSize), 4);
}

// Which matches a search offers, and in which order, is the record fuzz target's model; here, the
// form they are offered on.
TYPED_TEST(RecordDatabaseContract, TextSearchOffersAMatchOnItsOwnFormAndSaysWhenNoneIsLeft) {
    this->LoadWith({{5, "ALPHA"}, {1, "BETA"}});
    this->AnswerPrompt("AL");
    this->t.desktop.AnswerForm(kFormNext);
    TypeParam::Display(this->t.shell);
    EXPECT_EQ(this->t.desktop.Forms().back().name, TypeParam::kMatchForm);
    EXPECT_EQ(this->t.desktop.Forms().back().Field("Number").text, "5");
    EXPECT_EQ(this->t.desktop.Messages(),
              (std::vector<ShownMessage>{{"No match found", "Finished"}}));

    // A pattern that matches nothing, and numbers out of range, which search as text, say so at
    // once; a number too large to change finds nothing and says nothing.
    for (const char* typed : {"ZZ", "0", "100000000000000001"}) {
        this->AnswerPrompt(typed);
        TypeParam::Display(this->t.shell);
        EXPECT_EQ(this->t.desktop.Forms().back().name, "edit2box") << typed;
    }
    this->AnswerPrompt("100000000000000001");
    TypeParam::Amend(this->t.shell);
    this->AnswerPrompt("999999999999999999999");
    TypeParam::Delete(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages(),
              (std::vector<ShownMessage>(4, ShownMessage{"No match found", "Finished"})));
}

// How the pages follow each other is the record fuzz target's model; here, what a page shows.
TYPED_TEST(RecordDatabaseContract, TheListShowsTenRowsAPageWithNextOnlyOnAFullOne) {
    std::vector<std::pair<std::int64_t, std::string>> records;
    for (std::int64_t n = 12; n >= 1; --n)
        records.push_back({n, "N" + std::to_string(n)});
    this->LoadWith(records);
    this->AnswerPrompt("2");
    this->t.desktop.AnswerForm(kFormNext);
    TypeParam::List(this->t.shell);
    const std::vector<Form> forms = this->t.desktop.Forms();
    ASSERT_EQ(forms.size(), 3U);
    EXPECT_EQ(forms[1].title, TypeParam::kListTitle);
    EXPECT_EQ(forms[1].Field("Number1").text, "2");
    EXPECT_EQ(forms[1].Field("Text1").text.substr(0, 4), "N2  ");
    EXPECT_EQ(forms[1].Field("Number10").text, "11");
    EXPECT_EQ(forms[1].buttons.size(), 2U);
    EXPECT_EQ(forms[2].Field("Number1").text, "12");
    EXPECT_EQ(forms[2].Field("Number2").text, "");
    EXPECT_EQ(forms[2].buttons.size(), 1U);
}

TYPED_TEST(RecordDatabaseContract, AmendRewritesTheRecordInPlaceButNeverItsNumberOrAShortName) {
    this->LoadWith({{1, "FIRST"}, {2, "SECOND"}});
    this->AnswerAmend("2", "RENAMED");
    TypeParam::Amend(this->t.shell);
    std::string file = ReadWholeFile(this->Path());
    EXPECT_EQ(NameAt(file, 1, TypeParam::kSize), "RENAMED");
    EXPECT_EQ(this->t.LogTexts(), (Lines{TypeParam::kAmendedLine, "  "}));
    EXPECT_EQ(this->t.log.Snapshot()[0].colour, LineColour::Highlighted);

    this->AnswerPrompt("RE");
    this->t.desktop.AnswerForm(kFormAccepted); // the match
    this->t.desktop.AnswerForm([](Form& form) {
        form.Field("Number").text = "3";
        return kFormAccepted;
    });
    TypeParam::Amend(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages().back(),
              (ShownMessage{"Number cannot be changed", "Problem"}));
    this->AnswerAmend("2", "R");
    TypeParam::Amend(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages().back(),
              (ShownMessage{TypeParam::kAmendShortName, "Problem"}));
    EXPECT_EQ(ReadWholeFile(this->Path()), file);
    EXPECT_EQ(this->t.LogTexts().size(), 2U);
}

// A worker walks the records as the workers do while the menu adds and deletes: every record it
// sees is whole and carries the number its index entry promised.
TYPED_TEST(RecordDatabaseContract, AWorkerWalkSeesWholeRecordsWhileTheMenuChangesThem) {
    this->LoadWith({{1, "FIRST"}, {2, "SECOND"}});
    std::atomic<bool> done = false;
    std::atomic<int> walks = 0;
    std::atomic<int> mismatches = 0;
    std::thread worker([&] {
        while (!done || walks == 0) {
            WalkRecordsFrom(
                TypeParam::Store(this->t), kLowestRecordNumber,
                [&](std::int64_t number, const auto& record) {
                    const std::string name = record.Text(TypeParam::kName);
                    if (record.Number() != number || (name != "N" + std::to_string(number) &&
                                                      name != "FIRST" && name != "SECOND"))
                        ++mismatches;
                    return true;
                },
                [&](std::int64_t) { ++mismatches; });
            ++walks;
        }
    });
    // Few records, each added into the slot deleted before it: the walk keeps meeting them.
    for (std::int64_t n = 3; n < 500; ++n) {
        this->AnswerAdd(n, "N" + std::to_string(n));
        TypeParam::Add(this->t.shell);
        this->AnswerPrompt(std::to_string(n - 1));
        TypeParam::Delete(this->t.shell);
    }
    done = true;
    worker.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(walks, 0);
}

TYPED_TEST(RecordDatabaseContract, AFileThatVanishedIsReportedByFindAndRewrite) {
    this->LoadWith({{1, "FIRST"}, {2, "SECOND"}});
    // The file goes while the amend dialog is open.
    this->AnswerPrompt("2");
    this->t.desktop.AnswerForm([this](Form&) {
        std::filesystem::remove(this->Path());
        return kFormAccepted;
    });
    TypeParam::Amend(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages().back(), TypeParam::kRefused.rewriteOpen);
    EXPECT_FALSE(std::filesystem::exists(this->Path())); // never created by a rewrite

    for (const char* typed : {"1", "FI"}) {
        this->AnswerPrompt(typed);
        TypeParam::Display(this->t.shell);
        EXPECT_EQ(this->t.desktop.Messages().back(), TypeParam::kRefused.findOpen) << typed;
    }
    EXPECT_EQ(this->t.desktop.Messages().size(), 3U);
    EXPECT_TRUE(this->t.LogTexts().empty());
}

} // namespace
} // namespace korvane
