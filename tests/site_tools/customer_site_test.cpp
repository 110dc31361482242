#include "site_tools/customer_site.h"

#include "databases/customers.h"
#include "records/record_files.h"
#include "site_run_test.h"
#include "site_tools/monitoring.h"

namespace korvane {
namespace {

using test::TestShell;

std::string Bytes(const CustomerRecord& record) {
    return std::string(reinterpret_cast<const char*>(record.Raw().data()), CustomerRecord::kSize);
}

// One customer, number 17, whose first site is the fixture site mirrored in `folder`.
CustomerRecord PutCustomer(TestShell& t, const std::string& folder) {
    CustomerRecord record;
    record.SetNumber(17);
    record.SetText(customer::Company, "ACME WIDGETS");
    record.SetText(customer::Server(0), "site.test");
    record.SetText(customer::LocalFolder(0), folder);
    record.SetText(customer::Server(2), "www.acme.test"); // a site without a folder
    test::WriteWholeFile(t.records.customers.Path(), Bytes(record));
    EXPECT_EQ(t.records.customers.Load(), LoadStatus::Loaded);
    return record;
}

// The customer database's own lookup, as the program hands it in.
constexpr CustomerLookup kCustomers{customers::FindForChange, customers::TellRewrite};

using CustomerSite = test::SiteRunTest;

TEST_F(CustomerSite, TheCustomersSitesAreEditedWrittenBackAndWatched) {
    const std::string local =
        Folder("site", {{"fr-same.html", "<html>\n<body>The same page</body>\n</html>\n"}});
    CustomerRecord expected = PutCustomer(t, local);
    t.settings.Set(field::AlertMode, kAlertOnVerifyFail);
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "Verify customer site");
        form.Field("EDIT2BOX").text = "17";
        return kFormAccepted;
    });
    t.desktop.AnswerForm([&](Form& form) {
        EXPECT_EQ(form.title, "Verify multiple sites");
        EXPECT_EQ(form.Field("Server1").text, "site.test");
        EXPECT_EQ(form.Field("Folder1").text, local);
        EXPECT_EQ(form.Field("Server3").text, "www.acme.test");
        EXPECT_EQ(form.Field("Alerts").selected, 2);
        form.Field("Server2").text = "www.new.test";
        form.Field("Folder2").text = m_local.File("absent");
        return kFormAccepted;
    });
    VerifyCustomerSiteCommand(t.shell, kCustomers);
    t.threads.WaitIdle();

    // Every byte but the edited fields' is as it was.
    expected.SetText(customer::Server(1), "www.new.test");
    expected.SetText(customer::LocalFolder(1), m_local.File("absent"));
    EXPECT_EQ(test::ReadWholeFile(t.records.customers.Path()), Bytes(expected));
    EXPECT_EQ(t.settings.Get(field::MonitoredServer(5)), "www.new.test");
    EXPECT_EQ(t.settings.Get(field::MonitoredFolder(4)), local);
    EXPECT_EQ(t.settings.Get(field::MonitoredServer(0)), "") << "the menu's group is untouched";
    const std::string report = LastReport();
    EXPECT_NE(report.find("Integrity verified: fr-same.html\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("No files in folder: " + m_local.File("absent")), std::string::npos);
    EXPECT_TRUE(t.desktop.Results().empty() && t.desktop.Forms().size() == 2u)
        << "no customer view is shown";
}

} // namespace
} // namespace korvane
