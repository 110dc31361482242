#include "shell/log_view_model.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using A = LogViewModel::ScrollAction;
constexpr int kLineHeight = 16;
constexpr int kThirtyLines = 30 * kLineHeight + 7; // room for exactly 30 lines

TEST(LogViewModel, ScrollRangeIsTwoLinesBeyondTheSlotsLessWhatFits) {
    LogViewModel model(kLineHeight);
    model.Resize(kThirtyLines);
    EXPECT_EQ(model.LinesThatFit(), 30);
    EXPECT_EQ(model.ScrollMaximum(), 171);

    model.Resize(300 * kLineHeight); // taller than the log: nothing to scroll
    EXPECT_EQ(model.ScrollMaximum(), 0);
}

TEST(LogViewModel, AnOrdinaryRepaintShowsTheNewestLines) {
    LogViewModel model(kLineHeight);
    model.Resize(kThirtyLines);

    auto range = model.ChooseLines(10, 0, kThirtyLines);
    EXPECT_EQ(range.first, 0);
    EXPECT_EQ(range.last, 30);
    EXPECT_EQ(model.FirstVisible(), 0);

    range = model.ChooseLines(199, 0, kThirtyLines);
    EXPECT_EQ(range.first, 169);
    EXPECT_EQ(range.last, 199);
    EXPECT_EQ(model.FirstVisible(), 169);
    EXPECT_EQ(model.LineTop(169), kLineHeight - 10);
    EXPECT_EQ(model.LineTop(198), 30 * kLineHeight - 10);
}

TEST(LogViewModel, ScrollStepsFollowTheActionAndStayInRange) {
    LogViewModel model(kLineHeight);
    model.Resize(kThirtyLines);
    model.ChooseLines(199, 0, kThirtyLines); // at 169, maximum 171

    EXPECT_EQ(model.Scroll(A::LineDown), 1);
    EXPECT_EQ(model.Scroll(A::PageDown), 1); // clamped at the maximum
    EXPECT_EQ(model.FirstVisible(), 171);
    EXPECT_EQ(model.Scroll(A::LineDown), 0);
    EXPECT_EQ(model.Scroll(A::PageUp), -30);
    EXPECT_EQ(model.Scroll(A::LineUp), -1);
    EXPECT_EQ(model.FirstVisible(), 140);
    EXPECT_EQ(model.Scroll(A::ThumbTrack, 20), -120);
    EXPECT_EQ(model.Scroll(A::ThumbTrack, 500), 151); // beyond the range: clamped
    EXPECT_EQ(model.Scroll(A::Other), 0);
    EXPECT_EQ(model.Scroll(A::Top), -171);
    EXPECT_EQ(model.Scroll(A::LineUp), 0);
    EXPECT_EQ(model.Scroll(A::Bottom), 171);
}

TEST(LogViewModel, PageStepIsAtLeastOneLineInATinyView) {
    LogViewModel model(kLineHeight);
    model.Resize(kLineHeight / 2); // no whole line fits
    EXPECT_EQ(model.Scroll(A::PageDown), 1);
    EXPECT_EQ(model.Scroll(A::PageUp), -1);
}

TEST(LogViewModel, AScrolledPositionHoldsUntilTheNextRepaintThatScrollingDidNotCause) {
    LogViewModel model(kLineHeight);
    model.Resize(kThirtyLines);
    model.ChooseLines(199, 0, kThirtyLines);
    model.Scroll(A::Top);

    // The repaint that the scroll asked for draws from the top, one line above for partial rows.
    auto range = model.ChooseLines(199, 0, kThirtyLines);
    EXPECT_EQ(range.first, 0);
    EXPECT_EQ(range.last, 30);
    EXPECT_EQ(model.FirstVisible(), 0);

    model.Scroll(A::ThumbTrack, 50);
    range = model.ChooseLines(199, 2 * kLineHeight, 5 * kLineHeight);
    EXPECT_EQ(range.first, 51);
    EXPECT_EQ(range.last, 55);

    // A new log line repaints normally: back to the newest lines.
    range = model.ChooseLines(199, 0, kThirtyLines);
    EXPECT_EQ(range.first, 169);
    EXPECT_EQ(model.FirstVisible(), 169);
}

TEST(LogViewModel, ShrinkingTheViewPullsThePositionBackIntoRange) {
    LogViewModel model(kLineHeight);
    model.Resize(10 * kLineHeight);
    model.Scroll(A::Bottom);
    EXPECT_EQ(model.FirstVisible(), 191);
    model.Resize(100 * kLineHeight);
    EXPECT_EQ(model.ScrollMaximum(), 101);
    EXPECT_EQ(model.FirstVisible(), 101);
}

} // namespace
} // namespace korvane
