#include "support/fault_injection.h"

#include "shell/posix_file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace korvane::test {

std::optional<std::string> RunInChild(const std::function<bool()>& fault,
                                      const std::function<std::string()>& act) {
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(channel[0]);
        if (!fault())
            ::_exit(3);
        const std::string result = act();
        // A pipe is no regular file: a size limit does not touch it.
        const bool sent = WriteAll(channel[1], result.data(), result.size());
        // No destructors: what the parent set up is the parent's to clean up.
        ::_exit(sent ? 0 : 4);
    }
    ::close(channel[1]);
    std::string result;
    char chunk[4096];
    for (std::size_t n; (n = ReadUpTo(channel[0], chunk, sizeof chunk)) > 0;)
        result.append(chunk, n);
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return result;
}

bool LimitFileSize(std::uint64_t limit) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit fileSize{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    return ::setrlimit(RLIMIT_FSIZE, &fileSize) == 0;
}

bool NoMoreThreads() {
    const rlimit none{0, 0};
    if (::setrlimit(RLIMIT_NPROC, &none) != 0)
        return false;
    // Where the user cannot be changed (a user namespace that maps root alone) root holds no
    // privilege over the limit already.
    constexpr unsigned kNobody = 65534;
    return ::setgid(kNobody) != 0 || ::setuid(kNobody) == 0;
}

namespace {

bool SetImmutable(const std::string& path, bool on, std::string& error) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    int flags = 0;
    if (!file.IsOpen() || ::ioctl(file.Get(), FS_IOC_GETFLAGS, &flags) != 0) {
        error = std::string("cannot read the attributes of ") + path + ": " + std::strerror(errno);
        return false;
    }
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    if (::ioctl(file.Get(), FS_IOC_SETFLAGS, &flags) != 0) {
        error = std::string("cannot set the immutable attribute of ") + path + ": " +
                std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

ImmutableFile::ImmutableFile(std::string path) : m_path(std::move(path)) {
    m_made = SetImmutable(m_path, true, m_error);
}

void ImmutableFile::Release() {
    if (m_made)
        m_made = !SetImmutable(m_path, false, m_error);
}

} // namespace korvane::test
