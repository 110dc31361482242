#pragma once

// The steps that the customer and the search-engine commands share: lookups, the text scan with
// its match dialog, rewriting, adding, deleting and the ten-row list. Each database supplies its
// own texts and dialogs.

#include "records/record_files.h"
#include "shell/posix_file.h"
#include "shell/shell.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace korvane {

struct Notice {
    std::string_view text;
    std::string_view title;
};

// Messages that differ between the two databases for the same situation.
struct StoreTexts {
    Notice findOpenFailed;
    Notice numberReadFailed;
    Notice scanReadFailed;
    Notice nextOpenFailed;
    Notice nextReadFailed;
    Notice rewriteOpenFailed;
    Notice rewriteWriteFailed;
    Notice addOpenFailed;
    Notice addWriteFailed;
    Notice deleteOpenFailed;
    Notice deleteWriteFailed;
    Notice listOpenFailed;
    Notice listReadFailed;
};

inline void Tell(Shell& shell, Notice notice) {
    shell.desktop.ShowMessage(notice.text, notice.title);
}

// A typed number: the leading decimal digits as a signed 64-bit value (text starting with a
// letter gives 0; numbers too large for 64 bits give the largest value).
inline std::int64_t ReadNumber(std::string_view text) {
    const std::string copy(text);
    errno = 0;
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    return static_cast<std::int64_t>(value);
}

inline std::string NumberText(std::int64_t number) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64, number);
    return text;
}

// The record found by a lookup, with the slot it came from. The copy is the caller's own, so a
// worker that reads another record into the shared buffer meanwhile cannot change it.
template <typename Record> struct Found {
    std::int64_t number = 0;
    std::int64_t slot = 0;
    Record record;
};

struct RecordCounts {
    std::int64_t slots = 0;
    std::int64_t deleted = 0;
};

template <typename Record> RecordCounts CountsOf(const RecordStore<Record>& store) {
    std::scoped_lock lock(store.indexMutex);
    return {store.index.SlotCount(), store.index.deletedCount};
}

template <typename Record> bool NumberInUse(const RecordStore<Record>& store, std::int64_t number) {
    std::scoped_lock lock(store.indexMutex);
    const std::size_t p = LocateNumber(store.index, number);
    return p < store.index.Size() && store.index.entries[p].number == number;
}

// Reads `slot` into the shared buffer and returns a copy; reports a failure with its message.
template <typename Record>
std::optional<Found<Record>> ReadFound(Shell& shell, RecordStore<Record>& store, std::int64_t slot,
                                       Notice openFailed, Notice readFailed) {
    RecordIo io = RecordIo::Ok;
    Found<Record> found;
    {
        std::scoped_lock lock(store.bufferMutex);
        io = ReadRecord(store.path, slot, store.buffer);
        if (io == RecordIo::Ok) {
            store.currentSlot = slot;
            store.foundNumber = store.buffer.Number();
            found = {store.buffer.Number(), slot, store.buffer};
        }
    }
    if (io == RecordIo::OpenFailed)
        Tell(shell, openFailed);
    if (io == RecordIo::IoFailed)
        Tell(shell, readFailed);
    if (io != RecordIo::Ok)
        return std::nullopt;
    return found;
}

// Number lookup: the first entry with exactly this number. An unused number finds nothing and
// says nothing.
template <typename Record>
std::optional<Found<Record>> LookupNumber(Shell& shell, RecordStore<Record>& store,
                                          const StoreTexts& texts, std::int64_t number) {
    std::int64_t slot = 0;
    {
        std::scoped_lock lock(store.indexMutex);
        const std::size_t p = LocateNumber(store.index, number);
        if (p == store.index.Size() || store.index.entries[p].number != number)
            return std::nullopt;
        slot = store.index.entries[p].slot;
    }
    auto found = ReadFound(shell, store, slot, texts.findOpenFailed, texts.numberReadFailed);
    if (found)
        found->number = number;
    return found;
}

// A whole record from an open file, or false.
inline bool ReadWholeAt(int fd, std::uint8_t* data, std::size_t size, off_t offset) {
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n =
            ::pread(fd, data + total, size - total, offset + static_cast<off_t>(total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        total += static_cast<std::size_t>(n);
    }
    return true;
}

// The next record at or after `fromSlot` whose name matches; nullopt when there is none or after
// an error (then `failed` is set and the message shown).
template <typename Record>
std::optional<Found<Record>> ScanFrom(Shell& shell, RecordStore<Record>& store,
                                      std::string_view pattern, std::int64_t fromSlot,
                                      Notice openFailed, Notice readFailed, bool& failed) {
    failed = false;
    FileDescriptor file(::open(store.path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen()) {
        failed = true;
        Tell(shell, openFailed);
        return std::nullopt;
    }
    for (std::int64_t slot = fromSlot;; ++slot) {
        {
            // Only slots whose key pair passes are read from the file.
            std::scoped_lock lock(store.indexMutex);
            const auto slots = static_cast<std::int64_t>(store.index.keys.size());
            while (slot < slots &&
                   !KeyMatches(pattern, store.index.keys[static_cast<std::size_t>(slot)]))
                ++slot;
            if (slot >= slots)
                return std::nullopt;
        }
        std::scoped_lock lock(store.bufferMutex);
        if (!ReadWholeAt(file.Get(), store.buffer.Raw().data(), Record::kSize,
                         static_cast<off_t>(slot) * static_cast<off_t>(Record::kSize))) {
            failed = true;
            break;
        }
        const std::string name = store.buffer.Text(store.nameField);
        if (NamePatternMatch(pattern, store.keyOf(store.buffer), name)) {
            store.currentSlot = slot;
            store.foundNumber = store.buffer.Number();
            return Found<Record>{store.buffer.Number(), slot, store.buffer};
        }
    }
    Tell(shell, readFailed);
    return std::nullopt;
}

// For the workers that go through a whole database: visits every live record in number order,
// read into the shared buffer, with the index held still for the whole walk. `visit` gets the
// record and returns false to stop. Returns false when a record could not be read.
template <typename Record, typename Visit>
bool WalkRecords(RecordStore<Record>& store, Visit&& visit) {
    std::scoped_lock indexLock(store.indexMutex);
    for (const IndexEntry& entry : store.index.entries) {
        if (entry.number < kLowestRecordNumber)
            continue;
        std::scoped_lock bufferLock(store.bufferMutex);
        if (ReadRecord(store.path, entry.slot, store.buffer) != RecordIo::Ok)
            return false;
        store.currentSlot = entry.slot;
        if (!visit(static_cast<const Record&>(store.buffer)))
            break;
    }
    return true;
}

enum class MatchChoice { Accept, Cancel, Next };

// Text search: each match is offered in the match dialog until one is accepted.
template <typename Record>
std::optional<Found<Record>> SearchByName(Shell& shell, RecordStore<Record>& store,
                                          const StoreTexts& texts, std::string_view typed,
                                          const std::function<MatchChoice(const Record&)>& offer) {
    const std::string pattern = WidenPattern(typed);
    if (pattern.empty())
        return std::nullopt; // an empty pattern matches nothing; the search is not run
    bool failed = false;
    auto match =
        ScanFrom(shell, store, pattern, 0, texts.findOpenFailed, texts.scanReadFailed, failed);
    while (match) {
        switch (offer(match->record)) {
        case MatchChoice::Accept:
            return match;
        case MatchChoice::Cancel:
            return std::nullopt;
        case MatchChoice::Next:
            match = ScanFrom(shell, store, pattern, match->slot + 1, texts.nextOpenFailed,
                             texts.nextReadFailed, failed);
            break;
        }
    }
    if (!failed)
        shell.desktop.ShowMessage("No match found", "Finished");
    return std::nullopt;
}

// Stores `image` over the slot of the entry that carries its number (the slot it was found at
// when there are duplicates). The key pair follows only a successful write.
template <typename Record>
bool RewriteStored(Shell& shell, RecordStore<Record>& store, const StoreTexts& texts,
                   const Record& image, std::int64_t foundSlot) {
    const std::int64_t number = image.Number();
    bool invalid = false;
    RecordIo io = RecordIo::Ok;
    {
        std::scoped_lock lock(store.bufferMutex, store.indexMutex);
        std::size_t p = LocateEntry(store.index, number, foundSlot);
        if (p == store.index.Size())
            p = LocateNumber(store.index, number);
        invalid = number < 1 || p == store.index.Size() || store.index.entries[p].number != number;
        if (!invalid) {
            const std::int64_t slot = store.index.entries[p].slot;
            store.buffer = image;
            io = WriteRecord(store.path, slot, store.buffer);
            if (io == RecordIo::Ok) {
                store.index.keys[static_cast<std::size_t>(slot)] = store.keyOf(image);
                store.currentSlot = slot;
                return true;
            }
        }
    }
    if (invalid)
        Tell(shell, {"Invalid number.", "Problem"});
    else if (io == RecordIo::OpenFailed)
        Tell(shell, texts.rewriteOpenFailed);
    else
        Tell(shell, texts.rewriteWriteFailed);
    return false;
}

enum class AddOutcome { Stored, NotStored };

// Writes the new record first and enters it in the index only when the write succeeded, so a
// failed open or write leaves the index, its key table and the counters as they were.
template <typename Record>
AddOutcome AddStored(Shell& shell, RecordStore<Record>& store, const StoreTexts& texts,
                     const Record& image) {
    RecordIo io = RecordIo::Ok;
    bool grown = true;
    {
        std::scoped_lock lock(store.bufferMutex, store.indexMutex);
        const std::int64_t slot = NextFreeSlot(store.index);
        const bool append = slot == store.index.SlotCount();
        store.buffer = image;
        io = WriteRecord(store.path, slot, store.buffer);
        if (io == RecordIo::Ok) {
            InsertIndexEntry(store.index, image.Number(), store.keyOf(image));
            store.currentSlot = slot;
            if (append)
                grown = GrowIndexAfterAppend(store.index, store.appendsSinceGrowth, store.spare);
        }
    }
    if (io == RecordIo::OpenFailed)
        Tell(shell, texts.addOpenFailed);
    if (io == RecordIo::IoFailed)
        Tell(shell, texts.addWriteFailed);
    if (io != RecordIo::Ok)
        return AddOutcome::NotStored;
    if (!grown)
        Tell(shell, {"Out of memory.", "Problem"});
    return AddOutcome::Stored;
}

// Writes the found record back as deleted (number -1, the first two name bytes zero; the rest as
// it was) and then takes it out of the index. The deleted image stays in the buffer.
template <typename Record>
bool DeleteStored(Shell& shell, RecordStore<Record>& store, const StoreTexts& texts,
                  const Found<Record>& found) {
    RecordIo io = RecordIo::Ok;
    {
        std::scoped_lock lock(store.bufferMutex, store.indexMutex);
        store.buffer = found.record;
        store.buffer.SetNumber(kDeletedRecordNumber);
        store.buffer.ClearKeyAt(store.nameField.offset);
        io = WriteRecord(store.path, found.slot, store.buffer);
        if (io == RecordIo::Ok)
            MarkSlotDeleted(store.index, found.number, found.slot);
    }
    if (io == RecordIo::OpenFailed)
        Tell(shell, texts.deleteOpenFailed);
    if (io == RecordIo::IoFailed)
        Tell(shell, texts.deleteWriteFailed);
    return io == RecordIo::Ok;
}

inline constexpr std::size_t kListRows = 10;
inline constexpr int kListNext = 2;

struct ListRow {
    std::string number;
    std::string text;
};

// One page of the ten-row list dialog; true when it was closed with Next.
bool ShowRecordList(Shell& shell, std::string_view title, const std::vector<ListRow>& rows,
                    bool withNext);

// The ten-row list from the first number not below `from`; `show` gets each page and whether a
// Next button belongs on it, and returns true when Next was pressed.
template <typename Record>
void ListRecords(Shell& shell, RecordStore<Record>& store, const StoreTexts& texts,
                 std::int64_t from, const std::function<std::string(const Record&)>& rowText,
                 const std::function<bool(const std::vector<ListRow>&, bool)>& show) {
    if (!NumberInRange(from))
        return;
    std::size_t position = 0;
    {
        std::scoped_lock lock(store.indexMutex);
        position = LocateNumber(store.index, from);
    }
    for (;;) {
        std::vector<IndexEntry> page;
        {
            std::scoped_lock lock(store.indexMutex);
            for (; page.size() < kListRows && position < store.index.Size(); ++position)
                page.push_back(store.index.entries[position]);
        }
        if (page.empty())
            return; // nothing from the start, or nothing left after a full page
        std::vector<ListRow> rows;
        for (const IndexEntry& entry : page) {
            auto found =
                ReadFound(shell, store, entry.slot, texts.listOpenFailed, texts.listReadFailed);
            if (!found)
                return;
            rows.push_back({NumberText(entry.number), rowText(found->record)});
        }
        if (!show(rows, rows.size() == kListRows) || rows.size() < kListRows)
            return;
    }
}

} // namespace korvane
