#pragma once

#include <cstddef>

namespace korvane {

// The scroll and line-choice arithmetic of the log view, free of any toolkit so that it can be
// tested exactly. Integer division throughout; "lines that fit" is client height / line height.
class LogViewModel {
  public:
    enum class ScrollAction { LineUp, LineDown, PageUp, PageDown, ThumbTrack, Top, Bottom, Other };

    struct LineRange {
        int first = 0;
        int last = 0; // one past the last line to draw
    };

    explicit LogViewModel(int lineHeight);

    int LineHeight() const { return m_lineHeight; }
    int FirstVisible() const { return m_first; }
    int ScrollMaximum() const { return m_maximum; }
    int LinesThatFit() const { return m_clientHeight / m_lineHeight; }

    // Recomputes the scroll range for a new client height; returns the new scroll position.
    int Resize(int clientHeight);

    // Applies one scroll action and returns the step taken (0 when nothing moved). thumbPosition
    // is only read for ThumbTrack. A non-zero step marks the next paint as caused by scrolling.
    int Scroll(ScrollAction action, int thumbPosition = 0);

    // Chooses the lines to draw for a repaint of the rows [repaintTop, repaintBottom) of the view,
    // given the log's line count. Unless the repaint was caused by scrolling, the view jumps to
    // the newest lines. Updates the scroll position.
    LineRange ChooseLines(std::size_t lineCount, int repaintTop, int repaintBottom);

    // Top of the text cell of line index i on screen.
    int LineTop(int index) const { return (index - m_first + 1) * m_lineHeight - 10; }

  private:
    int m_lineHeight;
    int m_clientHeight = 0;
    int m_first = 0;
    int m_maximum = 0;
    bool m_scrolled = false;
};

} // namespace korvane
