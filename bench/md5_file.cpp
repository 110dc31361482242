// Prints the MD5 digest of a file the way the MD5 command computes it, for timing against a peer.
#include "file_utils/md5.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: md5_file FILE\n");
        return 2;
    }
    const auto digest = korvane::Md5OfFile(argv[1]);
    if (!digest)
        return 1;
    std::printf("%s  %s\n", korvane::Md5Hex(*digest).c_str(), argv[1]);
    return 0;
}
