#include "databases/customer_report.h"

#include "support/scripted_desktop.h"
#include "support/temp_dir.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <unistd.h>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::ScopedTimeZone;
using test::ShownMessage;
using test::TempDir;
using test::TestShell;

constexpr std::int64_t kMin = 60 * 1000;
constexpr std::int64_t kHour = 60 * kMin;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kNov1 = 1793491200000; // 00:00 in London, which keeps GMT all November
constexpr const char* kBase = "Acme-Sons-Ltd-2026-11-01-to-2026-11-30";

SitePass Pass(const std::string& server, std::int64_t at, int firstByteMs, std::string cause = {},
              PassKind kind = PassKind::Check, int files = 1) {
    SitePass pass;
    pass.kind = kind;
    pass.server = server;
    pass.atMs = kNov1 + at;
    pass.ok = cause.empty();
    pass.cause = cause;
    for (int i = 0; i < files; ++i)
        pass.files.push_back({"f" + std::to_string(i),
                              cause.empty() ? 200 : 503,
                              5,
                              firstByteMs,
                              firstByteMs + 5,
                              FileVerdict::Present,
                              -1,
                              cause,
                              {}});
    return pass;
}

// Customer 17 with sites in Server 1 and Server 3, in a work folder of its own and in London time.
class ReportCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(::getcwd(m_saved, sizeof m_saved), nullptr);
        ASSERT_EQ(::chdir(m_work.Path().c_str()), 0);
        CustomerRecord record;
        record.SetNumber(17);
        record.SetText(customer::Company, "Acme & Sons, Ltd.");
        record.SetText(customer::Server(0), "www.acme.example");
        record.SetText(customer::Server(2), "shop.acme.example");
        test::WriteWholeFile(
            t.recordFolder.File("member.dat"),
            std::string(reinterpret_cast<const char*>(record.Raw().data()), kCustomerRecordSize));
        ASSERT_TRUE(LoadRecordFiles(t.records).Ok());
    }
    void TearDown() override { ASSERT_EQ(::chdir(m_saved), 0); }
    // The customer by number, then a period of November.
    void AnswerCustomerAndPeriod(std::function<void(Form&)> check = {}) {
        t.desktop.AnswerForm([](Form& form) {
            form.fields.front().text = "17";
            return kFormAccepted;
        });
        if (check) // a period that does not read first, to be asked again
            t.desktop.AnswerForm([check](Form& form) {
                check(form);
                form.Field("From").text = "2026-11-31";
                return kFormAccepted;
            });
        t.desktop.AnswerForm([](Form& form) {
            form.Field("From").text = "2026-11-01";
            form.Field("To").text = "2026-11-30";
            return kFormAccepted;
        });
    }
    std::string Work(const std::string& name) const { return m_work.File(name); }

    TestShell t;

  private:
    TempDir m_work;
    char m_saved[4096] = {};
    ScopedTimeZone m_zone{"Europe/London"};
};

TEST_F(ReportCommand, WritesAPageThatParsesAndTheDailyRowsThenOpensThePage) {
    const std::vector<SitePass> passes = {
        Pass("www.acme.example", 10 * kMin, 120),
        Pass("www.acme.example", 9 * kDay + 12 * kHour, 80, "Status 503"),
        Pass("www.acme.example", 9 * kDay + 12 * kHour + 30 * kMin, 100),
        Pass("www.acme.example", 19 * kDay + 8 * kHour, 60, {}, PassKind::Verification, 2),
        // Down since before the period and still down at its end: the pass after it is not read.
        Pass("shop.acme.example", -kHour, -1, "No connection"),
        Pass("shop.acme.example", 14 * kDay, -1, "No connection"),
        Pass("shop.acme.example", 30 * kDay + 30 * kMin, 40),
    };
    ASSERT_TRUE(t.history.Record(passes));
    AnswerCustomerAndPeriod([](Form& form) {
        EXPECT_EQ(form.title, "Customer report");
        EXPECT_EQ(form.Field("From").text, "2026-11-06"); // 30 days before today
        EXPECT_EQ(form.Field("To").text, "2026-12-06");
    });
    CustomerReportCommand(t.shell);

    EXPECT_EQ(
        t.desktop.Messages(),
        (std::vector<ShownMessage>{{"Dates must be yyyy-mm-dd, From not after To.", "Problem"}}));
    const std::string page = Work(std::string(kBase) + ".html");
    EXPECT_EQ(t.desktop.BrowserTargets(), std::vector<std::string>{page});
    EXPECT_EQ(t.LogTexts().back(), "Customer report: " + page);
    const std::string html = ReadWholeFile(page);
    for (const char* shown :
         {"<title>Korvane report: Acme &amp; Sons, Ltd.</title>", ">75.00%<", ">0.00%<",
          "<td>2026-11-10 12:00</td><td>2026-11-10 12:30</td><td class=\"num\">30 min</td><td>"
          "Status 503</td>",
          "<td>2026-11-01 00:00</td><td>ongoing</td><td class=\"num\">30 d 0 h</td><td>No "
          "connection</td>",
          "2026-11-20 08:00: verified, 2 files", "no verification yet", "no certificate seen",
          // The plot ends on the period's last day, and an answer alone in its stretch shows.
          "text-anchor=\"end\">2026-11-30</text>", "<circle class=\"dot\""})
        EXPECT_NE(html.find(shown), std::string::npos) << shown;
    EXPECT_EQ(std::system(("/usr/bin/python3 -c 'import sys, xml.dom.minidom; "
                           "xml.dom.minidom.parse(sys.argv[1])' " +
                           page)
                              .c_str()),
              0);

    std::istringstream csv(ReadWholeFile(Work(std::string(kBase) + ".csv")));
    std::vector<std::string> rows;
    for (std::string row; std::getline(csv, row);)
        rows.push_back(row);
    ASSERT_EQ(rows.size(), 1u + 2 * 30);
    EXPECT_EQ(rows[0], "server,date,passes,ok passes,uptime %,mean response ms\r");
    EXPECT_EQ(rows[1], "www.acme.example,2026-11-01,1,1,100.00,120\r");
    EXPECT_EQ(rows[2], "www.acme.example,2026-11-02,0,0,,\r");
    EXPECT_EQ(rows[10], "www.acme.example,2026-11-10,2,1,50.00,90\r");
    EXPECT_EQ(rows[31], "shop.acme.example,2026-11-01,0,0,,\r");
    EXPECT_EQ(rows[45], "shop.acme.example,2026-11-15,1,0,0.00,\r");
    EXPECT_EQ(rows[60], "shop.acme.example,2026-11-30,0,0,,\r");
}

// What cannot be read or written is said, and nothing is opened.
TEST_F(ReportCommand, TellsWhatItCouldNotOpenOrWrite) {
    WatchHistory unopenable{Work("history")};
    std::filesystem::create_directory(Work("history"));
    Shell withoutHistory{t.log,   t.settings, t.settingsFile, t.busy, t.pickers, t.desktop,
                         t.clock, t.threads,  t.records,      t.run,  unopenable};
    const std::string page = Work(std::string(kBase) + ".html");
    std::filesystem::create_directory(page); // its name is taken
    const std::vector<std::pair<Shell*, std::string>> cases = {
        {&withoutHistory, "Unable to open the watch history " + Work("history")},
        {&t.shell, "Unable to write " + page},
    };
    for (const auto& [shell, message] : cases) {
        AnswerCustomerAndPeriod();
        CustomerReportCommand(*shell);
        EXPECT_EQ(t.desktop.Messages().back(), (ShownMessage{message, "Problem"}));
    }
    EXPECT_EQ(t.desktop.Messages().size(), 2u);
    EXPECT_TRUE(t.desktop.BrowserTargets().empty());
}

} // namespace
} // namespace korvane
