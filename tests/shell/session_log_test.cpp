#include "shell/session_log.h"

#include "shell/clock.h"
#include "shell/log_view_model.h"

#include <gtest/gtest.h>

#include <locale.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

// A line longer than its slot keeps what fits; line breaks show as blanks; a quiet append waits
// for the next repaint something else asks for.
TEST(SessionLog, StoresEachLineCutToItsSlotWithItsColourAndBlanksForLineBreaks) {
    SessionLog log;
    int repaints = 0;
    log.SetRepaintRequest([&] { ++repaints; });
    log.AppendLine(std::string(200, 'b'));
    log.AppendHighlighted(std::string(1000, 'c'));
    log.AppendQuiet(std::string(198, 'd') + "\r\n");
    log.AppendLine("a\rb\nc");
    EXPECT_EQ(repaints, 3);
    const std::vector<LogLine> expected = {{std::string(199, 'b'), LineColour::Normal},
                                           {std::string(199, 'c'), LineColour::Highlighted},
                                           {std::string(198, 'd') + " ", LineColour::Normal},
                                           {"a b c", LineColour::Normal}};
    EXPECT_EQ(log.Snapshot(), expected);
    std::vector<std::string> seen; // the painter visits slots beyond the count as empty lines
    log.VisitLines(
        3, 5, [&](std::size_t, std::string_view text, LineColour) { seen.emplace_back(text); });
    EXPECT_EQ(seen, (std::vector<std::string>{"a b c", ""}));
}

TEST(SessionLog, RollsOverKeepingTheNewest199LinesWithTheirColours) {
    SessionLog log;
    for (int i = 0; i < 700; ++i) {
        const std::string text = "line " + std::to_string(i);
        i % 3 == 1 ? log.AppendHighlighted(text) : log.AppendLine(text);
    }
    const auto lines = log.Snapshot();
    ASSERT_EQ(lines.size(), 199u);
    for (int i = 501; i < 700; ++i) {
        const LineColour colour = i % 3 == 1 ? LineColour::Highlighted : LineColour::Normal;
        EXPECT_EQ(lines[static_cast<std::size_t>(i - 501)],
                  (LogLine{"line " + std::to_string(i), colour}));
    }
}

// The log view's arithmetic, free of the window that draws it.
TEST(LogViewModel, ScrollsWithinItsRangeAndHoldsAScrolledPositionForOneRepaint) {
    using A = LogViewModel::ScrollAction;
    constexpr int kLine = 16;
    constexpr int kThirtyLines = 30 * kLine + 7; // room for exactly 30 lines
    LogViewModel model(kLine);
    model.Resize(kThirtyLines);
    const auto newest = model.ChooseLines(199, 0, kThirtyLines); // maximum 171
    EXPECT_EQ(newest.first, 169);
    EXPECT_EQ(newest.last, 199);
    EXPECT_EQ(model.Scroll(A::LineDown), 1);
    EXPECT_EQ(model.Scroll(A::PageDown), 1); // clamped at the maximum
    EXPECT_EQ(model.Scroll(A::PageUp), -30);
    EXPECT_EQ(model.Scroll(A::LineUp), -1);
    EXPECT_EQ(model.Scroll(A::ThumbTrack, 500), 31); // beyond the range: clamped
    EXPECT_EQ(model.Scroll(A::Top), -171);

    // The repaint the scroll asked for draws from the scrolled position, one line above for
    // partial rows; the next one shows the newest lines again.
    model.Scroll(A::ThumbTrack, 50);
    const auto range = model.ChooseLines(199, 2 * kLine, 5 * kLine);
    EXPECT_EQ(range.first, 51);
    EXPECT_EQ(range.last, 55);
    EXPECT_EQ(model.ChooseLines(199, 0, kThirtyLines).first, 169);

    // A resize pulls the position back into the new range.
    model.Resize(10 * kLine);
    model.Scroll(A::Bottom);
    EXPECT_EQ(model.FirstVisible(), 191);
    model.Resize(100 * kLine);
    EXPECT_EQ(model.ScrollMaximum(), 101);
    EXPECT_EQ(model.FirstVisible(), 101);
    // A view in which no whole line fits still pages by one line.
    model.Resize(kLine / 2);
    EXPECT_EQ(model.Scroll(A::PageDown), 1);
    EXPECT_EQ(model.Scroll(A::PageUp), -1);
}

// The names are the user's locale's, in the log's one-byte text (read as Latin-1 wherever it is
// shown); a locale whose names Latin-1 cannot write gives the English ones.
TEST(TimeStampLine, TakesTheLocalesNamesAsLatin1OrEnglishWhereLatin1CannotWriteThem) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"de_DE.UTF-8", "14:07 Di M\xE4r 3 2026"},
        {"ru_RU.UTF-8", "14:07 Tue Mar 3 2026"},
    };
    for (const auto& [name, line] : cases) {
        const locale_t locale = newlocale(LC_ALL_MASK, name, nullptr);
        ASSERT_NE(locale, nullptr) << name << " is missing: scripts/install-deps.sh makes it";
        const locale_t previous = uselocale(locale);
        EXPECT_EQ(TimeStampLine({2026, 3, 3, 14, 7, 0, 2}), line) << name;
        uselocale(previous);
        freelocale(locale);
    }
}

} // namespace
} // namespace korvane
