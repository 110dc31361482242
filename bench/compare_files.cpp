// Builds the side-by-side comparison of two files and writes its three pages into the current
// folder, as the comparison command does, without opening a browser: for timing against a peer.
#include "compare/comparison.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: compare_files LEFT RIGHT\n");
        return 2;
    }
    korvane::WriteComparison(argv[1], argv[2], ".");
    return 0;
}
