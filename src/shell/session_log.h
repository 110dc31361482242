#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

inline constexpr std::size_t kLogSlots = 199;
// A slot is a 200-byte field with its terminating zero, so a line holds at most 199 characters.
inline constexpr std::size_t kLogLineMaxChars = 199;

enum class LineColour : std::int32_t { Normal = 0, Highlighted = 1 };

struct LogLine {
    std::string text;
    LineColour colour = LineColour::Normal;

    friend bool operator==(const LogLine&, const LogLine&) = default;
};

// The running report of the session: the latest 199 lines, each with a colour flag.
// Appends come from any thread; the painter reads under the same lock. A line longer than a slot
// keeps what fits: a line naming a long server or page still tells the user what happened.
class SessionLog {
  public:
    using RepaintRequest = std::function<void()>;

    // The request must only post a repaint, never paint: appends must not wait on the painter.
    void SetRepaintRequest(RepaintRequest request);

    void AppendLine(std::string_view text);
    void AppendHighlighted(std::string_view text);
    // Shows at the next repaint that something else requests.
    void AppendQuiet(std::string_view text);

    std::size_t Count() const;
    std::vector<LogLine> Snapshot() const;

    // Calls visit(index, text, colour) for each line index in [first, last) under the log's lock.
    // Indexes at or beyond the line count are visited with empty text.
    template <typename Visit>
    void VisitLines(std::size_t first, std::size_t last, Visit&& visit) const {
        std::lock_guard lock(m_mutex);
        for (std::size_t i = first; i < last && i < kLogSlots; ++i) {
            if (i < m_count) {
                const Slot& slot = m_slots[(m_oldest + i) % kLogSlots];
                visit(i, std::string_view(slot.text.data(), slot.length), slot.colour);
            } else {
                visit(i, std::string_view(), LineColour::Normal);
            }
        }
    }

  private:
    struct Slot {
        std::array<char, kLogLineMaxChars + 1> text{};
        std::size_t length = 0;
        LineColour colour = LineColour::Normal;
    };

    void Append(std::string_view text, LineColour colour);
    void RequestRepaint();

    mutable std::mutex m_mutex;
    // A ring: the oldest line sits at m_oldest, so rolling over costs no copying.
    std::array<Slot, kLogSlots> m_slots{};
    std::size_t m_oldest = 0;
    std::size_t m_count = 0;
    RepaintRequest m_repaint;
};

} // namespace korvane
