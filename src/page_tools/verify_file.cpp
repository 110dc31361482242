#include "page_tools/verify_file.h"

#include "compare/body_compare.h"
#include "compare/comparison.h"
#include "compare/folder_scan.h"
#include "page_tools/exchange_wording.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace korvane {

namespace {

constexpr const char* kReplyFile = "the6.html";
constexpr std::int32_t kAlertModeNone = 0;
constexpr std::int32_t kAlertModeVerifyFail = 2;

ExchangeWording VerifyWording() {
    ExchangeWording wording;
    wording.sentPage = "Sent request for: ";
    wording.sentNamesPage = true;
    wording.sentDefault = "Sent request for default page";
    wording.sentKind = LineKind::Detail;
    wording.replyFileFailure = ReplyFileFailure::FatalMessage;
    wording.received = "Reply received";
    wording.receivedKind = LineKind::Plain;
    wording.closingKind = LineKind::Omitted;
    return wording;
}

Form VerifyFileForm(Shell& shell) {
    const SettingsBlock& settings = shell.settings;
    Form form;
    form.name = "Verify local file to site";
    form.title = "Verify local file to site";
    form.fields.push_back(FormField::TextBox(
        "Server", "Server", settings.Get(field::ServerField(DialogSlot::VerifyFile)), 199));
    form.fields.push_back(FormField::NoteText("For example: example.com"));
    std::string page = settings.Get(field::SecondField(DialogSlot::VerifyFile));
    form.fields.push_back(
        FormField::TextBox("Page", "Page", page.empty() ? "index.html" : page, 199));
    form.fields.push_back(FormField::NoteText("case sensitive"));
    const std::string folder = settings.Get(field::VerifyFileFolder);
    const std::string name = settings.Get(field::VerifyFileName);
    FormField local =
        FormField::TextBox("LocalFile", "Local file",
                           !folder.empty() && !name.empty() ? folder + "/" + name : "", 199);
    local.browse = [&shell] { return shell.pickers.PickOpen(shell.desktop); };
    form.fields.push_back(std::move(local));
    form.fields.push_back(FormField::NoteText("case sensitive"));
    form.fields.push_back(
        FormField::CheckBox("Comparative", "Display comparative view if different", false));
    AddLineEndBox(form, settings.IsOn(field::LineEndFlag));
    AddActualHostNotes(form);
    form.buttons = {FormButton{"Verify", kFormAccepted, true, {}},
                    FormButton{"Cancel", kFormCancelled, false, {}}};
    form.focusField = "Server";
    return form;
}

} // namespace

void SplitLocalPath(const std::string& path, std::string& folder, std::string& name) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
        return;
    }
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
}

void VerifyFileWorker(Shell& shell, const VerifyFileInput& input) {
    shell.log.AppendQuiet("  ");
    shell.log.AppendHighlighted("Verify page: " + input.page);
    SiteRunHold siteRun(shell.run.siteRun);
    const auto table = FolderScan(input.localFolder);
    if (!table) {
        shell.log.AppendLine("Unable to open local file.");
        Alert(shell);
        return;
    }
    ExchangeRequest request;
    request.server = input.server;
    request.page = input.page;
    request.method = "GET";
    request.replyFile = kReplyFile;
    request.folder = input.workFolder;
    request.idleTimeout = input.idleTimeout;
    ExchangeResult exchange = HttpExchange(shell, request, VerifyWording());
    if (exchange.outcome != ExchangeOutcome::Stored)
        return;

    FileDescriptor reply(::open(exchange.replyPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!reply.IsOpen()) {
        shell.desktop.ShowMessage(std::string("Data file: ") + kReplyFile + ".", "Fatal error");
        return;
    }
    const ReplyHeader header = ReadReplyHeader(exchange.replyPath);
    if (header.status != HeaderStatus::Found) {
        shell.log.AppendLine("Unable to resolve header: " + input.page);
        Alert(shell);
        return;
    }
    if (const int code = ParseStatus(header.text); code != 0) {
        if (const auto text = StatusText(code))
            shell.log.AppendLine(std::string(*text));
        if (const auto location = RedirectLocation(code, header.text))
            shell.log.AppendLine(LineWith("Moved to: ", *location));
        shell.log.AppendQuiet("File is not available. Server code: " + std::to_string(code));
        shell.log.AppendLine("  ");
        Alert(shell);
        return;
    }
    const ScannedFile* scanned = FindScannedFile(*table, input.localName);
    // The file is read as the comparison goes; it may have gone since the scan listed it.
    LocalFile local(scanned != nullptr ? scanned->path : std::string());
    if (!local.IsOpen()) {
        shell.log.AppendLine("Unable to open local file.");
        Alert(shell);
        return;
    }
    const std::string kvPath = input.workFolder + "/kv.htm";
    FileDescriptor copy(::open(kvPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!copy.IsOpen()) {
        shell.desktop.ShowMessage("Unable to create KV.HTM", "Problem");
        return;
    }
    ::lseek(reply.Get(), static_cast<off_t>(header.text.size()), SEEK_SET);
    const BodyComparison compared =
        CompareBody(reply.Get(), header.text.size() - 1, local, input.forgiveCrLf, copy.Get(),
                    input.comparativeView);
    // A kv.htm that the disk could not take whole is no copy of the server's page: the verdict
    // still stands, but the user learns that the file is not there, and no comparison is built
    // from it.
    const bool copied = copy.Close() && !compared.copyFailed;
    const auto reportCopy = [&shell, copied] {
        if (!copied)
            shell.desktop.ShowMessage("Unable to create KV.HTM", "Problem");
        return copied;
    };
    switch (compared.outcome) {
    case BodyComparison::Outcome::Truncated:
        shell.log.AppendLine("File: " + input.localName +
                             " truncated at: " + std::to_string(compared.counter));
        Alert(shell);
        reportCopy();
        return;
    case BodyComparison::Outcome::Verified:
        shell.log.AppendLine("Integrity verified: " + input.localName);
        reportCopy();
        return;
    case BodyComparison::Outcome::Unreadable:
        shell.log.AppendLine("Unable to open local file.");
        Alert(shell);
        return;
    case BodyComparison::Outcome::Differs:
        break;
    }
    shell.log.AppendLine("File: " + input.localName +
                         " differs at location: " + std::to_string(compared.localPosition + 1));
    if (PrintablePair(compared.localByte, compared.webByte)) {
        char line[64];
        std::snprintf(line, sizeof line, "Local file: %c, web file: %c", compared.localByte,
                      compared.webByte);
        shell.log.AppendLine(line);
    }
    Alert(shell);
    if (!reportCopy() || !input.comparativeView)
        return;
    // kv.htm holds the whole server copy for the comparison.
    reply.Close();
    const auto [left, right] = OrderBySize(input.localPath, kvPath);
    WriteComparison(left, right, input.workFolder);
    shell.desktop.OpenInBrowser(input.workFolder + "/tc.html");
}

void VerifyFileCommand(Shell& shell) {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) {
        shell.desktop.ShowMessage("Unable to locate directory.", "Problem");
        return;
    }
    const std::string saved = cwd;
    // The run shares the scan and reply files with the folder runs: one at a time.
    SiteRunReservation reservation(shell.run.siteRun);
    if (RefuseSecondSiteRun(reservation, shell.desktop))
        return;
    // Opening the dialog turns the comparative view off until "Verify" asks for it again.
    shell.settings.Set(field::AlertMode, kAlertModeNone);
    shell.pickers.EmptyTypeList();
    Form form = VerifyFileForm(shell);
    const int result = ShowForm(shell.desktop, form);
    if (::chdir(saved.c_str()) != 0) {
        // The folder went away while the dialog was open; the run then works where it is.
    }
    if (result != kFormAccepted)
        return;
    shell.settings.Set(field::ServerField(DialogSlot::VerifyFile), form.Field("Server").text);
    shell.settings.Set(field::SecondField(DialogSlot::VerifyFile), form.Field("Page").text);
    if (form.Field("Comparative").checked)
        shell.settings.Set(field::AlertMode, kAlertModeVerifyFail);
    shell.settings.SetOn(field::LineEndFlag, form.Field("LineEnds").checked);

    VerifyFileInput input;
    input.server = shell.settings.Get(field::ServerField(DialogSlot::VerifyFile));
    input.page = shell.settings.Get(field::SecondField(DialogSlot::VerifyFile));
    input.localPath = form.Field("LocalFile").text;
    if (input.server.empty() || input.localPath.empty())
        return;
    SplitLocalPath(input.localPath, input.localFolder, input.localName);
    shell.settings.Set(field::VerifyFileFolder, input.localFolder);
    shell.settings.Set(field::VerifyFileName, input.localName);
    input.forgiveCrLf = shell.settings.IsOn(field::LineEndFlag);
    input.comparativeView = shell.settings.Get(field::AlertMode) != kAlertModeNone;
    reservation.HandOver();
    if (!shell.threads.Start([&shell, input] { VerifyFileWorker(shell, input); })) {
        shell.run.siteRun.Release();
        shell.desktop.ShowMessage("Unable to start thread", "Problem");
    }
}

} // namespace korvane
