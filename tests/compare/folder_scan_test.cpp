#include "compare/folder_scan.h"

#include "compare/body_compare.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <map>
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

// Files from a few bytes to several megabytes, more than one batch of them, filling the scan's
// storage block after block: each keeps exactly its bytes and a terminating zero, also once the
// rest of the table is gone.
TEST(FolderScan, KeepsEveryFileWholeAcrossItsStorageBlocks) {
    TempDir dir;
    std::map<std::string, std::string> written;
    for (int i = 0; i < 300; ++i) {
        const std::size_t size = i % 75 == 74 ? 3'000'000 + i : 100 * i + 1;
        std::string bytes(size, '\0');
        for (std::size_t k = 0; k < size; ++k)
            bytes[k] = static_cast<char>((k * 31 + static_cast<std::size_t>(i)) % 251);
        written["f" + std::to_string(i)] = bytes;
        WriteWholeFile(dir.File("f" + std::to_string(i)), bytes);
    }
    std::optional<FolderScanTable> table = FolderScan(dir.Path());
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), written.size());
    for (const ScannedFile& file : *table) {
        EXPECT_TRUE(file.Contents() == written[file.name]) << file.name;
        EXPECT_EQ(file.bytes.get()[file.size], '\0') << file.name;
    }
    const ScannedFile kept = table->front();
    table.reset();
    EXPECT_TRUE(kept.Contents() == written[kept.name]);
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
        const BodyComparison result = CompareBody(reply, header.size() - 1, c.local, true, copy);
        ::close(copy);
        ::close(reply);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(test::ReadWholeFile(dir.File("kv.htm")), c.copied);
    }
    // A reply that cannot be read is a body that ended at once, not a wait for ever.
    EXPECT_EQ(CompareBody(-1, 0, "abc", true).outcome, O::Truncated);
}

} // namespace
} // namespace korvane
