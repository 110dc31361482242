#include "site_tools/monitoring.h"

#include "compare/folder_scan.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "site_tools/alert_mail.h"
#include "site_tools/folder_runs.h"
#include "site_tools/site_requests.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace korvane {

namespace {

constexpr const char* kVerifyReplyFile = "the8.html";
constexpr const char* kCheckReplyFile = "the10.html";

constexpr std::int64_t kDayMs = std::int64_t{24} * 60 * 60 * 1000;

// The pass over one site; false when nothing more is to be said of it (no blank line).
bool PassSite(Shell& shell, const WatchInput& input, const WatchedSite& site,
              ReportWindowHandle& report, WatchMemory& memory, SiteOutage& outage,
              std::vector<SitePass>& passes) {
    const auto table = FolderScan(site.folder);
    if (!table) {
        ReportAppend(report, "No files in folder: %s.\r\n", site.folder.c_str());
        Alert(shell);
        return false;
    }
    ReportAppend(report, "Files in directory %s: %d\r\n", site.folder.c_str(),
                 static_cast<int>(table->size()));
    if (site.server.empty())
        return false;
    const bool verify = input.kind == WatchKind::Verify;
    SiteWalk walk;
    walk.server = site.server;
    walk.compare = verify;
    walk.forgiveCrLf = input.forgiveCrLf;
    walk.workFolder = input.workFolder;
    walk.replyFile = verify ? kVerifyReplyFile : kCheckReplyFile;
    walk.idleTimeout = input.idleTimeout;
    walk.replyFileFailureEndsRun = false;
    walk.received = verify ? SiteWalk::Received::Detail : SiteWalk::Received::Named;
    walk.warnsOfExpiry = true;
    walk.unreachableFails = true;
    walk.rules = shell.history.RulesFor(site.server);
    WalkRecord record;
    walk.record = &record;
    SitePass pass;
    pass.kind = verify ? PassKind::Verification : PassKind::Check;
    pass.server = site.server;
    pass.atMs = shell.clock.EpochMs();
    // One alert e-mail per outage of the watch, for the failures its mode names, once the site
    // has failed as many passes in a row as its rules ask.
    bool failing = false;
    walk.failed = [&](const std::string& file, FileFailure failure) {
        const bool named =
            input.alertMode == kAlertOnVerifyFail ||
            (failure != FileFailure::Differs && input.alertMode == kAlertOnUnavailable);
        if (!named)
            return;
        if (failure == FileFailure::CertificateExpiring) {
            if (!std::exchange(memory.expiryMailed, true))
                RequestAlertMail(shell, site.server, file);
            return;
        }
        failing = true;
        if (outage.failingPasses + 1 >= walk.rules.failuresBeforeAlert && !outage.alerted &&
            shell.run.alertLatch.TakeFirst()) {
            outage.alerted = true;
            outage.page = file;
            RequestAlertMail(shell, site.server, file);
        }
    };
    const bool said = WalkSite(shell, walk, *table, report);
    if (failing) {
        if (outage.failingPasses++ == 0)
            outage.startMs = pass.atMs;
    } else {
        // The site that took the alert passes again: its recovery, and the next outage may alert.
        if (outage.alerted) {
            if (walk.rules.recoveryMail)
                RequestRecoveryMail(shell, site.server, outage.page, pass.atMs - outage.startMs);
            shell.run.alertLatch.Clear();
        }
        outage = {};
    }
    if (!record.files.empty()) {
        for (const FileResult& file : record.files) {
            if (!file.cause.empty()) {
                pass.ok = false;
                pass.cause = file.cause;
                break;
            }
        }
        pass.files = std::move(record.files);
        pass.certificateNotAfter = record.certificateNotAfter;
        passes.push_back(std::move(pass));
    }
    return said;
}

// Keeps the history to the days the preferences ask for; once a day is enough.
void PruneHistory(Shell& shell, WatchMemory& memory) {
    const std::int64_t now = shell.clock.EpochMs();
    if (memory.prunedAtMs != 0 && now - memory.prunedAtMs < kDayMs)
        return;
    memory.prunedAtMs = now;
    shell.history.Prune(now - WatchHistoryDays(shell.settingsFile) * kDayMs);
}

constexpr int kMaxResponseLimitMs = 600000;
constexpr int kMaxFailuresBeforeAlert = 99;

// The rules of one of the servers typed into a watch dialog, kept in the history.
void EditRules(Shell& shell, WatchKind kind, const Form& watch) {
    std::vector<std::string> servers;
    for (std::size_t i = 0; i < kWatchSlots; ++i) {
        const std::string& server = watch.Field("Server" + std::to_string(i + 1)).text;
        if (!server.empty() && std::find(servers.begin(), servers.end(), server) == servers.end())
            servers.push_back(server);
    }
    if (servers.empty()) {
        shell.desktop.ShowMessage("Enter a server first", "Rules");
        return;
    }
    std::string server = servers.front();
    if (servers.size() > 1) {
        Form pick;
        pick.name = pick.title = "Rules";
        pick.fields.push_back(FormField::ChoiceList("Server", "Server", servers, 0));
        pick.buttons = Form::OkCancel();
        if (ShowForm(shell.desktop, pick) != kFormAccepted || pick.Field("Server").selected < 0)
            return;
        server = servers[static_cast<std::size_t>(pick.Field("Server").selected)];
    }
    const WatchRules stored = shell.history.RulesFor(server);
    Form form;
    form.name = "Rules";
    form.title = "Rules for " + server;
    const auto text = [](std::string id, std::string label, std::string value) {
        FormField field =
            FormField::TextBox(std::move(id), std::move(label), std::move(value), 199);
        field.unicode = true; // pages are UTF-8 more often than not
        return field;
    };
    form.fields.push_back(text("Page", "Page the text rules read", stored.page));
    form.fields.push_back(FormField::NoteText("Empty: every .htm and .html page of the site."));
    form.fields.push_back(text("MustContain", "Text the page must contain", stored.mustContain));
    form.fields.push_back(
        text("MustNotContain", "Text the page must not contain", stored.mustNotContain));
    form.fields.push_back(FormField::TextBox("ResponseLimit", "Response-time limit (ms, 0: none)",
                                             std::to_string(stored.responseLimitMs), 6));
    form.fields.push_back(FormField::TextBox("Failures", "Failures in a row before an alert",
                                             std::to_string(stored.failuresBeforeAlert), 2));
    form.fields.push_back(
        FormField::CheckBox("Recovery", "Send a recovery mail", stored.recoveryMail));
    if (kind == WatchKind::Check)
        form.fields.push_back(FormField::CheckBox("AlertOnChange", "Alert when the page changes",
                                                  stored.alertOnChange));
    form.buttons = Form::OkCancel();
    form.focusField = "MustContain";
    for (;;) {
        if (ShowForm(shell.desktop, form) != kFormAccepted)
            return;
        const auto limit =
            ParseNumberInRange(form.Field("ResponseLimit").text, 0, kMaxResponseLimitMs);
        const auto failures =
            ParseNumberInRange(form.Field("Failures").text, 1, kMaxFailuresBeforeAlert);
        if (limit && failures) {
            WatchRules rules = stored;
            rules.page = form.Field("Page").text;
            rules.mustContain = form.Field("MustContain").text;
            rules.mustNotContain = form.Field("MustNotContain").text;
            rules.responseLimitMs = *limit;
            rules.failuresBeforeAlert = *failures;
            rules.recoveryMail = form.Field("Recovery").checked;
            if (kind == WatchKind::Check)
                rules.alertOnChange = form.Field("AlertOnChange").checked;
            if (!shell.history.SetRules(server, rules))
                shell.desktop.ShowMessage("Unable to store the rules: " + shell.history.LastError(),
                                          "Problem");
            return;
        }
        shell.desktop.ShowMessage("The response-time limit is a number of milliseconds from 0 to "
                                  "600000; the failures in a row, a number from 1 to 99.",
                                  "Rules");
    }
}

std::vector<std::string> FrequencyChoices() {
    std::vector<std::string> choices;
    choices.reserve(kFrequencyChoices);
    for (int minutes = 0; minutes < kFrequencyChoices; ++minutes)
        choices.push_back(std::to_string(minutes));
    return choices;
}

} // namespace

std::size_t FirstWatchSlot(WatchKind kind, bool forCustomer) {
    return (kind == WatchKind::Verify ? 0 : 8) + (forCustomer ? 4 : 0);
}

WatchInput WatchInputFromSettings(const Shell& shell, WatchKind kind, bool forCustomer) {
    WatchInput input;
    input.kind = kind;
    input.sites = SitesOfSlots(shell, FirstWatchSlot(kind, forCustomer));
    input.frequency = shell.settings.Get(field::CheckFrequency);
    input.alertMode = shell.settings.Get(field::AlertMode);
    input.forgiveCrLf = shell.settings.IsOn(field::LineEndFlag);
    return input;
}

void WatchPass(Shell& shell, const WatchInput& input, ReportWindowHandle& report,
               WatchMemory& memory) {
    if (input.kind == WatchKind::Verify)
        report.Append(TimeStampLine(shell.clock.Now()) + ".\r\n");
    ReportDetail(shell, report, "Initialized: " + std::string(kSocketStatusText) + "\r\n");
    PruneHistory(shell, memory);
    std::vector<SitePass> passes;
    for (std::size_t i = 0; i < kWatchSlots; ++i) {
        const WatchedSite& site = input.sites[i];
        if (site.folder.empty())
            continue;
        if (PassSite(shell, input, site, report, memory, memory.sites[i], passes))
            report.Append("\r\n");
    }
    // One transaction for the whole pass: a pass cut short leaves the earlier ones whole.
    if (!passes.empty() && !shell.history.Record(passes) &&
        !std::exchange(memory.historyFailureTold, true))
        shell.log.AppendLine("Unable to record the watch history: " + shell.history.LastError());
    report.Append("Finished.\r\n\r\n");
    if (input.frequency < 1)
        report.SetButtonLabel("OK");
}

void RunTimedReport(Shell& shell, const std::string& caption, std::chrono::milliseconds period,
                    std::function<void(ReportWindowHandle&)> pass) {
    // Shared by the window and every pass: a tick while a pass runs is dropped, and the site
    // runs stay refused until the window is closed and the last pass is over.
    struct WatchRun {
        explicit WatchRun(SiteRunSlot& slot) : siteRun(slot) {}
        SiteRunHold siteRun;
        std::atomic<bool> passRunning{false};
        std::shared_ptr<ReportWindowHandle> report;
    };
    auto state = std::make_shared<WatchRun>(shell.run.siteRun);
    auto startPass = [&shell, pass = std::move(pass), weak = std::weak_ptr<WatchRun>(state)] {
        const auto run = weak.lock();
        if (!run || !run->report || run->passRunning.exchange(true))
            return;
        const bool started = shell.threads.Start([pass, run] {
            pass(*run->report);
            run->passRunning.store(false);
        });
        // A pass that could not start lets the next tick try again.
        if (!started)
            run->passRunning.store(false);
    };
    ReportWindowRun run;
    run.caption = caption;
    run.buttonLabel = "Cancel";
    run.onOpen = [state, startPass](std::shared_ptr<ReportWindowHandle> report) {
        state->report = std::move(report);
        startPass();
    };
    if (period.count() > 0) {
        run.tickPeriod = period;
        run.onTick = startPass;
    }
    shell.desktop.RunReportWindow(run);
}

void RunWatch(Shell& shell, const WatchInput& input) {
    RunTimedReport(
        shell, input.kind == WatchKind::Verify ? "Verify multiple sites" : "Check multiple sites",
        input.frequency > 0 ? std::chrono::minutes(input.frequency) : std::chrono::milliseconds(0),
        [&shell, input, memory = std::make_shared<WatchMemory>()](ReportWindowHandle& report) {
            WatchPass(shell, input, report, *memory);
        });
}

WatchedSites SitesOfSlots(const Shell& shell, std::size_t firstSlot) {
    WatchedSites sites;
    for (std::size_t i = 0; i < kWatchSlots; ++i) {
        sites[i].server = shell.settings.Get(field::MonitoredServer(firstSlot + i));
        sites[i].folder = shell.settings.Get(field::MonitoredFolder(firstSlot + i));
    }
    return sites;
}

void StoreSitesInSlots(Shell& shell, std::size_t firstSlot, const WatchedSites& sites) {
    for (std::size_t i = 0; i < kWatchSlots; ++i) {
        shell.settings.Set(field::MonitoredServer(firstSlot + i), sites[i].server);
        shell.settings.Set(field::MonitoredFolder(firstSlot + i), sites[i].folder);
    }
}

std::optional<WatchedSites> WatchDialog(Shell& shell, WatchKind kind, const WatchedSites& sites,
                                        bool otherModeSelectsNothing) {
    SettingsBlock& settings = shell.settings;
    Form form;
    form.title = kind == WatchKind::Verify ? "Verify multiple sites" : "Check multiple sites";
    form.name = form.title;
    for (std::size_t i = 0; i < kWatchSlots; ++i) {
        const std::string n = std::to_string(i + 1);
        form.fields.push_back(
            FormField::TextBox("Server" + n, "Server " + n, sites[i].server, 199));
        std::string folder = sites[i].folder;
        if (i == 0 && folder.empty())
            folder = DefaultWebFolder();
        FormField folderField = FormField::TextBox("Folder" + n, "Folder " + n, folder, 199);
        folderField.besidePrevious = true;
        form.fields.push_back(std::move(folderField));
    }
    form.fields.push_back(FormField::NoteText("For example: example.com"));
    const std::int32_t frequency = settings.Get(field::CheckFrequency);
    form.fields.push_back(
        FormField::ChoiceList("Frequency", "Frequency (minutes)", FrequencyChoices(),
                              frequency >= 0 && frequency < kFrequencyChoices ? frequency : -1));
    const std::int32_t mode = settings.Get(field::AlertMode);
    if (kind == WatchKind::Verify) {
        form.fields.push_back(FormField::RadioGroup(
            "Alerts", "Alerts", {"No alerts", "Alert on unavailable", "Alert on verify fail"},
            mode >= kNoAlerts && mode <= kAlertOnVerifyFail ? mode : kNoAlerts));
    } else {
        int selected = mode == kAlertOnUnavailable ? 1 : 0;
        if (otherModeSelectsNothing && mode != kNoAlerts && mode != kAlertOnUnavailable)
            selected = -1;
        form.fields.push_back(FormField::RadioGroup(
            "Alerts", "Alerts", {"No alerts", "Alert on unavailable"}, selected));
    }
    form.fields.push_back(
        FormField::TextBox("Email", "Email address", settings.Get(field::AlertAddress), 199));
    form.fields.push_back(FormField::NoteText("The server should be the one that hosts (do not "
                                              "use a domain name that redirects to another "
                                              "server)."));
    form.buttons = Form::OkCancel();
    // The rules belong to the servers and are kept at once, whatever the watch dialog's answer.
    form.buttons.push_back(
        {"Rules...", 2, false, [&shell, kind](Form& typed) { EditRules(shell, kind, typed); }});
    form.focusField = "Server1";
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return std::nullopt;
    WatchedSites typed;
    for (std::size_t i = 0; i < kWatchSlots; ++i) {
        const std::string n = std::to_string(i + 1);
        typed[i] = {form.Field("Server" + n).text, form.Field("Folder" + n).text};
    }
    if (const int chosen = form.Field("Frequency").selected; chosen >= 0)
        settings.Set(field::CheckFrequency, chosen);
    const int alerts = form.Field("Alerts").selected;
    settings.Set(field::AlertMode, alerts > 0 ? alerts : kNoAlerts);
    settings.Set(field::AlertAddress, form.Field("Email").text);
    return typed;
}

namespace {

void WatchCommand(Shell& shell, WatchKind kind) {
    shell.run.alertLatch.Clear();
    // A watch shares the reply files and the scan with the folder runs: one at a time.
    SiteRunReservation reservation(shell.run.siteRun);
    if (RefuseSecondSiteRun(reservation, shell.desktop))
        return;
    const std::size_t firstSlot = FirstWatchSlot(kind, false);
    const auto sites = WatchDialog(shell, kind, SitesOfSlots(shell, firstSlot));
    if (!sites)
        return;
    StoreSitesInSlots(shell, firstSlot, *sites);
    reservation.HandOver();
    RunWatch(shell, WatchInputFromSettings(shell, kind, false));
}

} // namespace

void VerifyMultipleSitesCommand(Shell& shell) {
    WatchCommand(shell, WatchKind::Verify);
}

void CheckMultipleSitesCommand(Shell& shell) {
    WatchCommand(shell, WatchKind::Check);
}

} // namespace korvane
