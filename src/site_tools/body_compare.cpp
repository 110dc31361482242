#include "site_tools/body_compare.h"

#include "shell/posix_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace korvane {

namespace {

constexpr std::size_t kBlockBytes = 64 * 1024;

// Reads the reply in large blocks; the comparison takes what it needs from each.
class BlockReader {
  public:
    explicit BlockReader(int fd) : m_fd(fd), m_block(kBlockBytes) {}
    // The unread bytes of the current block, refilled when empty; empty at the end of the file.
    std::string_view Available() {
        if (m_position == m_length) {
            m_position = 0;
            m_length = 0;
            ssize_t got;
            do {
                got = ::read(m_fd, m_block.data(), m_block.size());
            } while (got < 0 && errno == EINTR);
            if (got > 0)
                m_length = static_cast<std::size_t>(got);
        }
        return {m_block.data() + m_position, m_length - m_position};
    }
    void Consume(std::size_t count) { m_position += count; }

  private:
    int m_fd;
    std::vector<char> m_block;
    std::size_t m_position = 0;
    std::size_t m_length = 0;
};

// Collects the copied bytes and writes them in large pieces.
class BlockWriter {
  public:
    explicit BlockWriter(int fd) : m_fd(fd) { m_buffer.reserve(kBlockBytes); }
    ~BlockWriter() { Flush(); }
    void Append(std::string_view bytes) {
        if (m_fd < 0)
            return;
        if (m_buffer.size() + bytes.size() > kBlockBytes)
            Flush();
        if (bytes.size() >= kBlockBytes)
            Write(bytes);
        else
            m_buffer.append(bytes);
    }
    void Flush() {
        if (m_fd >= 0 && !m_buffer.empty())
            Write(m_buffer);
        m_buffer.clear();
    }
    // Flushes what is still buffered; true when every byte reached the file.
    bool Finish() {
        Flush();
        return !m_failed;
    }

  private:
    void Write(std::string_view bytes) {
        if (!m_failed)
            m_failed = !WriteAll(m_fd, bytes.data(), bytes.size());
    }

    int m_fd;
    std::string m_buffer;
    bool m_failed = false;
};

// How many leading bytes two ranges share; memcmp over blocks keeps long equal stretches fast.
std::size_t CommonPrefix(const char* a, const char* b, std::size_t size) {
    constexpr std::size_t kStep = 256;
    std::size_t same = 0;
    while (same + kStep <= size && std::memcmp(a + same, b + same, kStep) == 0)
        same += kStep;
    while (same < size && a[same] == b[same])
        ++same;
    return same;
}

} // namespace

BodyComparison CompareBody(int reply, std::uint64_t headerEnd, std::string_view local,
                           bool forgiveCrLf, int copy, bool copyRestOnDifference) {
    BlockReader body(reply);
    BlockWriter copied(copy);
    const std::uint64_t size = local.size();
    BodyComparison result;
    std::uint64_t i = headerEnd;
    for (;;) {
        std::uint64_t j = i - headerEnd;
        std::string_view web = body.Available();
        if (web.empty()) {
            result.outcome = BodyComparison::Outcome::Truncated;
            result.counter = i;
            result.copyFailed = !copied.Finish();
            return result;
        }
        // Equal stretches are taken whole; the byte rules below see only where they end.
        if (j < size) {
            const std::size_t span =
                static_cast<std::size_t>(std::min<std::uint64_t>(size - j, web.size()));
            const std::size_t same = CommonPrefix(local.data() + j, web.data(), span);
            copied.Append(web.substr(0, same));
            body.Consume(same);
            i += same;
            j += same;
            if (j >= size)
                break;
            web.remove_prefix(same);
            if (web.empty())
                continue;
        }
        // The local file's terminating zero stands after its last byte.
        const auto c =
            static_cast<unsigned char>(j < size ? local[static_cast<std::size_t>(j)] : 0);
        const auto w = static_cast<unsigned char>(web.front());
        copied.Append(web.substr(0, 1));
        body.Consume(1);
        if (w == c) {
            i += 1;
        } else if (forgiveCrLf && c == '\r' && w == '\n') {
            i += 2;
        } else {
            result.outcome = BodyComparison::Outcome::Differs;
            result.counter = i;
            result.localPosition = j;
            result.localByte = c;
            result.webByte = w;
            if (copyRestOnDifference) {
                for (std::string_view rest = body.Available(); !rest.empty();
                     rest = body.Available()) {
                    copied.Append(rest);
                    body.Consume(rest.size());
                }
            }
            result.copyFailed = !copied.Finish();
            return result;
        }
        if (i - headerEnd >= size)
            break;
    }
    result.outcome = BodyComparison::Outcome::Verified;
    result.counter = i;
    result.copyFailed = !copied.Finish();
    return result;
}

} // namespace korvane
