#pragma once

#include "shell/posix_file.h"

#include <string>

namespace korvane {

// Keeps a second copy of the program from running for the same user: whoever holds the lock on
// the per-user lock file is the running instance. The lock ends with the process, however it ends.
class InstanceLock {
  public:
    // $XDG_RUNTIME_DIR/korvane.lock, or a per-user file in the temporary folder.
    static std::string DefaultPath();

    // True when this process now holds the lock; false when another instance holds it (or the
    // lock file cannot be opened, in which case the program runs unguarded rather than not at all).
    bool Acquire(const std::string& path);
    bool Held() const { return m_file.IsOpen(); }
    bool HeldElsewhere() const { return m_heldElsewhere; }

  private:
    FileDescriptor m_file;
    bool m_heldElsewhere = false;
};

} // namespace korvane
