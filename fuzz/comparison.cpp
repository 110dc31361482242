// The comparison's ways of answering the walk must give the same pairs as the plain table and as
// the whole of MatchLines, on any two files. Each input is read twice: as two texts (cut at its
// first NUL byte) whose lines become keys, and as two halves whose bytes are keys from a small
// alphabet, so that long sequences full of repeated keys come cheaply.
#include "compare/comparison.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::int32_t> Keys(const std::string& text) {
    std::vector<std::int32_t> keys;
    for (const std::string& line : korvane::SplitComparisonLines(text))
        keys.push_back(korvane::ComparisonLineKey(line));
    return keys;
}

// Small stretches between kept rows, so that their edges and the doubling of the stretch are met
// even in short files.
void CheckAgreement(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) {
    const std::int32_t* left = a.data();
    const std::int32_t* right = b.data();
    const auto table = korvane::MatchLinesByTable(left, a.size(), right, b.size());
    for (std::size_t stretch : {1, 2, 3}) {
        const auto distance =
            korvane::MatchLinesByDistance(left, a.size(), right, b.size(), SIZE_MAX, stretch);
        if (!distance || *distance != table)
            __builtin_trap();
    }
    for (std::size_t stretch : {0, 1, 2, 5})
        if (korvane::MatchLinesByBits(left, a.size(), right, b.size(), stretch) != table)
            __builtin_trap();
    if (korvane::MatchLines(a, b) != table)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\0');
    CheckAgreement(Keys(input.substr(0, cut)),
                   Keys(cut == std::string::npos ? std::string() : input.substr(cut + 1)));
    // At most 400 keys a side: enough for rows of several words, few enough for many runs.
    const std::size_t half = std::min<std::size_t>(size / 2, 400);
    std::vector<std::int32_t> a(data, data + half);
    std::vector<std::int32_t> b(data + half, data + 2 * half);
    for (auto* keys : {&a, &b})
        for (std::int32_t& key : *keys)
            key %= 8;
    CheckAgreement(a, b);
    return 0;
}
