#pragma once

#include <cstdint>
#include <vector>

namespace korvane {

inline constexpr int kAlertSampleRate = 22050;

// A complete RIFF/WAVE file (16-bit mono PCM at kAlertSampleRate) holding the
// alert chime: a short high tone followed by a lower one, about 0.35 s in all.
// The bytes are the same on every call, so the caller may cache or write them
// to a temporary file for whatever audio back end is at hand.
std::vector<std::uint8_t> MakeAlertWave();

} // namespace korvane
