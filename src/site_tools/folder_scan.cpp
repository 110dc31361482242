#include "site_tools/folder_scan.h"

#include "shell/posix_file.h"

#include <atomic>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace korvane {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

std::atomic<bool> g_siteRunBusy{false};

} // namespace

std::optional<FolderScanTable> FolderScan(const std::string& folder) {
    std::unique_ptr<DIR, DirCloser> listing(::opendir(folder.c_str()));
    if (!listing)
        return std::nullopt;
    FolderScanTable table;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string name = entry->d_name;
        // O_NONBLOCK keeps a FIFO from stalling the scan; it is skipped below like any
        // entry that is not a regular file.
        FileDescriptor file(
            ::open((folder + "/" + name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        if (!file.IsOpen())
            continue;
        struct stat status {};
        if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        ScannedFile scanned;
        scanned.name = name;
        const auto size = static_cast<std::size_t>(status.st_size);
        scanned.bytes.reset(new char[size + 1]);
        // A file that shrank while it was read keeps what was there; one that grew keeps the
        // size it had when the scan looked at it.
        const std::size_t got = ReadUpTo(file.Get(), scanned.bytes.get(), size);
        scanned.bytes[got] = '\0';
        scanned.size = static_cast<std::uint32_t>(got);
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

bool SiteRunSlot::TryTake() {
    bool expected = false;
    return g_siteRunBusy.compare_exchange_strong(expected, true);
}

void SiteRunSlot::Release() {
    g_siteRunBusy.store(false);
}

} // namespace korvane
