#include "net/smtp.h"
#include "net/tcp.h"

#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace korvane {
namespace {

using std::chrono::milliseconds;

void DoNothing(int) {}

// Runs `wait` while its thread is interrupted by a signal every few milliseconds, for at most
// three seconds: a wait that starts again from the beginning after each signal would not end
// before the storm does. Without SA_RESTART, as a signal from anywhere may come.
int UnderSignalStorm(const std::function<int()>& wait) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = DoNothing;
    ::sigaction(SIGUSR1, &action, &previous);
    std::atomic<bool> stop = false;
    std::thread storm([&stop, target = ::pthread_self()] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!stop && std::chrono::steady_clock::now() < end) {
            ::pthread_kill(target, SIGUSR1);
            std::this_thread::sleep_for(milliseconds(5));
        }
    });
    const int ended = wait();
    stop = true;
    storm.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    return ended;
}

TEST(Stream, ASignalNeitherEndsAWaitEarlyNorStartsItAgain) {
    const milliseconds limit(300);
    struct Case {
        const char* name;
        // Waits as the case says and returns the error or status the wait ended with.
        std::function<int()> wait;
        int expected;
    };
    const std::vector<Case> cases = {
        {"receive from a peer that says nothing",
         [&] {
             auto ends = test::SocketPair();
             SocketStream stream(std::move(ends[0]));
             char buffer[16];
             return static_cast<int>(stream.Receive(buffer, limit).status);
         },
         static_cast<int>(Received::Status::TimedOut)},
        {"send to a peer that stopped reading",
         [&] {
             auto ends = test::SocketPair();
             const std::string piece(64 * 1024, 'x');
             while (::send(ends[0].Get(), piece.data(), piece.size(), MSG_DONTWAIT) > 0) {
             }
             SocketStream stream(std::move(ends[0]));
             return stream.Send(piece, limit).value_or(0);
         },
         EAGAIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(UnderSignalStorm(c.wait), c.expected);
        const auto waited = std::chrono::steady_clock::now() - started;
        EXPECT_GE(waited, limit);
        EXPECT_LT(waited, milliseconds(2000));
    }
}

TEST(SmtpSession, AServerThatStopsReadingCostsOneTimeLimitNotOnePerLine) {
    std::vector<std::string> errors;
    std::array<FileDescriptor, 2> ends = test::SocketPair();
    const FileDescriptor& server = ends[1];
    // It answers up to DATA and then reads nothing more.
    const std::string replies = "220 ready\r\n250 hello\r\n250 ok\r\n250 ok\r\n354 go ahead\r\n";
    ASSERT_TRUE(WriteAll(server.Get(), replies.data(), replies.size()));
    SmtpSession session(
        [&errors](std::string_view line) {
            if (line.starts_with("Email error: "))
                errors.emplace_back(line.substr(13));
        },
        std::chrono::milliseconds(200));
    session.Attach(std::make_unique<SocketStream>(std::move(ends[0])));
    // Far more text than the connection holds unread.
    const MailMessage message{"nobody@customers.test", "Big",
                              std::vector<std::string>(5000, std::string(200, 'x'))};
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(session.Greet("mail.test"));
    EXPECT_FALSE(session.Send("shop@example.test", message));
    session.Quit();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    ASSERT_GE(errors.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(errors.end() - 4, errors.end()),
              (std::vector<std::string>{"send() end-message", "recv() end-message", "send() QUIT",
                                        "recv() QUIT"}));
}

} // namespace
} // namespace korvane
