#include "shell/posix_file.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool FileDescriptor::Close() {
    if (m_fd < 0)
        return true;
    const int fd = std::exchange(m_fd, -1);
    return ::close(fd) == 0;
}

std::size_t ReadUpTo(int fd, void* buffer, std::size_t size) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n = ::read(fd, out + total, size - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* in = static_cast<const std::uint8_t*>(data);
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n = ::write(fd, in + total, size - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        total += static_cast<std::size_t>(n);
    }
    return true;
}

FileDescriptor OpenForRewrite(const std::string& path) {
    return FileDescriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
}

bool FinishRewrite(int fd) {
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    return end >= 0 && ::ftruncate(fd, end) == 0;
}

BlockWriter::BlockWriter(int fd) : m_fd(fd) {
    m_buffer.reserve(kBlockBytes);
}

void BlockWriter::AppendLarge(std::string_view bytes) {
    Flush();
    if (bytes.size() >= kBlockBytes) {
        if (m_fd >= 0)
            m_ok = WriteAll(m_fd, bytes.data(), bytes.size()) && m_ok;
    } else {
        m_buffer.append(bytes);
    }
}

bool BlockWriter::Flush() {
    // Without a file the bytes are only dropped.
    if (m_fd >= 0 && !m_buffer.empty())
        m_ok = WriteAll(m_fd, m_buffer.data(), m_buffer.size()) && m_ok;
    m_buffer.clear();
    return m_ok;
}

namespace {

// The file at the end of a chain of symbolic links, or nothing for a chain that loops.
std::optional<std::string> FollowLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof target)
            return std::nullopt;
        std::string next(target, static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        if (!next.starts_with('/') && slash != std::string::npos)
            next.insert(0, path, 0, slash + 1); // relative to the link's own folder
        path = std::move(next);
    }
    errno = ELOOP;
    return std::nullopt;
}

} // namespace

AtomicWriteResult WriteFileAtomically(const std::string& linkOrFile, const void* data,
                                      std::size_t size) {
    AtomicWriteResult result;
    const std::optional<std::string> resolved = FollowLinks(linkOrFile);
    if (!resolved) {
        result.error = "follow " + linkOrFile + ": " + std::strerror(errno);
        return result;
    }
    const std::string& path = *resolved;
    struct stat old {};
    const bool replacing = ::stat(path.c_str(), &old) == 0;
    // Root may write any file, so the owner's write bit is what says the user made it read-only.
    if (replacing && ((old.st_mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0)) {
        result.error = "refused " + path + ": the file is read-only";
        return result;
    }
    const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
    FileDescriptor file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!file.IsOpen()) {
        result.error = std::string("cannot create ") + temporary + ": " + std::strerror(errno);
        return result;
    }
    // The owner is kept where the system lets us, and the bits always (a private 0600 file stays
    // private); the bits go second, as a change of owner clears the set-id bits.
    if (replacing) {
        [[maybe_unused]] const int owned = ::fchown(file.Get(), old.st_uid, old.st_gid);
    }
    const char* failedStep = nullptr;
    if (replacing && ::fchmod(file.Get(), old.st_mode & 07777) != 0)
        failedStep = "keep the permissions of";
    else if (!WriteAll(file.Get(), data, size))
        failedStep = "write";
    else if (::fsync(file.Get()) != 0)
        failedStep = "flush";
    else if (!file.Close())
        failedStep = "close";
    else if (::rename(temporary.c_str(), path.c_str()) != 0)
        failedStep = "rename";
    if (failedStep != nullptr) {
        result.error = std::string(failedStep) + " " + path + ": " + std::strerror(errno);
        file.Close();
        ::unlink(temporary.c_str());
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace korvane
