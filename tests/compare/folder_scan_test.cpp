#include "compare/folder_scan.h"

#include "compare/body_compare.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {
namespace {

using test::TempDir;
using test::WriteWholeFile;

// A FIFO would stall the scan: only plain files are taken (the folder runs' mirror holds a file
// that cannot be opened and a subfolder).
TEST(FolderScan, SkipsAFifoAndYieldsNothingWithoutPlainFiles) {
    TempDir dir;
    WriteWholeFile(dir.File("index.html"), "x");
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    const auto table = FolderScan(dir.Path());
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), 1u);
    EXPECT_NE(FindScannedFile(*table, "index.html"), nullptr);
    EXPECT_EQ(FindScannedFile(*table, "INDEX.HTML"), nullptr) << "names match case-sensitively";
    std::filesystem::remove(dir.File("index.html"));
    EXPECT_EQ(FolderScan(dir.Path()), std::nullopt);
}

// The local side is read from disk a block at a time: a file longer than a block compares
// whole, and one that changes under the comparison is compared as it was when opened, or not at
// all, never verified beyond what was read.
TEST(LocalFile, ComparesTheFileAsItWasWhenOpened) {
    using O = BodyComparison::Outcome;
    std::string bytes(700000, '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k)
        bytes[k] = static_cast<char>(k * 7 % 251);
    std::string changed = bytes;
    changed[600001] = '\xff';
    struct Case {
        const std::string& web;
        std::uintmax_t sizeAfterOpening;
        O outcome;
        std::uint64_t position;
    };
    const std::vector<Case> cases = {
        {changed, bytes.size(), O::Differs, 600001}, // in a later block
        {bytes, bytes.size() + 10, O::Verified, 0},  // grown: compared as it was
        {bytes, 300000, O::Unreadable, 0},           // shrunk
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position + c.sizeAfterOpening);
        WriteWholeFile(dir.File("local"), bytes);
        LocalFile local(dir.File("local"));
        std::filesystem::resize_file(dir.File("local"), c.sizeAfterOpening);
        BodyComparer comparer(0, local, false);
        comparer.Feed(c.web);
        EXPECT_EQ(comparer.Result().outcome, c.outcome);
        EXPECT_EQ(comparer.Result().localPosition, c.position);
    }
}

// A copy of a 5 GiB file that differs only in the last byte differs there, whatever 32 bits
// would make of the size or the positions. The size comes from a sparse file on disk; the
// positions are walked over zeros in memory, as reading 5 GiB would take the suite many seconds.
TEST(LocalFile, AFileOfFiveGibibytesDiffersAtItsLastByte) {
    constexpr std::uint64_t kSize = std::uint64_t{5} << 30;
    TempDir dir;
    FileDescriptor video(::open(dir.File("video.bin").c_str(), O_WRONLY | O_CREAT, 0644));
    ASSERT_EQ(::pwrite(video.Get(), "a", 1, static_cast<off_t>(kSize - 1)), 1);
    EXPECT_EQ(FolderScan(dir.Path()).value().front().size, kSize);
    EXPECT_EQ(LocalFile(dir.File("video.bin")).Size(), kSize);

    static const std::string zeros(std::size_t{1} << 20, '\0');
    static const std::string localEnd = zeros.substr(1) + 'a';
    struct : LocalBytes {
        std::string_view Next() override {
            if (++given < kSize / zeros.size())
                return zeros;
            return given == kSize / zeros.size() ? localEnd : std::string_view();
        }
        std::uint64_t given = 0;
    } local;
    BodyComparer comparer(99, local, true);
    for (std::uint64_t block = 1; block < kSize / zeros.size(); ++block)
        ASSERT_TRUE(comparer.Feed(zeros));
    EXPECT_FALSE(comparer.Feed(zeros.substr(1) + 'b'));
    const BodyComparison result = comparer.Result();
    EXPECT_EQ(result.outcome, BodyComparison::Outcome::Differs);
    EXPECT_EQ(result.localPosition, kSize - 1);
    EXPECT_EQ(result.counter, 99 + kSize - 1);
    EXPECT_EQ(result.localByte, 'a');
}

// The byte rules themselves are held against a byte-by-byte reference by the body_compare fuzz
// replay; here, what reaches the copy, and bodies longer than one read block.
TEST(BodyComparison, CopiesExactlyTheBodyBytesItRead) {
    using O = BodyComparison::Outcome;
    const std::string header = "HTTP/1.1 200 OK\r\nServer: test\r\n\r\n";
    const std::string longer(200000, 'q');
    struct Case {
        std::string web;
        std::string local;
        O outcome;
        std::string copied;
    };
    const std::vector<Case> cases = {
        {"abcdef", "abc", O::Verified, "abc"},                  // what was compared
        {"ab", "abcdef", O::Truncated, "ab"},                   // the whole body
        {"a\nbc", "a\r\nbc", O::Verified, "a\nbc"},             // one LF stands for CR LF
        {longer + "!", longer + "?", O::Differs, longer + "!"}, // up to the differing byte
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.web.substr(0, 10));
        WriteWholeFile(dir.File("reply"), header + c.web);
        const int reply = ::open(dir.File("reply").c_str(), O_RDONLY);
        ::lseek(reply, static_cast<off_t>(header.size()), SEEK_SET);
        const int copy = ::open(dir.File("kv.htm").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        LocalBytesInMemory local(c.local);
        const BodyComparison result = CompareBody(reply, header.size() - 1, local, true, copy);
        ::close(copy);
        ::close(reply);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(test::ReadWholeFile(dir.File("kv.htm")), c.copied);
    }
    // A reply that cannot be read is a body that ended at once, not a wait for ever.
    LocalBytesInMemory local("abc");
    EXPECT_EQ(CompareBody(-1, 0, local, true).outcome, O::Truncated);
}

} // namespace
} // namespace korvane
