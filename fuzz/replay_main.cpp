// Runs a fuzz target once over each input it is given, without libFuzzer, so the targets' checks
// run in the ordinary test suite with any compiler. A check that fails traps, and so fails the
// test. Usage: fuzz_replay_<target> FILE_OR_FOLDER...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Only some targets have one; the weak declaration leaves it null where they do not.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&argc, &argv);
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path given(argv[i]);
        if (!fs::is_directory(given)) {
            inputs.push_back(given);
            continue;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(given))
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
    }
    // A replay that runs nothing proves nothing.
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(input, error);
        // A buffer of exactly the input's size, as libFuzzer hands it over, so that the address
        // sanitizer sees a read past its end.
        const auto data = std::make_unique<std::uint8_t[]>(error ? 0 : size);
        std::ifstream in(input, std::ios::binary);
        if (error ||
            !in.read(reinterpret_cast<char*>(data.get()), static_cast<std::streamsize>(size))) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        std::fprintf(stderr, "replaying %s (%ju bytes)\n", input.c_str(), size);
        LLVMFuzzerTestOneInput(data.get(), static_cast<std::size_t>(size));
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
