#pragma once

#include "shell/posix_file.h"
#include "shell/settings_block.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

inline constexpr std::int64_t kLowestRecordNumber = 1;
inline constexpr std::int64_t kHighestRecordNumber = 100000000000000000;
inline constexpr std::int64_t kDeletedRecordNumber = -1;

inline constexpr std::size_t kCustomerRecordSize = 8096;
inline constexpr std::size_t kSearchEngineRecordSize = 2928;
inline constexpr std::string_view kCustomerFileName = "member.dat";
inline constexpr std::string_view kSearchEngineFileName = "urlsubmit.dat";

inline bool NumberInRange(std::int64_t number) {
    return number >= kLowestRecordNumber && number <= kHighestRecordNumber;
}

// One fixed-size record exactly as it lies in its file: little-endian numbers, zero-terminated
// texts in fixed-width fields. Bytes after a text's terminator stay as they were.
template <std::size_t Size> class RecordImage {
  public:
    static constexpr std::size_t kSize = Size;
    using Bytes = std::array<std::uint8_t, Size>;

    std::int64_t Number() const { return static_cast<std::int64_t>(Unsigned(0, 8)); }
    void SetNumber(std::int64_t number) { SetUnsigned(0, 8, static_cast<std::uint64_t>(number)); }
    std::int32_t Int32At(std::size_t offset) const {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(Unsigned(offset, 4)));
    }
    void SetInt32At(std::size_t offset, std::int32_t value) {
        SetUnsigned(offset, 4, static_cast<std::uint32_t>(value));
    }

    // The text up to its terminator, or the whole field when it holds none.
    std::string Text(TextField field) const {
        const auto* begin = m_bytes.data() + field.offset;
        const void* end = std::memchr(begin, 0, field.width);
        const std::size_t length =
            end == nullptr
                ? field.width
                : static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - begin);
        return std::string(reinterpret_cast<const char*>(begin), length);
    }
    // Stores at most width - 1 characters and the terminator; the bytes after it are kept.
    void SetText(TextField field, std::string_view text) {
        const std::size_t length = std::min(text.size(), field.MaxChars());
        std::memcpy(m_bytes.data() + field.offset, text.data(), length);
        m_bytes[field.offset + length] = 0;
    }

    // The first two bytes of the name field, as the key table keeps them.
    std::array<std::uint8_t, 2> KeyAt(std::size_t offset) const {
        return {m_bytes[offset], m_bytes[offset + 1]};
    }
    void ClearKeyAt(std::size_t offset) {
        m_bytes[offset] = 0;
        m_bytes[offset + 1] = 0;
    }

    void Clear() { m_bytes.fill(0); }
    Bytes& Raw() { return m_bytes; }
    const Bytes& Raw() const { return m_bytes; }

    friend bool operator==(const RecordImage&, const RecordImage&) = default;

  private:
    std::uint64_t Unsigned(std::size_t offset, std::size_t width) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i)
            value |= static_cast<std::uint64_t>(m_bytes[offset + i]) << (8 * i);
        return value;
    }
    void SetUnsigned(std::size_t offset, std::size_t width, std::uint64_t value) {
        for (std::size_t i = 0; i < width; ++i)
            m_bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }

    Bytes m_bytes{};
};

using CustomerRecord = RecordImage<kCustomerRecordSize>;
using SearchEngineRecord = RecordImage<kSearchEngineRecordSize>;

// Where each customer field lives. Widths are the file's; the entry dialog may store fewer
// characters (the customer commands keep its limits).
namespace customer {
inline constexpr TextField Company{8, 40};
inline constexpr TextField Title{48, 20};
inline constexpr TextField FirstName{68, 20};
inline constexpr TextField LastName{88, 30};
inline constexpr TextField Road{118, 30};
inline constexpr TextField Town{148, 30};
inline constexpr TextField State{178, 30};
inline constexpr TextField Zip{208, 10};
inline constexpr TextField Telephone1{218, 20};
inline constexpr TextField Telephone2{238, 20};
inline constexpr TextField Email1{258, 40};
inline constexpr TextField Email2{298, 40};
inline constexpr TextField Host{338, 30};
inline constexpr TextField HostType{368, 30};
inline constexpr TextField FtpServer{398, 30};
inline constexpr TextField CreationDate{428, 30};
constexpr TextField Server(std::size_t pair) { // pair 0..3
    return {458 + 400 * pair, 200};
}
constexpr TextField LocalFolder(std::size_t pair) {
    return {658 + 400 * pair, 200};
}
inline constexpr TextField FtpUserName{2058, 30};
inline constexpr TextField FtpPassword{2088, 30};
inline constexpr TextField AdminContact{2118, 30};
inline constexpr TextField DomainExpiry{2148, 30};
inline constexpr TextField Dns1{2178, 40};
inline constexpr TextField Dns2{2218, 40};
inline constexpr TextField Updated{2258, 11};
inline constexpr TextField LinkDomain{4096, 200};
inline constexpr TextField LinkPage{4296, 200};
inline constexpr TextField LinkText{4496, 200};
inline constexpr std::size_t kServerPairs = 4;
} // namespace customer

namespace engine {
inline constexpr TextField Name{8, 200};
inline constexpr TextField BaseUrl{208, 200};
inline constexpr TextField ScriptPath{408, 200};
inline constexpr TextField UrlFormName{608, 200};
inline constexpr TextField EmailFormName{808, 200};
constexpr TextField ExtraField(std::size_t row) { // row 0..3
    return {1008 + 400 * row, 200};
}
constexpr TextField ExtraValue(std::size_t row) {
    return {1208 + 400 * row, 200};
}
inline constexpr std::size_t kExtraRows = 4;
inline constexpr std::size_t kMethodOffset = 2608;
inline constexpr std::int32_t kMethodPost = 0;
inline constexpr std::int32_t kMethodGet = 2;
} // namespace engine

// The default records written when a file is missing.
inline constexpr std::string_view kDefaultCompany = "A COMPANY";
inline constexpr std::string_view kDefaultRoad = "A ROAD";
inline constexpr std::string_view kDefaultEngineName = "A SEARCH ENGINE";
inline constexpr std::string_view kDefaultEngineHost = "www.example.com";

using NameKey = std::array<std::uint8_t, 2>;

struct IndexEntry {
    std::int64_t number = 0;
    std::int64_t slot = 0;
    friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
};

// The in-memory index of one record file: one entry per slot, ascending by number with every
// deleted entry (-1) at the front, plus the name key of every slot. The array grows as needed, so
// a position equal to Size() plays the part of the zero terminator.
struct RecordIndex {
    std::vector<IndexEntry> entries;
    std::vector<NameKey> keys; // indexed by slot
    std::int64_t liveCount = 0;
    std::int64_t deletedCount = 0;

    std::int64_t SlotCount() const { return static_cast<std::int64_t>(entries.size()); }
    std::size_t Size() const { return entries.size(); }
};

// Sorts the first `count` entries by number, keeping entries with equal numbers in file order.
void SortIndex(std::vector<IndexEntry>& entries, std::size_t count);
// The position of the first entry whose number is not below `number`, or Size().
std::size_t LocateNumber(const RecordIndex& index, std::int64_t number);
// The position of the entry of `number` stored at `slot`, or Size() when there is none.
std::size_t LocateEntry(const RecordIndex& index, std::int64_t number, std::int64_t slot);
// The slot a new record goes to: the oldest deleted slot, or an append at the slot count.
std::int64_t NextFreeSlot(const RecordIndex& index);
// Enters a record that has just been written at NextFreeSlot(); returns that slot.
std::int64_t InsertIndexEntry(RecordIndex& index, std::int64_t number, NameKey key);
// Marks the entry of `number` at `slot` deleted; the slot joins the back of the reuse queue.
void MarkSlotDeleted(RecordIndex& index, std::int64_t number, std::int64_t slot);
// The first number of the unbroken run of used numbers from `base` on, or `base` when free.
std::int64_t SuggestNumber(const RecordIndex& index, std::int64_t base);
// The search rule of Find, Amend and Delete; `pattern` has been widened already (see
// WidenPattern). `name` is the record's name field, as stored.
bool KeyMatches(std::string_view pattern, NameKey key);
bool NamePatternMatch(std::string_view pattern, NameKey key, std::string_view name);
// One character c searches as c followed by "?".
std::string WidenPattern(std::string_view typed);

enum class RecordIo { Ok, OpenFailed, IoFailed };

// One record read or written at `slot`, opening and closing the file around it. A write is one
// positioned write of the whole record; a failed append is cut back so no torn record remains.
RecordIo ReadRecordAt(const std::string& path, std::int64_t slot, std::uint8_t* data,
                      std::size_t size);
RecordIo WriteRecordAt(const std::string& path, std::int64_t slot, const std::uint8_t* data,
                       std::size_t size);
// The same read from a file that is open already, for a scan that reads many slots.
RecordIo ReadRecordFrom(int fd, std::int64_t slot, std::uint8_t* data, std::size_t size);
FileDescriptor OpenRecordFile(const std::string& path);

template <typename Record>
RecordIo ReadRecord(const std::string& path, std::int64_t slot, Record& record) {
    return ReadRecordAt(path, slot, record.Raw().data(), Record::kSize);
}
template <typename Record>
RecordIo WriteRecord(const std::string& path, std::int64_t slot, const Record& record) {
    return WriteRecordAt(path, slot, record.Raw().data(), Record::kSize);
}

enum class LoadStatus { Loaded, Missing, Empty, Corrupt, NotPresent, OutOfMemory };

// Builds the index of one record file: reads it once, sorts the entries and keeps every slot's
// name key (zero for deleted records).
LoadStatus ReadRecordIndex(const std::string& path, std::size_t recordSize, std::size_t nameOffset,
                           std::size_t spare, RecordIndex& index);

// Makes room for `spare` more entries when the appends since the last growth pass the threshold.
// Returns false when memory ran out.
bool GrowIndexAfterAppend(RecordIndex& index, std::size_t& appendsSinceGrowth, std::size_t spare);

} // namespace korvane
