#include "databases/link_exchange.h"

#include "databases/record_messages.h"
#include "net/http.h"
#include "net/tcp.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "web/web_run.h"

#include <fcntl.h>
#include <span>
#include <unistd.h>
#include <vector>

namespace korvane {

namespace {

constexpr const char* kReplyFile = "the1.html";
constexpr std::size_t kHeaderLimit = 1 << 20;

void Warn(Shell& shell, const std::string& line) {
    shell.log.AppendLine(line);
    Alert(shell);
}

enum class CustomerEnd { Next, EndRun };

CustomerEnd CheckCustomer(Shell& shell, WebRun& web, const LinkExchangeInput& input,
                          const CustomerRecord& record) {
    const std::string domain = record.Text(customer::LinkDomain);
    const std::string page = record.Text(customer::LinkPage);
    const std::string text = record.Text(customer::LinkText);
    if (domain.empty() || page.empty() || text.empty())
        return CustomerEnd::Next;
    AppendDetail(shell, "Resolving server");
    // The partner's first address, port 80 for a bare domain: a dotted address as it is, a name
    // looked up.
    const ServerAddress server = ServerOf(domain);
    const Resolution resolved = ResolvePort(server.host, server.port, AddressFamily::IPv4);
    if (resolved.addresses.empty()) {
        Warn(shell, "DNS server lookup error (" + domain + ", gethostbyname) #" +
                        std::to_string(resolved.error) + ".");
        return CustomerEnd::Next;
    }
    AppendDetail(shell, "Server: " + domain + ": " + resolved.addresses.front().Numeric());

    DialWording wording;
    wording.tellsConnectFailures = false;
    Opened opened =
        web.Open(server, std::span(resolved.addresses).first(1), domain, LogSink(shell), wording);
    if (!opened.stream && opened.connectFailures.empty()) {
        shell.log.AppendLine("  ");
        return CustomerEnd::Next;
    }
    if (!opened.stream) {
        const ConnectFailure& failure = opened.connectFailures.front();
        const bool noSocket = failure.step == ConnectFailure::Step::Socket;
        shell.log.AppendLine((noSocket ? "Socket creation error #" : "Connect error #") +
                             std::to_string(failure.error) + ".");
        Warn(shell, "  ");
        return noSocket ? CustomerEnd::EndRun : CustomerEnd::Next;
    }
    const std::string request =
        RequestLine("GET", page) + ComposeHeaderBlock(shell.settings, HostHeaderValue(server));
    if (const auto error = opened.stream->Send(request, std::nullopt)) {
        Warn(shell, "Send error #" + std::to_string(*error) + ".");
        return CustomerEnd::Next;
    }
    AppendDetail(shell, "Sent request.");

    const std::string replyPath = ReplyFilePath(input.workFolder, kReplyFile);
    ReplyFileHold hold = HoldReplyFile(shell, replyPath, kReplyFile);
    {
        FileDescriptor reply = OpenForRewrite(replyPath);
        const ReceiveResult got = reply.IsOpen()
                                      ? ReceiveReply(*opened.stream, reply.Get(), input.idleTimeout)
                                      : ReceiveResult{0, false, false};
        const bool stored = reply.Close() && got.stored;
        // A page the disk could not take whole might lose the link text: no verdict on it.
        if (!stored) {
            shell.log.AppendLine("Data file: the1.html.");
            return CustomerEnd::EndRun;
        }
        // Nor a page cut short by a server that went silent.
        if (got.timedOut) {
            shell.log.AppendLine("Timed out.");
            Warn(shell, "  ");
            return CustomerEnd::Next;
        }
    }
    opened.stream.reset();
    shell.log.AppendLine("Reply received.");
    FileDescriptor reply(::open(replyPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!reply.IsOpen())
        return CustomerEnd::EndRun;
    const ReplyHeader header = ReadReplyHeader(replyPath, kHeaderLimit);
    if (header.status != HeaderStatus::Found) {
        Warn(shell, "Unable to resolve header.");
        return CustomerEnd::EndRun;
    }
    if (const int code = ParseStatus(header.text); code != 0) {
        if (const auto status = StatusText(code))
            shell.log.AppendLine(std::string(*status));
        if (const auto location = RedirectLocation(code, header.text))
            shell.log.AppendLine("Moved to: " + *location);
        shell.log.AppendLine("File is not available. Server code: " + std::to_string(code));
        Warn(shell, "  ");
        return CustomerEnd::Next;
    }
    // Only the body is searched: the text never counts where it straddles the header's end.
    ::lseek(reply.Get(), static_cast<off_t>(header.text.size()), SEEK_SET);
    if (StreamContains(reply.Get(), text))
        shell.log.AppendLine("Link found");
    else
        shell.log.AppendHighlighted("Link not found");
    shell.log.AppendLine("  ");
    return CustomerEnd::Next;
}

} // namespace

bool StreamContains(int fd, std::string_view text) {
    if (text.empty())
        return true;
    std::string window;
    std::vector<char> block(std::size_t{64} * 1024);
    for (;;) {
        const std::size_t got = ReadUpTo(fd, block.data(), block.size());
        if (got == 0)
            return false;
        window.append(block.data(), got);
        if (window.find(text) != std::string::npos)
            return true;
        // Keep just enough to find a text that begins in this block and ends in the next.
        if (window.size() >= text.size())
            window.erase(0, window.size() - (text.size() - 1));
    }
}

void LinkExchangeRun(Shell& shell, const LinkExchangeInput& input) {
    BusyRelease release(shell.busy, BusyFlag::HeaderAndSubmit);
    shell.log.AppendLine("  ");
    shell.log.AppendHighlighted("Link exchange verification");
    AppendDetail(shell, "Initialized: " + std::string(kSocketStatusText));
    bool ended = false;
    WebRun web(shell);
    const bool read =
        WalkRecords(shell, shell.records.customers, kLowestRecordNumber,
                    [&](std::int64_t, const CustomerRecord& record) {
                        ended = CheckCustomer(shell, web, input, record) == CustomerEnd::EndRun;
                        return !ended;
                    });
    if (!read) {
        shell.desktop.ShowMessage("Data file: member.dat, not present.", "Fatal error");
        return;
    }
    if (ended)
        return;
    shell.log.AppendLine("Complete");
    shell.log.AppendLine("  ");
}

void LinkExchangeCommand(Shell& shell) {
    Form form;
    form.name = "Link exchange verification";
    form.title = "Link exchange verification";
    form.fields.push_back(FormField::NoteText(
        "For each entry in the Customer database with link exchange detail the program will "
        "verify against the web page to confirm the specified text."));
    form.fields.push_back(FormField::NoteText("The check is case sensitive."));
    form.buttons = {FormButton{"Start", kFormAccepted, true, {}},
                    FormButton{"Cancel", kFormCancelled, false, {}}};
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    // The flag is shared with the submission and the header tool, and set without a check.
    shell.busy.Set(BusyFlag::HeaderAndSubmit);
    if (!shell.threads.Start([&shell] { LinkExchangeRun(shell, LinkExchangeInput{}); })) {
        shell.busy.Clear(BusyFlag::HeaderAndSubmit);
        shell.desktop.ShowMessage("Unable to start thread", "Problem");
    }
}

} // namespace korvane
