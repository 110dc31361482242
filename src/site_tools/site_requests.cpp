#include "site_tools/site_requests.h"

#include "shell/session_log.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"

#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace korvane {

void ReportDetail(Shell& shell, ReportTextBox& report, const std::string& text) {
    if (shell.settings.IsOn(field::DetailFlag))
        report.Append(text);
}

ComparedReply FetchComparing(std::unique_ptr<Stream> stream, const std::string& request,
                             const std::string& replyPath, std::chrono::milliseconds idleTimeout,
                             const ScannedFile* local, bool forgiveCrLf, BodyScanner* scan) {
    ComparedReply reply;
    // A request that cannot be sent leaves an empty reply, reported as an unreadable header.
    (void)stream->Send(request, std::nullopt);
    FileDescriptor file(::open(replyPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!file.IsOpen())
        return reply;
    reply.opened = true;
    // The header is read from the first bytes, as ReadReplyHeader reads it from the file.
    std::string start;
    bool headerRead = false;
    std::optional<LocalFile> localFile;
    std::optional<BodyComparer> body;
    auto readHeader = [&](std::string_view rest) {
        headerRead = true;
        reply.header = FindReplyHeader(start);
        if (reply.header.status != HeaderStatus::Found || ParseStatus(reply.header.text) != 0) {
            scan = nullptr;
            return;
        }
        if (scan != nullptr) {
            scan->Feed(std::string_view(start).substr(reply.header.text.size()));
            scan->Feed(rest);
        }
        if (local == nullptr)
            return;
        // The local file is opened only now, for as long as its body arrives.
        localFile.emplace(local->path);
        if (!localFile->IsOpen()) {
            reply.compared = BodyComparison{BodyComparison::Outcome::Unreadable};
            return;
        }
        body.emplace(reply.header.text.size() - 1, *localFile, forgiveCrLf);
        body->Feed(std::string_view(start).substr(reply.header.text.size()));
        body->Feed(rest);
    };
    const ReceiveResult received =
        ReceiveToFile(*stream, file.Get(), idleTimeout, [&](std::string_view piece) {
            if (!reply.firstByte)
                reply.firstByte = std::chrono::steady_clock::now();
            if (headerRead) {
                if (body)
                    body->Feed(piece);
                if (scan != nullptr)
                    scan->Feed(piece);
                return;
            }
            const std::size_t take = std::min(piece.size(), kHeaderBufferBytes - start.size());
            start.append(piece.substr(0, take));
            if (start.size() == kHeaderBufferBytes)
                readHeader(piece.substr(take));
        });
    if (!headerRead)
        readHeader({});
    reply.stored = FinishRewrite(file.Get()) && received.stored;
    reply.timedOut = received.timedOut;
    if (body)
        reply.compared = body->Result();
    return reply;
}

void ReportStatus(ReportTextBox& report, const std::string& name, int code,
                  std::string_view header) {
    if (const auto text = StatusText(code))
        ReportAppend(report, "%.*s\r\n", static_cast<int>(text->size()), text->data());
    if (const auto location = RedirectLocation(code, header))
        ReportAppend(report, "Moved to: %s\r\n", location->c_str());
    ReportAppend(report, "File: %s not available. Server code: %d\r\n", name.c_str(), code);
}

std::optional<std::string> ReportComparison(ReportTextBox& report, const std::string& name,
                                            const BodyComparison& compared) {
    std::string line;
    switch (compared.outcome) {
    case BodyComparison::Outcome::Truncated:
        line = "File: " + name + " truncated at: " + std::to_string(compared.counter);
        break;
    case BodyComparison::Outcome::Differs:
        line = "File: " + name + " differs at location: " + std::to_string(compared.localPosition);
        break;
    case BodyComparison::Outcome::Verified:
        ReportAppend(report, "Integrity verified: %s\r\n", name.c_str());
        return std::nullopt;
    case BodyComparison::Outcome::Unreadable:
        line = "Unable to open local file: " + name;
        break;
    }
    // Cut as every report line is.
    ReportAppend(report, "%s\r\n", line.c_str());
    if (compared.outcome == BodyComparison::Outcome::Differs &&
        PrintablePair(compared.localByte, compared.webByte))
        ReportAppend(report, "Local file: %c, web file: %c\r\n", compared.localByte,
                     compared.webByte);
    return line;
}

} // namespace korvane
