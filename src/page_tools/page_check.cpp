#include "page_tools/page_check.h"

#include "page_tools/exchange_wording.h"
#include "shell/shell.h"

namespace korvane {

namespace {

constexpr std::size_t kFieldMaxChars = 199;

ExchangeWording PageCheckWording() {
    ExchangeWording wording;
    wording.dial.expiryWarning = true;
    wording.sentDefault = "Sent request.";
    wording.sentKind = LineKind::Plain;
    wording.replyFileFailure = ReplyFileFailure::Silent;
    wording.receivedKind = LineKind::Plain;
    wording.closingKind = LineKind::Detail;
    return wording;
}

} // namespace

Form CheckPageForm(const SettingsBlock& settings) {
    std::string page = settings.Get(field::SecondField(DialogSlot::CheckPage));
    if (page.empty())
        page = "index.html";
    Form form;
    form.name = "DIALOG4";
    form.title = "Check page";
    form.fields.push_back(FormField::TextBox(
        "Server", "Server", settings.Get(field::ServerField(DialogSlot::CheckPage)),
        kFieldMaxChars));
    form.fields.push_back(FormField::NoteText("example.com"));
    form.fields.push_back(FormField::TextBox("Page", "Page", page, kFieldMaxChars));
    form.fields.push_back(FormField::NoteText("case sensitive"));
    form.fields.push_back(FormField::NoteText(
        "The server should be the actual host (do not use a domain name that redirects to "
        "another server)."));
    form.fields.push_back(FormField::NoteText(
        "A server reached under the bare domain may need its www. form typed."));
    form.buttons = Form::OkCancel();
    form.focusField = "Server";
    return form;
}

void CheckPageCommand(Shell& shell, const WebToolOptions& options) {
    Form form = CheckPageForm(shell.settings);
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    const std::string server = form.Field("Server").text;
    const std::string page = form.Field("Page").text;
    shell.settings.Set(field::ServerField(DialogSlot::CheckPage), server);
    shell.settings.Set(field::SecondField(DialogSlot::CheckPage), page);
    RunPageCheck(shell, server, page, options);
}

void RunPageCheck(Shell& shell, const std::string& server, const std::string& page,
                  const WebToolOptions& options) {
    shell.log.AppendQuiet("  ");
    shell.log.AppendHighlighted("Page check");

    ExchangeRequest request;
    request.server = server;
    request.page = page;
    request.method = "HEAD";
    request.replyFile = kPageCheckReplyFile;
    request.folder = options.folder;
    request.idleTimeout = options.idleTimeout;
    request.connectTimeout = options.connectTimeout;
    ExchangeResult exchange = HttpExchange(shell, request, PageCheckWording());
    if (exchange.outcome != ExchangeOutcome::Stored)
        return;

    const ReplyHeader header = ReadReplyHeader(exchange.replyPath);
    exchange.hold.Release();
    if (header.status == HeaderStatus::NotOpened) {
        shell.log.AppendLine("File the5.html");
        return;
    }
    if (header.status == HeaderStatus::NoHeader) {
        shell.log.AppendLine("Unable to resolve header.");
        Alert(shell);
        return;
    }
    const int code = ParseStatus(header.text);
    if (code == 0) {
        shell.log.AppendLine("Success, server completed request, code 200");
        return;
    }
    ReportUnavailable(shell, code, header.text);
}

} // namespace korvane
