#include "records/record_files.h"

#include <fcntl.h>

namespace korvane {

namespace {

constexpr std::size_t kCustomerSpare = 100;
constexpr std::size_t kSearchEngineSpare = 200;

std::string Join(const std::string& folder, std::string_view name) {
    return folder + "/" + std::string(name);
}

CustomerRecord DefaultCustomer() {
    CustomerRecord record;
    record.SetNumber(1);
    record.SetText(customer::Company, kDefaultCompany);
    record.SetText(customer::Road, kDefaultRoad);
    return record;
}

SearchEngineRecord DefaultEngine() {
    SearchEngineRecord record;
    record.SetNumber(1);
    record.SetText(engine::Name, kDefaultEngineName);
    record.SetText(engine::BaseUrl, kDefaultEngineHost);
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
    load.customers = LoadOne(records.customers, DefaultCustomer());
    if (load.customers.status == LoadStatus::Loaded)
        load.engines = LoadOne(records.engines, DefaultEngine());
    return load;
}

} // namespace korvane
