#include "compare/folder_scan.h"

#include "compare/body_compare.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace korvane {
namespace {

using test::TempDir;
using test::WriteWholeFile;

TEST(FolderScan, ReadsPlainFilesWholeAndSkipsEverythingElse) {
    TempDir dir;
    WriteWholeFile(dir.File("index.html"), "<html>\r\n");
    WriteWholeFile(dir.File("with blank.txt"), "");
    WriteWholeFile(dir.File("caf\xe9.html"), std::string("\0\x01\x02", 3));
    std::filesystem::create_directory(dir.File("images"));
    WriteWholeFile(dir.File("images/logo.png"), "not scanned");
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.File("socket");
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const auto table = FolderScan(dir.Path());
    ::close(listener);
    ASSERT_TRUE(table);
    std::vector<std::string> names;
    for (const ScannedFile& file : *table)
        names.push_back(file.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"caf\xe9.html", "index.html", "with blank.txt"}));
    const ScannedFile* binary = FindScannedFile(*table, "caf\xe9.html");
    ASSERT_NE(binary, nullptr);
    EXPECT_EQ(binary->Contents(), std::string_view("\0\x01\x02", 3));
    EXPECT_EQ(binary->size, 3u);
    EXPECT_EQ(FindScannedFile(*table, "INDEX.HTML"), nullptr) << "names match case-sensitively";
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

// A file the user may not read is left out of the scan. The scan runs as an ordinary user in a
// child process, so that the file's mode applies even when the tests run as root.
TEST(FolderScan, LeavesOutAFileItMayNotRead) {
    TempDir dir;
    WriteWholeFile(dir.File("open.html"), "yes");
    WriteWholeFile(dir.File("closed.html"), "no");
    ASSERT_EQ(::chmod(dir.File("closed.html").c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    EXPECT_EXIT(
        {
            if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                std::_Exit(2);
            const auto table = FolderScan(dir.Path());
            std::_Exit(table && table->size() == 1 && table->front().name == "open.html" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(FolderScan, YieldsNothingForAMissingFolderOrOneWithoutFiles) {
    TempDir dir;
    EXPECT_EQ(FolderScan(dir.File("absent")), std::nullopt);
    std::filesystem::create_directory(dir.File("only"));
    std::filesystem::create_directory(dir.File("only/sub"));
    EXPECT_EQ(FolderScan(dir.File("only")), std::nullopt);
}

// A reply file whose header ends at offset H, then the body.
struct Reply {
    TempDir dir;
    int fd = -1;
    std::uint64_t headerEnd = 0;
    explicit Reply(const std::string& body) {
        const std::string header = "HTTP/1.1 200 OK\r\nServer: test\r\n\r\n";
        WriteWholeFile(dir.File("reply"), header + body);
        fd = ::open(dir.File("reply").c_str(), O_RDONLY);
        ::lseek(fd, static_cast<off_t>(header.size()), SEEK_SET);
        headerEnd = header.size() - 1;
    }
    ~Reply() { ::close(fd); }
};

// The body given to a comparer in pieces of `piece` bytes, as it arrives from a server.
BodyComparison FedInPieces(const std::string& web, const std::string& local, bool forgive,
                           std::size_t piece, std::uint64_t headerEnd) {
    BodyComparer comparer(headerEnd, local, forgive);
    for (std::size_t at = 0; at < web.size() && comparer.Feed(web.substr(at, piece)); at += piece) {
    }
    return comparer.Result();
}

TEST(BodyComparison, FollowsTheByteRules) {
    using O = BodyComparison::Outcome;
    struct Case {
        const char* what;
        std::string web;
        std::string local;
        bool forgive;
        O outcome;
        std::uint64_t afterHeader; // counter - H
        std::uint64_t position;
    };
    const std::vector<Case> cases = {
        {"identical", "abc\r\ndef", "abc\r\ndef", false, O::Verified, 8, 0},
        {"CR LF locally, LF on the web, forgiven", "a\nb\n", "a\r\nb\r\n", true, O::Verified, 6, 0},
        {"CR LF locally, LF on the web, not forgiven", "a\nb\n", "a\r\nb\r\n", false, O::Differs, 1,
         1},
        {"LF locally, CR LF on the web", "a\r\nb", "a\nb", true, O::Differs, 1, 1},
        {"web copy longer", "abcdef", "abc", false, O::Verified, 3, 0},
        {"web copy one byte short", "ab", "abc", false, O::Truncated, 2, 0},
        {"first byte differs", "xbc", "abc", false, O::Differs, 0, 0},
        {"empty local file against a zero byte", std::string(1, '\0'), "", false, O::Verified, 1,
         0},
        {"empty local file against text", "a", "", false, O::Differs, 0, 0},
        {"empty body", "", "abc", false, O::Truncated, 0, 0},
        {"a long equal stretch across blocks", std::string(200000, 'q') + "!",
         std::string(200000, 'q') + "?", false, O::Differs, 200000, 200000},
    };
    for (const Case& c : cases) {
        Reply reply(c.web);
        const BodyComparison result = CompareBody(reply.fd, reply.headerEnd, c.local, c.forgive);
        EXPECT_EQ(result.outcome, c.outcome) << c.what;
        EXPECT_EQ(result.counter - reply.headerEnd, c.afterHeader) << c.what;
        if (c.outcome == O::Differs) {
            EXPECT_EQ(result.localPosition, c.position) << c.what;
        }
        // Whatever pieces the body arrives in, the comparison ends the same.
        for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
            const BodyComparison fed =
                FedInPieces(c.web, c.local, c.forgive, piece, reply.headerEnd);
            EXPECT_EQ(fed.outcome, result.outcome) << c.what << ", pieces of " << piece;
            EXPECT_EQ(fed.counter, result.counter) << c.what << ", pieces of " << piece;
            EXPECT_EQ(fed.localPosition, result.localPosition) << c.what << ", pieces of " << piece;
            EXPECT_EQ(fed.webByte, result.webByte) << c.what << ", pieces of " << piece;
        }
    }
}

TEST(BodyComparison, CopiesExactlyTheBodyBytesItRead) {
    TempDir out;
    const std::string copyPath = out.File("kv.htm");
    auto copied = [&](const std::string& web, const std::string& local) {
        Reply reply(web);
        const int copy = ::open(copyPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        CompareBody(reply.fd, reply.headerEnd, local, true, copy);
        ::close(copy);
        return test::ReadWholeFile(copyPath);
    };
    EXPECT_EQ(copied("abcdef", "abc"), "abc");      // verified: what was compared
    EXPECT_EQ(copied("abXdef", "abcdef"), "abX");   // different: up to the differing byte
    EXPECT_EQ(copied("ab", "abcdef"), "ab");        // truncated: the whole body
    EXPECT_EQ(copied("a\nbc", "a\r\nbc"), "a\nbc"); // one LF stands for CR LF

    Reply reply("abXdef");
    const int copy = ::open(copyPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    CompareBody(reply.fd, reply.headerEnd, "abcdef", true, copy, true);
    ::close(copy);
    EXPECT_EQ(test::ReadWholeFile(copyPath), "abXdef") << "the whole body for the comparison";
}

} // namespace
} // namespace korvane
