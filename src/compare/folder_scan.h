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

// Only one folder or file verification or folder check runs at a time: they share the reply
// files and the scan. A run holds this while it works; a second start is refused.
class SiteRunSlot {
  public:
    // True when the slot was free and is now taken.
    static bool TryTake();
    static void Release();
};

// Taken by a command before its dialog, so a second run is refused before anything is typed;
// handed over to the worker when the run starts, released when it does not.
class SiteRunReservation {
  public:
    SiteRunReservation() = default;
    SiteRunReservation(const SiteRunReservation&) = delete;
    SiteRunReservation& operator=(const SiteRunReservation&) = delete;
    ~SiteRunReservation() {
        if (m_taken)
            SiteRunSlot::Release();
    }
    bool Take() { return m_taken = SiteRunSlot::TryTake(); }
    // From now on the worker's SiteRunHold releases the slot.
    void HandOver() { m_taken = false; }

  private:
    bool m_taken = false;
};

// Held by a run's worker for its whole life, so the slot is freed however the run ends.
class SiteRunHold {
  public:
    SiteRunHold() = default;
    SiteRunHold(const SiteRunHold&) = delete;
    SiteRunHold& operator=(const SiteRunHold&) = delete;
    ~SiteRunHold() { SiteRunSlot::Release(); }
};

} // namespace korvane
