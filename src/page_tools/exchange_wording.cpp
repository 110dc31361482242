#include "page_tools/exchange_wording.h"

#include "shell/session_log.h"
#include "shell/shell.h"
#include "web/redirects.h"

#include <optional>

namespace korvane {

// A log slot holds 199 characters and refuses longer lines, so a line naming a long server or
// page is cut to fit rather than lost.
std::string LineWith(std::string_view prefix, std::string_view argument) {
    std::string line(prefix);
    line += argument;
    if (line.size() > kLogLineMaxChars)
        line.resize(kLogLineMaxChars);
    return line;
}

void LogAs(Shell& shell, LineKind kind, std::string_view text) {
    switch (kind) {
    case LineKind::Plain:
        shell.log.AppendLine(text);
        break;
    case LineKind::Quiet:
        shell.log.AppendQuiet(text);
        break;
    case LineKind::Detail:
        AppendDetail(shell, text);
        break;
    case LineKind::Omitted:
        break;
    }
}

void ReportUnavailable(Shell& shell, int code, std::string_view header, std::string_view suffix) {
    if (const auto text = StatusText(code))
        shell.log.AppendLine(*text);
    if (const auto location = RedirectLocation(code, header))
        shell.log.AppendLine(LineWith("Moved to: ", *location));
    shell.log.AppendLine("File is not available. Server code: " + std::to_string(code) +
                         std::string(suffix));
    Alert(shell);
}

bool SendRequestOrReport(Shell& shell, Stream& stream, std::string_view request) {
    if (const auto error = stream.Send(request, std::nullopt)) {
        shell.log.AppendLine("Send error #" + std::to_string(*error) + ".");
        Alert(shell);
        return false;
    }
    return true;
}

namespace {

// One request of the exchange, to `url`, stored in the reply file.
ExchangeOutcome ExchangeOnce(Shell& shell, const ExchangeRequest& request,
                             const ExchangeWording& wording, WebRun& web, const Url& url,
                             std::string_view shownServer, ExchangeResult& result) {
    AppendDetail(shell, LineWith("Initialized: ", kSocketStatusText));
    if (wording.resolvingLine)
        AppendDetail(shell, "Resolving server");
    const Resolution resolved = Resolve(url.server, request.family);
    if (resolved.error != 0) {
        shell.log.AppendLine(LineWith("Unable to translate host ", shownServer));
        Alert(shell);
        return ExchangeOutcome::NotResolved;
    }

    Opened opened =
        web.Open(url.server, resolved.addresses, shownServer, LogSink(shell), wording.dial);
    result.expiresSoon = result.expiresSoon || opened.expiresSoon;
    std::unique_ptr<Stream> stream = std::move(opened.stream);
    if (!stream) {
        LogAs(shell, wording.communicateKind, LineWith("Unable to communicate: ", shownServer));
        shell.log.AppendLine("  ");
        return ExchangeOutcome::NotConnected;
    }

    const std::string page = PageOf(url);
    const std::string bytes = RequestLine(request.method, page) +
                              ComposeHeaderBlock(shell.settings, HostHeaderValue(url.server));
    if (!SendRequestOrReport(shell, *stream, bytes))
        return ExchangeOutcome::SendFailed;
    if (page.empty())
        LogAs(shell, wording.sentKind, wording.sentDefault);
    else if (wording.sentNamesPage)
        LogAs(shell, wording.sentKind, LineWith(wording.sentPage, page));
    else
        LogAs(shell, wording.sentKind, wording.sentPage);

    const auto replyFileFailed = [&](ExchangeOutcome outcome) {
        result.hold.Release();
        const std::string line = LineWith("Data file: ", request.replyFile) + ".";
        if (wording.replyFileFailure == ReplyFileFailure::LogLine)
            shell.log.AppendLine(line);
        else if (wording.replyFileFailure == ReplyFileFailure::FatalMessage)
            shell.desktop.ShowMessage(line, "Fatal error");
        return outcome;
    };
    if (!result.hold.Holds())
        result.hold = HoldReplyFile(shell, result.replyPath, request.replyFile);
    FileDescriptor file = OpenForRewrite(result.replyPath);
    if (!file.IsOpen()) {
        stream.reset();
        return replyFileFailed(ExchangeOutcome::ReplyFileNotCreated);
    }
    const ReceiveResult got = ReceiveReply(*stream, file.Get(), request.idleTimeout);
    const bool stored = file.Close() && got.stored; // a write error may only show at the close
    stream.reset();
    if (!stored)
        return replyFileFailed(ExchangeOutcome::ReplyFileNotWritten);
    // A server that went silent may have cut its reply short: no verdict is given on it.
    if (got.timedOut) {
        result.hold.Release();
        shell.log.AppendLine("Timed out.");
        Alert(shell);
        return ExchangeOutcome::TimedOut;
    }
    LogAs(shell, wording.receivedKind, wording.received);
    LogAs(shell, wording.closingKind, wording.closing);
    return ExchangeOutcome::Stored;
}

} // namespace

ExchangeResult HttpExchange(Shell& shell, const ExchangeRequest& request,
                            const ExchangeWording& wording) {
    ExchangeResult result;
    result.replyPath = ReplyFilePath(request.folder, request.replyFile);
    std::optional<WebRun> own;
    WebRun* web = request.web;
    if (web == nullptr)
        web = &own.emplace(shell, Dialer::Options{.connectTimeout = request.connectTimeout});

    RedirectTrail trail(RequestUrl(ServerOf(request.server), request.page));
    for (;;) {
        // The first request names the server as typed; a redirect names where it leads.
        const std::string shown = trail.Hops() == 0 ? request.server : FormatUrl(trail.Current());
        result.finalUrl = trail.Current();
        result.outcome =
            ExchangeOnce(shell, request, wording, *web, trail.Current(), shown, result);
        if (result.outcome != ExchangeOutcome::Stored || !web->Preferences().followRedirects)
            return result;
        const ReplyHeader header = ReadReplyHeader(result.replyPath);
        const int code = ParseStatus(header.text);
        const auto location = RedirectLocation(code, header.text);
        if (header.status != HeaderStatus::Found || !location)
            return result;
        const RedirectTrail::Step step = trail.Next(*location);
        if (step != RedirectTrail::Step::Follow) {
            shell.log.AppendLine(LineWith(RedirectFailureLine(step), {}));
            Alert(shell);
            result.hold.Release();
            result.outcome = ExchangeOutcome::RedirectFailed;
            return result;
        }
        shell.log.AppendLine(LineWith(trail.HopLine(code), {}));
        result.redirectHeaders += header.text;
    }
}

} // namespace korvane
