#pragma once

#include "shell/posix_file.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

class BlockWriter;

// How a reply body compared with a local file.
struct BodyComparison {
    // Unreadable: the local file could not be opened, or ended before the size it had when it
    // was opened; nothing is said of the web copy.
    enum class Outcome { Verified, Truncated, Differs, Unreadable };
    Outcome outcome = Outcome::Verified;
    std::uint64_t counter = 0;       // i: the header's last offset plus the local bytes matched
    std::uint64_t localPosition = 0; // j = i - H, zero-based, where the files differ
    unsigned char localByte = 0;
    unsigned char webByte = 0;
    // A write to the copy failed (a full disk): the copy does not hold what it should.
    bool copyFailed = false;
};

// The local side of a comparison: its bytes in order, a piece at a time, so that a file of any
// size is compared without being held in memory.
class LocalBytes {
  public:
    virtual ~LocalBytes() = default;
    // The bytes that follow those given before; empty at the end. A piece stays valid until the
    // next call.
    virtual std::string_view Next() = 0;
    // The end came early: the file could not be read to its end.
    virtual bool Failed() const { return false; }
};

// Bytes already in memory, given in pieces of at most `piece` bytes.
class LocalBytesInMemory final : public LocalBytes {
  public:
    explicit LocalBytesInMemory(std::string_view bytes, std::size_t piece = SIZE_MAX)
        : m_rest(bytes), m_piece(piece) {}
    std::string_view Next() override;

  private:
    std::string_view m_rest;
    std::size_t m_piece;
};

// A local file read a block at a time, up to the size it had when it was opened (a file that
// grows meanwhile is compared as it was; one that shrinks has Failed).
class LocalFile final : public LocalBytes {
  public:
    explicit LocalFile(const std::string& path);
    // False when the path cannot be opened for reading or is no plain file.
    bool IsOpen() const { return m_file.IsOpen(); }
    std::uint64_t Size() const { return m_size; }
    std::string_view Next() override;
    bool Failed() const override { return m_failed; }

  private:
    FileDescriptor m_file;
    std::uint64_t m_size = 0;
    std::uint64_t m_read = 0;
    std::vector<char> m_block;
    bool m_failed = false;
};

// Compares a reply body with the local bytes as the body arrives, piece by piece (see
// CompareBody for the rules). Every body byte compared is copied to `copy` when given, and only
// those, unless `copyRestOnDifference` asks for the whole body to be copied when the files differ.
// `local` is read as far as the comparison gets, and must outlive the comparer.
class BodyComparer {
  public:
    BodyComparer(std::uint64_t headerEnd, LocalBytes& local, bool forgiveCrLf,
                 BlockWriter* copy = nullptr, bool copyRestOnDifference = false);
    // Takes the next piece of the body; false once nothing more is wanted.
    bool Feed(std::string_view web);
    // The outcome so far: truncated while the body has not decided it.
    BodyComparison Result() const;

  private:
    bool LocalHas(std::uint64_t position);
    bool LocalEnded();
    void Copy(std::string_view bytes);
    bool CopiesRest() const;
    bool Decide(BodyComparison::Outcome outcome);

    std::uint64_t m_headerEnd;
    LocalBytes& m_local;
    bool m_forgiveCrLf;
    BlockWriter* m_copy;
    bool m_copyRestOnDifference;
    std::uint64_t m_counter;
    // The piece of the local file in hand and where it starts in the file.
    std::string_view m_window;
    std::uint64_t m_windowStart = 0;
    bool m_localEnded = false;
    bool m_localEmpty = false;
    bool m_decided = false;
    BodyComparison m_result;
};

// Walks the body that follows the header in `reply` (positioned at the first body byte) and the
// local bytes together until the first difference, the end of the body or the end of the local
// file. H is the offset of the LF that ends the header. With `forgiveCrLf`, a local CR against a
// web LF counts as the local CR LF matched. Every body byte read is copied to `copy` when it is
// open (kv.htm), and only those, unless `copyRestOnDifference` asks for the whole body to be
// copied when the files differ.
BodyComparison CompareBody(int reply, std::uint64_t headerEnd, LocalBytes& local, bool forgiveCrLf,
                           int copy = -1, bool copyRestOnDifference = false);

// "Local file: %c, web file: %c" is only told for bytes in 32..127.
inline bool PrintablePair(unsigned char local, unsigned char web) {
    return local >= 32 && local <= 127 && web >= 32 && web <= 127;
}

} // namespace korvane
