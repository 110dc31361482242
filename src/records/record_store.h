#pragma once

// One database's file and index behind one private lock. Every operation takes values and gives
// values back: a copy of a record, the slot it came from, an outcome. What an outcome means to the
// user is for the tools to say.

#include "records/record_index.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane {

// A record found by number or by name: a copy of the caller's own, with the number of its index
// entry and the slot it was read from, so that a change goes back over that slot.
template <typename Record> struct Found {
    std::int64_t number = 0;
    std::int64_t slot = 0;
    Record record;
};

// A lookup or one step of a scan. Nothing found reads as io Ok without a record.
template <typename Record> struct Lookup {
    RecordIo io = RecordIo::Ok;
    std::optional<Found<Record>> found;
};

// What became of a change. The index follows the file only when the record was written whole.
enum class RecordChange {
    Done,
    DoneOutOfMemory, // stored, but the index could not make room for the next additions
    InvalidNumber,   // a rewrite of a number that no entry carries
    OpenFailed,
    WriteFailed,
};

enum class MatchChoice { Accept, Cancel, Next };

// How a search by name ended; the failures say whether they came while looking for the next match.
enum class SearchEnd {
    Accepted,
    Cancelled,
    NoMatch,
    NotRun, // an empty pattern matches nothing, so nothing is searched
    OpenFailed,
    ReadFailed,
    NextOpenFailed,
    NextReadFailed,
};

template <typename Record> struct Search {
    SearchEnd end = SearchEnd::NoMatch;
    std::optional<Found<Record>> found;
};

struct RecordCounts {
    std::int64_t slotCount = 0;
    std::int64_t deleted = 0;
};

// The first live number and the last number of the index, where there are such entries.
struct NumberSpan {
    std::optional<std::int64_t> firstLive;
    std::optional<std::int64_t> last;
};

enum class WalkStep { Found, Unreadable, End, FileMissing };

inline constexpr std::size_t kListRows = 10;

// The lock guards the index and makes each read or write of a record whole with respect to every
// other: workers walk the records while the menu commands change them. It is held for one lookup
// and one record at a time, never while the user or a server is waited for.
template <typename Record> class RecordStore {
  public:
    RecordStore(std::string path, TextField nameField, std::size_t spare)
        : m_path(std::move(path)), m_nameField(nameField), m_spare(spare) {}
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    const std::string& Path() const { return m_path; }

    // Builds the index from the file; any outcome but Loaded leaves the index as it was.
    LoadStatus Load() {
        RecordIndex index;
        const LoadStatus status =
            ReadRecordIndex(m_path, Record::kSize, m_nameField.offset, m_spare, index);
        if (status == LoadStatus::Loaded) {
            std::scoped_lock lock(m_mutex);
            m_index = std::move(index);
            m_appendsSinceGrowth = 0;
        }
        return status;
    }

    // A copy of the index as it stands.
    RecordIndex Index() const {
        std::scoped_lock lock(m_mutex);
        return m_index;
    }
    RecordCounts Counts() const {
        std::scoped_lock lock(m_mutex);
        return {m_index.SlotCount(), m_index.deletedCount};
    }
    NumberSpan Span() const {
        std::scoped_lock lock(m_mutex);
        NumberSpan span;
        if (const std::size_t p = LocateNumber(m_index, kLowestRecordNumber); p < m_index.Size())
            span.firstLive = m_index.entries[p].number;
        if (!m_index.entries.empty())
            span.last = m_index.entries.back().number;
        return span;
    }
    bool NumberInUse(std::int64_t number) const {
        std::scoped_lock lock(m_mutex);
        const std::size_t p = LocateNumber(m_index, number);
        return p < m_index.Size() && m_index.entries[p].number == number;
    }
    std::int64_t SuggestNumber(std::int64_t base) const {
        std::scoped_lock lock(m_mutex);
        return korvane::SuggestNumber(m_index, base);
    }

    // The first entry that carries exactly `number`.
    Lookup<Record> Find(std::int64_t number) const {
        std::scoped_lock lock(m_mutex);
        const std::size_t p = LocateNumber(m_index, number);
        if (p == m_index.Size() || m_index.entries[p].number != number)
            return {};
        return ReadEntry(m_index.entries[p]);
    }
    // The first live entry numbered `number` or more.
    Lookup<Record> FindFrom(std::int64_t number) const {
        std::scoped_lock lock(m_mutex);
        const std::size_t p = LocateNumber(m_index, std::max(number, kLowestRecordNumber));
        if (p == m_index.Size())
            return {};
        return ReadEntry(m_index.entries[p]);
    }

    // For a worker's walk: the record of the first live entry from `from` on, read into `out`.
    // Only a file that cannot be opened stops a walk. A record that cannot be read whole comes
    // back Unreadable with its number and slot: `out.record` then holds no record at all.
    WalkStep NextFrom(std::int64_t from, Found<Record>& out) const {
        std::scoped_lock lock(m_mutex);
        const std::size_t p = LocateNumber(m_index, std::max(from, kLowestRecordNumber));
        if (p >= m_index.Size())
            return WalkStep::End;
        const IndexEntry entry = m_index.entries[p];
        const RecordIo io = ReadRecord(m_path, entry.slot, out.record);
        if (io == RecordIo::OpenFailed)
            return WalkStep::FileMissing;
        out.number = entry.number;
        out.slot = entry.slot;
        return io == RecordIo::Ok ? WalkStep::Found : WalkStep::Unreadable;
    }

    // Text search: each record whose name matches, in slot order, goes to `offer`, which answers
    // for the user, until one is accepted. One typed character searches as that character and "?".
    template <typename Offer>
    Search<Record> SearchByName(std::string_view typed, Offer&& offer) const {
        const std::string pattern = WidenPattern(typed);
        if (pattern.empty())
            return {SearchEnd::NotRun, std::nullopt};
        Lookup<Record> match = ScanFrom(pattern, 0);
        bool next = false;
        while (match.found) {
            switch (offer(static_cast<const Record&>(match.found->record))) {
            case MatchChoice::Accept:
                return {SearchEnd::Accepted, std::move(match.found)};
            case MatchChoice::Cancel:
                return {SearchEnd::Cancelled, std::nullopt};
            case MatchChoice::Next:
                next = true;
                match = ScanFrom(pattern, match.found->slot + 1);
                break;
            }
        }
        if (match.io == RecordIo::OpenFailed)
            return {next ? SearchEnd::NextOpenFailed : SearchEnd::OpenFailed, std::nullopt};
        if (match.io == RecordIo::IoFailed)
            return {next ? SearchEnd::NextReadFailed : SearchEnd::ReadFailed, std::nullopt};
        return {SearchEnd::NoMatch, std::nullopt};
    }

    // The list from the first number not below `from`, kListRows records to a page. `show` gets
    // each page and whether it is full, and answers true for Next. It ends on an answer other than
    // Next, after a short page, on an empty page and at once for a number out of range. Returns
    // how the last read went.
    template <typename Show> RecordIo List(std::int64_t from, Show&& show) const {
        if (!NumberInRange(from))
            return RecordIo::Ok;
        std::size_t position = 0;
        {
            std::scoped_lock lock(m_mutex);
            position = LocateNumber(m_index, from);
        }
        for (;;) {
            std::vector<Found<Record>> page;
            {
                std::scoped_lock lock(m_mutex);
                for (; page.size() < kListRows && position < m_index.Size(); ++position) {
                    Lookup<Record> row = ReadEntry(m_index.entries[position]);
                    if (!row.found)
                        return row.io;
                    page.push_back(std::move(*row.found));
                }
            }
            if (page.empty())
                return RecordIo::Ok;
            if (!show(static_cast<const std::vector<Found<Record>>&>(page),
                      page.size() == kListRows) ||
                page.size() < kListRows)
                return RecordIo::Ok;
        }
    }

    // Writes `image` over the slot of the entry that carries its number: the slot it was found at
    // when several carry it. The name key follows only a write that went through.
    RecordChange Rewrite(const Record& image, std::int64_t foundSlot) {
        const std::int64_t number = image.Number();
        std::scoped_lock lock(m_mutex);
        std::size_t p = LocateEntry(m_index, number, foundSlot);
        if (p == m_index.Size())
            p = LocateNumber(m_index, number);
        if (number < kLowestRecordNumber || p == m_index.Size() ||
            m_index.entries[p].number != number)
            return RecordChange::InvalidNumber;
        const std::int64_t slot = m_index.entries[p].slot;
        const RecordIo io = WriteRecord(m_path, slot, image);
        if (io != RecordIo::Ok)
            return Failed(io);
        m_index.keys[static_cast<std::size_t>(slot)] = KeyOf(image);
        return RecordChange::Done;
    }

    // Writes a new record over the oldest deleted slot or at the end of the file and only then
    // enters it in the index, so a failed open or write leaves index, keys and counts as they were.
    RecordChange Add(const Record& image) {
        std::scoped_lock lock(m_mutex);
        const std::int64_t slot = NextFreeSlot(m_index);
        const bool append = slot == m_index.SlotCount();
        const RecordIo io = WriteRecord(m_path, slot, image);
        if (io != RecordIo::Ok)
            return Failed(io);
        InsertIndexEntry(m_index, image.Number(), KeyOf(image));
        if (append && !GrowIndexAfterAppend(m_index, m_appendsSinceGrowth, m_spare))
            return RecordChange::DoneOutOfMemory;
        return RecordChange::Done;
    }

    // Writes the found record back as deleted (number -1, the first two name bytes zero, the rest
    // as it was) and then takes its entry out of the index.
    RecordChange Delete(const Found<Record>& found) {
        Record image = found.record;
        image.SetNumber(kDeletedRecordNumber);
        image.ClearKeyAt(m_nameField.offset);
        std::scoped_lock lock(m_mutex);
        const RecordIo io = WriteRecord(m_path, found.slot, image);
        if (io != RecordIo::Ok)
            return Failed(io);
        MarkSlotDeleted(m_index, found.number, found.slot);
        return RecordChange::Done;
    }

  private:
    NameKey KeyOf(const Record& record) const { return record.KeyAt(m_nameField.offset); }

    static RecordChange Failed(RecordIo io) {
        return io == RecordIo::OpenFailed ? RecordChange::OpenFailed : RecordChange::WriteFailed;
    }

    // Called with the lock held.
    Lookup<Record> ReadEntry(const IndexEntry& entry) const {
        Lookup<Record> lookup;
        Record record;
        lookup.io = ReadRecord(m_path, entry.slot, record);
        if (lookup.io == RecordIo::Ok)
            lookup.found = Found<Record>{entry.number, entry.slot, record};
        return lookup;
    }

    // The next record at or after `fromSlot` whose name matches the widened `pattern`, read from a
    // file opened once for the whole scan. Only slots whose key pair passes are read.
    Lookup<Record> ScanFrom(const std::string& pattern, std::int64_t fromSlot) const {
        const FileDescriptor file = OpenRecordFile(m_path);
        if (!file.IsOpen())
            return {RecordIo::OpenFailed, std::nullopt};
        Record record;
        for (std::int64_t slot = fromSlot;; ++slot) {
            {
                std::scoped_lock lock(m_mutex);
                const auto slotCount = static_cast<std::int64_t>(m_index.keys.size());
                while (slot < slotCount &&
                       !KeyMatches(pattern, m_index.keys[static_cast<std::size_t>(slot)]))
                    ++slot;
                if (slot >= slotCount)
                    return {};
                if (ReadRecordFrom(file.Get(), slot, record.Raw().data(), Record::kSize) !=
                    RecordIo::Ok)
                    return {RecordIo::IoFailed, std::nullopt};
            }
            if (NamePatternMatch(pattern, KeyOf(record), record.Text(m_nameField)))
                return {RecordIo::Ok, Found<Record>{record.Number(), slot, record}};
        }
    }

    const std::string m_path;
    const TextField m_nameField;
    const std::size_t m_spare; // entries reserved beyond the slot count at load and on growth

    mutable std::mutex m_mutex;
    RecordIndex m_index;
    std::size_t m_appendsSinceGrowth = 0;
};

} // namespace korvane
