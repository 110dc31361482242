#include "page_tools/referrer.h"

#include "page_tools/exchange_wording.h"
#include "shell/preferences.h"
#include "shell/shell.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace korvane {

namespace {

constexpr std::size_t kFieldMaxChars = 199;
constexpr std::size_t kCompareBlockBytes = std::size_t{64} * 1024;

struct Slot {
    std::string value;        // sent in the Referer field
    std::string sentLabel;    // in "Sent request (referrer: %s)"
    std::string verdictLabel; // in the verdict lines
};

Slot SlotFor(Shell& shell, int slot, const std::string& server) {
    switch (slot) {
    case 1:
        return {std::string(kGoogleHomePage), std::string(kGoogleHomePage), "Google.com"};
    case 2:
        return {std::string(kYahooHomePage), std::string(kYahooHomePage), "Yahoo.com"};
    case 3:
        return {"http://www." + server, server, server};
    default:
        break;
    }
    // An empty "Other" referrer takes the built-in default, which then stays in the settings.
    std::string other = shell.settings.Get(field::OtherReferrer);
    if (other.empty()) {
        other = std::string(kMsnHomePage);
        shell.settings.Set(field::OtherReferrer, other);
    }
    return {other, other, other};
}

std::string ReplyName(int slot) {
    return "ref" + std::to_string(slot) + ".html";
}

// One connection, request and reply file; false when the run must stop.
bool FetchInto(Shell& shell, WebRun& web, const ServerAddress& address,
               const std::vector<Endpoint>& addresses, const std::string& server,
               const std::string& bytes, const std::string& name, const WebToolOptions& options,
               const std::string& sentLine) {
    std::unique_ptr<Stream> stream = web.Open(address, addresses, server, LogSink(shell)).stream;
    if (!stream) {
        shell.log.AppendQuiet(LineWith("Unable to communicate: ", server));
        shell.log.AppendLine("  ");
        return false;
    }
    if (!SendRequestOrReport(shell, *stream, bytes))
        return false;
    AppendDetail(shell, sentLine);
    const std::string path = ReplyFilePath(options.folder, name);
    // Rewritten in place: truncating a file that holds data makes the file system flush it at
    // close, which costs more than the whole exchange.
    FileDescriptor file = OpenForRewrite(path);
    const ReceiveResult got = file.IsOpen() ? ReceiveReply(*stream, file.Get(), options.idleTimeout)
                                            : ReceiveResult{0, false, false};
    const bool stored = file.Close() && got.stored;
    stream.reset();
    // A reply the disk could not take whole would show a variance that is not there.
    if (!stored) {
        shell.desktop.ShowMessage(LineWith("Data file: ", name) + ".", "Fatal error");
        return false;
    }
    // Nor would a reply cut short by a server that went silent.
    if (got.timedOut) {
        shell.log.AppendLine("Timed out.");
        Alert(shell);
        return false;
    }
    AppendDetail(shell, "Reply received");
    return true;
}

} // namespace

Form ReferrerForm(const SettingsBlock& settings) {
    std::string page = settings.Get(field::SecondField(DialogSlot::Referrer));
    if (page.empty())
        page = "index.html";
    Form form;
    form.name = "DIALOG8";
    form.title = "Verify page for alternate referrers";
    form.fields.push_back(FormField::TextBox("Server", "Server",
                                             settings.Get(field::ServerField(DialogSlot::Referrer)),
                                             kFieldMaxChars));
    form.fields.push_back(FormField::NoteText("example.com"));
    form.fields.push_back(FormField::TextBox("Page", "Page", page, kFieldMaxChars));
    form.fields.push_back(FormField::NoteText("case sensitive"));
    form.fields.push_back(
        FormField::NoteText("The page may be left blank for the server default page."));
    form.fields.push_back(FormField::NoteText(
        "The page request is repeated with different referrers (see preferences) to identify "
        "any variance in server response."));
    form.fields.push_back(FormField::NoteText(
        "A server that redirects the bare domain to its www. form may need the www. form typed."));
    form.buttons = Form::OkCancel();
    form.focusField = "Server";
    return form;
}

void ReferrerCommand(Shell& shell, const WebToolOptions& options) {
    if (RefuseWhileBusy(shell.busy, BusyFlag::Referrer, shell.desktop))
        return;
    Form form = ReferrerForm(shell.settings);
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    const std::string server = form.Field("Server").text;
    const std::string page = form.Field("Page").text;
    shell.settings.Set(field::ServerField(DialogSlot::Referrer), server);
    shell.settings.Set(field::SecondField(DialogSlot::Referrer), page);
    if (server.empty())
        return;
    shell.busy.Set(BusyFlag::Referrer);
    if (!shell.threads.Start([&shell, server, page, options] {
            RunReferrerVariance(shell, server, page, options);
        })) {
        shell.busy.Clear(BusyFlag::Referrer);
        shell.desktop.ShowMessage("Unable to start thread", "Problem");
    }
}

BodyComparison CompareBodies(const std::string& first, std::size_t firstOffset,
                             const std::string& second, std::size_t secondOffset) {
    FileDescriptor a(::open(first.c_str(), O_RDONLY | O_CLOEXEC));
    FileDescriptor b(::open(second.c_str(), O_RDONLY | O_CLOEXEC));
    if (!a.IsOpen() || !b.IsOpen())
        return BodyComparison::NotOpened;
    if (::lseek(a.Get(), static_cast<off_t>(firstOffset), SEEK_SET) < 0 ||
        ::lseek(b.Get(), static_cast<off_t>(secondOffset), SEEK_SET) < 0)
        return BodyComparison::Differs;
    std::vector<char> blockA(kCompareBlockBytes);
    std::vector<char> blockB(kCompareBlockBytes);
    for (;;) {
        const std::size_t gotA = ReadUpTo(a.Get(), blockA.data(), blockA.size());
        const std::size_t gotB = ReadUpTo(b.Get(), blockB.data(), blockB.size());
        if (gotA != gotB || std::memcmp(blockA.data(), blockB.data(), gotA) != 0)
            return BodyComparison::Differs;
        if (gotA < kCompareBlockBytes)
            return BodyComparison::Same;
    }
}

void RunReferrerVariance(Shell& shell, const std::string& server, const std::string& page,
                         const WebToolOptions& options) {
    BusyRelease release(shell.busy, BusyFlag::Referrer);
    shell.log.AppendQuiet("  ");
    shell.log.AppendHighlighted(LineWith("Verify referrer: ", server));
    AppendDetail(shell, LineWith("Initialized: ", kSocketStatusText));
    const ServerAddress address = ServerOf(server);
    const std::string host = HostHeaderValue(address);
    const Resolution resolved = Resolve(address, AddressFamily::IPv4);
    if (resolved.error != 0) {
        shell.log.AppendLine(LineWith("Unable to translate host ", server));
        Alert(shell);
        return;
    }
    WebRun web(shell, Dialer::Options{.connectTimeout = options.connectTimeout});

    const std::string requestLine = RequestLine("GET", page);
    const std::string unreferredLine =
        page.empty() ? std::string("Sent request for default page (no referrer)")
                     : LineWith("Sent request for: ", page + " (no referrer)");
    const std::string unreferred = ReplyName(0);
    if (!FetchInto(shell, web, address, resolved.addresses, server,
                   requestLine +
                       ComposeAgentPart(IdentityFor(shell.settings, host).userAgent, host),
                   unreferred, options, unreferredLine))
        return;
    const std::string unreferredPath = ReplyFilePath(options.folder, unreferred);
    const ReplyHeader first = ReadReplyHeader(unreferredPath, kReferrerHeaderBufferBytes);
    if (first.status == HeaderStatus::NotOpened) {
        shell.desktop.ShowMessage("Data file: " + unreferred + ".", "Fatal error");
        return;
    }
    if (first.status == HeaderStatus::NoHeader) {
        shell.log.AppendLine(LineWith("Unable to resolve header: ", page));
        Alert(shell);
        return;
    }
    if (const int code = ParseStatus(first.text); code != 0) {
        ReportUnavailable(shell, code, first.text);
        return;
    }

    for (int slot = 1; slot <= kReferrerSlots; ++slot) {
        const Slot referrer = SlotFor(shell, slot, host);
        const std::string name = ReplyName(slot);
        const std::string bytes =
            requestLine + "\r\nReferer: " + referrer.value +
            ComposeAgentPart(IdentityFor(shell.settings, host).userAgent, host);
        if (!FetchInto(shell, web, address, resolved.addresses, server, bytes, name, options,
                       LineWith("Sent request (referrer: ", referrer.sentLabel + ")")))
            return;
        const std::string path = ReplyFilePath(options.folder, name);
        const std::string slotSuffix = " (referrer: " + std::to_string(slot) + ")";
        const ReplyHeader header = ReadReplyHeader(path, kReferrerHeaderBufferBytes);
        if (header.status == HeaderStatus::NotOpened) {
            shell.desktop.ShowMessage("Data file: " + name + ".", "Fatal error");
            return;
        }
        if (header.status == HeaderStatus::NoHeader) {
            shell.log.AppendLine(LineWith("Unable to resolve header: ", page + slotSuffix));
            Alert(shell);
            return;
        }
        if (const int code = ParseStatus(header.text); code != 0) {
            ReportUnavailable(shell, code, header.text, slotSuffix);
            return;
        }
        const BodyComparison comparison =
            CompareBodies(path, header.text.size(), unreferredPath, first.text.size());
        if (comparison == BodyComparison::NotOpened) {
            shell.desktop.ShowMessage("Data file: " + unreferred + ".", "Fatal error");
            return;
        }
        if (comparison == BodyComparison::Differs) {
            shell.log.AppendHighlighted(
                LineWith("Page with no referrer differs from referer: ", referrer.verdictLabel));
            Alert(shell);
        } else {
            shell.log.AppendLine(LineWith("No referrer variance: ", referrer.verdictLabel));
        }
    }
}

} // namespace korvane
