#pragma once

#include "records/record_files.h"

#include <optional>

namespace korvane {

// The next live record of a database in number order, from `from` on, read into a copy of its
// own. The locks are held only while the entry is looked up and read, so the menu stays usable
// while a worker spends seconds on each record talking to servers.
template <typename Record> struct WalkedRecord {
    std::int64_t number = 0;
    Record record;
};

enum class WalkStep { Found, End, FileMissing };

template <typename Record>
WalkStep NextRecordFrom(RecordStore<Record>& store, std::int64_t from, WalkedRecord<Record>& out) {
    std::scoped_lock lock(store.indexMutex, store.bufferMutex);
    const std::size_t position = LocateNumber(store.index, std::max(from, kLowestRecordNumber));
    if (position >= store.index.Size())
        return WalkStep::End;
    const IndexEntry entry = store.index.entries[position];
    if (ReadRecord(store.path, entry.slot, out.record) == RecordIo::OpenFailed)
        return WalkStep::FileMissing;
    out.number = entry.number;
    return WalkStep::Found;
}

// Calls visit(number, record) for every live record numbered `from` or more, in number order,
// until visit returns false. Returns false when the record file could not be opened.
template <typename Record, typename Visit>
bool WalkRecordsFrom(RecordStore<Record>& store, std::int64_t from, Visit&& visit) {
    WalkedRecord<Record> walked;
    for (;;) {
        const WalkStep step = NextRecordFrom(store, from, walked);
        if (step == WalkStep::FileMissing)
            return false;
        if (step == WalkStep::End || !visit(walked.number, walked.record) ||
            walked.number >= kHighestRecordNumber)
            return true;
        from = walked.number + 1;
    }
}

} // namespace korvane
