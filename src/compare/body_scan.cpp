#include "compare/body_scan.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>

namespace korvane {

struct BodyScanner::Hash {
    Hash() : context(EVP_MD_CTX_new()) {
        if (context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
            EVP_MD_CTX_free(context);
            context = nullptr;
        }
    }
    ~Hash() { EVP_MD_CTX_free(context); }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    EVP_MD_CTX* context;
};

BodyScanner::BodyScanner(std::vector<std::string> texts, bool digest)
    : m_texts(std::move(texts)), m_found(m_texts.size(), false) {
    for (std::size_t i = 0; i < m_texts.size(); ++i) {
        m_found[i] = m_texts[i].empty();
        m_keep = std::max(m_keep, m_texts[i].empty() ? 0 : m_texts[i].size() - 1);
    }
    if (digest)
        m_hash = std::make_unique<Hash>();
}

BodyScanner::~BodyScanner() = default;

void BodyScanner::Feed(std::string_view piece) {
    if (m_hash && m_hash->context != nullptr)
        EVP_DigestUpdate(m_hash->context, piece.data(), piece.size());
    if (std::all_of(m_found.begin(), m_found.end(), [](bool f) { return f; }))
        return;
    // A text split between two pieces is found in the kept tail joined to the new piece's start.
    const std::string seam = m_tail + std::string(piece.substr(0, std::min(piece.size(), m_keep)));
    for (std::size_t i = 0; i < m_texts.size(); ++i) {
        if (!m_found[i])
            m_found[i] = seam.find(m_texts[i]) != std::string::npos ||
                         piece.find(m_texts[i]) != std::string_view::npos;
    }
    if (piece.size() >= m_keep) {
        m_tail.assign(piece.substr(piece.size() - m_keep));
    } else {
        m_tail.append(piece);
        if (m_tail.size() > m_keep)
            m_tail.erase(0, m_tail.size() - m_keep);
    }
}

std::string BodyScanner::Digest() {
    if (!m_hash || m_hash->context == nullptr)
        return {};
    std::array<unsigned char, EVP_MAX_MD_SIZE> bytes{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(m_hash->context, bytes.data(), &size) != 1)
        return {};
    m_hash.reset();
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex.push_back(kHex[bytes[i] >> 4]);
        hex.push_back(kHex[bytes[i] & 15]);
    }
    return hex;
}

} // namespace korvane
