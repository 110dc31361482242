#include "page_tools/server_header.h"

#include "page_tools/exchange_wording.h"
#include "shell/shell.h"

namespace korvane {

namespace {

constexpr std::size_t kFieldMaxChars = 199;
constexpr std::string_view kCookieKeyword = "SET-COOKIE";

BusyFlag FlagOf(HeaderTool tool) {
    switch (tool) {
    case HeaderTool::HeaderIPv6:
        return BusyFlag::HeaderIPv6;
    case HeaderTool::Cookies:
        return BusyFlag::HeaderCookies;
    case HeaderTool::Header:
        break;
    }
    return BusyFlag::HeaderAndSubmit;
}

std::string_view TitleLine(HeaderTool tool) {
    switch (tool) {
    case HeaderTool::HeaderIPv6:
        return "Server page header IPv6: ";
    case HeaderTool::Cookies:
        return "Header cookies: ";
    case HeaderTool::Header:
        break;
    }
    return "Server page header: ";
}

ExchangeWording WordingOf(HeaderTool tool) {
    ExchangeWording wording;
    wording.dial.certificateFacts = true;
    wording.dial.expiryWarning = true;
    if (tool == HeaderTool::HeaderIPv6)
        wording.dial.socketFailure = "Unable to open IPv6 socket: ";
    if (tool == HeaderTool::Cookies) {
        wording.sentDefault = "Sent request.";
        wording.communicateKind = LineKind::Plain;
        wording.receivedKind = LineKind::Plain;
        wording.closingKind = LineKind::Omitted;
    }
    return wording;
}

void StartTool(Shell& shell, HeaderTool tool, const WebToolOptions& options) {
    const BusyFlag flag = FlagOf(tool);
    if (RefuseWhileBusy(shell.busy, flag, shell.desktop))
        return;
    Form form = ServerHeaderForm(shell.settings, tool);
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    const std::string server = form.Field("Server").text;
    const std::string page = form.Field("Page").text;
    shell.settings.Set(field::ServerField(DialogSlot::ServerPageHeader), server);
    shell.settings.Set(field::SecondField(DialogSlot::ServerPageHeader), page);
    shell.busy.Set(flag);
    const bool started = shell.threads.Start([&shell, tool, server, page, options] {
        RunHeaderTool(shell, tool, server, page, options);
    });
    if (!started) {
        shell.busy.Clear(flag);
        shell.desktop.ShowMessage("Unable to start thread", "Problem");
    }
}

} // namespace

Form ServerHeaderForm(const SettingsBlock& settings, HeaderTool tool) {
    Form form;
    form.name = "DIALOG3";
    form.title = tool == HeaderTool::HeaderIPv6 ? "Server page header IPv6" : "Server page header";
    form.fields.push_back(FormField::TextBox(
        "Server", "Server", settings.Get(field::ServerField(DialogSlot::ServerPageHeader)),
        kFieldMaxChars));
    form.fields.push_back(FormField::NoteText("example.com"));
    form.fields.push_back(FormField::TextBox(
        "Page", "Page", settings.Get(field::SecondField(DialogSlot::ServerPageHeader)),
        kFieldMaxChars));
    form.fields.push_back(FormField::NoteText("case sensitive"));
    form.fields.push_back(
        FormField::NoteText("The page may be omitted for the server default page."));
    if (tool == HeaderTool::HeaderIPv6) {
        form.fields.push_back(
            FormField::NoteText("Where a server serves both example.com and www.example.com by "
                                "redirecting one to the other, type the name it redirects to."));
        form.fields.push_back(FormField::NoteText(
            "IPv6 is required of the local node, router(s) and the web server."));
        form.fields.push_back(
            FormField::NoteText("The IPv6 loopback address is ::1; a browser may need advanced "
                                "configuration to allow certain ports."));
    } else {
        form.fields.push_back(FormField::NoteText("The server should be the actual host (do not "
                                                  "use a domain name that redirects to another "
                                                  "server)."));
        form.fields.push_back(
            FormField::NoteText("Where the bare domain is aliased or redirected to the www. name, "
                                "type the name with its leading www."));
    }
    form.buttons = Form::OkCancel();
    form.focusField = "Server";
    return form;
}

void ServerPageHeaderCommand(Shell& shell, const WebToolOptions& options) {
    StartTool(shell, HeaderTool::Header, options);
}

void ServerPageHeaderIPv6Command(Shell& shell, const WebToolOptions& options) {
    StartTool(shell, HeaderTool::HeaderIPv6, options);
}

void HeaderCookiesCommand(Shell& shell, const WebToolOptions& options) {
    StartTool(shell, HeaderTool::Cookies, options);
}

std::string Capitalise(std::string_view text) {
    std::string capitals(text);
    for (char& c : capitals)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return capitals;
}

std::vector<std::string> CookieLines(std::string_view capitalisedHeader) {
    std::vector<std::string> lines;
    std::size_t at = capitalisedHeader.find(kCookieKeyword);
    while (at != std::string_view::npos) {
        std::string_view line = capitalisedHeader.substr(at, kCookieLineMaxChars);
        line = line.substr(0, line.find('\n'));
        lines.emplace_back(line);
        at = capitalisedHeader.find(kCookieKeyword, at + line.size());
    }
    return lines;
}

void RunHeaderTool(Shell& shell, HeaderTool tool, const std::string& server,
                   const std::string& page, const WebToolOptions& options) {
    BusyRelease release(shell.busy, FlagOf(tool));
    shell.log.AppendQuiet("  ");
    shell.log.AppendHighlighted(LineWith(TitleLine(tool), page));

    ExchangeRequest request;
    request.server = server;
    request.page = page;
    // Cookies need the body's header either way; the header tools ask for the bare header of a
    // default page.
    const bool get = tool == HeaderTool::Cookies || !page.empty();
    request.method = get ? "GET" : "HEAD";
    request.family = tool == HeaderTool::HeaderIPv6 ? AddressFamily::IPv6 : AddressFamily::IPv4;
    request.replyFile = kHeaderReplyFile;
    request.folder = options.folder;
    request.idleTimeout = options.idleTimeout;
    request.connectTimeout = options.connectTimeout;
    ExchangeResult exchange = HttpExchange(shell, request, WordingOf(tool));
    if (exchange.outcome != ExchangeOutcome::Stored)
        return;

    const ReplyHeader header = ReadReplyHeader(exchange.replyPath);
    // The header is in memory now; another run may have the file while the viewer is open.
    exchange.hold.Release();
    if (header.status == HeaderStatus::NotOpened)
        return;
    if (header.status == HeaderStatus::NoHeader) {
        shell.log.AppendLine("Unable to resolve header.");
        Alert(shell);
        return;
    }

    if (tool != HeaderTool::Cookies) {
        // Every hop of a followed redirect, each header closed by its blank line.
        ResultViewer(shell.desktop, exchange.redirectHeaders + header.text);
        return;
    }
    const std::string capitals = Capitalise(header.text);
    const std::vector<std::string> cookies = CookieLines(capitals);
    for (const std::string& cookie : cookies) {
        shell.log.AppendQuiet(cookie);
        shell.log.AppendLine("  ");
    }
    if (!cookies.empty()) {
        shell.log.AppendLine("Finished.");
        return;
    }
    shell.log.AppendLine("No header cookies.");
    ResultViewer(shell.desktop, capitals);
}

} // namespace korvane
