#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace korvane {

// One character of UTF-8 text at `at`: its code and how many bytes it takes. A byte that starts
// no valid sequence stands for itself, as Latin-1 text loaded from a file does.
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t at);
// Whether the text is valid UTF-8 throughout (plain ASCII is).
bool IsUtf8(std::string_view text);
// Single bytes read as Latin-1, written as UTF-8.
std::string Latin1ToUtf8(std::string_view text);

} // namespace korvane
