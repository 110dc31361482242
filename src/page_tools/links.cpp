#include "page_tools/links.h"

#include "page_tools/exchange_wording.h"
#include "shell/shell.h"
#include "web/redirects.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <span>
#include <utility>
#include <vector>

namespace korvane {

namespace {

constexpr std::size_t kFieldMaxChars = 199;
constexpr std::size_t kScanBlockBytes = std::size_t{64} * 1024;
constexpr std::string_view kLinkSeparator = "    ";
constexpr std::string_view kMainCaption = "KORVANE";

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsTargetEnd(char c) {
    return c == '"' || c == '\'' || c == ' ';
}

ExchangeWording LinksWording(LinkMode mode) {
    ExchangeWording wording;
    wording.resolvingLine = false;
    wording.sentPage = "Sent request for: ";
    wording.sentNamesPage = true;
    wording.sentDefault = "Sent request for default page";
    wording.replyFileFailure = ReplyFileFailure::FatalMessage;
    wording.received =
        mode == LinkMode::Broken ? "Reply received, checking links" : "Reply received";
    wording.receivedKind = LineKind::Plain;
    wording.closing = kLinkSeparator;
    return wording;
}

void ReportImproper(Shell& shell, std::string_view target) {
    shell.log.AppendLine(target);
    shell.log.AppendLine("Improper url");
    shell.log.AppendLine(kLinkSeparator);
}

} // namespace

const char* LinkScanner::Advance(const char* at, const char* end) {
    static constexpr std::string_view kKeyword = "href=";
    while (at < end) {
        switch (m_state) {
        case State::Keyword:
            if (m_matched == 0) {
                // Most of a page is skipped here: only an H or h can start the keyword.
                while (at < end && (*at | 0x20) != 'h')
                    ++at;
                if (at == end)
                    return at;
                m_matched = 1;
            } else if (Lower(*at) == kKeyword[m_matched]) {
                if (++m_matched == kKeyword.size()) {
                    m_matched = 0;
                    m_state = State::TargetStart;
                }
            } else {
                // A mismatching byte is not looked at again, so "hhref=" is not a match.
                m_matched = 0;
            }
            ++at;
            break;
        case State::TargetStart:
            m_target.clear();
            if (*at != '"' && *at != '\'')
                m_target.push_back(*at);
            m_state = State::Target;
            ++at;
            break;
        case State::Target:
            while (at < end) {
                const char c = *at++;
                if (IsTargetEnd(c) || m_target.size() == kLinkTargetMaxChars) {
                    // At the limit the byte read is dropped and the target ends with it.
                    m_state = State::Keyword;
                    m_complete = true;
                    return at;
                }
                m_target.push_back(c);
            }
            break;
        }
    }
    return at;
}

bool ScanLinks(int file, const std::function<void(std::string_view)>& found) {
    LinkScanner scanner;
    std::vector<char> block(kScanBlockBytes);
    for (;;) {
        const ssize_t got = ::read(file, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        scanner.Feed(std::string_view(block.data(), static_cast<std::size_t>(got)), found);
    }
}

bool ShowsTarget(LinkMode mode, std::string_view target) {
    const bool external = target.size() >= 4 && Lower(target[0]) == 'h' &&
                          Lower(target[1]) == 't' && Lower(target[2]) == 't' &&
                          Lower(target[3]) == 'p';
    switch (mode) {
    case LinkMode::All:
        return true;
    case LinkMode::External:
        return external;
    case LinkMode::Local:
        return !external;
    case LinkMode::Broken:
        break;
    }
    return false;
}

Form LinksForm(const SettingsBlock& settings) {
    std::string page = settings.Get(field::SecondField(DialogSlot::Links));
    if (page.empty())
        page = "index.html";
    Form form;
    form.name = "DIALOG6";
    form.title = "Links";
    form.fields.push_back(FormField::TextBox(
        "Server", "Server", settings.Get(field::ServerField(DialogSlot::Links)), kFieldMaxChars));
    form.fields.push_back(FormField::NoteText("example.com"));
    form.fields.push_back(FormField::TextBox("Page", "Page", page, kFieldMaxChars));
    form.fields.push_back(FormField::NoteText("case sensitive"));
    form.fields.push_back(
        FormField::NoteText("The page may be omitted for the server default page."));
    form.fields.push_back(FormField::NoteText(
        "The server should be the one that hosts (do not use a domain name that redirects to "
        "another server)."));
    form.fields.push_back(
        FormField::NoteText("A server reached both with and without www. may need the www. form."));
    form.buttons = Form::OkCancel();
    form.focusField = "Server";
    return form;
}

void LinksCommand(Shell& shell, LinkMode mode, const WebToolOptions& options) {
    Form form = LinksForm(shell.settings);
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    const std::string server = form.Field("Server").text;
    const std::string page = form.Field("Page").text;
    shell.settings.Set(field::ServerField(DialogSlot::Links), server);
    shell.settings.Set(field::SecondField(DialogSlot::Links), page);
    if (server.empty())
        return;
    shell.log.AppendQuiet("  ");
    shell.log.AppendHighlighted(LineWith("Links: ", server + ", " + page));
    if (!shell.threads.Start([&shell, mode, server, page, options] {
            RunLinks(shell, mode, server, page, options);
        }))
        shell.desktop.ShowMessage("Unable to start thread", "Problem");
}

void RunLinks(Shell& shell, LinkMode mode, const std::string& server, const std::string& page,
              const WebToolOptions& options) {
    ExchangeRequest request;
    request.server = server;
    request.page = page;
    request.method = "GET";
    request.replyFile = kLinksReplyFile;
    request.folder = options.folder;
    request.idleTimeout = options.idleTimeout;
    request.connectTimeout = options.connectTimeout;
    WebRun web(shell, Dialer::Options{.connectTimeout = options.connectTimeout});
    request.web = &web;
    ExchangeResult exchange = HttpExchange(shell, request, LinksWording(mode));
    if (exchange.outcome != ExchangeOutcome::Stored)
        return;

    const std::string fatal = LineWith("Data file: ", kLinksReplyFile) + ".";
    const ReplyHeader header = ReadReplyHeader(exchange.replyPath);
    FileDescriptor file(::open(exchange.replyPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (header.status == HeaderStatus::NotOpened || !file.IsOpen()) {
        exchange.hold.Release();
        shell.desktop.ShowMessage(fatal, "Fatal error");
        return;
    }
    if (header.status == HeaderStatus::NoHeader) {
        shell.log.AppendLine(LineWith("Unable to resolve header: ", page));
        Alert(shell);
        return;
    }
    if (const int code = ParseStatus(header.text); code != 0) {
        ReportUnavailable(shell, code, header.text);
        return;
    }

    // Relative targets are asked of the server the page came from, after any redirect.
    const ServerAddress pageServer = exchange.finalUrl.server;
    const auto act = [&](std::string_view target) {
        if (mode != LinkMode::Broken) {
            if (ShowsTarget(mode, target))
                shell.log.AppendLine(target);
            return;
        }
        shell.desktop.SetCaption(target);
        CheckLink(shell, web, target, pageServer, options);
        shell.desktop.SetCaption(kMainCaption);
    };
    // A read failure ends the body like its end does.
    if (::lseek(file.Get(), static_cast<off_t>(header.text.size()), SEEK_SET) >= 0)
        ScanLinks(file.Get(), act);
    file.Close();
    shell.log.AppendLine("Scan complete");
}

LinkTarget ClassifyTarget(std::string_view target, const ServerAddress& pageServer) {
    if (target == "#")
        return {LinkTarget::Kind::Skip, {}, {}, {}};
    if (target.size() < 4)
        return {LinkTarget::Kind::Improper, {}, {}, {}};
    if (Lower(target[0]) == 'm' && Lower(target[1]) == 'a' && Lower(target[2]) == 'i' &&
        Lower(target[3]) == 'l')
        return {LinkTarget::Kind::Skip, {}, {}, {}};
    // An unquoted target runs on over line ends and tabs; put in the request it would add lines
    // of the page's choosing to what is sent to the host.
    if (std::any_of(target.begin(), target.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        return {LinkTarget::Kind::Improper, {}, {}, {}};
    const std::size_t colon = target.find(':');
    if (colon == std::string_view::npos)
        return {LinkTarget::Kind::Check, HostHeaderValue(pageServer), std::string(target),
                pageServer};
    if (colon < 2 || colon > 6 || target.size() < 10 || target[colon + 1] != '/' ||
        target[colon + 2] != '/')
        return {LinkTarget::Kind::Improper, {}, {}, {}};
    if (const auto url = ParseUrl(target))
        return {LinkTarget::Kind::Check, HostHeaderValue(url->server), PageOf(*url), url->server};
    // Another scheme, or an address the URL reader refuses: its host is asked over HTTP.
    const std::string_view rest = target.substr(colon + 3);
    const std::size_t slash = rest.find('/');
    LinkTarget link{LinkTarget::Kind::Check, std::string(rest.substr(0, slash)), {}, {}};
    if (slash != std::string_view::npos)
        link.path = std::string(rest.substr(slash + 1));
    link.server = ServerAddress{Scheme::Http, link.host, DefaultPort(Scheme::Http), true};
    return link;
}

void CheckLink(Shell& shell, WebRun& web, std::string_view target, const ServerAddress& pageServer,
               const WebToolOptions& options) {
    const LinkTarget link = ClassifyTarget(target, pageServer);
    if (link.kind == LinkTarget::Kind::Skip)
        return;
    if (link.kind == LinkTarget::Kind::Improper) {
        ReportImproper(shell, target);
        return;
    }
    const std::string& host = link.host;
    const Resolution resolved = Resolve(link.server, AddressFamily::IPv4);
    if (resolved.addresses.empty()) {
        shell.log.AppendLine(LineWith(host + ", ", link.path));
        shell.log.AppendLine(LineWith("Unable to resolve ", host));
        shell.log.AppendLine(kLinkSeparator);
        Alert(shell);
        return;
    }
    // The first address only; a certificate's failure names the link before it.
    bool named = false;
    const LineSink tell = [&](std::string_view line) {
        if (!std::exchange(named, true))
            shell.log.AppendLine(LineWith(host + ", ", link.path));
        shell.log.AppendLine(LineWith(line, {}));
    };
    DialWording wording;
    wording.tellsConnectFailures = false;
    Opened opened =
        web.Open(link.server, std::span(resolved.addresses).first(1), host, tell, wording);
    if (!opened.stream) {
        if (opened.connectFailures.empty()) {
            shell.log.AppendLine(kLinkSeparator);
            return;
        }
        const ConnectFailure& failure = opened.connectFailures.front();
        if (failure.step == ConnectFailure::Step::Socket) {
            shell.log.AppendLine("Socket creation error #" + std::to_string(failure.error) + ".");
        } else {
            shell.log.AppendLine(LineWith("Connect error ", host) + ", #" +
                                 std::to_string(failure.error) + ".");
            shell.log.AppendLine(kLinkSeparator);
        }
        Alert(shell);
        return;
    }
    const std::string request =
        RequestLine("HEAD", link.path) + ComposeHeaderBlock(shell.settings, host);
    if (!SendRequestOrReport(shell, *opened.stream, request))
        return;

    const std::string path = ReplyFilePath(options.folder, kLinkCheckReplyFile);
    const std::string fatal = LineWith("Data file: ", kLinkCheckReplyFile) + ".";
    ReplyFileHold hold = HoldReplyFile(shell, path, kLinkCheckReplyFile);
    // Rewritten in place: truncating a file that holds data makes the file system flush it at
    // close, which costs more than the whole exchange.
    FileDescriptor file = OpenForRewrite(path);
    const ReceiveResult got = file.IsOpen()
                                  ? ReceiveReply(*opened.stream, file.Get(), options.idleTimeout)
                                  : ReceiveResult{0, false, false};
    const bool stored = file.Close() && got.stored;
    opened.stream.reset();
    // A reply the disk could not take whole is no answer about the link.
    if (!stored) {
        hold.Release();
        shell.desktop.ShowMessage(fatal, "Fatal file error");
        return;
    }
    // A server that went silent is judged by what came: its status line, or no header at all.
    const ReplyHeader header = ReadReplyHeader(path);
    hold.Release();
    if (header.status == HeaderStatus::NotOpened) {
        shell.desktop.ShowMessage(fatal, "Fatal error");
        return;
    }
    if (header.status == HeaderStatus::NoHeader) {
        shell.log.AppendLine(LineWith("Unable to resolve header: ", host));
        Alert(shell);
        return;
    }
    const int code = ParseStatus(header.text);
    // A target that moved is there; 303, 307 and 308 are today's forms of the same answer.
    if (code == 0 || code == 301 || code == 302 || code == 303 || code == 307 || code == 308)
        return;
    shell.log.AppendLine(
        LineWith(host + ", ", link.path + ", Server code: " + std::to_string(code)));
    if (const auto text = StatusText(code))
        shell.log.AppendLine(*text);
    shell.log.AppendLine(kLinkSeparator);
    Alert(shell);
}

} // namespace korvane
