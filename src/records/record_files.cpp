#include "records/record_files.h"

#include <fcntl.h>

namespace korvane {

namespace {

constexpr std::size_t kCustomerSpare = 100;
constexpr std::size_t kSearchEngineSpare = 200;

std::string Join(const std::string& folder, std::string_view name) {
    return folder + "/" + std::string(name);
}

// Number 1 with two texts: the one record of a file made at a first start.
template <typename Record>
Record DefaultRecord(TextField name, std::string_view nameText, TextField second,
                     std::string_view secondText) {
    Record record;
    record.SetNumber(1);
    record.SetText(name, nameText);
    record.SetText(second, secondText);
    return record;
}

template <typename Record> bool WriteDefaultFile(const std::string& path, const Record& record) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file.IsOpen())
        return false;
    const bool written = WriteAll(file.Get(), record.Raw().data(), Record::kSize);
    return file.Close() && written;
}

template <typename Record> FileLoad LoadOne(RecordStore<Record>& store, const Record& initial) {
    FileLoad load;
    load.status = store.Load();
    if (load.status == LoadStatus::Missing) {
        // A file that cannot be made stays missing: there is no size to take.
        load.made =
            WriteDefaultFile(store.Path(), initial) ? DefaultFile::Written : DefaultFile::Refused;
        if (load.made == DefaultFile::Written)
            load.status = store.Load();
    }
    return load;
}

} // namespace

RecordDatabases::RecordDatabases(const std::string& folder)
    : customers(Join(folder, kCustomerFileName), customer::Company, kCustomerSpare),
      engines(Join(folder, kSearchEngineFileName), engine::Name, kSearchEngineSpare) {}

RecordFilesLoad LoadRecordFiles(RecordDatabases& records) {
    RecordFilesLoad load;
    load.customers =
        LoadOne(records.customers, DefaultRecord<CustomerRecord>(customer::Company, kDefaultCompany,
                                                                 customer::Road, kDefaultRoad));
    if (load.customers.status == LoadStatus::Loaded)
        load.engines =
            LoadOne(records.engines,
                    DefaultRecord<SearchEngineRecord>(engine::Name, kDefaultEngineName,
                                                      engine::BaseUrl, kDefaultEngineHost));
    return load;
}

} // namespace korvane
