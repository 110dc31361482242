#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvane {

inline constexpr std::size_t kComparisonLineMaxChars = 1023;

// A file read as lines for the comparison: LF ends a line, a CR right before it is dropped, at
// most 1023 characters of a line are kept, and the text after the last LF is one more line.
std::vector<std::string> ReadComparisonLines(const std::string& path);
std::vector<std::string> SplitComparisonLines(const std::string& bytes);

// Spaces removed, then the sum of position x signed character, wrapping in 32 bits. Lines with
// equal keys count as equal.
std::int32_t ComparisonLineKey(const std::string& line);

// The common sequence of two key sequences as {left index, right index} pairs: the table of
// suffix lengths from the end, then the walk from the start that passes over the right line on
// a tie.
using LinePairs = std::vector<std::pair<std::size_t, std::size_t>>;
LinePairs MatchLines(const std::vector<std::int32_t>& left, const std::vector<std::int32_t>& right);

// The ways MatchLines answers the walk's question, exposed so tests can hold each to the plain
// table. The table costs one bit per pair of lines. The distance method costs time in the number
// of differing lines squared and memory in its 1.5th power, and gives up (nothing) beyond
// `maxDistance` of them; it keeps every `firstKeptEvery`-th row of its distances at first. The
// bits cost time in the number of pairs of lines / 64 and memory in the rows of bits kept, every
// `rowsPerStretch`-th (0: about the square root of the line count).
LinePairs MatchLinesByTable(const std::int32_t* left, std::size_t n, const std::int32_t* right,
                            std::size_t m);
std::optional<LinePairs> MatchLinesByDistance(const std::int32_t* left, std::size_t n,
                                              const std::int32_t* right, std::size_t m,
                                              std::size_t maxDistance,
                                              std::size_t firstKeptEvery = 1);
LinePairs MatchLinesByBits(const std::int32_t* left, std::size_t n, const std::int32_t* right,
                           std::size_t m, std::size_t rowsPerStretch = 0);

// Builds the comparison of two files, left and right as given (the side rule is the caller's),
// and writes tc.html, fa.html and fb.html into `folder` as it goes.
void WriteComparison(const std::string& leftName, const std::string& rightName,
                     const std::string& folder);

// Orders two files by the side rule: the smaller file first; on equal sizes the first-named.
std::pair<std::string, std::string> OrderBySize(const std::string& first,
                                                const std::string& second);

} // namespace korvane
