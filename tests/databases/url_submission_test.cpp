#include "databases/url_submission.h"

#include "net/http.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace korvane {
namespace {

using test::ScriptedServer;
using test::ServerScript;
using test::ShownMessage;
using test::TestShell;

SearchEngineRecord Engine(std::int64_t number, const std::string& host, const std::string& script,
                          std::int32_t method, const std::string& urlName,
                          const std::string& emailName = "") {
    SearchEngineRecord engine;
    engine.Clear();
    engine.SetNumber(number);
    engine.SetText(engine::Name, "ENGINE " + std::to_string(number));
    engine.SetText(engine::BaseUrl, host);
    engine.SetText(engine::ScriptPath, script);
    engine.SetText(engine::UrlFormName, urlName);
    engine.SetText(engine::EmailFormName, emailName);
    engine.SetInt32At(engine::kMethodOffset, method);
    return engine;
}

void PutEngines(TestShell& t, const std::vector<SearchEngineRecord>& engines) {
    std::string bytes;
    for (const SearchEngineRecord& engine : engines)
        bytes.append(reinterpret_cast<const char*>(engine.Raw().data()), SearchEngineRecord::kSize);
    test::WriteWholeFile(t.records.engines.Path(), bytes);
    ASSERT_TRUE(LoadRecordFiles(t.records).Ok());
}

class Submission : public ::testing::Test {
  protected:
    void SetUp() override { KORVANE_REQUIRE_TEST_NETWORK(); }

    std::vector<std::string> Run(std::chrono::milliseconds limit = kSubmitReplyLimit) {
        SubmissionInput input;
        input.url = "http://www.example.com/";
        input.email = "info@example.com";
        input.workFolder = m_work.Path();
        input.replyLimit = limit;
        t.busy.Set(BusyFlag::HeaderAndSubmit);
        SubmissionRun(t.shell, input);
        EXPECT_FALSE(t.busy.IsSet(BusyFlag::HeaderAndSubmit));
        return t.LogTexts();
    }

    TestShell t;
    test::TempDir m_work;
};

TEST_F(Submission, PostAndGetSendTheirFormsExactly) {
    ScriptedServer post(ServerScript{"HTTP/1.0 200 OK\r\n\r\nthanks"});
    ScriptedServer get(ServerScript{"HTTP/1.0 200 OK\r\n\r\nthanks"});
    ASSERT_TRUE(post.Started() && get.Started());
    // Extra fields follow the named ones, an unnamed one is left out, and the whole is encoded.
    SearchEngineRecord posted =
        Engine(1, post.Host(), "submit.php", engine::kMethodPost, "url", "mail");
    posted.SetText(engine::ExtraField(1), "lang");
    posted.SetText(engine::ExtraField(2), "cat");
    posted.SetText(engine::ExtraValue(2), "a&b c");
    PutEngines(t, {Engine(2, get.Host(), "cgi/add", engine::kMethodGet, "u"), posted});
    const auto log = Run();

    const std::string postBody =
        "url=http%3A%2F%2Fwww.example.com%2F&mail=info%40example.com&lang=&cat=a&b%20c";
    EXPECT_EQ(post.Requests(),
              std::vector<std::string>{
                  "POST /submit.php HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded"
                  "\r\nContent-Length: " +
                  std::to_string(postBody.size()) + ComposeHeaderBlock(t.settings, post.Host()) +
                  postBody + "\r\n\r\n"});
    EXPECT_EQ(get.Requests(),
              std::vector<std::string>{"GET /cgi/add?u=http%3A%2F%2Fwww.example.com%2F HTTP/1.0" +
                                       ComposeHeaderBlock(t.settings, get.Host())});
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 2),
              (std::vector<std::string>{"  ", "Submit URL: http://www.example.com/"}));
    EXPECT_EQ(std::count(log.begin(), log.end(), "Success, server completed request, code 200"), 2);
    EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
              (std::vector<std::string>{"Complete", "  "}));
}

TEST_F(Submission, EveryEngineFailureIsLoggedAndTheRunGoesOn) {
    SearchEngineRecord unfinished = Engine(1, "www.example.com", "", engine::kMethodPost, "");
    PutEngines(t, {unfinished, Engine(2, "nosuch.test", "add", engine::kMethodGet, "u"),
                   Engine(3, "refused.test", "add", engine::kMethodGet, "u"),
                   Engine(4, "site.test", "fr-missing.html", engine::kMethodGet, "u"),
                   Engine(5, "site.test", "fr-same.html", engine::kMethodGet, "u"),
                   Engine(6, "https://self.test", "fr-same.html", engine::kMethodGet, "u"),
                   Engine(7, "https://site.test", "fr-same.html", engine::kMethodGet, "u")});
    t.settings.SetOn(field::DetailFlag, false);
    const auto log = Run();
    EXPECT_EQ(log, (std::vector<std::string>{"  ",
                                             "Submit URL: http://www.example.com/",
                                             "Unable to translate host nosuch.test",
                                             "Unable to connect: refused.test",
                                             "Unable to communicate: refused.test",
                                             "  ",
                                             "Reply received.",
                                             "Not found.",
                                             "site.test",
                                             "File is not available. Server code: 404",
                                             "  ",
                                             "Reply received.",
                                             "site.test",
                                             "Success, server completed request, code 200",
                                             "  ",
                                             "Certificate not trusted: self-signed certificate",
                                             "Unable to communicate: https://self.test",
                                             "  ",
                                             "Reply received.",
                                             "https://site.test",
                                             "Success, server completed request, code 200",
                                             "  ",
                                             "Complete",
                                             "  "}));
    EXPECT_EQ(t.desktop.Sounds(), 3);
}

TEST_F(Submission, OnlyTheDefaultEngineMeansNothingIsSent) {
    PutEngines(t, {Engine(1, "www.example.com", "", engine::kMethodPost, "")});
    EXPECT_EQ(Run(), (std::vector<std::string>{"  ", "Submit URL: http://www.example.com/",
                                               "Initialized: Running", "Complete", "  "}));
}

// The one test that waits the whole ten seconds, as a user would.
TEST_F(Submission, AServerThatKeepsTheConnectionOpenTimesOut) {
    ServerScript hold{"HTTP/1.0 200 OK\r\n", 0, ServerScript::Then::HoldOpen};
    ScriptedServer server(hold);
    PutEngines(t, {Engine(1, server.Host(), "add", engine::kMethodPost, "url"),
                   Engine(2, "site.test", "fr-same.html", engine::kMethodGet, "u")});
    t.settings.SetOn(field::DetailFlag, false);
    const auto started = std::chrono::steady_clock::now();
    const auto log = Run();
    EXPECT_GE(std::chrono::steady_clock::now() - started, kSubmitReplyLimit);
    EXPECT_EQ(std::vector<std::string>(log.begin() + 2, log.begin() + 4),
              (std::vector<std::string>{"Timed out.", "  "}));
    EXPECT_EQ(log[log.size() - 3], "  ") << "the next engine was still tried";
    EXPECT_EQ(log.back(), "  ");
}

// The refusal while busy is the busy-guard table's.
TEST(SubmitUrlCommand, TheRunStartsWithWhatWasTypedAndKeepsIt) {
    TestShell t;
    // The engine file goes after the start, so the run stops at once and says so.
    ASSERT_TRUE(LoadRecordFiles(t.records).Ok());
    std::filesystem::remove(t.records.engines.Path());
    t.desktop.AnswerForm([](Form& form) {
        form.Field("URL").text = "http://www.example.com/";
        form.Field("Email").text = "me@example.com";
        return kFormAccepted;
    });
    SubmitUrlCommand(t.shell);
    t.threads.WaitIdle();
    EXPECT_EQ(t.settings.Get(field::ServerField(DialogSlot::SubmitUrl)), "http://www.example.com/");
    EXPECT_EQ(t.settings.Get(field::SecondField(DialogSlot::SubmitUrl)), "me@example.com");
    EXPECT_EQ(
        t.desktop.Messages(),
        (std::vector<ShownMessage>{{"Data file: urlsubmit.dat, not present.", "Fatal error"}}));
    EXPECT_EQ(t.LogTexts(), (std::vector<std::string>{"  ", "Submit URL: http://www.example.com/",
                                                      "Initialized: Running"}));
    EXPECT_FALSE(t.busy.IsSet(BusyFlag::HeaderAndSubmit));
}

} // namespace
} // namespace korvane
