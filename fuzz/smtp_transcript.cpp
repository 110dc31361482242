// The mail client against any server transcript. It never hangs, it calls the greeting or a
// message a success exactly when every reply it needed had the code it asked for, and what it
// sends is well-formed: CR LF line ends, the text dot-stuffed and sent only after the server
// asked for it.
//
// Input: NUL-separated fields: options (first byte: bit 0 the server hangs up before the
// dialogue, bits 1-2 the number of messages, bit 3 the server never reads), HELO name, sender,
// recipient, subject, body lines (separated by 0x01), then the server's bytes, which may hold
// anything.
#include "fuzz_shell.h"
#include "net/smtp.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace korvane;

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> pieces;
    for (;;) {
        const std::size_t at = text.find(separator);
        pieces.emplace_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return pieces;
        text.remove_prefix(at + 1);
    }
}

// The callers refuse header values with a line break; here it becomes a blank.
std::string HeaderValue(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

// The server's replies as RFC 5321 reads the stream: each ends with its first line whose code is
// not followed by "-". Only replies that ended count; their last lines are kept.
std::vector<std::string> Replies(std::string_view stream) {
    std::vector<std::string> replies;
    std::vector<std::string> lines = Split(stream, '\n');
    lines.pop_back(); // no line end after it: part of no reply
    for (const std::string& line : lines)
        if (line.size() < 4 || line[3] != '-')
            replies.push_back(line);
    return replies;
}

bool Says(const std::string& line, char expected) {
    return line.size() >= 3 && line[0] == expected && line[1] >= '0' && line[1] <= '9' &&
           line[2] >= '0' && line[2] <= '9';
}

// Every line ends with CR LF, and no CR or LF stands anywhere else.
void CheckLineEnds(const std::string& sent) {
    if (!sent.empty() && !sent.ends_with("\r\n"))
        __builtin_trap();
    for (std::size_t i = 0; i < sent.size(); ++i)
        if ((sent[i] == '\r') != (i + 1 < sent.size() && sent[i + 1] == '\n') ||
            (sent[i] == '\n' && (i == 0 || sent[i - 1] != '\r')))
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (fields.size() < 6 && at <= input.size()) {
        const std::size_t end = std::min(input.find('\0', at), input.size());
        fields.emplace_back(input.substr(at, end - at));
        at = end + 1;
    }
    fields.resize(6);
    const std::string transcript(input.substr(std::min(at, input.size())));
    const auto options = static_cast<unsigned char>(fields[0].empty() ? 0 : fields[0][0]);
    const bool hangUp = options & 1;
    const bool stalled = !hangUp && (options & 8);
    const int messageCount = (options >> 1) & 3;
    const std::string server = HeaderValue(fields[1]);
    const std::string sender = HeaderValue(fields[2]);
    MailMessage message;
    message.recipient = HeaderValue(fields[3]);
    message.subject = HeaderValue(fields[4]);
    message.bodyLines = Split(fields[5], '\x01');

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    FileDescriptor peer(pair[1]);
    // Everything the server says is there at once; then it says no more, or hangs up at once.
    if (!WriteAll(peer.Get(), transcript.data(), transcript.size()))
        __builtin_trap();
    std::string received;
    std::thread reader;
    if (hangUp) {
        peer.Close();
    } else {
        ::shutdown(peer.Get(), SHUT_WR);
        // Like a real server it takes in what the client sends as it comes, unless it stopped.
        if (!stalled)
            reader = std::thread([&] {
                char piece[4096];
                for (ssize_t n; (n = ::recv(peer.Get(), piece, sizeof piece, 0)) > 0;)
                    received.append(piece, static_cast<std::size_t>(n));
            });
    }

    fuzz::FuzzShell f("/tmp");
    // With a server that stopped reading, a send gives up after the time limit.
    SmtpSession session([&f](std::string_view line) { f.shell.log.AppendLine(line); },
                        std::chrono::milliseconds(stalled ? 50 : 5000));
    session.Attach(std::make_unique<SocketStream>(FileDescriptor(pair[0])));
    const auto started = std::chrono::steady_clock::now();
    const bool greeted = session.Greet(server);
    std::vector<bool> sent;
    for (int i = 0; i < messageCount; ++i)
        sent.push_back(session.Send(sender, message));
    session.Quit();
    if (reader.joinable())
        reader.join();
    // The server's end of the stream is always there to see, and a stalled send gives up once:
    // nothing may wait longer.
    if (std::chrono::steady_clock::now() - started > std::chrono::seconds(2))
        __builtin_trap();

    // What the client should have done, reply by reply, when all it sent arrived.
    const std::vector<std::string> replies = Replies(transcript);
    std::size_t next = 0;
    const auto reply = [&](char expected) {
        return next < replies.size() && Says(replies[next++], expected);
    };
    std::string expected = "HELO " + server + "\r\n";
    const bool welcomed = reply('2');
    const bool shouldGreet = reply('2') && welcomed;
    std::vector<bool> shouldSend;
    for (int i = 0; i < messageCount; ++i) {
        expected += "MAIL FROM:<" + sender + ">\r\n";
        bool asked = reply('2');
        if (asked) {
            expected += "RCPT TO:<" + message.recipient + ">\r\n";
            asked = reply('2');
        }
        if (asked) {
            expected += "DATA\r\n";
            asked = reply('3');
        }
        if (!asked) {
            expected += "RSET\r\n";
            reply('2');
            shouldSend.push_back(false);
            continue;
        }
        expected += "FROM: " + sender + "\r\nTO: " + message.recipient +
                    "\r\nSUBJECT: " + message.subject + "\r\n";
        for (std::string line : message.bodyLines) {
            for (char& c : line)
                if (c == '\r' || c == '\n')
                    c = ' ';
            expected += (line.starts_with(".") ? "." : "") + line + "\r\n";
        }
        expected += "\r\n.\r\n";
        shouldSend.push_back(reply('2'));
    }
    expected += "QUIT\r\n";

    if (hangUp || stalled) {
        // Nothing (or not all) of what the client said arrived: it may call a step a success
        // only where the replies said so, and after a send failed nothing at all.
        if (greeted && (hangUp || !shouldGreet))
            __builtin_trap();
        for (std::size_t i = 0; i < sent.size(); ++i)
            if (sent[i] && (hangUp || !shouldSend[i]))
                __builtin_trap();
        return 0;
    }
    CheckLineEnds(received);
    if (greeted != shouldGreet || sent != shouldSend || received != expected)
        __builtin_trap();
    return 0;
}
