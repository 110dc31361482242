#include "compare/body_compare.h"

#include "shell/posix_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace korvane {

namespace {

constexpr std::size_t kBlockBytes = std::size_t{64} * 1024;
// Large enough that a file of gigabytes costs few reads, small enough not to matter in memory.
constexpr std::size_t kLocalBlockBytes = std::size_t{256} * 1024;

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

// How many leading bytes two ranges share; memcmp over blocks keeps long equal stretches fast,
// and the usual case, equal throughout, costs one call.
std::size_t CommonPrefix(const char* a, const char* b, std::size_t size) {
    if (size == 0 || std::memcmp(a, b, size) == 0)
        return size;
    constexpr std::size_t kStep = 256;
    std::size_t same = 0;
    while (same + kStep <= size && std::memcmp(a + same, b + same, kStep) == 0)
        same += kStep;
    while (same < size && a[same] == b[same])
        ++same;
    return same;
}

} // namespace

std::string_view LocalBytesInMemory::Next() {
    const std::string_view piece = m_rest.substr(0, m_piece);
    m_rest.remove_prefix(piece.size());
    return piece;
}

LocalFile::LocalFile(const std::string& path)
    : m_file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)) {
    struct stat status {};
    // O_NONBLOCK keeps a FIFO put in the file's place from stalling the run.
    if (!m_file.IsOpen() || ::fstat(m_file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        m_file.Close();
        return;
    }
    m_size = static_cast<std::uint64_t>(status.st_size);
    ::posix_fadvise(m_file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
}

std::string_view LocalFile::Next() {
    if (!m_file.IsOpen() || m_read >= m_size)
        return {};
    if (m_block.empty())
        m_block.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kLocalBlockBytes, m_size)));
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_block.size(), m_size - m_read));
    const std::size_t got = ReadUpTo(m_file.Get(), m_block.data(), want);
    if (got == 0) {
        m_failed = true;
        return {};
    }
    m_read += got;
    return {m_block.data(), got};
}

BodyComparer::BodyComparer(std::uint64_t headerEnd, LocalBytes& local, bool forgiveCrLf,
                           BlockWriter* copy, bool copyRestOnDifference)
    : m_headerEnd(headerEnd), m_local(local), m_forgiveCrLf(forgiveCrLf), m_copy(copy),
      m_copyRestOnDifference(copyRestOnDifference), m_counter(headerEnd) {
    m_localEmpty = !LocalHas(0) && !m_decided;
}

// Whether the local file has a byte at `position`, reading on as far as that. Positions only
// grow, so the pieces before the one in hand are never needed again.
bool BodyComparer::LocalHas(std::uint64_t position) {
    while (position - m_windowStart >= m_window.size()) {
        if (m_localEnded)
            return false;
        m_windowStart += m_window.size();
        m_window = m_local.Next();
        if (m_window.empty()) {
            m_localEnded = true;
            if (m_local.Failed())
                Decide(BodyComparison::Outcome::Unreadable);
            return false;
        }
    }
    return true;
}

// Every local byte was matched, unless the file could not be read that far.
bool BodyComparer::LocalEnded() {
    return m_decided ? false : Decide(BodyComparison::Outcome::Verified);
}

bool BodyComparer::Feed(std::string_view web) {
    if (m_decided) {
        if (!CopiesRest())
            return false;
        Copy(web);
        return true;
    }
    while (!web.empty()) {
        const std::uint64_t j = m_counter - m_headerEnd;
        const bool has = LocalHas(j);
        if (m_decided)
            return false;
        // Equal stretches are taken whole; the byte rules below see only where they end.
        if (has) {
            const std::string_view local =
                m_window.substr(static_cast<std::size_t>(j - m_windowStart));
            const std::size_t same =
                CommonPrefix(local.data(), web.data(), std::min(local.size(), web.size()));
            if (same > 0) {
                Copy(web.substr(0, same));
                web.remove_prefix(same);
                m_counter += same;
                if (!LocalHas(j + same))
                    return LocalEnded();
                continue;
            }
        }
        // The local file's terminating zero stands after its last byte: only an empty file
        // gets this far without a byte of its own.
        const auto c = static_cast<unsigned char>(
            has ? m_window[static_cast<std::size_t>(j - m_windowStart)] : 0);
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
        if (!LocalHas(m_counter - m_headerEnd))
            return LocalEnded();
    }
    return true;
}

BodyComparison BodyComparer::Result() const {
    BodyComparison result = m_result;
    // A body that ended before anything was decided falls short of the local file, unless there
    // was nothing to fall short of: an empty file and an empty body are the same.
    if (!m_decided)
        result.outcome = m_localEmpty && m_counter == m_headerEnd
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

BodyComparison CompareBody(int reply, std::uint64_t headerEnd, LocalBytes& local, bool forgiveCrLf,
                           int copy, bool copyRestOnDifference) {
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
