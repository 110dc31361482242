#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// One file of a scanned folder, read whole into memory.
struct ScannedFile {
    std::string name; // as listed, without the folder
    // The bytes and a terminating zero, in a large block shared with other files of the same
    // scan, which lives as long as any of them.
    std::shared_ptr<const char> bytes;
    std::uint32_t size = 0;

    std::string_view Contents() const { return {bytes.get(), size}; }
};

using FolderScanTable = std::vector<ScannedFile>;

// Reads every plain file of `folder` (not its subfolders) in listing order. Entries that cannot
// be opened or read are skipped; nothing when the folder cannot be listed or no file was read.
std::optional<FolderScanTable> FolderScan(const std::string& folder);

// A file of the table by its exact, case-sensitive name.
const ScannedFile* FindScannedFile(const FolderScanTable& table, const std::string& name);

} // namespace korvane
