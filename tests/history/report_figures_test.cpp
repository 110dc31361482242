#include "history/report_figures.h"

#include "support/time_zone.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

namespace korvane {
namespace {

constexpr std::int64_t kMin = 60 * 1000;
constexpr std::int64_t kHour = 60 * kMin;
// Saturday 24 October 2026, 00:00 in London (BST); the clocks go back on the 25th, so the period
// has days of 24, 25 and 24 hours.
constexpr std::int64_t kFrom = 1792796400000;
constexpr std::int64_t kTo = kFrom + 73 * kHour;

PassRow Pass(std::int64_t at, bool ok, int responseMs, std::string cause = {},
             std::optional<std::int64_t> notAfter = {}) {
    PassRow row;
    row.atMs = kFrom + at;
    row.ok = ok;
    row.responseMs = responseMs;
    row.cause = std::move(cause);
    row.certificateNotAfter = notAfter;
    return row;
}

class FiguresInLondon : public ::testing::Test {
    test::ScopedTimeZone m_zone{"Europe/London"};
};

TEST_F(FiguresInLondon, CountIncidentsBucketsAndLocalDaysOfAPeriodThatBeganInAnOutage) {
    const std::vector<PassRow> passes = {
        Pass(10 * kMin, false, -1, "still down"),
        Pass(20 * kMin, true, 100),
        Pass(kHour, true, 300, {}, 1800000000),
        Pass(48 * kHour + 30 * kMin, false, -1, "Timed out"), // 23:30 GMT on the 25-hour day
        Pass(50 * kHour, false, 700, "Status 500"),
        Pass(51 * kHour, true, 50, {}, 1810000000),
        Pass(71 * kHour, false, -1, "Certificate refused"),
    };
    const auto figures =
        FiguresOf("www.example.com", passes, Pass(-kHour, false, -1, "Status 503"), kFrom, kTo, 3);

    EXPECT_EQ(figures.passes, 7);
    EXPECT_EQ(figures.okPasses, 3);
    EXPECT_DOUBLE_EQ(figures.uptimePercent, 300.0 / 7);
    ASSERT_EQ(figures.incidents.size(), 3u);
    const std::vector<std::tuple<std::int64_t, std::optional<std::int64_t>, std::string>>
        incidents = {{kFrom, kFrom + 20 * kMin, "Status 503"},
                     {kFrom + 48 * kHour + 30 * kMin, kFrom + 51 * kHour, "Timed out"},
                     {kFrom + 71 * kHour, std::nullopt, "Certificate refused"}};
    for (std::size_t i = 0; i < incidents.size(); ++i) {
        const auto& [start, end, cause] = incidents[i];
        EXPECT_EQ(figures.incidents[i].startMs, start) << i;
        EXPECT_EQ(figures.incidents[i].endMs, end) << i;
        EXPECT_EQ(figures.incidents[i].cause, cause) << i;
    }
    EXPECT_EQ(figures.downMs, 20 * kMin + 150 * kMin + 2 * kHour);

    // start, passes with a time, min, mean, max; the middle bucket had only a pass without one.
    const std::vector<std::array<std::int64_t, 5>> buckets = {
        {kFrom, 2, 100, 200, 300},
        {kFrom + 24 * kHour + 20 * kMin, 0, 0, 0, 0},
        {kFrom + 48 * kHour + 40 * kMin, 2, 50, 375, 700}};
    ASSERT_EQ(figures.response.size(), buckets.size());
    for (std::size_t i = 0; i < buckets.size(); ++i) {
        const ResponseBucket& b = figures.response[i];
        EXPECT_EQ((std::array<std::int64_t, 5>{b.startMs, b.passes, b.minMs, b.meanMs, b.maxMs}),
                  buckets[i])
            << i;
    }
    // start, passes, ok, mean response
    const std::vector<std::array<std::int64_t, 4>> days = {
        {kFrom, 3, 2, 200}, {kFrom + 24 * kHour, 1, 0, -1}, {kFrom + 49 * kHour, 3, 1, 375}};
    ASSERT_EQ(figures.days.size(), days.size());
    for (std::size_t i = 0; i < days.size(); ++i) {
        const DayUptime& d = figures.days[i];
        EXPECT_EQ((std::array<std::int64_t, 4>{d.startMs, d.passes, d.ok, d.meanMs}), days[i]) << i;
    }
    EXPECT_EQ(figures.certificateNotAfter, 1810000000);
}

TEST_F(FiguresInLondon, AQuietPeriodIsAllUpOrAllDownAsThePassBeforeItSays) {
    struct Case {
        const char* name;
        std::optional<PassRow> before;
        std::vector<PassRow> passes;
        std::optional<std::int64_t> end; // of the one incident, when there is one
        std::int64_t downMs;
    };
    const std::vector<Case> cases = {
        {"never watched", std::nullopt, {}, std::nullopt, 0},
        {"up before", Pass(-kMin, true, 80), {}, std::nullopt, 0},
        {"down throughout", Pass(-kMin, false, -1, "Refused"), {}, std::nullopt, 73 * kHour},
        {"back at once",
         Pass(-kMin, false, -1, "Refused"),
         {Pass(kHour, true, 90)},
         kFrom + kHour,
         kHour},
    };
    for (const Case& c : cases) {
        const auto figures = FiguresOf("a", c.passes, c.before, kFrom, kTo, 480);
        EXPECT_DOUBLE_EQ(figures.uptimePercent, 100.0) << c.name;
        EXPECT_EQ(figures.downMs, c.downMs) << c.name;
        EXPECT_EQ(figures.response.size(), 480u) << c.name;
        ASSERT_EQ(figures.incidents.size(), c.downMs > 0 ? 1u : 0u) << c.name;
        if (c.downMs > 0) {
            EXPECT_EQ(figures.incidents[0].startMs, kFrom) << c.name;
            EXPECT_EQ(figures.incidents[0].endMs, c.end) << c.name;
            EXPECT_EQ(figures.incidents[0].cause, "Refused") << c.name;
        }
    }
}

} // namespace
} // namespace korvane
