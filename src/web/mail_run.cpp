#include "web/mail_run.h"

#include "shell/shell.h"
#include "web/web_run.h"

#include <cstring>

namespace korvane {

namespace {

// The handshake's outcome, worded as for the web runs; true when the dialogue goes on encrypted.
bool Secured(SmtpSession& session, const TlsResult& tls, const std::string& server,
             const OpenWording& wording, const LineSink& log) {
    if (tls.problem.kind != CertificateProblem::Kind::None) {
        const std::string line = CertificateProblemLine(tls.problem, tls.certificate, server);
        if (!session.IsSecure()) {
            wording.failure(line);
            return false;
        }
        log("Warning: untrusted certificates are accepted in this run");
        log(line);
        return true;
    }
    if (session.IsSecure())
        return true;
    wording.failure("Secure connection failed: " +
                    (tls.failure.empty() ? std::string(std::strerror(tls.error)) : tls.failure));
    return false;
}

} // namespace

OpenedMail OpenMail(Shell& shell, SmtpSession& session, const MailJob& job,
                    const OpenWording& wording) {
    const LineSink log = LogSink(shell);
    const auto abort = [&] {
        log("Transmission aborted");
        if (!wording.abortEnd.empty())
            log(wording.abortEnd);
        return OpenedMail{};
    };
    const MailAccount& account = job.account;
    const MailSecurity security = EffectiveSecurity(account);
    if (!account.user.empty() && security == MailSecurity::None) {
        wording.failure(kPasswordNeedsEncryption);
        return abort();
    }
    std::optional<std::string> password;
    if (!account.user.empty()) {
        password = shell.desktop.Secret(MailSecretKey(job.server, account.user),
                                        "Password for " + account.user + " at " + job.server);
        if (!password)
            return abort();
    }
    if (!session.Open(job.server, wording, account.port))
        return {};
    const std::uint16_t port = account.port != 0 ? account.port : MailPort();
    const TlsClient::Options tls{AcceptUntrustedCertificates(shell.settingsFile)};
    if (security == MailSecurity::Tls &&
        !Secured(session, session.Secure(tls, job.server, port), job.server, wording, log))
        return abort();
    const bool welcomed = session.ReadGreeting();
    if (security == MailSecurity::None)
        return {true, session.Helo(job.server) && welcomed};

    bool greeted = session.Ehlo(job.server);
    if (security == MailSecurity::StartTls) {
        if (!session.Offers("STARTTLS") || !session.StartTls()) {
            wording.failure(kNoStartTls);
            return abort();
        }
        if (!Secured(session, session.Secure(tls, job.server, port), job.server, wording, log))
            return abort();
        greeted = session.Ehlo(job.server);
    }
    if (password) {
        switch (session.Authenticate(account.user, *password)) {
        case SmtpSession::AuthResult::Accepted:
            break;
        case SmtpSession::AuthResult::NoMechanism:
            wording.failure(kNoLogin);
            return abort();
        case SmtpSession::AuthResult::NotEncrypted:
            wording.failure(kPasswordNeedsEncryption);
            return abort();
        case SmtpSession::AuthResult::Refused: // the server's reply is logged
            return abort();
        }
    }
    return {true, greeted && welcomed};
}

} // namespace korvane
