#include "shell/settings_block.h"
#include "shell/settings_file.h"

#include "support/fault_injection.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

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

// Every kv.cfg and korvane.cfg save, one table: a file the user made read-only is refused and left
// as it was (root could still open it), and so is one whose new bytes do not fit on a full disk (a
// file-size limit stands in for it); the permission bits of the old file stay, and a symbolic link
// stays a link with the file it names (given relative to the link's folder) replaced.
TEST(SettingsFiles, ASaveRefusesAReadOnlyFileOrAFullDiskKeepsThePermissionsAndWritesThroughALink) {
    std::string image(kSettingsSize, '\0');
    image.replace(field::FromName.offset, 3, "new");
    const struct {
        const char* name;
        std::string bytes; // what a save writes
        std::function<bool(const std::string&)> save;
    } files[] = {
        {"kv.cfg", image,
         [](const std::string& path) {
             SettingsBlock settings;
             settings.Set(field::FromName, "new");
             return settings.Save(path).ok;
         }},
        {"korvane.cfg", "follow_redirects=1\n",
         [](const std::string& path) {
             SettingsFile file(path);
             SetFollowRedirects(file, true);
             return file.Save();
         }},
    };
    const struct {
        const char* name;
        mode_t mode;
        bool throughLink;
        bool saved;
        std::uint64_t sizeLimit = 0; // 0: none
    } cases[] = {
        {"read-only", 0444, false, false},
        {"a full disk", 0600, false, false, 8},
        {"private", 0600, false, true},
        {"a link", 0640, true, true},
    };
    namespace fs = std::filesystem;
    for (const auto& file : files) {
        for (const auto& row : cases) {
            SCOPED_TRACE(std::string(file.name) + ", " + row.name);
            TempDir dir;
            const std::string target = dir.File(row.throughLink ? "elsewhere.cfg" : file.name);
            WriteWholeFile(target, "old");
            ASSERT_EQ(::chmod(target.c_str(), row.mode), 0);
            if (row.throughLink)
                fs::create_symlink("elsewhere.cfg", dir.File(file.name));
            const auto save = [&] { return file.save(dir.File(file.name)) ? "saved" : "refused"; };
            const auto said =
                row.sizeLimit == 0
                    ? std::optional<std::string>(save())
                    : test::RunInChild([&] { return test::LimitFileSize(row.sizeLimit); }, save);
            EXPECT_EQ(said, row.saved ? "saved" : "refused");
            EXPECT_EQ(ReadWholeFile(target), row.saved ? file.bytes : "old");
            struct stat status {};
            ASSERT_EQ(::stat(target.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 07777, row.mode);
            EXPECT_EQ(fs::is_symlink(dir.File(file.name)), row.throughLink);
            // Nothing but the file and its link: no temporary left behind.
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()),
                      row.throughLink ? 2 : 1);
        }
    }
}

// Lines this version does not know, and lines without "=", go back in their place as they were;
// a setting that changes keeps its place, a new one goes at the end.
TEST(SettingsFile, KeepsUnknownKeysAndMalformedLinesInTheirPlace) {
    TempDir dir;
    const std::string path = dir.File("korvane.cfg");
    const std::string kept = "# from a later version\nproxy = cache.local:3128\r\n";
    WriteWholeFile(path, kept + "follow_redirects=0\nnot a setting\n\ncertificate_warning_days=30");
    SettingsFile file(path);
    ASSERT_TRUE(file.Load());
    EXPECT_EQ(file.Get("proxy"), "cache.local:3128");
    SetFollowRedirects(file, true);
    SetAcceptUntrustedCertificates(file, true);
    ASSERT_TRUE(file.Save());
    EXPECT_EQ(ReadWholeFile(path), kept + "follow_redirects=1\nnot a setting\n\n"
                                          "certificate_warning_days=30\n"
                                          "accept_untrusted_certificates=1\n");
}

// What each web setting reads as: its default when absent or unreadable, else the value.
TEST(SettingsFile, WebSettingsFallBackToTheirDefaults) {
    const struct {
        const char* contents; // nullptr: no file
        bool accept;
        int days;
        bool follow;
    } cases[] = {
        {nullptr, false, 14, false},
        {"accept_untrusted_certificates = 1 \ncertificate_warning_days=0\nfollow_redirects=1\n",
         true, 0, true},
        {"certificate_warning_days=3650\n", false, 3650, false},
        {"accept_untrusted_certificates=yes\ncertificate_warning_days=3651\nfollow_redirects=2\n",
         false, 14, false},
        {"certificate_warning_days=-1\n", false, 14, false},
        {"certificate_warning_days=7 days\n", false, 14, false},
        {"certificate_warning_days=\nfollow_redirects\n", false, 14, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.contents ? row.contents : "no file");
        TempDir dir;
        if (row.contents)
            WriteWholeFile(dir.File("korvane.cfg"), row.contents);
        SettingsFile file(dir.File("korvane.cfg"));
        ASSERT_TRUE(file.Load());
        EXPECT_EQ(AcceptUntrustedCertificates(file), row.accept);
        EXPECT_EQ(CertificateWarningDays(file), row.days);
        EXPECT_EQ(FollowRedirects(file), row.follow);
    }
    // Only a file that is there and cannot be read is a failure.
    TempDir dir;
    EXPECT_FALSE(SettingsFile(dir.Path()).Load());
}

} // namespace
} // namespace korvane
