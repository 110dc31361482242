#include "shell/settings_block.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

std::string Bytes(const SettingsBlock& settings, std::size_t offset, std::size_t length) {
    const auto image = settings.CopyImage();
    return std::string(reinterpret_cast<const char*>(image.data()) + offset, length);
}

// kv.cfg files written before must read the same: every field at its exact offset, little-endian,
// without padding.
TEST(SettingsBlock, FieldsSitAtTheirExactOffsetsAndTextsAreCutAtTheirLimit) {
    SettingsBlock settings;
    settings.Set(field::IdentifyAsChoice, 0x04030201);
    settings.Set(field::BeepFlag, -2);
    settings.Set(field::CustomerNumberBase, 0x0807060504030201LL);
    settings.Set(field::OtherAgent, "mybot");

    EXPECT_EQ(Bytes(settings, 1301, 6), std::string("\0\x01\x02\x03\x04\xfe", 6));
    EXPECT_EQ(Bytes(settings, 1306, 5), std::string("\xfe\xff\xff\xff\0", 5));
    EXPECT_EQ(Bytes(settings, 936, 8), "\x01\x02\x03\x04\x05\x06\x07\x08");
    EXPECT_EQ(Bytes(settings, 24686, 6), std::string("mybot\0", 6));
    // A text is cut at its limit, and bytes after its terminator stay.
    settings.Set(field::SmtpServer, std::string(85, 's'));
    EXPECT_EQ(settings.Get(field::SmtpServer), std::string(79, 's'));
    EXPECT_EQ(Bytes(settings, 9646 + 79, 2), std::string(2, '\0')); // the next field is untouched
    settings.Set(field::SmtpServer, "mx");
    EXPECT_EQ(settings.Get(field::SmtpServer), "mx");
    EXPECT_EQ(Bytes(settings, 9646, 5), std::string("mx\0ss", 5));
}

// The disk fills (a file-size limit stands in for it) while the new file is written: the old
// kv.cfg stays whole and no temporary file is left beside it.
TEST(SettingsBlock, AFailedSaveLeavesTheOldFileWholeAndNoTemporaryBehind) {
    TempDir dir;
    const std::string old(26686, 'o');
    WriteWholeFile(dir.File("kv.cfg"), old);
    SettingsBlock settings;
    settings.Set(field::FromName, "lost");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(settings.Save(dir.File("kv.cfg")).ok ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should have reported the failure";
    EXPECT_EQ(ReadWholeFile(dir.File("kv.cfg")), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

} // namespace
} // namespace korvane
