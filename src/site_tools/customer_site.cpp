#include "site_tools/customer_site.h"

#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "site_tools/monitoring.h"

namespace korvane {

namespace {

void CustomerSiteCommand(Shell& shell, const CustomerLookup& customers, WatchKind kind) {
    // The watch shares the reply files with the other site runs: one at a time.
    SiteRunReservation reservation(shell.run.siteRun);
    if (!reservation.Take()) {
        shell.desktop.ShowMessage("In progress", "Please wait");
        return;
    }
    const auto typed =
        TitledPromptBox(shell.desktop, "Verify customer site", "Number / Company / fragment");
    if (!typed)
        return;
    auto found = customers.find(shell, *typed);
    if (!found)
        return;
    shell.run.alertLatch.Clear();

    CustomerRecord& record = found->record;
    WatchedSites sites;
    for (std::size_t i = 0; i < kWatchSlots; ++i)
        sites[i] = {record.Text(customer::Server(i)), record.Text(customer::LocalFolder(i))};
    const auto typedSites = WatchDialog(shell, kind, sites, true);
    if (!typedSites)
        return;
    for (std::size_t i = 0; i < kWatchSlots; ++i) {
        record.SetText(customer::Server(i), (*typedSites)[i].server);
        record.SetText(customer::LocalFolder(i), (*typedSites)[i].folder);
    }
    // Written back whether or not anything changed; a failure has its own message and the
    // watch still runs on what the dialog holds.
    customers.tellRewrite(shell, shell.records.customers.Rewrite(record, found->slot));
    const std::size_t firstSlot = FirstWatchSlot(kind, true);
    StoreSitesInSlots(shell, firstSlot, *typedSites);
    reservation.HandOver();
    RunWatch(shell, WatchInputFromSettings(shell, kind, true));
}

} // namespace

void VerifyCustomerSiteCommand(Shell& shell, const CustomerLookup& customers) {
    CustomerSiteCommand(shell, customers, WatchKind::Verify);
}

void CheckCustomerSiteCommand(Shell& shell, const CustomerLookup& customers) {
    CustomerSiteCommand(shell, customers, WatchKind::Check);
}

} // namespace korvane
