#include "shell/settings_block.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
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

// A file in which every byte differs from its neighbours, so any shifted or dropped byte shows.
std::string DistinctImage() {
    std::string image(kSettingsSize, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    return image;
}

TEST(SettingsBlock, FieldsSitAtTheirExactOffsetsLittleEndianWithoutPadding) {
    SettingsBlock settings;
    settings.Set(field::IdentifyAsChoice, 0x04030201);
    settings.Set(field::BeepFlag, -2);
    settings.Set(field::CustomerNumberBase, 0x0807060504030201LL);
    settings.Set(field::OtherAgent, "mybot");

    EXPECT_EQ(Bytes(settings, 1301, 6), std::string("\0\x01\x02\x03\x04\xfe", 6));
    EXPECT_EQ(Bytes(settings, 1306, 5), std::string("\xfe\xff\xff\xff\0", 5));
    EXPECT_EQ(Bytes(settings, 936, 8), "\x01\x02\x03\x04\x05\x06\x07\x08");
    EXPECT_EQ(Bytes(settings, 24686, 6), std::string("mybot\0", 6));

    EXPECT_EQ(field::ServerField(DialogSlot::ServerPageHeader).offset, 9886u);
    EXPECT_EQ(field::ServerField(DialogSlot::SubmitUrl).offset, 11686u);
    EXPECT_EQ(field::SecondField(DialogSlot::SubmitUrl).offset, 14886u);
    EXPECT_EQ(field::MonitoredServer(15).offset, 19286u);
    EXPECT_EQ(field::MonitoredFolder(15).offset + field::MonitoredFolder(15).width, 23486u);
    EXPECT_EQ(field::OtherReferrer.offset + field::OtherReferrer.width, 24966u);
}

// A file shorter than the block is the replay of the settings corpus's: it saves back padded with
// zeros. Here a longer one: cut to the block, and every byte of it survives load and save.
TEST(SettingsBlock, ALongFileIsCutToTheBlockAndEveryByteOfItSurvivesLoadAndSave) {
    TempDir dir;
    const std::string original = DistinctImage();
    WriteWholeFile(dir.File("in.cfg"), original + std::string(5000, '\x77'));

    SettingsBlock settings;
    const auto loaded = settings.Load(dir.File("in.cfg"));
    EXPECT_TRUE(loaded.opened);
    EXPECT_EQ(loaded.bytesRead, kSettingsSize);
    ASSERT_TRUE(settings.Save(dir.File("out.cfg")).ok);
    EXPECT_EQ(ReadWholeFile(dir.File("out.cfg")), original);

    // Reading fields does not disturb anything; each typed read sees its little-endian bytes.
    EXPECT_EQ(settings.Get(field::DetailFlag), static_cast<std::int32_t>(0x110a03fc));
    (void)settings.Get(field::OtherAgent);
    ASSERT_TRUE(settings.Save(dir.File("again.cfg")).ok);
    EXPECT_EQ(ReadWholeFile(dir.File("again.cfg")), original);
}

TEST(SettingsBlock, TextFieldsAreCutAtTheirLimitAndKeepBytesAfterTheTerminator) {
    SettingsBlock settings;
    settings.Set(field::SmtpServer, std::string(85, 's'));
    EXPECT_EQ(settings.Get(field::SmtpServer), std::string(79, 's'));
    EXPECT_EQ(Bytes(settings, 9646 + 79, 1), std::string(1, '\0'));
    EXPECT_EQ(Bytes(settings, 9726, 1), std::string(1, '\0')); // the next field is untouched

    settings.Set(field::SmtpServer, "mx");
    EXPECT_EQ(settings.Get(field::SmtpServer), "mx");
    EXPECT_EQ(Bytes(settings, 9646, 5), std::string("mx\0ss", 5));
}

TEST(SettingsBlock, AMissingOrUnreadableFileLeavesEverySettingAtZero) {
    TempDir dir;
    SettingsBlock settings;
    EXPECT_FALSE(settings.Load(dir.File("absent.cfg")).opened);
    std::filesystem::create_directory(dir.File("kv.cfg"));
    EXPECT_EQ(settings.Load(dir.File("kv.cfg")).bytesRead, 0u);
    const auto image = settings.CopyImage();
    EXPECT_EQ(std::count(image.begin(), image.end(), 0), static_cast<long>(kSettingsSize));
    EXPECT_TRUE(settings.IsOn(field::DetailFlag));
    EXPECT_TRUE(settings.IsOn(field::BeepFlag));
}

TEST(SettingsBlock, AFailedSaveLeavesTheOldFileWholeAndNoTemporaryBehind) {
    TempDir dir;
    SettingsBlock settings;
    settings.Set(field::FromName, "new");

    EXPECT_FALSE(settings.Save(dir.File("no-such-folder/kv.cfg")).ok);

    // kv.cfg taken by a folder: the rename over it fails.
    std::filesystem::create_directory(dir.File("kv.cfg"));
    const auto saved = settings.Save(dir.File("kv.cfg"));
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("kv.cfg")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

// The disk fills (a file-size limit stands in for it) while the new file is written.
TEST(SettingsBlock, ADiskThatFillsDuringTheSaveLeavesTheOldFileIntact) {
    TempDir dir;
    const std::string old = DistinctImage();
    WriteWholeFile(dir.File("kv.cfg"), old);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        SettingsBlock settings;
        settings.Set(field::FromName, "lost");
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

// The process is killed at any moment of a save: kv.cfg is always one whole image, old or new.
TEST(SettingsBlock, AKillDuringASaveLeavesOneWholeImage) {
    TempDir dir;
    const std::string path = dir.File("kv.cfg");
    const std::string old(kSettingsSize, 'o');
    WriteWholeFile(path, old);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SettingsBlock settings;
            SettingsBlock::Image image;
            image.fill(static_cast<std::uint8_t>('n'));
            settings.ReplaceImage(image);
            for (;;)
                settings.Save(path);
        }
        ::usleep(static_cast<useconds_t>(1000 + round * 700));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string now = ReadWholeFile(path);
        ASSERT_EQ(now.size(), kSettingsSize) << "round " << round;
        ASSERT_TRUE(now == old || now == std::string(kSettingsSize, 'n')) << "round " << round;
    }
}

TEST(SettingsBlock, AWorkerNeverReadsATextFieldHalfStored) {
    SettingsBlock settings;
    const std::string a(199, 'a');
    const std::string b(150, 'b');
    settings.Set(field::ServerField(DialogSlot::CheckPage), a);
    std::atomic<bool> done{false};
    std::thread dialog([&] {
        for (int i = 0; i < 20000; ++i)
            settings.Set(field::ServerField(DialogSlot::CheckPage), i % 2 ? a : b);
        done = true;
    });
    int mixed = 0;
    while (!done.load()) {
        const std::string seen = settings.Get(field::ServerField(DialogSlot::CheckPage));
        if (seen != a && seen != b)
            ++mixed;
    }
    dialog.join();
    EXPECT_EQ(mixed, 0);
}

} // namespace
} // namespace korvane
