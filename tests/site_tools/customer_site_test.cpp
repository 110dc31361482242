#include "site_tools/customer_site.h"

#include "databases/customers.h"
#include "records/record_files.h"
#include "site_tools/monitoring.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace korvane {
namespace {

using test::TestShell;

// One customer, number 17, whose first site is the fixture site mirrored in `folder`.
void PutCustomer(TestShell& t, const std::string& folder) {
    CustomerRecord record;
    record.SetNumber(17);
    record.SetText(customer::Company, "ACME WIDGETS");
    record.SetText(customer::Server(0), "site.test");
    record.SetText(customer::LocalFolder(0), folder);
    record.SetText(customer::Server(2), "www.acme.test"); // a site without a folder
    CustomerStore& store = t.records.customers;
    test::WriteWholeFile(
        store.Path(),
        std::string(reinterpret_cast<const char*>(record.Raw().data()), CustomerRecord::kSize));
    ASSERT_EQ(store.Load(), LoadStatus::Loaded);
}

// The customer database's own lookup, as the program hands it in.
constexpr CustomerLookup kCustomers{customers::FindForChange, customers::TellRewrite};

TEST(CustomerSite, TheCustomersSitesAreEditedWrittenBackAndWatched) {
    KORVANE_REQUIRE_TEST_NETWORK();
    test::TempDir local;
    test::WriteWholeFile(local.File("fr-same.html"),
                         "<html>\n<body>The same page</body>\n</html>\n");
    // The watch writes its reply file into the current folder: one of the test's own.
    test::TempDir work;
    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(work.Path().c_str()), 0);
    TestShell t;
    PutCustomer(t, local.Path());
    const std::string before = test::ReadWholeFile(t.records.customers.Path());
    t.settings.Set(field::AlertMode, kAlertOnVerifyFail);
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "Verify customer site");
        form.Field("EDIT2BOX").text = "17";
        return kFormAccepted;
    });
    t.desktop.AnswerForm([&](Form& form) {
        EXPECT_EQ(form.title, "Verify multiple sites");
        EXPECT_EQ(form.Field("Server1").text, "site.test");
        EXPECT_EQ(form.Field("Folder1").text, local.Path());
        EXPECT_EQ(form.Field("Server3").text, "www.acme.test");
        EXPECT_EQ(form.Field("Alerts").selected, 2);
        form.Field("Server2").text = "www.new.test";
        return kFormAccepted;
    });
    VerifyCustomerSiteCommand(t.shell, kCustomers);
    t.threads.WaitIdle();

    CustomerRecord stored;
    ASSERT_EQ(ReadRecord(t.records.customers.Path(), 0, stored), RecordIo::Ok);
    EXPECT_EQ(stored.Text(customer::Server(1)), "www.new.test");
    // Every byte outside the edited field is as it was.
    const std::string after = test::ReadWholeFile(t.records.customers.Path());
    const TextField edited = customer::Server(1);
    EXPECT_EQ(after.substr(0, edited.offset), before.substr(0, edited.offset));
    EXPECT_EQ(after.substr(edited.offset + edited.width),
              before.substr(edited.offset + edited.width));
    EXPECT_EQ(t.settings.Get(field::MonitoredServer(5)), "www.new.test");
    EXPECT_EQ(t.settings.Get(field::MonitoredFolder(4)), local.Path());
    EXPECT_EQ(t.settings.Get(field::MonitoredServer(0)), "") << "the menu's group is untouched";
    const std::string report = t.desktop.ReportWindows().back().Text();
    EXPECT_NE(report.find("Integrity verified: fr-same.html\r\n"), std::string::npos) << report;
    EXPECT_TRUE(t.desktop.Results().empty() && t.desktop.Forms().size() == 2u)
        << "no customer view is shown";
    ASSERT_EQ(::chdir(saved), 0);
}

TEST(CustomerSite, TheCheckShowsNoAlertChoiceForAModeItDoesNotOfferAndCancelWritesNothing) {
    test::TempDir local;
    TestShell t;
    PutCustomer(t, local.Path());
    const std::string before = test::ReadWholeFile(t.records.customers.Path());
    t.settings.Set(field::AlertMode, kAlertOnVerifyFail);
    t.desktop.AnswerForm([](Form& form) {
        form.Field("EDIT2BOX").text = "17";
        return kFormAccepted;
    });
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "Check multiple sites");
        EXPECT_EQ(form.Field("Alerts").selected, -1);
        form.Field("Server1").text = "changed.test";
        return kFormCancelled;
    });
    CheckCustomerSiteCommand(t.shell, kCustomers);
    EXPECT_EQ(test::ReadWholeFile(t.records.customers.Path()), before);
    EXPECT_TRUE(t.desktop.ReportWindows().empty());
    EXPECT_EQ(t.settings.Get(field::MonitoredServer(12)), "");
}

} // namespace
} // namespace korvane
