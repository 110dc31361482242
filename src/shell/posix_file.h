#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace korvane {

// Owns one POSIX file descriptor and closes it when it goes out of scope.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    ~FileDescriptor() { Close(); }

    bool IsOpen() const { return m_fd >= 0; }
    int Get() const { return m_fd; }
    // Closes now and reports whether the close succeeded (a deferred write error shows here).
    bool Close();

  private:
    int m_fd = -1;
};

// Reads until `size` bytes, end of file or an error; returns how many bytes arrived.
std::size_t ReadUpTo(int fd, void* buffer, std::size_t size);
// Writes all bytes, retrying short writes; false on any error.
bool WriteAll(int fd, const void* data, std::size_t size);

// A working file rewritten on every use (a reply file): opened without truncating, written, then
// cut at what was written by FinishRewrite. Truncating a file and writing it again makes some
// file systems flush it to disk at once, which costs far more than the write itself.
FileDescriptor OpenForRewrite(const std::string& path);
// Ends the file at the current write position; false when that fails.
bool FinishRewrite(int fd);

// Collects small pieces and writes them to a descriptor in large blocks, so that a file built
// from many short rows costs few system calls and no copy of its whole contents in memory.
class BlockWriter {
  public:
    static constexpr std::size_t kBlockBytes = std::size_t{64} * 1024;
    // A descriptor below 0 takes nothing: the bytes are dropped.
    explicit BlockWriter(int fd);
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;
    ~BlockWriter() { Flush(); }
    void Append(std::string_view bytes) {
        if (bytes.size() <= kBlockBytes - m_buffer.size())
            m_buffer.append(bytes); // the usual short piece, kept inline
        else
            AppendLarge(bytes);
    }
    // Writes what is collected; false once any write has failed.
    bool Flush();

  private:
    void AppendLarge(std::string_view bytes);

    int m_fd;
    bool m_ok = true;
    std::string m_buffer;
};

struct AtomicWriteResult {
    bool ok = false;
    std::string error;
};

// Replaces `path` with exactly these bytes: written to a temporary file in the same folder,
// flushed to disk, then renamed over `path`. On failure the temporary file is removed and `path`
// is left as it was. A file whose owner may not write it is refused, not replaced; the new file
// keeps the old one's permission bits; a symbolic link stays and the file it names is replaced.
AtomicWriteResult WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

} // namespace korvane
