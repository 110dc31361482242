// Builds the side-by-side comparison of two files and writes its three pages into the current
// folder, as the comparison command does, without opening a browser: for timing against a peer.
#include "file_utils/comparison_report.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: compare_files LEFT RIGHT\n");
        return 2;
    }
    const korvane::ComparisonPages pages = korvane::BuildComparison(argv[1], argv[2]);
    std::ofstream("tc.html", std::ios::binary) << pages.frameset;
    std::ofstream("fa.html", std::ios::binary) << pages.left;
    std::ofstream("fb.html", std::ios::binary) << pages.right;
    return 0;
}
