// A kv.cfg of any length and content loads, and saves back as the image it was read into.
#include "shell/settings_block.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = "/tmp/korvane-fuzz-" + std::to_string(::getpid()) + ".cfg";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    korvane::SettingsBlock settings;
    settings.Load(path);
    (void)settings.Get(korvane::field::OtherAgent);
    (void)settings.Get(korvane::field::ServerField(korvane::DialogSlot::SubmitUrl));
    if (!settings.Save(path).ok)
        __builtin_trap();
    std::ifstream in(path, std::ios::binary);
    const std::string saved{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::remove(path.c_str());
    std::string expected(reinterpret_cast<const char*>(data),
                         std::min(size, korvane::kSettingsSize));
    expected.resize(korvane::kSettingsSize, '\0');
    if (saved != expected)
        __builtin_trap();
    return 0;
}
