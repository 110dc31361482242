#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace korvane {

struct Shell;

inline constexpr std::size_t kViewerRowBytes = 16;
inline constexpr std::size_t kViewerWindowBytes = 80;
inline constexpr std::size_t kViewerSampleBytes = 8; // the "Mid" and "End" columns
inline constexpr std::size_t kRememberedFileMaxChars = 255;

// The file name that the byte viewer and the MD5 command share for the life of the process.
std::string RememberedFileName();
void SetRememberedFileName(std::string name);

// The file selection dialog of the byte viewer and the MD5 command: "Please select the file",
// the remembered name and a "..." picker. Stores the name on "OK"; nothing on "Cancel" or when
// the name is empty. The current directory is the same afterwards as before.
std::optional<std::string> SelectFile(Shell& shell, const std::string& title);

// What the byte viewer shows, free of any toolkit. The file is never held open: every refresh
// opens, reads and closes it, so a file that changes meanwhile shows as it is now.
class ByteViewerModel {
  public:
    enum class ScrollAction {
        StepLeft,
        StepRight,
        PageLeft,
        PageRight,
        Thumb,
        ToStart,
        ToEnd,
        EndScroll
    };

    struct Cell {
        std::string character; // one character, or three blanks for 32 and below
        std::string decimal;
        std::string hex;
    };

    explicit ByteViewerModel(std::string path);

    // Reads the size, fills "Mid" and "End" and shows position 0.
    void Open();
    // Applies a scroll bar action, then shows the new position (reading the file again).
    void Scroll(ScrollAction action, std::uint32_t thumbPosition = 0);

    const std::string& Path() const { return m_path; }
    std::uint32_t Size() const { return m_size; }
    std::uint32_t Position() const { return m_position; }
    std::uint32_t LastPosition() const; // the scroll bar's maximum
    std::string Title() const;

    const std::string& WindowText() const { return m_window; }
    const std::string& RowText() const { return m_row; }
    const std::array<Cell, kViewerRowBytes>& Cells() const { return m_cells; }
    std::string PositionText() const { return std::to_string(m_position); }
    const std::string& MidText() const { return m_midText; }
    const std::string& MidDecimal() const { return m_midDecimal; }
    const std::string& EndText() const { return m_endText; }
    const std::string& EndDecimal() const { return m_endDecimal; }

  private:
    void Show(std::uint32_t position);
    std::optional<std::string> Read(std::int64_t offset, std::size_t count) const;

    std::string m_path;
    std::uint32_t m_size = 0;
    std::uint32_t m_position = 0;
    std::string m_window;
    std::string m_row;
    std::array<Cell, kViewerRowBytes> m_cells{};
    std::string m_midText, m_midDecimal, m_endText, m_endDecimal;
};

// Utilities > "File byte viewer".
void ByteViewerCommand(Shell& shell);
// Utilities > "MD5 checksum generator".
void Md5ChecksumCommand(Shell& shell);

} // namespace korvane
