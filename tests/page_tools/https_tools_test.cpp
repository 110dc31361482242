// The page tools against the test network's HTTPS fixtures: every certificate case gives its
// line and no verdict of success, a trusted one gives the tool's usual result.
#include "page_tools/links.h"
#include "page_tools/page_check.h"
#include "page_tools/referrer.h"
#include "page_tools/server_header.h"
#include "shell/settings_file.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>

namespace korvane {
namespace {

using test::TempDir;
using test::TestShell;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

// The last day of a test certificate, read from the file the test network made.
std::string LastDay(const std::string& name) {
    const std::string folder =
        std::filesystem::path(std::getenv("SSL_CERT_FILE")).parent_path().string();
    std::FILE* file = std::fopen((folder + "/" + name + ".pem").c_str(), "r");
    if (file == nullptr)
        return "no " + name;
    X509* certificate = PEM_read_X509(file, nullptr, nullptr, nullptr);
    std::fclose(file);
    std::tm end{};
    ASN1_TIME_to_tm(X509_get0_notAfter(certificate), &end);
    X509_free(certificate);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &end);
    return text;
}

using Tool = void (*)(Shell&, const std::string& server, const std::string& page,
                      const WebToolOptions&);

void Header(Shell& s, const std::string& server, const std::string& page, const WebToolOptions& o) {
    RunHeaderTool(s, HeaderTool::Header, server, page, o);
}
void Broken(Shell& s, const std::string& server, const std::string& page, const WebToolOptions& o) {
    RunLinks(s, LinkMode::Broken, server, page, o);
}
struct Row {
    const char* what;
    Tool tool;
    std::string server;
    std::string page;
    std::vector<std::string> lines; // the beginnings of lines logged in this order, among others
    std::string never;              // the verdict that must not be given
    int sounds;
    std::function<void(SettingsFile&)> preferences = {};
    std::size_t headers = 0; // the replies whose headers the viewer shows, one after the other
};

void Check(const Row& row) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    TestShell t;
    t.settings.SetOn(field::DetailFlag, true);
    if (row.preferences)
        row.preferences(t.settingsFile);
    row.tool(t.shell, row.server, row.page, {dir.Path(), std::chrono::milliseconds(5000)});
    t.threads.WaitIdle();
    const std::vector<std::string> log = t.LogTexts();
    auto at = log.begin();
    for (const std::string& line : row.lines) {
        at = std::find_if(at, log.end(),
                          [&](const std::string& logged) { return logged.starts_with(line); });
        EXPECT_TRUE(at != log.end()) << line << " in " << ::testing::PrintToString(log);
    }
    if (!row.never.empty()) {
        EXPECT_THAT(log, Not(Contains(HasSubstr(row.never))));
    }
    EXPECT_EQ(t.desktop.Sounds(), row.sounds);
    if (row.headers > 0) {
        ASSERT_EQ(t.desktop.Results().size(), 1u);
        const std::string shown = t.desktop.Results()[0];
        std::size_t headers = 0;
        for (std::size_t i = 0; (i = shown.find("HTTP/1.1 ", i)) != std::string::npos; ++i)
            ++headers;
        EXPECT_EQ(headers, row.headers) << shown;
        EXPECT_THAT(shown, HasSubstr("HTTP/1.1 200 OK\r\n"));
    }
}

TEST(Https, EachToolChecksTheCertificateAndGivesNoVerdictWhenItFails) {
    KORVANE_REQUIRE_TEST_NETWORK();
    const std::string expired = "Certificate expired on " + LastDay("expired");
    const std::string success = "Success, server completed request, code 200";
    const std::string self = "Certificate not trusted: self-signed certificate";
    const std::string wrong = "Certificate is for www.other.test, not wrong.test";
    const std::vector<Row> rows = {
        {"check, trusted", RunPageCheck, "https://site.test", "index.html", {success}, "", 0},
        // The certificate names the address too.
        {"check, by address", RunPageCheck, "https://127.0.0.1", "", {success}, "", 0},
        {"check, expired", RunPageCheck, "https://expired.test", "", {expired}, success, 1},
        {"check, other host", RunPageCheck, "https://wrong.test", "", {wrong}, success, 1},
        {"check, self-signed", RunPageCheck, "https://self.test", "", {self}, success, 1},
        {"check, ends soon",
         RunPageCheck,
         "https://soon.test",
         "",
         {"Certificate expires in 5 days (" + LastDay("soon") + ")", success},
         "",
         0},
        {"check, plain HTTP port",
         RunPageCheck,
         "https://site.test:80",
         "",
         {"Secure connection failed: wrong version number"},
         success,
         1},
        {"check, moved",
         RunPageCheck,
         "chain.test",
         "",
         {"Moved.", "Moved to: https://chain.test/", "File is not available. Server code: 301"},
         success,
         1},
        {"header, facts",
         Header,
         "https://site.test",
         "",
         {"Protocol: TLSv1.3", "Subject: CN = site.test", "Issuer: CN = Korvane Test CA",
          "Certificate valid until " + LastDay("valid") + " (400 days)", "Reply received."},
         "",
         0,
         {},
         1},
        {"referrer",
         RunReferrerVariance,
         "https://site.test",
         "",
         {"No referrer variance: Google.com"},
         "",
         0},
        {"referrer, self-signed",
         RunReferrerVariance,
         "https://self.test",
         "",
         {self},
         "No referrer variance",
         1},
        // Only the problems are logged: the self-signed target and the missing pages.
        {"broken links",
         Broken,
         "https://site.test",
         "https-links.html",
         {"self.test, index.html", self, "site.test, gone.html, Server code: 404",
          "site.test, missing-rel.html, Server code: 404", "Scan complete"},
         "secure.test, index.html, Server code: 301",
         3},
    };
    for (const Row& row : rows)
        Check(row);
}

// The web preferences: untrusted certificates accepted with one warning, the expiry warning's
// days, and redirects followed hop by hop to the page, a loop or the eleventh hop.
TEST(Https, ThePreferencesDecideWhatARunAcceptsWarnsOfAndFollows) {
    KORVANE_REQUIRE_TEST_NETWORK();
    const std::string success = "Success, server completed request, code 200";
    const auto accept = [](SettingsFile& f) { SetAcceptUntrustedCertificates(f, true); };
    const auto follow = [](SettingsFile& f) { SetFollowRedirects(f, true); };
    const auto days = [](int n) {
        return [n](SettingsFile& f) { SetCertificateWarningDays(f, n); };
    };
    const std::vector<Row> rows = {
        {"untrusted accepted",
         RunPageCheck,
         "https://self.test",
         "",
         {"Warning: untrusted certificates are accepted in this run",
          "Certificate not trusted: self-signed certificate", success},
         "",
         0,
         accept},
        {"no expiry warning",
         RunPageCheck,
         "https://soon.test",
         "",
         {success},
         "Certificate expires",
         0,
         days(0)},
        {"warning of three days",
         RunPageCheck,
         "https://soon.test",
         "",
         {success},
         "Certificate expires",
         0,
         days(3)},
        {"chain followed",
         RunPageCheck,
         "chain.test",
         "index.html",
         {"Redirect 1: 301 https://chain.test/index.html",
          "Redirect 2: 301 https://www.chain.test/index.html", success},
         "Moved",
         0,
         follow},
        {"header of every hop",
         Header,
         "http://chain.test",
         "",
         {"Redirect 1: 301 https://chain.test/", "Redirect 2: 301 https://www.chain.test/"},
         "",
         0,
         follow,
         3},
        {"loop",
         RunPageCheck,
         "site.test",
         "loop-a.html",
         {"Redirect 1: 302 http://site.test/loop-b.html", "Redirect loop"},
         "Redirect 2", // back at the page first asked: a loop at once
         1,
         follow},
        {"too many",
         RunPageCheck,
         "site.test",
         "many/x",
         {"Redirect 10: 302 http://site.test/many/xxxxxxxxxxx", "Too many redirects"},
         success,
         1,
         follow},
        // The page moved to the www. name over HTTPS: its relative links are asked there.
        {"links after redirects",
         Broken,
         "chain.test",
         "https-links.html",
         {"Redirect 2: 301 https://www.chain.test/https-links.html", "self.test, index.html",
          "site.test, gone.html, Server code: 404",
          "www.chain.test, missing-rel.html, Server code: 404"},
         "",
         3,
         follow},
    };
    for (const Row& row : rows)
        Check(row);
}

} // namespace
} // namespace korvane
