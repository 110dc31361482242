// The comparison's two ways of answering the walk must give the same pairs as each other and as
// the whole of MatchLines, on any two files (the input cut in two at its first NUL byte).
#include "compare/comparison.h"

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
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\0');
    const auto a = Keys(input.substr(0, cut));
    const auto b = Keys(cut == std::string::npos ? std::string() : input.substr(cut + 1));
    const auto table = korvane::MatchLinesByTable(a.data(), a.size(), b.data(), b.size());
    const auto distance =
        korvane::MatchLinesByDistance(a.data(), a.size(), b.data(), b.size(), 1 << 26);
    if (!distance || *distance != table || korvane::MatchLines(a, b) != table)
        __builtin_trap();
    return 0;
}
