#include "compare/folder_scan.h"

#include "shell/posix_file.h"

#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <vector>

namespace korvane {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Where a scan keeps its files' bytes: blocks that double in size, so a small folder takes
// little memory, and from 2 MiB on in huge pages where the system offers them, so reading a site
// of hundreds of megabytes costs a few hundred page faults instead of one per 4 KiB. The blocks
// are not cleared before they are read into: the bytes are written once, not twice.
class ScanStorage {
  public:
    // Room for `bytes` bytes, valid as long as any piece of its block is held.
    std::shared_ptr<char> Take(std::size_t bytes) {
        if (bytes > m_free)
            NewBlock(bytes);
        std::shared_ptr<char> piece(m_block, m_next);
        m_next += bytes;
        m_free -= bytes;
        return piece;
    }

  private:
    static constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
    static constexpr std::size_t kFirstBlockBytes = std::size_t{256} << 10;
    static constexpr std::size_t kLargestBlockBytes = std::size_t{64} << 20;

    void NewBlock(std::size_t atLeast) {
        m_blockBytes =
            m_blockBytes == 0 ? kFirstBlockBytes : std::min(m_blockBytes * 2, kLargestBlockBytes);
        std::size_t size = std::max(m_blockBytes, atLeast);
        if (size < kHugePageBytes) {
            m_block = std::shared_ptr<char>(new char[size], std::default_delete<char[]>());
        } else {
            size = (size + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
            m_block = MapAligned(size);
        }
        m_next = m_block.get();
        m_free = size;
    }

    // An anonymous mapping that starts on a huge-page boundary, marked for huge pages.
    static std::shared_ptr<char> MapAligned(std::size_t size) {
        const std::size_t mapped = size + kHugePageBytes;
        void* start =
            ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (start == MAP_FAILED)
            throw std::bad_alloc();
        const auto first = reinterpret_cast<std::uintptr_t>(start);
        const std::uintptr_t aligned = (first + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
        if (aligned > first)
            ::munmap(start, aligned - first);
        // Pointer arithmetic on the mapping itself, so the compiler keeps its provenance.
        char* block = static_cast<char*>(start) + (aligned - first);
        if (const std::uintptr_t end = first + mapped; end > aligned + size)
            ::munmap(block + size, end - (aligned + size));
        ::madvise(block, size, MADV_HUGEPAGE); // only a hint: small pages work the same
        return std::shared_ptr<char>(block, [size](char* p) { ::munmap(p, size); });
    }

    std::shared_ptr<char> m_block;
    char* m_next = nullptr;
    std::size_t m_free = 0;
    std::size_t m_blockBytes = 0;
};

// A file opened by the scan, waiting for its bytes to be read into its place in the table.
struct PendingRead {
    FileDescriptor file;
    std::size_t size; // as the scan saw it
    char* bytes;      // its place in the scan's storage
    std::size_t index;
};

// Files are read in batches, each batch by two threads: reading a site of hundreds of megabytes
// is mostly the system copying and clearing memory, which a second core halves. A batch keeps
// the number of open files well under the usual limit.
constexpr std::size_t kFilesPerBatch = 256;
constexpr std::size_t kBytesWorthASecondThread = std::size_t{4} << 20;

void ReadBatch(std::vector<PendingRead>& batch, FolderScanTable& table) {
    std::atomic<std::size_t> next{0};
    auto readFiles = [&] {
        for (std::size_t k; (k = next.fetch_add(1)) < batch.size();) {
            PendingRead& pending = batch[k];
            // A file that shrank while it was read keeps what was there; one that grew keeps the
            // size it had when the scan looked at it.
            const std::size_t got = ReadUpTo(pending.file.Get(), pending.bytes, pending.size);
            pending.bytes[got] = '\0';
            table[pending.index].size = static_cast<std::uint32_t>(got);
        }
    };
    std::size_t bytes = 0;
    for (const PendingRead& pending : batch)
        bytes += pending.size;
    std::optional<std::thread> helper;
    if (bytes >= kBytesWorthASecondThread) {
        try {
            helper.emplace(readFiles);
        } catch (const std::system_error&) {
            // No second thread: this one reads them all.
        }
    }
    readFiles();
    if (helper)
        helper->join();
    batch.clear();
}

} // namespace

std::optional<FolderScanTable> FolderScan(const std::string& folder) {
    std::unique_ptr<DIR, DirCloser> listing(::opendir(folder.c_str()));
    if (!listing)
        return std::nullopt;
    FolderScanTable table;
    ScanStorage storage;
    std::vector<PendingRead> batch;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string name = entry->d_name;
        // O_NONBLOCK keeps a FIFO from stalling the scan; it is skipped below like any
        // entry that is not a regular file.
        FileDescriptor file(::open(std::string(folder).append("/").append(name).c_str(),
                                   O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        if (!file.IsOpen())
            continue;
        struct stat status {};
        if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        ScannedFile scanned;
        scanned.name = name;
        const auto size = static_cast<std::size_t>(status.st_size);
        const std::shared_ptr<char> bytes = storage.Take(size + 1);
        scanned.bytes = bytes;
        batch.push_back({std::move(file), size, bytes.get(), table.size()});
        table.push_back(std::move(scanned));
        if (batch.size() == kFilesPerBatch)
            ReadBatch(batch, table);
    }
    ReadBatch(batch, table);
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
