#include "compare/folder_scan.h"

#include "shell/posix_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace korvane {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

std::optional<FolderScanTable> FolderScan(const std::string& folder) {
    std::unique_ptr<DIR, DirCloser> listing(::opendir(folder.c_str()));
    if (!listing)
        return std::nullopt;
    FolderScanTable table;
    while (const dirent* entry = ::readdir(listing.get())) {
        ScannedFile scanned;
        scanned.name = entry->d_name;
        scanned.path = std::string(folder).append("/").append(scanned.name);
        // Opened only to see that it can be: a file that cannot be read is passed over here, as
        // are ".", "..", subfolders and dangling links. O_NONBLOCK keeps a FIFO from stalling
        // the scan; it is skipped like any entry that is not a regular file.
        FileDescriptor file(
            ::open(scanned.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        if (!file.IsOpen())
            continue;
        struct stat status {};
        if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        scanned.size = static_cast<std::uint64_t>(status.st_size);
        table.push_back(std::move(scanned));
    }
    if (table.empty())
        return std::nullopt;
    return table;
}

const ScannedFile* FindScannedFile(const FolderScanTable& table, const std::string& name) {
    for (const ScannedFile& file : table)
        if (file.name == name)
            return &file;
    return nullptr;
}

} // namespace korvane
