#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvane::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Independent readers of record bytes: a little-endian 64-bit number, and the text up to its zero.
std::int64_t Int64At(const std::string& bytes, std::size_t offset);
std::string TextAt(const std::string& bytes, std::size_t offset);

} // namespace korvane::test
