#include "records/record_index.h"

#include "shell/posix_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace korvane {

namespace {

// Growth happens once this many of the spare entries have been used by appends.
constexpr std::size_t kSpareHeadroom = 10;
constexpr std::size_t kLoadBlockBytes = std::size_t{1} << 20;

off_t SlotOffset(std::int64_t slot, std::size_t size) {
    return static_cast<off_t>(slot) * static_cast<off_t>(size);
}

} // namespace

LoadStatus ReadRecordIndex(const std::string& path, std::size_t recordSize, std::size_t nameOffset,
                           std::size_t spare, RecordIndex& index) {
    index = RecordIndex{};
    FileDescriptor file = OpenRecordFile(path);
    if (!file.IsOpen())
        return LoadStatus::Missing;
    struct stat info {};
    const bool sized = ::fstat(file.Get(), &info) == 0;
    file.Close();
    if (sized && info.st_size == 0)
        return LoadStatus::Empty;
    if (!sized || info.st_size % static_cast<off_t>(recordSize) != 0)
        return LoadStatus::Corrupt;
    const auto slots = static_cast<std::size_t>(info.st_size) / recordSize;
    try {
        index.entries.reserve(slots + spare);
        index.keys.reserve(slots + spare);
    } catch (const std::bad_alloc&) {
        return LoadStatus::OutOfMemory;
    }

    file = OpenRecordFile(path);
    if (!file.IsOpen())
        return LoadStatus::NotPresent;
    // The file is read in large blocks of whole records: one read per record, even of just its
    // number and key, costs a system call each and makes a large file load slower than copying it.
    const std::size_t perBlock = std::max<std::size_t>(1, kLoadBlockBytes / recordSize);
    std::vector<std::uint8_t> block(std::min(perBlock, slots) * recordSize);
    for (std::size_t slot = 0; slot < slots;) {
        const std::size_t want = std::min(perBlock, slots - slot) * recordSize;
        // A file that shrank meanwhile: index the whole records that were there.
        const std::size_t whole = ReadUpTo(file.Get(), block.data(), want) / recordSize;
        for (std::size_t k = 0; k < whole; ++k, ++slot) {
            const std::uint8_t* bytes = block.data() + k * recordSize;
            std::uint64_t raw = 0;
            for (std::size_t b = 0; b < 8; ++b)
                raw |= static_cast<std::uint64_t>(bytes[b]) << (8 * b);
            auto number = static_cast<std::int64_t>(raw);
            if (number < kLowestRecordNumber)
                number = kDeletedRecordNumber; // in the index only; the file keeps its value
            index.entries.push_back({number, static_cast<std::int64_t>(slot)});
            // A deleted record is never found by name, whatever its name bytes still hold.
            index.keys.push_back(number < 0 ? NameKey{0, 0}
                                            : NameKey{bytes[nameOffset], bytes[nameOffset + 1]});
            if (number < 0)
                ++index.deletedCount;
            else
                ++index.liveCount;
        }
        if (whole * recordSize < want)
            break;
    }
    SortIndex(index.entries, index.entries.size());
    return LoadStatus::Loaded;
}

void SortIndex(std::vector<IndexEntry>& entries, std::size_t count) {
    count = std::min(count, entries.size());
    // Stable, so entries with equal numbers keep their file order; unlike an insertion sort it
    // stays fast on a large file far from number order.
    std::stable_sort(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(count),
                     [](const IndexEntry& a, const IndexEntry& b) { return a.number < b.number; });
}

std::size_t LocateNumber(const RecordIndex& index, std::int64_t number) {
    const auto found = std::lower_bound(
        index.entries.begin(), index.entries.end(), number,
        [](const IndexEntry& entry, std::int64_t wanted) { return entry.number < wanted; });
    return static_cast<std::size_t>(found - index.entries.begin());
}

std::size_t LocateEntry(const RecordIndex& index, std::int64_t number, std::int64_t slot) {
    for (std::size_t p = LocateNumber(index, number);
         p < index.Size() && index.entries[p].number == number; ++p) {
        if (index.entries[p].slot == slot)
            return p;
    }
    return index.Size();
}

std::int64_t NextFreeSlot(const RecordIndex& index) {
    if (index.deletedCount > 0 && !index.entries.empty() && index.entries.front().number < 1)
        return index.entries.front().slot;
    return index.SlotCount();
}

std::int64_t InsertIndexEntry(RecordIndex& index, std::int64_t number, NameKey key) {
    const std::int64_t slot = NextFreeSlot(index);
    const std::size_t p = LocateNumber(index, number);
    if (slot < index.SlotCount()) {
        // Reuse: the new entry takes its place in number order and the deleted entry at the
        // front leaves, so the oldest deleted slot is always reused first.
        index.entries.insert(index.entries.begin() + static_cast<std::ptrdiff_t>(p),
                             {number, slot});
        index.entries.erase(index.entries.begin());
        index.keys[static_cast<std::size_t>(slot)] = key;
        --index.deletedCount;
    } else {
        index.entries.insert(index.entries.begin() + static_cast<std::ptrdiff_t>(p),
                             {number, slot});
        index.keys.push_back(key);
    }
    ++index.liveCount;
    return slot;
}

void MarkSlotDeleted(RecordIndex& index, std::int64_t number, std::int64_t slot) {
    const std::size_t q = LocateEntry(index, number, slot);
    if (q == index.Size())
        return;
    index.keys[static_cast<std::size_t>(slot)] = {0, 0};
    std::size_t d = 0;
    while (d < index.Size() && index.entries[d].number == kDeletedRecordNumber)
        ++d;
    // Entries d .. q-1 move one place up; the deleted entry joins the back of the deleted group.
    std::move_backward(index.entries.begin() + static_cast<std::ptrdiff_t>(d),
                       index.entries.begin() + static_cast<std::ptrdiff_t>(q),
                       index.entries.begin() + static_cast<std::ptrdiff_t>(q + 1));
    index.entries[d] = {kDeletedRecordNumber, slot};
    ++index.deletedCount;
    --index.liveCount;
}

std::int64_t SuggestNumber(const RecordIndex& index, std::int64_t base) {
    std::int64_t candidate = base;
    for (const IndexEntry& entry : index.entries) {
        // Passed over: the deleted group, numbers below the base and duplicates of a number in
        // the run (possible in a hand-made file).
        if (entry.number < candidate)
            continue;
        // A gap ends the run, and so does the top of the number type: a run that reaches it
        // (a file or settings block made by hand) gives that number, which the dialog refuses as
        // out of range, rather than wrapping round.
        if (entry.number != candidate || candidate == INT64_MAX)
            break;
        ++candidate;
    }
    return candidate;
}

std::string WidenPattern(std::string_view typed) {
    std::string pattern(typed);
    if (pattern.size() == 1)
        pattern += '?';
    return pattern;
}

bool KeyMatches(std::string_view pattern, NameKey key) {
    if (pattern.size() < 2 || key[0] == 0)
        return false;
    return (pattern[0] == '?' || static_cast<std::uint8_t>(pattern[0]) == key[0]) &&
           (pattern[1] == '?' || static_cast<std::uint8_t>(pattern[1]) == key[1]);
}

bool NamePatternMatch(std::string_view pattern, NameKey key, std::string_view name) {
    if (!KeyMatches(pattern, key))
        return false;
    for (std::size_t k = 2; k < pattern.size(); ++k) {
        if (pattern[k] == '?')
            continue; // one position: a character, or the end of a shorter name
        // Past the name's end only "?" matches; bytes after a terminator mean nothing.
        if (k >= name.size() || pattern[k] != name[k])
            return false;
    }
    return true;
}

RecordIo ReadRecordAt(const std::string& path, std::int64_t slot, std::uint8_t* data,
                      std::size_t size) {
    const FileDescriptor file = OpenRecordFile(path);
    if (!file.IsOpen())
        return RecordIo::OpenFailed;
    return ReadRecordFrom(file.Get(), slot, data, size);
}

FileDescriptor OpenRecordFile(const std::string& path) {
    return FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

RecordIo ReadRecordFrom(int fd, std::int64_t slot, std::uint8_t* data, std::size_t size) {
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n = ::pread(fd, data + total, size - total,
                                  SlotOffset(slot, size) + static_cast<off_t>(total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return RecordIo::IoFailed;
        total += static_cast<std::size_t>(n);
    }
    return RecordIo::Ok;
}

RecordIo WriteRecordAt(const std::string& path, std::int64_t slot, const std::uint8_t* data,
                       std::size_t size) {
    // Read access too: a rewrite in place first reads the record it replaces.
    FileDescriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!file.IsOpen())
        return RecordIo::OpenFailed;
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        return RecordIo::IoFailed;
    const off_t offset = SlotOffset(slot, size);
    const bool append = offset >= info.st_size;
    // A rewrite in place keeps the old record, so that a write cut short (a full disk, a size
    // limit) can be undone rather than leave half a new record over half the old one.
    std::vector<std::uint8_t> old;
    if (!append) {
        old.resize(size);
        ssize_t got = -1;
        do {
            got = ::pread(file.Get(), old.data(), size, offset);
        } while (got < 0 && errno == EINTR);
        if (got != static_cast<ssize_t>(size))
            return RecordIo::IoFailed;
    }
    ssize_t written = -1;
    do {
        written = ::pwrite(file.Get(), data, size, offset);
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(size)) {
        if (written > 0 && append) {
            // A short append is cut back to the old end of the file.
            [[maybe_unused]] const int cut = ::ftruncate(file.Get(), info.st_size);
        } else if (written > 0) {
            // The bytes that did reach the file go back to what they were: they fitted once.
            [[maybe_unused]] const ssize_t undone =
                ::pwrite(file.Get(), old.data(), static_cast<std::size_t>(written), offset);
        }
        return RecordIo::IoFailed;
    }
    return file.Close() ? RecordIo::Ok : RecordIo::IoFailed;
}

bool GrowIndexAfterAppend(RecordIndex& index, std::size_t& appendsSinceGrowth, std::size_t spare) {
    ++appendsSinceGrowth;
    if (appendsSinceGrowth + kSpareHeadroom <= spare)
        return true;
    appendsSinceGrowth = 0;
    try {
        index.entries.reserve(index.Size() + spare);
        index.keys.reserve(index.Size() + spare);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace korvane
