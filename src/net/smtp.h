#pragma once

#include "net/tcp.h"
#include "net/tls.h"
#include "shell/mail_account.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Replies are received in pieces of at most this many bytes; of a longer line only its code is
// kept.
inline constexpr std::size_t kSmtpReplyBytes = 4096;
inline constexpr std::size_t kSmtpReplyMaxLines = 100;
inline constexpr std::uint16_t kSmtpDefaultPort = 25;
// The port where mail servers speak TLS from the first byte.
inline constexpr std::uint16_t kSmtpsPort = 465;
inline constexpr std::size_t kMailTextMaxChars = 997;
inline constexpr std::size_t kMailAddressMaxChars = 79;

// What a mail worker is handed; the worker keeps its own copy, so a job started later cannot
// change one already running.
struct MailJob {
    std::string server;    // the "SMTP server" setting
    std::string recipient; // the alert mailer's recipient
    std::string sender;    // MAIL FROM and the FROM header line
    MailAccount account;   // port, encryption, user
};

// The security a job really gets: port 465 speaks TLS from the first byte whatever was chosen.
MailSecurity EffectiveSecurity(const MailAccount& account);

struct MailMessage {
    std::string recipient;
    std::string subject;
    std::vector<std::string> bodyLines;
};

// The message text cut into the lines that are sent: at each CR LF, and at a CR or LF standing
// alone (a bare line feed is no line end in mail), and at the end of the text.
std::vector<std::string> MailBodyLines(std::string_view text);

// An address or subject holding a line break could add commands to the dialogue: refused.
bool SafeMailHeaderValue(std::string_view value);

// Where the session's lines go: the session log of the tool that mails.
using MailLineSink = std::function<void(std::string_view)>;

// How a mail tool tells that its session did not open; the rest of the report is the same for
// every tool.
struct OpenWording {
    std::string_view notResolved; // the failure when the server's name does not resolve
    std::string_view abortEnd;    // a line logged after "Transmission aborted", when not empty
    // Where a failure goes: a log line, or a message box.
    std::function<void(std::string_view)> failure;
};

// One SMTP dialogue over one TCP connection. Each reply is read whole, all lines of it, and its
// code decides whether the step was accepted. A failed or closed connection is logged ("Email
// error: %s"), a reply with another code ("Email refused: %s"); the dialogue then goes on.
class SmtpSession {
  public:
    explicit SmtpSession(MailLineSink log, std::chrono::milliseconds replyTimeout = kReplyTimeout,
                         std::chrono::milliseconds connectTimeout = kConnectTimeout);

    // Resolves the server (a dotted address by address, anything else by name; the first address
    // is used), connects to `port`, when it is 0 to the "mail" service's port, or 25, and logs
    // where the server was found
    // ("Located mail server %s, IP: %s"); a failure is told as the wording says. True when
    // connected.
    bool Open(const std::string& server, const OpenWording& wording, std::uint16_t port = 0);
    // Holds the dialogue on a stream that is already connected, as Open does on its own.
    void Attach(std::unique_ptr<Stream> stream);

    // Reads the greeting and says HELO with the server's name as configured; true when the
    // server welcomed us and accepted HELO.
    bool Greet(const std::string& server);
    bool ReadGreeting();
    bool Helo(const std::string& server);
    // EHLO with the server's name; true when accepted. The extensions offered are kept, each
    // line's words in capitals ("AUTH PLAIN LOGIN"), until the next EHLO.
    bool Ehlo(const std::string& server);
    bool Offers(std::string_view keyword) const;

    // Asks for STARTTLS; true when the server is ready for the handshake.
    bool StartTls();
    // The TLS handshake on the connection, from its first byte or after StartTls. With a trusted
    // (or accepted) certificate the dialogue goes on encrypted; the result tells what happened
    // (its stream is the session's now).
    TlsResult Secure(TlsClient::Options options, const std::string& host, std::uint16_t port);
    bool IsSecure() const { return m_secure; }

    enum class AuthResult { Accepted, NotEncrypted, NoMechanism, Refused };
    // AUTH PLAIN, or AUTH LOGIN where the server offers only that. Never over a connection that
    // is not encrypted. A refusal is logged with the server's reply ("Email refused: %s").
    AuthResult Authenticate(const std::string& user, const std::string& password);
    // MAIL FROM, RCPT TO, DATA, the header lines, the body lines and the end marker; true only
    // when the server accepted every step. The text goes out only once the server has asked for
    // it: after a refusal the transaction is reset instead, so that no line of the text can be
    // read as a command.
    bool Send(const std::string& sender, const MailMessage& message);
    void Quit();

    // A reply that has not come whole within this time counts as a failed receive, and a send
    // that cannot go on for this long (a server that stopped reading) as a failed send.
    static constexpr std::chrono::milliseconds kReplyTimeout{30000};

  private:
    enum class OpenResult { Connected, NotResolved, NoSocket, NotConnected };
    OpenResult Connect(const std::string& server, std::uint16_t port);
    // False, after logging the label, when sending failed now or at an earlier send.
    bool SendStep(std::string_view bytes, const char* label);
    // Reads one reply whole: its lines, without their ends. Nothing, after logging the label,
    // when the receive failed or a send failed before.
    std::optional<std::vector<std::string>> ReadReply(const char* label);
    // Reads one reply; true when it came and its code begins with `expected` ('2' or '3').
    // False, after logging the label, when the receive failed or a send failed before.
    bool ReceiveStep(const char* label, char expected);
    // True when the reply's code begins with `expected`; otherwise logs the refusal.
    bool Judge(const std::vector<std::string>& reply, const char* label, char expected);
    // A command and its reply.
    bool Step(std::string_view command, const char* sendLabel, const char* receiveLabel,
              char expected);

    MailLineSink m_log;
    std::chrono::milliseconds m_replyTimeout;
    std::chrono::milliseconds m_connectTimeout;
    // Before the stream: an encrypted stream hands its sessions to the client while it lives.
    std::unique_ptr<TlsClient> m_tls;
    std::unique_ptr<Stream> m_stream;
    SocketStream* m_socket = nullptr; // m_stream while it is a plain connection, for TLS
    bool m_secure = false;
    std::vector<std::string> m_extensions; // of the last EHLO reply
    std::string m_address;                 // the dotted address connected to, or tried
    std::string m_unread;                  // what the server sent beyond the last reply read
    // After a failed send the connection is given up: the later steps are logged as failed
    // without waiting on it, each for as long as the time limit, for replies that cannot come.
    bool m_sendFailed = false;
};

// The port of the "mail" service in the system's services list, or 25.
std::uint16_t MailPort();

} // namespace korvane
