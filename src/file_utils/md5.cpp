#include "file_utils/md5.h"

#include "shell/posix_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace korvane {

namespace {

constexpr std::uint32_t Rotate(std::uint32_t x, int s) {
    return (x << s) | (x >> (32 - s));
}

std::uint32_t LoadLittleEndian(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The four rounds, written so that each step's additions that do not depend on the previous step
// can run while it finishes: the message word and constant are added first.
#define KORVANE_MD5_STEP(f, a, b, c, d, x, t, s)                                                   \
    (a) += (x) + (t);                                                                              \
    (a) += f((b), (c), (d));                                                                       \
    (a) = Rotate((a), (s)) + (b);

constexpr std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return z ^ (x & (y ^ z));
}
constexpr std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & z) + (y & ~z); // the two terms never share a bit, so + equals |
}
constexpr std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return x ^ y ^ z;
}
constexpr std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return y ^ (x | ~z);
}

} // namespace

Md5::Md5() : m_state{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u} {}

void Md5::Blocks(const std::uint8_t* data, std::size_t count) {
    std::uint32_t a0 = m_state[0];
    std::uint32_t b0 = m_state[1];
    std::uint32_t c0 = m_state[2];
    std::uint32_t d0 = m_state[3];
    for (; count > 0; --count, data += 64) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = LoadLittleEndian(data + std::size_t{4} * static_cast<std::size_t>(i));
        std::uint32_t a = a0, b = b0, c = c0, d = d0;

        KORVANE_MD5_STEP(F, a, b, c, d, x[0], 0xd76aa478u, 7)
        KORVANE_MD5_STEP(F, d, a, b, c, x[1], 0xe8c7b756u, 12)
        KORVANE_MD5_STEP(F, c, d, a, b, x[2], 0x242070dbu, 17)
        KORVANE_MD5_STEP(F, b, c, d, a, x[3], 0xc1bdceeeu, 22)
        KORVANE_MD5_STEP(F, a, b, c, d, x[4], 0xf57c0fafu, 7)
        KORVANE_MD5_STEP(F, d, a, b, c, x[5], 0x4787c62au, 12)
        KORVANE_MD5_STEP(F, c, d, a, b, x[6], 0xa8304613u, 17)
        KORVANE_MD5_STEP(F, b, c, d, a, x[7], 0xfd469501u, 22)
        KORVANE_MD5_STEP(F, a, b, c, d, x[8], 0x698098d8u, 7)
        KORVANE_MD5_STEP(F, d, a, b, c, x[9], 0x8b44f7afu, 12)
        KORVANE_MD5_STEP(F, c, d, a, b, x[10], 0xffff5bb1u, 17)
        KORVANE_MD5_STEP(F, b, c, d, a, x[11], 0x895cd7beu, 22)
        KORVANE_MD5_STEP(F, a, b, c, d, x[12], 0x6b901122u, 7)
        KORVANE_MD5_STEP(F, d, a, b, c, x[13], 0xfd987193u, 12)
        KORVANE_MD5_STEP(F, c, d, a, b, x[14], 0xa679438eu, 17)
        KORVANE_MD5_STEP(F, b, c, d, a, x[15], 0x49b40821u, 22)

        KORVANE_MD5_STEP(G, a, b, c, d, x[1], 0xf61e2562u, 5)
        KORVANE_MD5_STEP(G, d, a, b, c, x[6], 0xc040b340u, 9)
        KORVANE_MD5_STEP(G, c, d, a, b, x[11], 0x265e5a51u, 14)
        KORVANE_MD5_STEP(G, b, c, d, a, x[0], 0xe9b6c7aau, 20)
        KORVANE_MD5_STEP(G, a, b, c, d, x[5], 0xd62f105du, 5)
        KORVANE_MD5_STEP(G, d, a, b, c, x[10], 0x02441453u, 9)
        KORVANE_MD5_STEP(G, c, d, a, b, x[15], 0xd8a1e681u, 14)
        KORVANE_MD5_STEP(G, b, c, d, a, x[4], 0xe7d3fbc8u, 20)
        KORVANE_MD5_STEP(G, a, b, c, d, x[9], 0x21e1cde6u, 5)
        KORVANE_MD5_STEP(G, d, a, b, c, x[14], 0xc33707d6u, 9)
        KORVANE_MD5_STEP(G, c, d, a, b, x[3], 0xf4d50d87u, 14)
        KORVANE_MD5_STEP(G, b, c, d, a, x[8], 0x455a14edu, 20)
        KORVANE_MD5_STEP(G, a, b, c, d, x[13], 0xa9e3e905u, 5)
        KORVANE_MD5_STEP(G, d, a, b, c, x[2], 0xfcefa3f8u, 9)
        KORVANE_MD5_STEP(G, c, d, a, b, x[7], 0x676f02d9u, 14)
        KORVANE_MD5_STEP(G, b, c, d, a, x[12], 0x8d2a4c8au, 20)

        KORVANE_MD5_STEP(H, a, b, c, d, x[5], 0xfffa3942u, 4)
        KORVANE_MD5_STEP(H, d, a, b, c, x[8], 0x8771f681u, 11)
        KORVANE_MD5_STEP(H, c, d, a, b, x[11], 0x6d9d6122u, 16)
        KORVANE_MD5_STEP(H, b, c, d, a, x[14], 0xfde5380cu, 23)
        KORVANE_MD5_STEP(H, a, b, c, d, x[1], 0xa4beea44u, 4)
        KORVANE_MD5_STEP(H, d, a, b, c, x[4], 0x4bdecfa9u, 11)
        KORVANE_MD5_STEP(H, c, d, a, b, x[7], 0xf6bb4b60u, 16)
        KORVANE_MD5_STEP(H, b, c, d, a, x[10], 0xbebfbc70u, 23)
        KORVANE_MD5_STEP(H, a, b, c, d, x[13], 0x289b7ec6u, 4)
        KORVANE_MD5_STEP(H, d, a, b, c, x[0], 0xeaa127fau, 11)
        KORVANE_MD5_STEP(H, c, d, a, b, x[3], 0xd4ef3085u, 16)
        KORVANE_MD5_STEP(H, b, c, d, a, x[6], 0x04881d05u, 23)
        KORVANE_MD5_STEP(H, a, b, c, d, x[9], 0xd9d4d039u, 4)
        KORVANE_MD5_STEP(H, d, a, b, c, x[12], 0xe6db99e5u, 11)
        KORVANE_MD5_STEP(H, c, d, a, b, x[15], 0x1fa27cf8u, 16)
        KORVANE_MD5_STEP(H, b, c, d, a, x[2], 0xc4ac5665u, 23)

        KORVANE_MD5_STEP(I, a, b, c, d, x[0], 0xf4292244u, 6)
        KORVANE_MD5_STEP(I, d, a, b, c, x[7], 0x432aff97u, 10)
        KORVANE_MD5_STEP(I, c, d, a, b, x[14], 0xab9423a7u, 15)
        KORVANE_MD5_STEP(I, b, c, d, a, x[5], 0xfc93a039u, 21)
        KORVANE_MD5_STEP(I, a, b, c, d, x[12], 0x655b59c3u, 6)
        KORVANE_MD5_STEP(I, d, a, b, c, x[3], 0x8f0ccc92u, 10)
        KORVANE_MD5_STEP(I, c, d, a, b, x[10], 0xffeff47du, 15)
        KORVANE_MD5_STEP(I, b, c, d, a, x[1], 0x85845dd1u, 21)
        KORVANE_MD5_STEP(I, a, b, c, d, x[8], 0x6fa87e4fu, 6)
        KORVANE_MD5_STEP(I, d, a, b, c, x[15], 0xfe2ce6e0u, 10)
        KORVANE_MD5_STEP(I, c, d, a, b, x[6], 0xa3014314u, 15)
        KORVANE_MD5_STEP(I, b, c, d, a, x[13], 0x4e0811a1u, 21)
        KORVANE_MD5_STEP(I, a, b, c, d, x[4], 0xf7537e82u, 6)
        KORVANE_MD5_STEP(I, d, a, b, c, x[11], 0xbd3af235u, 10)
        KORVANE_MD5_STEP(I, c, d, a, b, x[2], 0x2ad7d2bbu, 15)
        KORVANE_MD5_STEP(I, b, c, d, a, x[9], 0xeb86d391u, 21)

        a0 += a;
        b0 += b;
        c0 += c;
        d0 += d;
    }
    m_state = {a0, b0, c0, d0};
}

#undef KORVANE_MD5_STEP

void Md5::Update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_length += size;
    if (m_pendingSize > 0) {
        const std::size_t take = std::min(size, m_pending.size() - m_pendingSize);
        std::memcpy(m_pending.data() + m_pendingSize, bytes, take);
        m_pendingSize += take;
        bytes += take;
        size -= take;
        if (m_pendingSize < m_pending.size())
            return;
        Blocks(m_pending.data(), 1);
        m_pendingSize = 0;
    }
    Blocks(bytes, size / 64);
    bytes += size / 64 * 64;
    size %= 64;
    std::memcpy(m_pending.data(), bytes, size);
    m_pendingSize = size;
}

Md5::Digest Md5::Finish() {
    const std::uint64_t bits = m_length * 8;
    std::array<std::uint8_t, 72> padding{};
    padding[0] = 0x80;
    const std::size_t padLength = (m_pendingSize < 56 ? 56 : 120) - m_pendingSize;
    for (int i = 0; i < 8; ++i)
        padding[padLength + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(bits >> (8 * i));
    Update(padding.data(), padLength + 8);
    Digest digest{};
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<std::uint8_t>(m_state[i] >> (8 * j));
    return digest;
}

std::string Md5Hex(const Md5::Digest& digest) {
    std::string hex;
    char cell[3];
    for (std::uint8_t byte : digest) {
        std::snprintf(cell, sizeof cell, "%02x", byte);
        hex += cell;
    }
    return hex;
}

Md5::Digest Md5Of(std::string_view bytes) {
    Md5 md5;
    md5.Update(bytes.data(), bytes.size());
    return md5.Finish();
}

std::optional<Md5::Digest> Md5OfFile(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen())
        return std::nullopt;
    // Large reads keep the system calls few; the digest still takes the bytes 1024 at a time.
    constexpr std::size_t kReadBlock = 1 << 20;
    const auto buffer = std::make_unique<std::uint8_t[]>(kReadBlock);
    Md5 md5;
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer.get(), kReadBlock);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        for (std::size_t at = 0; at < static_cast<std::size_t>(got); at += kMd5FeedChunk)
            md5.Update(buffer.get() + at,
                       std::min(kMd5FeedChunk, static_cast<std::size_t>(got) - at));
    }
    return md5.Finish();
}

} // namespace korvane
