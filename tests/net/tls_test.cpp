// TLS against the test network's nginx, with the test CA as the only trusted one (SSL_CERT_FILE,
// set by netns-run.sh). What each certificate case gives is told through the tools' own runs.
#include "net/tls.h"

#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <chrono>
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
