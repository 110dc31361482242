#include "databases/customers.h"

#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using test::Int64At;
using test::ReadWholeFile;
using test::ShownMessage;
using test::TestShell;
using test::TextAt;
using test::WriteWholeFile;

struct FieldAt {
    const char* label;
    std::size_t offset;
    std::size_t maxChars;
};
// Label in the entry dialog, offset in the file, characters the dialog stores.
const std::vector<FieldAt> kLayout = {
    {"Company", 8, 39},
    {"Title", 48, 19},
    {"First name", 68, 19},
    {"Last name", 88, 29},
    {"Road", 118, 29},
    {"Town", 148, 29},
    {"State", 178, 19},
    {"Zip / Post", 208, 9},
    {"Telephone 1", 218, 19},
    {"Telephone 2", 238, 19},
    {"Email 1", 258, 39},
    {"Email 2", 298, 39},
    {"Host", 338, 29},
    {"Host type", 368, 29},
    {"FTP server", 398, 29},
    {"Server 1", 458, 199},
    {"Local folder 1", 658, 199},
    {"Server 2", 858, 199},
    {"Local folder 2", 1058, 199},
    {"Server 3", 1258, 199},
    {"Local folder 3", 1458, 199},
    {"Server 4", 1658, 199},
    {"Local folder 4", 1858, 199},
    {"FTP User name", 2058, 29},
    {"FTP Password", 2088, 29},
    {"Admin contact", 2118, 29},
    {"Domain expiry", 2148, 29},
    {"DNS 1", 2178, 39},
    {"DNS 2", 2218, 39},
    {"Domain", 4096, 199},
    {"Page", 4296, 199},
    {"Link text", 4496, 199},
};

// A text of exactly `length` upper-case letters and digits that differs from field to field.
std::string Distinct(std::size_t seed, std::size_t length) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text += alphabet[(seed * 7 + i) % alphabet.size()];
    return text;
}

class CustomerCommands : public ::testing::Test {
  protected:
    void Load(const std::string& file) {
        WriteWholeFile(t.recordFolder.File("member.dat"), file);
        ASSERT_TRUE(LoadRecordFiles(t.records).Ok());
    }
    void LoadNumbers(const std::vector<std::int64_t>& numbers) {
        std::string file;
        for (std::int64_t number : numbers) {
            CustomerRecord record;
            record.SetNumber(number);
            record.SetText(customer::Company, "C" + std::to_string(number));
            file.append(reinterpret_cast<const char*>(record.Raw().data()), kCustomerRecordSize);
        }
        Load(file);
    }
    std::string Member() const { return ReadWholeFile(t.recordFolder.File("member.dat")); }
    void AnswerPrompt(const std::string& text) {
        t.desktop.AnswerForm([text](Form& form) {
            form.fields.front().text = text;
            return kFormAccepted;
        });
    }
    TestShell t;
};

TEST_F(CustomerCommands, AddStoresEveryFieldAtItsOffsetWithNewAndTheCreationDate) {
    LoadNumbers({1});
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "NEW CUSTOMER");
        EXPECT_EQ(form.Field("Number").text, "2");
        // Today is selected, and the lists end with the "0" item.
        EXPECT_EQ(form.Field("Day").choices.back(), "0");
        EXPECT_EQ(form.Field("Day").selected, 5);
        EXPECT_EQ(
            form.Field("Month").choices[static_cast<std::size_t>(form.Field("Month").selected)],
            "Dec");
        EXPECT_EQ(form.Field("Year").choices.back(), "2026");
        for (std::size_t i = 0; i < kLayout.size(); ++i) {
            FormField& field = form.Field(kLayout[i].label);
            EXPECT_EQ(field.maxChars, kLayout[i].maxChars) << kLayout[i].label;
            field.text = Distinct(i, kLayout[i].maxChars + 5); // longer than allowed
        }
        form.Field("Day").selected = 2;
        form.Field("Month").selected = 1;
        form.Field("Year").selected = 11;
        return kFormAccepted;
    });
    CustomerAddCommand(t.shell);

    const std::string file = Member();
    ASSERT_EQ(file.size(), 2 * kCustomerRecordSize);
    const std::string record = file.substr(kCustomerRecordSize);
    EXPECT_EQ(Int64At(record, 0), 2);
    for (std::size_t i = 0; i < kLayout.size(); ++i)
        EXPECT_EQ(TextAt(record, kLayout[i].offset), Distinct(i, kLayout[i].maxChars))
            << kLayout[i].label;
    EXPECT_EQ(TextAt(record, 428), "03/02/2001");
    EXPECT_EQ(TextAt(record, 2258), "NEW");
    EXPECT_EQ(t.desktop.Messages(), (std::vector<ShownMessage>{{"Store record?", "New customer"}}));
    EXPECT_EQ(t.settings.Get(field::CustomersAdded), 1);
}

TEST_F(CustomerCommands, AmendWithoutChangesKeepsEveryByteButTheUpdatedDate) {
    // Distinct bytes everywhere, including after each terminator and in the reserved areas.
    std::string record(kCustomerRecordSize, '\0');
    for (std::size_t i = 8; i < record.size(); ++i)
        record[i] = static_cast<char>(1 + (i * 37) % 250);
    record[0] = 7;
    for (std::size_t i = 0; i < kLayout.size(); ++i) {
        const std::string text = Distinct(i, kLayout[i].maxChars - (i % 3));
        record.replace(kLayout[i].offset, text.size() + 1, text + '\0');
    }
    record.replace(428, 11, std::string("07/03/2001") + '\0');
    Load(record);

    AnswerPrompt("7");
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "Amend customer");
        EXPECT_EQ(form.buttons.size(), 2U); // no Next
        EXPECT_EQ(form.Field("Day").choices.size(), 31U);
        EXPECT_EQ(form.Field("Day").selected, 6);
        EXPECT_EQ(form.Field("Month").selected, 2);
        return kFormAccepted;
    });
    CustomerAmendCommand(t.shell);

    const std::string after = Member();
    ASSERT_EQ(after.size(), kCustomerRecordSize);
    EXPECT_EQ(after.substr(0, 2258), record.substr(0, 2258));
    EXPECT_EQ(TextAt(after, 2258), "06/12/2026");
    EXPECT_EQ(after.substr(2269), record.substr(2269));
}

// A new customer refused once is asked for again without Next, so Add ends after it; the "0" day
// leaves the creation date empty.
TEST_F(CustomerCommands, TheDialogAskedAgainHasNoNextAndTheZeroDayMeansNoCreationDate) {
    LoadNumbers({1});
    t.desktop.AnswerForm([](Form& form) {
        form.Field("Number").text = "0";
        form.Field("Company").text = "XY";
        return kFormNext;
    });
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.buttons.size(), 2U);
        form.Field("Number").text = "5";
        form.Field("Day").selected = 31;
        return kFormAccepted;
    });
    CustomerAddCommand(t.shell);
    EXPECT_EQ(t.desktop.Messages(), (std::vector<ShownMessage>{{"Number outside range.", "Problem"},
                                                               {"Store record?", "New customer"}}));
    EXPECT_EQ(t.desktop.Forms().size(), 2U);
    EXPECT_EQ(TextAt(Member().substr(kCustomerRecordSize), 8), "XY");
    EXPECT_EQ(TextAt(Member().substr(kCustomerRecordSize), 428), "");
}

TEST_F(CustomerCommands, NextChainsAddsTheSuggestedNumberAdvancesAndACancelStoresNothing) {
    LoadNumbers({1});
    std::vector<std::string> suggested;
    for (const char* name : {"ONE", "TWO", "THREE"}) {
        t.desktop.AnswerForm([&suggested, name](Form& form) {
            suggested.push_back(form.Field("Number").text);
            form.Field("Company").text = name;
            return std::string(name) == "THREE" ? kFormAccepted : kFormNext;
        });
    }
    CustomerAddCommand(t.shell);
    EXPECT_EQ(suggested, (std::vector<std::string>{"2", "3", "4"}));
    EXPECT_EQ(t.settings.Get(field::CustomersAdded), 3);

    t.desktop.AnswerForm([](Form& form) {
        form.Field("Company").text = "NOT STORED";
        return kFormAccepted;
    });
    t.desktop.AnswerMessage(MessageAnswer::Cancel);
    CustomerAddCommand(t.shell);
    EXPECT_EQ(Member().size(), 4 * kCustomerRecordSize);
    EXPECT_EQ(t.settings.Get(field::CustomersAdded), 3);
}

TEST_F(CustomerCommands, DisplayShowsTheViewAndNextWalksUpTheNumbers) {
    LoadNumbers({8, 3, 5});
    AnswerPrompt("4"); // unused: nothing shows
    CustomerDisplayCommand(t.shell);
    EXPECT_EQ(t.desktop.Forms().size(), 1U);

    AnswerPrompt("3");
    std::vector<std::string> shown;
    for (int i = 0; i < 3; ++i) {
        t.desktop.AnswerForm([&shown](Form& form) {
            EXPECT_EQ(form.title, "CUSTOMER");
            shown.push_back(form.Field("Number").text + " " + form.Field("Company").text);
            return kFormNext;
        });
    }
    CustomerDisplayCommand(t.shell);
    EXPECT_EQ(shown, (std::vector<std::string>{"3 C3", "5 C5", "8 C8"}));
    EXPECT_EQ(t.desktop.Unanswered(), 0);
    EXPECT_TRUE(t.desktop.Messages().empty());
}

// The customer-site watches write back the copy the lookup gave them; a copy whose number no entry
// carries is refused.
TEST_F(CustomerCommands, AWriteBackOfANumberNoEntryCarriesIsRefused) {
    LoadNumbers({4, 9});
    auto found = customers::FindForChange(t.shell, "9");
    ASSERT_TRUE(found);
    const std::string before = Member();
    found->record.SetNumber(77);
    EXPECT_FALSE(
        customers::TellRewrite(t.shell, t.records.customers.Rewrite(found->record, found->slot)));
    EXPECT_EQ(t.desktop.Messages().back(), (ShownMessage{"Invalid number.", "Problem"}));
    EXPECT_EQ(Member(), before);
}

} // namespace
} // namespace korvane
