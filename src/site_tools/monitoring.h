#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace korvane {

struct Shell;
class ReportWindowHandle;

enum class WatchKind { Verify, Check };

inline constexpr std::size_t kWatchSlots = 4;
inline constexpr int kFrequencyChoices = 800; // "0" to "799" minutes

// Alert modes of the monitoring dialogs.
inline constexpr std::int32_t kNoAlerts = 0;
inline constexpr std::int32_t kAlertOnUnavailable = 1;
inline constexpr std::int32_t kAlertOnVerifyFail = 2;

// One server and the local folder that mirrors its root.
struct WatchedSite {
    std::string server;
    std::string folder;
};

// What every pass of one watch works on, taken from the settings when the watch starts.
struct WatchInput {
    WatchKind kind = WatchKind::Verify;
    std::array<WatchedSite, kWatchSlots> sites;
    std::int32_t frequency = 0; // minutes; 0: one pass
    std::int32_t alertMode = kNoAlerts;
    bool forgiveCrLf = true;
    std::string workFolder = "."; // the8.html, the10.html
    std::chrono::milliseconds idleTimeout{30000};
};

// The first of the four slots of the settings that a watch of this kind uses: the menu's
// watches use groups 0 and 2, the customer site watches groups 1 and 3.
std::size_t FirstWatchSlot(WatchKind kind, bool forCustomer);
WatchInput WatchInputFromSettings(const Shell& shell, WatchKind kind, bool forCustomer);

// What a watch remembers from pass to pass of each site's outage.
struct SiteOutage {
    int failingPasses = 0;    // passes in a row with a failure the alert mode names
    std::int64_t startMs = 0; // when the first of them began
    bool alerted = false;     // this site took the watch's alert
    std::string page;         // the page its alert named
};
struct WatchMemory {
    std::array<SiteOutage, kWatchSlots> sites;
    // A certificate near its end is no outage: its alert goes once a watch, beside the outages'.
    bool expiryMailed = false;
    std::int64_t prunedAtMs = 0;
    bool historyFailureTold = false;
};

// One pass over every site of the watch, reported into its window and recorded in the history.
void WatchPass(Shell& shell, const WatchInput& input, ReportWindowHandle& report,
               WatchMemory& memory);

// Opens a report window whose push button reads "Cancel", runs `pass` at once and then every
// `period` (never when it is zero) on a worker, never two at a time: a tick during a pass is
// dropped. Returns when the window is closed. The caller holds the site-run slot; it is given
// back once the window is closed and the last pass is over.
void RunTimedReport(Shell& shell, const std::string& caption, std::chrono::milliseconds period,
                    std::function<void(ReportWindowHandle&)> pass);

// Opens the watch's report window and runs a pass at once and then every frequency minutes.
void RunWatch(Shell& shell, const WatchInput& input);

// Verify > "Multiple folders to sites" and Check > "Multiple sites".
void VerifyMultipleSitesCommand(Shell& shell);
void CheckMultipleSitesCommand(Shell& shell);

using WatchedSites = std::array<WatchedSite, kWatchSlots>;

// The watch dialog over four sites: stores the frequency, alert mode and alert address, and gives
// the sites as typed; nothing when it was cancelled. With `otherModeSelectsNothing`, a stored
// alert mode that the check dialog does not offer shows no radio button selected (the customer
// site watch), rather than "No alerts".
std::optional<WatchedSites> WatchDialog(Shell& shell, WatchKind kind, const WatchedSites& sites,
                                        bool otherModeSelectsNothing = false);
WatchedSites SitesOfSlots(const Shell& shell, std::size_t firstSlot);
void StoreSitesInSlots(Shell& shell, std::size_t firstSlot, const WatchedSites& sites);

} // namespace korvane
