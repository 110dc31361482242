#include "site_tools/folder_runs.h"

#include "compare/body_compare.h"
#include "compare/folder_scan.h"
#include "net/http_exchange.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "site_tools/site_requests.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korvane {

namespace {

constexpr const char* kVerifyReplyFile = "the7.html";
constexpr const char* kCheckReplyFile = "the9.html";

// The header of a stored reply when it holds the status 200; otherwise reports why not (the
// header cannot be read, or the status lines), sounds the alert and gives nothing.
bool AcceptedHeader(Shell& shell, ReportTextBox& report, const std::string& name,
                    const ReplyHeader& header) {
    if (header.status != HeaderStatus::Found) {
        ReportAppend(report, "Unable to resolve header: %s\r\n", name.c_str());
        Alert(shell);
        return false;
    }
    if (const int code = ParseStatus(header.text); code != 0) {
        ReportStatus(report, name, code);
        Alert(shell);
        return false;
    }
    return true;
}

void ReplyFileFatal(Shell& shell, const char* name) {
    shell.desktop.ShowMessage(std::string("Data file: ") + name + ".", "Fatal error");
}

std::string WithDefaultFolder(std::string folder) {
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
    if (withLineEndBox) {
        form.fields.push_back(FormField::CheckBox("LineEnds",
                                                  "Ignore Windows Linux line end differences",
                                                  settings.IsOn(field::LineEndFlag)));
        form.fields.push_back(FormField::NoteText("The Windows text file end of line CR+LF may "
                                                  "infrequently be reduced to a LF by Linux "
                                                  "servers. "));
    }
    form.fields.push_back(FormField::NoteText("The server should be the actual host (do not use a "
                                              "domain name that redirects to another server)."));
    form.fields.push_back(FormField::NoteText(
        "A site reached under its bare domain may need the www. form typed, as www.example.com."));
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
    if (!reservation.Take()) {
        shell.desktop.ShowMessage("In progress", "Please wait");
        return;
    }
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
    run.onOpen = [&shell, input, worker](std::shared_ptr<ReportWindowHandle> report) {
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

void VerifyFolderWorker(Shell& shell, const FolderRunInput& input, ReportTextBox& report) {
    const auto table = FolderScan(input.folder);
    if (!table) {
        report.Append("No files in folder.\r\n");
        Alert(shell);
        return;
    }
    ReportAppend(report, "Files in directory: %d\r\n", static_cast<int>(table->size()));
    ReportDetail(shell, report, "Initialized: " + std::string(kSocketStatusText) + "\r\n");
    const auto addresses = ResolveServer(input.server, AddressFamily::IPv4);
    if (!addresses) {
        shell.log.AppendLine("Unable to translate host " + input.server);
        Alert(shell);
        return;
    }
    const std::string replyPath = ReplyFilePath(input.workFolder, kVerifyReplyFile);
    for (const ScannedFile& file : *table) {
        FileDescriptor socket = ConnectToAny(shell, *addresses, input.server, {});
        if (!socket.IsOpen()) {
            shell.log.AppendQuiet("Unable to communicate: " + input.server);
            shell.log.AppendLine("  ");
            return;
        }
        const std::string request =
            RequestLine("GET", file.name) + ComposeHeaderBlock(shell.settings, input.server);
        ReportDetail(shell, report, "Sent request for: " + file.name + "\r\n");
        ReplyFileHold hold(shell.run.replyFiles, replyPath);
        const ComparedReply reply =
            FetchComparing(std::move(socket), request, replyPath, input.idleTimeout,
                           file.Contents(), input.forgiveCrLf);
        if (!reply.stored) {
            ReplyFileFatal(shell, kVerifyReplyFile);
            return;
        }
        ReportDetail(shell, report, "Reply received\r\n");
        if (!AcceptedHeader(shell, report, file.name, reply.header))
            continue;
        if (ReportComparison(report, file.name, *reply.compared))
            Alert(shell);
    }
    report.Append("Finished.\r\n\r\n");
}

void CheckSiteWorker(Shell& shell, const FolderRunInput& input, ReportTextBox& report) {
    const auto table = FolderScan(input.folder);
    if (!table) {
        report.Append("No files in folder.\r\n");
        Alert(shell);
        return;
    }
    ReportAppend(report, "Files in directory: %d\r\n", static_cast<int>(table->size()));
    ReportDetail(shell, report, "Initialized: " + std::string(kSocketStatusText) + "\r\n");
    const auto addresses = ResolveServer(input.server, AddressFamily::IPv4);
    if (!addresses) {
        report.Append("Unable to resolve server\r\n");
        Alert(shell);
        return;
    }
    const std::string replyPath = ReplyFilePath(input.workFolder, kCheckReplyFile);
    for (const ScannedFile& file : *table) {
        FileDescriptor socket = ConnectReporting(*addresses, input.server, report);
        if (!socket.IsOpen()) {
            ReportAppend(report, "Unable to communicate: %s\r\n", input.server.c_str());
            continue;
        }
        const std::string request =
            RequestLine("HEAD", file.name) + ComposeHeaderBlock(shell.settings, input.server);
        ReportDetail(shell, report, "Sent request for: " + file.name + "\r\n");
        ReplyFileHold hold(shell.run.replyFiles, replyPath);
        const ComparedReply reply = FetchComparing(std::move(socket), request, replyPath,
                                                   input.idleTimeout, std::nullopt, false);
        // A reply cut short by a full disk is no answer about the file: it ends the run as a
        // reply file that cannot be created does.
        if (!reply.stored) {
            ReplyFileFatal(shell, kCheckReplyFile);
            return;
        }
        if (!AcceptedHeader(shell, report, file.name, reply.header))
            continue;
        ReportAppend(report, "Success %s received code 200.\r\n", file.name.c_str());
    }
    report.Append("Finished.\r\n\r\n");
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
