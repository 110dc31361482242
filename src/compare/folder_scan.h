#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// One file of a scanned folder. Its bytes stay on disk: they are read a piece at a time when
// the file's turn comes, so a site of any size is compared in little memory.
struct ScannedFile {
    std::string name;       // as listed, without the folder
    std::string path;       // the folder and the name, to open the file by
    std::uint64_t size = 0; // as the scan saw it
};

using FolderScanTable = std::vector<ScannedFile>;

// Lists every plain file of `folder` (not its subfolders) in listing order. Entries that cannot
// be opened are skipped; nothing when the folder cannot be listed or no file was found.
std::optional<FolderScanTable> FolderScan(const std::string& folder);

// A file of the table by its exact, case-sensitive name.
const ScannedFile* FindScannedFile(const FolderScanTable& table, const std::string& name);

} // namespace korvane
