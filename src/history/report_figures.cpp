#include "history/report_figures.h"

#include <algorithm>
#include <ctime>

namespace korvane {

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// The local midnight that begins the day `days` after the day holding `ms`. mktime with the
// summer time left open finds it across a change, when the day is 23 or 25 hours long.
std::int64_t LocalMidnight(std::int64_t ms, int days) {
    const std::time_t seconds = static_cast<std::time_t>(FloorDiv(ms, 1000));
    std::tm local{};
    localtime_r(&seconds, &local);
    local.tm_mday += days;
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local)) * 1000;
}

void AddResponse(ResponseBucket& bucket, int ms, std::int64_t& sum) {
    if (bucket.passes == 0 || ms < bucket.minMs)
        bucket.minMs = ms;
    bucket.maxMs = std::max(bucket.maxMs, ms);
    ++bucket.passes;
    sum += ms;
}

} // namespace

SiteFigures FiguresOf(const std::string& server, const std::vector<PassRow>& passes,
                      const std::optional<PassRow>& before, std::int64_t fromMs, std::int64_t toMs,
                      int buckets) {
    SiteFigures figures;
    figures.server = server;
    const std::int64_t span = std::max<std::int64_t>(toMs - fromMs, 1);
    const auto bucketCount = static_cast<std::int64_t>(std::max(buckets, 1));
    figures.response.resize(static_cast<std::size_t>(bucketCount));
    for (std::int64_t i = 0; i < bucketCount; ++i)
        figures.response[static_cast<std::size_t>(i)].startMs = fromMs + span * i / bucketCount;
    std::vector<std::int64_t> sums(figures.response.size(), 0);

    for (std::int64_t day = LocalMidnight(fromMs, 0); day < toMs;) {
        const std::int64_t next = LocalMidnight(day, 1);
        figures.days.push_back({day, 0, 0});
        day = next > day ? next : day + 24LL * 3600 * 1000; // never loops on a broken zone
    }

    std::vector<std::int64_t> daySums(figures.days.size(), 0);
    std::vector<int> dayResponses(figures.days.size(), 0);

    std::optional<Incident> open;
    if (before && !before->ok)
        open = Incident{fromMs, std::nullopt, before->cause};
    std::size_t dayIndex = 0;
    for (const PassRow& pass : passes) {
        if (pass.atMs < fromMs || pass.atMs >= toMs)
            continue;
        ++figures.passes;
        if (pass.ok)
            ++figures.okPasses;
        if (!pass.ok && !open) {
            open = Incident{pass.atMs, std::nullopt, pass.cause};
        } else if (pass.ok && open) {
            open->endMs = pass.atMs;
            figures.incidents.push_back(std::move(*open));
            open.reset();
        }
        if (pass.responseMs >= 0) {
            const auto i = static_cast<std::size_t>((pass.atMs - fromMs) * bucketCount / span);
            AddResponse(figures.response[i], pass.responseMs, sums[i]);
        }
        while (dayIndex + 1 < figures.days.size() &&
               figures.days[dayIndex + 1].startMs <= pass.atMs)
            ++dayIndex;
        if (!figures.days.empty()) {
            ++figures.days[dayIndex].passes;
            if (pass.ok)
                ++figures.days[dayIndex].ok;
            if (pass.responseMs >= 0) {
                daySums[dayIndex] += pass.responseMs;
                ++dayResponses[dayIndex];
            }
        }
        if (pass.certificateNotAfter)
            figures.certificateNotAfter = pass.certificateNotAfter;
    }
    if (open)
        figures.incidents.push_back(std::move(*open));

    for (std::size_t i = 0; i < figures.response.size(); ++i) {
        ResponseBucket& bucket = figures.response[i];
        if (bucket.passes > 0)
            bucket.meanMs = static_cast<int>((sums[i] + bucket.passes / 2) / bucket.passes);
    }
    for (std::size_t i = 0; i < figures.days.size(); ++i)
        if (dayResponses[i] > 0)
            figures.days[i].meanMs =
                static_cast<int>((daySums[i] + dayResponses[i] / 2) / dayResponses[i]);
    if (figures.passes > 0)
        figures.uptimePercent = 100.0 * figures.okPasses / figures.passes;
    for (const Incident& incident : figures.incidents) {
        const std::int64_t start = std::max(incident.startMs, fromMs);
        const std::int64_t end = std::min(incident.endMs.value_or(toMs), toMs);
        figures.downMs += std::max<std::int64_t>(end - start, 0);
    }
    return figures;
}

} // namespace korvane
