#include "shell/log_view_model.h"

#include "shell/session_log.h"

#include <algorithm>

namespace korvane {

namespace {
// Two more than the slot count: the last lines can be scrolled clear of the logo.
constexpr int kScrollRangeLines = static_cast<int>(kLogSlots) + 2;
} // namespace

LogViewModel::LogViewModel(int lineHeight) : m_lineHeight(std::max(1, lineHeight)) {}

int LogViewModel::Resize(int clientHeight) {
    m_clientHeight = std::max(0, clientHeight);
    m_maximum = std::max(0, kScrollRangeLines - LinesThatFit());
    m_first = std::min(m_first, m_maximum);
    return m_first;
}

int LogViewModel::Scroll(ScrollAction action, int thumbPosition) {
    const int fit = LinesThatFit();
    int step = 0;
    switch (action) {
    case ScrollAction::LineUp:
        step = -1;
        break;
    case ScrollAction::LineDown:
        step = 1;
        break;
    case ScrollAction::PageUp:
        step = std::min(-1, -fit);
        break;
    case ScrollAction::PageDown:
        step = std::max(1, fit);
        break;
    case ScrollAction::ThumbTrack:
        step = thumbPosition - m_first;
        break;
    case ScrollAction::Top:
        step = -m_first;
        break;
    case ScrollAction::Bottom:
        step = m_maximum - m_first;
        break;
    case ScrollAction::Other:
        step = 0;
        break;
    }
    step = std::clamp(step, -m_first, m_maximum - m_first);
    if (step != 0) {
        m_first += step;
        m_scrolled = true;
    }
    return step;
}

LogViewModel::LineRange LogViewModel::ChooseLines(std::size_t lineCount, int repaintTop,
                                                  int repaintBottom) {
    LineRange range;
    if (m_scrolled) {
        range.first = std::max(0, m_first + repaintTop / m_lineHeight - 1);
        range.last = std::min(static_cast<int>(kLogSlots), repaintBottom / m_lineHeight + m_first);
        m_scrolled = false;
        return range;
    }
    const int fit = LinesThatFit();
    const int count = static_cast<int>(lineCount);
    m_first = 0;
    if (count > fit) {
        range.first = count - fit;
        m_first = range.first;
    }
    range.last = range.first + fit;
    return range;
}

} // namespace korvane
