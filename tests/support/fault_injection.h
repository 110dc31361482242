#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace korvane::test {

// Runs `act` in a child process after `fault` has been set up there, in the child alone. The
// child starts as a copy of this process, so a test shell set up beforehand is there to use.
// Gives back what `act` returned, or nothing when the fault could not be set up or the child
// did not end normally.
std::optional<std::string> RunInChild(const std::function<bool()>& fault,
                                      const std::function<std::string()>& act);

// Faults for RunInChild. Regular files cannot grow past `limit` bytes, as on a full disk: a
// write past the limit fails (SIGXFSZ is ignored) instead of ending the process.
bool LimitFileSize(std::uint64_t limit);
// No thread can be started, as when the system has none left: the process limit is used up, and
// root, which the limit does not bind, becomes an unprivileged user first.
bool NoMoreThreads();

// Makes a file immutable (the file attribute "i"): even root can then neither write nor remove
// it, which a permission bit cannot do. The attribute is taken off again at the end.
class ImmutableFile {
  public:
    explicit ImmutableFile(std::string path);
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    ~ImmutableFile() { Release(); }

    // False when the file system or the process's privileges do not allow it; see Error().
    bool Made() const { return m_made; }
    const std::string& Error() const { return m_error; }
    void Release();

  private:
    std::string m_path;
    bool m_made = false;
    std::string m_error;
};

} // namespace korvane::test
