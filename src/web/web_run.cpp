#include "web/web_run.h"

#include "shell/session_log.h"
#include "shell/settings_file.h"
#include "shell/shell.h"

#include <cstring>
#include <ctime>

namespace korvane {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

} // namespace

LineSink LogSink(Shell& shell) {
    return [&shell](std::string_view line) { shell.log.AppendLine(line); };
}

ReplyFileHold HoldReplyFile(Shell& shell, const std::string& path, std::string_view name) {
    return ReplyFileHold(shell.run.replyFiles, path, [&] {
        shell.log.AppendLine("Waiting for " + std::string(name) + ": another run is using it");
    });
}

WebPreferences WebPreferencesOf(const Shell& shell) {
    return {AcceptUntrustedCertificates(shell.settingsFile),
            CertificateWarningDays(shell.settingsFile), FollowRedirects(shell.settingsFile)};
}

ServerAddress ServerOf(std::string_view text) {
    if (auto parsed = ParseServerAddress(text))
        return *parsed;
    ServerAddress bare;
    bare.host = std::string(text);
    bare.bare = true;
    return bare;
}

std::string CertificateDate(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
    return text;
}

std::string CertificateProblemLine(const CertificateProblem& problem,
                                   const std::optional<CertificateFacts>& facts,
                                   std::string_view host) {
    switch (problem.kind) {
    case CertificateProblem::Kind::Untrusted:
        return "Certificate not trusted: " + problem.reason;
    case CertificateProblem::Kind::Expired:
        return "Certificate expired on " + (facts ? CertificateDate(facts->notAfter) : "?");
    case CertificateProblem::Kind::NotYetValid:
        return "Certificate not yet valid";
    case CertificateProblem::Kind::WrongHost: {
        std::string names;
        if (facts)
            for (const std::string& name : facts->names)
                names += (names.empty() ? "" : ", ") + name;
        return "Certificate is for " + names + ", not " + std::string(host);
    }
    case CertificateProblem::Kind::None:
        break;
    }
    return {};
}

WebRun::WebRun(Shell& shell, Dialer::Options options)
    : m_shell(shell), m_preferences(WebPreferencesOf(shell)), m_dialer([&] {
          options.acceptUntrusted = m_preferences.acceptUntrusted;
          return options;
      }()) {}

Opened WebRun::Open(const ServerAddress& server, std::span<const Endpoint> addresses,
                    std::string_view shownServer, const LineSink& tell,
                    const DialWording& wording) {
    Dialed dialed = m_dialer.Open(server, addresses);
    for (const ConnectFailure& failure : dialed.connectFailures)
        if (wording.tellsConnectFailures)
            tell(std::string(failure.step == ConnectFailure::Step::Socket ? wording.socketFailure
                                                                          : "Unable to connect: ") +
                 std::string(shownServer));
    Opened opened;
    opened.outcome = dialed.outcome;
    opened.connectFailures = std::move(dialed.connectFailures);
    if (dialed.certificate)
        opened.certificateNotAfter = dialed.certificate->notAfter;
    if (dialed.secure && m_preferences.acceptUntrusted && !m_untrustedWarned.exchange(true))
        tell("Warning: untrusted certificates are accepted in this run");
    if (dialed.outcome == Dialed::Outcome::HandshakeFailed) {
        tell("Secure connection failed: " + (dialed.handshakeFailure.empty()
                                                 ? std::string(std::strerror(dialed.handshakeError))
                                                 : dialed.handshakeFailure));
        Alert(m_shell);
        return opened;
    }
    if (dialed.outcome == Dialed::Outcome::CertificateRefused) {
        tell(CertificateProblemLine(dialed.problem, dialed.certificate, server.host));
        Alert(m_shell);
        return opened;
    }
    const auto firstTime = [&] {
        const std::lock_guard lock(m_mutex);
        return m_described.insert(server.host + ":" + std::to_string(server.port)).second;
    };
    opened.stream = std::move(dialed.stream);
    if (!dialed.secure || !firstTime())
        return opened;
    // An untrusted certificate the run accepts is still named, once.
    if (dialed.problem.kind != CertificateProblem::Kind::None)
        tell(CertificateProblemLine(dialed.problem, dialed.certificate, server.host));
    if (dialed.certificate) {
        const CertificateFacts& facts = *dialed.certificate;
        // The real clock, as the certificate check itself reads it.
        const std::int64_t left = facts.notAfter - static_cast<std::int64_t>(std::time(nullptr));
        // Whole days, counted up: a certificate that ends in four and a half days ends in five.
        const std::int64_t days = left <= 0 ? 0 : (left + kSecondsPerDay - 1) / kSecondsPerDay;
        const std::string date = CertificateDate(facts.notAfter);
        if (wording.certificateFacts && m_shell.settings.IsOn(field::DetailFlag)) {
            tell("Protocol: " + facts.protocol);
            tell("Subject: " + facts.subject);
            tell("Issuer: " + facts.issuer);
            tell("Certificate valid until " + date + " (" + std::to_string(days) + " days)");
        }
        opened.expiresSoon = m_preferences.certificateWarningDays > 0 &&
                             left <= m_preferences.certificateWarningDays * kSecondsPerDay;
        if (wording.expiryWarning && opened.expiresSoon)
            tell("Certificate expires in " + std::to_string(days) + " days (" + date + ")");
    }
    return opened;
}

} // namespace korvane
