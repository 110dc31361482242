// What the customer and the search-engine databases promise alike, written once and run for both.

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
namespace test {
static void PrintTo(const ShownMessage& message, std::ostream* out) {
    *out << '"' << message.text << "\" (" << message.title << ")";
}
} // namespace test
namespace {

using test::ReadWholeFile;
using test::ShownMessage;
using test::TestShell;
using test::WriteWholeFile;

// An independent reader: numbers and names straight from the bytes, offsets from the layouts.
std::int64_t NumberAt(const std::string& file, std::size_t slot, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(file[slot * size + i]))
                 << (8 * i);
    return static_cast<std::int64_t>(value);
}
std::string NameAt(const std::string& file, std::size_t slot, std::size_t size) {
    return std::string(file.c_str() + slot * size + 8);
}

struct Customers {
    static constexpr std::size_t kSize = 8096;
    static constexpr const char* kFile = "member.dat";
    static constexpr const char* kNameField = "Company";
    static constexpr TextField kName = customer::Company;
    static CustomerStore& Store(TestShell& t) { return t.records.customers; }
    static void Add(Shell& shell) { CustomerAddCommand(shell); }
    static void Amend(Shell& shell) { CustomerAmendCommand(shell); }
    static void Delete(Shell& shell) { CustomerDeleteCommand(shell); }
    static void Display(Shell& shell) { CustomerDisplayCommand(shell); }
    static void List(Shell& shell) { CustomerListCommand(shell); }
    static std::string AddedLine(std::int64_t n, const std::string& name) {
        return "New customer: " + std::to_string(n) + " " + name;
    }
    static std::string DeletedLine(std::int64_t n, const std::string& name) {
        return "Customer deleted: " + std::to_string(n) + " " + name;
    }
    static ShownMessage AddOpenFailed() {
        return {"Data file: member.dat, not present.", "Fatal error"};
    }
    static ShownMessage AddWriteFailed() { return {"Not able to write to member.dat", "Problem"}; }
    static ShownMessage FindOpenFailed() {
        return {"Data file: member.dat, not present.", "Fatal error"};
    }
    static ShownMessage RewriteOpenFailed() {
        return {"Data file: member.dat, not present.", "Problem"};
    }
    static ShownMessage RewriteWriteFailed() { return {"Member.dat", "Problem"}; }
    static ShownMessage DeleteOpenFailed() {
        return {"Data file: member.dat, not present.", "Fatal error"};
    }
    static ShownMessage DeleteWriteFailed() { return {"Not able to write member.dat", "Problem"}; }
    static std::string ListTitle() { return "Customer list"; }
    static std::string MatchFormName() { return "DIALOG5"; }
    static std::string AmendedLine(std::int64_t n, const std::string& name) {
        return "Customer " + std::to_string(n) + " " + name + " amended";
    }
};

struct SearchEngines {
    static constexpr std::size_t kSize = 2928;
    static constexpr const char* kFile = "urlsubmit.dat";
    static constexpr const char* kNameField = "Search engine";
    static constexpr TextField kName = engine::Name;
    static SearchEngineStore& Store(TestShell& t) { return t.records.engines; }
    static void Add(Shell& shell) { EngineAddCommand(shell); }
    static void Amend(Shell& shell) { EngineAmendCommand(shell); }
    static void Delete(Shell& shell) { EngineDeleteCommand(shell); }
    static void Display(Shell& shell) { EngineDisplayCommand(shell); }
    static void List(Shell& shell) { EngineListCommand(shell); }
    static std::string AddedLine(std::int64_t n, const std::string& name) {
        return "Search engine added " + std::to_string(n) + " " + name;
    }
    static std::string DeletedLine(std::int64_t n, const std::string& name) {
        return "Search engine deleted: " + std::to_string(n) + " " + name;
    }
    static ShownMessage AddOpenFailed() {
        return {"Unable to write to file: urlsubmit.dat.", "Permission problem"};
    }
    static ShownMessage AddWriteFailed() {
        return {"Not able to write to urlsubmit.dat", "Problem"};
    }
    static ShownMessage FindOpenFailed() {
        return {"Data file: urlsubmit.dat, not present.", "Fatal error"};
    }
    static ShownMessage RewriteOpenFailed() {
        return {"Unable to write to file: urlsubmit.dat.", "Permission problem"};
    }
    static ShownMessage RewriteWriteFailed() { return {"urlsubmit.dat", "Problem"}; }
    static ShownMessage DeleteOpenFailed() {
        return {"Not able to write to file: urlsubmit.dat.", "Permission problem"};
    }
    static ShownMessage DeleteWriteFailed() {
        return {"Not able to write to urlsubmit.dat", "Problem"};
    }
    static std::string ListTitle() { return "Search Engine List"; }
    static std::string MatchFormName() { return "SearchEngineMatch"; }
    static std::string AmendedLine(std::int64_t n, const std::string& name) {
        return "Search engine amended: " + std::to_string(n) + " " + name;
    }
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
    std::vector<std::int64_t> IndexNumbers() {
        std::vector<std::int64_t> numbers;
        for (const IndexEntry& entry : Db::Store(t).Index().entries)
            numbers.push_back(entry.number);
        return numbers;
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
                    AnswerPrompt("2");
                    t.desktop.AnswerForm([](Form& form) {
                        form.Field(Db::kNameField).text = "RENAMED";
                        return kFormAccepted;
                    });
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

TYPED_TEST(RecordDatabaseContract, AddAppendsTheRecordAndLogsItButNeverTakesANumberInUse) {
    this->LoadWith({{1, "FIRST"}, {2, "SECOND"}});
    this->AnswerAdd(7, "SEVENTH");
    TypeParam::Add(this->t.shell);

    const std::string file = ReadWholeFile(this->Path());
    ASSERT_EQ(file.size(), 3 * TypeParam::kSize);
    EXPECT_EQ(NumberAt(file, 2, TypeParam::kSize), 7);
    EXPECT_EQ(NameAt(file, 2, TypeParam::kSize), "SEVENTH");
    EXPECT_EQ(this->IndexNumbers(), (std::vector<std::int64_t>{1, 2, 7}));
    const std::vector<LogLine> log = this->t.log.Snapshot();
    ASSERT_GE(log.size(), 3U);
    EXPECT_EQ(log[0], (LogLine{TypeParam::AddedLine(7, "SEVENTH"), LineColour::Highlighted}));
    EXPECT_EQ(log.back().text, "  ");

    // A number in use is refused and nothing is stored.
    this->AnswerAdd(2, "AGAIN");
    TypeParam::Add(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages().back(), (ShownMessage{"Number in use.", "Problem"}));
    EXPECT_EQ(ReadWholeFile(this->Path()), file);
    EXPECT_EQ(this->t.log.Snapshot().size(), log.size());
}

TYPED_TEST(RecordDatabaseContract, DeleteMarksTheRecordAndTheNextAddReusesItsSlot) {
    this->LoadWith({{1, "FIRST"}, {2, "SECOND"}, {3, "THIRD"}});
    const std::string before = ReadWholeFile(this->Path());
    this->AnswerPrompt("2");
    TypeParam::Delete(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages().front().text, "Are you sure?");

    std::string file = ReadWholeFile(this->Path());
    ASSERT_EQ(file.size(), before.size());
    EXPECT_EQ(NumberAt(file, 1, TypeParam::kSize), -1);
    // Only the number and the first two name bytes change.
    EXPECT_EQ(file.substr(TypeParam::kSize + 8, 2), std::string(2, '\0'));
    EXPECT_EQ(file.substr(TypeParam::kSize + 10), before.substr(TypeParam::kSize + 10));
    EXPECT_EQ(file.substr(0, TypeParam::kSize), before.substr(0, TypeParam::kSize));
    EXPECT_EQ(this->t.log.Snapshot().front(),
              (LogLine{TypeParam::DeletedLine(2, "SECOND"), LineColour::Highlighted}));
    EXPECT_EQ(this->IndexNumbers(), (std::vector<std::int64_t>{-1, 1, 3}));

    this->AnswerAdd(9, "NINTH");
    TypeParam::Add(this->t.shell);
    file = ReadWholeFile(this->Path());
    ASSERT_EQ(file.size(), before.size());
    EXPECT_EQ(NumberAt(file, 1, TypeParam::kSize), 9);
    EXPECT_EQ(NameAt(file, 1, TypeParam::kSize), "NINTH");
    EXPECT_EQ(this->IndexNumbers(), (std::vector<std::int64_t>{1, 3, 9}));
    EXPECT_EQ(TypeParam::Store(this->t).Counts().deleted, 0);
}

TYPED_TEST(RecordDatabaseContract, AnAddThatCannotOpenTheFileLeavesTheIndexAsItWas) {
    this->LoadWith({{1, "FIRST"}, {3, "THIRD"}});
    this->AnswerPrompt("3");
    TypeParam::Delete(this->t.shell); // a deleted slot waits for reuse
    const RecordIndex before = TypeParam::Store(this->t).Index();
    std::filesystem::remove(this->Path());
    std::filesystem::create_directory(this->Path());

    this->AnswerAdd(5, "FIFTH");
    TypeParam::Add(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages().back(), TypeParam::AddOpenFailed());
    EXPECT_TRUE(this->IndexIs(before));
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
        {this->AddFourth(), 3 * size + size / 2, TypeParam::AddWriteFailed()},
        {this->AmendSecond(), size + size / 2, TypeParam::RewriteWriteFailed()},
        {this->DeleteSecond(), size + size / 2, TypeParam::DeleteWriteFailed()},
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
// is refused too): every change is refused with its message and leaves file and index alone;
// reading goes on, and once the file is writable again the same change goes through.
TYPED_TEST(RecordDatabaseContract, AFileMadeReadOnlyRefusesEveryChangeAndKeepsTheIndex) {
    this->LoadWith({{1, "FIRST"}, {2, "SECOND"}, {3, "THIRD"}});
    const std::string before = ReadWholeFile(this->Path());
    const RecordIndex index = TypeParam::Store(this->t).Index();
    test::ImmutableFile readOnly(this->Path());
    if (!readOnly.Made())
        GTEST_SKIP() << "no way to make a file read-only for root here: " << readOnly.Error();

    const std::vector<std::pair<typename TestFixture::Change, ShownMessage>> cases = {
        {this->AddFourth(), TypeParam::AddOpenFailed()},
        {this->AmendSecond(), TypeParam::RewriteOpenFailed()},
        {this->DeleteSecond(), TypeParam::DeleteOpenFailed()},
    };
    for (const auto& [change, refused] : cases) {
        SCOPED_TRACE(change.name);
        change.run();
        EXPECT_EQ(this->t.desktop.Messages().back(), refused);
        EXPECT_TRUE(this->t.LogTexts().empty());
        EXPECT_TRUE(this->IndexIs(index));
        EXPECT_EQ(ReadWholeFile(this->Path()), before);
    }
    this->AnswerPrompt("2");
    this->t.desktop.AnswerForm(kFormAccepted);
    TypeParam::Display(this->t.shell);
    EXPECT_EQ(this->t.desktop.Forms().back().fields.front().text, "2") << "reading goes on";

    readOnly.Release();
    this->AddFourth().run();
    EXPECT_EQ(this->t.LogTexts().front(), TypeParam::AddedLine(4, "FOURTH"));
    EXPECT_EQ(NumberAt(ReadWholeFile(this->Path()), 3, TypeParam::kSize), 4);
}

TYPED_TEST(RecordDatabaseContract, TextSearchOffersEachMatchInSlotOrderUntilNoneIsLeft) {
    this->LoadWith({{5, "ALPHA"}, {1, "BETA"}, {3, "ALPINE"}, {-1, "ALSO GONE"}});
    this->AnswerPrompt("AL");
    std::vector<std::string> offered;
    for (int i = 0; i < 2; ++i) {
        this->t.desktop.AnswerForm([&offered](Form& form) {
            offered.push_back(form.Field("Number").text);
            return kFormNext;
        });
    }
    TypeParam::Display(this->t.shell);
    EXPECT_EQ(offered, (std::vector<std::string>{"5", "3"}));
    EXPECT_EQ(this->t.desktop.Messages(),
              (std::vector<ShownMessage>{{"No match found", "Finished"}}));
    EXPECT_EQ(this->t.desktop.Forms().back().name, TypeParam::MatchFormName());

    // A pattern that matches nothing says so at once.
    this->AnswerPrompt("ZZ");
    TypeParam::Display(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages().size(), 2U);
    EXPECT_EQ(this->t.desktop.Forms().back().name, "edit2box");
}

TYPED_TEST(RecordDatabaseContract, TheListPagesTenRowsAtATime) {
    std::vector<std::pair<std::int64_t, std::string>> records;
    for (std::int64_t n = 20; n >= 1; --n) // file order is not number order
        records.push_back({n, "N" + std::to_string(n)});
    this->LoadWith(records);

    struct Page {
        std::vector<std::string> numbers;
        bool next = false;
    };
    std::vector<Page> pages;
    auto recordPage = [&pages](Form& form) {
        Page page;
        for (int row = 1; row <= 10; ++row)
            page.numbers.push_back(form.Field("Number" + std::to_string(row)).text);
        page.next = form.buttons.size() == 2;
        pages.push_back(page);
        return page.next ? kFormNext : kFormAccepted;
    };
    // From 5: sixteen entries, a full page and a short one.
    this->AnswerPrompt("5");
    this->t.desktop.AnswerForm(recordPage);
    this->t.desktop.AnswerForm(recordPage);
    TypeParam::List(this->t.shell);
    ASSERT_EQ(pages.size(), 2U);
    EXPECT_EQ(pages[0].numbers.front(), "5");
    EXPECT_EQ(pages[0].numbers.back(), "14");
    EXPECT_TRUE(pages[0].next);
    EXPECT_EQ(pages[1].numbers[5], "20");
    EXPECT_EQ(pages[1].numbers[6], "");
    EXPECT_FALSE(pages[1].next);
    EXPECT_EQ(this->t.desktop.Forms()[1].title, TypeParam::ListTitle());
    EXPECT_EQ(this->t.desktop.Forms()[1].fields[1].text.substr(0, 4), "N5  ");

    // From 11: exactly ten entries; Next then finds nothing and the list closes.
    pages.clear();
    this->AnswerPrompt("11");
    this->t.desktop.AnswerForm(recordPage);
    TypeParam::List(this->t.shell);
    ASSERT_EQ(pages.size(), 1U);
    EXPECT_TRUE(pages[0].next);
    EXPECT_EQ(this->t.desktop.Unanswered(), 0);

    // Out of range or past the end: nothing shows.
    const std::size_t shown = this->t.desktop.Forms().size();
    for (const char* from : {"0", "21", "100000000000000001"}) {
        this->AnswerPrompt(from);
        TypeParam::List(this->t.shell);
    }
    EXPECT_EQ(this->t.desktop.Forms().size(), shown + 3);
}

TYPED_TEST(RecordDatabaseContract, AmendRewritesTheRecordInPlaceButNeverItsNumber) {
    this->LoadWith({{1, "FIRST"}, {2, "SECOND"}});
    this->AnswerPrompt("2");
    this->t.desktop.AnswerForm([](Form& form) {
        form.Field(TypeParam::kNameField).text = "RENAMED";
        return kFormAccepted;
    });
    TypeParam::Amend(this->t.shell);
    std::string file = ReadWholeFile(this->Path());
    EXPECT_EQ(NameAt(file, 1, TypeParam::kSize), "RENAMED");
    EXPECT_EQ(TypeParam::Store(this->t).Index().keys[1], (NameKey{'R', 'E'}));
    EXPECT_EQ(this->t.log.Snapshot().front(),
              (LogLine{TypeParam::AmendedLine(2, "RENAMED"), LineColour::Highlighted}));

    this->AnswerPrompt("RE");
    this->t.desktop.AnswerForm(kFormAccepted); // the match
    this->t.desktop.AnswerForm([](Form& form) {
        form.Field("Number").text = "3";
        return kFormAccepted;
    });
    TypeParam::Amend(this->t.shell);
    EXPECT_EQ(this->t.desktop.Messages().back(),
              (ShownMessage{"Number cannot be changed", "Problem"}));
    EXPECT_EQ(ReadWholeFile(this->Path()), file);
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
            WalkRecordsFrom(TypeParam::Store(this->t), kLowestRecordNumber,
                            [&](std::int64_t number, const auto& record) {
                                const std::string name = record.Text(TypeParam::kName);
                                if (record.Number() != number ||
                                    (name != "N" + std::to_string(number) && name != "FIRST" &&
                                     name != "SECOND"))
                                    ++mismatches;
                                return true;
                            });
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
    EXPECT_EQ(this->IndexNumbers(), (std::vector<std::int64_t>{-1, 1, 499}));
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
    EXPECT_EQ(this->t.desktop.Messages().back(), TypeParam::RewriteOpenFailed());
    EXPECT_FALSE(std::filesystem::exists(this->Path())); // never created by a rewrite

    for (const char* typed : {"1", "FI"}) {
        this->AnswerPrompt(typed);
        TypeParam::Display(this->t.shell);
        EXPECT_EQ(this->t.desktop.Messages().back(), TypeParam::FindOpenFailed()) << typed;
    }
    EXPECT_EQ(this->t.desktop.Messages().size(), 3U);
    EXPECT_TRUE(this->t.LogTexts().empty());
}

} // namespace
} // namespace korvane
