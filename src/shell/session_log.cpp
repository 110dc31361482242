#include "shell/session_log.h"

#include <algorithm>

namespace korvane {

void SessionLog::SetRepaintRequest(RepaintRequest request) {
    std::lock_guard lock(m_mutex);
    m_repaint = std::move(request);
}

void SessionLog::AppendLine(std::string_view text) {
    Append(text, LineColour::Normal);
    RequestRepaint();
}

void SessionLog::AppendHighlighted(std::string_view text) {
    Append(text, LineColour::Highlighted);
    RequestRepaint();
}

void SessionLog::AppendQuiet(std::string_view text) {
    Append(text, LineColour::Normal);
}

void SessionLog::Append(std::string_view text, LineColour colour) {
    text = text.substr(0, kLogLineMaxChars);
    std::lock_guard lock(m_mutex);
    std::size_t index;
    if (m_count < kLogSlots) {
        index = (m_oldest + m_count) % kLogSlots;
        ++m_count;
    } else {
        index = m_oldest;
        m_oldest = (m_oldest + 1) % kLogSlots;
    }
    Slot& slot = m_slots[index];
    std::transform(text.begin(), text.end(), slot.text.begin(),
                   [](char c) { return c == '\r' || c == '\n' ? ' ' : c; });
    slot.text[text.size()] = '\0';
    slot.length = text.size();
    slot.colour = colour;
}

void SessionLog::RequestRepaint() {
    RepaintRequest repaint;
    {
        std::lock_guard lock(m_mutex);
        repaint = m_repaint;
    }
    if (repaint)
        repaint();
}

std::size_t SessionLog::Count() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}

std::vector<LogLine> SessionLog::Snapshot() const {
    std::vector<LogLine> lines;
    VisitLines(0, Count(), [&](std::size_t, std::string_view text, LineColour colour) {
        lines.push_back({std::string(text), colour});
    });
    return lines;
}

} // namespace korvane
