#include "page_tools/exchange_wording.h"

#include "shell/session_log.h"
#include "shell/shell.h"

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

void ReportUnavailable(Shell& shell, int code, std::string_view suffix) {
    if (const auto text = StatusText(code))
        shell.log.AppendLine(*text);
    shell.log.AppendLine("File is not available. Server code: " + std::to_string(code) +
                         std::string(suffix));
    Alert(shell);
}

std::unique_ptr<Stream> ConnectToAny(Shell& shell, const std::vector<Endpoint>& addresses,
                                     std::string_view server, const ExchangeWording& wording,
                                     std::chrono::milliseconds timeout) {
    Connection connection = Connect(addresses, timeout);
    for (const ConnectFailure& failure : connection.failures)
        shell.log.AppendLine(LineWith(failure.step == ConnectFailure::Step::Socket
                                          ? wording.socketFailure
                                          : std::string_view("Unable to connect: "),
                                      server));
    return std::move(connection.stream);
}

bool SendRequestOrReport(Shell& shell, Stream& stream, std::string_view request) {
    if (const auto error = stream.Send(request, std::nullopt)) {
        shell.log.AppendLine("Send error #" + std::to_string(*error) + ".");
        Alert(shell);
        return false;
    }
    return true;
}

ExchangeResult HttpExchange(Shell& shell, const ExchangeRequest& request,
                            const ExchangeWording& wording) {
    ExchangeResult result;
    result.replyPath = ReplyFilePath(request.folder, request.replyFile);
    const std::string& server = request.server;

    AppendDetail(shell, LineWith("Initialized: ", kSocketStatusText));
    if (wording.resolvingLine)
        AppendDetail(shell, "Resolving server");
    const Resolution resolved = ResolveHttp(server, request.family);
    if (resolved.error != 0) {
        shell.log.AppendLine(LineWith("Unable to translate host ", server));
        Alert(shell);
        result.outcome = ExchangeOutcome::NotResolved;
        return result;
    }

    std::unique_ptr<Stream> stream =
        ConnectToAny(shell, resolved.addresses, server, wording, request.connectTimeout);
    if (!stream) {
        LogAs(shell, wording.communicateKind, LineWith("Unable to communicate: ", server));
        shell.log.AppendLine("  ");
        result.outcome = ExchangeOutcome::NotConnected;
        return result;
    }

    const std::string bytes = request.requestLine + ComposeHeaderBlock(shell.settings, server);
    if (!SendRequestOrReport(shell, *stream, bytes)) {
        result.outcome = ExchangeOutcome::SendFailed;
        return result;
    }
    if (request.page.empty())
        LogAs(shell, wording.sentKind, wording.sentDefault);
    else if (wording.sentNamesPage)
        LogAs(shell, wording.sentKind, LineWith(wording.sentPage, request.page));
    else
        LogAs(shell, wording.sentKind, wording.sentPage);

    const auto replyFileFailed = [&](ExchangeOutcome outcome) {
        result.hold.Release();
        const std::string line = LineWith("Data file: ", request.replyFile) + ".";
        if (wording.replyFileFailure == ReplyFileFailure::LogLine)
            shell.log.AppendLine(line);
        else if (wording.replyFileFailure == ReplyFileFailure::FatalMessage)
            shell.desktop.ShowMessage(line, "Fatal error");
        result.outcome = outcome;
        return std::move(result);
    };
    result.hold = ReplyFileHold(shell.run.replyFiles, result.replyPath);
    FileDescriptor file = OpenForRewrite(result.replyPath);
    if (!file.IsOpen()) {
        stream.reset();
        return replyFileFailed(ExchangeOutcome::ReplyFileNotCreated);
    }
    bool stored = ReceiveReply(*stream, file.Get(), request.idleTimeout);
    stored = file.Close() && stored; // a write error may only show at the close
    stream.reset();
    if (!stored)
        return replyFileFailed(ExchangeOutcome::ReplyFileNotWritten);
    LogAs(shell, wording.receivedKind, wording.received);
    LogAs(shell, wording.closingKind, wording.closing);
    result.outcome = ExchangeOutcome::Stored;
    return result;
}

} // namespace korvane
