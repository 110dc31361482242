#include "site_tools/folder_runs.h"

#include "compare/body_compare.h"
#include "compare/folder_scan.h"
#include "net/http.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "site_tools/site_requests.h"
#include "web/redirects.h"
#include "web/web_run.h"

#include <cctype>
#include <cstdlib>
#include <utility>

namespace korvane {

namespace {

constexpr const char* kVerifyReplyFile = "the7.html";
constexpr const char* kCheckReplyFile = "the9.html";

void ReportReceived(Shell& shell, const SiteWalk& walk, const std::string& name,
                    ReportTextBox& report) {
    switch (walk.received) {
    case SiteWalk::Received::Unsaid:
        return;
    case SiteWalk::Received::Detail:
        ReportDetail(shell, report, "Reply received\r\n");
        return;
    case SiteWalk::Received::Named:
        ReportAppend(report, "Reply received: %s\r\n", name.c_str());
        return;
    }
}

void Failed(const SiteWalk& walk, const std::string& name, FileFailure failure) {
    if (walk.failed)
        walk.failed(name, failure);
}

// The folder runs differ from each other only in their walk.
void FolderRunWorker(Shell& shell, const FolderRunInput& input, ReportTextBox& report,
                     SiteWalk walk) {
    const auto table = FolderScan(input.folder);
    if (!table) {
        report.Append("No files in folder.\r\n");
        Alert(shell);
        return;
    }
    ReportAppend(report, "Files in directory: %d\r\n", static_cast<int>(table->size()));
    ReportDetail(shell, report, "Initialized: " + std::string(kSocketStatusText) + "\r\n");
    walk.server = input.server;
    walk.workFolder = input.workFolder;
    walk.idleTimeout = input.idleTimeout;
    if (WalkSite(shell, walk, *table, report))
        report.Append("Finished.\r\n\r\n");
}

std::string WithDefaultFolder(const std::string& folder) {
    return folder.empty() ? DefaultWebFolder() : folder;
}

Form FolderRunForm(const SettingsBlock& settings, const std::string& title, DialogSlot slot,
                   const std::string& folderLabel, bool withLineEndBox, Desktop& desktop) {
    Form form;
    form.name = title;
    form.title = title;
    form.fields.push_back(
        FormField::TextBox("Server", "Server", settings.Get(field::ServerField(slot)), 199));
    form.fields.push_back(FormField::NoteText("For example: example.com"));
    FormField folder = FormField::TextBox(
        "Folder", folderLabel, WithDefaultFolder(settings.Get(field::SecondField(slot))), 199);
    folder.browse = [&desktop] { return PickFolder(desktop); };
    form.fields.push_back(std::move(folder));
    if (withLineEndBox)
        AddLineEndBox(form, settings.IsOn(field::LineEndFlag));
    AddActualHostNotes(form);
    form.buttons = Form::OkCancel();
    form.focusField = "Server";
    return form;
}

using Worker = void (*)(Shell&, const FolderRunInput&, ReportTextBox&);

void RunFolderCommand(Shell& shell, const std::string& title, DialogSlot slot,
                      const std::string& folderLabel, bool verify, const std::string& caption,
                      Worker worker) {
    // The runs share the reply files and the scan: one at a time.
    SiteRunReservation reservation(shell.run.siteRun);
    if (RefuseSecondSiteRun(reservation, shell.desktop))
        return;
    Form form = FolderRunForm(shell.settings, title, slot, folderLabel, verify, shell.desktop);
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    shell.settings.Set(field::ServerField(slot), form.Field("Server").text);
    shell.settings.Set(field::SecondField(slot), form.Field("Folder").text);
    if (verify)
        shell.settings.SetOn(field::LineEndFlag, form.Field("LineEnds").checked);
    FolderRunInput input;
    input.server = shell.settings.Get(field::ServerField(slot));
    input.folder = shell.settings.Get(field::SecondField(slot));
    input.forgiveCrLf = shell.settings.IsOn(field::LineEndFlag);
    if (input.server.empty() || input.folder.empty())
        return;

    reservation.HandOver();
    ReportWindowRun run;
    run.caption = caption;
    run.onOpen = [&shell, input, worker](const std::shared_ptr<ReportWindowHandle>& report) {
        const bool started = shell.threads.Start([&shell, input, worker, report] {
            SiteRunHold hold(shell.run.siteRun);
            worker(shell, input, *report);
        });
        if (!started) {
            shell.run.siteRun.Release();
            shell.desktop.ShowMessage("Unable to start thread", "Problem");
        }
    };
    shell.desktop.RunReportWindow(run);
}

} // namespace

std::string DefaultWebFolder() {
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/myweb";
}

bool RulesReadBody(const WatchRules& rules, bool compare, const std::string& file) {
    if (rules.mustContain.empty() && rules.mustNotContain.empty() &&
        (compare || !rules.alertOnChange))
        return false;
    if (!rules.page.empty())
        return file == rules.page || "/" + file == rules.page;
    const auto dot = file.rfind('.');
    std::string extension = dot == std::string::npos ? "" : file.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == "htm" || extension == "html";
}

namespace {

int MillisecondsSince(std::chrono::steady_clock::time_point start,
                      std::chrono::steady_clock::time_point end) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count());
}

// The first failure of a file is what its history keeps.
void Fail(FileResult& result, FileVerdict verdict, std::string cause) {
    if (!result.cause.empty())
        return;
    result.verdict = verdict;
    result.cause = std::move(cause);
}

// The server's rules on a reply that came whole with the status 200: each broken one is a line
// of its own, with the alert.
void CheckRules(Shell& shell, const SiteWalk& walk, const std::string& name, BodyScanner* scan,
                FileResult& result, ReportTextBox& report) {
    const WatchRules& rules = walk.rules;
    std::vector<std::string> broken;
    if (rules.responseLimitMs > 0 && result.firstByteMs > rules.responseLimitMs)
        broken.push_back("File: " + name + " answered in " + std::to_string(result.firstByteMs) +
                         " ms, over the limit of " + std::to_string(rules.responseLimitMs) + " ms");
    if (scan != nullptr) {
        if (!rules.mustContain.empty() && !scan->Found(0))
            broken.push_back("File: " + name + " lacks the text: " + rules.mustContain);
        if (!rules.mustNotContain.empty() && scan->Found(1))
            broken.push_back("File: " + name + " holds the text: " + rules.mustNotContain);
        result.digest = scan->Digest();
        if (rules.alertOnChange && !walk.compare && !result.digest.empty()) {
            const auto before = shell.history.LastDigest(walk.server, name);
            if (before && *before != result.digest)
                broken.push_back("File: " + name + " has changed since the last pass");
        }
    }
    for (const std::string& line : broken) {
        ReportAppend(report, "%s\r\n", line.c_str());
        Alert(shell);
        Fail(result, FileVerdict::RuleBroken, line);
        Failed(walk, name, FileFailure::RuleBroken);
    }
}

} // namespace

bool WalkSite(Shell& shell, const SiteWalk& walk, const FolderScanTable& files,
              ReportTextBox& report) {
    const auto keep = [&walk](FileResult result) {
        if (walk.record != nullptr)
            walk.record->files.push_back(std::move(result));
    };
    const ServerAddress server = ServerOf(walk.server);
    const Resolution resolved = Resolve(server, AddressFamily::IPv4);
    if (resolved.error != 0) {
        if (walk.connectionsLogged)
            shell.log.AppendLine("Unable to translate host " + walk.server);
        else
            report.Append("Unable to resolve server\r\n");
        Alert(shell);
        if (walk.unreachableFails && !files.empty()) {
            FileResult result;
            result.name = files.front().name;
            Fail(result, FileVerdict::Unavailable, "Unable to resolve server");
            keep(std::move(result));
            Failed(walk, files.front().name, FileFailure::Unavailable);
        }
        return false;
    }
    // The verification tells of its connections in the session log, the other runs in their
    // report.
    std::string lastTold;
    const LineSink tell = [&](std::string_view line) {
        lastTold = line;
        if (walk.connectionsLogged)
            shell.log.AppendLine(line);
        else
            report.Append(std::string(line) + "\r\n");
    };
    DialWording wording;
    wording.expiryWarning = walk.warnsOfExpiry;
    WebRun web(shell);
    bool expiryTold = false;
    const std::string replyPath = ReplyFilePath(walk.workFolder, walk.replyFile);
    for (const ScannedFile& file : files) {
        FileResult result;
        result.name = file.name;
        result.verdict = walk.compare ? FileVerdict::Verified : FileVerdict::Present;
        const bool readsBody = RulesReadBody(walk.rules, walk.compare, file.name);
        bool unsaid = false; // a reply file a watch could not write says nothing of the site
        RedirectTrail trail(RequestUrl(server, file.name));
        for (;;) {
            const Url& url = trail.Current();
            // A redirect to another server is looked up afresh; the server first asked is not.
            Resolution elsewhere;
            const Resolution* addresses = &resolved;
            if (!(url.server == server)) {
                elsewhere = Resolve(url.server, AddressFamily::IPv4);
                if (elsewhere.error != 0) {
                    tell("Unable to translate host " + url.server.host);
                    Alert(shell);
                    Fail(result, FileVerdict::Unavailable, lastTold);
                    Failed(walk, file.name, FileFailure::Unavailable);
                    break;
                }
                addresses = &elsewhere;
            }
            const std::string shown = trail.Hops() == 0 ? walk.server : FormatUrl(url);
            const auto started = std::chrono::steady_clock::now();
            Opened opened = web.Open(url.server, addresses->addresses, shown, tell, wording);
            if (walk.record != nullptr && opened.certificateNotAfter &&
                !walk.record->certificateNotAfter)
                walk.record->certificateNotAfter = opened.certificateNotAfter;
            if (opened.expiresSoon && walk.warnsOfExpiry && !std::exchange(expiryTold, true)) {
                Alert(shell);
                Failed(walk, file.name, FileFailure::CertificateExpiring);
            }
            if (!opened.stream) {
                // A certificate that fails, fails for every file alike: the run ends there.
                if (opened.outcome == Dialed::Outcome::CertificateRefused ||
                    opened.outcome == Dialed::Outcome::HandshakeFailed) {
                    Fail(result, FileVerdict::Certificate, lastTold);
                    keep(std::move(result));
                    Failed(walk, file.name, FileFailure::Unavailable);
                    return false;
                }
                if (!walk.connectionsLogged) {
                    ReportAppend(report, "Unable to communicate: %s\r\n", shown.c_str());
                    Fail(result, FileVerdict::Unavailable, "Unable to communicate: " + shown);
                    if (walk.unreachableFails) {
                        Alert(shell);
                        Failed(walk, file.name, FileFailure::Unavailable);
                    }
                    break;
                }
                shell.log.AppendQuiet("Unable to communicate: " + shown);
                shell.log.AppendLine("  ");
                return false;
            }
            result.connectMs = MillisecondsSince(started, std::chrono::steady_clock::now());
            const std::string page = PageOf(url);
            const std::string request =
                RequestLine(walk.compare || readsBody ? "GET" : "HEAD", page) +
                ComposeHeaderBlock(shell.settings, HostHeaderValue(url.server));
            ReportDetail(shell, report, "Sent request for: " + page + "\r\n");
            ReplyFileHold hold(shell.run.replyFiles, replyPath);
            std::optional<BodyScanner> scan;
            if (readsBody)
                scan.emplace(
                    std::vector<std::string>{walk.rules.mustContain, walk.rules.mustNotContain},
                    walk.rules.alertOnChange && !walk.compare);
            const ComparedReply reply = FetchComparing(
                std::move(opened.stream), request, replyPath, walk.idleTimeout,
                walk.compare ? &file : nullptr, walk.forgiveCrLf, scan ? &*scan : nullptr);
            result.endMs = MillisecondsSince(started, std::chrono::steady_clock::now());
            if (reply.firstByte)
                result.firstByteMs = MillisecondsSince(started, *reply.firstByte);
            // A reply cut short by a full disk is no answer about the file: it counts as a
            // reply file that cannot be created.
            if (!reply.stored) {
                unsaid = true;
                if (!walk.replyFileFailureEndsRun)
                    break;
                shell.desktop.ShowMessage("Data file: " + walk.replyFile + ".", "Fatal error");
                return false;
            }
            if (reply.timedOut) {
                ReportAppend(report, "Timed out: %s\r\n", file.name.c_str());
                Alert(shell);
                Fail(result, FileVerdict::Unavailable, "Timed out: " + file.name);
                Failed(walk, file.name, FileFailure::Unavailable);
                break;
            }
            ReportReceived(shell, walk, file.name, report);
            if (reply.header.status != HeaderStatus::Found) {
                ReportAppend(report, "Unable to resolve header: %s\r\n", file.name.c_str());
                Alert(shell);
                Fail(result, FileVerdict::Unanswered, "Unable to resolve header: " + file.name);
                break;
            }
            const int code = ParseStatus(reply.header.text);
            result.status = code == 0 ? 200 : code;
            const auto location = RedirectLocation(code, reply.header.text);
            if (location && web.Preferences().followRedirects) {
                const RedirectTrail::Step step = trail.Next(*location);
                // The hops belong with the file's own lines, in the report.
                if (step == RedirectTrail::Step::Follow) {
                    report.Append(trail.HopLine(code) + "\r\n");
                    continue;
                }
                report.Append(std::string(RedirectFailureLine(step)) + "\r\n");
                Alert(shell);
                Fail(result, FileVerdict::Unavailable, std::string(RedirectFailureLine(step)));
                Failed(walk, file.name, FileFailure::Unavailable);
                break;
            }
            if (code != 0) {
                ReportStatus(report, file.name, code, reply.header.text);
                Alert(shell);
                Fail(result, FileVerdict::Unavailable,
                     "File: " + file.name + " not available. Server code: " + std::to_string(code));
                Failed(walk, file.name, FileFailure::Unavailable);
                break;
            }
            if (walk.reportsPresence)
                ReportAppend(report, "Success %s received code 200.\r\n", file.name.c_str());
            if (walk.compare) {
                if (auto cause = ReportComparison(report, file.name, *reply.compared)) {
                    Alert(shell);
                    const auto outcome = reply.compared->outcome;
                    result.position =
                        static_cast<std::int64_t>(outcome == BodyComparison::Outcome::Truncated
                                                      ? reply.compared->counter
                                                      : reply.compared->localPosition);
                    Fail(result,
                         outcome == BodyComparison::Outcome::Truncated ? FileVerdict::Truncated
                         : outcome == BodyComparison::Outcome::Differs ? FileVerdict::Differs
                                                                       : FileVerdict::Unavailable,
                         std::move(*cause));
                    Failed(walk, file.name, FileFailure::Differs);
                }
            }
            CheckRules(shell, walk, file.name, scan ? &*scan : nullptr, result, report);
            break;
        }
        if (!unsaid)
            keep(std::move(result));
    }
    return true;
}

void VerifyFolderWorker(Shell& shell, const FolderRunInput& input, ReportTextBox& report) {
    SiteWalk walk;
    walk.compare = true;
    walk.forgiveCrLf = input.forgiveCrLf;
    walk.replyFile = kVerifyReplyFile;
    walk.connectionsLogged = true;
    walk.received = SiteWalk::Received::Detail;
    FolderRunWorker(shell, input, report, std::move(walk));
}

void CheckSiteWorker(Shell& shell, const FolderRunInput& input, ReportTextBox& report) {
    SiteWalk walk;
    walk.replyFile = kCheckReplyFile;
    walk.reportsPresence = true;
    FolderRunWorker(shell, input, report, std::move(walk));
}

void VerifyFolderCommand(Shell& shell) {
    RunFolderCommand(shell, "Verify local folder to site", DialogSlot::VerifyFolder, "Local folder",
                     true, "Verify site to folder", VerifyFolderWorker);
}

void CheckSiteCommand(Shell& shell) {
    RunFolderCommand(shell, "Check site", DialogSlot::CheckSite, "Folder", false,
                     "Check site to folder", CheckSiteWorker);
}

} // namespace korvane
