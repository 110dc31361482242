// TLS against the test network's nginx, one address per certificate case, with the test CA as
// the only trusted one (SSL_CERT_FILE, set by netns-run.sh).
#include "net/tls.h"

#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

namespace korvane {
namespace {

using Kind = CertificateProblem::Kind;
using std::chrono::milliseconds;

std::unique_ptr<SocketStream> Dial(const std::string& host, std::uint16_t port) {
    const Resolution resolved = ResolveIPv4(host, port);
    Connection connection = Connect(resolved.addresses);
    EXPECT_NE(connection.stream, nullptr) << host << ":" << port;
    return std::move(connection.stream);
}

// Asks for the site's default page over `stream` and gives back the whole reply.
std::string Fetch(Stream& stream, const std::string& host) {
    EXPECT_EQ(stream.Send("GET / HTTP/1.0\r\nHost: " + host + "\r\n\r\n", milliseconds(5000)),
              std::nullopt);
    std::string reply;
    char buffer[4096];
    for (Received got;
         (got = stream.Receive(buffer, milliseconds(5000))).status == Received::Status::Data;)
        reply.append(buffer, got.bytes);
    return reply;
}

// Rounded to the nearest day: the certificates were made moments ago, relative to then.
int DaysLeft(const CertificateFacts& facts) {
    return static_cast<int>(std::lround((facts.notAfter - std::time(nullptr)) / 86400.0));
}

TEST(Tls, EachCertificateCaseGivesItsFactsAndOnlyATrustedOneAStream) {
    KORVANE_REQUIRE_TEST_NETWORK();
    struct Row {
        const char* host;
        Kind problem;
        const char* name; // the first name the certificate is for, and its common name
        int daysLeft;
        const char* reason;
        const char* protocol;
    };
    const Row rows[] = {
        {"site.test", Kind::None, "site.test", 400, "", "TLSv1.3"},
        {"127.0.0.1", Kind::None, "site.test", 400, "", "TLSv1.3"},
        {"soon.test", Kind::None, "soon.test", 5, "", "TLSv1.2"},
        {"expired.test", Kind::Expired, "expired.test", -7, "", "TLSv1.3"},
        {"wrong.test", Kind::WrongHost, "www.other.test", 400, "", "TLSv1.3"},
        {"self.test", Kind::Untrusted, "self.test", 400, "self-signed certificate", "TLSv1.3"},
    };
    TlsClient client;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.host);
        auto plain = Dial(row.host, 443);
        ASSERT_NE(plain, nullptr);
        const TlsResult result = client.Open(*plain, row.host, 443);
        ASSERT_TRUE(result.certificate.has_value()) << result.failure;
        EXPECT_EQ(result.problem.kind, row.problem);
        EXPECT_EQ(result.problem.reason, row.reason);
        EXPECT_EQ(result.certificate->names.front(), row.name);
        EXPECT_EQ(result.certificate->protocol, row.protocol);
        EXPECT_EQ(result.certificate->subject, std::string("CN = ") + row.name);
        EXPECT_EQ(DaysLeft(*result.certificate), row.daysLeft);
        EXPECT_EQ(result.stream != nullptr, row.problem == Kind::None);
        if (result.stream) {
            EXPECT_TRUE(Fetch(*result.stream, row.host).starts_with("HTTP/1.1 200 OK\r\n"));
        }
    }
}

TEST(Tls, AnUntrustedCertificateIsAcceptedOnlyWhenAskedAndStillNamed) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TlsClient lenient({.acceptUntrusted = true});
    auto plain = Dial("self.test", 443);
    const TlsResult result = lenient.Open(*plain, "self.test", 443);
    ASSERT_NE(result.stream, nullptr);
    EXPECT_EQ(result.problem.kind, Kind::Untrusted);
    EXPECT_TRUE(Fetch(*result.stream, "self.test").starts_with("HTTP/1.1 200 OK\r\n"));
}

TEST(Tls, LaterConnectionsOfARunResumeTheirSessionAndCarryItsVerdict) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TlsClient run;
    TlsClient lenient({.acceptUntrusted = true});
    // TLS 1.3 and, on soon.test, TLS 1.2; and a session whose certificate was accepted untrusted.
    const std::pair<TlsClient*, const char*> cases[] = {
        {&run, "site.test"}, {&run, "soon.test"}, {&lenient, "self.test"}};
    for (const auto& [client, host] : cases) {
        SCOPED_TRACE(host);
        for (int n = 0; n < 3; ++n) {
            auto plain = Dial(host, 443);
            const TlsResult result = client->Open(*plain, host, 443);
            ASSERT_NE(result.stream, nullptr);
            EXPECT_EQ(result.resumed, n > 0);
            EXPECT_EQ(result.problem.kind, client == &run ? Kind::None : Kind::Untrusted);
            // A TLS 1.3 server hands its session over after the handshake, with the first reply.
            EXPECT_TRUE(Fetch(*result.stream, host).starts_with("HTTP/1.1 200 OK\r\n"));
        }
    }
    // Another run starts afresh.
    TlsClient next;
    auto plain = Dial("site.test", 443);
    EXPECT_FALSE(next.Open(*plain, "site.test", 443).resumed);
}

TEST(Tls, WritingToAServerThatHasGoneIsAnErrorNotASignal) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TlsClient client;
    auto plain = Dial("site.test", 443);
    const TlsResult result = client.Open(*plain, "site.test", 443);
    ASSERT_NE(result.stream, nullptr);
    Fetch(*result.stream, "site.test"); // the server closes after its reply
    std::optional<int> error;
    for (int n = 0; n < 50 && !error; ++n) {
        error = result.stream->Send(std::string(4096, 'x'), milliseconds(1000));
        std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_TRUE(error.has_value());
}

TEST(Tls, AServerThatDoesNotSpeakTlsEndsTheHandshakeWithTheReason) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TlsClient client;
    auto plain = Dial("site.test", 80);
    const TlsResult result = client.Open(*plain, "site.test", 80, milliseconds(5000));
    EXPECT_EQ(result.stream, nullptr);
    EXPECT_FALSE(result.certificate.has_value());
    EXPECT_EQ(result.error, EPROTO);
    EXPECT_FALSE(result.failure.empty());
}

TEST(Tls, APeerThatNeverAnswersTheHelloEndsWithTheTimeLimit) {
    auto [ours, theirs] = test::SocketPair();
    SocketStream plain(std::move(ours));
    TlsClient client;
    const auto start = std::chrono::steady_clock::now();
    const TlsResult result = client.Open(plain, "site.test", 443, milliseconds(300));
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(300));
    EXPECT_EQ(result.stream, nullptr);
    EXPECT_EQ(result.error, ETIMEDOUT);
}

} // namespace
} // namespace korvane
