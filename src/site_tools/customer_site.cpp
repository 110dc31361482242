#include "site_tools/customer_site.h"

#include "compare/folder_scan.h"
#include "databases/customers.h"
#include "records/record_operations.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "site_tools/monitoring.h"

namespace korvane {

namespace {

void CustomerSiteCommand(Shell& shell, WatchKind kind) {
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
    if (customers::FindRecord(shell, *typed, ReadNumber(*typed) >= 1, false) == 0)
        return;
    shell.run.alertLatch.Clear();

    CustomerStore& store = shell.records.customers;
    WatchedSites sites;
    {
        std::lock_guard lock(store.bufferMutex);
        for (std::size_t i = 0; i < kWatchSlots; ++i)
            sites[i] = {store.buffer.Text(customer::Server(i)),
                        store.buffer.Text(customer::LocalFolder(i))};
    }
    const auto typedSites = WatchDialog(shell, kind, sites, true);
    if (!typedSites)
        return;
    {
        std::lock_guard lock(store.bufferMutex);
        for (std::size_t i = 0; i < kWatchSlots; ++i) {
            store.buffer.SetText(customer::Server(i), (*typedSites)[i].server);
            store.buffer.SetText(customer::LocalFolder(i), (*typedSites)[i].folder);
        }
    }
    // Written back whether or not anything changed; a failure has its own message and the
    // watch still runs on what the dialog holds.
    customers::RewriteRecord(shell);
    const std::size_t firstSlot = FirstWatchSlot(kind, true);
    StoreSitesInSlots(shell, firstSlot, *typedSites);
    reservation.HandOver();
    RunWatch(shell, WatchInputFromSettings(shell, kind, true));
}

} // namespace

void VerifyCustomerSiteCommand(Shell& shell) {
    CustomerSiteCommand(shell, WatchKind::Verify);
}

void CheckCustomerSiteCommand(Shell& shell) {
    CustomerSiteCommand(shell, WatchKind::Check);
}

} // namespace korvane
