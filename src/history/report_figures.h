#pragma once

#include "history/watch_history.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// An outage: from the first failing pass to the first pass that succeeded after it.
struct Incident {
    std::int64_t startMs = 0;
    std::optional<std::int64_t> endMs; // none: still down at the end of the period
    std::string cause;                 // of the first failing pass
};

// The response times of a period cut into equal buckets, for a plot of any length.
struct ResponseBucket {
    std::int64_t startMs = 0;
    int passes = 0; // passes with a response time
    int minMs = 0;
    int meanMs = 0;
    int maxMs = 0;
};

struct DayUptime {
    std::int64_t startMs = 0; // local midnight
    int passes = 0;
    int ok = 0;
    int meanMs = -1; // of the day's passes with a response time; -1 when none had one
};

// What a customer report says of one site over a period.
struct SiteFigures {
    std::string server;
    int passes = 0;
    int okPasses = 0;
    double uptimePercent = 100.0; // of the passes; 100 when there were none
    std::int64_t downMs = 0;      // the incidents' time inside the period
    std::vector<Incident> incidents;
    std::vector<ResponseBucket> response;
    std::vector<DayUptime> days;
    std::optional<std::int64_t> certificateNotAfter; // from the newest pass that showed one
    std::optional<PassRow> lastVerification;         // the caller's, from LastVerification
};

// The figures of one site for [fromMs, toMs); `buckets` response buckets; days in the local time
// zone. `before` is the last pass before the period, so that an outage running into it starts
// at `fromMs`.
SiteFigures FiguresOf(const std::string& server, const std::vector<PassRow>& passes,
                      const std::optional<PassRow>& before, std::int64_t fromMs, std::int64_t toMs,
                      int buckets);

} // namespace korvane
