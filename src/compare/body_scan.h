#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Looks for texts in a reply body as it arrives, piece by piece, and takes the body's SHA-256,
// so that a page of any size is checked without being held in memory.
class BodyScanner {
  public:
    BodyScanner(std::vector<std::string> texts, bool digest);
    ~BodyScanner();
    BodyScanner(const BodyScanner&) = delete;
    BodyScanner& operator=(const BodyScanner&) = delete;

    void Feed(std::string_view piece);
    // Whether texts[i] occurred, also across the seam of two pieces. An empty text is found.
    bool Found(std::size_t i) const { return m_found[i]; }
    // The SHA-256 of everything fed, in lower-case hex, once; empty when no digest was asked for.
    std::string Digest();

  private:
    struct Hash;
    std::vector<std::string> m_texts;
    std::vector<bool> m_found;
    std::string m_tail; // the last bytes fed, as long as the longest text less one
    std::size_t m_keep = 0;
    std::unique_ptr<Hash> m_hash;
};

} // namespace korvane
