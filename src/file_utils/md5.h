#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The MD5 message digest of RFC 1321.
class Md5 {
  public:
    using Digest = std::array<std::uint8_t, 16>;

    Md5();
    void Update(const void* data, std::size_t size);
    // Finishes the digest; the object must not be updated afterwards.
    Digest Finish();

  private:
    void Blocks(const std::uint8_t* data, std::size_t count);

    std::array<std::uint32_t, 4> m_state;
    std::uint64_t m_length = 0; // bytes fed so far
    std::array<std::uint8_t, 64> m_pending{};
    std::size_t m_pendingSize = 0;
};

// 32 lower-case hexadecimal digits, the digest bytes in order.
std::string Md5Hex(const Md5::Digest& digest);
Md5::Digest Md5Of(std::string_view bytes);

// The digest of a file's bytes, fed in chunks of 1024 bytes; nothing when it cannot be read.
inline constexpr std::size_t kMd5FeedChunk = 1024;
std::optional<Md5::Digest> Md5OfFile(const std::string& path);

} // namespace korvane
