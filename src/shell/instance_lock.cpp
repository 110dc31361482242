#include "shell/instance_lock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace korvane {

std::string InstanceLock::DefaultPath() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime)
        return std::string(runtime) + "/korvane.lock";
    return "/tmp/korvane-" + std::to_string(::getuid()) + ".lock";
}

bool InstanceLock::Acquire(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!file.IsOpen())
        return false;
    while (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        m_heldElsewhere = errno == EWOULDBLOCK;
        return false;
    }
    m_file = std::move(file);
    return true;
}

} // namespace korvane
