#pragma once

#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace korvane::test {

// A site run in the test network, from a work folder of its own where the reply files land.
class SiteRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        KORVANE_REQUIRE_TEST_NETWORK();
        ASSERT_NE(::getcwd(m_saved, sizeof m_saved), nullptr);
        ASSERT_EQ(::chdir(m_work.Path().c_str()), 0);
    }
    void TearDown() override {
        if (m_saved[0] != '\0') {
            ASSERT_EQ(::chdir(m_saved), 0);
        }
    }

    // A local folder holding the given files.
    std::string Folder(const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& files) {
        const std::string folder = m_local.File(name);
        std::filesystem::create_directory(folder);
        for (const auto& [file, bytes] : files)
            WriteWholeFile(folder + "/" + file, bytes);
        return folder;
    }

    std::string LastReport() const { return t.desktop.ReportWindows().back().Text(); }

    // Answers a folder run's dialog with a server and folder, runs it and returns its report.
    std::string Run(void (*command)(Shell&), const std::string& server, const std::string& folder,
                    bool forgiveCrLf = true) {
        t.desktop.AnswerForm([&](Form& form) {
            form.Field("Server").text = server;
            form.Field("Folder").text = folder;
            if (form.name == "Verify local folder to site")
                form.Field("LineEnds").checked = forgiveCrLf;
            return kFormAccepted;
        });
        command(t.shell);
        t.threads.WaitIdle();
        return t.desktop.ReportWindows().empty() ? std::string() : LastReport();
    }

    TestShell t;
    TempDir m_work;
    TempDir m_local;
    char m_saved[4096] = {};
};

// The messages the real mail server stored for one recipient.
inline std::vector<std::string> MailsTo(const std::string& recipient) {
    std::vector<std::string> messages;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::getenv("KORVANE_TEST_MAILDIR"))) {
        const std::string path = entry.path().string();
        if (entry.path().extension() == ".to" && ReadWholeFile(path) == recipient)
            messages.push_back(ReadWholeFile(path.substr(0, path.size() - 3) + ".data"));
    }
    return messages;
}

} // namespace korvane::test
