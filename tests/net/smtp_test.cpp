#include "net/smtp.h"

#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>

namespace korvane {
namespace {

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
