#include "databases/url_submission.h"

#include "databases/record_messages.h"
#include "net/http.h"
#include "net/tcp.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "web/web_run.h"

#include <array>
#include <cstdio>

namespace korvane {

namespace {

constexpr const char* kReplyFile = "the1.html";
// A reply header may be as long as a server makes it; it is read whole, up to this size.
constexpr std::size_t kHeaderLimit = 1 << 20;

bool KeptAsIs(unsigned char byte) {
    return byte == '=' || byte == '.' || byte == '&' || byte == '+' ||
           (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'z');
}

void Warn(Shell& shell, const std::string& line) {
    shell.log.AppendLine(line);
    Alert(shell);
}

enum class ReplyEnd { Closed, TimedOut, NotStored };

// Receives until the server closes, or the limit from `sent` has passed. A reply that the file
// cannot take whole (a full disk) is not stored.
ReplyEnd ReceiveUntil(Stream& stream, int file, std::chrono::steady_clock::time_point sent,
                      std::chrono::milliseconds limit) {
    std::array<char, kReceiveChunkBytes> chunk{};
    const auto deadline = sent + limit;
    bool stored = true;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return ReplyEnd::TimedOut;
        const Received got = stream.Receive(chunk, left);
        if (got.status == Received::Status::TimedOut)
            return ReplyEnd::TimedOut;
        if (got.status != Received::Status::Data)
            return stored ? ReplyEnd::Closed : ReplyEnd::NotStored;
        if (stored)
            stored = WriteAll(file, chunk.data(), got.bytes);
    }
}

enum class EngineEnd { Next, EndRun };

EngineEnd SubmitToEngine(Shell& shell, WebRun& web, const SubmissionInput& input,
                         const SearchEngineRecord& engine) {
    const std::string host = engine.Text(engine::BaseUrl);
    AppendDetail(shell, "Resolving server");
    const ServerAddress server = ServerOf(host);
    const Resolution resolved = Resolve(server, AddressFamily::IPv4);
    if (resolved.error != 0) {
        Warn(shell, "Unable to translate host " + host);
        return EngineEnd::Next;
    }
    Opened opened = web.Open(server, resolved.addresses, host, LogSink(shell));
    if (!opened.stream) {
        shell.log.AppendLine("Unable to communicate: " + host);
        shell.log.AppendLine("  ");
        return EngineEnd::Next;
    }
    Stream& stream = *opened.stream;
    const std::string request = SubmissionRequest(shell, engine, input.url, input.email);
    if (const auto error = stream.Send(request, kSubmitSendTimeout)) {
        Warn(shell, "Send error #" + std::to_string(*error) + ".");
        return EngineEnd::Next;
    }
    AppendDetail(shell, "Sent request.");
    const auto sent = std::chrono::steady_clock::now();

    const std::string replyPath = ReplyFilePath(input.workFolder, kReplyFile);
    ReplyFileHold hold = HoldReplyFile(shell, replyPath, kReplyFile);
    FileDescriptor reply = OpenForRewrite(replyPath);
    if (!reply.IsOpen()) {
        shell.log.AppendLine("Data file: the1.html.");
        return EngineEnd::EndRun;
    }
    ReplyEnd received = ReceiveUntil(stream, reply.Get(), sent, input.replyLimit);
    const bool ended = FinishRewrite(reply.Get());
    if (!reply.Close() || !ended)
        received = ReplyEnd::NotStored;
    opened.stream.reset();
    if (received == ReplyEnd::NotStored) {
        shell.log.AppendLine("Data file: the1.html.");
        return EngineEnd::EndRun;
    }
    if (received == ReplyEnd::TimedOut) {
        shell.log.AppendLine("Timed out.");
        Warn(shell, "  ");
        return EngineEnd::Next;
    }
    shell.log.AppendLine("Reply received.");
    const ReplyHeader header = ReadReplyHeader(replyPath, kHeaderLimit);
    if (header.status == HeaderStatus::NotOpened)
        return EngineEnd::EndRun;
    if (header.status != HeaderStatus::Found) {
        shell.log.AppendLine("Unable to resolve header.");
        Warn(shell, "  ");
        return EngineEnd::Next;
    }
    if (const int code = ParseStatus(header.text); code != 0) {
        if (const auto text = StatusText(code))
            shell.log.AppendLine(std::string(*text));
        shell.log.AppendLine(host);
        shell.log.AppendLine("File is not available. Server code: " + std::to_string(code));
        Warn(shell, "  ");
        return EngineEnd::Next;
    }
    shell.log.AppendLine(host);
    shell.log.AppendLine("Success, server completed request, code 200");
    shell.log.AppendLine("  ");
    return EngineEnd::Next;
}

} // namespace

std::string FormEncode(std::string_view text) {
    std::string encoded;
    encoded.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (KeptAsIs(byte)) {
            encoded += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            encoded += escaped;
        }
    }
    return encoded;
}

std::string FormBody(const SearchEngineRecord& engine, std::string_view url,
                     std::string_view email) {
    std::string body = engine.Text(engine::UrlFormName) + "=" + std::string(url);
    if (const std::string emailName = engine.Text(engine::EmailFormName); !emailName.empty())
        body += "&" + emailName + "=" + std::string(email);
    for (std::size_t row = 0; row < engine::kExtraRows; ++row) {
        const std::string name = engine.Text(engine::ExtraField(row));
        if (name.empty())
            continue;
        body += "&" + name + "=" + engine.Text(engine::ExtraValue(row));
    }
    return FormEncode(body);
}

std::string SubmissionRequest(const Shell& shell, const SearchEngineRecord& engine,
                              std::string_view url, std::string_view email) {
    const std::string host = HostHeaderValue(ServerOf(engine.Text(engine::BaseUrl)));
    const std::string script = engine.Text(engine::ScriptPath);
    const std::string body = FormBody(engine, url, email);
    if (engine.Int32At(engine::kMethodOffset) == engine::kMethodPost) {
        return "POST /" + script + " HTTP/1.0" +
               "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
               std::to_string(body.size()) + ComposeHeaderBlock(shell.settings, host) + body +
               "\r\n\r\n";
    }
    return "GET /" + script + "?" + body + " HTTP/1.0" + ComposeHeaderBlock(shell.settings, host);
}

void SubmissionRun(Shell& shell, const SubmissionInput& input) {
    BusyRelease release(shell.busy, BusyFlag::HeaderAndSubmit);
    shell.log.AppendLine("  ");
    shell.log.AppendHighlighted("Submit URL: " + input.url);
    AppendDetail(shell, "Initialized: " + std::string(kSocketStatusText));
    bool ended = false;
    WebRun web(shell);
    const bool read =
        WalkRecords(shell, shell.records.engines, kLowestRecordNumber,
                    [&](std::int64_t, const SearchEngineRecord& engine) {
                        // An entry without a host or URL field name is passed over
                        // without a word.
                        ended = !engine.Text(engine::BaseUrl).empty() &&
                                !engine.Text(engine::UrlFormName).empty() &&
                                SubmitToEngine(shell, web, input, engine) == EngineEnd::EndRun;
                        return !ended;
                    });
    if (!read) {
        shell.desktop.ShowMessage("Data file: urlsubmit.dat, not present.", "Fatal error");
        return;
    }
    if (ended)
        return;
    shell.log.AppendLine("Complete");
    shell.log.AppendLine("  ");
}

void SubmitUrlCommand(Shell& shell) {
    if (RefuseWhileBusy(shell.busy, BusyFlag::HeaderAndSubmit, shell.desktop))
        return;
    Form form;
    form.name = "Submit URL";
    form.title = "Submit URL";
    form.fields.push_back(FormField::TextBox("URL", "URL", "http://www.", 199));
    form.fields.push_back(FormField::TextBox("Email", "Email", "info@", 199));
    // Both are starts for the user to complete.
    form.fields[0].caretAtEnd = form.fields[1].caretAtEnd = true;
    form.fields.push_back(
        FormField::NoteText("A POST or GET request is used to emulate an HTML form. "));
    form.fields.push_back(FormField::NoteText(
        "The base requirement for each database entry is the URL field name. The email is also "
        "often required and is used if the database field has been populated."));
    form.buttons = Form::OkCancel();
    form.focusField = "URL";
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    shell.settings.Set(field::ServerField(DialogSlot::SubmitUrl), form.Field("URL").text);
    shell.settings.Set(field::SecondField(DialogSlot::SubmitUrl), form.Field("Email").text);
    SubmissionInput input;
    input.url = shell.settings.Get(field::ServerField(DialogSlot::SubmitUrl));
    input.email = shell.settings.Get(field::SecondField(DialogSlot::SubmitUrl));
    shell.busy.Set(BusyFlag::HeaderAndSubmit);
    if (!shell.threads.Start([&shell, input] { SubmissionRun(shell, input); })) {
        shell.busy.Clear(BusyFlag::HeaderAndSubmit);
        shell.desktop.ShowMessage("Unable to start thread", "Problem");
    }
}

} // namespace korvane
