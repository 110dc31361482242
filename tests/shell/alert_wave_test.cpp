#include "shell/alert_wave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace korvane {
namespace {

constexpr std::size_t kHeaderBytes = 44;

std::uint32_t U16At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at) | (b.at(at + 1) << 8));
}

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return U16At(b, at) | (U16At(b, at + 2) << 16);
}

std::string TagAt(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                       b.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

std::vector<int> Samples(const std::vector<std::uint8_t>& b) {
    std::vector<int> out;
    for (std::size_t at = kHeaderBytes; at + 1 < b.size(); at += 2) {
        out.push_back(static_cast<std::int16_t>(U16At(b, at)));
    }
    return out;
}

TEST(AlertWave, HeaderDescribesMono16BitPcmAndMatchesSize) {
    const auto wave = MakeAlertWave();
    ASSERT_GT(wave.size(), kHeaderBytes);
    EXPECT_EQ(TagAt(wave, 0), "RIFF");
    EXPECT_EQ(U32At(wave, 4), wave.size() - 8);
    EXPECT_EQ(TagAt(wave, 8), "WAVE");
    EXPECT_EQ(TagAt(wave, 12), "fmt ");
    EXPECT_EQ(U32At(wave, 16), 16u);
    EXPECT_EQ(U16At(wave, 20), 1u);
    EXPECT_EQ(U16At(wave, 22), 1u);
    EXPECT_EQ(U32At(wave, 24), static_cast<std::uint32_t>(kAlertSampleRate));
    EXPECT_EQ(U32At(wave, 28), static_cast<std::uint32_t>(kAlertSampleRate * 2));
    EXPECT_EQ(U16At(wave, 32), 2u);
    EXPECT_EQ(U16At(wave, 34), 16u);
    EXPECT_EQ(TagAt(wave, 36), "data");
    EXPECT_EQ(U32At(wave, 40), wave.size() - kHeaderBytes);
}

// A third of a second, loud but not clipped, and faded at both ends: a tone that starts or stops
// at full height clicks.
TEST(AlertWave, IsAShortAudibleToneWithoutClicks) {
    const auto samples = Samples(MakeAlertWave());
    const double seconds = static_cast<double>(samples.size()) / kAlertSampleRate;
    EXPECT_GE(seconds, 0.30);
    EXPECT_LE(seconds, 0.40);
    constexpr std::size_t kEdge = 10; // about half a millisecond
    ASSERT_GT(samples.size(), 2 * kEdge);
    for (std::size_t i = 0; i < kEdge; ++i) {
        EXPECT_LT(std::abs(samples[i]), 1000) << "sample " << i;
        EXPECT_LT(std::abs(samples[samples.size() - 1 - i]), 1000) << "sample from end " << i;
    }
    int peak = 0;
    int largestStep = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        peak = std::max(peak, std::abs(samples[i]));
        if (i > 0)
            largestStep = std::max(largestStep, std::abs(samples[i] - samples[i - 1]));
    }
    EXPECT_LT(peak, 32767);
    EXPECT_GT(peak, 8000);
    // A smooth 880 Hz tone at this level moves at most about 5200 per sample.
    EXPECT_LT(largestStep, 8000);
    EXPECT_EQ(MakeAlertWave(), MakeAlertWave());
}

} // namespace
} // namespace korvane
