// Writes a year of watch history, for timing the report and seeing what a year costs on disk:
// sixteen sites checked once a minute (one file, index.html), with slow spells and outages of
// different lengths and causes, certificate dates on the https sites (the even ones, named with
// "https://"), one verification pass an hour on the odd sites, and the page's digest on the
// quarter of the sites whose rules alert on a change.
// Usage: make_history DATABASE END_MS PATTERN, e.g. make_history h.db 1767225600000 shop%02d.test
#include "history/watch_history.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace korvane;

constexpr int kSites = 16;
constexpr std::int64_t kMinuteMs = 60'000;
constexpr int kMinutesPerDay = 1440;
constexpr int kDays = 365;
constexpr std::int64_t kDaySeconds = 86'400;

// The pattern's one %d (with an optional zero-padded width) replaced by the site's number.
std::string NameOf(const std::string& pattern, int number) {
    const std::size_t percent = pattern.find('%');
    if (percent == std::string::npos)
        return pattern + std::to_string(number);
    std::size_t at = percent + 1;
    const bool zeros = at < pattern.size() && pattern[at] == '0';
    std::size_t width = 0;
    while (at < pattern.size() && pattern[at] >= '0' && pattern[at] <= '9')
        width = width * 10 + static_cast<std::size_t>(pattern[at++] - '0');
    std::string digits = std::to_string(number);
    if (digits.size() < width)
        digits.insert(0, width - digits.size(), zeros ? '0' : ' ');
    const std::size_t end = at < pattern.size() && pattern[at] == 'd' ? at + 1 : at;
    return pattern.substr(0, percent) + digits + pattern.substr(end);
}

enum class Minute : std::uint8_t { Normal, Slow, Refused, Code503, Code500 };

// One site's year, minute by minute, and what stays the same through it.
struct Site {
    std::string server;
    std::string host;
    bool https = false;
    bool hourlyVerification = false;
    std::int64_t certificatePhase = 0; // seconds: when in the 60-day renewal cycle it started
    int baseMs = 0;
    std::vector<Minute> year;
};

Site MakeSite(int number, const std::string& pattern) {
    std::mt19937 random(static_cast<unsigned>(number) * 7919U);
    Site site;
    site.host = NameOf(pattern, number);
    site.https = number % 2 == 0;
    site.hourlyVerification = number % 2 == 1;
    site.server = (site.https ? "https://" : "") + site.host;
    site.certificatePhase =
        std::uniform_int_distribution<std::int64_t>(0, 59)(random) * kDaySeconds;
    site.baseMs = std::uniform_int_distribution<int>(80, 180)(random);
    site.year.assign(static_cast<std::size_t>(kDays) * kMinutesPerDay, Minute::Normal);
    auto spell = [&](Minute what, int shortest, int longest) {
        const int length = std::uniform_int_distribution<int>(shortest, longest)(random);
        const auto start =
            std::uniform_int_distribution<std::size_t>(0, site.year.size() - 1)(random);
        for (std::size_t m = start;
             m < site.year.size() && m < start + static_cast<std::size_t>(length); ++m)
            site.year[m] = what;
    };
    // Slow spells first, so an outage during one wins.
    for (int i = 0; i < 30; ++i)
        spell(Minute::Slow, 30, 480);
    // A handful of outages: a few minutes of errors, an hour down, a night without an answer.
    const Minute causes[] = {Minute::Code503, Minute::Refused, Minute::Code500};
    const int outages = std::uniform_int_distribution<int>(3, 6)(random);
    const int lengths[][2] = {{1, 5}, {10, 40}, {60, 180}, {300, 720}};
    for (int i = 0; i < outages; ++i)
        spell(causes[std::uniform_int_distribution<int>(0, 2)(random)], lengths[i % 4][0],
              lengths[i % 4][1]);
    return site;
}

// A 64-digit hex digest standing for the page's SHA-256; the page changes about once a week.
std::string DigestOf(int site, std::int64_t minute) {
    char text[65];
    const unsigned long long version = static_cast<unsigned long long>(minute / 10'000);
    for (int i = 0; i < 4; ++i)
        std::snprintf(text + 16 * i, 17, "%016llx",
                      (version + 1) * 0x9E3779B97F4A7C15ULL * static_cast<unsigned>(site + i + 1));
    return std::string(text, 64);
}

SitePass PassOf(const Site& site, int number, std::int64_t minute, std::int64_t atMs, PassKind kind,
                std::mt19937& random) {
    SitePass pass;
    pass.kind = kind;
    pass.server = site.server;
    pass.atMs = atMs;
    if (site.https) {
        const std::int64_t seconds = atMs / 1000;
        const std::int64_t cycle = 60 * kDaySeconds;
        const std::int64_t issued =
            (seconds - site.certificatePhase) / cycle * cycle + site.certificatePhase;
        pass.certificateNotAfter = issued + 90 * kDaySeconds;
    }
    FileResult file;
    file.name = "index.html";
    const Minute state = site.year[static_cast<std::size_t>(minute)];
    std::uniform_int_distribution<int> jitter(0, 40);
    file.connectMs = 5 + jitter(random) / 2;
    const int think = state == Minute::Slow ? 250 + jitter(random) * 3 + jitter(random)
                                            : site.baseMs + jitter(random) + jitter(random) / 4;
    file.firstByteMs = file.connectMs + think;
    file.endMs = file.firstByteMs + 10 + jitter(random);
    switch (state) {
    case Minute::Normal:
    case Minute::Slow:
        file.status = 200;
        file.verdict = kind == PassKind::Check ? FileVerdict::Present : FileVerdict::Verified;
        // Only a page that a rule reads has a digest: a quarter of the sites alert on a change.
        if (kind == PassKind::Check && number % 4 == 0)
            file.digest = DigestOf(number, minute);
        break;
    case Minute::Refused:
        file.connectMs = file.firstByteMs = file.endMs = -1;
        file.verdict = FileVerdict::Unavailable;
        file.cause = "Unable to communicate: " + site.host;
        break;
    case Minute::Code503:
    case Minute::Code500:
        file.status = state == Minute::Code503 ? 503 : 500;
        file.firstByteMs = file.connectMs + 3 + jitter(random) / 8;
        file.endMs = file.firstByteMs + 1;
        file.verdict = FileVerdict::Unavailable;
        file.cause = "File: index.html not available. Server code: " + std::to_string(file.status);
        break;
    }
    pass.ok = file.cause.empty();
    pass.cause = file.cause;
    pass.files.push_back(std::move(file));
    return pass;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_history DATABASE END_MS PATTERN\n");
        return 2;
    }
    const std::int64_t endMs = std::atoll(argv[2]) / kMinuteMs * kMinuteMs;
    const std::int64_t startMs = endMs - std::int64_t{kDays} * kMinutesPerDay * kMinuteMs;
    std::vector<Site> sites;
    for (int number = 1; number <= kSites; ++number)
        sites.push_back(MakeSite(number, argv[3]));

    WatchHistory history(argv[1]);
    if (!history.Open()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], history.LastError().c_str());
        return 1;
    }
    const auto began = std::chrono::steady_clock::now();
    std::mt19937 random(1);
    std::int64_t rows = 0;
    std::vector<SitePass> day;
    for (int d = 0; d < kDays; ++d) {
        day.clear();
        for (int m = 0; m < kMinutesPerDay; ++m) {
            const std::int64_t minute = std::int64_t{d} * kMinutesPerDay + m;
            const std::int64_t passMs = startMs + minute * kMinuteMs;
            // A pass walks the sites one after another.
            for (int s = 0; s < kSites; ++s)
                day.push_back(PassOf(sites[static_cast<std::size_t>(s)], s + 1, minute,
                                     passMs + s * 350, PassKind::Check, random));
            if (m % 60 == 30)
                for (int s = 0; s < kSites; ++s)
                    if (sites[static_cast<std::size_t>(s)].hourlyVerification)
                        day.push_back(PassOf(sites[static_cast<std::size_t>(s)], s + 1, minute,
                                             passMs + 20'000 + s * 900, PassKind::Verification,
                                             random));
        }
        if (!history.Record(day)) {
            std::fprintf(stderr, "day %d: %s\n", d, history.LastError().c_str());
            return 1;
        }
        rows += static_cast<std::int64_t>(day.size());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("pass rows: %lld (%s to %s)\nseconds: %.1f\nbytes on disk: %lld\n",
                static_cast<long long>(rows), sites.front().server.c_str(),
                sites.back().server.c_str(), seconds, static_cast<long long>(history.SizeOnDisk()));
    return 0;
}
