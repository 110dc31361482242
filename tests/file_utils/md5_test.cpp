#include "file_utils/md5.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>

namespace korvane {
namespace {

TEST(Md5, MatchesTheTestSuiteOfRfc1321) {
    const std::pair<const char*, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {"jk8ssl", "0000000018e6137ac2caab16074784a6"}, // leading zero bytes are kept
    };
    for (const auto& [input, expected] : suite)
        EXPECT_EQ(Md5Hex(Md5Of(input)), expected) << '"' << input << '"';
}

// Lengths around the 56- and 64-byte padding boundaries and the file's read blocks, fed in pieces
// of every awkward size or read from a file, must give the same digest as one whole update.
TEST(Md5, GivesTheSameDigestHoweverTheInputIsCutOrStored) {
    test::TempDir dir;
    std::mt19937 random(7);
    for (std::size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1025u, (1u << 20) + 17}) {
        std::string bytes(length, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        const auto whole = Md5Of(bytes);
        for (std::size_t piece : {1u, 3u, 63u, 64u, 100u}) {
            Md5 md5;
            for (std::size_t at = 0; at < length; at += piece)
                md5.Update(bytes.data() + at, std::min(piece, length - at));
            EXPECT_EQ(md5.Finish(), whole) << length << " in pieces of " << piece;
        }
        test::WriteWholeFile(dir.File("f"), bytes);
        EXPECT_EQ(Md5OfFile(dir.File("f")), whole) << length << " from a file";
    }
    EXPECT_EQ(Md5OfFile(dir.File("missing")), std::nullopt);
}

} // namespace
} // namespace korvane
