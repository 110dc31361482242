#include "shell/posix_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

AtomicWriteResult WriteFileAtomically(const std::string& path, const void* data, std::size_t size) {
    AtomicWriteResult result;
    const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
    FileDescriptor file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!file.IsOpen()) {
        result.error = std::string("cannot create ") + temporary + ": " + std::strerror(errno);
        return result;
    }
    const char* failedStep = nullptr;
    if (!WriteAll(file.Get(), data, size))
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
