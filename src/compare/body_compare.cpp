#include "compare/body_compare.h"

#include "shell/posix_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace korvane {

namespace {

constexpr std::size_t kBlockBytes = std::size_t{64} * 1024;

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

BodyComparer::BodyComparer(std::uint64_t headerEnd, std::string_view local, bool forgiveCrLf,
                           BlockWriter* copy, bool copyRestOnDifference)
    : m_headerEnd(headerEnd), m_local(local), m_forgiveCrLf(forgiveCrLf), m_copy(copy),
      m_copyRestOnDifference(copyRestOnDifference), m_counter(headerEnd) {}

bool BodyComparer::Feed(std::string_view web) {
    if (m_decided) {
        if (!CopiesRest())
            return false;
        Copy(web);
        return true;
    }
    const std::uint64_t size = m_local.size();
    while (!web.empty()) {
        std::uint64_t j = m_counter - m_headerEnd;
        // Equal stretches are taken whole; the byte rules below see only where they end.
        if (j < size) {
            const std::size_t span =
                static_cast<std::size_t>(std::min<std::uint64_t>(size - j, web.size()));
            const std::size_t same = CommonPrefix(m_local.data() + j, web.data(), span);
            Copy(web.substr(0, same));
            web.remove_prefix(same);
            m_counter += same;
            j += same;
            if (j >= size)
                return Decide(BodyComparison::Outcome::Verified);
            if (web.empty())
                return true;
        }
        // The local file's terminating zero stands after its last byte.
        const auto c =
            static_cast<unsigned char>(j < size ? m_local[static_cast<std::size_t>(j)] : 0);
        const auto w = static_cast<unsigned char>(web.front());
        Copy(web.substr(0, 1));
        web.remove_prefix(1);
        if (w == c) {
            m_counter += 1;
        } else if (m_forgiveCrLf && c == '\r' && w == '\n') {
            m_counter += 2;
        } else {
            m_result.localPosition = j;
            m_result.localByte = c;
            m_result.webByte = w;
            Decide(BodyComparison::Outcome::Differs);
            if (!CopiesRest())
                return false;
            Copy(web);
            return true;
        }
        if (m_counter - m_headerEnd >= size)
            return Decide(BodyComparison::Outcome::Verified);
    }
    return true;
}

BodyComparison BodyComparer::Result() const {
    BodyComparison result = m_result;
    // A body that ended before anything was decided falls short of the local file, unless there
    // was nothing to fall short of: an empty file and an empty body are the same.
    if (!m_decided)
        result.outcome = m_local.empty() && m_counter == m_headerEnd
                             ? BodyComparison::Outcome::Verified
                             : BodyComparison::Outcome::Truncated;
    result.counter = m_counter;
    return result;
}

void BodyComparer::Copy(std::string_view bytes) {
    if (m_copy != nullptr)
        m_copy->Append(bytes);
}

bool BodyComparer::CopiesRest() const {
    return m_copyRestOnDifference && m_result.outcome == BodyComparison::Outcome::Differs;
}

bool BodyComparer::Decide(BodyComparison::Outcome outcome) {
    m_result.outcome = outcome;
    m_decided = true;
    return false;
}

BodyComparison CompareBody(int reply, std::uint64_t headerEnd, std::string_view local,
                           bool forgiveCrLf, int copy, bool copyRestOnDifference) {
    BlockReader body(reply);
    BlockWriter copied(copy);
    BodyComparer comparer(headerEnd, local, forgiveCrLf, &copied, copyRestOnDifference);
    for (std::string_view web = body.Available(); !web.empty(); web = body.Available()) {
        body.Consume(web.size());
        if (!comparer.Feed(web))
            break;
    }
    BodyComparison result = comparer.Result();
    result.copyFailed = !copied.Flush();
    return result;
}

} // namespace korvane
