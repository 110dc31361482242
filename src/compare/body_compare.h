#pragma once

#include <cstdint>
#include <string_view>

namespace korvane {

class BlockWriter;

// How a reply body compared with a local file.
struct BodyComparison {
    enum class Outcome { Verified, Truncated, Differs };
    Outcome outcome = Outcome::Verified;
    std::uint64_t counter = 0;       // i: the header's last offset plus the local bytes matched
    std::uint64_t localPosition = 0; // j = i - H, zero-based, where the files differ
    unsigned char localByte = 0;
    unsigned char webByte = 0;
    // A write to the copy failed (a full disk): the copy does not hold what it should.
    bool copyFailed = false;
};

// Compares a reply body with the local contents as the body arrives, piece by piece (see
// CompareBody for the rules). Every body byte compared is copied to `copy` when given, and only
// those, unless `copyRestOnDifference` asks for the whole body to be copied when the files differ.
class BodyComparer {
  public:
    BodyComparer(std::uint64_t headerEnd, std::string_view local, bool forgiveCrLf,
                 BlockWriter* copy = nullptr, bool copyRestOnDifference = false);
    // Takes the next piece of the body; false once nothing more is wanted.
    bool Feed(std::string_view web);
    // The outcome so far: truncated while the body has not decided it.
    BodyComparison Result() const;

  private:
    void Copy(std::string_view bytes);
    bool CopiesRest() const;
    bool Decide(BodyComparison::Outcome outcome);

    std::uint64_t m_headerEnd;
    std::string_view m_local;
    bool m_forgiveCrLf;
    BlockWriter* m_copy;
    bool m_copyRestOnDifference;
    std::uint64_t m_counter;
    bool m_decided = false;
    BodyComparison m_result;
};

// Walks the body that follows the header in `reply` (positioned at the first body byte) and the
// local contents together until the first difference, the end of the body or the end of the
// local file. H is the offset of the LF that ends the header. With `forgiveCrLf`, a local CR
// against a web LF counts as the local CR LF matched. Every body byte read is copied to
// `copy` when it is open (kv.htm), and only those, unless `copyRestOnDifference` asks for the
// whole body to be copied when the files differ.
BodyComparison CompareBody(int reply, std::uint64_t headerEnd, std::string_view local,
                           bool forgiveCrLf, int copy = -1, bool copyRestOnDifference = false);

// "Local file: %c, web file: %c" is only told for bytes in 32..127.
inline bool PrintablePair(unsigned char local, unsigned char web) {
    return local >= 32 && local <= 127 && web >= 32 && web <= 127;
}

} // namespace korvane
