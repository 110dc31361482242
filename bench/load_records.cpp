// Builds the start-up index of a customer file the way the program does, or makes such a file,
// for timing the load against reading the file with cat.
#include "records/record_files.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int Make(long count, const char* path) {
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr)
        return 1;
    korvane::CustomerRecord record;
    for (long i = 0; i < count; ++i) {
        // Numbers mostly ascending with some out of order, and every fiftieth record deleted.
        const long number = (i % 50 == 49) ? -1 : (i % 1000 == 7 ? count + i : i + 1);
        record.SetNumber(number);
        std::string company = "COMPANY " + std::to_string(i);
        company[0] = static_cast<char>('A' + i % 26);
        record.SetText(korvane::customer::Company, company);
        record.SetText(korvane::customer::Road, "ROAD " + std::to_string(i));
        record.SetText(korvane::customer::Server(0),
                       "www.customer" + std::to_string(i) + ".example");
        if (std::fwrite(record.Raw().data(), record.Raw().size(), 1, out) != 1) {
            std::fclose(out);
            return 1;
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

int Load(const char* path) {
    korvane::RecordIndex index;
    const auto status = korvane::ReadRecordIndex(path, korvane::kCustomerRecordSize,
                                                 korvane::customer::Company.offset, 100, index);
    if (status != korvane::LoadStatus::Loaded)
        return 1;
    const std::size_t bytes = index.entries.capacity() * sizeof(korvane::IndexEntry) +
                              index.keys.capacity() * sizeof(korvane::NameKey);
    std::printf("%lld records (%lld deleted), index and key table %.2f MB\n",
                static_cast<long long>(index.SlotCount()),
                static_cast<long long>(index.deletedCount), static_cast<double>(bytes) / 1e6);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc == 4)
        return Make(std::atol(argv[2]), argv[3]);
    if (mode == "load" && argc == 3)
        return Load(argv[2]);
    std::fprintf(stderr, "usage: load_records make COUNT FILE | load_records load FILE\n");
    return 2;
}
