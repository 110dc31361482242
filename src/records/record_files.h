#pragma once

// The two record files of the process, their stores and the loading at start-up.

#include "records/record_store.h"

#include <string>

namespace korvane {

using CustomerStore = RecordStore<CustomerRecord>;
using SearchEngineStore = RecordStore<SearchEngineRecord>;

// The two databases of the process. Their files live in `folder` (the current directory in the
// program, a temporary folder in tests).
struct RecordDatabases {
    explicit RecordDatabases(const std::string& folder = ".");

    CustomerStore customers;
    SearchEngineStore engines;
};

// Whether a missing file was replaced by one holding its default record.
enum class DefaultFile { NotNeeded, Written, Refused };

struct FileLoad {
    DefaultFile made = DefaultFile::NotNeeded;
    LoadStatus status = LoadStatus::Loaded;
};

struct RecordFilesLoad {
    FileLoad customers;
    FileLoad engines; // not tried when the customers did not load
    bool Ok() const {
        return customers.status == LoadStatus::Loaded && engines.status == LoadStatus::Loaded;
    }
};

// Loads both files into their indexes, customers first, and writes a missing file with its one
// default record. Stops at the first file that does not load.
RecordFilesLoad LoadRecordFiles(RecordDatabases& records);

} // namespace korvane
