#include "shell/alert_wave.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace korvane {

namespace {

constexpr int kBitsPerSample = 16;
constexpr int kChannels = 1;
constexpr int kBytesPerSample = kBitsPerSample / 8;

struct Tone {
    double frequency;
    double seconds;
};

// High then low reads as "attention" without the harshness of a square-wave beep.
constexpr Tone kFirstTone{880.0, 0.150};
constexpr double kGapSeconds = 0.040;
constexpr Tone kSecondTone{660.0, 0.160};

// Long enough to hide the step at either end of a tone, short enough not to blur it.
constexpr double kFadeSeconds = 0.005;
// Leaves headroom for the overtone so the sum never reaches full scale.
constexpr double kPeak = 0.55;
// A touch of second harmonic makes the tone rounder than a bare sine.
constexpr double kOvertone = 0.18;

int SampleCount(double seconds) {
    return static_cast<int>(std::lround(seconds * kAlertSampleRate));
}

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFFu));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFFu));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutU16(out, value & 0xFFFFu);
    PutU16(out, value >> 16);
}

void PutTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(tag[i]));
    }
}

void AppendTone(std::vector<std::int16_t>& samples, const Tone& tone) {
    const int count = SampleCount(tone.seconds);
    const double fadeSamples = kFadeSeconds * kAlertSampleRate;
    const double omega = 2.0 * std::numbers::pi * tone.frequency / kAlertSampleRate;
    for (int i = 0; i < count; ++i) {
        // Raised-cosine edges: smooth slope, no click at start or end.
        const double edge = std::min(i, count - 1 - i);
        double envelope = 1.0;
        if (edge < fadeSamples) {
            envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * edge / fadeSamples);
        }
        // A gentle decay over the tone sounds like a chime rather than a buzzer.
        const double progress = static_cast<double>(i) / count;
        envelope *= 1.0 - 0.45 * progress;

        const double wave =
            (std::sin(omega * i) + kOvertone * std::sin(2.0 * omega * i)) / (1.0 + kOvertone);
        const double value = std::clamp(kPeak * envelope * wave, -1.0, 1.0) * 32767.0;
        samples.push_back(static_cast<std::int16_t>(std::lround(value)));
    }
}

} // namespace

std::vector<std::uint8_t> MakeAlertWave() {
    std::vector<std::int16_t> samples;
    AppendTone(samples, kFirstTone);
    samples.insert(samples.end(), static_cast<std::size_t>(SampleCount(kGapSeconds)), 0);
    AppendTone(samples, kSecondTone);

    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * kBytesPerSample);
    constexpr std::uint32_t kHeaderBytes = 44;

    std::vector<std::uint8_t> out;
    out.reserve(kHeaderBytes + dataBytes);
    PutTag(out, "RIFF");
    PutU32(out, kHeaderBytes - 8 + dataBytes);
    PutTag(out, "WAVE");

    PutTag(out, "fmt ");
    PutU32(out, 16);
    PutU16(out, 1); // PCM
    PutU16(out, kChannels);
    PutU32(out, kAlertSampleRate);
    PutU32(out, kAlertSampleRate * kChannels * kBytesPerSample);
    PutU16(out, kChannels * kBytesPerSample);
    PutU16(out, kBitsPerSample);

    PutTag(out, "data");
    PutU32(out, dataBytes);
    for (const std::int16_t sample : samples) {
        PutU16(out, static_cast<std::uint16_t>(sample));
    }
    return out;
}

} // namespace korvane
