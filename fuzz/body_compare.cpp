// The block comparison of a reply body with a local file against the rule read byte by byte:
// same outcome, same counter, same position, whatever the bytes, whatever pieces the body
// arrives in and the local file is read in (the piece sizes taken from the first byte).
#include "compare/body_compare.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

korvane::BodyComparison Reference(const std::string& web, const std::string& local, bool forgive) {
    using korvane::BodyComparison;
    BodyComparison result;
    std::size_t i = 0; // the header ends at 0 here
    std::size_t read = 0;
    for (;;) {
        if (read >= web.size()) {
            // An empty file and an empty body are the same.
            result.outcome = local.empty() && i == 0 ? BodyComparison::Outcome::Verified
                                                     : BodyComparison::Outcome::Truncated;
            result.counter = i;
            return result;
        }
        const auto w = static_cast<unsigned char>(web[read++]);
        const std::size_t j = i;
        const auto c = static_cast<unsigned char>(j < local.size() ? local[j] : 0);
        if (w == c) {
            i += 1;
        } else if (forgive && c == '\r' && w == '\n') {
            i += 2;
        } else {
            result.outcome = BodyComparison::Outcome::Differs;
            result.counter = i;
            result.localPosition = j;
            result.localByte = c;
            result.webByte = w;
            return result;
        }
        if (i >= local.size()) {
            result.outcome = BodyComparison::Outcome::Verified;
            result.counter = i;
            return result;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const bool forgive = data[0] & 1;
    const std::size_t piece = 1 + (data[0] >> 1);
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t cut = input.find('\0');
    const std::string web = input.substr(0, cut);
    const std::string local = cut == std::string::npos ? std::string() : input.substr(cut + 1);
    std::FILE* file = std::tmpfile();
    std::fwrite(web.data(), 1, web.size(), file);
    std::fflush(file);
    std::rewind(file);
    korvane::LocalBytesInMemory whole(local);
    const korvane::BodyComparison got = korvane::CompareBody(::fileno(file), 0, whole, forgive);
    std::fclose(file);
    // Local pieces of 1 to 16 bytes: a CR LF forgiven across two pieces skips into the next.
    korvane::LocalBytesInMemory pieces(local, 1 + (data[0] >> 4));
    korvane::BodyComparer comparer(0, pieces, forgive);
    for (std::size_t at = 0;
         at < web.size() && comparer.Feed(std::string_view(web).substr(at, piece)); at += piece) {
    }
    const korvane::BodyComparison expected = Reference(web, local, forgive);
    for (const korvane::BodyComparison& result : {got, comparer.Result()}) {
        if (result.outcome != expected.outcome || result.counter != expected.counter ||
            (result.outcome == korvane::BodyComparison::Outcome::Differs &&
             (result.localPosition != expected.localPosition ||
              result.localByte != expected.localByte || result.webByte != expected.webByte)))
            __builtin_trap();
    }
    return 0;
}
