#pragma once

#include "records/record_files.h"

namespace korvane {

// For the workers that go through a whole database: calls visit(number, record) for every live
// record numbered `from` or more, in number order, until visit returns false. A record that
// cannot be read goes to unreadable(number) instead and the walk goes on with the next: the
// worker must never act on what an earlier record left in its buffer. Each record is a copy of
// the worker's own, and the store's lock is held only while it is looked up and read, so the
// menu stays usable while a worker spends seconds on each record talking to servers. Returns
// false when the record file could not be opened.
template <typename Record, typename Visit, typename Unreadable>
bool WalkRecordsFrom(const RecordStore<Record>& store, std::int64_t from, Visit&& visit,
                     Unreadable&& unreadable) {
    Found<Record> walked;
    for (;;) {
        const WalkStep step = store.NextFrom(from, walked);
        if (step == WalkStep::FileMissing)
            return false;
        if (step == WalkStep::End)
            return true;
        if (step == WalkStep::Unreadable)
            unreadable(walked.number);
        else if (!visit(walked.number, static_cast<const Record&>(walked.record)))
            return true;
        if (walked.number >= kHighestRecordNumber)
            return true;
        from = walked.number + 1;
    }
}

} // namespace korvane
